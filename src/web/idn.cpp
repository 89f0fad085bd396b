#include "web/idn.h"

#include <algorithm>
#include <cstdint>

namespace veltrane::web {

namespace {
// RFC 3492, 5: the parameters of Punycode.
constexpr std::uint32_t kBase = 36;
constexpr std::uint32_t kTMin = 1;
constexpr std::uint32_t kTMax = 26;
constexpr std::uint32_t kSkew = 38;
constexpr std::uint32_t kDamp = 700;
constexpr std::uint32_t kInitialBias = 72;
constexpr std::uint32_t kInitialN = 0x80;
constexpr std::uint32_t kMaxInt = 0xFFFFFFFF;
constexpr std::size_t kMaxLabelBytes = 63;

char Digit(std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26)); }

// RFC 3492, 6.1.
std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
        delta /= kBase - kTMin;
        k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

bool IsAsciiLabelChar(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool IsCaselessScript(char32_t c) {
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3041 && c <= 0x3096) ||
           (c >= 0x30A1 && c <= 0x30FA);
}

// The code points of UTF-8 text; nothing when it is not well-formed.
std::optional<std::u32string> CodePoints(std::string_view utf8) {
    std::u32string points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || i + length > utf8.size()) return std::nullopt;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto trail = static_cast<unsigned char>(utf8[i + k]);
            if ((trail & 0xC0) != 0x80) return std::nullopt;
            point = (point << 6) | (trail & 0x3F);
        }
        // Overlong forms, surrogates and points beyond U+10FFFF are not text.
        static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kLeast[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return std::nullopt;
        points += point;
        i += length;
    }
    return points;
}

std::optional<std::string> AsciiLabel(std::u32string label) {
    bool ascii = true;
    std::string result;
    for (char32_t& c : label) {
        if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
        if (IsAsciiLabelChar(c)) {
            result += static_cast<char>(c);
            continue;
        }
        if (!IsCaselessScript(c)) return std::nullopt;
        ascii = false;
    }
    if (!ascii) {
        const std::optional<std::string> encoded = Punycode(label);
        if (!encoded) return std::nullopt;
        result = "xn--" + *encoded;
    }
    if (result.empty() || result.size() > kMaxLabelBytes) return std::nullopt;
    return result;
}
}  // namespace

std::optional<std::string> Punycode(std::u32string_view label) {
    std::string output;
    for (char32_t c : label)
        if (c < kInitialN) output += static_cast<char>(c);
    const auto basic = static_cast<std::uint32_t>(output.size());
    if (basic > 0) output += '-';

    std::uint32_t n = kInitialN;
    std::uint32_t delta = 0;
    std::uint32_t bias = kInitialBias;
    for (std::uint32_t handled = basic; handled < label.size();) {
        std::uint32_t next = kMaxInt;
        for (char32_t c : label)
            if (c >= n && c < next) next = c;
        if (next - n > (kMaxInt - delta) / (handled + 1)) return std::nullopt;
        delta += (next - n) * (handled + 1);
        n = next;
        for (char32_t c : label) {
            if (c < n && ++delta == 0) return std::nullopt;
            if (c != n) continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = kBase;; k += kBase) {
                const std::uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
                if (q < t) break;
                output += Digit(t + (q - t) % (kBase - t));
                q = (q - t) / (kBase - t);
            }
            output += Digit(q);
            bias = Adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return output;
}

std::optional<std::string> AsciiHostName(std::string_view utf8Host) {
    if (!utf8Host.empty() && utf8Host.front() == '[') {
        const bool literal = utf8Host.size() > 2 && utf8Host.back() == ']' &&
                             std::all_of(utf8Host.begin() + 1, utf8Host.end() - 1, [](char c) {
                                 return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                                        c == ':' || c == '.';
                             });
        if (!literal) return std::nullopt;
        return std::string(utf8Host);
    }
    const std::optional<std::u32string> points = CodePoints(utf8Host);
    if (!points || points->empty()) return std::nullopt;
    std::string host;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = points->find(U'.', start);
        const std::optional<std::string> label = AsciiLabel(points->substr(start, dot - start));
        if (!label) return std::nullopt;
        host += *label;
        if (dot == std::u32string::npos) break;
        host += '.';
        start = dot + 1;
    }
    return host;
}

}  // namespace veltrane::web
