// Object paths: where a world's models are found by name, which names are refused, which script
// of an archive is read, and where their textures come from.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/paths.h"
#include "reader/rwxobject.h"
#include "reader/zippedmodel.h"
#include "testutil.h"
#include "world/objectpath.h"

namespace pelorus {
namespace {

using test::TempDir;

const char* kTriangle = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";

// Writes a model at `relative` (a zip archive holding "<base>.rwx" when it ends in ".zip").
void WriteModel(const TempDir& dir, const std::string& relative) {
    if (relative.ends_with(".zip")) {
        const std::string base(FileNamePart(relative).substr(0, FileNamePart(relative).size() - 4));
        ASSERT_TRUE(test::WriteZip(dir.Join(relative), base + ".rwx", kTriangle));
    } else {
        dir.Write(relative, kTriangle);
    }
}

// The eight places a model can be kept, in the order they are tried: each is found when it is the
// only one, and the earliest wins when all are there.
TEST(LocalObjectPath, FindsEveryLayoutInOrder) {
    const std::vector<std::string> places = {
        "op/models/tree.zip", "op/rwx/tree.rwx",      "op/models/tree.rwx", "dump/tree.zip",
        "dump/tree.rwx",      "dump/models/tree.zip", "dump/rwx/tree.rwx",  "dump/models/tree.rwx",
    };
    {
        TempDir dir;
        LocalObjectPath path(dir.Join("op"), dir.Join("dump"));
        const std::vector<std::string> candidates = path.Candidates("tree");
        ASSERT_EQ(candidates.size(), places.size());
        for (std::size_t i = 0; i < places.size(); ++i) EXPECT_EQ(candidates[i], dir.Join(places[i]));
    }
    for (std::size_t alone = 0; alone < places.size(); ++alone) {
        TempDir dir;
        WriteModel(dir, places[alone]);
        LocalObjectPath path(dir.Join("op"), dir.Join("dump"));
        const ModelLookup found = path.Find("Tree");
        EXPECT_EQ(found.status, ModelLookupStatus::Found) << places[alone];
        EXPECT_EQ(found.location.file, dir.Join(places[alone])) << places[alone];
    }
    TempDir all;
    for (std::size_t i = places.size(); i-- > 0;) WriteModel(all, places[i]);
    LocalObjectPath path(all.Join("op"), all.Join("dump"));
    EXPECT_EQ(path.Find("tree").location.file, all.Join(places[0]));
    // Without an object path only the dump's folder is searched; a folder in a file's place is
    // passed over.
    LocalObjectPath dumpOnly("", all.Join("dump"));
    EXPECT_EQ(dumpOnly.Find("tree").location.file, all.Join("dump/tree.zip"));
    TempDir folderInTheWay;
    std::filesystem::create_directories(folderInTheWay.Join("op/models/tree.zip"));
    WriteModel(folderInTheWay, "op/rwx/tree.rwx");
    EXPECT_EQ(LocalObjectPath(folderInTheWay.Join("op"), "").Find("tree").location.file,
              folderInTheWay.Join("op/rwx/tree.rwx"));
}

TEST(LocalObjectPath, NamesAreFoundWithOrWithoutExtensionInAnyCase) {
    TempDir dir;
    WriteModel(dir, "op/models/Tree.zip");
    WriteModel(dir, "op/rwx/sub/Rock.rwx");
    LocalObjectPath path(dir.Join("op"), "");
    struct Case {
        const char* name;
        std::string file;  // "" when not found
    };
    const Case cases[] = {
        {"tree", dir.Join("op/models/Tree.zip")},
        {"TREE.RWX", dir.Join("op/models/Tree.zip")},
        {"tree.Zip", dir.Join("op/models/Tree.zip")},
        {"sub/rock", dir.Join("op/rwx/sub/Rock.rwx")},
        {"SUB\\ROCK.rwx", dir.Join("op/rwx/sub/Rock.rwx")},
        {"rock", ""},
        {"", ""},
        {"tree/", ""},
        {"tree.rwx.zip", ""},
    };
    for (const Case& c : cases) {
        const ModelLookup found = path.Find(c.name);
        if (c.file.empty()) {
            EXPECT_EQ(found.status, ModelLookupStatus::NotFound) << c.name;
        } else {
            EXPECT_EQ(found.status, ModelLookupStatus::Found) << c.name;
            EXPECT_EQ(found.location.file, c.file) << c.name;
        }
    }
}

// A name from a dump must not reach files outside the object path, whatever exists there.
TEST(LocalObjectPath, NamesThatLeaveTheObjectPathAreRefused) {
    TempDir dir;
    WriteModel(dir, "secret.rwx");
    WriteModel(dir, "op/models/ok.zip");
    LocalObjectPath path(dir.Join("op/models"), "");
    const std::string refused[] = {"../secret",
                                   "..\\secret.rwx",
                                   "x/../../secret",
                                   dir.Join("secret.rwx"),
                                   "\\\\server\\x",
                                   "C:\\secret",
                                   "c:secret",
                                   std::string("ok\0x", 4),
                                   ".."};
    for (const std::string& name : refused) {
        EXPECT_FALSE(IsSafeModelName(name)) << name;
        EXPECT_EQ(path.Find(name).status, ModelLookupStatus::Refused) << name;
    }
    for (const std::string name : {"ok", "a/b", "..a", "a..", "./ok", "x.y.z"})
        EXPECT_TRUE(IsSafeModelName(name)) << name;
}

TEST(LocalObjectPath, SaysWhereItLooked) {
    EXPECT_EQ(LocalObjectPath("/op", "/d").Where(), "the object path \"/op\" and the dump's folder \"/d\"");
    EXPECT_EQ(LocalObjectPath("/op", "").Where(), "the object path \"/op\"");
    EXPECT_EQ(LocalObjectPath("", "/d").Where(), "the dump's folder \"/d\" (no object path is set)");
}

// The script of an archive: the one named after it in any case, else the first in alphabetical
// order of the names (whatever order the archive keeps).
TEST(ZippedModelScript, NamedScriptFirstElseTheFirstAlphabetically) {
    TempDir dir;
    struct Case {
        const char* what;
        std::vector<test::ZipMember> members;
        std::string chosen;  // "" for none
    };
    const Case cases[] = {
        {"named, any case", {{"zz.rwx", "", ""}, {"sub/TREE.RWX", "", ""}, {"a.rwx", "", ""}}, "sub/TREE.RWX"},
        {"alphabetical, not archive order", {{"b.rwx", "", ""}, {"readme.txt", "", ""}, {"A.rwx", "", ""}}, "A.rwx"},
        {"case aside", {{"b.RWX", "", ""}, {"C.rwx", "", ""}, {"a2.Rwx", "", ""}}, "a2.Rwx"},
        {"folders count in the order", {{"z/a.rwx", "", ""}, {"y.rwx", "", ""}}, "y.rwx"},
        {"no script", {{"tree.txt", "", ""}}, ""},
    };
    for (const Case& c : cases) {
        const std::string archive = dir.Join(std::string(c.what) + "/tree.zip");
        ASSERT_TRUE(test::WriteZipMembers(archive, c.members)) << c.what;
        const std::unique_ptr<ZipArchive> zip = ZipArchive::Open(archive);
        ASSERT_TRUE(zip) << c.what;
        const std::optional<std::size_t> found = FindModelScript(*zip, "tree");
        if (c.chosen.empty()) {
            EXPECT_FALSE(found) << c.what;
        } else {
            ASSERT_TRUE(found) << c.what;
            EXPECT_EQ(zip->MemberNames()[*found], c.chosen) << c.what;
        }
    }
}

// Textures of a model found in an object path: its archive first, then the textures folder of the
// object path (masks zipped there too), then the search path.
TEST(LocalObjectPath, TexturesComeFromTheArchiveThenTheObjectPathThenTheSearchPath) {
    TempDir dir;
    const std::string script =
        "ClumpBegin\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
        "Texture wood\nTriangle 1 2 3\nTexture bark\nTriangle 1 2 3\nTexture stone\nTriangle 1 2 3\n"
        "Texture leaf Mask leafm\nTriangle 1 2 3\nClumpEnd\n";
    const std::string red = test::BandsJpeg(8, 8, {{250, 0, 0}});
    const std::string green = test::BandsJpeg(8, 8, {{0, 250, 0}});
    const std::string blue = test::BandsJpeg(8, 8, {{0, 0, 250}});
    ASSERT_TRUE(test::WriteZipMembers(dir.Join("op/models/box.zip"), {{"box.rwx", script, ""}, {"wood.jpg", red, ""}}));
    dir.Write("op/textures/wood.jpg", green);
    dir.Write("op/textures/bark.jpg", green);
    dir.Write("op/textures/leaf.jpg", green);
    ASSERT_TRUE(test::WriteZip(dir.Join("op/textures/leafm.zip"), "leafm.bmp",
                               test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 0))));
    dir.Write("search/wood.jpg", blue);
    dir.Write("search/bark.jpg", blue);
    dir.Write("search/stone.jpg", blue);

