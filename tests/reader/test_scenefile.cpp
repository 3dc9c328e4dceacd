// Object maps: entries, offsets, and what a broken map reports.

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "reader/scenefile.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using Lines = std::vector<std::string>;

TEST(ObjectMap, EntriesAreFourItemsSeparatedByAnyWhiteSpace) {
    LogCapture log;
    const auto entries = ParseObjectMap("chair.rwx 0 0.5 -2\r\ntable.rwx\t1e1\n 2\n+3\n\n", "map.txt", log);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "chair.rwx");
    EXPECT_EQ(entries[0].y, 0.5);
    EXPECT_EQ(entries[0].z, -2);
    EXPECT_EQ(entries[1].path, "table.rwx");
    EXPECT_EQ(entries[1].x, 10);
    EXPECT_EQ(entries[1].z, 3);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(ObjectMap, BadEntriesAreReportedAndReadingGoesOnAtTheNextLine) {
    LogCapture log;
    const std::string longPath(300, 'p');
    const auto entries =
        ParseObjectMap("a.rwx 0 zero 0\nb.rwx 1 2 3\n" + longPath + " 0 0 0\nc.rwx 1 2\n", "maps/m.txt", log);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, "b.rwx");
    EXPECT_EQ(log.Lines(), (Lines{"Invalid object map entry \"a.rwx 0 zero 0\" in \"maps/m.txt\".",
                                  "Invalid object map entry \"" + longPath + " 0 0 0\" in \"maps/m.txt\".",
                                  "Invalid object map entry \"c.rwx 1 2\" in \"maps/m.txt\"."}));
}

// A bad entry costs only its own line, however the lines end; the DOS end mark ends the map.
TEST(ObjectMap, LinesEndAtCrLfOrBothAndTheEndMarkEndsTheMap) {
    for (const std::string_view end : {"\n", "\r\n", "\r"}) {
        const std::string e(end);
        LogCapture log;
        const auto entries = ParseObjectMap(
            "a.rwx 1 2 3" + e + "b.rwx one 2 3" + e + "c.rwx 4 5 6" + e + "\x1A" + "d.rwx 7 8 9" + e, "m.txt", log);
        ASSERT_EQ(entries.size(), 2u) << end.size();
        EXPECT_EQ(entries[1].path, "c.rwx");
        EXPECT_EQ(entries[1].z, 6);
        EXPECT_EQ(log.Lines(), Lines{"Invalid object map entry \"b.rwx one 2 3\" in \"m.txt\"."});
    }
    LogCapture log;
    const auto entries = ParseObjectMap("a.rwx 1 2 3\x1A", "m.txt", log);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].z, 3);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(ObjectMap, AVeryLongBadEntryIsQuotedInPart) {
    LogCapture log;
    ParseObjectMap("a.rwx 0 0 " + std::string(3'000'000, '7') + "x\n", "m.txt", log);
    EXPECT_EQ(log.Lines(),
              Lines{"Invalid object map entry \"a.rwx 0 0 " + std::string(2037, '7') + "...\" in \"m.txt\"."});
}

TEST(SceneFiles, ScriptsByExtensionEverythingElseAsMap) {
    EXPECT_TRUE(IsScriptName("A.RWX"));
    EXPECT_TRUE(IsScriptName("dir.x/a.Rwx"));
    EXPECT_FALSE(IsScriptName("a.txt"));
    EXPECT_FALSE(IsScriptName("a.x"));
    EXPECT_FALSE(IsScriptName("a"));
    EXPECT_FALSE(IsScriptName("models.rwx/a"));
}

TEST(SceneFiles, MapPlacesEachScriptAtItsOffsetAndKeepsMissingOnesEmpty) {
    test::TempDir dir;
    dir.Write("Box.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    dir.Write("scene.txt", "box.rwx 1 2 3\nmissing.rwx 0 0 0\nBOX.RWX -1 0 0\n");
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    LogCapture log;
    const SceneObjects loaded = LoadSceneObjects("scene.txt", log, options);
    const auto& objects = loaded.objects;
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].placement.position, (std::array<double, 3>{1, 2, 3}));
    EXPECT_EQ(loaded.ModelOf(objects[0])->CountTriangles(), 1);
    EXPECT_EQ(loaded.ModelOf(objects[1])->CountTriangles(), 0);
    EXPECT_EQ(objects[2].placement.position[0], -1);
    EXPECT_EQ(log.Lines(), Lines{"Could Not Open File \"missing.rwx\""});
    // "box.rwx" and "BOX.RWX" name one file: read once, placed twice, each entry with its path.
    EXPECT_EQ(objects[0].model, objects[2].model);
    EXPECT_EQ(loaded.Name(objects[0]), "box.rwx");
    EXPECT_EQ(loaded.Name(objects[2]), "BOX.RWX");

    const SceneObjects loadedSingle = LoadSceneObjects("box.RWX", log, options);
    const auto& single = loadedSingle.objects;
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].placement.position, (std::array<double, 3>{0, 0.025, 0}));
}

TEST(SceneFiles, AScriptNamedByManyEntriesIsReadOnceAndReportedOnce) {
    test::TempDir dir;
    dir.Write("bad.rwx", "ClumpBegin\nFrobnicate\nClumpEnd\n");
    dir.Write("scene.txt", "bad.rwx 0 0 0\nbad.rwx 1 0 0\n./BAD.rwx 2 0 0\nnone.rwx 0 0 0\nnone.rwx 1 0 0\n");
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    LogCapture log;
    const SceneObjects loaded = LoadSceneObjects("scene.txt", log, options);
    const auto& objects = loaded.objects;
    ASSERT_EQ(objects.size(), 5u);
    EXPECT_EQ(objects[0].model, objects[1].model);
    EXPECT_EQ(objects[0].model, objects[2].model);
    EXPECT_EQ(objects[2].placement.position, (std::array<double, 3>{2, 0, 0}));
    EXPECT_EQ(log.Lines(),
              (Lines{"  Clump:Invalid / Unknown command : \"Frobnicate\"", "Could Not Open File \"none.rwx\""}));
    // Read for every entry, each says its lines.
    options.shareModels = false;
    LogCapture every;
    const SceneObjects loadedUnshared = LoadSceneObjects("scene.txt", every, options);
    const auto& unshared = loadedUnshared.objects;
    EXPECT_NE(unshared[0].model, unshared[1].model);
    EXPECT_EQ(every.Lines().size(), 5u);
}

TEST(SceneFiles, UnreadableMapGivesNoObjects) {
    LogCapture log;
    EXPECT_TRUE(LoadSceneObjects("/nonexistent/scene.txt", log).objects.empty());
    EXPECT_EQ(log.Lines(), Lines{"Unable to open file \"/nonexistent/scene.txt\" as an object map."});
}

}  // namespace
}  // namespace pelorus
