// Text from files made safe for a terminal and for UTF-8-only output.

#include <gtest/gtest.h>

#include "platform/textsafety.h"

namespace pelorus {
namespace {

TEST(EscapeForTerminal, ControlBytesDelC1AndBrokenUtf8BecomeHexEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain text \"quoted\" C:\\objs", "plain text \"quoted\" C:\\objs"},
        {"tab\tstays", "tab\tstays"},
        {"\x1b]0;title\x07", "\\x1B]0;title\\x07"},  // would retitle the terminal
        {"cr\rlf\nnul" + std::string(1, '\0'), "cr\\x0Dlf\\x0Anul\\x00"},
        {"del\x7f", "del\\x7F"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"csi\xc2\x9b"
         "31m",
         "csi\\xC2\\x9B31m"},  // U+009B, a control in UTF-8 terminals
        {"nbsp\xc2\xa0", "nbsp\xc2\xa0"},
        {"latin1 \xe9t\xe9", "latin1 \\xE9t\\xE9"},
        {"cut \xe2\x82", "cut \\xE2\\x82"},
        {"overlong \xc0\xaf surrogate \xed\xa0\x80", "overlong \\xC0\\xAF surrogate \\xED\\xA0\\x80"},
        {"", ""},
    };
    for (const auto& [line, shown] : cases) EXPECT_EQ(EscapeForTerminal(line), shown) << shown;
}

TEST(ReplaceInvalidUtf8, EachStrayByteBecomesOneReplacementCharacter) {
    const std::string kFffd = "\xef\xbf\xbd";
    const std::pair<std::string, std::string> cases[] = {
        {"ascii \x01 stays", "ascii \x01 stays"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"Bad\xff", "Bad" + kFffd},
        {"\xe2\x82", kFffd + kFffd},                          // cut short
        {"\xf4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // above U+10FFFF
        {"\x80x", kFffd + "x"},
    };
    for (const auto& [text, fixed] : cases) EXPECT_EQ(ReplaceInvalidUtf8(text), fixed) << fixed;
}

}  // namespace
}  // namespace pelorus
