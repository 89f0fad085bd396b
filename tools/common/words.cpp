#include "common/words.h"

namespace veltrane::tools {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<std::vector<std::string>> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) return words;
        std::string word;
        while (i < line.size() && !IsBlank(line[i])) {
            if (line[i] != '"') {
                word += line[i++];
                continue;
            }
            ++i;  // opening quote
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                    word += line[i++];
                    continue;
                }
                word += c;
            }
            if (!closed) return std::nullopt;
        }
        words.push_back(std::move(word));
    }
}

std::string_view RestAfterWords(std::string_view line, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; n < count; ++n) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsBlank(line[i]))) {
            if (quoted && line[i] == '\\' && i + 1 < line.size()) {
                i += 2;
                continue;
            }
            if (line[i] == '"') quoted = !quoted;
            ++i;
        }
    }
    while (i < line.size() && IsBlank(line[i])) ++i;
    return line.substr(i);
}

bool MatchesPattern(std::string_view pattern, std::string_view text) {
    // Iterative wildcard match with one backtracking point: linear enough for
    // event lines and never recursive.
    std::size_t p = 0, t = 0;
    std::size_t starAt = std::string_view::npos, textAtStar = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && pattern[p] == text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            textAtStar = t;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            t = ++textAtStar;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace veltrane::tools
