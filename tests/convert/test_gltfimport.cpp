// glTF models converted on reading: units, node transforms, materials and textures, what is
// not carried, and files that are damaged or hostile.

#include <gtest/gtest.h>

#include <cmath>

#include "gltfmaker.h"
#include "platform/bmpmask.h"
#include "reader/modelimport.h"
#include "reader/rwxobject.h"
#include "testutil.h"

namespace pelorus {
namespace {

using nlohmann::json;
using test::GltfMaker;

const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

struct Read {
    std::unique_ptr<RWXObject> object;
    std::vector<std::string> lines;
};

// Writes `maker` as NAME (.glb or .gltf by its name) into `dir` and reads it.
Read ReadModel(const test::TempDir& dir, const GltfMaker& maker, const std::string& name = "model.glb",
               ReadOptions options = {}) {
    const std::string path = dir.Write(name, name.ends_with(".glb") ? maker.Glb() : maker.Gltf());
    ErrorLog log;
    Read r;
    r.object = std::make_unique<RWXObject>(path, 0, 0, 0, log, std::move(options));
    r.lines = log.Lines();
    return r;
}

std::vector<const TClump*> AllClumps(const RWXObject& o) {
    std::vector<const TClump*> out;
    for (const auto& c : o.Clumps()) ForEachClump(*c, [&](const TClump& x) { out.push_back(&x); });
    return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

TEST(GltfImport, NodesBecomeNestedClumpsWithTheirTransformsAppliedInTenthsOfMetres) {
    GltfMaker m;
    const int mesh = m.Mesh(kTriangle, {}, {});
    const int child = m.Add("nodes", {{"mesh", mesh}, {"scale", {2, 2, 2}}});
    const int parent = m.Add("nodes", {{"children", {child}}, {"translation", {10, 0, 0}}});
    const int empty = m.Add("nodes", {{"name", "camera holder"}});
    m.Scene({parent, empty});
    for (const char* name : {"model.glb", "model.gltf"}) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const Read r = ReadModel(dir, m, name);
        EXPECT_TRUE(r.lines.empty()) << r.lines[0];
        ASSERT_EQ(r.object->Clumps().size(), 1u) << "a node without a mesh below it makes no clump";
        const TClump& top = *r.object->Clumps()[0];
        EXPECT_EQ(top.VertexCount(), 0);
        ASSERT_EQ(top.Children().size(), 1u);
        const TClump& leaf = *top.Children()[0];
        ASSERT_EQ(leaf.VertexCount(), 3);
        // (x * 2 + 10) metres, a tenth of that in units, exactly as the decimal numbers say.
        EXPECT_EQ(leaf.Vertices()[0].x, 1.0);
        EXPECT_EQ(leaf.Vertices()[1].x, 1.2);
        EXPECT_EQ(leaf.Vertices()[2].y, 0.2);
        EXPECT_EQ(r.object->CountTriangles(), 1);
    }
}

TEST(GltfImport, FloatsReadAsTheirDecimalsAndAMirroringTransformKeepsFrontsInFront) {
    GltfMaker m;
    const int mesh = m.Mesh({0.3f, 0, 0, 1.3f, 0, 0, 0.3f, 0.7f, 0}, {}, {});
    m.Scene({m.Add("nodes", {{"mesh", mesh}}), m.Add("nodes", {{"mesh", mesh}, {"scale", {-1, 1, 1}}})});
    test::TempDir dir;
    const Read r = ReadModel(dir, m);
    ASSERT_EQ(r.object->Clumps().size(), 2u);
    const TClump& plain = *r.object->Clumps()[0];
    const TClump& mirrored = *r.object->Clumps()[1];
    EXPECT_EQ(plain.Vertices()[0].x, 0.03);
    EXPECT_EQ(plain.Vertices()[1].x, 0.13);
    EXPECT_EQ(plain.Vertices()[2].y, 0.07);
    const TTriangle a = plain.Batches()[0]->Triangles()[0];
    const TTriangle b = mirrored.Batches()[0]->Triangles()[0];
    const Vec3 na = FaceNormal(plain.Vertices()[a[0]], plain.Vertices()[a[1]], plain.Vertices()[a[2]]);
    const Vec3 nb = FaceNormal(mirrored.Vertices()[b[0]], mirrored.Vertices()[b[1]], mirrored.Vertices()[b[2]]);
    EXPECT_GT(na.z, 0);
    EXPECT_GT(nb.z, 0) << "the mirrored copy must face the same way";
}

TEST(GltfImport, StripsFansAndIndicesGiveTheSameTriangles) {
    GltfMaker m;
    const std::vector<float> square = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    const int listed = m.Mesh(square, {}, {0, 1, 2, 2, 1, 3});
    json strip = m.Json()["meshes"][listed];
    strip["primitives"][0].erase("indices");
    strip["primitives"][0]["mode"] = 5;  // 0 1 2 3 as a strip
    const int stripMesh = m.Add("meshes", strip);
    json fan = strip;
    fan["primitives"][0]["indices"] = m.Indices({0, 1, 3, 2});
    fan["primitives"][0]["mode"] = 6;
    const int fanMesh = m.Add("meshes", fan);
    m.Scene({m.Add("nodes", {{"mesh", listed}}), m.Add("nodes", {{"mesh", stripMesh}}),
             m.Add("nodes", {{"mesh", fanMesh}})});
    test::TempDir dir;
    const Read r = ReadModel(dir, m);
    ASSERT_EQ(r.object->Clumps().size(), 3u);
    for (const auto& c : r.object->Clumps()) {
        ASSERT_EQ(c->CountTriangles(), 2);
        for (const TTriangle& t : c->Batches()[0]->Triangles())
            EXPECT_GT(FaceNormal(c->Vertices()[t[0]], c->Vertices()[t[1]], c->Vertices()[t[2]]).z, 0)
                << "every triangle faces +z";
    }
}

// A 2 x 2 RGBA image: opaque red, half-transparent green, transparent blue, opaque white.
std::string QuadColours() {
    return test::PngBytes(2, 2, {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 255, 255, 255, 255});
}

TEST(GltfImport, MaterialsCarryColourOpacitySidesTexturesAndAlphaModes) {
    GltfMaker m;
    const int texture = m.Texture(m.Image(QuadColours(), "image/png"));
    const int mirrored = m.Texture(m.Image(QuadColours(), "image/png"), 33648);
    const std::vector<float> uvs = {0.25f, 0.5f, 1, 0, 0, 1};
    struct Case {
        const char* name;
        json material;
        std::vector<float> uvs;
        // expected
        RGB color;
        double opacity;
        bool doubleSided, textured;
        std::vector<uint8_t> alpha;  // of the texture's four pixels
        AddressMode mode = AddressMode::Wrap;
        std::vector<uint8_t> red = {};  // red channel, when checked
    };
    ASSERT_EQ(texture, 0);
    ASSERT_EQ(mirrored, 1);
    const std::vector<Case> cases = {
        {"plain colour",
         json::parse(R"({"pbrMetallicRoughness":{"baseColorFactor":[0.2,0.4,0.6,1],"metallicFactor":0}})"),
         {},
         {0.2, 0.4, 0.6},
         1,
         false,
         false,
         {}},
        {"blended colour, two sides",
         json::parse(R"({"alphaMode":"BLEND","doubleSided":true,
                         "pbrMetallicRoughness":{"baseColorFactor":[1,0,0,0.25],"metallicFactor":0}})"),
         {},
         {1, 0, 0},
         0.25,
         true,
         false,
         {}},
        {"alpha of an OPAQUE colour is ignored",
         json::parse(R"({"pbrMetallicRoughness":{"baseColorFactor":[1,1,1,0.5],"metallicFactor":0}})"),
         {},
         {1, 1, 1},
         1,
         false,
         false,
         {}},
        {"opaque texture drops the image's alpha",
         json::parse(R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":0},"metallicFactor":0}})"),
         uvs,
         {1, 1, 1},
         1,
         false,
         true,
         {255, 255, 255, 255}},
        {"masked texture: alpha on or off at the cut-off",
         json::parse(R"({"alphaMode":"MASK","alphaCutoff":0.4,
                         "pbrMetallicRoughness":{"baseColorTexture":{"index":0},"metallicFactor":0}})"),
         uvs,
         {1, 1, 1},
         1,
         false,
         true,
         {255, 255, 0, 255}},
        {"blended texture keeps alpha, base alpha is the opacity",
         json::parse(R"({"alphaMode":"BLEND","pbrMetallicRoughness":{"baseColorTexture":{"index":0},
                         "baseColorFactor":[1,1,1,0.5],"metallicFactor":0}})"),
         uvs,
         {1, 1, 1},
         0.5,
         false,
         true,
         {255, 128, 0, 255}},
        {"tint multiplies into the texture",
         json::parse(R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":0},"baseColorFactor":[0.5,1,1,1],
                         "metallicFactor":0}})"),
         uvs,
         {1, 1, 1},
         1,
         false,
         true,
         {255, 255, 255, 255},
         AddressMode::Wrap,
         {128, 0, 0, 128}},
        {"mirrored sampler",
         json::parse(R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":1},"metallicFactor":0}})"),
         uvs,
         {1, 1, 1},
         1,
         false,
         true,
         {255, 255, 255, 255},
         AddressMode::Mirror},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GltfMaker one = m;
        const int material = one.Add("materials", c.material);
        one.Scene({one.Add("nodes", {{"mesh", one.Mesh(kTriangle, c.uvs, {}, material)}})});
        test::TempDir dir;
        const Read r = ReadModel(dir, one);
        EXPECT_TRUE(r.lines.empty()) << r.lines[0];
        ASSERT_EQ(r.object->Clumps().size(), 1u);
        const TClump& clump = *r.object->Clumps()[0];
        ASSERT_EQ(clump.Batches().size(), 1u);
        const RWXMaterial& mat = clump.Batches()[0]->Material();
        EXPECT_EQ(mat.color, c.color);
        EXPECT_EQ(mat.opacity, c.opacity);
        EXPECT_EQ(mat.IsDoubleSided(), c.doubleSided);
        EXPECT_EQ(mat.HasTexture(), c.textured);
        EXPECT_NE(mat.ambient, (RGB{1, 1, 1})) << "never the glowing surface";
        EXPECT_EQ(mat.ambient, (RGB{kImportAmbient, kImportAmbient, kImportAmbient}));
        if (!c.textured) continue;
        EXPECT_EQ(clump.Vertices()[0].u, 0.25) << "coordinates as the file gives them";
        EXPECT_EQ(clump.Vertices()[0].v, 0.5);
        const TTexture& t = r.object->Textures()[static_cast<std::size_t>(mat.TextureIndex())];
        EXPECT_EQ(t.addressMode, c.mode);
        EXPECT_EQ(mat.addressMode, c.mode);
        const bool masked = c.alpha != std::vector<uint8_t>{255, 255, 255, 255};
        EXPECT_EQ(mat.IsMasked(), masked);
        // The image itself (the top-left quarter of a mirrored tile).
        const int w = t.width / (c.mode == AddressMode::Mirror ? 2 : 1);
        for (int i = 0; i < 4; ++i) {
            const std::size_t at = (static_cast<std::size_t>(i / 2) * static_cast<std::size_t>(t.width) +
                                    static_cast<std::size_t>(i % 2)) *
                                   4;
            EXPECT_EQ(w, 2);
            EXPECT_EQ(t.Rgba()[at + 3], c.alpha[static_cast<std::size_t>(i)]) << "pixel " << i;
            if (!c.red.empty()) {
                EXPECT_EQ(t.Rgba()[at], c.red[static_cast<std::size_t>(i)]) << "pixel " << i;
            }
        }
    }
}

