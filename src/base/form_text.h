// Form parameters as HTML forms send them: "name=value" pairs joined by "&",
// "+" for a space and %XX for any byte. Values stay 8-bit ANSI bytes; nothing
// is converted between code pages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

struct Parameter {
    std::string name;
    std::string value;
};
using Parameters = std::vector<Parameter>;

// "+" gives a space and %XX the byte XX; a "%" that is not followed by two
// hexadecimal digits is kept as it stands.
std::string DecodeFormComponent(std::string_view text);

// Splits at every "&" and each pair at its first "=", then decodes name and
// value. A pair without "=" is a name with an empty value; empty pairs (as
// in "a=1&&b=2") are skipped.
Parameters ParseFormText(std::string_view text);

// The value of the first parameter whose name matches without regard to
// (ASCII) case; empty when there is none.
std::string ParameterValue(const Parameters& parameters, std::string_view name);

// Escapes only what would change the meaning of a form value: "%", "&" and
// "+". Everything else, CP949 bytes and blanks included, is sent as it is.
std::string EscapeFormValue(std::string_view value);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace veltrane
