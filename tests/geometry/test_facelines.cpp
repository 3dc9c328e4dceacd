// Every triangle remembers the script line of the command that made it, through quads, polygons,
// primitives, nested clumps, prototypes and the reader's look-ahead.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace pelorus {
namespace {

using test::ReadScript;

std::vector<uint32_t> LinesOf(const MatTris& batch) {
    return std::vector<uint32_t>(batch.Lines().begin(), batch.Lines().end());
}

// The lines of all triangles of a clump, batch after batch.
std::vector<uint32_t> LinesOf(const TClump& clump) {
    std::vector<uint32_t> out;
    for (const auto& b : clump.Batches())
        for (uint32_t line : LinesOf(*b)) out.push_back(line);
    return out;
}

TEST(FaceLines, EachFaceCommandFilesItsTrianglesUnderItsLine) {
    struct Case {
        const char* body;  // starts on line 6, after ClumpBegin and four vertices
        std::vector<uint32_t> lines;
    };
    const Case cases[] = {
        {"Triangle 1 2 3", {6}},
        {"Quad 1 2 3 4", {6, 6}},
        {"# a comment\n\nPolygon 4 1 2 3 4", {8, 8}},
        {"TriangleExt 1 2 3\nQuadExt 1 2 3 4 Tag 3", {6, 7, 7}},
        // A rejected line makes nothing and moves nothing.
        {"Triangle 1 2 9\nTriangle 3 2 1", {7}},
        {"Disc 0 1 5", {6, 6, 6}},
    };
    for (const Case& c : cases) {
        auto o = ReadScript(std::string("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n") +
                            c.body + "\nClumpEnd\n");
        ASSERT_EQ(o->Clumps().size(), 1u) << c.body;
        EXPECT_EQ(LinesOf(*o->Clumps()[0]), c.lines) << c.body;
    }
}

TEST(FaceLines, LinesCountEveryLineEndOnceAndReachNestedClumps) {
    // CR LF is one line end, a lone CR another; the child's faces carry the file's line numbers.
    const std::string script =
        "ModelBegin\r\nClumpBegin\r\nVertex 0 0 0\rVertex 1 0 0\nVertex 0 1 0\r\n"
        "ClumpBegin\nVertex 0 0 1\nVertex 1 0 1\nVertex 0 1 1\nTriangle 1 2 3\nClumpEnd\n"
        "Triangle 1 2 3\nClumpEnd\nModelEnd\n";
    auto o = ReadScript(script);
    ASSERT_EQ(o->Clumps().size(), 1u);
    const TClump& top = *o->Clumps()[0];
    ASSERT_EQ(top.Children().size(), 1u);
    EXPECT_EQ(LinesOf(*top.Children()[0]), std::vector<uint32_t>{10});
    EXPECT_EQ(LinesOf(top), std::vector<uint32_t>{12});
}

TEST(FaceLines, InstancesKeepThePrototypeFaceLinesAndNameTheirOwnLine) {
    const std::string script =
        "ProtoBegin leaf\n"     // 1
        "Vertex 0 0 0\n"        // 2
        "Vertex 1 0 0\n"        // 3
        "Vertex 0 1 0\n"        // 4
        "Triangle 1 2 3\n"      // 5
        "ProtoEnd\n"            // 6
        "ClumpBegin\n"          // 7
        "Vertex 0 0 5\n"        // 8
        "Vertex 1 0 5\n"        // 9
        "Vertex 0 1 5\n"        // 10
        "Triangle 1 2 3\n"      // 11
        "ProtoInstance leaf\n"  // 12
        "Translate 0 0 1\n"     // 13
        "ProtoInstance LEAF\n"  // 14
        "ClumpEnd\n";
    auto o = ReadScript(script);
    ASSERT_EQ(o->Clumps().size(), 1u);
    const TClump& clump = *o->Clumps()[0];
    ASSERT_EQ(clump.Batches().size(), 1u);
    const MatTris& batch = *clump.Batches()[0];
    EXPECT_EQ(LinesOf(batch), (std::vector<uint32_t>{11, 5, 5}));
    EXPECT_EQ(batch.InstanceOf(0), nullptr);
    ASSERT_NE(batch.InstanceOf(1), nullptr);
    EXPECT_EQ(batch.InstanceOf(1)->line, 12u);
    EXPECT_EQ(batch.InstanceOf(1)->proto, "leaf");
    ASSERT_NE(batch.InstanceOf(2), nullptr);
    EXPECT_EQ(batch.InstanceOf(2)->line, 14u);
    EXPECT_EQ(batch.InstanceOf(3), nullptr);
    EXPECT_EQ(batch.InstanceOf(-1), nullptr);
    EXPECT_EQ(batch.LineOf(3), 0u);
    EXPECT_EQ(batch.LineOf(-1), 0u);
}

TEST(FaceLines, TheReadAheadGivesTheSameLines) {
    std::string script = "ModelBegin\nClumpBegin\n";
    for (int i = 0; i < 3000; ++i) script += "Vertex " + std::to_string(i) + " 0 0\nVertex 0 1 0\nVertex 0 0 1\n";
    for (int i = 0; i < 3000; ++i)
        script += (i % 7 == 0 ? "Color 1 0 0\n" : "") + std::string("Triangle ") + std::to_string(3 * i + 1) + " " +
                  std::to_string(3 * i + 2) + " " + std::to_string(3 * i + 3) + "\n";
    script += "ClumpEnd\nModelEnd\n";
    ReadOptions ahead = test::NoTextures();
    ahead.parallelFrom = 0;
    ReadOptions plain = test::NoTextures();
    plain.plainLinesAhead = false;
    auto a = ReadScript(script, ahead);
    auto b = ReadScript(script, plain);
    const std::vector<uint32_t> lines = LinesOf(*a->Clumps()[0]);
    EXPECT_EQ(lines, LinesOf(*b->Clumps()[0]));
    ASSERT_EQ(lines.size(), 3000u);
    // The first triangle comes after the 9000 vertex lines and one Color line.
    EXPECT_EQ(lines.front(), 2u + 9000u + 2u);
}

}  // namespace
}  // namespace pelorus
