// Writing scripts: what comes back when a written script is read, the bytes of a second write,
// quads, numbers, texture files and names, and every model file taken through glTF and back.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "export/gltfexport.h"
#include "export/rwxsave.h"
#include "export/rwxwrite.h"
#include "platform/bmpmask.h"
#include "platform/imagedecode.h"
#include "platform/paths.h"
#include "platform/ziparchive.h"
#include "reader/scenefile.h"
#include "scene/objectmap.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;

// A model written into `dir` as "out.rwx" with its textures, and read back from there.
struct Written {
    ScriptExport files;
    std::unique_ptr<RWXObject> back;
    std::vector<std::string> lines;  // reading it back
};

Written WriteAndReadBack(std::span<const ExportEntry> entries, const test::TempDir& dir) {
    Written w;
    w.files = BuildScript(entries);
    for (const ScriptFile& f : w.files.textures) dir.Write(f.name, f.content);
    const std::string path = dir.Write("out.rwx", w.files.script);
    ErrorLog log;
    w.back = std::make_unique<RWXObject>(path, 0, 0, 0, log, test::TexturesFrom(dir.Path()));
    w.lines = log.Lines();
    return w;
}

Written WriteAndReadBack(const RWXObject& model, const test::TempDir& dir) {
    const ExportEntry entries[] = {{&model, kModelOffset}};
    return WriteAndReadBack(entries, dir);
}

std::vector<const TClump*> AllClumps(const RWXObject& o) {
    std::vector<const TClump*> out;
    for (const auto& c : o.Clumps()) ForEachClump(*c, [&](const TClump& x) { out.push_back(&x); });
    return out;
}

// A triangle as its three corners' positions and coordinates, started at its smallest corner so
// that turned copies compare equal.
using Corner = std::array<double, 5>;
std::array<Corner, 3> Shape(const TClump& c, const TTriangle& t) {
    std::array<Corner, 3> s;
    for (int k = 0; k < 3; ++k) {
        const TVertex& v = c.Vertices()[static_cast<std::size_t>(t[k])];
        s[static_cast<std::size_t>(k)] = {v.x, v.y, v.z, v.u, v.v};
    }
    std::rotate(s.begin(), std::min_element(s.begin(), s.end()), s.end());
    return s;
}

// What a face looks like as the script says it: its material's written fields and texture name.
std::string LookOf(const RWXObject& o, const RWXMaterial& m) {
    std::string look = std::to_string(static_cast<int>(m.geometrySampling)) +
                       std::to_string(static_cast<int>(m.axisAlignment)) +
                       std::to_string(static_cast<int>(m.lightSampling));
    for (const RGB& c : {m.color, m.ambient, m.diffuse, m.specular})
        look += " " + ScriptNumber(c.r) + "," + ScriptNumber(c.g) + "," + ScriptNumber(c.b);
    look +=
        " o" + ScriptNumber(m.opacity) + " t" + std::to_string(m.textureModes) + " m" + std::to_string(m.materialModes);
    if (m.HasTexture()) {
        const TTexture& t = o.Textures()[static_cast<std::size_t>(m.TextureIndex())];
        look += " tex" + std::to_string(t.width) + "x" + std::to_string(t.height) + "/" + std::to_string(t.frameCount) +
                " a" + std::to_string(static_cast<int>(m.addressMode)) + " mip" + std::to_string(m.mipmapping) +
                " mask" + std::to_string(m.mask);
    }
    return look;
}

// Every clump's triangles with their looks, in order, and the clump tree's shape.
std::vector<std::string> Faces(const RWXObject& o) {
    std::vector<std::string> out;
    for (const TClump* c : AllClumps(o)) {
        out.push_back("clump " + std::to_string(c->Children().size()));
        for (const auto& b : c->Batches())
            for (const TTriangle& t : b->Triangles()) {
                std::string face = LookOf(o, b->Material()) + " tag" + std::to_string(b->Tag());
                for (const Corner& k : Shape(*c, t))
                    for (const double v : k) face += " " + ScriptNumber(v);
                out.push_back(face);
            }
    }
    return out;
}

