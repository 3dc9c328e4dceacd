// Zipped models opened as files: which script is read, textures found inside the archive, and
// the one line an archive that gives no script writes.

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "reader/scenefile.h"
#include "reader/zippedmodel.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::Rgb;
using test::ZipMember;
using Lines = std::vector<std::string>;

// A script whose one clump holds `triangles` triangles, textured with `texture` when it is given.
std::string Script(int triangles, const std::string& texture = "") {
    std::string s = "ModelBegin\nClumpBegin\n";
    if (!texture.empty()) s += "Texture " + texture + "\n";
    s += "Vertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n";
    for (int i = 0; i < triangles; ++i) s += "Triangle 1 2 3\n";
    return s + "ClumpEnd\nModelEnd\n";
}

class ZippedModelTest : public ::testing::Test {
protected:
    SceneObjects Load(const std::string& path) {
        ReadOptions options;
        options.programDir = dir.Path();  // no TexturesPath.txt: textures from the base folder
        options.baseFolder = dir.Path();
        return LoadSceneObjects(path, log, options);
    }
    static Rgb Texel(const TTexture& t) { return {t.Rgba().at(0), t.Rgba().at(1), t.Rgba().at(2)}; }
    test::TempDir dir;
    LogCapture log;
};

// The script named after the archive wins, in any folder of it and any letter case; without one
// the first script is read.
TEST_F(ZippedModelTest, TheScriptNamedAfterTheArchiveElseTheFirstIsRead) {
    struct Case {
        const char* archive;
        std::vector<ZipMember> members;
        int64_t triangles;
    };
    const Case cases[] = {
        {"tree.zip", {{"readme.txt", "hello", ""}, {"other.rwx", Script(1), ""}, {"parts/TREE.RWX", Script(2), ""}}, 2},
        {"Lamp.ZIP", {{"lamp.rwx", Script(3), ""}}, 3},
        {"only.zip", {{"textures/a.jpg", "x", ""}, {"model.rwx", Script(4), ""}}, 4},
        {"several.zip", {{"first.rwx", Script(5), ""}, {"second.rwx", Script(6), ""}}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        ASSERT_TRUE(test::WriteZipMembers(dir.Join(c.archive), c.members));
        const SceneObjects loaded = Load(c.archive);
        const auto& objects = loaded.objects;
        ASSERT_EQ(objects.size(), 1u);
        EXPECT_EQ(loaded.ModelOf(objects[0])->CountTriangles(), c.triangles);
        EXPECT_EQ(objects[0].placement.position, (std::array<double, 3>{0, 0.025, 0}));
        EXPECT_EQ(loaded.ModelOf(objects[0])->Path(), c.archive);  // as given
        EXPECT_EQ(loaded.ModelOf(objects[0])->File(), dir.Join(c.archive));
    }
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ZippedModelTest, TexturesAndMasksInsideTheArchiveComeFirst) {
    const std::string red = test::BandsJpeg(8, 8, {{255, 0, 0}});
    const std::string blue = test::BandsJpeg(8, 8, {{0, 0, 255}});
    const std::string holes = test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 7));
    ASSERT_TRUE(test::WriteZipMembers(
        dir.Join("crate.zip"), {{"crate.rwx", "Texture bark mask barkm\nTexture leaf\nTexture stone\n" + Script(1), ""},
                                {"tex/BARK.JPG", red, ""},
                                {"barkm.bmp", holes, ""},
                                {"leaf.png", test::BandsJpeg(8, 8, {{0, 255, 0}}), ""}}));
    dir.Write("bark.jpg", blue);   // beside the archive: the archive's own copy wins
    dir.Write("stone.jpg", blue);  // only here
    const SceneObjects loaded = Load("crate.zip");
    const auto& objects = loaded.objects;
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(objects.size(), 1u);
    const auto& textures = loaded.ModelOf(objects[0])->Textures();
    ASSERT_EQ(textures.size(), 3u);
    EXPECT_EQ(textures[0].fileName, dir.Join("crate.zip") + ":tex/BARK.JPG");
    EXPECT_TRUE(test::Near(Texel(textures[0]), {255, 0, 0}));
    EXPECT_EQ(textures[0].hasMask, 1);
    EXPECT_EQ(textures[0].Rgba().at(3), 7);
    EXPECT_EQ(textures[1].fileName, dir.Join("crate.zip") + ":leaf.png");  // the fallback name, inside
    EXPECT_EQ(textures[2].fileName, dir.Join("stone.jpg"));
}

