// Host names as browsers send them: a name in Unicode (an internationalised
// domain name) becomes its ASCII form, each label that is not ASCII written
// as "xn--" + its Punycode (RFC 3492).
//
// No full IDNA mapping (Unicode case folding and normalisation) is done
// here, so only labels whose characters need none are converted: ASCII
// letters (lower-cased), digits, "-" and "_", and the caseless scripts the
// library's code pages write: Hangul syllables (U+AC00 to U+D7A3), CJK
// unified ideographs (U+4E00 to U+9FFF), Hiragana (U+3041 to U+3096) and
// Katakana (U+30A1 to U+30FA). Any other character makes the name unusable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrane::web {

// RFC 3492 Punycode of a label's code points, without the "xn--" prefix;
// nothing when it would overflow.
std::optional<std::string> Punycode(std::u32string_view label);

// The ASCII form of a host name given in UTF-8 (dot-separated labels, none
// empty, none longer than 63 bytes in ASCII form); nothing when it is no
// usable host name. An IPv6 literal in brackets is taken as it is.
std::optional<std::string> AsciiHostName(std::string_view utf8Host);

}  // namespace veltrane::web
