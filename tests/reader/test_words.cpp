// Command and value words, and how one line splits into words and numbers.

#include <gtest/gtest.h>

#include "reader/rwtypes.h"

namespace pelorus {
namespace {

struct CommandCase {
    const char* word;
    RWXCommand code;
};

TEST(CommandCode, MatchesWordsWithoutRegardToCaseAndHonoursCommentPrefixes) {
    const CommandCase cases[] = {
        {"Color", RWXCommand::Color},
        {"COLOR", RWXCommand::Color},
        {"color", RWXCommand::Color},
        {"cOlOr", RWXCommand::Color},
        {"ClumpBegin", RWXCommand::ClumpBegin},
        {"protoinstancegeometry", RWXCommand::ProtoInstanceGeometry},
        {"TextureGammaCorrection", RWXCommand::TextureGammaCorrection},
        {"IncludeGeometry", RWXCommand::IncludeGeometry},
        {"#!Color", RWXCommand::Color},
        {"#!#!texture", RWXCommand::Texture},
        {"#Color", RWXCommand::Comment},
        {"#", RWXCommand::Comment},
        {"#!#x", RWXCommand::Comment},
        {"#!", RWXCommand::Empty},
        {"", RWXCommand::Empty},
        {"Frobnicate", RWXCommand::Unknown},
        {"Colour", RWXCommand::Unknown},
        {"Colors", RWXCommand::Unknown},
        {"Colo", RWXCommand::Unknown},
        {"TextureGammaCorrectionXXXXXXXXXXXXXXXXXXXXXXXXXXXXX", RWXCommand::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandCode(c.word), c.code) << c.word;
}

TEST(CommandCode, EveryTableWordReadsBackAsItsOwnCode) {
    for (int code = 0; code < 70; ++code) {
        const auto command = static_cast<RWXCommand>(code);
        EXPECT_EQ(CommandCode(CommandName(command)), command) << CommandName(command);
    }
}

TEST(ValueCode, EmptyWordIsUnknownAndPrefixedWordsMatch) {
    EXPECT_EQ(ValueCode(""), RWXOption::Unknown);
    EXPECT_EQ(ValueCode("#!Lit"), RWXOption::Lit);
    EXPECT_EQ(ValueCode("#Lit"), RWXOption::Comment);
    EXPECT_EQ(ValueCode("null"), RWXOption::Null);
    EXPECT_EQ(ValueCode("PRELIGHT"), RWXOption::Prelight);
    EXPECT_EQ(ValueCode("uv"), RWXOption::UV);
    EXPECT_EQ(ValueCode("Flat"), RWXOption::Unknown);
}

TEST(LineTokens, NumbersTakeTheLongestNumericPrefixLikeAStream) {
    LineTokens t("  1.5abc -2 +3 .25 5. 1e3 -.5");
    double d = 0;
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, 1.5);
    EXPECT_EQ(t.Word(), "abc");
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, -2);
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, 3);
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, 0.25);
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, 5);
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, 1000);
    ASSERT_TRUE(t.Number(d));
    EXPECT_EQ(d, -0.5);
    EXPECT_TRUE(t.AtEnd());
    EXPECT_FALSE(t.Number(d));
}

TEST(LineTokens, AFailedReadFailsEverythingAfterIt) {
    for (const char* text : {"abc 1", "inf 1", "nan 1", "+-1 2", "- 1", ". 1", "1e999 1"}) {
        LineTokens t(text);
        double d = 0;
        EXPECT_FALSE(t.Number(d)) << text;
        EXPECT_TRUE(t.Failed()) << text;
        EXPECT_FALSE(t.Number(d)) << text;
        EXPECT_EQ(t.Word(), "") << text;
    }
}

TEST(LineTokens, IntegersRejectOverflowAndStopAtAPoint) {
    int32_t i = 0;
    LineTokens ok("  12 -3 +4");
    ASSERT_TRUE(ok.Integer(i));
    EXPECT_EQ(i, 12);
    ASSERT_TRUE(ok.Integer(i));
    EXPECT_EQ(i, -3);
    ASSERT_TRUE(ok.Integer(i));
    EXPECT_EQ(i, 4);

    LineTokens big("2147483648");
    EXPECT_FALSE(big.Integer(i));
    LineTokens point("1.0 2");
    ASSERT_TRUE(point.Integer(i));
    EXPECT_EQ(i, 1);
    EXPECT_FALSE(point.Integer(i));  // ".0" is no integer
    LineTokens signs("+-1");
    EXPECT_FALSE(signs.Integer(i));
}

TEST(LineTokens, EndOfLineAndCommentDetection) {
    LineTokens blanks("1 \t ");
    double d = 0;
    ASSERT_TRUE(blanks.Number(d));
    EXPECT_FALSE(blanks.Exhausted());
    EXPECT_TRUE(blanks.AtEnd());

    LineTokens comment("1 # note");
    ASSERT_TRUE(comment.Number(d));
    EXPECT_FALSE(comment.AtEnd());
    EXPECT_TRUE(comment.AtEndOrComment());

    LineTokens more("1 2");
    ASSERT_TRUE(more.Number(d));
    EXPECT_FALSE(more.AtEndOrComment());
}

}  // namespace
}  // namespace pelorus
