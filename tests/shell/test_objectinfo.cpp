// What the Object Properties pages show.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errorlog.h"
#include "shell/objectinfo.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Object Properties pages

constexpr std::string_view kQuadAndPentagon =
    "ModelBegin\nClumpBegin\n"
    "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nVertex 0.5 1.5 0\n"
    "Quad 1 2 3 4\nPolygon 5 1 2 3 5 4\n"
    "ClumpEnd\nModelEnd\n";

TEST(ObjectInfo, GeneralPageCountsFacesAndTrianglesOfAllObjects) {
    const auto a = test::ReadScript(kQuadAndPentagon);
    const auto b = test::ReadScript(
        "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "Triangle 1 2 3\nClumpEnd\nModelEnd\n");
    const RWXObject* objects[] = {a.get(), nullptr, b.get()};
    const GeneralInfo info = GeneralInfoOf("Autumn", "/models/dir/chair.rwx", objects);
    EXPECT_EQ(info.world, "Autumn");
    EXPECT_EQ(info.object, "chair.rwx");
    EXPECT_EQ(info.polygons, "3");   // a quad, a pentagon, a triangle
    EXPECT_EQ(info.triangles, "6");  // 2 + 3 + 1
}

TEST(ObjectInfo, GeneralPageWithoutWorldNameOrFileSaysSo) {
    const GeneralInfo info = GeneralInfoOf("", "", {});
    EXPECT_EQ(info.world, kDefaultWorldLabel);
    EXPECT_EQ(info.object, kNoObjectLabel);
    EXPECT_EQ(info.polygons, "0");
    EXPECT_EQ(info.triangles, "0");
    EXPECT_EQ(info.boundsUnits, "");
    EXPECT_EQ(info.boundsCentimetres, "");
}

// One script's bounds are its own, without the offset it is placed at; an object map's are where
// it places its objects.
TEST(ObjectInfo, GeneralPageGivesTheBoundsInUnitsAndCentimetres) {
    ErrorLog log;
    const auto block =
        RWXObject::FromText("ClumpBegin\nTranslate 0 0.05 0\nBlock 0.2 0.1 0.35\nClumpEnd\n", 0, 0.025, 0, log);
    const RWXObject* one[] = {block.get()};
    const GeneralInfo info = GeneralInfoOf("", "/m/block.rwx", one);
    EXPECT_EQ(info.boundsUnits, "(-0.1, 0, -0.175) to (0.1, 0.1, 0.175)");
    EXPECT_EQ(info.boundsCentimetres, "(-100, 0, -175) to (100, 100, 175)");

    const auto moved = RWXObject::FromText("ClumpBegin\nBlock 0.2 0.1 0.35\nClumpEnd\n", 1, 0, 0, log);
    const RWXObject* two[] = {block.get(), moved.get()};
    EXPECT_EQ(GeneralInfoOf("", "/m/map.txt", two).boundsUnits, "(-0.1, -0.05, -0.175) to (1.1, 0.125, 0.175)");
}

TEST(ObjectInfo, NumbersAreRoundedWithoutTrailingZerosOrNegativeZero) {
    Bounds b;
    b.Extend(-0.00004, 1.23456789, -1e-9);
    b.Extend(2.5, 1.23456789, 3);
    EXPECT_EQ(BoundsText(b, 1, 4), "(0, 1.2346, 0) to (2.5, 1.2346, 3)");
    EXPECT_EQ(BoundsText(b, 1000, 1), "(0, 1234.6, 0) to (2500, 1234.6, 3000)");
    EXPECT_EQ(BoundsText(Bounds{}, 1, 4), "");
    // Ten metres a unit, to the centimetre.
    EXPECT_EQ(SizeText(b), "25 \u00D7 0 \u00D7 30 m");
    Bounds small;
    small.Extend(0, 0, 0);
    small.Extend(0.0123, 0.1, 0.00049);
    EXPECT_EQ(SizeText(small), "0.12 \u00D7 1 \u00D7 0 m");
    EXPECT_EQ(SizeText(Bounds{}), "");
}

TEST(ObjectInfo, TexturesPageListsEveryLoadedTextureWithItsFacts) {
    TempDir program;  // no TexturesPath.txt there: only the extra folder holds textures
    ReadOptions options;
    options.programDir = program.Path();
    options.extraTextureDirs = {test::DataDir() + "/realworld/cube"};
    const std::string script =
        "ModelBegin\nClumpBegin\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
        "Texture droplet\nTriangle 1 2 3\n"
        "TextureAddressMode Clamp\nTextureMipmapState Off\nTexture DROPLET.JPG\nTriangle 1 2 3\n"
        "Texture missing\nTriangle 1 2 3\n"
        "ClumpEnd\nModelEnd\n";
    const auto object = test::ReadScript(script, options);
    const RWXObject* objects[] = {object.get()};
    const std::vector<TextureRow> rows = TextureRowsOf(objects);
    ASSERT_EQ(rows.size(), 2u);  // the same file once per object, then the missing one
    EXPECT_TRUE(rows[1].missing);
    EXPECT_EQ(rows[1].texture, "missing.jpg");
    const TextureRow& row = rows[0];
    EXPECT_EQ(row.texture, "droplet.jpg");
    EXPECT_EQ(row.fileName, test::DataDir() + "/realworld/cube/droplet.jpg");
    EXPECT_EQ(row.size, "3 KB");   // 2302 bytes
    EXPECT_EQ(row.wxh, "32x128");  // a strip of four 32 x 32 frames
    EXPECT_EQ(row.mask, "");
    EXPECT_EQ(row.mipmapped, "Yes");
    EXPECT_EQ(row.addressMode, "Wrap");

    const auto mirrored = test::ReadScript(
        "ModelBegin\nClumpBegin\nTextureAddressMode Mirror\nTextureMipmapState Off\nTexture droplet\n"
        "ClumpEnd\nModelEnd\n",
        options);
    const RWXObject* both[] = {object.get(), mirrored.get()};
    const std::vector<TextureRow> three = TextureRowsOf(both);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[2].wxh, "32x128");  // as the file holds it, not the doubled mirror image
    EXPECT_EQ(three[2].mipmapped, "No");
    EXPECT_EQ(three[2].addressMode, "Mirror");
}

