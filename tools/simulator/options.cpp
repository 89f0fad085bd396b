#include "simulator/options.h"

#include <functional>
#include <map>

#include "base/text.h"
#include "simulator/simulator.h"

namespace veltrane::tools {

namespace {

std::optional<std::uint16_t> ParsePort(const std::string& text) {
    const auto value = ParseInt(text);
    if (!value || *value < 0 || *value > 65535 || text.empty() || text[0] == ' ') return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::int64_t> ParseMillis(const std::string& text) {
    const auto value = ParseInt(text);
    if (!value || *value < 0 || text.empty() || text[0] == ' ') return std::nullopt;
    return *value;
}

// "NUMBER" or "NUMBER:CODE"; the code defaults to 9, which the library
// reports together with the message text.
bool AddSmsFailure(const std::string& text, ServerRules& rules) {
    const auto colon = text.rfind(':');
    std::string number = text;
    int code = 9;
    if (colon != std::string::npos) {
        const auto parsed = ParseInt(text.substr(colon + 1));
        if (!parsed || text.size() == colon + 1) return false;
        number = text.substr(0, colon);
        code = *parsed;
    }
    if (number.empty()) return false;
    rules.smsFailures[number] = code;
    return true;
}

}  // namespace

std::optional<SimulatorOptions> ParseSimulatorOptions(const std::vector<std::string>& args, std::string& error) {
    SimulatorOptions options;
    ServerRules& rules = options.rules;
    using Setter = std::function<bool(const std::string&)>;
    const auto text = [](std::string& field) -> Setter {
        return [&field](const std::string& value) {
            field = value;
            return true;
        };
    };
    const auto port = [](auto& field) -> Setter {
        return [&field](const std::string& value) {
            const auto parsed = ParsePort(value);
            if (parsed) field = *parsed;
            return parsed.has_value();
        };
    };
    const auto millis = [](std::int64_t& field) -> Setter {
        return [&field](const std::string& value) {
            const auto parsed = ParseMillis(value);
            if (parsed) field = *parsed;
            return parsed.has_value();
        };
    };
    const std::map<std::string, Setter> withValue = {
        {"--port", port(options.port)},
        {"--bind", text(options.bindAddress)},
        {"--control-port", port(options.controlPort)},
        {"--web-port", port(options.webPort)},
        {"--web-page", text(options.webPage)},
        {"--ports-file", text(options.portsFile)},
        {"--encoding", text(options.encoding)},
        {"--tls-cert", text(options.tlsCertificate)},
        {"--tls-key", text(options.tlsKey)},
        {"--phone", text(rules.phone)},
        {"--cert-no", text(rules.certificationNo)},
        {"--login-id", text(rules.loginId)},
        {"--password", text(rules.password)},
        {"--web", [&](const std::string& value) {
             rules.webAddress = value;
             options.webAddressGiven = true;
             return true;
         }},
        {"--answer-after", millis(rules.answerAfterMs)},
        {"--call-length", millis(rules.callLengthMs)},
        {"--sms-fail", [&](const std::string& value) { return AddSmsFailure(value, rules); }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--no-mac-check" && !value) {
            rules.checkMac = false;
        } else if (name == "--no-stdin" && !value) {
            options.readStdin = false;
        } else if (name == "--flap" && !value) {
            rules.flapping = true;
        } else if (name == "--silent" && !value) {
            rules.silent = true;
        } else if (const auto setter = withValue.find(name); setter != withValue.end()) {
            if (!value) {
                if (i + 1 >= args.size()) {
                    error = name + " needs a value";
                    return std::nullopt;
                }
                value = args[++i];
            }
            if (!setter->second(*value)) {
                error = "unusable value for " + name + ": " + *value;
                return std::nullopt;
            }
        } else {
            error = "unknown option " + args[i];
            return std::nullopt;
        }
    }
    if (options.tlsCertificate.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    return options;
}

std::string SimulatorUsage() {
    return "cti-simulator: the server side of the Veltrane CTI protocol, for trying out a host\n"
           "program and veltrane.dll without a real CTI server. Every packet is logged both ways.\n"
           "\n"
           "Usage: cti-simulator [options]\n"
           "  --port N             CTI port (default 2209; 0 lets the system pick one)\n"
           "  --bind ADDRESS       listening address of the CTI port (default 127.0.0.1)\n"
           "  --control-port N     also take commands on this loopback port, one a line;\n"
           "                       every answer ends with a line holding a single \".\"\n"
           "  --web-port N         serve the web address on this loopback port and log what\n"
           "                       the library posts to it (see expect-post)\n"
           "  --web-page FILE      answer GET requests on the web port with FILE, a page of\n"
           "                       the service (for click-to-call from it)\n"
           "  --ports-file PATH    once listening, write cti=N, control=N and web=N lines there\n"
           "  --no-stdin           do not read commands from standard input\n"
           "  --encoding NAME      code page of the link: cp949 (default) or utf-8; options,\n"
           "                       commands and the log are UTF-8\n"
           "  --tls-cert FILE      the CTI port speaks TLS with this certificate (PEM, the\n"
           "                       chain after it) ...\n"
           "  --tls-key FILE       ... and its private key (PEM); TLS 1.2 and later\n"
           "\n"
           "The subscriber:\n"
           "  --phone NUMBER       the registered phone number (default 0212345678)\n"
           "  --cert-no TEXT       the certification number CERTIFY must carry (default 123456)\n"
           "  --login-id TEXT      (default agent)\n"
           "  --password TEXT      (default secret)\n"
           "  --web URL            web address sent with a successful LOGIN\n"
           "                       (default http://127.0.0.1[:web-port]/veltrane/)\n"
           "  --no-mac-check       LOGIN also from a PC that was not certified\n"
           "\n"
           "Faults from the start (see the commands flap and silent):\n"
           "  --flap               close every connection as soon as it is accepted\n"
           "  --silent             answer nothing, link checks included\n"
           "\n"
           "Calls and SMS:\n"
           "  --answer-after MS    an outbound call goes from dialing to calling after MS (1000)\n"
           "  --call-length MS     a connected call finishes after MS (3000); 0: when hung up\n"
           "  --sms-fail NUMBER[:CODE]  SMS and BOOKED to NUMBER fail with CODE (default 9);\n"
           "                       may be repeated\n"
           "\n"
           "Answers: NUMBER gives code 1 (create number) for the subscriber, code 2 once this\n"
           "PC is certified, failure 1 for other numbers. CERTIFY succeeds with the right\n"
           "number, else failure 1. LOGIN fails with 1 (PC not certified or other phone),\n"
           "2 (login ID) or 3 (password), else succeeds with the web address. CALL, SMS,\n"
           "BOOKED and RECORD need a signed-in session (else failure 1). A dial answers\n"
           "status 1, then 2 and 3 as timed above; a busy line fails with 2. SMS fail with 2\n"
           "for numbers that are not digits, 3 for an empty message; BOOKED with 4 for a send\n"
           "time that is not YYYYMMDDHHNN[SS]. RECORD succeeds while a call is connected.\n"
           "\n" +
           Simulator::CommandHelp();
}

}  // namespace veltrane::tools
