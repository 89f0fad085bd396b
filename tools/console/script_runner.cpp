#include "console/script_runner.h"

#include <charconv>
#include <optional>

#include "common/words.h"
#include "net/http.h"

namespace veltrane::tools {

namespace {

constexpr int kSimRetryPauseMs = 200;
constexpr int kExchangeTimeoutMs = 10000;

std::optional<int> ParseMillis(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

const ExportInfo* FindExport(std::string_view name) {
    for (const ExportInfo& info : VeltraneExports())
        if (info.name == name) return &info;
    return nullptr;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

const std::vector<ExportInfo>& VeltraneExports() {
    static const std::vector<ExportInfo> exports = {
        {"DLL_START", 2},    {"DLL_FINISH", 0},  {"CERTIFICATION_NO", 1}, {"CERTIFICATION_OTHER", 0},
        {"CERTIFICATION_PC", 2}, {"PC_LOGIN", 3}, {"PC_LOGOUT", 0},       {"DIAL", 1},
        {"PICK_UP", 1},      {"HANG_UP", 1},     {"RE_DIAL", 0},          {"SMS_INSTANT", 2},
        {"SMS_BOOKED", 3},   {"CALL_RECORD", 1}, {"WEB_REQUEST", 4},
    };
    return exports;
}

std::string ScriptRunner::Help() {
    return "Commands, one a line (words separated by blanks; \"...\" quotes a word, \"\" is empty):\n"
           "  EXPORT [ARG...]         call an export of veltrane.dll with its text arguments, e.g.\n"
           "                          DIAL 01012345678, SMS_INSTANT 01012345678 \"안녕하세요\";\n"
           "                          missing arguments are empty; DLL_START [BASE [TITLE]] defaults\n"
           "                          to the console's base folder and window title\n"
           "  wait PATTERN [MS]       run the message loop until a host event matches PATTERN\n"
           "                          (whole event without |SMSG|; * any text, ? one byte);\n"
           "                          events before the match are passed over\n"
           "  expect-none PATTERN MS  run the message loop MS and fail if a waiting event matches\n"
           "  sleep MS                run the message loop MS\n"
           "  http METHOD TARGET [BODY]  request to the library's command server, e.g.\n"
           "                          http GET \"/?KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101234\"\n"
           "  sim COMMAND...          a command to the CTI simulator (--sim); fails on \"error\"\n"
           "  sim-until MS COMMAND... repeat a simulator command until it answers ok\n"
           "  echo TEXT               print TEXT\n"
           "  quit                    end the console (without DLL_FINISH)\n"
           "Lines starting with # are comments.\n";
}

LineResult ScriptRunner::run(std::string_view line) {
    const auto parsed = SplitWords(line);
    if (parsed && (parsed->empty() || (*parsed)[0].rfind('#', 0) == 0)) return LineResult::Done;
    host_.print("> " + std::string(line));
    if (!parsed) return fail("unterminated quote");
    const std::vector<std::string>& words = *parsed;
    const std::string& name = words[0];

    if (const ExportInfo* info = FindExport(name)) return callExport(*info, words);
    if (name == "wait") return wait(words);
    if (name == "expect-none") return expectNone(words);
    if (name == "sleep") {
        const auto ms = words.size() == 2 ? ParseMillis(words[1]) : std::nullopt;
        if (!ms) return fail("usage: sleep MS");
        host_.pump(*ms, nullptr);
        return LineResult::Done;
    }
    if (name == "http") return http(words);
    if (name == "sim") return words.size() >= 2 ? sim(RestAfterWords(line, 1), 0) : fail("usage: sim COMMAND...");
    if (name == "sim-until") {
        const auto ms = words.size() >= 3 ? ParseMillis(words[1]) : std::nullopt;
        if (!ms) return fail("usage: sim-until MS COMMAND...");
        return sim(RestAfterWords(line, 2), *ms);
    }
    if (name == "echo") {
        host_.print(std::string(RestAfterWords(line, 1)));
        return LineResult::Done;
    }
    if (name == "help") {
        host_.print(Help());
        return LineResult::Done;
    }
    if (name == "quit" || name == "exit") return LineResult::Quit;
    return fail("unknown command " + name + " (exports are written in capitals, e.g. DIAL)");
}

LineResult ScriptRunner::callExport(const ExportInfo& info, const std::vector<std::string>& words) {
    std::vector<std::string> args(words.begin() + 1, words.end());
    if (args.size() > info.arity)
        return fail(std::string(info.name) + " takes " + std::to_string(info.arity) + " arguments");
    if (info.name == "DLL_START") {
        if (args.empty()) args.push_back(settings_.basePath);
        if (args.size() < 2) args.push_back(settings_.windowTitle);
        settings_.basePath = args[0];
    }
    args.resize(info.arity);
    if (info.name == "DLL_FINISH") host_.finishing(allHeld());
    std::string error;
    if (!host_.callExport(info, args, error)) return fail(error);
    host_.pump(0, nullptr);  // let what the call queued run before the next line
    return LineResult::Done;
}

LineResult ScriptRunner::wait(const std::vector<std::string>& words) {
    const auto ms = words.size() == 3 ? ParseMillis(words[2]) : std::optional<int>(settings_.waitTimeoutMs);
    if (words.size() < 2 || words.size() > 3 || !ms) return fail("usage: wait PATTERN [MS]");
    const std::string& pattern = words[1];
    host_.pump(*ms, [&] { return events_.pending(pattern); });
    if (!events_.consume(pattern)) return fail("no host event matched " + pattern + " within " + std::to_string(*ms) + " ms");
    return LineResult::Done;
}

LineResult ScriptRunner::expectNone(const std::vector<std::string>& words) {
    const auto ms = words.size() == 3 ? ParseMillis(words[2]) : std::nullopt;
    if (!ms) return fail("usage: expect-none PATTERN MS");
    host_.pump(*ms, [&] { return events_.pending(words[1]); });
    if (events_.pending(words[1])) return fail("a host event matched " + words[1]);
    return LineResult::Done;
}

LineResult ScriptRunner::http(const std::vector<std::string>& words) {
    if (words.size() < 3 || words.size() > 4) return fail("usage: http METHOD TARGET [BODY]");
    const std::uint16_t port = settings_.webPort ? settings_.webPort : host_.commandServerPort(settings_.basePath);
    const std::string request = net::FormatHttpRequest(words[1], host_.toAnsi(words[2]),
                                                       "127.0.0.1:" + std::to_string(port),
                                                       words.size() == 4 ? host_.toAnsi(words[3]) : std::string());
    std::string answer, error;
    if (!host_.exchange("127.0.0.1", port, request, "", kExchangeTimeoutMs, answer, error))
        return fail("http: " + error);
    const std::string status = net::StatusLine(answer);
    host_.print("  http " + std::to_string(port) + ": " + (status.empty() ? "(no answer)" : status));
    return LineResult::Done;
}

LineResult ScriptRunner::sim(std::string_view command, int retryForMs) {
    if (settings_.simPort == 0) return fail("no simulator to talk to (start the console with --sim HOST:PORT)");
    int waited = 0;
    while (true) {
        std::string answer, error;
        if (!host_.exchange(settings_.simHost, settings_.simPort, std::string(command) + "\n", ".",
                            kExchangeTimeoutMs, answer, error))
            return fail("sim: " + error);
        const bool ok = answer.rfind("ok", 0) == 0;
        if (ok || waited >= retryForMs) {
            host_.print("  sim: " + FirstLine(answer));
            return ok ? LineResult::Done : fail("the simulator answered " + FirstLine(answer));
        }
        host_.pump(kSimRetryPauseMs, nullptr);
        waited += kSimRetryPauseMs;
    }
}

LineResult ScriptRunner::fail(const std::string& why) {
    failed_ = true;
    host_.print("!! " + why);
    return LineResult::Failed;
}

}  // namespace veltrane::tools