TEST(ObjectInfo, TexturesThatCouldNotBeUsedAreListedOnceWithWhyAndWhereTheyWereLookedFor) {
    TempDir program, first, second;
    second.Write("broken.jpg", "not an image at all");
    ReadOptions options;
    options.programDir = program.Path();
    options.extraTextureDirs = {first.Path(), second.Path()};
    const auto object = test::ReadScript(
        "ModelBegin\nClumpBegin\nTexture gone\nTexture broken\nTexture gone\nTexture gone mask gonem\n"
        "ClumpEnd\nModelEnd\n",
        options);
    const auto plain = test::ReadScript("ModelBegin\nModelEnd\n", options);
    const RWXObject* objects[] = {object.get(), plain.get()};
    const std::vector<TextureRow> rows = TextureRowsOf(objects);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].texture, "gone.jpg");
    EXPECT_EQ(rows[0].fileName, kTextureNotFound);
    EXPECT_EQ(rows[0].note, "Couldn't open texture \"gone.jpg\".");
    EXPECT_EQ(rows[1].texture, "broken.jpg");
    EXPECT_EQ(rows[1].fileName, kTextureNotReadable);
    EXPECT_EQ(rows[1].note.rfind("Couldn't read texture \"broken.jpg\"", 0), 0u) << rows[1].note;
    EXPECT_EQ(rows[2].mask, "gonem.bmp");  // asked for again with a mask: another request
    for (const TextureRow& row : rows) {
        EXPECT_TRUE(row.missing);
        EXPECT_EQ(row.size, "");
        EXPECT_EQ(row.wxh, "");
    }
    const std::vector<std::string> folders = TextureFoldersOf(objects);
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[folders.size() - 2], first.Path());
    EXPECT_EQ(folders.back(), second.Path());
    EXPECT_TRUE(TextureFoldersOf({}).empty());
}

// ---------------------------------------------------------------------------------------------
// Errors page and status bar

std::vector<std::string> Lines(std::initializer_list<const char*> lines) {
    return {lines.begin(), lines.end()};
}

// Applies an update to a page held as lines, as the window does with its text.
void Apply(const ErrorsUpdate& update, std::vector<std::string>& page) {
    if (update.restart) page.clear();
    for (const ErrorsPiece& piece : update.pieces) {
        if (piece.heading) {
            page.push_back("# " + piece.text);
            continue;
        }
        std::string_view rest = piece.text;
        ASSERT_TRUE(rest.ends_with('\n')) << "whole lines only";
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            page.emplace_back(rest.substr(0, end));
            rest.remove_prefix(end + 1);
        }
    }
}

