// World attribute dumps: the world's values, their encodings and ranges, and lines that cannot be
// read.

#include <gtest/gtest.h>

#include <string>

#include "reader/attributedump.h"
#include "testutil.h"

namespace pelorus {
namespace {

struct Read {
    AttributeDump dump;
    std::vector<std::string> errors;
};

Read ReadText(const std::string& text) {
    Read r;
    test::LogCapture log;
    r.dump = ReadAttributeDump(text, "atworld.txt", log);
    r.errors = log.Lines();
    return r;
}

// A dump as servers write it: CR LF, Windows-1252 text, every world value, and others beside.
TEST(AttributeDump, WorldValuesReadFromTheirNumbers) {
    const Read r = ReadText(
        "atdump version 1\r\n0 Caf\xE9 \x80 world\r\n1 0\r\n3 C:\\worlds\\cafe\r\n11 10\r\n12 20\r\n13 30\r\n"
        "25 Welcome!\r\n41 -0.57735\r\n42 -0.5\r\n43 1e-1\r\n44 255\r\n45 128\r\n46 0\r\n47 64\r\n48 65\r\n"
        "49 66\r\n51 Y\r\n52 40\r\n53 250.5\r\n61 sky01\r\n69 2.5N 3W 1.2a 90\r\n70 0\r\n71 100\r\n72 200\r\n"
        "145 N\r\n");
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    ASSERT_EQ(r.dump.version, 1);
    const DumpedWorld& w = r.dump.world;
    EXPECT_EQ(w.name, "Caf\xC3\xA9 \xE2\x82\xAC world");
    EXPECT_EQ(w.objectPath, std::optional<std::string>("C:\\worlds\\cafe"));
    using Rgb = std::array<uint8_t, 3>;
    EXPECT_EQ(w.fogColor, std::optional<Rgb>(Rgb{10, 20, 30}));
    EXPECT_EQ(w.lightColor, std::optional<Rgb>(Rgb{255, 128, 0}));
    EXPECT_EQ(w.ambientColor, std::optional<Rgb>(Rgb{64, 65, 66}));
    EXPECT_EQ(w.skyColor, std::optional<Rgb>(Rgb{0, 100, 200}));
    ASSERT_TRUE(w.lightDirection);
    EXPECT_DOUBLE_EQ((*w.lightDirection)[0], -0.57735);
    EXPECT_DOUBLE_EQ((*w.lightDirection)[1], -0.5);
    EXPECT_DOUBLE_EQ((*w.lightDirection)[2], 0.1);
    EXPECT_EQ(w.fog, std::optional<bool>(true));
    EXPECT_EQ(w.fogStart, std::optional<double>(40));
    EXPECT_EQ(w.fogEnd, std::optional<double>(250.5));
    EXPECT_EQ(w.skybox, std::optional<std::string>("sky01"));
    EXPECT_EQ(w.entryPoint, "2.5N 3W 1.2a 90");
    EXPECT_EQ(w.entryPointLine, 22u);
    // 1, 25 and 145 are kept and counted, nothing more.
    EXPECT_EQ(r.dump.others, 3u);
    EXPECT_EQ(r.dump.values.at(25).text, "Welcome!");
    EXPECT_EQ(r.dump.values.size(), 25u);
}

// What a dump does not give stays unset, so the world keeps its own values; a colour needs all
// three components.
TEST(AttributeDump, MissingValuesStayUnset) {
    const Read r = ReadText("atdump version 1\n11 10\n12 20\n51 N\n");
    EXPECT_TRUE(r.errors.empty());
    const DumpedWorld& w = r.dump.world;
    EXPECT_EQ(w.name, "");
    EXPECT_FALSE(w.objectPath);
    EXPECT_FALSE(w.fogColor);
    EXPECT_FALSE(w.lightDirection);
    EXPECT_EQ(w.fog, std::optional<bool>(false));
    EXPECT_FALSE(w.fogStart);
    EXPECT_EQ(w.entryPoint, "");
}

// Each bad line or value costs one error line with its line number, and reading goes on.
TEST(AttributeDump, BadLinesAndValuesAreNamedAndPassedOver) {
    const Read r = ReadText(
        "atdump version 1\nname here\n-3 x\n99999999999 x\n\n   \n44 300\n45 -5\n46 12.5\n51 maybe\n52 far\n"
        "0 Kept\n0 Last\n70 1\n71 2\n72 3");
    const std::vector<std::string> expected = {
        "Attribute dump \"atworld.txt\", line 2: \"name\" is not an attribute number.",
        "Attribute dump \"atworld.txt\", line 3: \"-3\" is not an attribute number.",
        "Attribute dump \"atworld.txt\", line 4: \"99999999999\" is not an attribute number.",
        "Attribute dump \"atworld.txt\", line 9: attribute 46 \"12.5\" is not a colour component (0 to 255).",
        "Attribute dump \"atworld.txt\", line 10: attribute 51 \"maybe\" is neither Y nor N.",
        "Attribute dump \"atworld.txt\", line 11: attribute 52 \"far\" is not a number.",
    };
    EXPECT_EQ(r.errors, expected);
    EXPECT_EQ(r.dump.malformed, expected.size());
    const DumpedWorld& w = r.dump.world;
    EXPECT_FALSE(w.lightColor);  // its blue does not read
    EXPECT_FALSE(w.fog);
    EXPECT_FALSE(w.fogStart);
    EXPECT_EQ(w.name, "Last");  // the last value of a number given twice
    EXPECT_EQ(w.skyColor, (std::optional<std::array<uint8_t, 3>>({1, 2, 3})));  // the last line has no line break
}

TEST(AttributeDump, ComponentsBeyond0To255AreTakenAsTheEnd) {
    const Read r = ReadText("atdump version 1\n47 300\n48 -5\n49 +7\n");
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.dump.world.ambientColor, (std::optional<std::array<uint8_t, 3>>({255, 0, 7})));
}

TEST(AttributeDump, OnlyVersion1OfTheHeaderReads) {
    EXPECT_EQ(AttributeDumpVersionOf("atdump version 1\n"), 1);
    EXPECT_EQ(AttributeDumpVersionOf("\xEF\xBB\xBF"
                                     "ATDUMP Version 1 \r\n0 x"),
              1);
    EXPECT_EQ(AttributeDumpVersionOf("atdump version 2"), 2);
    EXPECT_EQ(AttributeDumpVersionOf("atdump version x\n"), -1);
    EXPECT_EQ(AttributeDumpVersionOf("atdump version1\n"), std::nullopt);
    EXPECT_EQ(AttributeDumpVersionOf("propdump version 4\n"), std::nullopt);
    EXPECT_TRUE(BeginsLikeAttributeDump("atdump version 1"));  // a probe that ends inside the line
    EXPECT_FALSE(BeginsLikeAttributeDump("atdump 1"));

    const Read other = ReadText("atdump version 2\n0 x\n");
    EXPECT_EQ(other.dump.version, 0);
    EXPECT_TRUE(other.dump.values.empty());
    EXPECT_EQ(other.errors, std::vector<std::string>{"World attribute dump \"atworld.txt\" is of version 2, which "
                                                     "cannot be read (version 1 can)."});
    const Read none = ReadText("0 x\n");
    EXPECT_EQ(none.errors, std::vector<std::string>{"\"atworld.txt\" is not a world attribute dump (its first line "
                                                    "is not \"atdump version 1\")."});
}

TEST(AttributeDump, ErrorLinesStopAtTheLimitAndSayHowManyMore) {
    std::string text = "atdump version 1\n";
    for (uint64_t i = 0; i < kMaxAttributeErrorLines + 5; ++i) text += "x\n";
    const Read r = ReadText(text);
    ASSERT_EQ(r.errors.size(), kMaxAttributeErrorLines + 1);
    EXPECT_EQ(r.errors.back(), "World attribute dump \"atworld.txt\": 5 more problems were found and are not listed.");
}

}  // namespace
}  // namespace pelorus
