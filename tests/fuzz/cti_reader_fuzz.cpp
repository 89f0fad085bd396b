// The CTI reader, differentially: the stream fed in pieces whose sizes come
// from the input must give exactly what it gives in one read (packets and
// log lines; "REAL DATA[n]" counts within a read, so its number is left out).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/reader.h"

namespace {

class Recorder final : public veltrane::cti::PacketSink {
public:
    std::vector<std::string> seen;
    void linkAlive() override {}
    void log(std::string_view name, const veltrane::LogText& text) override {
        const bool numbered = name.substr(0, 10) == "REAL DATA[";
        seen.push_back(std::string(numbered ? "REAL DATA" : name) + "\x01" + text.escaped());
    }
    void dispatch(const std::string& kind, const std::string& result, const std::string& body) override {
        seen.push_back("packet\x01" + kind + "\x01" + result + "\x01" + body);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Piece sizes from the end of the input, the stream from the rest; no
    // sizes at all means a byte at a time.
    std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (std::size_t& piece : pieces) piece = input.ConsumeIntegral<std::uint8_t>() + std::size_t(1);
    const std::string stream = input.ConsumeRemainingBytesAsString();

    Recorder whole;
    veltrane::cti::CtiReader oneRead;
    oneRead.read(stream, whole);

    Recorder cut;
    veltrane::cti::CtiReader reads;
    for (std::size_t at = 0, i = 0; at < stream.size(); ++i) {
        const std::size_t length = pieces.empty() ? 1 : pieces[i % pieces.size()];
        reads.read(std::string_view(stream).substr(at, length), cut);
        at += length;
    }
    if (cut.seen != whole.seen) std::abort();
    return 0;
}
