// The console's command language, one command a line, for scripts and for
// interactive use. Portable: everything that touches Windows or the library
// goes through ScriptHost, so the language can be tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/event_log.h"

namespace veltrane::tools {

struct ExportInfo {
    std::string_view name;
    std::size_t arity;  // text arguments; DLL_START's callback is not counted
};

// The fifteen exports of veltrane.dll, in the order of its header.
const std::vector<ExportInfo>& VeltraneExports();

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // Calls one export with UTF-8 arguments; false with `error` when the
    // library does not export it.
    virtual bool callExport(const ExportInfo& info, const std::vector<std::string>& args, std::string& error) = 0;
    // Runs the message loop for up to `ms`, or until `done` (when given) holds.
    virtual void pump(int ms, const std::function<bool()>& done) = 0;
    // Sends `request` to host:port and collects the answer until the peer
    // closes it or, when `terminator` is not empty, until a line equal to it;
    // the message loop runs meanwhile. False with `error` when no connection
    // could be made.
    virtual bool exchange(const std::string& host, std::uint16_t port, const std::string& request,
                          const std::string& terminator, int timeoutMs, std::string& answer, std::string& error) = 0;
    // The port of the library's command server for a base folder.
    virtual std::uint16_t commandServerPort(const std::string& basePath) = 0;
    // UTF-8 to the system's 8-bit code page, the library's text.
    virtual std::string toAnsi(const std::string& utf8) = 0;
    virtual void print(const std::string& utf8Line) = 0;
    // Just before DLL_FINISH, which ends the process when it succeeds.
    virtual void finishing(bool expectationsHeld) = 0;
};

struct RunnerSettings {
    std::string basePath = "C:\\Orvanta\\";
    std::string windowTitle = "Veltrane Host Console";
    std::string simHost = "127.0.0.1";
    std::uint16_t simPort = 0;  // 0: no simulator to talk to
    std::uint16_t webPort = 0;  // 0: WEB_PORT from the base folder's config.ini
    int waitTimeoutMs = 10000;
};

enum class LineResult { Done, Failed, Quit };

class ScriptRunner {
public:
    ScriptRunner(ScriptHost& host, EventLog& events, RunnerSettings settings)
        : host_(host), events_(events), settings_(std::move(settings)) {}

    // Runs one line; a failure is printed and remembered.
    LineResult run(std::string_view line);
    bool allHeld() const { return !failed_; }

    static std::string Help();

private:
    LineResult callExport(const ExportInfo& info, const std::vector<std::string>& words);
    LineResult wait(const std::vector<std::string>& words);
    LineResult expectNone(const std::vector<std::string>& words);
    LineResult http(const std::vector<std::string>& words);
    LineResult sim(std::string_view command, int retryForMs);
    LineResult fail(const std::string& why);

    ScriptHost& host_;
    EventLog& events_;
    RunnerSettings settings_;
    bool failed_ = false;
};

}  // namespace veltrane::tools
