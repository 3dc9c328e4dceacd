// The glTF export: what every model file becomes, read back with tinygltf and compared with its
// dump, and the mapping rules on tiny scripts with known answers.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "export/gltfexport.h"
#include "export/gltfsave.h"
#include "gltfreadback.h"
#include "platform/paths.h"
#include "reader/scenefile.h"
#include "scene/objectmap.h"
#include "shell/cli.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr GltfForm kForms[] = {GltfForm::Binary, GltfForm::Text};

const char* FormName(GltfForm form) {
    return form == GltfForm::Binary ? "glb" : "gltf";
}

struct Exported {
    GltfExport files;
    tinygltf::Model model;
};

// Exports `entries` in `form` and reads the result back (a Text export through `dir`).
Exported ExportAndRead(std::span<const ExportEntry> entries, GltfForm form, const test::TempDir& dir,
                       const std::string& stem = "model") {
    GltfOptions options;
    options.form = form;
    options.stem = stem;
    std::string error;
    std::optional<GltfExport> files = BuildGltf(entries, options, &error);
    EXPECT_TRUE(files) << error;
    if (!files) return {};
    std::optional<tinygltf::Model> model = test::ReadBack(*files, form, dir.Path(), stem, &error);
    EXPECT_TRUE(model) << error;
    if (!model) return {};
    return {std::move(*files), std::move(*model)};
}

// One script at (0, 0, 0), exported as GLB.
struct ScriptExport {
    std::unique_ptr<RWXObject> object;
    Exported out;
};
ScriptExport ExportScript(std::string_view script, const ReadOptions& options = test::NoTextures(),
                          GltfForm form = GltfForm::Binary) {
    static const test::TempDir scratch;
    ScriptExport e;
    test::LogCapture log;
    e.object = test::ReadScript(script, log, options);
    const ExportEntry entries[] = {{e.object.get(), PlacedAt(e.object->Offset()), {}}};
    e.out = ExportAndRead(entries, form, scratch);
    return e;
}

const tinygltf::Material& MaterialOf(const tinygltf::Model& m, const tinygltf::Primitive& p) {
    return m.materials.at(static_cast<std::size_t>(p.material));
}

// The decoded image of a material's base colour texture; null without one.
const tinygltf::Image* ImageOf(const tinygltf::Model& m, const tinygltf::Material& mat) {
    const int t = mat.pbrMetallicRoughness.baseColorTexture.index;
    if (t < 0) return nullptr;
    return &m.images.at(static_cast<std::size_t>(m.textures.at(static_cast<std::size_t>(t)).source));
}

int WrapOf(const tinygltf::Model& m, const tinygltf::Material& mat) {
    const int t = mat.pbrMetallicRoughness.baseColorTexture.index;
    return m.samplers.at(static_cast<std::size_t>(m.textures.at(static_cast<std::size_t>(t)).sampler)).wrapS;
}

test::Rgb PixelAt(const tinygltf::Image& image, int x, int y) {
    const auto at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4;
    return {image.image.at(at), image.image.at(at + 1), image.image.at(at + 2)};
}

int AlphaAt(const tinygltf::Image& image, int x, int y) {
    return image.image.at(
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4 + 3);
}

// ---------------------------------------------------------------------------------------------
// Every model file, against its dump

std::vector<fs::path> ModelFiles() {
    std::vector<fs::path> files;
    std::vector<fs::path> roots = {test::SourceDir() + "/samples", test::DataDir() + "/realworld"};
    if (fs::is_directory(test::SourceDir() + "/../shared/realworld"))
        roots.push_back(test::SourceDir() + "/../shared/realworld");
    for (const fs::path& root : roots)
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file() && (IsScriptName(entry.path().string()) || entry.path().extension() == ".txt"))
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// What a dumped batch must become.
struct ExpectedPrimitive {
    std::array<double, 4> base{};
    bool textured = false;
    bool maskOrBlend = false;  // a masked texture: MASK or BLEND, by its image's alpha
    std::string alphaMode;     // otherwise exactly this
    bool doubleSided = false;
    int64_t triangles = 0;
    int tag = 0;
};

double Clamp01(double v) {
    return std::min(1.0, std::max(0.0, v));
}

