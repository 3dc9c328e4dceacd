// Face tags: how a tag reaches a face (its own line, its clump, a prototype instance) and how tags
// keep faces apart in batches without changing what is drawn.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::ReadScript;
using TagCounts = std::vector<std::pair<int32_t, int32_t>>;  // per batch: tag, triangles

const std::string kSquare = "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n";

TagCounts TagsOf(const TClump& clump) {
    TagCounts out;
    for (const auto& b : clump.Batches()) out.emplace_back(b->Tag(), b->TriangleCount());
    return out;
}

TEST(FaceTags, TheFaceLineTheClumpOrNothingTagsAFace) {
    struct Case {
        const char* body;
        TagCounts batches;
    };
    const Case cases[] = {
        {"Triangle 1 2 3 Tag 5", {{5, 1}}},
        {"Quad 1 2 3 4 tag 200", {{200, 2}}},
        {"Polygon 4 1 2 3 4 TAG 100", {{100, 2}}},
        {"TriangleExt 1 2 3 tag 7\nQuadExt 1 2 3 4 tag 7", {{7, 3}}},
        {"Tag 100\nQuad 1 2 3 4", {{100, 2}}},
        {"tag 100\nQuad 1 2 3 4 Tag 200\nTriangle 1 2 3", {{200, 2}, {100, 1}}},
        // Only "Tag" and a number right after the vertex numbers tag a face.
        {"Quad 1 2 3 4 tag", {{0, 2}}},
        {"Quad 1 2 3 4 tag x", {{0, 2}}},
        {"Quad 1 2 3 4 Collision tag 5", {{0, 2}}},
        {"Quad 1 2 3 4 # tag 5", {{0, 2}}},
        // A Tag line without a number leaves the clump's tag as it was.
        {"Tag 3\nTag\nTag x\nTriangle 1 2 3", {{3, 1}}},
        // Faces of one material and different tags never share a batch; the same tag again
        // finds its batch again.
        {"Triangle 1 2 3\nTriangle 1 3 4 tag 1\nTriangle 2 3 4\nTriangle 1 2 4 tag 1", {{0, 2}, {1, 2}}},
        // A primitive's faces are the clump's faces that follow.
        {"Tag 9\nBlock 1 1 1", {{9, 12}}},
    };
    for (const Case& c : cases) {
        LogCapture log;
        auto o = ReadScript("ClumpBegin\n" + kSquare + c.body + "\nClumpEnd\n", log);
        EXPECT_EQ(TagsOf(*o->Clumps()[0]), c.batches) << c.body;
        EXPECT_TRUE(log.Lines().empty()) << c.body;
    }
}

TEST(FaceTags, AClumpTagLastsForItsOwnFacesOnly) {
    auto o = ReadScript("ClumpBegin\n" + kSquare +
                        "Tag 100\nTriangle 1 2 3\n"
                        "ClumpBegin\n" +
                        kSquare +
                        "Triangle 1 2 3\nClumpEnd\n"
                        "Triangle 1 3 4\nClumpEnd\n"
                        "ClumpBegin\n" +
                        kSquare + "Triangle 1 2 3\nClumpEnd\n");
    const TClump& first = *o->Clumps()[0];
    EXPECT_EQ(TagsOf(first), (TagCounts{{100, 2}}));  // its tag holds after the child ended
    EXPECT_EQ(TagsOf(*first.Children()[0]), (TagCounts{{0, 1}}));
    EXPECT_EQ(TagsOf(*o->Clumps()[1]), (TagCounts{{0, 1}}));
}

