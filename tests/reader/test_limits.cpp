// Bounded work on hostile scripts: the geometry budget of an object, and folders listed once per
// load however many missing names are looked for in them.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/paths.h"
#include "reader/scenefile.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::ReadScript;
using Lines = std::vector<std::string>;

// Prototype k instances prototype k - 1 twice: 2^k triangles from a few bytes a level.
std::string Doubling(int levels) {
    std::string s = "ProtoBegin p0\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nProtoEnd\n";
    for (int k = 1; k <= levels; ++k) {
        const std::string previous = "p" + std::to_string(k - 1);
        s += "ProtoBegin p" + std::to_string(k) + "\nProtoInstance " + previous + "\nTranslate 1 0 0\nProtoInstance " +
             previous + "\nProtoEnd\n";
    }
    return s + "ClumpBegin\nProtoInstance p" + std::to_string(levels) + "\nSphere 1 4\nVertex 0 0 0\nClumpEnd\n";
}

int64_t Vertices(const RWXObject& o) {
    int64_t total = 0;
    auto add = [&](const TClump& top) { ForEachClump(top, [&](const TClump& c) { total += c.VertexCount(); }); };
    for (const auto& c : o.Clumps()) add(*c);
    for (const auto& p : o.Prototypes()) add(*p);
    return total;
}

int64_t Triangles(const RWXObject& o) {
    int64_t total = o.CountTriangles();
    for (const auto& p : o.Prototypes()) total += p->CountTriangles();
    return total;
}

TEST(GeometryBudget, PrototypeDoublingStopsAtTheBudgetWithOneLineAndKeepsWhatWasRead) {
    ReadOptions options = test::NoTextures();
    options.maxMadeVertices = 3000;
    LogCapture log;
    const auto o = ReadScript(Doubling(32), log, options);
    // p1 to p8 make 3 (2^9 - 2) = 1530 vertices; p9's first copy of p8 makes 768 more, and its
    // second would pass 3000.
    EXPECT_EQ(log.Lines(), Lines{"Object:Too much geometry, more than 3000 vertices made by instances and primitives; "
                                 "no more is read : \"ProtoInstance p8\""});
    ASSERT_EQ(o->Prototypes().size(), 33u);
    EXPECT_EQ(o->Prototypes()[8]->VertexCount(), 3 << 8);
    EXPECT_EQ(o->Prototypes()[8]->CountTriangles(), 1 << 8);
    EXPECT_EQ(o->Prototypes()[9]->VertexCount(), 3 << 8);  // what was read stays
    EXPECT_EQ(o->Prototypes()[10]->VertexCount(), 0);
    EXPECT_EQ(o->CountTriangles(), 0);  // nothing after the stop, neither instances nor shapes nor vertices
    EXPECT_EQ(o->Clumps().at(0)->VertexCount(), 0);
    EXPECT_LE(Vertices(*o), 3003);
}

// With the budgets a viewer reads with, the same 1.5 KB script stays within a few hundred MB,
// and reading it again beside the first copy (as a reload does) is no different.
TEST(GeometryBudget, TheDefaultBudgetBoundsPrototypeDoubling) {
    const std::string script = Doubling(32);
    ASSERT_LT(script.size(), 2600u);
    LogCapture log;
    const auto first = ReadScript(script, log);
    const auto again = ReadScript(script, log);
    ASSERT_EQ(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0], log.Lines()[1]);
    EXPECT_NE(log.Lines()[0].find("more than 4000000 vertices made"), std::string::npos) << log.Lines()[0];
    EXPECT_LE(Vertices(*first), kDefaultMaxMadeVertices + 3);
    EXPECT_LE(Triangles(*first), kDefaultMaxMadeTriangles + 1);
    EXPECT_EQ(Vertices(*again), Vertices(*first));
}

TEST(GeometryBudget, HugePrimitivesAreRefusedOrStopAtTheBudget) {
    LogCapture log;
    std::string script = "ClumpBegin\nSphere 1 1000000\n";
    for (int i = 0; i < 100; ++i) script += "Sphere 1 256\n";  // 1,046,528 triangles each
    const auto o = ReadScript(script + "ClumpEnd\n", log);
    EXPECT_EQ(log.Lines(),
              (Lines{"  Clump:Invalid / Unknown command : \"Sphere 1 1000000\" (1000000 divisions: 0 to 256 allowed)",
                     "Object:Too much geometry, more than 4000000 triangles made by instances and primitives; no more "
                     "is read : \"Sphere 1 256\""}));
    EXPECT_EQ(o->CountTriangles(), 3 * 1046528);
}