// The primitives a dumped object gives, in node order: per clump the batches of its first
// batch's alignment, then those of the other alignments, then its children.
void ExpectClump(const json& clump, const json& textures, std::vector<ExpectedPrimitive>& out) {
    std::vector<int> groups;
    for (const json& batch : clump["batches"]) {
        const int a = batch["material"]["axis_alignment"].get<int>();
        if (std::find(groups.begin(), groups.end(), a) == groups.end()) groups.push_back(a);
    }
    for (const int group : groups)
        for (const json& batch : clump["batches"]) {
            const json& m = batch["material"];
            if (m["axis_alignment"].get<int>() != group || batch["triangles"].empty()) continue;
            ExpectedPrimitive e;
            const int texture = m["texture"].get<int>();
            e.textured = texture >= 0 && textures.at(static_cast<std::size_t>(texture))["mipmapped"].get<int>() != 0;
            const double opacity = Clamp01(m["opacity"].get<double>());
            const json& c = m["color"];
            e.base = e.textured ? std::array<double, 4>{1, 1, 1, opacity}
                                : std::array<double, 4>{Clamp01(c[0].get<double>()), Clamp01(c[1].get<double>()),
                                                        Clamp01(c[2].get<double>()), opacity};
            const bool masked = e.textured && textures.at(static_cast<std::size_t>(texture))["mask"].get<int>() != 0;
            e.maskOrBlend = masked && opacity == 1;
            e.alphaMode = opacity < 1 ? "BLEND" : "OPAQUE";
            e.doubleSided = (m["material_modes"].get<int>() & 1) != 0;
            e.triangles = static_cast<int64_t>(batch["triangles"].size());
            e.tag = batch["tag"].get<int>();
            out.push_back(e);
        }
    for (const json& child : clump["children"]) ExpectClump(child, textures, out);
}

struct Bounds {
    std::array<double, 3> lo{}, hi{};
    bool empty = true;
    void Add(const std::array<double, 3>& p) {
        for (std::size_t k = 0; k < 3; ++k) {
            lo[k] = empty ? p[k] : std::min(lo[k], p[k]);
            hi[k] = empty ? p[k] : std::max(hi[k], p[k]);
        }
        empty = false;
    }
};

// Bounds of the vertices that triangles use, placed by the object's offset, in metres.
void BoundClump(const json& clump, const json& offset, Bounds& b) {
    const json& vertices = clump["vertices"];
    for (const json& batch : clump["batches"])
        for (const json& t : batch["triangles"])
            for (const json& corner : t) {
                const json& v = vertices.at(corner.get<std::size_t>());
                b.Add({10 * (offset[0].get<double>() + v[0].get<double>()),
                       10 * (offset[1].get<double>() + v[1].get<double>()),
                       10 * (offset[2].get<double>() + v[2].get<double>())});
            }
    for (const json& child : clump["children"]) BoundClump(child, offset, b);
}

bool Near(double a, double b) {
    return std::abs(a - b) <= 1e-5 * std::max(1.0, std::abs(b));
}

