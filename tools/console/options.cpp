#include "console/options.h"

#include <charconv>

namespace veltrane::tools {

namespace {

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseAddress(const std::string& text, std::string& host, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return ParseNumber(text, port) && port != 0;  // a port alone: loopback
    host = text.substr(0, colon);
    return !host.empty() && ParseNumber(text.substr(colon + 1), port) && port != 0;
}

}  // namespace

std::optional<ConsoleOptions> ParseConsoleOptions(const std::vector<std::string>& args, std::string& error) {
    ConsoleOptions options;
    RunnerSettings& runner = options.runner;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        const bool takesValue = name == "--dll" || name == "--base" || name == "--title" || name == "--script" ||
                                name == "--sim" || name == "--web-port" || name == "--timeout" ||
                                name == "--child-status";
        if (takesValue && i + 1 >= args.size()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string value = takesValue ? args[++i] : std::string();
        bool ok = true;
        if (name == "--help" || name == "-h" || name == "/?") {
            options.help = true;
        } else if (name == "--in-process") {
            options.inProcess = true;
        } else if (name == "--dll") {
            options.dllPath = value;
        } else if (name == "--base") {
            runner.basePath = value;
        } else if (name == "--title") {
            runner.windowTitle = value;
        } else if (name == "--script") {
            options.script = value;
        } else if (name == "--sim") {
            ok = ParseAddress(value, runner.simHost, runner.simPort);
        } else if (name == "--web-port") {
            ok = ParseNumber(value, runner.webPort);
        } else if (name == "--timeout") {
            ok = ParseNumber(value, runner.waitTimeoutMs) && runner.waitTimeoutMs >= 0;
        } else if (name == "--child-status") {
            std::uintptr_t handle = 0;
            ok = ParseNumber(value, handle);
            options.childStatus = handle;
        } else if (!takesValue && name.rfind("-", 0) != 0 && options.script.empty()) {
            options.script = name;
        } else {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (!ok) {
            error = "unusable value for " + name + ": " + value;
            return std::nullopt;
        }
    }
    return options;
}

std::string ConsoleUsage() {
    return "host-console: a host program for veltrane.dll. It loads the library, owns a host\n"
           "window, runs the message loop on the thread that calls DLL_START and prints every\n"
           "host event with a time stamp, marked cb (callback) or wm (WM_COPYDATA).\n"
           "\n"
           "Usage: host-console [options] [SCRIPT]\n"
           "  --script FILE     run the commands of FILE (UTF-8, one a line); without a script\n"
           "                    commands are read from standard input\n"
           "  --dll PATH        the library (default: veltrane.dll beside the console)\n"
           "  --base PATH       base folder for DLL_START (default C:\\Orvanta\\)\n"
           "  --title TEXT      title of the host window (default \"Veltrane Host Console\")\n"
           "  --sim HOST:PORT   control port of the CTI simulator, for sim commands\n"
           "  --web-port N      port of the library's command server, for http commands\n"
           "                    (default: WEB_PORT of the base folder's config.ini, else 12209)\n"
           "  --timeout MS      default time limit of wait (10000)\n"
           "  --in-process      run a script in this process instead of a child (see below)\n"
           "\n"
           "Exit code of a script run: 0 when every expectation held, 1 when one failed (the\n"
           "script stops there), 2 when the console could not start. A successful DLL_FINISH\n"
           "ends the process with exit code 1 by design; so the script runs in a child copy of\n"
           "the console, which tells this parent whether the expectations held before\n"
           "DLL_FINISH, and the parent's exit code is 0 when they did and the last host event\n"
           "was dllfinish|success||. The parent ends the transcript with \"== PASS: ...\" or\n"
           "\"== FAIL: ...\". With --in-process the child is left out, and a script that ends\n"
           "with DLL_FINISH leaves exit code 1; the line \"== expectations held so far\" printed\n"
           "before DLL_FINISH is then the verdict.\n"
           "\n" +
           ScriptRunner::Help();
}

}  // namespace veltrane::tools
