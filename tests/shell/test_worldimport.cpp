// Worlds made of world attribute dumps: the settings they give, the files that stand for a world,
// and the names imported worlds get.

#include <gtest/gtest.h>

#include "shell/worldimport.h"
#include "testutil.h"

namespace pelorus {
namespace {

constexpr std::string_view kDump =
    "atdump version 1\r\n0 Caf\xE9\r\n3 http://example.org/cafe\r\n11 10\r\n12 20\r\n13 30\r\n41 0\r\n42 -3\r\n"
    "43 4\r\n44 255\r\n45 128\r\n46 0\r\n47 64\r\n48 65\r\n49 66\r\n51 Y\r\n52 39.6\r\n53 1e12\r\n61 sky01\r\n"
    "69 3w 2.5n 0a 450\r\n70 0\r\n71 100\r\n72 200\r\n";

// Every value lands in its field, converted to what the world file holds.
TEST(WorldImport, DumpedValuesBecomeTheWorldsFields) {
    test::LogCapture log;
    std::string name;
    const std::optional<WorldSettings> s = WorldOfFileText(kDump, "atcafe.txt", log, &name);
    ASSERT_TRUE(s);
    EXPECT_TRUE(log.Empty()) << log.Text();
    EXPECT_EQ(name, "Caf\xC3\xA9");
    EXPECT_EQ(s->objectPath, "http://example.org/cafe");
    EXPECT_EQ(s->skybox, "sky01");
    EXPECT_EQ(s->backdrop, "");  // a dump names no backdrop image: the sky colour is the clear colour
    EXPECT_EQ(s->ground, "");
    EXPECT_EQ(s->backdropColor, (std::array<uint8_t, 3>{0, 100, 200}));
    EXPECT_EQ(s->fogColor, (std::optional<std::array<uint8_t, 3>>({10, 20, 30})));
    EXPECT_EQ(s->directional[1], ColorFieldFromByte(128));
    EXPECT_EQ(s->ambient[2], ColorFieldFromByte(66));
    // The direction made one unit long, as texts the fields read whole.
    EXPECT_EQ(s->direction, (std::array<std::string, 3>{"0", "-0.6", "0.8"}));
    EXPECT_TRUE(s->fog);
    EXPECT_EQ(s->fogMin, "40");
    EXPECT_EQ(s->fogMax, "999999999");  // the most a field reads
    EXPECT_EQ(s->entryPoint, "2.5N 3W 90");

    const WorldLook look = LookOf(*s);
    EXPECT_DOUBLE_EQ(look.lightY, -0.6);
    EXPECT_DOUBLE_EQ(look.fogStart, 4.0);
    EXPECT_EQ(look.fogColor, (std::optional<std::array<float, 4>>({10 / 255.0f, 20 / 255.0f, 30 / 255.0f, 1})));
    EXPECT_EQ(look.clearColor, (std::array<float, 4>{0, 100 / 255.0f, 200 / 255.0f, 1}));
}

// What the dump leaves out keeps the default world's value; a bad entry point is named.
TEST(WorldImport, WhatADumpLacksKeepsTheDefaultWorldsValue) {
    test::LogCapture log;
    const std::optional<WorldSettings> s = WorldOfFileText("atdump version 1\n69 somewhere\n", "at.txt", log);
    ASSERT_TRUE(s);
    WorldSettings expected;
    expected.backdrop.clear();
    expected.ground.clear();
    EXPECT_EQ(*s, expected);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_TRUE(
        log.Lines()[0].starts_with("Attribute dump \"at.txt\", line 2: the entry point \"somewhere\" is not a "
                                   "location ("))
        << log.Lines()[0];
}

TEST(WorldImport, WorldFilesStillReadAndUnreadableDumpsGiveNothing) {
    test::LogCapture log;
    std::string name = "stale";
    EXPECT_EQ(WorldOfFileText(kDefaultWorldText, "w.world", log, &name), WorldSettings{});
    EXPECT_EQ(name, "");
    EXPECT_TRUE(log.Empty());
    EXPECT_FALSE(WorldOfFileText("atdump version 7\n0 x\n", "at.txt", log));
    EXPECT_EQ(log.LineCount(), 1u);
}

// An import says how many attributes it used and how many it kept aside, each number once.
TEST(WorldImport, AttributesAreCountedOnceAsUsedOrIgnored) {
    test::LogCapture log;
    AttributeCounts counts{9, 9};
    ASSERT_TRUE(WorldOfFileText("atdump version 1\n0 W\n3 o\n3 p\n500 a\n501 b\n501 c\nbad\n", "at.txt", log, nullptr,
                                &counts));
    EXPECT_EQ(counts.used, 2u);
    EXPECT_EQ(counts.ignored, 2u);
    EXPECT_EQ(AttributeCountsText(counts), "2 attributes used, 2 others ignored");
    EXPECT_EQ(AttributeCountsText({1, 1}), "1 attribute used, 1 other ignored");
    ASSERT_TRUE(WorldOfFileText(kDefaultWorldText, "w.world", log, nullptr, &counts));
    EXPECT_EQ(counts.used + counts.ignored, 0u);
}

TEST(WorldImport, NamesAreMadeValidWorldNames) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"Caf\xC3\xA9", "x", "Caf\xC3\xA9"},
        {" a/b:c\td ", "x", "a_b_c_d"},
        {"", "atcafe", "atcafe"},
        {"///", "  ", "Imported world"},
        {std::string(248, 'y') + "\xC3\xA9", "x", std::string(248, 'y')},  // not cut inside a character
    };
    for (const auto& [wanted, fallback, expected] : cases) {
        EXPECT_EQ(ValidWorldName(wanted, fallback), expected) << wanted;
        EXPECT_TRUE(IsValidWorldName(ValidWorldName(wanted, fallback))) << wanted;
    }
}

}  // namespace
}  // namespace pelorus