TEST(GltfImport, TextureTransformAndTexCoordSetsPickTheCoordinates) {
    GltfMaker m;
    const int texture = m.Texture(m.Image(QuadColours(), "image/png"));
    const int material =
        m.Add("materials",
              {{"pbrMetallicRoughness",
                {{"metallicFactor", 0},
                 {"baseColorTexture",
                  {{"index", texture},
                   {"texCoord", 1},
                   {"extensions", {{"KHR_texture_transform", {{"offset", {0.5, 0.25}}, {"scale", {2, 4}}}}}}}}}}});
    json primitive = {{"attributes",
                       {{"POSITION", m.Floats(kTriangle, 3)},
                        {"TEXCOORD_0", m.Floats({9, 9, 9, 9, 9, 9}, 2)},
                        {"TEXCOORD_1", m.Floats({0, 0, 1, 0, 0, 1}, 2)}}},
                      {"material", material}};
    m.Json()["extensionsUsed"] = {"KHR_texture_transform"};
    m.Scene({m.Add("nodes", {{"mesh", m.Add("meshes", {{"primitives", {primitive}}})}})});
    test::TempDir dir;
    const Read r = ReadModel(dir, m);
    EXPECT_TRUE(r.lines.empty()) << r.lines[0];
    const TClump& c = *r.object->Clumps()[0];
    EXPECT_EQ(c.Vertices()[0].u, 0.5);
    EXPECT_EQ(c.Vertices()[0].v, 0.25);
    EXPECT_EQ(c.Vertices()[1].u, 2.5);
    EXPECT_EQ(c.Vertices()[2].v, 4.25);
}

