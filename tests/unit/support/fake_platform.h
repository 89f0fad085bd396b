// Fakes of the operating system for the native tests of the core, and a
// library wired to them. Each fake records what the core asked of it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/turns.h"
#include "session/session.h"

namespace veltrane::testing {

// Wall clock and elapsed time move together, in whole milliseconds.
class FakeClock : public Clock {
public:
    LocalTime time{2026, 12, 9, 10, 30, 0};
    std::int64_t elapsed = 1000000;
    LocalTime now() override { return time; }
    std::int64_t elapsedMs() override { return elapsed; }
    void advance(int seconds) { advanceMs(std::int64_t(seconds) * 1000); }
    void advanceMs(std::int64_t ms) {
        const std::int64_t before = elapsed / 1000;
        elapsed += ms;
        time = FromSecondsSince1970(SecondsSince1970(time) + elapsed / 1000 - before);
    }
};

class FakeRandom : public Random {
public:
    double value = 0.5;  // the middle: pauses without spread
    double unit() override { return value; }
};

class FakeIni : public IniStore {
public:
    using Key = std::pair<std::string, std::string>;  // section, key
    std::map<std::string, std::map<Key, std::string>> files;
    std::set<std::string> readOnly;   // files whose writes fail
    std::set<std::string> failingKeys;  // "section/key" whose writes fail, in any file
    std::vector<std::string> writes;  // "section/key=value", in order

    std::string read(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    bool write(const std::string& file, const std::string& section, const std::string& key,
               const std::string& value) override;
    void set(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
        files[file][{section, key}] = value;
    }
    bool has(const std::string& file, const std::string& section, const std::string& key) const;
    std::string value(const std::string& file, const std::string& section, const std::string& key) const;
};

class FakeFiles : public FileSystem {
public:
    std::set<std::string> folders;
    std::map<std::string, std::string> contents;
    std::vector<std::string> appendOrder;  // paths, one per append
    std::vector<std::string> appended;     // bytes, one per append
    bool failFolders = false;
    bool failAppends = false;

    int closes = 0;                  // closeFiles() calls
    std::size_t appendsAtClose = 0;  // appended.size() at the last of them

    bool createFolders(const std::string& path) override;
    bool appendToFile(const std::string& path, std::string_view bytes) override;
    void closeFiles() override {
        ++closes;
        appendsAtClose = appended.size();
    }
};

class FakeHost : public HostLink {
public:
    std::vector<std::string> callbacks;
    std::vector<std::string> copies;
    std::string windowTitle;
    int windowLookups = 0;
    // The host's reaction; what it throws fails the callback, as the
    // library's guard reports it.
    std::function<void(const std::string&)> onCallback;

    Outcome callback(const std::string& text) override;
    Outcome copyData(const std::string& text) override {
        copies.push_back(text);
        return {};
    }
    void findHostWindow(const std::string& title) override {
        windowTitle = title;
        ++windowLookups;
    }
};

class FakeDesktop : public Desktop {
public:
    std::vector<AlertContent> alerts;
    std::function<void()> onAlert;  // runs as each alert is shown

    void showAlert(const AlertContent& alert) override {
        alerts.push_back(alert);
        if (onAlert) onAlert();
    }
};

class FakeTimer : public Timer {
public:
    bool running = false;
    std::int32_t interval = 0;
    int starts = 0;
    void start(std::int32_t milliseconds) override {
        running = true;
        interval = milliseconds;
        ++starts;
    }
    void stop() override { running = false; }
    bool active() const override { return running; }
};

// Asked-for work, run by the test's loop (TestLibrary::settle).
class FakeTrigger : public Trigger {
public:
    bool requested = false;
    void request() override { requested = true; }
};

class FakeSocket : public CtiSocket {
public:
    cti::Link* link = nullptr;
    // Runs a socket event as the owner window would: a turn of its own.
    std::function<void(const std::function<void()>&)> asHandler;
    SocketState current = SocketState::Closed;
    std::vector<std::pair<std::string, std::int32_t>> opens;
    std::vector<std::string> packets;  // one entry per send
    bool refuseOpen = false;
    bool refuseSend = false;
    bool throwOnSend = false;  // as an allocation that fails would
    bool held = false;         // holdReading
    bool batching = false;     // batchSends
    std::string address = "127.0.0.1";
    std::int32_t port = 0;         // of the connection made, 0 before
    std::int32_t openedPort = 0;   // of the attempt in progress

    bool open(const std::string& host, std::int32_t port) override;
    void close() override;
    SocketState state() const override { return current; }
    bool send(std::string_view bytes) override;
    void holdReading(bool hold) override { held = hold; }
    void batchSends(bool batch) override { batching = batch; }
    std::string remoteAddress() const override { return address; }
    std::int32_t remotePort() const override { return port; }