constexpr std::string_view kRichScript = R"(modelbegin
clumpbegin
  Color 0.9 0.2 0.1
  Surface 0.3 0.6 0.1
  Vertex 0 0 0 UV 0 0
  Vertex 1 0 0 UV 1 0 Prelight 0.5 0.25 0
  Vertex 1 1 0 UV 1 1
  Vertex 0 1 0 UV 0 1
  Vertex 0.5 0.5 -1
  Quad 1 2 3 4
  Opacity 0.5
  MaterialMode Double
  Triangle 1 2 5
  Ambient 0.1 0.2 0.3
  LightSampling Vertex
  TextureModes Lit Filter
  Triangle 2 3 5
  clumpbegin
    Opacity 1
    Texture Wood
    Vertex 2 0 0 UV 0 0
    Vertex 3 0 0 UV 2 0
    Vertex 3 1 0 UV 2 1.5
    Vertex 2 1 0 UV 0 1
    Quad 1 2 3 4
    Texture leaf mask leafm
    Triangle 1 3 4
    TextureAddressMode Mirror
    Texture Wood
    Triangle 1 2 4
    TextureAddressMode Clamp
    Texture glass.png
    Triangle 2 3 4
    Texture anim
    AxisAlignment ZOrientY
    Triangle 1 2 3
    Texture null
    GeometrySampling WireFrame
    Triangle 4 3 2
  clumpend
  Vertex 5 5 5
  Triangle 5 6 5
clumpend
clumpbegin
  Vertex -1 -2 -3e-7
  Vertex -1 2 0.30000000000000004
  Vertex 1e21 2 0
  Triangle 1 2 3
clumpend
modelend
)";

// The textures kRichScript names: an opaque JPEG, a JPEG with a mask, a PNG with partial
// alpha, and a strip of two frames.
void WriteRichTextures(const test::TempDir& dir) {
    dir.Write("wood.jpg", test::BandsJpeg(16, 16, {{200, 100, 50}, {40, 80, 160}}));
    dir.Write("leaf.jpg", test::BandsJpeg(16, 16, {{30, 160, 40}}));
    std::vector<uint8_t> grey(16 * 16, 255);
    for (int i = 0; i < 16 * 16; i += 3) grey[static_cast<std::size_t>(i)] = 0;
    dir.Write("leafm.bmp", test::EncodeGreyBmp(16, 16, grey));
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 8 * 8; ++i) rgba.insert(rgba.end(), {200, 220, 255, static_cast<uint8_t>(i * 4)});
    const std::string png = [&] {
        test::PngFile f;
        f.width = 8;
        f.height = 8;
        f.colour = test::PngFile::Rgba;
        for (int y = 0; y < 8; ++y) f.rows.emplace_back(rgba.begin() + y * 32, rgba.begin() + (y + 1) * 32);
        const std::vector<uint8_t> bytes = test::WritePng(f);
        return std::string(bytes.begin(), bytes.end());
    }();
    dir.Write("glass.png", png);
    dir.Write("anim.jpg", test::FramesJpeg(8, {{255, 0, 0}, {0, 0, 255}}));
}

TEST(ScriptWrite, ReadingBackGivesTheSameModelAndWritingAgainTheSameBytes) {
    test::TempDir in, first, second;
    WriteRichTextures(in);
    ErrorLog log;
    const auto model = test::ReadScript(kRichScript, log, test::TexturesFrom(in.Path()));
    ASSERT_TRUE(log.Lines().empty()) << log.Lines()[0];
    const Written w1 = WriteAndReadBack(*model, first);
    EXPECT_TRUE(w1.lines.empty()) << w1.lines[0];
    // The same triangles, where they were, with the same looks, in the same clumps.
    const std::vector<std::string> before = Faces(*model), after = Faces(*w1.back);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(before[i], after[i]) << i;
    EXPECT_EQ(w1.back->CountTriangles(), model->CountTriangles());
    // Prelight: set on the second vertex, taken by the later ones of its clump.
    EXPECT_EQ(w1.back->Clumps()[0]->Vertices()[2].r, 0.5);
    EXPECT_EQ(w1.back->Clumps()[1]->Vertices()[0].r, 0.0) << "a clump's prelight ends with it";
    EXPECT_EQ(w1.files.counts.quads, 2);
    // The images: masks and partial alpha exactly, colours as the JPEG gives them.
    ASSERT_EQ(w1.back->Textures().size(), model->Textures().size());
    for (std::size_t i = 0; i < model->Textures().size(); ++i) {
        const TTexture &a = model->Textures()[i], &b = w1.back->Textures()[i];
        ASSERT_EQ(a.Rgba().size(), b.Rgba().size()) << a.name;
        for (std::size_t p = 0; p < a.Rgba().size(); ++p)
            ASSERT_EQ(a.Rgba()[p], b.Rgba()[p]) << a.name << " byte " << p;
    }

    const Written w2 = WriteAndReadBack(*w1.back, second);
    EXPECT_EQ(w2.files.script, w1.files.script);
    ASSERT_EQ(w2.files.textures.size(), w1.files.textures.size());
    for (std::size_t i = 0; i < w1.files.textures.size(); ++i) {
        EXPECT_EQ(w2.files.textures[i].name, w1.files.textures[i].name);
        EXPECT_TRUE(w2.files.textures[i].content == w1.files.textures[i].content) << w1.files.textures[i].name;
    }
}