TEST(GltfImport, WhatCannotBeCarriedIsNamedOnceEachAndTheModelStillShows) {
    GltfMaker m;
    const int texture = m.Texture(m.Image(QuadColours(), "image/png"));
    const int material =
        m.Add("materials", {{"pbrMetallicRoughness", {{"metallicFactor", 1}, {"roughnessFactor", 0.2}}},
                            {"normalTexture", {{"index", texture}}},
                            {"occlusionTexture", {{"index", texture}}},
                            {"emissiveFactor", {1, 0, 0}}});
    json primitive = {{"attributes", {{"POSITION", m.Floats(kTriangle, 3)}, {"COLOR_0", m.Floats(kTriangle, 3)}}},
                      {"material", material},
                      {"targets", {{{"POSITION", m.Floats(kTriangle, 3)}}}}};
    const int mesh = m.Add("meshes", {{"primitives", {primitive, primitive}}});
    json lines = {{"attributes", {{"POSITION", m.Floats(kTriangle, 3)}}}, {"mode", 1}};
    const int lineMesh = m.Add("meshes", {{"primitives", {lines}}});
    m.Add("cameras", {{"type", "perspective"}, {"perspective", {{"yfov", 1}, {"znear", 0.1}}}});
    const int node = m.Add("nodes", {{"mesh", mesh}, {"camera", 0}});
    m.Add("skins", {{"joints", {node}}});
    json animation = json::parse(R"({"channels":[{"sampler":0,"target":{"path":"translation"}}],
                                     "samplers":[{}]})");
    animation["channels"][0]["target"]["node"] = node;
    animation["samplers"][0]["input"] = m.Floats({0, 1}, 1);
    animation["samplers"][0]["output"] = m.Floats({0, 0, 0, 1, 0, 0}, 3);
    m.Add("animations", animation);
    m.Json()["extensionsUsed"] = {"KHR_lights_punctual", "KHR_materials_clearcoat", "KHR_texture_transform"};
    m.Scene({node, m.Add("nodes", {{"mesh", lineMesh}})});
    test::TempDir dir;
    const Read r = ReadModel(dir, m, "Odd Model.glb");
    const std::vector<std::string> expected = {
        "glTF:Not carried over: animations : \"",
        "glTF:Not carried over: skins : \"",
        "glTF:Not carried over: cameras : \"",
        "glTF:Not carried over: lights (KHR_lights_punctual) : \"",
        "glTF:Not carried over: extension KHR_materials_clearcoat : \"",
        "glTF:Not carried over: morph targets : \"",
        "glTF:Not carried over: vertex colours : \"",
        "glTF:Not carried over: points and lines : \"",
        "glTF:Not carried over: metallic and roughness : \"",
        "glTF:Not carried over: normal maps : \"",
        "glTF:Not carried over: occlusion maps : \"",
        "glTF:Not carried over: emissive colour : \"",
    };
    ASSERT_EQ(r.lines.size(), expected.size()) << ::testing::PrintToString(r.lines);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(r.lines[i].starts_with(expected[i])) << r.lines[i];
        EXPECT_TRUE(r.lines[i].ends_with("Odd Model.glb\"")) << r.lines[i];
    }
    EXPECT_EQ(r.object->CountTriangles(), 2) << "both triangle primitives are still shown";
}

