#include "harness/cti_fixture.h"

#include <cstdio>

namespace veltrane::wine {

std::string Frame(std::string_view kind, std::string_view marker, std::string_view body) {
    char length[24];
    std::snprintf(length, sizeof length, "%04zu", body.size());
    std::string packet = "|LINK|" + std::string(kind);
    if (kind.size() < 10) packet.append(10 - kind.size(), ' ');
    packet += "|" + std::string(marker) + "|" + length + "|";
    packet += body;
    return packet;
}

std::string ServerPacket(std::string_view kind, std::string_view result, std::string_view body) {
    return Frame(kind, result, body) + "\r\n";
}

std::vector<LogEntry> LogEntries(const std::wstring& basePath) {
    std::vector<LogEntry> entries;
    for (const std::string& line : LogLines(basePath)) {
        if (line.empty()) continue;
        const std::size_t arrow = line.find(" => ");
        const std::string head = line.substr(0, arrow);
        const std::size_t blank = head.find(' ');
        LogEntry entry;
        if (arrow == std::string::npos) {
            entry.name = head;  // a line without text has no phone number either
        } else {
            entry.name = blank == std::string::npos ? head : head.substr(blank + 1);
            entry.text = line.substr(arrow + 4);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::string> LogTexts(const std::wstring& basePath, const std::string& name) {
    std::vector<std::string> texts;
    for (const LogEntry& entry : LogEntries(basePath))
        if (entry.name == name) texts.push_back(entry.text);
    return texts;
}

void ConnectedHostTest::configure(const std::string& addresses, bool alerts) {
    WriteConfig(base.path(), addresses, server.port());
    setUserSetting("MyInfo", "PHONE_NO", kPhone);
    setUserSetting("Connect", "IS_POPUP_SHOW", alerts ? "Y" : "N");
    configured_ = true;
}

void ConnectedHostTest::setUserSetting(const char* section, const char* key, const std::string& value) {
    WriteIni(base.path() + L"config_user.ini", section, key, value);
}

void ConnectedHostTest::startConnected() {
    if (!configured_) configure();
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("conn|connect||")));
    ASSERT_TRUE(host.waitFor([&] { return server.clientConnected(); }));
}

bool ConnectedHostTest::waitForLines(std::size_t count, std::chrono::milliseconds timeout) {
    return host.waitFor([&] { return server.receivedLines().size() >= count; }, timeout);
}

bool ConnectedHostTest::waitForCallbacks(std::size_t from, std::size_t count, std::chrono::milliseconds timeout) {
    return host.waitFor([&] { return host.callbacks().size() >= from + count; }, timeout);
}

std::vector<std::string> ConnectedHostTest::callbacksFrom(std::size_t from) const {
    const auto& all = host.callbacks();
    if (from >= all.size()) return {};
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
}

std::vector<std::string> ConnectedHostTest::callbacksStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& text : host.callbacks())
        if (text.rfind(prefix, 0) == 0) matching.push_back(text);
    return matching;
}

}  // namespace veltrane::wine