TEST(FaceTags, InstancesKeepTheirFacesTagsAndLendTheClumpsToTheRest) {
    const std::string proto = "ProtoBegin sign\n" + kSquare +
                              "Color 1 0 0\nQuad 1 2 3 4 tag 100\nColor 0 0 1\nTriangle 1 2 3\nProtoEnd\n"
                              "ProtoBegin board\n" +
                              kSquare + "Tag 200\nQuad 1 2 3 4\nProtoEnd\n";
    auto o = ReadScript(proto +
                        "ClumpBegin\nProtoInstance sign\nClumpEnd\n"
                        "ClumpBegin\nTag 3\nProtoInstance sign\nProtoInstanceGeometry board\nClumpEnd\n"
                        "ClumpBegin\nColor 0 1 0\nProtoInstanceGeometry sign\nClumpEnd\n");
    EXPECT_EQ(TagsOf(*o->Clumps()[0]), (TagCounts{{100, 2}, {0, 1}}));
    // Tagged faces keep 100 and 200; the untagged one takes the clump's 3.
    EXPECT_EQ(TagsOf(*o->Clumps()[1]), (TagCounts{{100, 2}, {3, 1}, {200, 2}}));
    // Geometry alone takes the current material but keeps the tags apart.
    const TClump& geometry = *o->Clumps()[2];
    EXPECT_EQ(TagsOf(geometry), (TagCounts{{100, 2}, {0, 1}}));
    EXPECT_EQ(&geometry.Batches()[0]->Material(), &geometry.Batches()[1]->Material());
    EXPECT_EQ(geometry.Batches()[0]->Material().color, (RGB{0, 1, 0}));
}

// Beyond a handful of batches a clump finds them through an index, which must tell tags apart
// as the search one by one does.
TEST(FaceTags, ManyBatchesFoundThroughTheIndexStaySeparatedByTag) {
    std::string script = "ClumpBegin\n" + kSquare;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 20; ++i)
            for (int tag = 0; tag < 2; ++tag)
                script += "Opacity 0." + std::to_string(10 + i) + "\nTriangle 1 2 3 tag " + std::to_string(tag) + "\n";
    auto o = ReadScript(script + "ClumpEnd\n");
    const TClump& c = *o->Clumps()[0];
    ASSERT_EQ(c.Batches().size(), 40u);
    for (std::size_t i = 0; i < c.Batches().size(); ++i) {
        const MatTris& b = *c.Batches()[i];
        EXPECT_EQ(b.Tag(), static_cast<int32_t>(i % 2));
        EXPECT_EQ(b.TriangleCount(), 2) << "batch " << i;
    }
    EXPECT_EQ(o->Materials().Size(), 20u);
}

// Tags split batches but draw nothing differently: the same material, the same triangles, the same
// vertex normals (to rounding: sums may add up in another order) as the script without tags.
TEST(FaceTags, TaggedModelsKeepTheirGeometryAndMaterials) {
    const std::string body = kSquare + "Vertex 1 1 1\nTriangle 1 2 3\nTriangle 1 3 4 tag 100\nTriangle 2 5 3 tag 2\n";
    auto tagged = ReadScript("ClumpBegin\n" + body + "ClumpEnd\n");
    auto plain = ReadScript("ClumpBegin\n" + kSquare +
                            "Vertex 1 1 1\nTriangle 1 2 3\nTriangle 1 3 4\nTriangle 2 5 3\n" + "ClumpEnd\n");
    const TClump& t = *tagged->Clumps()[0];
    const TClump& p = *plain->Clumps()[0];
    ASSERT_EQ(t.Batches().size(), 3u);
    ASSERT_EQ(p.Batches().size(), 1u);
    std::vector<TTriangle> all;
    for (const auto& b : t.Batches()) {
        EXPECT_EQ(b->Material(), p.Batches()[0]->Material());
        all.insert(all.end(), b->Triangles().begin(), b->Triangles().end());
    }
    EXPECT_EQ(all, std::vector<TTriangle>(p.Batches()[0]->Triangles().begin(), p.Batches()[0]->Triangles().end()));
    ASSERT_EQ(t.VertexCount(), p.VertexCount());
    for (int32_t i = 0; i < t.VertexCount(); ++i) {
        EXPECT_NEAR(t.GetVertex(i)->nx, p.GetVertex(i)->nx, 1e-12);
        EXPECT_NEAR(t.GetVertex(i)->ny, p.GetVertex(i)->ny, 1e-12);
        EXPECT_NEAR(t.GetVertex(i)->nz, p.GetVertex(i)->nz, 1e-12);
    }
}

}  // namespace
}  // namespace pelorus