TEST(GltfImport, DamagedPartsCostALineEachAndTheRestIsShown) {
    GltfMaker m;
    const int good = m.Mesh(kTriangle, {}, {});
    const int badIndices = m.Mesh(kTriangle, {}, {0, 1, 7});
    json outside = m.Json()["meshes"][good];
    const int accessor =
        m.Add("accessors", {{"bufferView", 0}, {"componentType", 5126}, {"count", 1000000}, {"type", "VEC3"}});
    outside["primitives"][0]["attributes"]["POSITION"] = accessor;
    const int badAccessor = m.Add("meshes", outside);
    // Node 0 names itself and node 1 twice: each is still taken once.
    const int n0 = m.Add("nodes", {{"mesh", good}, {"children", {0, 1, 1, 99}}});
    m.Add("nodes", {{"mesh", badIndices}});
    const int n2 = m.Add("nodes", {{"mesh", badAccessor}});
    m.Scene({n0, n2, n0});
    test::TempDir dir;
    const Read r = ReadModel(dir, m);
    ASSERT_EQ(r.lines.size(), 2u) << ::testing::PrintToString(r.lines);
    EXPECT_TRUE(Has(r.lines, "glTF:Left out mesh 1 primitive 0: its indices name vertices it does not have"));
    EXPECT_TRUE(Has(r.lines, "reaches outside its data"));
    EXPECT_EQ(r.object->CountTriangles(), 1);
    EXPECT_EQ(AllClumps(*r.object).size(), 3u);
}