TEST(ScriptWrite, TheScriptSaysWhatItMeansOnce) {
    test::TempDir in;
    WriteRichTextures(in);
    const auto model = test::ReadScript(kRichScript, test::TexturesFrom(in.Path()));
    const ExportEntry entries[] = {{model.get(), kModelOffset}};
    const ScriptExport out = BuildScript(entries);
    const std::string& s = out.script;
    EXPECT_TRUE(s.starts_with("ModelBegin\nClumpBegin\n")) << s;
    EXPECT_TRUE(s.ends_with("ClumpEnd\nModelEnd\n"));
    for (const char* line :
         {"  Vertex 1 0 0 UV 1 0 Prelight 0.5 0.25 0\n", "  Vertex 0.5 0.5 -1\n", "  Quad 1 2 3 4\n",
          "  Surface 0.3 0.6 0.1\n", "  Ambient 0.1 0.2 0.3\n", "    Texture wood\n", "    Texture leaf Mask leafm\n",
          "    TextureAddressMode Mirror\n", "    Texture glass.png\n", "    Texture null\n", "  Vertex -1 -2 -3e-07\n",
          "  Vertex -1 2 0.30000000000000004\n", "  Vertex 1e+21 2 0\n"})
        EXPECT_NE(s.find(line), std::string::npos) << line << "in\n" << s;
    EXPECT_EQ(s.find("Surface 1 1 1"), std::string::npos);
    EXPECT_EQ(s.find("Prelight 0.5 0.25 0\n    "), std::string::npos);
    std::set<std::string> names;
    for (const ScriptFile& f : out.textures) names.insert(f.name);
    EXPECT_EQ(names, (std::set<std::string>{"wood.jpg", "leaf.jpg", "leafm.zip", "glass.png", "anim.jpg"}));
    ASSERT_EQ(out.notes.size(), 1u);
    EXPECT_NE(out.notes[0].find("JPEG only"), std::string::npos) << out.notes[0];
    // A JPEG read from a file is written as that file.
    std::string wood;
    ReadWholeFile(in.Join("wood.jpg"), wood);
    for (const ScriptFile& f : out.textures)
        if (f.name == "wood.jpg") {
            EXPECT_TRUE(f.content == wood);
        }
}

TEST(ScriptWrite, MasksAreOneBitBmpsZippedAlone) {
    test::TempDir in, out;
    WriteRichTextures(in);
    const auto model = test::ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTexture leaf Mask leafm\n"
        "Triangle 1 2 3\nClumpEnd\n",
        test::TexturesFrom(in.Path()));
    const ExportEntry entries[] = {{model.get(), kModelOffset}};
    const ScriptExport s = BuildScript(entries);
    const auto zip =
        std::find_if(s.textures.begin(), s.textures.end(), [](const ScriptFile& f) { return f.name == "leafm.zip"; });
    ASSERT_NE(zip, s.textures.end());
    const std::string path = out.Write("leafm.zip", zip->content);
    const auto archive = ZipArchive::Open(path);
    ASSERT_TRUE(archive);
    ASSERT_EQ(archive->MemberNames(), std::vector<std::string>{"leafm.bmp"});
    std::vector<uint8_t> bmp;
    ASSERT_EQ(archive->Read(0, bmp, 1 << 20), ZipStatus::Ok);
    EXPECT_EQ(bmp[28], 1) << "one bit a pixel";
    GreyImage mask;
    ASSERT_TRUE(ReadBmpMask(bmp, mask));
    EXPECT_EQ(mask.pixels[0], 0);
    EXPECT_EQ(mask.pixels[1], 255);
    EXPECT_EQ(mask.pixels[3], 0);
}

struct QuadCase {
    const char* name;
    const char* vertices;  // four Vertex lines
    bool quad;
};