TEST_F(ZippedModelTest, ObjectMapEntriesMayNameZippedModels) {
    ASSERT_TRUE(test::WriteZip(dir.Join("parts/Box.zip"), "box.rwx", Script(2)));
    dir.Write("scene.txt", "parts/box.zip 1 2 3\nparts/missing.zip 0 0 0\n");
    const SceneObjects loaded = Load("scene.txt");
    const auto& objects = loaded.objects;
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(loaded.ModelOf(objects[0])->CountTriangles(), 2);
    EXPECT_EQ(objects[0].placement.position, (std::array<double, 3>{1, 2, 3}));
    EXPECT_EQ(loaded.ModelOf(objects[0])->Path(), "parts/box.zip");
    EXPECT_EQ(log.Lines(), Lines{"Couldn't open archive \"parts/missing.zip\"."});
}

// An archive that gives no script writes one line naming it and gives an empty object.
TEST_F(ZippedModelTest, ArchivesWithoutAReadableScriptWriteOneLine) {
    dir.Write("garbage.zip", "PK\3\4 no zip at all");
    dir.Write("empty.zip", "");
    ASSERT_TRUE(test::WriteZip(dir.Join("noscript.zip"), "notes.txt", "nothing to see"));
    ASSERT_TRUE(test::WriteZip(dir.Join("locked.zip"), "locked.rwx", Script(1), "secret"));
    std::string damaged;
    ASSERT_TRUE(test::WriteZip(dir.Join("damaged.zip"), "damaged.rwx", std::string(4000, 'Q')));
    ASSERT_TRUE(ReadWholeFile(dir.Join("damaged.zip"), damaged));
    damaged[damaged.find("damaged.rwx") + 11 + 5] ^= 0x55;  // inside the compressed data
    dir.Write("damaged.zip", damaged);
    dir.Write("ppmd.zip", test::ZipWithMethod("ppmd.rwx", Script(1), 98));  // a method libzip lacks
    const std::pair<const char*, std::string> cases[] = {
        {"missing.zip", "Couldn't open archive \"missing.zip\"."},
        {"garbage.zip", "Archive \"garbage.zip\" is not a zip archive or is damaged."},
        {"empty.zip", "Archive \"empty.zip\" is not a zip archive or is damaged."},
        {"noscript.zip", "Archive \"noscript.zip\" holds no .rwx model script."},
        {"locked.zip", "Archive \"locked.zip\" holds an encrypted model script."},
        {"damaged.zip", "Archive \"damaged.zip\" holds a damaged model script."},
        {"ppmd.zip", "Archive \"ppmd.zip\" holds a model script compressed by a method that is not supported."},
    };
    for (const auto& [archive, line] : cases) {
        const std::size_t mark = log.LineCount();
        const SceneObjects loaded = Load(archive);
        const auto& objects = loaded.objects;
        ASSERT_EQ(objects.size(), 1u) << archive;
        EXPECT_EQ(loaded.ModelOf(objects[0])->CountTriangles(), 0) << archive;
        EXPECT_EQ(log.LinesSince(mark), Lines{line}) << archive;
    }
}

TEST_F(ZippedModelTest, ReadAsViewerOpensAZipGivenAsTheFile) {
    ASSERT_TRUE(test::WriteZip(dir.Join("models/Tree.zip"), "tree.rwx", Script(1, "bark")));
    dir.Write("textures/bark.jpg", test::BandsJpeg(8, 8, {{0, 255, 0}}));
    ReadOptions options;
    options.programDir = dir.Path();
    const SceneObjects loaded = ReadAsViewer(dir.Join("models/Tree.zip"), log, options);
    const auto& objects = loaded.objects;
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(loaded.ModelOf(objects[0])->CountTriangles(), 1);
    // The usual layout: textures beside the models folder.
    ASSERT_EQ(loaded.ModelOf(objects[0])->Textures().size(), 1u);
    EXPECT_EQ(loaded.ModelOf(objects[0])->Textures()[0].fileName, dir.Join("textures/bark.jpg"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(ZippedModels, NamesAndScriptChoice) {
    EXPECT_TRUE(IsZipName("a.zip"));
    EXPECT_TRUE(IsZipName("dir.x/A.ZiP"));
    EXPECT_FALSE(IsZipName("a.zip/model.rwx"));
    EXPECT_FALSE(IsZipName("zip"));
    EXPECT_EQ(ArchiveFailureLine(ZipStatus::TooLarge, "big.zip"),
              "Archive \"big.zip\" holds a model script larger than 256 MiB.");
    EXPECT_EQ(ArchiveFailureLine(ZipStatus::Ok, "fine.zip"), "");
}

}  // namespace
}  // namespace pelorus
