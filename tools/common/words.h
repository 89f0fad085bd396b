// Command lines of the tools: words, quoting and wildcard patterns.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::tools {

// Splits a line into words. Blanks (space, tab) separate words; a double
// quote starts a quoted part that may hold blanks and ends at the next
// unescaped quote ("" is an empty word). Inside quotes, \" and \\ stand for
// " and \; any other backslash is kept, so Windows paths need no doubling
// except before a closing quote. nullopt when a quote is left open.
std::optional<std::vector<std::string>> SplitWords(std::string_view line);

// The line after its first `count` words and the blanks that follow them,
// exactly as written (quotes kept), for commands that pass text on.
std::string_view RestAfterWords(std::string_view line, std::size_t count);

// Whole-text match: '*' matches any run of bytes (also none), '?' one byte,
// every other byte itself.
bool MatchesPattern(std::string_view pattern, std::string_view text);

}  // namespace veltrane::tools
