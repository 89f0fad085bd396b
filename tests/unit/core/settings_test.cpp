#include "core/settings.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace veltrane {
namespace {

using Vec = std::vector<std::string>;

class Settings : public ::testing::Test {
protected:
    testing::TestLibrary t;
    Library& lib = t.lib;
    TCONFIG_INFO& c = t.lib.config;

    void SetUp() override { c.BasePath = testing::TestLibrary::kBase; }

    void setConfig(const char* key, const std::string& value) { t.ini.set(t.configFile(), "Connect", key, value); }
    void setUser(const char* section, const char* key, const std::string& value) {
        t.ini.set(t.userFile(), section, key, value);
    }
};

TEST_F(Settings, MissingFilesGiveTheDefaults) {
    c.WIN_CAPTION = "left over";
    c.POPUP_SHOW_TIME = 99;
    LoadSettings(lib);
    EXPECT_EQ(c.CTI_IPs, "");
    EXPECT_EQ(c.CTI_PORT, 2209);
    EXPECT_EQ(c.WEB_PORT, 12209);
    EXPECT_EQ(c.WEB_BROWSER, "");
    EXPECT_EQ(c.DLL_TIME, 0);
    EXPECT_EQ(c.WIN_CAPTION, "");
    EXPECT_EQ(c.IS_CALLOUT_POP, "Y");
    EXPECT_EQ(c.IS_POPUP_SHOW, "Y");
    EXPECT_EQ(c.POPUP_SHOW_TIME, 5);
    EXPECT_EQ(c.MAC_ADDR, "");
    EXPECT_EQ(c.REG_PHONE, "");
    EXPECT_EQ(c.PHONE_NO, "");
    EXPECT_EQ(c.GUEST_PHONE, "");
    EXPECT_EQ(t.logLines().front(), " GET_INI_INFO => LOCAL_PATH:C:\\Base\\");
}

TEST_F(Settings, EveryKeyIsReadFromItsFileAndSection) {
    setConfig("CTI_IPs", "10.0.0.1,10.0.0.2");
    setConfig("CTI_PORT", "3300");
    setConfig("WEB_PORT", "13000");
    setConfig("WEB_BROWSER", "IE_ONLY");
    setUser("SendMessage", "DLL_TIME", "1765276200");
    setUser("SendMessage", "WIN_CAPTION", "CRM");
    setUser("Connect", "IS_CALLOUT_POP", "N");
    setUser("Connect", "IS_POPUP_SHOW", "y");
    setUser("Connect", "POPUP_SHOW_TIME", "20");
    setUser("Connect", "MAC_ADDR", "00-1A-2B-3C-4D-5E");
    setUser("Connect", "REG_PHONE", "0212345678");
    setUser("MyInfo", "PHONE_NO", "0298765432");
    setUser("Call", "GUEST_PHONE", "01055556666");
    // Keys in the other file or another section are not these keys.
    t.ini.set(t.userFile(), "Connect", "CTI_IPs", "wrong file");
    t.ini.set(t.configFile(), "MyInfo", "PHONE_NO", "wrong file");

    LoadSettings(lib);
    EXPECT_EQ(c.CTI_IPs, "10.0.0.1,10.0.0.2");
    EXPECT_EQ(c.CTI_PORT, 3300);
    EXPECT_EQ(c.WEB_PORT, 13000);
    EXPECT_EQ(c.WEB_BROWSER, "IE_ONLY");
    EXPECT_EQ(c.DLL_TIME, 1765276200);
    EXPECT_EQ(c.WIN_CAPTION, "CRM");
    EXPECT_EQ(c.IS_CALLOUT_POP, "N");
    EXPECT_EQ(c.IS_POPUP_SHOW, "y");
    EXPECT_EQ(c.POPUP_SHOW_TIME, 20);
    EXPECT_EQ(c.MAC_ADDR, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(c.REG_PHONE, "0212345678");
    EXPECT_EQ(c.PHONE_NO, "0298765432");
    EXPECT_EQ(c.GUEST_PHONE, "01055556666");
    EXPECT_TRUE(t.events().empty());
    EXPECT_TRUE(t.desktop.alerts.empty());
}

TEST_F(Settings, IntegersAreDecimalOrZeroXHexElseTheDefault) {
    struct Case {
        std::string text;
        std::int32_t port;
    };
    const Case cases[] = {
        {"12210", 12210},     {"0x2FB9", 12217},    {"0X2fb9", 12217}, {"0x", 12209},
        {"0X", 12209},        {"x10", 12209},       {"abc", 12209},    {"12209abc", 12209},
        {"1.5", 12209},       {"", 12209},          {"-7", -7},        {"2147483647", 2147483647},
        {"2147483648", 12209}, {"99999999999999999999", 12209}, {"0x80000000", 12209},
        {"0xFFFFFFFFFF", 12209},
    };
    for (const Case& one : cases) {
        setConfig("CTI_IPs", "10.0.0.1");
        setConfig("WEB_PORT", one.text);
        setConfig("CTI_PORT", one.text);
        setUser("Connect", "POPUP_SHOW_TIME", one.text);
        setUser("SendMessage", "DLL_TIME", one.text);
        LoadSettings(lib);
        EXPECT_EQ(c.WEB_PORT, one.port) << one.text;
        EXPECT_EQ(c.CTI_PORT, one.port == 12209 ? 2209 : one.port) << one.text;
        EXPECT_EQ(c.POPUP_SHOW_TIME, one.port == 12209 ? 5 : one.port) << one.text;
        EXPECT_EQ(c.DLL_TIME, one.port == 12209 ? 0 : one.port) << one.text;
    }
}

TEST_F(Settings, LinkTimingsAreWholeSecondsUpToADayElseTheDefault) {
    struct Case {
        std::string text;
        std::int32_t seconds;  // 0: the default
    };
    const Case cases[] = {{"5", 5},      {"1", 1}, {"86400", 86400}, {"0x0A", 10}, {"", 0},
                          {"0", 0},      {"-5", 0}, {"86401", 0},    {"1.5", 0},   {"ten", 0}};
    for (const Case& one : cases) {
        setConfig("CTI_IPs", "10.0.0.1");
        setConfig("CTI_SILENCE_SECONDS", one.text);
        setConfig("CTI_ANSWER_SECONDS", one.text);
        setConfig("CTI_RETRY_SECONDS", one.text);
        LoadSettings(lib);
        EXPECT_EQ(c.CTI_SILENCE_SECONDS, one.seconds ? one.seconds : 60) << one.text;
        EXPECT_EQ(c.CTI_ANSWER_SECONDS, one.seconds ? one.seconds : 30) << one.text;
        EXPECT_EQ(c.CTI_RETRY_SECONDS, one.seconds) << one.text;  // 0, the default, is off
    }
}

TEST_F(Settings, TextValuesAreCutAfter2047Characters) {
    const std::string fits(2047, 'a');
    setConfig("CTI_IPs", fits);
    setUser("SendMessage", "WIN_CAPTION", std::string(5000, 'b'));
    setUser("Connect", "REG_PHONE", fits + "c");
    LoadSettings(lib);
    EXPECT_EQ(c.CTI_IPs, fits);
    EXPECT_EQ(c.WIN_CAPTION, std::string(2047, 'b'));
    EXPECT_EQ(c.REG_PHONE, fits);
}

TEST_F(Settings, BlankCtiAddressAlertsAndTellsTheCallbackAlone) {
    setConfig("CTI_IPs", " \t ");
    setUser("Connect", "POPUP_SHOW_TIME", "10");  // read before the alert
    LoadSettings(lib);
    EXPECT_EQ(t.events(), Vec{"conn|disconnect|In put CTI Address(GET_INI_INFO)"});
    EXPECT_TRUE(t.host.copies.empty());
    EXPECT_EQ(t.alerts(), Vec{"GET_INI_INFO Fail=>In put CTI Address"});
    EXPECT_EQ(t.desktop.alerts.at(0).durationMs, 1500);
    for (const std::string& line : t.logLines()) EXPECT_EQ(line.find("SEND_MSG"), std::string::npos) << line;
}

TEST_F(Settings, BlankCtiAddressWithAlertsOffStillTellsTheCallback) {
    setUser("Connect", "IS_POPUP_SHOW", "N");
    LoadSettings(lib);
    EXPECT_TRUE(t.desktop.alerts.empty());
    EXPECT_EQ(t.events(), Vec{"conn|disconnect|In put CTI Address(GET_INI_INFO)"});
}

const Vec kNineKeysWritten = {
    "SendMessage/DLL_TIME=-12",   "SendMessage/WIN_CAPTION=CRM", "Connect/IS_CALLOUT_POP=Y",
    "Connect/IS_POPUP_SHOW=N",    "Connect/POPUP_SHOW_TIME=0",   "Connect/MAC_ADDR=00-1A-2B-3C-4D-5E",
    "Connect/REG_PHONE=0212",     "MyInfo/PHONE_NO=0298",        "Call/GUEST_PHONE=",
};

void FillRecord(TCONFIG_INFO& c) {
    c.DLL_TIME = -12;
    c.WIN_CAPTION = "CRM";
    c.IS_CALLOUT_POP = "Y";
    c.IS_POPUP_SHOW = "N";
    c.POPUP_SHOW_TIME = 0;
    c.MAC_ADDR = "00-1A-2B-3C-4D-5E";
    c.REG_PHONE = "0212";
    c.PHONE_NO = "0298";
    c.GUEST_PHONE = "";
    c.CTI_IPs = "not a user key";
}

TEST_F(Settings, SaveWritesTheNineUserKeysInTableOrderEveryTime) {
    FillRecord(c);
    t.files.folders.clear();
    EXPECT_TRUE(SaveUserSettings(lib));
    EXPECT_TRUE(t.files.folders.count("C:\\Base\\"));
    EXPECT_EQ(t.ini.writes, kNineKeysWritten);

    t.ini.writes.clear();
    EXPECT_TRUE(SaveUserSettings(lib));
    EXPECT_EQ(t.ini.writes, kNineKeysWritten);
    EXPECT_FALSE(t.ini.has(t.configFile(), "Connect", "CTI_IPs"));
    EXPECT_EQ(t.ini.value(t.userFile(), "Connect", "MAC_ADDR"), "00-1A-2B-3C-4D-5E");
}

TEST_F(Settings, SavedValuesReadBackUnchanged) {
    FillRecord(c);
    ASSERT_TRUE(SaveUserSettings(lib));
    TCONFIG_INFO saved = c;
    c = TCONFIG_INFO{};
    c.BasePath = saved.BasePath;
    LoadSettings(lib);
    for (const UserSetting& setting : kUserSettings)
        EXPECT_EQ(UserSettingValue(c, setting), UserSettingValue(saved, setting)) << setting.key;
}

TEST_F(Settings, ValueWithALineBreakIsWrittenUpToIt) {
    FillRecord(c);
    c.GUEST_PHONE = "0101\r\n[Connect]\r\nMAC_ADDR=00-00-00-00-00-01";
    c.WIN_CAPTION = "CRM\nREG_PHONE=0299";
    c.PHONE_NO = "\r0298";
    EXPECT_TRUE(SaveUserSettings(lib));
    EXPECT_EQ(t.ini.value(t.userFile(), "Call", "GUEST_PHONE"), "0101");
    EXPECT_EQ(t.ini.value(t.userFile(), "SendMessage", "WIN_CAPTION"), "CRM");
    EXPECT_EQ(t.ini.value(t.userFile(), "MyInfo", "PHONE_NO"), "");
    EXPECT_EQ(t.ini.writes.size(), 9u);
    // The record itself keeps what it holds.
    EXPECT_EQ(c.WIN_CAPTION, "CRM\nREG_PHONE=0299");
}

TEST_F(Settings, ReadOnlyFileStopsAtTheFirstKeyAndNamesTheFile) {
    FillRecord(c);
    t.ini.readOnly.insert(t.userFile());
    EXPECT_EQ(SaveUserSettings(lib).reason(), "Unable to write to C:\\Base\\config_user.ini");
    EXPECT_TRUE(t.ini.writes.empty());
}

TEST_F(Settings, KeysBeforeTheOneThatFailsStayWritten) {
    FillRecord(c);
    t.ini.failingKeys.insert("Connect/POPUP_SHOW_TIME");
    EXPECT_EQ(SaveUserSettings(lib).reason(), "Unable to write to C:\\Base\\config_user.ini");
    EXPECT_EQ(t.ini.writes, Vec(kNineKeysWritten.begin(), kNineKeysWritten.begin() + 4));
    EXPECT_FALSE(t.ini.has(t.userFile(), "Connect", "MAC_ADDR"));
}

TEST_F(Settings, FolderThatCannotBeCreatedFailsTheSave) {
    t.files.failFolders = true;
    EXPECT_EQ(SaveUserSettings(lib).reason(), "Unable to write to C:\\Base\\config_user.ini");
    EXPECT_TRUE(t.ini.writes.empty());
}

// Changes in one turn are written once at its end, only when they changed
// what was written last; a failure then goes to the log.
TEST_F(Settings, SaveAskedForInATurnWritesOnceAtItsEndWhenSomethingChanged) {
    FillRecord(c);
    ASSERT_TRUE(SaveUserSettings(lib));
    t.ini.writes.clear();

    SaveUserSettingsSoon(lib);
    SaveScheduledUserSettings(lib);
    EXPECT_TRUE(t.ini.writes.empty());  // nothing changed

    c.GUEST_PHONE = "0101";
    SaveUserSettingsSoon(lib);
    c.REG_PHONE = "0213";
    SaveUserSettingsSoon(lib);
    EXPECT_TRUE(t.ini.writes.empty());
    SaveScheduledUserSettings(lib);
    EXPECT_EQ(t.ini.writes.size(), 9u);
    EXPECT_EQ(t.ini.value(t.userFile(), "Call", "GUEST_PHONE"), "0101");
    SaveScheduledUserSettings(lib);
    EXPECT_EQ(t.ini.writes.size(), 9u);

    t.ini.readOnly.insert(t.userFile());
    c.GUEST_PHONE = "0102";
    SaveUserSettingsSoon(lib);
    SaveScheduledUserSettings(lib);
    EXPECT_EQ(t.logTexts("SaveUserSettings"), Vec{"Unable to write to C:\\Base\\config_user.ini"});
}

}  // namespace
}  // namespace veltrane
