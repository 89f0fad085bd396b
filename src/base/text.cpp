#include "base/text.h"

#include <charconv>

namespace veltrane {

namespace {
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

std::optional<std::int32_t> ParseDigits(std::string_view digits, bool negative, int base) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    const std::uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
    if (value > limit) return std::nullopt;
    long long signedValue = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    return static_cast<std::int32_t>(signedValue);
}
}  // namespace

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string_view TrimStartView(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view TrimView(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::optional<HostAndRest> SplitHostPort(std::string_view authority) {
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        return HostAndRest{authority.substr(0, close + 1), authority.substr(close + 1)};
    }
    const std::size_t colon = authority.find(':');
    if (colon == std::string_view::npos) return HostAndRest{authority, {}};
    return HostAndRest{authority.substr(0, colon), authority.substr(colon)};
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLower(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) c = AsciiLower(c);
    return lowered;
}

bool IsBlank(std::string_view text) { return TrimView(text).empty(); }

FieldView SplitFieldView(char delimiter, std::string_view text) {
    text = TrimView(text);
    if (!text.empty() && text.front() == delimiter) text.remove_prefix(1);
    const auto at = text.find(delimiter);
    if (at == std::string_view::npos || at == 0) return {};
    return {text.substr(0, at), text.substr(at + 1)};
}

FieldSplit SplitField(char delimiter, std::string_view text) {
    const FieldView view = SplitFieldView(delimiter, text);
    return {std::string(view.field), std::string(view.rest)};
}

std::string FieldReader::next() {
    FieldSplit split = SplitField('|', rest_);
    rest_ = std::move(split.rest);
    return std::move(split.field);
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return ParseDigits(text, negative, 10);
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        for (char c : digits) {
            if (HexDigitValue(c) < 0) return std::nullopt;
        }
        return ParseDigits(digits, false, 16);
    }
    return ParseInt(text);
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

void AppendZeroPadded(std::string& out, long long value, int digits) {
    // By hand: printf cost more than the rest of a log line.
    char reversed[24];
    int count = 0;
    unsigned long long rest = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    do {
        reversed[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0) out += '-';
    if (digits > count) out.append(static_cast<std::size_t>(digits - count), '0');
    while (count > 0) out += reversed[--count];
}

std::string ZeroPadded(long long value, int digits) {
    std::string text;
    AppendZeroPadded(text, value, digits);
    return text;
}

std::string HexText(std::uint64_t value, int digits, bool lowerCase) {
    const char* const set = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = set[value & 0xF];
    return text;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace veltrane
