// The local command server's request parser: fed in pieces whose sizes come
// from the input, it must reach the same outcome as fed in one piece, and
// what it hands on must be readable.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "web/http_request.h"

namespace {

using veltrane::web::HttpRequestParser;

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

    if (whole.status() == HttpRequestParser::Status::Complete) {
        veltrane::web::RequestParameters(whole.request());
        veltrane::web::RefusedHost(whole.request());
    }
    return 0;
}
