#include "core/settings.h"

#include "core/log.h"
#include "core/notify.h"
#include "base/text.h"

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

// Link timings: whole seconds up to a day, from `least` on; anything else
// gives the default.
std::int32_t ReadSeconds(Library& lib, const std::string& file, const char* key, std::int32_t fallback,
                         std::int32_t least = 1) {
    const std::int32_t value = ReadInteger(lib, file, "Connect", key, fallback);
    return value >= least && value <= 86400 ? value : fallback;
}

// An INI value is one line. Whatever follows a line break inside a value
// would be written as lines of their own, new keys or sections; the line
// itself is all that any reader gets back.
std::string OneLine(const std::string& value) { return value.substr(0, value.find_first_of("\r\n")); }

std::string ConfigFile(const Library& lib) { return lib.config.BasePath + "config.ini"; }
std::string UserFile(const Library& lib) { return lib.config.BasePath + "config_user.ini"; }
}  // namespace

void LoadSettings(Library& lib) {
    TCONFIG_INFO& c = lib.config;
    WriteLog(lib, "GET_INI_INFO", "LOCAL_PATH:" + c.BasePath);

    const std::string config = ConfigFile(lib);
    c.CTI_IPs = ReadText(lib, config, "Connect", "CTI_IPs", "");
    c.CTI_PORT = ReadInteger(lib, config, "Connect", "CTI_PORT", kDefaultCtiPort);
    c.WEB_PORT = ReadInteger(lib, config, "Connect", "WEB_PORT", kDefaultWebPort);
    c.CTI_SILENCE_SECONDS = ReadSeconds(lib, config, "CTI_SILENCE_SECONDS", kDefaultSilenceSeconds);
    c.CTI_ANSWER_SECONDS = ReadSeconds(lib, config, "CTI_ANSWER_SECONDS", kDefaultAnswerSeconds);
    c.CTI_RETRY_SECONDS = ReadSeconds(lib, config, "CTI_RETRY_SECONDS", kDefaultRetrySeconds, 0);
    c.WEB_ORIGINS = ReadText(lib, config, "Connect", "WEB_ORIGINS", "");
    c.WEB_BROWSER = ReadText(lib, config, "Connect", "WEB_BROWSER", "");
    c.CTI_TLS = ReadText(lib, config, "Connect", "CTI_TLS", "");
    c.CTI_TLS_CERT_SHA256 = ReadText(lib, config, "Connect", "CTI_TLS_CERT_SHA256", "");
    c.CTI_TLS_NAME = ReadText(lib, config, "Connect", "CTI_TLS_NAME", "");

    const std::string user = UserFile(lib);
    for (const UserSetting& setting : kUserSettings) {
        if (setting.text != nullptr)
            c.*setting.text = ReadText(lib, user, setting.section, setting.key, setting.textDefault);
        else
            c.*setting.number = ReadInteger(lib, user, setting.section, setting.key, setting.numberDefault);
    }

    if (IsBlank(c.CTI_IPs)) {
        ShowAlert(lib, "GET_INI_INFO Fail", "In put CTI Address", 5);
        // This one notice goes to the callback alone, as it always has.
        NotifyCallbackOnly(lib, "conn|disconnect|In put CTI Address(GET_INI_INFO)");
    }
}

std::string UserSettingValue(const TCONFIG_INFO& config, const UserSetting& setting) {
    return setting.text != nullptr ? config.*setting.text : std::to_string(config.*setting.number);
}

namespace {
std::vector<std::string> UserSettingValues(const TCONFIG_INFO& c) {
    std::vector<std::string> values;
    for (const UserSetting& setting : kUserSettings) values.push_back(OneLine(UserSettingValue(c, setting)));
    return values;
}
}  // namespace

Outcome SaveUserSettings(Library& lib) {
    const TCONFIG_INFO& c = lib.config;
    const std::string user = UserFile(lib);
    const Outcome failure = Outcome::Failure("Unable to write to " + user);
    lib.userSettingsDue = false;
    lib.userSettingsWritten.clear();
    if (!lib.os.files.createFolders(c.BasePath)) return failure;
    const std::vector<std::string> values = UserSettingValues(c);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!lib.os.ini.write(user, kUserSettings[i].section, kUserSettings[i].key, values[i])) return failure;
    lib.userSettingsWritten = values;
    return {};
}

void SaveUserSettingsSoon(Library& lib) { lib.userSettingsDue = true; }

void SaveScheduledUserSettings(Library& lib) {
    if (!lib.userSettingsDue) return;
    lib.userSettingsDue = false;
    if (UserSettingValues(lib.config) == lib.userSettingsWritten) return;
    if (const Outcome saved = SaveUserSettings(lib); !saved) WriteLog(lib, "SaveUserSettings", saved.reason());
}

}  // namespace veltrane