TEST(GltfImport, DeepNodeChainsAreCappedAndTheGeometryBudgetHolds) {
    GltfMaker m;
    const int mesh = m.Mesh(kTriangle, {}, {});
    int below = m.Add("nodes", {{"mesh", mesh}});
    for (int i = 0; i < 400; ++i) below = m.Add("nodes", {{"mesh", mesh}, {"children", {below}}});
    m.Scene({below});
    test::TempDir dir;
    Read r = ReadModel(dir, m);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_EQ(r.object->CountTriangles(), 401) << "no face is lost";
    int depth = 0;
    for (const TClump* c = r.object->Clumps()[0].get(); c; c = c->Children().empty() ? nullptr : c->Children()[0].get())
        ++depth;
    EXPECT_EQ(depth, kMaxImportDepth);

    ReadOptions small;
    small.maxTriangles = 100;
    r = ReadModel(dir, m, "again.glb", small);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_TRUE(r.lines[0].starts_with("Object:Too much geometry, more than 100 triangles")) << r.lines[0];
    EXPECT_EQ(r.object->CountTriangles(), 100);
}

TEST(GltfImport, FilesThatCannotBeReadGiveOneLineAndAnEmptyModel) {
    test::TempDir dir;
    GltfMaker withBuffer;
    withBuffer.Scene({withBuffer.Add("nodes", {{"mesh", withBuffer.Mesh(kTriangle, {}, {})}})});
    const struct {
        const char* name;
        std::string content;
        const char* line;
    } cases[] = {
        {"empty.glb", "", "glTF:Cannot read \""},
        {"text.gltf", "this is not JSON", "glTF:Cannot read \""},
        {"cut.glb", withBuffer.Glb().substr(0, 40), "glTF:Cannot read \""},
        {"lost.gltf", withBuffer.Gltf("lost.bin"), "glTF:Cannot read \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write(c.name, c.content);
        ErrorLog log;
        const RWXObject o(path, 0, 0, 0, log);
        ASSERT_EQ(log.Lines().size(), 1u) << ::testing::PrintToString(log.Lines());
        EXPECT_TRUE(log.Lines()[0].starts_with(c.line)) << log.Lines()[0];
        EXPECT_TRUE(o.Clumps().empty());
    }
    ErrorLog log;
    const RWXObject missing(dir.Join("nowhere.glb"), 0, 0, 0, log);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_TRUE(log.Lines()[0].starts_with("glTF:Cannot read \"")) << log.Lines()[0];
}

TEST(GltfImport, BuffersAndImagesBesideTheFileAreFoundInAnyLetterCase) {
    GltfMaker m;
    const int image = m.Add("images", {{"uri", "Pics/Leaf.PNG"}});
    const int broken = m.Add("images", {{"uri", "broken.png"}});
    const int missing = m.Add("images", {{"uri", "gone.png"}});
    std::vector<int> materials;
    for (const int i : {image, broken, missing})
        materials.push_back(m.Add("materials", {{"pbrMetallicRoughness",
                                                 {{"baseColorTexture", {{"index", m.Add("textures", {{"source", i}})}}},
                                                  {"metallicFactor", 0}}}}));
    std::vector<int> nodes;
    for (const int mat : materials)
        nodes.push_back(m.Add("nodes", {{"mesh", m.Mesh(kTriangle, {0, 0, 1, 0, 0, 1}, {}, mat)}}));
    m.Scene(nodes);
    test::TempDir dir;
    dir.Write("MODEL.BIN", m.Buffer());
    dir.Write("pics/leaf.png", QuadColours());
    dir.Write("broken.png", "\x89PNG\r\n\x1A\nnot really");
    const std::string path = dir.Write("model.gltf", m.Gltf("model.bin"));
    ErrorLog log;
    const RWXObject o(path, 0, 0, 0, log);
    ASSERT_EQ(log.Lines().size(), 2u) << ::testing::PrintToString(log.Lines());
    EXPECT_EQ(log.Lines()[0], "Couldn't read texture \"broken.png\".");
    EXPECT_EQ(log.Lines()[1], "Couldn't open texture \"gone.png\".");
    ASSERT_EQ(o.Textures().size(), 1u);
    EXPECT_EQ(o.Textures()[0].width, 2);
    EXPECT_EQ(o.CountTriangles(), 3) << "faces without their texture are still shown";
}

}  // namespace
}  // namespace pelorus
