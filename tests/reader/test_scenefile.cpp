// Object maps: entries, offsets, and what a broken map reports.

#include <gtest/gtest.h>
#include <unistd.h>

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

// However an entry spells the file (through folders and back, a link, another letter case), the
// file is read once: before, every spelling read it again (330 MB each for a large model).
TEST(SceneFiles, EverySpellingOfOneFileSharesOneModel) {
    test::TempDir dir;
    dir.Write("Bomb.rwx", "ClumpBegin\nFrobnicate\nClumpEnd\n");
    dir.Write("d/other.rwx", "ClumpBegin\nClumpEnd\n");
    ASSERT_EQ(::symlink("Bomb.rwx", dir.Join("link.rwx").c_str()), 0);
    ASSERT_EQ(::link(dir.Join("Bomb.rwx").c_str(), dir.Join("d/hard.rwx").c_str()), 0);
    dir.Write("scene.txt",
              "Bomb.rwx 0 0 0\nd/../Bomb.rwx 1 0 0\nd/../d/../bomb.rwx 2 0 0\n./d/./../link.rwx 3 0 0\n"
              "d\\hard.rwx 4 0 0\n" +
                  dir.Join("Bomb.rwx") + " 5 0 0\nd/other.rwx 6 0 0\n");
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    LogCapture log;
    const SceneObjects scene = LoadSceneObjects("scene.txt", log, options);
    const auto& objects = scene.objects;
    ASSERT_EQ(objects.size(), 7u);
    for (std::size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(objects[i].model, objects[0].model) << scene.Name(objects[i]);
        EXPECT_EQ(objects[i].placement.position[0], static_cast<double>(i));
    }
    EXPECT_NE(objects[6].model, objects[0].model);
    EXPECT_EQ(scene.Name(objects[3]), "./d/./../link.rwx");
    EXPECT_EQ(log.Lines(), Lines{"  Clump:Invalid / Unknown command : \"Frobnicate\""});
}

// A million missing files took 33 s, 3.5 GB and 61 MB of messages: each cost a model of its own
// and a line. Now they share one empty model, and after 10,000 lines the rest are counted.
TEST(SceneFiles, ManyMissingFilesShareNothingAndTheirLinesAreCapped) {
    test::TempDir dir;
    dir.Write("here.rwx", "ClumpBegin\nClumpEnd\n");
    std::string map = "here.rwx 0 0 0\nbroken line\n";
    const int missing = 30'000;
    for (int i = 0; i < missing; ++i) map += "gone/m" + std::to_string(i) + ".rwx 0 0 " + std::to_string(i) + "\n";
    map += "gone.zip 0 0 0\nm0.rwx 1 1 1\n";
    dir.Write("missing.txt", map);
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    LogCapture log;
    const SceneObjects scene = LoadSceneObjects("missing.txt", log, options);
    const auto& objects = scene.objects;
    ASSERT_EQ(objects.size(), missing + 3u);
    const RWXObject* nothing = scene.ModelOf(objects[1]);
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(nothing->Clumps().size(), 0u);
    for (std::size_t i = 1; i < objects.size(); ++i) ASSERT_EQ(scene.ModelOf(objects[i]), nothing) << i;
    EXPECT_EQ(scene.Name(objects[1]), "gone/m0.rwx");
    EXPECT_EQ(objects[missing].placement.position[2], missing - 1);
    const Lines lines = log.Lines();
    ASSERT_EQ(lines.size(), 10'001u);
    EXPECT_EQ(lines[0], "Invalid object map entry \"broken line\" in \"missing.txt\".");
    EXPECT_EQ(lines[1], "Could Not Open File \"gone/m0.rwx\"");
    EXPECT_EQ(lines[9999], "Could Not Open File \"gone/m9998.rwx\"");
    // The rest: the other missing scripts, the missing archive, m0.rwx (another file than
    // gone/m0.rwx).
    EXPECT_EQ(lines[10000], "Too many errors in object map \"missing.txt\", " + std::to_string(missing - 9999 + 2) +
                                " more not listed.");

    LogCapture few;
    dir.Write("few.txt", "gone.zip 0 0 0\nGone.zip 1 0 0\nsub/x.rwx 0 0 0\n");
    EXPECT_EQ(LoadSceneObjects("few.txt", few, options).objects.size(), 3u);
    EXPECT_EQ(few.Lines(), (Lines{"Couldn't open archive \"gone.zip\".", "Couldn't open archive \"Gone.zip\".",
                                  "Could Not Open File \"sub/x.rwx\""}));
}

// A missing file of every kind an entry may name costs the line reading it alone would write.
TEST(SceneFiles, MissingFilesOfEveryKindSayWhatReadingThemAloneSays) {
    test::TempDir dir;
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    for (const char* name : {"x.rwx", "X.ZIP", "x.obj", "x.gltf", "sub/x.glb"}) {
        dir.Write("map.txt", std::string(name) + " 0 0 0\n");
        LogCapture fromMap, alone;
        LoadSceneObjects("map.txt", fromMap, options);
        const RWXObject read(name, 0, 0, 0, alone, options);
        ASSERT_EQ(alone.Lines().size(), 1u) << name;
        EXPECT_EQ(fromMap.Lines(), alone.Lines()) << name;
    }
}

TEST(SceneFiles, UnreadableMapGivesNoObjects) {
    LogCapture log;
    EXPECT_TRUE(LoadSceneObjects("/nonexistent/scene.txt", log).objects.empty());
    EXPECT_EQ(log.Lines(), Lines{"Unable to open file \"/nonexistent/scene.txt\" as an object map."});
}

// `pelorus --check /dev/zero` said only "zero": a map that is there but no file is named whole,
// with the reason, as the viewer reads it (from its own folder, by its file name).
TEST(SceneFiles, SpecialFilesGivenAsMapsAreNamedByTheirWholePath) {
    test::TempDir dir;
    const std::string fifo = test::MakeFifo(dir, "scene.txt");
    dir.Write("folder.txt/inside", "");
    for (const std::string& map : {fifo, dir.Join("folder.txt")}) {
        LogCapture log;
        EXPECT_TRUE(ReadAsViewer(map, log).objects.empty());
        EXPECT_EQ(log.Lines(),
                  Lines{"Unable to open file \"" + map + "\" as an object map: it is not a regular file."});
    }
    const std::string device = test::MakeZeroDevice(dir, "zero");
    if (!device.empty()) {
        LogCapture log;
        EXPECT_TRUE(ReadAsViewer(device, log).objects.empty());
        EXPECT_EQ(log.Lines(),
                  Lines{"Unable to open file \"" + device + "\" as an object map: it is not a regular file."});
    }
}

}  // namespace
}  // namespace pelorus