TEST(ExportRoundTrip, EveryModelFileComesBackAsItsDumpSays) {
    const std::vector<fs::path> files = ModelFiles();
    ASSERT_GE(files.size(), 8u);
    for (const fs::path& file : files) {
        const json dump = json::parse(DumpScene(file.string()));
        std::vector<ExpectedPrimitive> expected;
        Bounds bounds;
        int64_t triangles = 0;
        for (const json& object : dump["objects"]) {
            // An object map's objects name their model; a script's object holds it.
            const json& model =
                object.contains("model") ? dump["models"].at(object["model"].get<std::size_t>()) : object;
            for (const json& clump : model["clumps"]) {
                ExpectClump(clump, model["textures"], expected);
                BoundClump(clump, object["offset"], bounds);
            }
            triangles += model["triangles"].get<int64_t>();
        }

        test::LogCapture log;
        const TObjectMap scene(ReadAsViewer(file.string(), log));
        const std::vector<ExportEntry> entries = SceneEntries(scene);
        for (const GltfForm form : kForms) {
            SCOPED_TRACE(file.string() + " as " + FormName(form));
            test::TempDir dir;
            const Exported out = ExportAndRead(entries, form, dir);
            const test::SceneSummary s = test::Summarise(out.model);
            EXPECT_EQ(s.triangles, triangles);
            EXPECT_EQ(out.files.counts.triangles, triangles);
            ASSERT_EQ(s.empty, bounds.empty);
            for (std::size_t k = 0; k < 3; ++k) {
                EXPECT_PRED2(Near, s.lo[k], bounds.lo[k]) << "axis " << k;
                EXPECT_PRED2(Near, s.hi[k], bounds.hi[k]) << "axis " << k;
            }
            ASSERT_EQ(s.primitives.size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                SCOPED_TRACE("primitive " + std::to_string(i));
                const ExpectedPrimitive& e = expected[i];
                const tinygltf::Material& m = MaterialOf(out.model, *s.primitives[i].primitive);
                EXPECT_EQ(s.primitives[i].triangles, e.triangles);
                const tinygltf::Value& extras = s.primitives[i].primitive->extras;
                EXPECT_EQ(extras.Has("tag") ? extras.Get("tag").GetNumberAsInt() : 0, e.tag);
                ASSERT_EQ(m.pbrMetallicRoughness.baseColorFactor.size(), 4u);
                for (std::size_t k = 0; k < 4; ++k)
                    EXPECT_NEAR(m.pbrMetallicRoughness.baseColorFactor[k], e.base[k], 1e-9) << "component " << k;
                EXPECT_EQ(ImageOf(out.model, m) != nullptr, e.textured);
                if (e.maskOrBlend)
                    EXPECT_TRUE(m.alphaMode == "MASK" || m.alphaMode == "BLEND") << m.alphaMode;
                else
                    EXPECT_EQ(m.alphaMode, e.alphaMode);
                EXPECT_EQ(m.doubleSided, e.doubleSided);
                EXPECT_EQ(m.pbrMetallicRoughness.metallicFactor, 0.0);
                EXPECT_EQ(m.pbrMetallicRoughness.roughnessFactor, 1.0);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Normals

constexpr std::string_view kQuad =
    "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nQuad 1 2 3 4\nClumpEnd\n";

TEST(ExportNormals, FacetFacesGetVerticesOfTheirOwnAndVertexFacesShareThem) {
    const struct {
        const char* sampling;
        std::size_t vertices;
    } cases[] = {{"Facet", 6}, {"Vertex", 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sampling);
        const ScriptExport e = ExportScript("LightSampling " + std::string(c.sampling) + "\n" + std::string(kQuad));
        const test::SceneSummary s = test::Summarise(e.out.model);
        ASSERT_EQ(s.primitives.size(), 1u);
        const tinygltf::Primitive& p = *s.primitives[0].primitive;
        const std::vector<float> normals = test::Floats(e.out.model, p.attributes.at("NORMAL"));
        ASSERT_EQ(normals.size(), c.vertices * 3);
        for (std::size_t v = 0; v < c.vertices; ++v) {
            EXPECT_FLOAT_EQ(normals[v * 3 + 0], 0.0f);
            EXPECT_FLOAT_EQ(normals[v * 3 + 1], 0.0f);
            EXPECT_FLOAT_EQ(normals[v * 3 + 2], 1.0f);
        }
        EXPECT_EQ(test::Indices(e.out.model, p.indices).size(), 6u);
    }
}

TEST(ExportNormals, EveryNormalIsOfUnitLengthEvenWhereTheReadOnesAreNot) {
    // A nested clump keeps area-weighted sums; two faces wound against each other cancel their
    // shared vertices' normals; a face without area has no normal at all.
    const ScriptExport e = ExportScript(
        "LightSampling Vertex\n"
        "ClumpBegin\n"
        "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nVertex 2 0 0\n"
        "Triangle 1 2 3\nTriangle 1 3 2\nTriangle 1 2 4\n"
        "ClumpBegin\nVertex 0 0 0\nVertex 3 0 0\nVertex 0 3 0\nTriangle 1 2 3\nClumpEnd\n"
        "ClumpEnd\n");
    const test::SceneSummary s = test::Summarise(e.out.model);
    ASSERT_EQ(s.primitives.size(), 2u);
    int againstEachOther = 0;
    for (const test::PlacedPrimitive& placed : s.primitives) {
        const std::vector<float> n = test::Floats(e.out.model, placed.primitive->attributes.at("NORMAL"));
        ASSERT_FALSE(n.empty());
        for (std::size_t v = 0; v < n.size() / 3; ++v) {
            const double x = n[v * 3], y = n[v * 3 + 1], z = n[v * 3 + 2];
            const double len = std::sqrt(x * x + y * y + z * z);
            EXPECT_NEAR(len, 1.0, 1e-6) << "vertex " << v;
            if (n[v * 3 + 2] == -1.0f) ++againstEachOther;
        }
    }
    EXPECT_EQ(againstEachOther, 3);  // the reversed face keeps its own facing
}

// ---------------------------------------------------------------------------------------------
// Textures

constexpr std::string_view kTexturedQuad =
    "ClumpBegin\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 2 0\nVertex 1 1 0 UV 2 2\nVertex 0 1 0 UV 0 2\n"
    "Quad 1 2 3 4\nClumpEnd\n";

TEST(ExportTextures, AddressModesSampleTheImageItselfWithoutTheMirrorTile) {
    test::TempDir dir;
    dir.Write("bands.jpg", test::BandsJpeg(16, 8, {{255, 0, 0}, {0, 0, 255}}));
    const struct {
        const char* mode;
        int wrap;
    } cases[] = {
        {"Wrap", TINYGLTF_TEXTURE_WRAP_REPEAT},
        {"Mirror", TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT},
        {"Clamp", TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const ScriptExport e =
            ExportScript("TextureAddressMode " + std::string(c.mode) + "\nTexture bands\n" + std::string(kTexturedQuad),
                         test::TexturesFrom(dir.Path()));
        const test::SceneSummary s = test::Summarise(e.out.model);
        ASSERT_EQ(s.primitives.size(), 1u);
        const tinygltf::Material& m = MaterialOf(e.out.model, *s.primitives[0].primitive);
        const tinygltf::Image* image = ImageOf(e.out.model, m);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(WrapOf(e.out.model, m), c.wrap);
        EXPECT_EQ(image->width, 16);
        EXPECT_EQ(image->height, 8);
        EXPECT_TRUE(test::Near(PixelAt(*image, 2, 4), {255, 0, 0}, 8)) << test::ToString(PixelAt(*image, 2, 4));
        EXPECT_TRUE(test::Near(PixelAt(*image, 13, 4), {0, 0, 255}, 8)) << test::ToString(PixelAt(*image, 13, 4));
        // Coordinates are as read: the 0..2 range repeats (or mirrors) the image twice.
        const std::vector<float> uv = test::Floats(e.out.model, s.primitives[0].primitive->attributes.at("TEXCOORD_0"));
        EXPECT_EQ(*std::max_element(uv.begin(), uv.end()), 2.0f);
    }
}

TEST(ExportTextures, AnUnmaskedJpegIsEmbeddedAsTheFileItself) {
    test::TempDir dir;
    const std::string jpeg = test::BandsJpeg(8, 8, {{10, 200, 30}});
    dir.Write("wood.jpg", jpeg);
    for (const GltfForm form : kForms) {
        SCOPED_TRACE(FormName(form));
        const ScriptExport e =
            ExportScript("Texture wood\n" + std::string(kTexturedQuad), test::TexturesFrom(dir.Path()), form);
        ASSERT_EQ(e.out.model.images.size(), 1u);
        const tinygltf::Image& image = e.out.model.images[0];
        std::string embedded;
        if (form == GltfForm::Binary) {
            EXPECT_EQ(image.mimeType, "image/jpeg");
            const tinygltf::BufferView& v = e.out.model.bufferViews.at(static_cast<std::size_t>(image.bufferView));
            const auto& data = e.out.model.buffers.at(0).data;
            embedded.assign(data.begin() + static_cast<std::ptrdiff_t>(v.byteOffset),
                            data.begin() + static_cast<std::ptrdiff_t>(v.byteOffset + v.byteLength));
        } else {
            EXPECT_EQ(image.uri, "model_0.jpg");
            ASSERT_EQ(e.out.files.sideFiles.size(), 2u);
            EXPECT_EQ(e.out.files.sideFiles[1].name, "model_0.jpg");
            embedded = e.out.files.sideFiles[1].content;
        }
        EXPECT_TRUE(embedded == jpeg);
    }
}

// An image is named after the file read: a texture asked for as "checker" and found only as
// "checker.png" is "checker.png", not the "checker.jpg" first looked for.
TEST(ExportTextures, ImagesAreNamedAfterTheFileRead) {
    test::TempDir dir;
    test::PngFile png;
    png.width = png.height = 4;
    png.colour = test::PngFile::Rgb;
    png.rows.assign(4, std::vector<uint8_t>(12, 200));
    const std::vector<uint8_t> bytes = test::WritePng(png);
    dir.Write("checker.png", std::string(bytes.begin(), bytes.end()));
    const ScriptExport e =
        ExportScript("Texture checker\n" + std::string(kTexturedQuad), test::TexturesFrom(dir.Path()));
    ASSERT_EQ(e.out.model.images.size(), 1u);
    EXPECT_EQ(e.out.model.images[0].name, "checker.png");
}

TEST(ExportTextures, MasksBecomePngWithAlphaAndChooseTheAlphaMode) {
    test::TempDir dir;
    dir.Write("leaf.jpg", test::BandsJpeg(8, 8, {{0, 160, 0}}));
    // Left half cut away, right half kept; or a half-transparent left half; or nothing cut.
    auto halves = [](uint8_t left) {
        std::vector<uint8_t> grey(64);
        for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = i % 8 < 4 ? left : 255;
        return grey;
    };
    dir.Write("cut.bmp", test::EncodeGreyBmp(8, 8, halves(0)));
    dir.Write("half.bmp", test::EncodeGreyBmp(8, 8, halves(128)));
    dir.Write("none.bmp", test::EncodeGreyBmp(8, 8, halves(255)));
    const struct {
        const char* mask;
        const char* opacity;
        const char* alphaMode;
        int leftAlpha;
    } cases[] = {
        {"cut", "1", "MASK", 0},
        {"half", "1", "BLEND", 128},
        {"none", "1", "OPAQUE", 255},
        {"cut", "0.5", "BLEND", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mask) + " at opacity " + c.opacity);
        const ScriptExport e = ExportScript(
            "Opacity " + std::string(c.opacity) + "\nTexture leaf Mask " + c.mask + "\n" + std::string(kTexturedQuad),
            test::TexturesFrom(dir.Path()));
        const test::SceneSummary s = test::Summarise(e.out.model);
        ASSERT_EQ(s.primitives.size(), 1u);
        const tinygltf::Material& m = MaterialOf(e.out.model, *s.primitives[0].primitive);
        EXPECT_EQ(m.alphaMode, c.alphaMode);
        const tinygltf::Image* image = ImageOf(e.out.model, m);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->mimeType, "image/png");
        EXPECT_NEAR(AlphaAt(*image, 1, 1), c.leftAlpha, 1);
        EXPECT_EQ(AlphaAt(*image, 6, 1), 255);
        EXPECT_TRUE(test::Near(PixelAt(*image, 6, 1), {0, 160, 0}, 8));
    }
}

TEST(ExportTextures, AnAnimatedStripShowsItsFirstFrameAndKeepsItsFrameCount) {
    test::TempDir dir;
    dir.Write("flame.jpg", test::FramesJpeg(8, {{250, 0, 0}, {0, 250, 0}, {0, 0, 250}}));
    const ScriptExport e = ExportScript("Texture flame\n" + std::string(kTexturedQuad), test::TexturesFrom(dir.Path()));
    const test::SceneSummary s = test::Summarise(e.out.model);
    ASSERT_EQ(s.primitives.size(), 1u);
    const tinygltf::Material& m = MaterialOf(e.out.model, *s.primitives[0].primitive);
    const tinygltf::Image* image = ImageOf(e.out.model, m);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 8);
    EXPECT_EQ(image->height, 8);
    EXPECT_TRUE(test::Near(PixelAt(*image, 4, 7), {250, 0, 0}, 8)) << test::ToString(PixelAt(*image, 4, 7));
    ASSERT_TRUE(m.extras.Has("textureFrames"));
    EXPECT_EQ(m.extras.Get("textureFrames").GetNumberAsInt(), 3);
}

// ---------------------------------------------------------------------------------------------
// Materials and meshes

TEST(ExportMaterials, EachLookFollowsHowTheFaceIsDrawn) {
    test::TempDir dir;
    dir.Write("wood.jpg", test::BandsJpeg(8, 8, {{90, 60, 30}}));
    const struct {
        const char* name;
        std::string commands;
        std::array<double, 4> base;
        bool textured;
        const char* alphaMode;
        bool doubleSided;
    } cases[] = {
        {"untextured colour", "Color 0.8 0.1 0.1\n", {0.8, 0.1, 0.1, 1}, false, "OPAQUE", false},
        {"translucent colour", "Color 0 0 1\nOpacity 0.5\n", {0, 0, 1, 0.5}, false, "BLEND", false},
        {"colour out of range", "Color 2 -1 0.5\n", {1, 0, 0.5, 1}, false, "OPAQUE", false},
        {"texture on a white base", "Color 0.2 0.3 0.4\nTexture wood\n", {1, 1, 1, 1}, true, "OPAQUE", false},
        {"translucent texture", "Texture wood\nOpacity 0.25\n", {1, 1, 1, 0.25}, true, "BLEND", false},
        {"two-sided", "Color 0 1 0\nMaterialMode Double\n", {0, 1, 0, 1}, false, "OPAQUE", true},
        {"texture drawn without its image",
         "Color 0 0.5 0\nTextureMipmapState Off\nTexture wood\n",
         {0, 0.5, 0, 1},
         false,
         "OPAQUE",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptExport e = ExportScript(c.commands + std::string(kTexturedQuad), test::TexturesFrom(dir.Path()));
        const test::SceneSummary s = test::Summarise(e.out.model);
        ASSERT_EQ(s.primitives.size(), 1u);
        const tinygltf::Material& m = MaterialOf(e.out.model, *s.primitives[0].primitive);
        ASSERT_EQ(m.pbrMetallicRoughness.baseColorFactor.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(m.pbrMetallicRoughness.baseColorFactor[k], c.base[k]) << k;
        EXPECT_EQ(ImageOf(e.out.model, m) != nullptr, c.textured);
        EXPECT_EQ(m.alphaMode, c.alphaMode);
        EXPECT_EQ(m.doubleSided, c.doubleSided);
        EXPECT_EQ(m.pbrMetallicRoughness.metallicFactor, 0.0);
        EXPECT_EQ(m.pbrMetallicRoughness.roughnessFactor, 1.0);
    }
}

TEST(ExportMeshes, PrelightIsColor0OnlyWherePrimitivesHaveIt) {
    const ScriptExport e = ExportScript(
        "ClumpBegin\n"
        "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
        "Color 1 0 0\n"
        "Vertex 0 0 1 Prelight 0.5 0.25 2\nVertex 1 0 1\nVertex 0 1 1 Prelight 0 0 0\nTriangle 4 5 6\n"
        "ClumpEnd\n");
    const test::SceneSummary s = test::Summarise(e.out.model);
    ASSERT_EQ(s.primitives.size(), 2u);
    EXPECT_EQ(s.primitives[0].primitive->attributes.count("COLOR_0"), 0u);
    ASSERT_EQ(s.primitives[1].primitive->attributes.count("COLOR_0"), 1u);
    const std::vector<float> colors = test::Floats(e.out.model, s.primitives[1].primitive->attributes.at("COLOR_0"));
    // Facet faces have their own corners, in order; a prelight lasts until it is set again.
    EXPECT_EQ(colors, (std::vector<float>{0.5f, 0.25f, 1.0f, 0.5f, 0.25f, 1.0f, 0, 0, 0}));
}

// ---------------------------------------------------------------------------------------------
// Nodes

TEST(ExportNodes, EntriesClumpsAndFacersMakeTheNodeTree) {
    test::TempDir dir;
    dir.Write("a.rwx",
              "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
              "AxisAlignment ZOrientX\nTriangle 1 2 3\n"
              "ClumpBegin\nVertex 0 0 0\nVertex 0 0 1\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n"
              "ClumpEnd\n");
    dir.Write("b.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    const std::string map = dir.Write("map.txt", "a.rwx 0 0 0\nb.rwx 1.5 0 -2\n");
    test::LogCapture log;
    const TObjectMap scene(ReadAsViewer(map, log));
    const std::vector<ExportEntry> entries = SceneEntries(scene);
    const Exported out = ExportAndRead(entries, GltfForm::Binary, dir);
    const tinygltf::Model& m = out.model;
    auto node = [&](int i) -> const tinygltf::Node& { return m.nodes.at(static_cast<std::size_t>(i)); };

    ASSERT_EQ(m.scenes.size(), 1u);
    ASSERT_EQ(m.scenes[0].nodes.size(), 1u);
    const tinygltf::Node& root = node(m.scenes[0].nodes[0]);
    EXPECT_EQ(root.scale, (std::vector<double>{10, 10, 10}));
    ASSERT_EQ(root.children.size(), 2u);
    const tinygltf::Node& a = node(root.children[0]);
    const tinygltf::Node& b = node(root.children[1]);
    EXPECT_EQ(a.name, "a.rwx");
    EXPECT_TRUE(a.translation.empty());
    EXPECT_EQ(b.translation, (std::vector<double>{1.5, 0, -2}));

    ASSERT_EQ(a.children.size(), 1u);
    const tinygltf::Node& clump = node(a.children[0]);
    EXPECT_EQ(clump.name, "clump 1");
    EXPECT_GE(clump.mesh, 0);
    EXPECT_FALSE(clump.extras.Has("axisAlignment"));
    ASSERT_EQ(clump.children.size(), 2u);  // the facer faces, then the child clump
    const tinygltf::Node& facer = node(clump.children[0]);
    EXPECT_EQ(facer.name, "clump 1 facer");
    ASSERT_TRUE(facer.extras.Has("axisAlignment"));
    EXPECT_EQ(facer.extras.Get("axisAlignment").Get<std::string>(), "ZOrientX");
    EXPECT_EQ(node(clump.children[1]).name, "clump 1.1");
    EXPECT_EQ(out.files.counts.entries, 2);
    EXPECT_EQ(test::Summarise(m).triangles, 4);
}

// Twenty thousand clumps, each inside the one before: the nodes keep the tree, but their names
// no longer spell out every level (which made the export quadratic in the depth: 3.6 GB).
TEST(ExportNodes, DeeplyNestedClumpsKeepTheTreeWithShortNames) {
    const std::size_t depth = 20'000;
    std::string script;
    for (std::size_t i = 0; i < depth; ++i) script += "ClumpBegin\n";
    script += "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n";
    for (std::size_t i = 0; i < depth; ++i) script += "ClumpEnd\n";
    test::LogCapture log;
    const auto object = test::ReadScript(script, log);
    const ExportEntry entries[] = {{object.get(), object->Offset()}};
    GltfOptions options;
    options.form = GltfForm::Text;
    std::string error;
    const std::optional<GltfExport> files = BuildGltf(entries, options, &error);
    ASSERT_TRUE(files) << error;
    EXPECT_LT(files->main.size(), 200 * depth);
    const json main = json::parse(files->main);
    const json& nodes = main["nodes"];
    ASSERT_EQ(nodes.size(), 2 + depth);  // the root, the entry, the clumps
    const std::map<std::size_t, std::string> expected = {
        {3, "clump 1.1.1"},
        {16, "clump 1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1"},
        {17, "clump 1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.\u2026.1 (level 17)"},
        {depth, "clump 1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.1.\u2026.1 (level 20000)"}};
    std::size_t index = 2, level = 1;
    for (;; ++level) {
        const json& node = nodes.at(index);
        const std::string name = node["name"];
        EXPECT_LE(name.size(), 80u) << level;
        if (const auto it = expected.find(level); it != expected.end()) {
            EXPECT_EQ(name, it->second);
        }
        if (!node.contains("children")) break;
        ASSERT_EQ(node["children"].size(), 1u);
        index = node["children"][0];
    }
    EXPECT_EQ(level, depth);
    EXPECT_TRUE(nodes.at(index).contains("mesh"));
    EXPECT_EQ(files->counts.triangles, 1);
}

// Entries that share a model (another spelling of its file, or a file missing like others) are
// named by what each entry says.
TEST(ExportNodes, EntryNodesAreNamedByTheirOwnEntry) {
    test::TempDir dir;
    dir.Write("a.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    const std::string map = dir.Write("map.txt", "a.rwx 0 0 0\nA.RWX 1 0 0\nnone.rwx 2 0 0\ngone.rwx 3 0 0\n");
    test::LogCapture log;
    const TObjectMap scene(ReadAsViewer(map, log));
    const Exported out = ExportAndRead(SceneEntries(scene), GltfForm::Binary, dir);
    const tinygltf::Node& root = out.model.nodes.at(0);
    std::vector<std::string> names;
    for (const int child : root.children) names.push_back(out.model.nodes.at(static_cast<std::size_t>(child)).name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.rwx", "A.RWX", "none.rwx", "gone.rwx"}));
    EXPECT_EQ(out.model.meshes.size(), 1u);
}

TEST(ExportNodes, AModelShownTwiceSharesItsMeshes) {
    test::LogCapture log;
    const auto object = test::ReadScript(std::string(kQuad), log);
    const ExportEntry entries[] = {{object.get(), PlacedAt({0, 0, 0}), {}}, {object.get(), PlacedAt({2, 0, 0}), {}}};
    test::TempDir dir;
    const Exported out = ExportAndRead(entries, GltfForm::Binary, dir);
    EXPECT_EQ(out.model.meshes.size(), 1u);
    const test::SceneSummary s = test::Summarise(out.model);
    EXPECT_EQ(s.triangles, 4);
    EXPECT_DOUBLE_EQ(s.hi[0], 30.0);  // the second entry's quad ends at x = 3 units
}

// A turned and scaled object is written as a node with its rotation and scale, and what a glTF
// reader makes of them (T R S) puts every vertex where the viewer draws it.
TEST(ExportNodes, TurnedAndScaledObjectsCarryTheirPlacement) {
    test::LogCapture log;
    const auto object = test::ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 0.5 0.25\nVertex 0 0.5 -0.5\nQuad 1 2 3 4\nClumpEnd\n", log);
    Placement turned;
    turned.position = {1, 2, 3};
    turned.yaw = 90;
    turned.tilt = 30;
    turned.roll = -20;
    turned.scale = {2, 1, 0.5f};
    test::TempDir dir;
    const ExportEntry one[] = {{object.get(), turned, "turned"}};
    const Exported out = ExportAndRead(one, GltfForm::Binary, dir);
    const tinygltf::Node& root = out.model.nodes.at(static_cast<std::size_t>(out.model.scenes.at(0).nodes.at(0)));
    const tinygltf::Node& node = out.model.nodes.at(static_cast<std::size_t>(root.children.at(0)));
    EXPECT_EQ(node.name, "turned");
    EXPECT_EQ(node.translation, (std::vector<double>{1, 2, 3}));
    ASSERT_EQ(node.rotation.size(), 4u);
    double length = 0;
    for (const double q : node.rotation) length += q * q;
    EXPECT_NEAR(length, 1, 1e-12);
    ASSERT_EQ(node.scale.size(), 3u);
    EXPECT_NEAR(node.scale[0], 2, 1e-6);
    EXPECT_NEAR(node.scale[2], 0.5, 1e-6);

    // The bounds of the vertices as the viewer places them, in metres.
    const Mat4 m = PlacementMatrix(turned);
    std::array<double, 3> lo{}, hi{};
    bool first = true;
    for (const TVertex& v : object->Clumps().at(0)->Vertices()) {
        const Vec4 p = Transform(m, {v.x, v.y, v.z, 1});
        const double c[3] = {p.x * 10, p.y * 10, p.z * 10};
        for (std::size_t k = 0; k < 3; ++k) {
            lo[k] = first ? c[k] : std::min(lo[k], c[k]);
            hi[k] = first ? c[k] : std::max(hi[k], c[k]);
        }
        first = false;
    }
    const test::SceneSummary s = test::Summarise(out.model);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(s.lo[k], lo[k], 1e-5) << k;
        EXPECT_NEAR(s.hi[k], hi[k], 1e-5) << k;
    }

    // Objects without turn or scale keep to a translation; a model placed twice shares its mesh.
    const ExportEntry two[] = {{object.get(), turned, "turned"}, {object.get(), PlacedAt({0, 0, 0}), "plain"}};
    const Exported both = ExportAndRead(two, GltfForm::Binary, dir);
    const tinygltf::Node& root2 = both.model.nodes.at(static_cast<std::size_t>(both.model.scenes.at(0).nodes.at(0)));
    const tinygltf::Node& plain = both.model.nodes.at(static_cast<std::size_t>(root2.children.at(1)));
    EXPECT_TRUE(plain.rotation.empty());
    EXPECT_TRUE(plain.scale.empty());
    EXPECT_EQ(both.model.meshes.size(), 1u);
}

TEST(ExportNodes, NamesThatAreNotUtf8StillWrite) {
    test::LogCapture log;
    const auto object = RWXObject::FromText(kQuad, 0, 0, 0, log, test::NoTextures(), "caf\xE9\xFF.rwx");
    const ExportEntry entries[] = {{object.get(), PlacedAt(object->Offset()), {}}};
    test::TempDir dir;
    const Exported out = ExportAndRead(entries, GltfForm::Text, dir);
    ASSERT_GE(out.model.nodes.size(), 2u);
    EXPECT_EQ(out.model.nodes[1].name, "caf\xEF\xBF\xBD\xEF\xBF\xBD.rwx");
}

TEST(ExportText, SideFilesAreNamedAfterTheStemAndWrittenAsUris) {
    test::TempDir dir;
    dir.Write("wood.jpg", test::BandsJpeg(8, 8, {{90, 60, 30}}));
    test::LogCapture log;
    const auto object =
        test::ReadScript("Texture wood\n" + std::string(kTexturedQuad), log, test::TexturesFrom(dir.Path()));
    const ExportEntry entries[] = {{object.get(), PlacedAt(object->Offset()), {}}};
    const Exported out = ExportAndRead(entries, GltfForm::Text, dir, "my model#1");
    ASSERT_EQ(out.files.sideFiles.size(), 2u);
    EXPECT_EQ(out.files.sideFiles[0].name, "my model#1.bin");
    EXPECT_EQ(out.files.sideFiles[1].name, "my model#1_0.jpg");
    const json main = json::parse(out.files.main);
    EXPECT_EQ(main["buffers"][0]["uri"], "my%20model%231.bin");
    EXPECT_EQ(main["images"][0]["uri"], "my%20model%231_0.jpg");
    EXPECT_EQ(test::Summarise(out.model).triangles, 2);  // read back through those names
}

TEST(ExportNames, StemsAndFormsComeFromTheOutputName) {
    EXPECT_EQ(GltfFormOf("a/b.GLB"), GltfForm::Binary);
    EXPECT_EQ(GltfFormOf("b.gltf"), GltfForm::Text);
    EXPECT_EQ(GltfFormOf("b.gltf.png"), std::nullopt);
    EXPECT_EQ(GltfFormOf(".glb"), std::nullopt);
    EXPECT_EQ(GltfStem("/x/house.GLTF"), "house");
    EXPECT_EQ(GltfStem("house.v2.glb"), "house.v2");
    EXPECT_EQ(UriOfFileName("a b/%~.bin"), "a%20b%2F%25~.bin");
}

}  // namespace
}  // namespace pelorus
