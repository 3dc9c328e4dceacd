// Where the viewer's files go and where the program's own files are found.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "reader/backdrop.h"
#include "shell/userfolders.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(WorldFolder, StartFolderOnlyWhenItHoldsAWorldList) {
    TempDir dir;
    fs::create_directories(dir.Join("start"));
    fs::create_directories(dir.Join("config"));
    EXPECT_EQ(WorldFolderFor(dir.Join("start"), dir.Join("config")), dir.Join("config"));
    dir.Write("start/worlds.TXT", "0\nA\n");  // as the design's files are found: any letter case
    EXPECT_EQ(WorldFolderFor(dir.Join("start"), dir.Join("config")), dir.Join("start"));
    // Whatever stands there is the user's list, even one that cannot be read.
    fs::remove(dir.Join("start/worlds.TXT"));
    fs::create_directory(dir.Join("start/Worlds.txt"));
    EXPECT_EQ(WorldFolderFor(dir.Join("start"), dir.Join("config")), dir.Join("start"));
    // Without a configuration folder everything stays where the viewer started.
    EXPECT_EQ(WorldFolderFor(dir.Join("elsewhere"), ""), dir.Join("elsewhere"));
}

TEST(DataFolder, BesideTheProgramThenTheInstalledTreeThenTheConfiguredPlace) {
    TempDir dir;
    fs::create_directories(dir.Join("build/src"));
    fs::create_directories(dir.Join("prefix/bin"));
    fs::create_directories(dir.Join("prefix/share/pelorus"));
    fs::create_directories(dir.Join("configured"));
    EXPECT_EQ(FindDataFolder(dir.Join("build/src"), dir.Join("configured")), dir.Join("configured"));
    fs::create_directories(dir.Join("build/src/data"));
    EXPECT_EQ(FindDataFolder(dir.Join("build/src"), dir.Join("configured")), dir.Join("build/src/data"));
    // An installed tree moved elsewhere still finds its own data.
    EXPECT_EQ(FindDataFolder(dir.Join("prefix/bin"), "/nonexistent/share/pelorus"), dir.Join("prefix/share/pelorus"));
    EXPECT_EQ(FindDataFolder(dir.Join("nowhere/bin"), "/nonexistent/share/pelorus"), "");
    dir.Write("file/data", "not a folder");
    EXPECT_EQ(FindDataFolder(dir.Join("file"), ""), "");
}

class ShippedFilesTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string data = dir.Join("data");
    std::string here = dir.Join("here");
    void SetUp() override {
        dir.Write("data/fall_day.jpg", "image");
        dir.Write("data/models/fall_gd.rwx", "ground");
        dir.Write("data/models/Dome.rwx", "sky");
        fs::create_directories(here);
    }
};

TEST_F(ShippedFilesTest, DefaultWorldFindsTheShippedGroundAndBackdropAnywhere) {
    const LookWithData applied = WithShippedFiles(WorldLook{}, data, here);
    EXPECT_EQ(applied.look.groundPath, data + "/models/fall_gd.rwx");
    EXPECT_EQ(applied.look.skyboxPath, "models/.rwx");  // no skybox stays no skybox
    EXPECT_EQ(applied.look.backdrop, "fall_day");
    EXPECT_EQ(applied.textureDirs, std::vector<std::string>{data});
}

TEST_F(ShippedFilesTest, TheWorldsOwnFilesWin) {
    dir.Write("here/models/fall_gd.rwx", "the folder's own ground");
    WorldLook look;
    look.skyboxPath = dir.Join("objects/models/dome.rwx");  // found in the data folder by any case
    const LookWithData applied = WithShippedFiles(look, data, here);
    EXPECT_EQ(applied.look.groundPath, "models/fall_gd.rwx");
    EXPECT_EQ(applied.look.skyboxPath, data + "/models/Dome.rwx");

    dir.Write("objects/models/dome.rwx", "the world's own sky");
    EXPECT_EQ(WithShippedFiles(look, data, here).look.skyboxPath, look.skyboxPath);
}

TEST_F(ShippedFilesTest, NamesTheDataFolderLacksAndAMissingDataFolderChangeNothing) {
    WorldLook look;
    look.groundPath = "models/meadow.rwx";
    look.backdrop = "dusk";
    const LookWithData applied = WithShippedFiles(look, data, here);
    EXPECT_EQ(applied.look.groundPath, "models/meadow.rwx");

    const LookWithData without = WithShippedFiles(WorldLook{}, "", here);
    EXPECT_EQ(without.look.groundPath, "models/fall_gd.rwx");
    EXPECT_TRUE(without.textureDirs.empty());
}

// The files the build ships: the default world's backdrop and ground read without a complaint.
TEST(ShippedFiles, TheTreesDataFolderHoldsTheDefaultWorld) {
    const std::string data = test::SourceDir() + "/data";
    const LookWithData applied = WithShippedFiles(WorldLook{}, data, "/nonexistent");
    EXPECT_EQ(applied.look.groundPath, data + "/models/fall_gd.rwx");
    test::LogCapture log;
    RWXObject ground(applied.look.groundPath, 0, 0, 0, log, test::TexturesFrom(data));
    EXPECT_GT(ground.CountTriangles(), 0);
    ReadOptions options = test::TexturesFrom(data);
    options.extraTextureDirs = applied.textureDirs;
    const std::optional<RgbaImage> backdrop = ReadBackdropImage(applied.look.backdrop, log, options);
    ASSERT_TRUE(backdrop.has_value());
    EXPECT_GT(backdrop->width, backdrop->height);  // a strip around the horizon
    EXPECT_TRUE(log.Lines().empty()) << log.Lines().front();
}

}  // namespace
}  // namespace pelorus
