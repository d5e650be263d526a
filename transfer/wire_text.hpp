// Texts of the instrument protocol: replies are compared without regard to
// case on their leading characters, and a "BEGIN%ld %s" notice carries a size
// and a file name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav {

inline char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}
inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}
inline bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

struct BeginNotice {
    std::int64_t size = 0;
    std::string name;
};

// The size is read as a decimal number right after the five letters (blanks
// before it skipped); the name is what follows the one character that ends
// the number. Sizes beyond the 64-bit range are held at its limit.
inline BeginNotice ParseBeginNotice(std::string_view text) {
    BeginNotice notice;
    std::size_t at = 5;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
    while (at < text.size() && blank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    constexpr std::int64_t kMax = INT64_MAX;
    std::int64_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        const int digit = text[at++] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    notice.size = negative ? -value : value;
    if (at < text.size()) notice.name = std::string(text.substr(at + 1));
    return notice;
}

}  // namespace tav
