// Clumps: vertices, faces, batches, normals and prototype instances.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::ReadScript;
using Lines = std::vector<std::string>;

std::vector<TTriangle> AllTriangles(const TClump& c) {
    std::vector<TTriangle> out;
    for (const auto& b : c.Batches())
        for (const TTriangle& t : b->Triangles()) out.push_back(t);
    return out;
}

TTriangle T(int a, int b, int c) {
    return TTriangle{{a, b, c}};
}

const std::string kSquare = "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n";

TEST(ClumpVertices, OptionsInAnyOrderAndNormalsOnlyFromFaces) {
    auto o = ReadScript(
        "ClumpBegin\nVertex 1 2 3 Normal 0 0 1 UV 0.5 0.25\nVertex 4 5 6 uv 1 1 UV 0.75 0.5 Tag 7\nClumpEnd");
    const auto& v = o->Clumps()[0]->Vertices();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].u, 0.5);
    EXPECT_EQ(v[0].v, 0.25);
    EXPECT_EQ(v[0].nz, 0);    // the given normal is not kept; no face uses the vertex
    EXPECT_EQ(v[1].u, 0.75);  // the last value wins
    EXPECT_EQ(v[1].v, 0.5);
}

TEST(ClumpVertices, PrelightCarriesOnUntilTheBodyEnds) {
    auto o = ReadScript(
        "ClumpBegin\nVertex 0 0 0 Prelight 1 0 0\nVertex 1 0 0\n"
        "ClumpBegin\nVertex 0 0 0\nClumpEnd\n"
        "ClumpEnd\nClumpBegin\nVertex 0 0 0\nClumpEnd\n");
    const auto& first = o->Clumps()[0]->Vertices();
    EXPECT_EQ(first[1].r, 1);
    EXPECT_EQ(o->Clumps()[0]->Children()[0]->Vertices()[0].r, 1);  // inherited by the child
    EXPECT_EQ(o->Clumps()[1]->Vertices()[0].r, 0);                 // gone after ClumpEnd
}

TEST(ClumpVertices, PositionsTakeTheTransformCurrentWhenRead) {
    auto o = ReadScript("ClumpBegin\nVertex 0 0 0\ntranslate 1 0 0\nVertex 0 0 0\nClumpEnd");
    const auto& v = o->Clumps()[0]->Vertices();
    EXPECT_EQ(v[0].x, 0);
    EXPECT_EQ(v[1].x, 1);
}