// Written geometry has its own budget, and a face that would pass it is not taken in part; the
// lines read ahead (on another thread or not) stop at the same place.
TEST(GeometryBudget, WrittenGeometryStopsAtItsBudgetOnEveryReadingPath) {
    const std::string script =
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nVertex 1 1 0\nTriangle 1 2 3\nTriangle 2 4 3\n"
        "Quad 1 2 4 3\nTriangle 1 2 3\nVertex 5 5 5\nTriangle 9 9 9\nClumpEnd\n";
    for (const auto& [ahead, parallelFrom] : {std::pair{false, SIZE_MAX}, {true, SIZE_MAX}, {true, std::size_t{0}}}) {
        ReadOptions options = test::NoTextures();
        options.maxTriangles = 3;
        options.plainLinesAhead = ahead;
        options.parallelFrom = parallelFrom;
        LogCapture log;
        const auto o = ReadScript(script, log, options);
        EXPECT_EQ(log.Lines(),
                  Lines{"Object:Too much geometry, more than 3 triangles; no more is read : \"Quad 1 2 4 3\""});
        EXPECT_EQ(o->CountTriangles(), 2);
        EXPECT_EQ(o->Clumps().at(0)->VertexCount(), 4);
        EXPECT_EQ(o->FacesRead(), 2);
    }
    ReadOptions options = test::NoTextures();
    options.maxVertices = 2;
    LogCapture log;
    const auto o = ReadScript(script, log, options);
    EXPECT_EQ(log.Lines(), Lines{"Object:Too much geometry, more than 2 vertices; no more is read : \"Vertex 0 1 0\""});
    EXPECT_EQ(o->Clumps().at(0)->VertexCount(), 2);
    EXPECT_EQ(o->CountTriangles(), 0);
}

// A zipped script of one line repeated unpacks to far more than its archive holds (519 KB became
// 255 MiB of "Vertex 0 0 0" and 2.7 GB in memory): its written geometry is bounded by what it
// takes in the archive, with one line; made geometry keeps its own budget, and a script that
// compresses as scripts do is read whole.
TEST(GeometryBudget, ZippedScriptsWriteOutNoMoreThanTheirArchiveAllows) {
    test::TempDir dir;
    std::string vertices = "ClumpBegin\n";
    for (int i = 0; i < 200'000; ++i) vertices += "Vertex 0 0 0\n";
    ASSERT_TRUE(test::WriteZip(dir.Join("vertices.zip"), "vertices.rwx", vertices + "Triangle 1 2 3\nClumpEnd\n"));
    std::string polygon = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nPolygon 300000";
    for (int i = 0; i < 100'000; ++i) polygon += " 1 2 3";
    ASSERT_TRUE(test::WriteZip(dir.Join("polygon.zip"), "polygon.rwx", polygon + "\nSphere 1 64\nClumpEnd\n"));
    // Varied numbers, as models have them.
    std::string varied = "ClumpBegin\n";
    uint32_t state = 1;
    for (int i = 0; i < 70'000; ++i) {
        state = state * 1664525u + 1013904223u;
        varied += "Vertex " + std::to_string(state % 1000) + "." + std::to_string(state / 1000 % 100) + " " +
                  std::to_string(state / 100000 % 1000) + " 0.5\n";
    }
    ASSERT_TRUE(test::WriteZip(dir.Join("varied.zip"), "varied.rwx", varied + "ClumpEnd\n"));

    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    LogCapture log;
    const RWXObject fromVertices("vertices.zip", 0, 0, 0, log, options);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_TRUE(log.Lines()[0].starts_with("Object:Too much geometry, more than 65536 vertices for a script of "))
        << log.Lines()[0];
    EXPECT_TRUE(log.Lines()[0].ends_with(" bytes in its archive; no more is read : \"Vertex 0 0 0\""))
        << log.Lines()[0];
    EXPECT_EQ(fromVertices.Clumps().at(0)->VertexCount(), 65536);

    LogCapture polygonLog;
    const RWXObject fromPolygon("polygon.zip", 0, 0, 0, polygonLog, options);
    ASSERT_EQ(polygonLog.Lines().size(), 1u);
    EXPECT_TRUE(
        polygonLog.Lines()[0].starts_with("Object:Too much geometry, more than 65536 triangles for a script of "))
        << polygonLog.Lines()[0];
    EXPECT_EQ(fromPolygon.CountTriangles(), 0);  // the polygon stopped reading, and the sphere with it

    LogCapture variedLog;
    const RWXObject fromVaried("varied.zip", 0, 0, 0, variedLog, options);
    EXPECT_TRUE(variedLog.Lines().empty()) << variedLog.Lines()[0];
    EXPECT_EQ(fromVaried.Clumps().at(0)->VertexCount(), 70'000);
}

// 1,000 map entries, each naming a texture that is nowhere, in a folder of 20,000 files: the
// folder is listed once for the whole load.
TEST(FolderListings, MissingNamesOfOneLoadListEachFolderOnce) {
    test::TempDir dir;
    for (int i = 0; i < 19000; ++i) std::ofstream(dir.Join("filler" + std::to_string(i) + ".dat"));
    std::string map;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "model" + std::to_string(i) + ".rwx";
        dir.Write(name, "Texture missing" + std::to_string(i) + " mask gone" + std::to_string(i) + "\n");
        map += name + " 0 0 0\n";
    }
    dir.Write("scene.txt", map);
    FolderListingCache folders;
    ReadOptions options;
    options.programDir = dir.Path();  // TexturesPath.txt is missing there too
    options.baseFolder = dir.Path();
    options.folders = &folders;
    LogCapture log;
    const SceneObjects loaded = LoadSceneObjects("scene.txt", log, options);
    const auto& objects = loaded.objects;
    ASSERT_EQ(objects.size(), 1000u);
    EXPECT_EQ(log.LineCount(), 1000u);
    EXPECT_EQ(log.Lines()[999], "Couldn't open texture \"missing999.jpg\".");
    EXPECT_EQ(folders.ListingCount(), 1u);
}

}  // namespace
}  // namespace pelorus