    LocalObjectPath path(dir.Join("op"), "");
    const ModelLookup found = path.Find("box");
    ASSERT_EQ(found.status, ModelLookupStatus::Found);
    EXPECT_EQ(found.location.textureDirs, std::vector<std::string>{dir.Join("op/textures")});
    ReadOptions options = test::TexturesFrom(dir.Join("search"));
    options.firstTextureDirs = found.location.textureDirs;
    test::LogCapture log;
    const RWXObject model(found.location.file, 0, 0, 0, log, options);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines()[0];
    std::map<std::string, std::string> from;
    for (const TTexture& t : model.Textures()) from[t.name] = t.fileName;
    EXPECT_EQ(from["wood.jpg"], dir.Join("op/models/box.zip") + ":wood.jpg");
    EXPECT_EQ(from["bark.jpg"], dir.Join("op/textures/bark.jpg"));
    EXPECT_EQ(from["stone.jpg"], dir.Join("search/stone.jpg"));
    EXPECT_EQ(from["leaf.jpg"], dir.Join("op/textures/leaf.jpg"));
    for (const TTexture& t : model.Textures())
        if (t.name == "leaf.jpg") {
            EXPECT_EQ(t.hasMask, 1);
            EXPECT_EQ(t.Rgba()[3], 0);  // the zipped mask made it clear
        }
}

}  // namespace
}  // namespace pelorus