TEST(ClumpLines, MalformedGeometryLinesAreRejectedWholeAndReportedWithTheReason) {
    struct Case {
        const char* line;
        const char* why;  // what follows the quoted line
    };
    const Case cases[] = {
        {"Vertex 1 2", "(3 numbers needed, 2 given)"},
        {"Vertex 1 x 3", "(\"x\" is not a number)"},
        {"Vertex 1 2 3 UV 0.5", "(UV needs 2 numbers, 1 given)"},
        {"Vertex 1 2 3 Prelight 1 0", "(Prelight needs 3 numbers, 2 given)"},
        {"Vertex 1 2 3 Normal a b c", "(\"a\" is not a number)"},
        {"Triangle 1 2", "(3 vertex numbers needed, 2 given)"},
        {"Triangle 1 2 x", "(\"x\" is not a number)"},
        {"Triangle 1 2 5", "(vertex 5 does not exist: the clump has 4)"},
        {"Triangle 0 1 2", "(vertex 0 does not exist: the clump has 4)"},
        {"Triangle -1 1 2", "(vertex -1 does not exist: the clump has 4)"},
        {"Triangle 1 2 2147483648", "(vertex 2147483648 does not exist: the clump has 4)"},
        {"Quad 1 2 3", "(4 vertex numbers needed, 3 given)"},
        {"Quad 1 2 3 9", "(vertex 9 does not exist: the clump has 4)"},
        {"Polygon 2 1 2", "(a polygon needs at least 3 vertices, 2 given)"},
        {"Polygon 4 1 2 3", "(4 vertex numbers needed, 3 given)"},
        {"Polygon 3 1 2 7", "(vertex 7 does not exist: the clump has 4)"},
        {"Polygon x 1 2 3", "(\"x\" is not a number)"},
        {"Polygon -3 1 2 3", "(a polygon needs at least 3 vertices, -3 given)"},
        {"PolygonExt 3 1 2", "(3 vertex numbers needed, 2 given)"},
        {"TriangleExt 1.5 2 3", "(\"1.5\" is not a whole number)"},
        {"Triangle 1 2abc 3", "(\"2abc\" is not a number)"},
        {"Triangle 1 2.0 3", "(\"2.0\" is not a whole number)"},
        {"Polygon", "(the number of vertices is missing)"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        auto o = ReadScript("ClumpBegin\n" + kSquare + c.line + "\nClumpEnd", log);
        const TClump& clump = *o->Clumps()[0];
        EXPECT_EQ(clump.VertexCount(), 4) << c.line;
        EXPECT_EQ(clump.CountTriangles(), 0) << c.line;
        EXPECT_EQ(log.Lines(), Lines{"  Clump:Invalid / Unknown command : \"" + std::string(c.line) + "\" " + c.why})
            << c.line;
    }
}

TEST(ClumpLines, RejectedPrelightDoesNotLeakIntoLaterVertices) {
    auto o = ReadScript("ClumpBegin\nVertex 0 0 0 Prelight 1 1 x\nVertex 0 0 0\nClumpEnd");
    const auto& v = o->Clumps()[0]->Vertices();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].r, 0);
}

TEST(ClumpLines, IgnoredCommandsBuildNothingAndSayNothing) {
    LogCapture log;
    auto o = ReadScript("ClumpBegin\nCollision on\nTag 5\nRandomUVs\nOpacityFix\nTextureDithering on\nClumpEnd", log);
    EXPECT_EQ(o->Clumps()[0]->VertexCount(), 0);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(Batches, FacesJoinTheFirstBatchWithAnEqualMaterial) {
    auto o = ReadScript("ClumpBegin\n" + kSquare +
                        "Triangle 1 2 3\nOpacity 0.5\nTriangle 1 3 4\nOpacity 1\nTriangle 2 3 4\nColor 0 0 0\n"
                        "Triangle 1 2 4\nClumpEnd");
    const TClump& c = *o->Clumps()[0];
    ASSERT_EQ(c.Batches().size(), 2u);
    EXPECT_EQ(c.Batches()[0]->Triangles(), (std::vector<TTriangle>{T(0, 1, 2), T(1, 2, 3), T(0, 1, 3)}));
    EXPECT_EQ(c.Batches()[1]->Triangles(), (std::vector<TTriangle>{T(0, 2, 3)}));
    EXPECT_EQ(c.CountTranslucentTriangles(), 1);
    EXPECT_EQ(o->CountTranslucentTriangles(), 1);
}

// A model of many small clumps must not hold a copy of a material per clump.
TEST(Batches, ClumpsOfOneMaterialShareOneKeptMaterial) {
    std::string script;
    for (int i = 0; i < 3; ++i)
        script += "ClumpBegin\n" + kSquare + "Vertex 2 2 2\nColor 1 0 0\nTriangle 1 2 3\nClumpEnd\n";
    script += "ClumpBegin\n" + kSquare + "Color 0 1 0\nTriangle 1 2 3\nClumpEnd\n";
    auto o = ReadScript(script);
    ASSERT_EQ(o->Clumps().size(), 4u);
    const RWXMaterial* first = &o->Clumps()[0]->Batches()[0]->Material();
    EXPECT_EQ(&o->Clumps()[1]->Batches()[0]->Material(), first);
    EXPECT_EQ(&o->Clumps()[2]->Batches()[0]->Material(), first);
    EXPECT_NE(&o->Clumps()[3]->Batches()[0]->Material(), first);
    EXPECT_EQ(o->Materials().Size(), 2u);
    EXPECT_EQ(o->Clumps()[0]->Vertices().capacity(), 5u) << "spare room given back when the clump ended";
}

// Beyond a handful of batches a clump finds them through an index: the same batches either way.
TEST(Batches, ManyMaterialsInOneClumpKeepTheirBatches) {
    std::string script = "ClumpBegin\n" + kSquare;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 40; ++i) script += "Opacity 0." + std::to_string(10 + i) + "\nTriangle 1 2 3\n";
    auto o = ReadScript(script + "ClumpEnd\n");
    const TClump& c = *o->Clumps()[0];
    ASSERT_EQ(c.Batches().size(), 40u);
    for (const auto& batch : c.Batches()) EXPECT_EQ(batch->TriangleCount(), 2);
}