    // What the server side of a test does, each a turn of the owner thread.
    void acceptConnection();  // the pending attempt connects
    void serverCloses();
    void receive(std::string_view bytes);
    // A socket error: the socket closes, then reports the error and the disconnection.
    void fail(int errorKind, int errorCode);
};

class FakeCommandServer : public CommandServer {
public:
    bool active = false;
    std::int32_t port = 0;
    int listens = 0;
    std::string failure;  // non-empty: listen fails with it

    bool listening() const override { return active; }
    Outcome listen(std::int32_t p) override;
    void stop() override { active = false; }
};

class FakeBrowser : public Browser {
public:
    std::vector<std::pair<std::string, std::string>> posts;  // url, body
    bool fail = false;
    bool post(const std::string& url, const std::string& body) override {
        posts.emplace_back(url, body);
        return !fail;
    }
};

// Page files as a folder of names and bytes.
class FakeDefaultBrowser : public DefaultBrowser {
public:
    unsigned codePage = 949;
    std::uint64_t nextUnique = 0x1234;
    std::map<std::string, std::string> pages;  // name, bytes
    std::map<std::string, int> ageSeconds;     // of the pages written before, by name; others are new
    std::vector<std::string> opened;           // names, in order
    std::string writeFailure, openFailure;     // non-empty: that step fails with it

    unsigned ansiCodePage() override { return codePage; }
    std::uint64_t uniqueNumber() override { return nextUnique++; }
    Outcome writePage(const std::string& name, std::string_view bytes) override;
    Outcome openPage(const std::string& name) override;
    void removePage(const std::string& name) override { pages.erase(name); }
    void removePages(const std::string& pattern, std::int32_t minimumAgeSeconds) override;
};

// Its ANSI code page is CP949 in the shape of its bytes (ASCII, and lead
// bytes 0x81 to 0xFE with a trail byte 0x41 to 0x5A, 0x61 to 0x7A or 0x81 to
// 0xFE), but it knows only the few Korean characters of kCp949ToUtf8.
class FakeSystem : public SystemInfo {
public:
    std::string mac = "00-1A-2B-3C-4D-5E";
    std::vector<unsigned> exitCodes;
    std::string macAddress() override { return mac; }
    std::optional<std::string> ansiToUtf8(std::string_view bytes) override;
    void endProcess(unsigned exitCode) override { exitCodes.push_back(exitCode); }
};

struct Fakes {
    FakeClock clock;
    FakeIni ini;
    FakeFiles files;
    FakeHost host;
    FakeDesktop desktop;
    FakeTimer timerConn;
    FakeTimer connectPause;
    FakeTrigger linkWork;
    FakeSocket socket;
    FakeCommandServer httpServer;
    FakeTimer httpServerRetry;
    FakeBrowser browser;
    FakeDefaultBrowser defaultBrowser;
    FakeTimer pageCleanup;
    FakeSystem system;
    FakeRandom random;
};

// A library wired to fakes, with the base folder C:\Base\.
class TestLibrary : public Fakes {
public:
    static constexpr const char* kBase = "C:\\Base\\";

    TestLibrary();
    Platform platform;
    session::Session session;
    Library& lib;
    cti::Link& link;
    web::Web& web;
    // The owner thread's turns; each ends with the host events delivered.
    Turns turns{[this] { session.endTurn(); }};

    // A stimulus as the owner window runs it: a handler's turn, then the
    // link's work it asked for, each a turn of its own.
    void handle(const std::function<void()>& work);
    // An export called by the host.
    void call(const std::function<void()>& work);
    // Outside any turn (a test that called a handler itself): delivers
    // what waits, then runs the link's work asked for.
    void settle();

    std::string configFile() const { return std::string(kBase) + "config.ini"; }
    std::string userFile() const { return std::string(kBase) + "config_user.ini"; }

    // config.ini with one CTI address, then DLL_START; clears what it recorded.
    void start(const std::string& ctiAddresses = "127.0.0.1");
    // start() and a connected link with PHONE_NO set.
    void startConnected(const std::string& phoneNo = "0212345678");

    // What the host has received once the owner thread is done (settle()).
    const std::vector<std::string>& events() {
        settle();
        return host.callbacks;
    }
    // Log lines without their time stamp, in the order written.
    std::vector<std::string> logLines() const;
    // The texts of the log lines with this name, without the phone number in front.
    std::vector<std::string> logTexts(const std::string& name) const;
    // Alert headers and messages as "header=>message", once shown (settle()).
    std::vector<std::string> alerts();
    void clearRecords();
};

}  // namespace veltrane::testing
