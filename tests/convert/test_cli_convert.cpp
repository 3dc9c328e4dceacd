// `pelorus --export OUT.rwx|OUT.zip` and `--export-object-path`: what they write, that it reads
// back clean and opens from a world's object path, and the output rules.

#include <gtest/gtest.h>

#include <sstream>

#include "gltfmaker.h"
#include "platform/paths.h"
#include "platform/textsafety.h"
#include "platform/ziparchive.h"
#include "reader/rwxobject.h"
#include "shell/catalogue.h"
#include "shell/cli.h"
#include "testutil.h"

namespace pelorus {
namespace {

struct CliRun {
    std::optional<int> status;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun r;
    r.status = RunCommandLine(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string Contents(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? text : std::string("<missing>");
}

// A leaf: a square of a texture whose left half is cut out (alpha MASK), and a pane of glass
// with partial alpha (BLEND), as one glTF model.
std::string LeafAndPane() {
    test::GltfMaker m;
    std::vector<uint8_t> leaf, glass;
    for (int i = 0; i < 16; ++i) leaf.insert(leaf.end(), {40, 160, 30, static_cast<uint8_t>(i % 4 < 2 ? 0 : 255)});
    for (int i = 0; i < 16; ++i) glass.insert(glass.end(), {180, 200, 255, 90});
    const int leafTexture = m.Texture(m.Image(test::PngBytes(4, 4, leaf), "image/png"));
    const int glassTexture = m.Texture(m.Image(test::PngBytes(4, 4, glass), "image/png"));
    const int leafMaterial =
        m.Add("materials",
              {{"name", "Leaf"},
               {"alphaMode", "MASK"},
               {"doubleSided", true},
               {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", leafTexture}}}, {"metallicFactor", 0}}}});
    const int glassMaterial =
        m.Add("materials",
              {{"alphaMode", "BLEND"},
               {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", glassTexture}}}, {"metallicFactor", 0}}}});
    m.Json()["images"][0]["name"] = "Leaf Texture";
    m.Json()["images"][1]["name"] = "glass";
    const std::vector<float> square = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::vector<float> uvs = {0, 1, 1, 1, 1, 0, 0, 0};
    m.Scene({m.Add("nodes", {{"mesh", m.Mesh(square, uvs, {0, 1, 2, 0, 2, 3}, leafMaterial)}}),
             m.Add("nodes",
                   {{"mesh", m.Mesh(square, uvs, {0, 1, 2, 0, 2, 3}, glassMaterial)}, {"translation", {2, 0, 0}}})});
    return m.Glb();
}

class CliConvert : public ::testing::Test {
protected:
    void SetUp() override { model_ = dir_.Write("in/Leaf Pane.glb", LeafAndPane()); }
    test::TempDir dir_;
    std::string model_;
};

TEST_F(CliConvert, AScriptIsWrittenWithItsTexturesAndPassesCheck) {
    const std::string out = dir_.Join("out/tree.rwx");
    MakeFolders(dir_.Join("out"), 0777);
    const CliRun r = Cli({"--export", out, model_});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out + ": entries 1, clumps 2, vertices 8, triangles 4 (in 2 quads), textures 2\n");
    EXPECT_NE(r.err.find("pelorus: texture \"glass\" is partly transparent and written as PNG"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("JPEG only"), std::string::npos);
    const std::string script = Contents(out);
    EXPECT_NE(script.find("Texture leaf_texture Mask leaf_texturem\n"), std::string::npos) << script;
    EXPECT_NE(script.find("Texture glass.png\n"), std::string::npos);
    EXPECT_NE(script.find("MaterialMode Double\n"), std::string::npos);
    for (const char* file : {"leaf_texture.jpg", "leaf_texturem.zip", "glass.png"})
        EXPECT_NE(Contents(dir_.Join(std::string("out/") + file)), "<missing>") << file;
    const CliRun check = Cli({"--check", out});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, EscapeForTerminal(out) +
                             ": objects 1, clumps 2, prototypes 0, vertices 8, triangles 4, translucent 4, "
                             "textures 2, errors 0\n");

    // Again: the script and its own textures are replaced, nothing else is made.
    const CliRun again = Cli({"--export", out, model_});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Contents(out), script);
}

TEST_F(CliConvert, AZippedModelHoldsItsScriptAndTextures) {
    const std::string out = dir_.Join("Tree.zip");
    const CliRun r = Cli({"--export", out, model_});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto archive = ZipArchive::Open(out);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->MemberNames(),
              (std::vector<std::string>{"Tree.rwx", "leaf_texture.jpg", "leaf_texturem.bmp", "glass.png"}))
        << "inside the model's archive a mask needs no archive of its own";
    ErrorLog log;
    const RWXObject back(out, 0, 0, 0, log);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines()[0];
    EXPECT_EQ(back.CountTriangles(), 4);
    EXPECT_EQ(back.Textures().size(), 2u);
}

TEST_F(CliConvert, AnObjectPathGetsModelsAndTexturesAndItsCatalogueOpensTheModel) {
    const std::string world = dir_.Join("world");
    MakeFolders(world, 0777);
    // A texture of another model that happens to share a name stays as it is.
    dir_.Write("world/textures/glass.png", "someone else's glass");
    const std::string second =
        dir_.Write("in/Crate.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    const CliRun r = Cli({"--export-object-path", world, model_, second});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Contents(dir_.Join("world/textures/glass.png")), "someone else's glass");
    EXPECT_NE(Contents(dir_.Join("world/textures/glass_2.png")), "<missing>");
    const std::vector<std::string> archives = ListCatalogueArchives(JoinPath(world, "models"));
    ASSERT_EQ(archives, (std::vector<std::string>{"crate.zip", "leaf_pane.zip"}));

    // As the Object menu opens an entry: its script extracted, textures from the object path.
    test::TempDir temp;
    ErrorLog log;
    const ExtractResult extracted =
        ExtractModelScript(JoinPath(world, "models/leaf_pane.zip"), "leaf_pane", temp.Path(), "", log);
    ASSERT_TRUE(extracted.Ok());
    ReadOptions options;
    options.extraTextureDirs = CatalogueTextureDirs(world);
    const RWXObject entry(extracted.scriptPath, 0, 0, 0, log, options);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines()[0];
    EXPECT_EQ(entry.CountTriangles(), 4);
    EXPECT_EQ(entry.Textures().size(), 2u);
}

TEST_F(CliConvert, OutputsThatWouldCostAFileAreRefusedAndNothingIsWritten) {
    dir_.Write("notes.rwx", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
    dir_.Write("notes.zip", "plain text");
    const std::string fifo = test::MakeFifo(dir_, "pipe.rwx");
    const struct {
        const char* name;
        std::string output;
        const char* reason;
    } cases[] = {
        {"a name of no kind", dir_.Join("model.txt"), "the output must be named *.glb or *.gltf or *.rwx or *.zip"},
        {"the input itself", model_, "it is the input file"},
        {"a FIFO", fifo, "it is not a regular file"},
        {"a script that is not text", dir_.Join("notes.rwx"), "it exists and is not a RenderWare script"},
        {"a zip that is not a zip", dir_.Join("notes.zip"), "it exists and is not a zip archive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Cli({"--export", c.output, model_});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
    EXPECT_EQ(Contents(dir_.Join("notes.zip")), "plain text");
    // A texture beside the script that the script does not name is never replaced.
    dir_.Write("glass.png", "my own picture");
    const CliRun r = Cli({"--export", dir_.Join("pane.rwx"), model_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Contents(dir_.Join("glass.png")), "my own picture");
    EXPECT_NE(Contents(dir_.Join("pane.rwx")).find("Texture glass_2.png"), std::string::npos);
    // Object paths: only folders.
    EXPECT_EQ(Cli({"--export-object-path", dir_.Join("glass.png"), model_}).status, 2);
    EXPECT_EQ(Cli({"--export-object-path", dir_.Path()}).status, 2);
}

}  // namespace
}  // namespace pelorus
