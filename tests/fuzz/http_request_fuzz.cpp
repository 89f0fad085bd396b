// The local command server's request parser: fed in pieces whose sizes come
// from the input, it must reach the same outcome as fed in one piece, and
// what it hands on must be readable: the origin rule judges its headers (its
// Origin read as a WEB_ORIGINS listing too), its values are checked as the
// command server checks them, and the log line of its parameters holds no
// control character but the library's own line ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/log_text.h"
#include "web/http_answer.h"
#include "web/http_request.h"
#include "web/origin_rule.h"
#include "web/request_values.h"

namespace {

using veltrane::web::HttpRequestParser;

// A control character other than CR LF between parts: the log could be forged.
bool HasStrayControl(const std::string& escaped) {
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const auto byte = static_cast<unsigned char>(escaped[i]);
        const bool lineEnd = escaped.compare(i, 2, "\r\n") == 0;
        if (lineEnd) ++i;
        else if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

void CheckWhatItHandsOn(const veltrane::web::HttpRequest& request) {
    using namespace veltrane::web;
    RefusedHost(request);
    const CommandRequest command = CommandRequestOf(request);
    const AnsiToUtf8 asIs = [](std::string_view text) { return std::optional<std::string>(text); };
    const PageOrigins origins = AllowedOrigins("http://127.0.0.1:8080/", command.source.origin.value_or(""), asIs);
    JudgeOrigin(command.source, origins.allowed);
    std::vector<std::string> lines;
    for (const veltrane::Parameter& parameter : command.parameters) {
        IsDialString(parameter.value);
        IsMessageText(parameter.value, asIs);
        lines.push_back(parameter.name + "=" + parameter.value);
    }
    lines.emplace_back();
    if (HasStrayControl(veltrane::LogText(lines, "\r\n").escaped())) std::abort();
}

bool Same(const HttpRequestParser& a, const HttpRequestParser& b) {
    if (a.status() != b.status()) return false;
    if (a.status() != HttpRequestParser::Status::Complete) return true;
    const auto& x = a.request();
    const auto& y = b.request();
    return x.method == y.method && x.target == y.target && x.headers == y.headers && x.body == y.body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (std::size_t& piece : pieces) piece = input.ConsumeIntegral<std::uint8_t>() + std::size_t(1);
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    HttpRequestParser whole;
    whole.feed(bytes);
    HttpRequestParser cut;
    for (std::size_t at = 0, i = 0; at < bytes.size(); ++i) {
        const std::size_t length = pieces.empty() ? 1 : pieces[i % pieces.size()];
        cut.feed(std::string_view(bytes).substr(at, length));
        at += length;
    }
    if (!Same(whole, cut)) std::abort();

    if (whole.status() == HttpRequestParser::Status::Complete) CheckWhatItHandsOn(whole.request());
    return 0;
}
