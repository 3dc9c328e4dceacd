#pragma once
// Small text helpers shared by every reader. All comparisons are ASCII-only: letters a to z
// are upper-cased, every other byte compares as itself.

#include <string>
#include <string_view>

namespace pelorus {

constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// White space as the script format defines it: blank, tab, carriage return, line feed,
// vertical tab and form feed.
namespace detail {
struct BlankTable {
    bool blank[256] = {};
    constexpr BlankTable() {
        for (unsigned char c : {' ', '\t', '\r', '\n', '\v', '\f'}) blank[c] = true;
    }
};
inline constexpr BlankTable kBlanks{};
}  // namespace detail

constexpr bool IsBlank(char c) {
    return detail::kBlanks.blank[static_cast<unsigned char>(c)];
}

std::string ToUpperAscii(std::string_view text);

}  // namespace pelorus
