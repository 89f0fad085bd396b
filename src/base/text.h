// Text helpers shared by every subsystem. All text is 8-bit ANSI bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

// Removes characters with codes 0 to 32 from both ends, or the start only.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
std::string_view TrimStartView(std::string_view text);
// Removes these characters from both ends (" \t": HTTP's blanks).
std::string_view TrimView(std::string_view text, std::string_view blanks);

// An authority as URLs and the Host header write it: "host:port",
// "[IPv6]:port" or the host alone. The host keeps its brackets; the rest is
// what follows it, the ":" included (empty without a port, and anything
// else for the caller to refuse). Nothing when a "[" is not closed.
struct HostAndRest {
    std::string_view host;
    std::string_view rest;
};
std::optional<HostAndRest> SplitHostPort(std::string_view authority);

// One or more decimal digits and nothing else.
bool AllDigits(std::string_view text);

// ASCII letters in lower case; other bytes as they are.
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);

// Empty after trimming.
bool IsBlank(std::string_view text);

// One field split off a "|"-separated line. The text is trimmed and one
// leading delimiter dropped; a field must end with the delimiter to be read,
// so a text without one, or starting with a second one, gives two empties.
struct FieldSplit {
    std::string field;
    std::string rest;
};
FieldSplit SplitField(char delimiter, std::string_view text);

// The same split as views into `text`, for reading large buffers.
struct FieldView {
    std::string_view field;
    std::string_view rest;
};
FieldView SplitFieldView(char delimiter, std::string_view text);

// Reads fields one after another, each from what the previous split left.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : rest_(text) {}
    std::string next();
    const std::string& rest() const { return rest_; }

private:
    std::string rest_;
};

// A decimal integer with optional leading blanks and sign, within 32 bits.
std::optional<std::int32_t> ParseInt(std::string_view text);

// An INI integer: decimal, or hexadecimal after "0x"/"0X" when the value is
// longer than two characters.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

bool Contains(std::string_view text, std::string_view part);

// The value of a hexadecimal digit in either case; -1 for any other character.
int HexDigitValue(char c);
// `value` as exactly `digits` hexadecimal digits, upper case unless asked.
std::string HexText(std::uint64_t value, int digits, bool lowerCase = false);

// printf-style "%.4d": at least `digits` digits, zero-padded, sign first.
std::string ZeroPadded(long long value, int digits);
void AppendZeroPadded(std::string& out, long long value, int digits);

}  // namespace veltrane
