#pragma once
// Making text from files safe to show: on a terminal, and where only UTF-8 is allowed.

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorus {

// The length of the well-formed UTF-8 sequence that starts at `text[at]` (1 for an ASCII byte),
// or 0 when the bytes there are not one: a stray continuation byte, an overlong form, a
// surrogate, a code point above U+10FFFF, or a sequence cut short. `at` past the end gives 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// `line` as it can be written to a terminal without the terminal acting on any of it: every
// control character (bytes 0x00 to 0x1F except the tab, DEL 0x7F, and the C1 controls U+0080 to
// U+009F, which some terminals obey when they arrive as UTF-8) and every byte that is not part of
// well-formed UTF-8 is written as \xNN (two upper-case hex digits per byte). Tabs stay, as do
// printable ASCII and well-formed UTF-8. A backslash stays as it is, so the form is for reading,
// not for undoing.
std::string EscapeForTerminal(std::string_view line);

// `text` with every byte that is not part of well-formed UTF-8 replaced by U+FFFD, one for each
// such byte; well-formed text comes back unchanged.
std::string ReplaceInvalidUtf8(std::string_view text);

// The most characters of a line (or a name taken from one) that an error line quotes: the longest
// line a script may hold.
inline constexpr std::size_t kMaxQuotedChars = 2047;

// `text` as an error line quotes it: unchanged when it has at most `limit` bytes, otherwise its
// first `limit` bytes followed by "...". The cut is moved back (by at most three bytes) so that it
// never splits a well-formed UTF-8 sequence.
std::string BoundedQuote(std::string_view text, std::size_t limit = kMaxQuotedChars);

}  // namespace pelorus
