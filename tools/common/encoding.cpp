#include "common/encoding.h"

#include <cctype>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "winsupport/code_page.h"
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace veltrane::tools {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

#ifdef _WIN32
std::string Convert(std::string_view text, unsigned from, unsigned to) {
    if (text.empty()) return {};
    const std::wstring wide = winsupport::Widen(text, from);
    if (wide.empty()) return std::string(text.size(), '?');
    // Code pages that are not UTF-8 take a default character for the gaps.
    const std::string out = winsupport::Narrow(wide, to, to == CP_UTF8 ? nullptr : "?");
    if (out.empty()) return std::string(text.size(), '?');
    return out;
}

constexpr unsigned kUtf8 = CP_UTF8;
#else
// One iconv conversion descriptor, closed when done.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

const char* IconvName(unsigned codePage) { return codePage == 65001 ? "UTF-8" : "CP949"; }

std::string Convert(std::string_view text, unsigned from, unsigned to) {
    Iconv cd(IconvName(to), IconvName(from));
    if (!cd.ok()) return std::string(text);
    std::string out;
    std::string input(text);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (done != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or cut-off sequence: mark it and go on after its first byte.
        out += '?';
        ++in;
        --inLeft;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

constexpr unsigned kUtf8 = 65001;
#endif

}  // namespace

std::optional<WireEncoding> WireEncoding::Named(std::string_view name) {
    const std::string lower = Lower(name);
    if (lower == "cp949" || lower == "949" || lower == "uhc") return WireEncoding(949);
    if (lower == "utf-8" || lower == "utf8") return WireEncoding(0);
    return std::nullopt;
}

std::string WireEncoding::toWire(std::string_view utf8) const {
    return passesThrough() ? std::string(utf8) : Convert(utf8, kUtf8, codePage_);
}

std::string WireEncoding::fromWire(std::string_view wire) const {
    return passesThrough() ? std::string(wire) : Convert(wire, codePage_, kUtf8);
}

}  // namespace veltrane::tools