TEST(ScriptWrite, TwoTrianglesBecomeAQuadOnlyWhenFlatConvexAndReadBackTheSame) {
    const QuadCase cases[] = {
        {"a square", "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n", true},
        {"a tilted parallelogram", "Vertex 0 0 0\nVertex 1 0 1\nVertex 1.5 1 1\nVertex 0.5 1 0\n", true},
        {"bent along its diagonal", "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0.2\nVertex 0 1 0\n", false},
        {"a dart (not convex)", "Vertex 0 0 0\nVertex 1 0 0\nVertex 0.2 0.2 0\nVertex 0 1 0\n", false},
    };
    for (const QuadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string script =
            "ClumpBegin\n" + std::string(c.vertices) + "Triangle 1 2 3\nTriangle 1 3 4\nClumpEnd\n";
        const auto model = test::ReadScript(script);
        const ExportEntry entries[] = {{model.get(), kModelOffset}};
        const ScriptExport s = BuildScript(entries);
        EXPECT_EQ(s.counts.quads, c.quad ? 1 : 0) << s.script;
        const auto back = test::ReadScript(s.script);
        EXPECT_EQ(Faces(*back), Faces(*model));
    }
    // Triangles of different materials, or far apart in the list, stay triangles.
    const auto apart = test::ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nTriangle 1 2 3\nColor 1 0 0\n"
        "Triangle 1 3 4\nClumpEnd\n");
    const ExportEntry entries[] = {{apart.get(), kModelOffset}};
    EXPECT_EQ(BuildScript(entries).counts.quads, 0);
}

TEST(ScriptWrite, TaggedFacesKeepTheirTagsAndNeverShareAQuadWithAnotherTag) {
    // Signs and pictures are found by their faces' tags: a written script that dropped them
    // would show every sign of a world blank.
    const auto model = test::ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nVertex 2 0 0\nVertex 2 1 0\n"
        "Tag 100\nTriangle 1 2 3\nTriangle 1 3 4\nTriangle 2 5 6 tag 200\nTriangle 2 6 3\nClumpEnd\n");
    const ExportEntry entries[] = {{model.get(), kModelOffset}};
    const ScriptExport s = BuildScript(entries);
    EXPECT_EQ(s.counts.quads, 1) << s.script;  // the two faces of tag 100; 200 and 100 stay apart
    const auto back = test::ReadScript(s.script);
    EXPECT_EQ(Faces(*back), Faces(*model));
    const ExportEntry again[] = {{back.get(), kModelOffset}};
    EXPECT_EQ(BuildScript(again).script, s.script);
}