TEST(Batches, FacetBatchesKeepUnitFaceNormalsVertexBatchesNone) {
    auto o = ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 2 0 0\nVertex 0 2 0\nVertex 4 0 0\n"
        "Triangle 1 2 3\nTriangle 1 2 4\nLightSampling Vertex\nTriangle 1 2 3\nClumpEnd");
    const TClump& c = *o->Clumps()[0];
    ASSERT_EQ(c.Batches().size(), 2u);
    EXPECT_EQ(c.Batches()[0]->FaceNormals(), (std::vector<Vec3>{{0, 0, 1}, {0, 0, 0}}));  // collinear: zero
    EXPECT_TRUE(c.Batches()[1]->FaceNormals().empty());
}

TEST(Quads, SplitAlongTheDiagonalThatKeepsBothTrianglesInside) {
    // Convex, either winding: (a, b, c) and (a, c, d).
    for (const char* quad : {"Quad 1 2 3 4", "Quad 4 3 2 1"}) {
        auto o = ReadScript("ClumpBegin\n" + kSquare + quad + "\nClumpEnd");
        const auto tris = AllTriangles(*o->Clumps()[0]);
        ASSERT_EQ(tris.size(), 2u);
        const TTriangle first = tris[0];
        EXPECT_EQ(tris[1][0], first[0]) << quad;
        EXPECT_EQ(tris[1][1], first[2]) << quad;
    }
    // D on the same side of A-C as B (a dart): (a, b, d) and (b, c, d).
    auto dart =
        ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 2 0 0\nVertex 2 2 0\nVertex 1.5 0.5 0\nQuad 1 2 3 4\nClumpEnd");
    EXPECT_EQ(AllTriangles(*dart->Clumps()[0]), (std::vector<TTriangle>{T(0, 1, 3), T(1, 2, 3)}));
}

TEST(VertexNormals, TopLevelClumpsGetUnitAverageOfUnitFaceNormals) {
    // A vertex shared by a large and a small face at right angles: equal weights, whatever the area.
    auto o = ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 10 0 0\nVertex 0 10 0\nVertex 0 0 1\nVertex 0 1 0\n"
        "Vertex 9 9 9\nTriangle 1 2 3\nColor 1 0 0\nTriangle 1 5 4\nClumpEnd");
    const auto& v = o->Clumps()[0]->Vertices();
    EXPECT_NEAR(v[0].nx, 1 / std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(v[0].nz, 1 / std::sqrt(2.0), 1e-15);
    EXPECT_EQ(v[0].ny, 0);
    EXPECT_EQ(v[5].nx, 0);  // unused vertex
    EXPECT_EQ(v[5].ny, 0);
    EXPECT_EQ(v[5].nz, 0);
}

TEST(VertexNormals, NestedClumpsKeepAreaWeightedSums) {
    auto o = ReadScript(
        "ClumpBegin\nClumpBegin\nVertex 0 0 0\nVertex 2 0 0\nVertex 0 2 0\nTriangle 1 2 3\nClumpEnd\nClumpEnd");
    const auto& v = o->Clumps()[0]->Children()[0]->Vertices();
    EXPECT_EQ(v[0].nz, 4);  // (B - A) x (C - A), not normalised
}

