#include "host/settings.h"

#include "host/log.h"
#include "host/notify.h"
#include "host/text.h"

namespace veltrane {

namespace {
// A text value is read up to 2047 characters.
constexpr std::size_t kMaxTextValue = 2047;

std::string ReadText(Library& lib, const std::string& file, const char* section, const char* key,
                     const char* fallback) {
    std::string value = lib.os.ini.read(file, section, key, fallback);
    if (value.size() > kMaxTextValue) value.resize(kMaxTextValue);
    return value;
}

std::int32_t ReadInteger(Library& lib, const std::string& file, const char* section, const char* key,
                         std::int32_t fallback) {
    return ParseIniInteger(ReadText(lib, file, section, key, "")).value_or(fallback);
}

// Link timings: whole seconds up to a day; anything else gives the default.
std::int32_t ReadSeconds(Library& lib, const std::string& file, const char* key, std::int32_t fallback) {
    const std::int32_t value = ReadInteger(lib, file, "Connect", key, fallback);
    return value >= 1 && value <= 86400 ? value : fallback;
}

// An INI value is one line. Whatever follows a line break inside a value
// would be written as lines of their own, new keys or sections; the line
// itself is all that any reader gets back.
std::string OneLine(const std::string& value) { return value.substr(0, value.find_first_of("\r\n")); }

std::string ConfigFile(const Library& lib) { return lib.config.BasePath + "config.ini"; }
std::string UserFile(const Library& lib) { return lib.config.BasePath + "config_user.ini"; }
}  // namespace

bool LoadSettings(Library& lib) {
    TCONFIG_INFO& c = lib.config;
    WriteLog(lib, "GET_INI_INFO", "LOCAL_PATH:" + c.BasePath);

    const std::string config = ConfigFile(lib);
    c.CTI_IPs = ReadText(lib, config, "Connect", "CTI_IPs", "");
    c.CTI_PORT = ReadInteger(lib, config, "Connect", "CTI_PORT", kDefaultCtiPort);
    c.WEB_PORT = ReadInteger(lib, config, "Connect", "WEB_PORT", kDefaultWebPort);
    c.CTI_SILENCE_SECONDS = ReadSeconds(lib, config, "CTI_SILENCE_SECONDS", kDefaultSilenceSeconds);
    c.CTI_ANSWER_SECONDS = ReadSeconds(lib, config, "CTI_ANSWER_SECONDS", kDefaultAnswerSeconds);
    c.WEB_ORIGINS = ReadText(lib, config, "Connect", "WEB_ORIGINS", "");
    c.WEB_BROWSER = ReadText(lib, config, "Connect", "WEB_BROWSER", "");
    c.CTI_TLS = ReadText(lib, config, "Connect", "CTI_TLS", "");
    c.CTI_TLS_CERT_SHA256 = ReadText(lib, config, "Connect", "CTI_TLS_CERT_SHA256", "");
    c.CTI_TLS_NAME = ReadText(lib, config, "Connect", "CTI_TLS_NAME", "");

    const std::string user = UserFile(lib);
    c.DLL_TIME = ReadInteger(lib, user, "SendMessage", "DLL_TIME", 0);
    c.WIN_CAPTION = ReadText(lib, user, "SendMessage", "WIN_CAPTION", "");
    c.IS_CALLOUT_POP = ReadText(lib, user, "Connect", "IS_CALLOUT_POP", "Y");
    c.IS_POPUP_SHOW = ReadText(lib, user, "Connect", "IS_POPUP_SHOW", "Y");
    c.POPUP_SHOW_TIME = ReadInteger(lib, user, "Connect", "POPUP_SHOW_TIME", 5);
    c.MAC_ADDR = ReadText(lib, user, "Connect", "MAC_ADDR", "");
    c.REG_PHONE = ReadText(lib, user, "Connect", "REG_PHONE", "");
    c.PHONE_NO = ReadText(lib, user, "MyInfo", "PHONE_NO", "");
    c.GUEST_PHONE = ReadText(lib, user, "Call", "GUEST_PHONE", "");

    if (IsBlank(c.CTI_IPs)) {
        ShowAlert(lib, "GET_INI_INFO Fail", "In put CTI Address", 5);
        // This one notice goes to the callback alone, as it always has.
        lib.os.host.callback("conn|disconnect|In put CTI Address(GET_INI_INFO)");
        return false;
    }
    return true;
}

std::string SaveUserSettings(Library& lib) {
    const TCONFIG_INFO& c = lib.config;
    const std::string user = UserFile(lib);
    const std::string failure = "Unable to write to " + user;
    if (!lib.os.files.createFolders(c.BasePath)) return failure;

    struct Key {
        const char* section;
        const char* key;
        std::string value;
    };
    const Key keys[] = {
        {"SendMessage", "DLL_TIME", std::to_string(c.DLL_TIME)},
        {"SendMessage", "WIN_CAPTION", c.WIN_CAPTION},
        {"Connect", "IS_CALLOUT_POP", c.IS_CALLOUT_POP},
        {"Connect", "IS_POPUP_SHOW", c.IS_POPUP_SHOW},
        {"Connect", "POPUP_SHOW_TIME", std::to_string(c.POPUP_SHOW_TIME)},
        {"Connect", "MAC_ADDR", c.MAC_ADDR},
        {"Connect", "REG_PHONE", c.REG_PHONE},
        {"MyInfo", "PHONE_NO", c.PHONE_NO},
        {"Call", "GUEST_PHONE", c.GUEST_PHONE},
    };
    for (const Key& key : keys)
        if (!lib.os.ini.write(user, key.section, key.key, OneLine(key.value))) return failure;
    return {};
}

void SaveUserSettingsLogged(Library& lib) {
    const std::string error = SaveUserSettings(lib);
    if (!error.empty()) WriteLog(lib, "SaveUserSettings", error);
}

}  // namespace veltrane
