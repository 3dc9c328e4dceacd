// OBJ models and their material libraries converted on reading.

#include <gtest/gtest.h>

#include "gltfmaker.h"
#include "reader/modelimport.h"
#include "reader/rwxobject.h"
#include "testutil.h"

namespace pelorus {
namespace {

struct Read {
    std::unique_ptr<RWXObject> object;
    std::vector<std::string> lines;
};

Read ReadObj(const std::string& path) {
    ErrorLog log;
    Read r;
    r.object = std::make_unique<RWXObject>(path, 0, 0, 0, log);
    r.lines = log.Lines();
    return r;
}

TEST(ObjImport, GroupsFacesMaterialsAndTexturesBecomeClumpsBatchesAndTextures) {
    test::TempDir dir;
    dir.Write("Stuff.MTL",
              "newmtl red\nKd 1 0 0\nd 0.5\n"
              "newmtl leaf\nKd 1 1 1\nmap_Kd textures\\Leaf.png\nmap_d leafalpha.png\n");
    // A 2 x 1 image: red, green; its alpha image: opaque, transparent.
    dir.Write("textures/leaf.png", test::PngBytes(2, 1, {255, 0, 0, 255, 0, 255, 0, 255}));
    dir.Write("leafalpha.png", test::PngBytes(2, 1, {255, 255, 255, 255, 0, 0, 0, 255}));
    const std::string obj = dir.Write("model.obj",
                                      "mtllib stuff.mtl\n"
                                      "v 0 0 0\nv 3 0 0\nv 3 2 0\nv 0 2 0\nv 1.5 3 0\n"
                                      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                      "vn 0 0 1\n"
                                      "o walls\nusemtl red\n"
                                      "f 1 2 3 4\n"    // a quad
                                      "f 1 2 3 5 4\n"  // a polygon of five corners
                                      "o leaf\nusemtl leaf\n"
                                      "f 1/1/1 2/2/1 3/3/1\n");
    const Read r = ReadObj(obj);
    EXPECT_TRUE(r.lines.empty()) << r.lines[0];
    ASSERT_EQ(r.object->Clumps().size(), 2u);
    const TClump& walls = *r.object->Clumps()[0];
    EXPECT_EQ(walls.CountTriangles(), 2 + 3);
    ASSERT_EQ(walls.Batches().size(), 1u);
    const RWXMaterial& red = walls.Batches()[0]->Material();
    EXPECT_EQ(red.color, (RGB{1, 0, 0}));
    EXPECT_EQ(red.opacity, 0.5);
    EXPECT_TRUE(red.IsFacet()) << "faces without normals are lit flat";
    EXPECT_EQ(walls.Vertices()[1].x, 0.3) << "metres become tenths";
    EXPECT_EQ(walls.Vertices()[2].y, 0.2);

    const TClump& leaf = *r.object->Clumps()[1];
    const RWXMaterial& textured = leaf.Batches()[0]->Material();
    EXPECT_FALSE(textured.IsFacet()) << "faces with normals are lit smoothly";
    ASSERT_TRUE(textured.HasTexture());
    EXPECT_TRUE(textured.IsMasked());
    const TTexture& t = r.object->Textures()[static_cast<std::size_t>(textured.TextureIndex())];
    EXPECT_EQ(t.Rgba()[3], 255);
    EXPECT_EQ(t.Rgba()[7], 0) << "map_d's black is transparent";
    EXPECT_EQ(leaf.Vertices()[0].v, 1.0) << "v counts from the image's top";
    EXPECT_EQ(leaf.Vertices()[2].v, 0.0);
}

TEST(ObjImport, MissingPartsAndWhatIsNotCarriedCostALineEach) {
    test::TempDir dir;
    dir.Write("m.mtl", "newmtl shiny\nKd 0 0 1\nmap_Bump bump.png\nKe 1 1 1\nmap_Kd gone.jpg\n");
    const std::string obj = dir.Write("model.obj",
                                      "mtllib lost.mtl m.mtl\n"
                                      "v 0 0 0 1 1 1\nv 1 0 0 1 1 1\nv 0 1 0 1 1 1\nv 1 1 0 0.5 0.5 0.5\n"
                                      "o good\nusemtl shiny\nf 1 2 3\nl 1 2\n"
                                      "o bad\nf 1 2 9\n");
    const Read r = ReadObj(obj);
    const std::vector<std::string> expected = {
        "OBJ:Couldn't open material library \"lost.mtl\"",
        "OBJ:Not carried over: vertex colours : \"",
        "OBJ:Not carried over: points and lines : \"",
        "Couldn't open texture \"gone.jpg\".",
        "OBJ:Not carried over: bump and normal maps : \"",
        "OBJ:Not carried over: emissive colour : \"",
        "OBJ:Left out object 2: its faces name vertices the file does not have : \"",
    };
    ASSERT_EQ(r.lines.size(), expected.size()) << ::testing::PrintToString(r.lines);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(r.lines[i].starts_with(expected[i])) << r.lines[i];
    EXPECT_EQ(r.object->CountTriangles(), 1);
    EXPECT_EQ(r.object->Clumps()[0]->Batches()[0]->Material().color, (RGB{0, 0, 1}));
}

TEST(ObjImport, AFileThatCannotBeReadGivesOneLine) {
    test::TempDir dir;
    ErrorLog log;
    const RWXObject o(dir.Join("none.obj"), 0, 0, 0, log);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_TRUE(log.Lines()[0].starts_with("OBJ:Cannot read \"")) << log.Lines()[0];
    EXPECT_TRUE(o.Clumps().empty());
}

}  // namespace
}  // namespace pelorus