TEST(VertexNormals, DegenerateFacesContributeNothing) {
    auto o =
        ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 2 0 0\nTriangle 1 2 3\nTriangle 1 1 2\nClumpEnd");
    for (const TVertex& v : o->Clumps()[0]->Vertices()) {
        EXPECT_EQ(v.nx, 0);
        EXPECT_EQ(v.ny, 0);
        EXPECT_EQ(v.nz, 0);
    }
}

const std::string kRedBlueProto =
    "ProtoBegin Tile\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nVertex 1 1 0\n"
    "Color 1 0 0\nTriangle 1 2 3\nColor 0 0 1\nTriangle 2 4 3\n"
    "ClumpBegin\nVertex 5 5 5\nVertex 6 5 5\nVertex 5 6 5\nTriangle 1 2 3\nClumpEnd\nProtoEnd\n";

TEST(Prototypes, InstancesCopyVerticesThroughTheCurrentTransform) {
    auto o = ReadScript(kRedBlueProto +
                        "ClumpBegin\nVertex 9 9 9\nProtoInstance tile\nTranslate 10 0 0\nProtoInstance TILE\nClumpEnd");
    const TClump& c = *o->Clumps()[0];
    ASSERT_EQ(c.VertexCount(), 9);  // the child clump of the prototype is not copied
    EXPECT_EQ(c.Vertices()[1].x, 0);
    EXPECT_EQ(c.Vertices()[5].x, 10);
    std::vector<TTriangle> expected{T(1, 2, 3), T(5, 6, 7)};
    EXPECT_EQ(c.Batches()[0]->Triangles(), expected);
}

TEST(Prototypes, InstanceKeepsItsMaterialsGeometryTakesTheCurrentOne) {
    auto o = ReadScript(kRedBlueProto +
                        "ClumpBegin\nColor 0 1 0\nProtoInstance Tile\nTriangle 1 2 3\nClumpEnd\n"
                        "ClumpBegin\nColor 0 1 0\nProtoInstanceGeometry Tile\nClumpEnd\n");
    const TClump& withMaterials = *o->Clumps()[0];
    ASSERT_EQ(withMaterials.Batches().size(), 3u);
    EXPECT_EQ(withMaterials.Batches()[0]->Material().color, (RGB{1, 0, 0}));
    EXPECT_EQ(withMaterials.Batches()[1]->Material().color, (RGB{0, 0, 1}));
    EXPECT_EQ(withMaterials.Batches()[2]->Material().color, (RGB{0, 1, 0}));  // current material unchanged
    const TClump& geometryOnly = *o->Clumps()[1];
    ASSERT_EQ(geometryOnly.Batches().size(), 1u);
    EXPECT_EQ(geometryOnly.Batches()[0]->Material().color, (RGB{0, 1, 0}));
    EXPECT_EQ(geometryOnly.CountTriangles(), 2);
}

TEST(Prototypes, UnknownOrUnfinishedPrototypesAddNothing) {
    LogCapture log;
    auto o = ReadScript(
        "ClumpBegin\nProtoInstance Later\nClumpEnd\n"
        "ProtoBegin Later\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nProtoInstance Later\nProtoEnd\n",
        log);
    EXPECT_EQ(o->Clumps()[0]->VertexCount(), 0);
    EXPECT_EQ(o->Prototypes()[0]->VertexCount(), 3);
    EXPECT_TRUE(log.Lines().empty());
}

TEST(Prototypes, InstancedFacesAccumulateNormalsOnTheNewVertices) {
    auto o = ReadScript(kRedBlueProto + "ClumpBegin\nProtoInstance Tile\nClumpEnd");
    for (const TVertex& v : o->Clumps()[0]->Vertices()) EXPECT_NEAR(v.nz, 1, 1e-15);
}

}  // namespace
}  // namespace pelorus
