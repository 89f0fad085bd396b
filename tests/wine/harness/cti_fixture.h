// What the tests of the CTI link and of the commands share: CTI packets
// framed as the server writes them, the log read as entries, and a fixture
// whose library is started and connected to a fake CTI server.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "harness/fake_cti_server.h"
#include "harness/test_host.h"

namespace veltrane::wine {

// "|LINK|" + kind padded to 10 + "|" + marker + "|" + body length in at least
// four digits + "|" + body: one packet without its line end. Written here
// from the protocol, not taken from the library.
std::string Frame(std::string_view kind, std::string_view marker, std::string_view body);
// A packet as a CTI server writes it: the frame and CR LF.
std::string ServerPacket(std::string_view kind, std::string_view result, std::string_view body);
// A host event as the callback receives it.
inline std::string Event(std::string_view text) { return "|SMSG|" + std::string(text); }

// Today's log as name and text pairs: a line reads PHONE_NO + " " + name +
// " => " + text, or the name alone when there is no text.
struct LogEntry {
    std::string name;
    std::string text;
};
std::vector<LogEntry> LogEntries(const std::wstring& basePath);
// The texts of the entries with this name, in order.
std::vector<std::string> LogTexts(const std::wstring& basePath, const std::string& name);

class ConnectedHostTest : public ::testing::Test {
protected:
    static constexpr const char* kPhone = "0212345678";

    // config.ini naming the fake server; config_user.ini with PHONE_NO kPhone
    // and the desktop alerts switched on or off.
    void configure(const std::string& addresses = "127.0.0.1", bool alerts = false);
    void setUserSetting(const char* section, const char* key, const std::string& value);
    // configure() unless done, DLL_START, then waits until the server has its
    // client and the host has "conn|connect||".
    void startConnected();

    // Waits (running the host's messages) until the server holds `count` lines.
    bool waitForLines(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Waits until `count` callbacks have arrived since `from`.
    bool waitForCallbacks(std::size_t from, std::size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // The callbacks since index `from`.
    std::vector<std::string> callbacksFrom(std::size_t from) const;
    // The callbacks whose text starts with `prefix` ("|SMSG|" included).
    std::vector<std::string> callbacksStartingWith(const std::string& prefix) const;

    TestHost host;
    TempFolder base;
    FakeCtiServer server;

private:
    bool configured_ = false;
};

}  // namespace veltrane::wine