TEST(ErrorsPage, AppendsWhatWasLoggedSinceWithAHeadingWhereEachLoadBegan) {
    ErrorLog log;
    std::vector<LoadMark> marks;
    std::vector<std::string> page;
    log.Append("start-up");
    marks.push_back({log.LineCount(), "/m/a.rwx", "10:00:00", false});
    log.Append("a1");
    ErrorsShown shown;
    ErrorsUpdate update = PlanErrorsUpdate(log, marks, shown, false);
    EXPECT_TRUE(update.restart);
    Apply(update, page);
    EXPECT_EQ(page, Lines({"start-up", "# 10:00:00  Opened /m/a.rwx", "a1"}));
    EXPECT_EQ(update.count, 2u);
    shown = update.shown;

    // Nothing new: nothing to do.
    update = PlanErrorsUpdate(log, marks, shown, false);
    EXPECT_FALSE(update.restart);
    EXPECT_TRUE(update.pieces.empty());

    // Two loads later, the first without any line.
    marks.push_back({log.LineCount(), "/m/a.rwx", "10:00:05", true});
    marks.push_back({log.LineCount(), "", "10:00:09", false});
    log.Append("b1");
    log.Append("b2");
    update = PlanErrorsUpdate(log, marks, shown, false);
    EXPECT_FALSE(update.restart);
    Apply(update, page);
    EXPECT_EQ(page, Lines({"start-up", "# 10:00:00  Opened /m/a.rwx", "a1", "# 10:00:05  Reloaded /m/a.rwx",
                           "# 10:00:09  Opened (none)", "b1", "b2"}));
    EXPECT_EQ(update.count, 4u);
    EXPECT_EQ(update.pieces.size(), 3u) << "two headings and one run of text";
}

TEST(ErrorsPage, TheLastLoadOnlyStartsOverAtEachNewLoadAndAppendsWithinIt) {
    ErrorLog log;
    std::vector<LoadMark> marks;
    std::vector<std::string> page;
    marks.push_back({0, "/a", "1", false});
    log.Append("a1");
    marks.push_back({1, "/b", "2", false});
    log.Append("b1");
    ErrorsUpdate update = PlanErrorsUpdate(log, marks, {}, true);
    Apply(update, page);
    EXPECT_EQ(page, Lines({"# 2  Opened /b", "b1"}));
    EXPECT_EQ(update.count, 1u);

    log.Append("b2");
    update = PlanErrorsUpdate(log, marks, update.shown, true);
    EXPECT_FALSE(update.restart);
    Apply(update, page);
    EXPECT_EQ(page, Lines({"# 2  Opened /b", "b1", "b2"}));

    // A new load without lines yet, at the same line as nothing else: only its heading shows.
    marks.push_back({3, "/c", "3", true});
    update = PlanErrorsUpdate(log, marks, update.shown, true);
    EXPECT_TRUE(update.restart);
    Apply(update, page);
    EXPECT_EQ(page, Lines({"# 3  Reloaded /c"}));
    EXPECT_EQ(update.count, 0u);
    // A second load that also wrote nothing yet is a new last load all the same.
    marks.push_back({3, "/d", "4", false});
    update = PlanErrorsUpdate(log, marks, update.shown, true);
    EXPECT_TRUE(update.restart);
    Apply(update, page);
    EXPECT_EQ(page, Lines({"# 4  Opened /d"}));

    // Back to every load: the whole log again, once.
    update = PlanErrorsUpdate(log, marks, update.shown, false);
    EXPECT_TRUE(update.restart);
    Apply(update, page);
    EXPECT_EQ(page,
              Lines({"# 1  Opened /a", "a1", "# 2  Opened /b", "b1", "b2", "# 3  Reloaded /c", "# 4  Opened /d"}));
}