TEST(ScriptWrite, AGlowingSurfaceIsNeverWritten) {
    const auto model = test::ReadScript(
        "ClumpBegin\nSurface 1 1 0.5\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "Triangle 1 2 3\nAmbient 1 1 1\nDiffuse 0.9\nTriangle 3 2 1\nClumpEnd\n");
    const ExportEntry entries[] = {{model.get(), kModelOffset}};
    const ScriptExport s = BuildScript(entries);
    EXPECT_NE(s.script.find("Surface 0.6 0.4 0.5\n"), std::string::npos) << s.script;
    EXPECT_NE(s.script.find("Surface 1 0.9 0.5\n"), std::string::npos) << "a surface that does not glow stays";
    ASSERT_EQ(s.notes.size(), 1u);
    EXPECT_NE(s.notes[0].find("glow white"), std::string::npos);
}

TEST(ScriptWrite, NumbersTakeTheDigitsTheyNeed) {
    const std::pair<double, const char*> cases[] = {
        {0.1, "0.1"},          {12, "12"},          {-0.0, "0"},     {0.30000000000000004, "0.30000000000000004"},
        {-2.5e-7, "-2.5e-07"}, {std::nan(""), "0"}, {INFINITY, "0"}, {1.0 / 3, "0.3333333333333333"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(ScriptNumber(v), text) << v;
}

TEST(ScriptWrite, TextureNamesAreLowerCaseShortAndUnique) {
    EXPECT_EQ(ScriptName("Wood Grain#2", 94), "wood_grain_2");
    EXPECT_EQ(ScriptName("", 94), "model");
    EXPECT_EQ(ScriptName(std::string(200, 'A'), 94), std::string(94, 'a'));

    // Two models whose textures share a name but not an image: the second takes another name.
    test::TempDir a, b;
    a.Write("Bark.JPG", test::BandsJpeg(8, 8, {{100, 50, 0}}));
    b.Write("bark.jpg", test::BandsJpeg(8, 8, {{0, 50, 100}}));
    const std::string script =
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTexture Bark.JPG\nTriangle 1 2 3\nClumpEnd\n";
    const auto first = test::ReadScript(script, test::TexturesFrom(a.Path()));
    const auto second = test::ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTexture bark\nTriangle 1 2 3\nClumpEnd\n",
        test::TexturesFrom(b.Path()));
    const auto again = test::ReadScript(script, test::TexturesFrom(a.Path()));
    const ExportEntry entries[] = {
        {first.get(), kModelOffset}, {second.get(), kModelOffset}, {again.get(), kModelOffset}};
    const ScriptExport s = BuildScript(entries);
    ASSERT_EQ(s.textures.size(), 2u);
    EXPECT_EQ(s.textures[0].name, "bark.jpg");
    EXPECT_EQ(s.textures[1].name, "bark_2.jpg");
    EXPECT_NE(s.script.find("Texture bark_2\n"), std::string::npos);

    // A folder that holds another file of that name makes the texture move on too.
    const ScriptExport moved =
        BuildScript(std::span(entries, 1), [](const ScriptFile& f) { return f.name != "bark.jpg"; });
    ASSERT_EQ(moved.textures.size(), 1u);
    EXPECT_EQ(moved.textures[0].name, "bark_2.jpg");
}

TEST(ScriptWrite, EntriesArePlacedAsTheSceneShowsThem) {
    test::TempDir dir;
    dir.Write("tri.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    const std::string map = dir.Write("map.txt", "tri.rwx 0 0 0\ntri.rwx 2 0.025 0\n");
    ErrorLog log;
    const TObjectMap scene(ReadAsViewer(map, log));
    const std::vector<ExportEntry> entries = SceneEntries(scene);
    const ScriptExport s = BuildScript(entries);
    const auto back = test::ReadScript(s.script);
    ASSERT_EQ(back->Clumps().size(), 2u);
    EXPECT_EQ(back->Clumps()[0]->Vertices()[0].y, -0.025) << "the script is shown 0.025 up: the entry at 0 is below";
    EXPECT_EQ(back->Clumps()[1]->Vertices()[1].x, 3.0);
    EXPECT_EQ(back->Clumps()[1]->Vertices()[1].y, 0.0);
}

TEST(ScriptWrite, AnImageThatWouldReadAsAStripIsStretchedByARow) {
    TTexture t;
    t.name = "tall.png";
    t.width = 2;
    t.height = 4;
    t.pixels = std::make_shared<const std::vector<uint8_t>>(2 * 4 * 4, 255);
    auto model = test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nClumpEnd\n");
    model->Textures().push_back(t);
    RWXMaterial m;
    m.frameCount = 1;
    m.textureFrames[0] = TextureFrameKey(0, 0);
    TClump& c = *const_cast<TClump*>(model->Clumps()[0].get());
    c.AddTriangle(c.BatchFor(m, 0, 0, model->Materials()), TTriangle{{0, 1, 2}});
    test::TempDir dir;
    const Written w = WriteAndReadBack(*model, dir);
    ASSERT_EQ(w.back->Textures().size(), 1u);
    EXPECT_EQ(w.back->Textures()[0].frameCount, 1);
    EXPECT_EQ(w.back->Textures()[0].height, 5);
    ASSERT_EQ(w.files.notes.size(), 1u);
    EXPECT_NE(w.files.notes[0].find("2 x 4 is written 2 x 5"), std::string::npos) << w.files.notes[0];
}

// ---- Every model file, through glTF and back ------------------------------------------------

std::vector<fs::path> ModelScripts() {
    std::vector<fs::path> files;
    std::vector<fs::path> roots = {test::SourceDir() + "/samples", test::DataDir() + "/realworld"};
    if (fs::is_directory(test::SourceDir() + "/../shared/realworld"))
        roots.push_back(test::SourceDir() + "/../shared/realworld");
    if (fs::is_directory("/work/shared/realworld")) roots.push_back("/work/shared/realworld");
    for (const fs::path& root : roots)
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file() && IsScriptName(entry.path().string())) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

struct Summary {
    int64_t triangles = 0;
    std::array<double, 3> lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    std::set<std::string> looks;
};

// What the faces of `entries` show: their count, the bounds of their corners as placed (less
// `less`), and their looks as glTF carries them (colour or texture, opacity, sides).
Summary Summarise(std::span<const ExportEntry> entries, const std::array<double, 3>& less) {
    Summary s;
    for (const ExportEntry& e : entries)
        for (const TClump* c : AllClumps(*e.model))
            for (const auto& b : c->Batches()) {
                const RWXMaterial& m = b->Material();
                const bool textured = m.HasTexture() &&
                                      e.model->Textures()[static_cast<std::size_t>(m.TextureIndex())].mipmapped &&
                                      !e.model->Textures()[static_cast<std::size_t>(m.TextureIndex())].Rgba().empty();
                auto round = [](double v) { return std::to_string(std::lround(std::clamp(v, 0.0, 1.0) * 1000)); };
                s.looks.insert((textured ? std::string("textured")
                                         : round(m.color.r) + "," + round(m.color.g) + "," + round(m.color.b)) +
                               " o" + round(m.opacity) + (m.IsDoubleSided() ? " double" : ""));
                for (const TTriangle& t : b->Triangles()) {
                    ++s.triangles;
                    for (int k = 0; k < 3; ++k) {
                        const TVertex& v = c->Vertices()[static_cast<std::size_t>(t[k])];
                        const double p[3] = {v.x, v.y, v.z};
                        for (std::size_t i = 0; i < 3; ++i) {
                            s.lo[i] = std::min(s.lo[i], p[i] + e.placement.position[i] - less[i]);
                            s.hi[i] = std::max(s.hi[i], p[i] + e.placement.position[i] - less[i]);
                        }
                    }
                }
            }
    return s;
}

TEST(ScriptRoundTrip, EveryModelFileThroughGltfKeepsTrianglesBoundsAndMaterials) {
    const std::vector<fs::path> files = ModelScripts();
    ASSERT_GE(files.size(), 10u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        ErrorLog log;
        const TObjectMap scene(ReadAsViewer(file.string(), log));
        const std::vector<ExportEntry> entries = SceneEntries(scene);
        std::string error;
        const std::optional<GltfExport> gltf = BuildGltf(entries, {}, &error);
        ASSERT_TRUE(gltf) << error;
        test::TempDir dir;
        const std::string glb = dir.Write("model.glb", gltf->main);
        ErrorLog importLog;
        const RWXObject imported(glb, 0, 0, 0, importLog);
        for (const std::string& line : importLog.Lines())
            EXPECT_NE(line.find("vertex colours"), std::string::npos) << "only prelight is not carried: " << line;
        const ExportEntry importedEntry[] = {{&imported, kModelOffset}};
        const Written w = WriteAndReadBack(importedEntry, dir);
        EXPECT_TRUE(w.lines.empty()) << w.lines[0];
        const ExportEntry backEntry[] = {{w.back.get(), kModelOffset}};
        // The glTF holds the scene as it was placed; so does the script, shown 0.025 up.
        const Summary was = Summarise(entries, {0, 0, 0}), now = Summarise(backEntry, kModelOffset);
        EXPECT_EQ(now.triangles, was.triangles);
        for (std::size_t i = 0; i < 3 && was.triangles > 0; ++i) {
            EXPECT_NEAR(now.lo[i], was.lo[i], 1e-6 * std::max(1.0, std::abs(was.lo[i])));
            EXPECT_NEAR(now.hi[i], was.hi[i], 1e-6 * std::max(1.0, std::abs(was.hi[i])));
        }
        EXPECT_EQ(now.looks, was.looks);
    }
}

TEST(ScriptRoundTrip, EveryModelFileWrittenAsAScriptReadsBackCleanAndWritesTheSameBytesAgain) {
    for (const fs::path& file : ModelScripts()) {
        SCOPED_TRACE(file.string());
        ErrorLog log;
        const TObjectMap scene(ReadAsViewer(file.string(), log));
        const std::vector<ExportEntry> entries = SceneEntries(scene);
        test::TempDir first, second;
        const Written w1 = WriteAndReadBack(entries, first);
        EXPECT_TRUE(w1.lines.empty()) << w1.lines[0];
        const ExportEntry back[] = {{w1.back.get(), kModelOffset}};
        const Summary was = Summarise(entries, kModelOffset), now = Summarise(back, kModelOffset);
        EXPECT_EQ(now.triangles, was.triangles);
        EXPECT_EQ(now.lo, was.lo);
        EXPECT_EQ(now.hi, was.hi);
        const Written w2 = WriteAndReadBack(back, second);
        EXPECT_TRUE(w2.files.script == w1.files.script);
    }
}

}  // namespace
}  // namespace pelorus
