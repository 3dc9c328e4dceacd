// `--screenshot --world VALUE`: a world named in Worlds.txt, or a world file.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/screenshot.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

constexpr std::string_view kRedWorld = "\n\n0 -1 0 255 255 255\n255 255 255 NoFog 40 150\nnone\n\n\n200 0 0";
constexpr std::string_view kGreenWorld = "\n\n0 -1 0 255 255 255\n255 255 255 NoFog 40 150\nnone\n\n\n0 200 0";

TEST(WorldArgument, NamesListedInWorldsTxtGiveTheirFilesOtherValuesStayPaths) {
    TempDir dir;
    dir.Write("Worlds.txt", "0\nDusk\ndusk\nNight\n");
    dir.Write("Dusk.world", kRedWorld);
    dir.Write("dusk.world", kGreenWorld);
    dir.Write("Night.world", kRedWorld);
    const std::pair<const char*, std::string> cases[] = {
        {"Dusk", dir.Join("Dusk.world")},    // exact name first
        {"dusk", dir.Join("dusk.world")},    // exact name first
        {"NIGHT", dir.Join("Night.world")},  // else without regard to case
        {"Noon", "Noon"},                    // not listed: a path
        {"Night.world", "Night.world"},      // a file name is not a world name
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(WorldFileOfArgument(value, dir.Path()), expected) << value;

    TempDir empty;
    EXPECT_EQ(WorldFileOfArgument("Dusk", empty.Path()), "Dusk");
}

TEST(WorldArgument, ListedWorldWithoutItsFileFailsNamingTheWorld) {
    TempDir dir;
    dir.Write("Worlds.txt", "0\nGone\n");
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    std::ostringstream out, err;
    EXPECT_EQ(RunScreenshot({"--screenshot", "out.png", "--world", "Gone"}, out, err), 1);
    EXPECT_NE(err.str().find("Gone.world\" of the world \"Gone\""), std::string::npos) << err.str();
}

// The named world is drawn exactly as its file is.
TEST(WorldArgument, ScreenshotWithAWorldNameDrawsThatWorld) {
    TempDir dir;
    dir.Write("Worlds.txt", "0\nGreen\n");
    dir.Write("Green.world", kGreenWorld);
    dir.Write("red.world", kRedWorld);
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    const auto shoot = [&](const std::string& world, const std::string& output) {
        std::ostringstream out, err;
        const int status =
            RunScreenshot({"--screenshot", output, "--size", "8x8", "--view", "-axes", "--world", world}, out, err);
        std::string png;
        EXPECT_EQ(status, 0) << err.str();
        EXPECT_TRUE(ReadWholeFile(dir.Join(output), png)) << output;
        return png;
    };
    const std::string byName = shoot("green", "name.png");
    const std::string byFile = shoot("Green.world", "file.png");
    const std::string other = shoot("red.world", "red.png");
    EXPECT_FALSE(byName.empty());
    EXPECT_EQ(byName, byFile);
    EXPECT_NE(byName, other);
}

// A world attribute dump stands for a world wherever a world file does; one that cannot be read
// stops the tool with its reason.
TEST(WorldArgument, AttributeDumpDrawsTheWorldItDescribes) {
    TempDir dir;
    dir.Write("Green.world", kGreenWorld);
    dir.Write("atgreen.txt", "atdump version 1\r\n0 Green\r\n70 0\r\n71 200\r\n72 0\r\n41 x\r\n");
    dir.Write("atnext.txt", "atdump version 2\r\n");
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    std::ostringstream out, fileErr, dumpErr, badErr;
    ASSERT_EQ(RunScreenshot({"--screenshot", "file.png", "--size", "8x8", "--view", "-axes", "--world", "Green.world"},
                            out, fileErr),
              0)
        << fileErr.str();
    ASSERT_EQ(RunScreenshot({"--screenshot", "dump.png", "--size", "8x8", "--view", "-axes", "--world", "atgreen.txt"},
                            out, dumpErr),
              0)
        << dumpErr.str();
    std::string byFile, byDump;
    ASSERT_TRUE(ReadWholeFile(dir.Join("file.png"), byFile));
    ASSERT_TRUE(ReadWholeFile(dir.Join("dump.png"), byDump));
    EXPECT_EQ(byDump, byFile);
    EXPECT_EQ(dumpErr.str(), "pelorus: Attribute dump \"atgreen.txt\", line 6: attribute 41 \"x\" is not a number.\n");

    EXPECT_EQ(RunScreenshot({"--screenshot", "bad.png", "--world", "atnext.txt"}, out, badErr), 1);
    EXPECT_EQ(badErr.str(),
              "pelorus: World attribute dump \"atnext.txt\" is of version 2, which cannot be read (version 1 can).\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Join("bad.png")));
}

}  // namespace
}  // namespace pelorus