TEST(StatusBar, CountsObjectsTrianglesTexturesAndProblems) {
    const auto a = test::ReadScript(kQuadAndPentagon);
    const RWXObject* one[] = {a.get()};
    const RWXObject* two[] = {a.get(), nullptr, a.get()};
    EXPECT_EQ(LoadSummaryOf(one, 0).counts, "1 object, 5 triangles, 0 textures");
    EXPECT_EQ(LoadSummaryOf(one, 0).problems, "No problems");
    EXPECT_EQ(LoadSummaryOf(two, 1).counts, "2 objects, 10 triangles, 0 textures");
    EXPECT_EQ(LoadSummaryOf(two, 1).problems, "1 problem");
    EXPECT_EQ(LoadSummaryOf({}, 12345).problems, "12,345 problems");
    EXPECT_EQ(LoadSummaryOf(one, 0).size, "10 \u00D7 15 \u00D7 0 m");
    // Nothing open says nothing; a script without faces says that it is empty.
    EXPECT_EQ(LoadSummaryOf({}, 0).counts, "");
    EXPECT_EQ(LoadSummaryOf({}, 0).size, "");
    const auto empty = test::ReadScript("ModelBegin\nModelEnd\n");
    const RWXObject* none[] = {empty.get()};
    EXPECT_EQ(LoadSummaryOf(none, 0).counts, "empty");
    EXPECT_EQ(LoadSummaryOf(none, 0).size, "");
    const std::pair<uint64_t, const char*> numbers[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {123456, "123,456"}, {1234567, "1,234,567"}};
    for (const auto& [n, text] : numbers) EXPECT_EQ(GroupedNumber(n), text) << n;
}

// A world's status: its objects and models counted as a builder counts them, and its extent where
// its objects stand, turned as they are, in metres or kilometres with the corners it spans.
TEST(StatusBar, WorldShowsObjectsModelsAndItsExtent) {
    // A box 2 units (20 m) along x, 1 up and 0.5 along z, its origin at a corner.
    SceneObjects world;
    world.dumpVersion = 4;
    world.models.push_back(
        test::ReadScript("ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 2 0 0\nVertex 2 1 0.5\nVertex 0 1 0.5\n"
                         "Quad 1 2 3 4\nClumpEnd\nModelEnd\n"));
    world.models.push_back(nullptr);  // still to read: counted, takes no room
    world.modelNames = {"box", "later"};
    auto place = [&](double x, double z, float yaw, uint32_t model, int32_t type = 0, bool visible = true) {
        PlacedObject o;
        o.placement.position = {x, 0, z};
        o.placement.yaw = yaw;
        o.model = model;
        o.type = type;
        o.visible = visible;
        world.objects.push_back(o);
    };
    place(0, 0, 0, 0);
    EXPECT_EQ(WorldSummaryOf(world, 0).counts, "1 object, 2 models");
    EXPECT_EQ(WorldSummaryOf(world, 0).size, "20 \u00D7 10 \u00D7 5 m, 0N 0W to 0.5N 2W");

    // Turned by 90 degrees the box lies along z: from its origin towards -z (x turns into -z).
    place(-3.25, 10, 90, 0);
    // Neither hidden objects, objects of other types nor objects without a model take room.
    place(500, 500, 0, 0, 0, false);
    place(-500, -500, 0, 0, 2);
    place(400, 400, 0, 1);
    place(300, 300, 0, PlacedObject::kNoModel);
    const LoadSummary near = WorldSummaryOf(world, 3);
    EXPECT_EQ(near.counts, "5 objects, 2 models");
    EXPECT_EQ(near.size, "52.5 \u00D7 10 \u00D7 100 m, 0N 3.3E to 10N 2W");
    EXPECT_EQ(near.problems, "3 problems");

    // A world kilometres wide reads in kilometres; the model's own size stays its own.
    place(-120.04, -250, 0, 0);
    place(600, 130.02, 0, 0);
    EXPECT_EQ(WorldSummaryOf(world, 0).size, "7.22 \u00D7 0.01 \u00D7 3.81 km, 250S 120.1E to 130.6N 602W");

    SceneObjects empty;
    empty.dumpVersion = 4;
    EXPECT_EQ(WorldSummaryOf(empty, 0).counts, "0 objects, 0 models");
    EXPECT_EQ(WorldSummaryOf(empty, 0).size, "");
}

TEST(ObjectInfo, FileSizesInBytesThenKilobytesRoundedUp) {
    const std::pair<uint64_t, const char*> cases[] = {{0, "0 B"},     {1023, "1023 B"}, {1024, "1 KB"},
                                                      {1025, "2 KB"}, {2302, "3 KB"},   {1048576, "1024 KB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(FileSizeText(bytes), text) << bytes;
}

}  // namespace
}  // namespace pelorus
