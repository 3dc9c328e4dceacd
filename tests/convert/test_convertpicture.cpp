// Models made as glTF and OBJ files, converted to scripts by `pelorus --export`, look as the
// files do opened directly: both are drawn by `pelorus --screenshot` (headless, EGL) and
// compared pixel by pixel. A pixel differs when a channel differs by more than kChannelTolerance
// (textures come back as JPEG); at most kDifferentShare of the pixels may differ (edges can fall
// either way). On a mismatch both images are written under the build folder
// (tests/convert-failures).

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "gltfmaker.h"
#include "platform/imagedecode.h"
#include "platform/paths.h"
#include "testutil.h"

#ifndef PELORUS_EXECUTABLE
#error "PELORUS_EXECUTABLE must name the program under test"
#endif

namespace pelorus {
namespace {

using nlohmann::json;
using test::GltfMaker;

constexpr int kChannelTolerance = 16;
constexpr double kDifferentShare = 0.01;

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int RunPelorus(const std::string& folder, const std::vector<std::string>& args, std::string& err) {
    const test::TempDir scratch;
    std::string command = "cd " + Quote(folder) + " && EGL_PLATFORM=surfaceless " + Quote(PELORUS_EXECUTABLE);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " >/dev/null 2>" + Quote(scratch.Join("err.txt"));
    const int status = std::system(command.c_str());
    err.clear();
    ReadWholeFile(scratch.Join("err.txt"), err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RgbaImage Load(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return DecodeImage(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())).image;
}

// A 32 x 32 image of four flat quarters (8-pixel blocks, so JPEG keeps them), alpha as given.
std::string Quarters(const std::array<std::array<uint8_t, 4>, 4>& colours) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const auto& c = colours[static_cast<std::size_t>((y / 16) * 2 + x / 16)];
            rgba.insert(rgba.end(), c.begin(), c.end());
        }
    return test::PngBytes(32, 32, rgba);
}

// A cube of side 1 metre, each face its own four vertices with the whole texture.
void CubeMesh(std::vector<float>& p, std::vector<float>& uv, std::vector<uint32_t>& idx) {
    const int faces[6][4][3] = {
        {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}},
        {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
        {{0, 1, 1}, {1, 1, 1}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}};
    for (const auto& face : faces) {
        const auto base = static_cast<uint32_t>(p.size() / 3);
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < 3; ++i) p.push_back(static_cast<float>(face[k][i]) - 0.5f);
            uv.push_back(k == 1 || k == 2 ? 1.0f : 0.0f);
            uv.push_back(k >= 2 ? 0.0f : 1.0f);
        }
        idx.insert(idx.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
}

std::string TexturedCube() {
    GltfMaker m;
    std::vector<float> p, uv;
    std::vector<uint32_t> idx;
    CubeMesh(p, uv, idx);
    const int tex = m.Texture(m.Image(
        Quarters({{{200, 40, 40, 255}, {40, 200, 40, 255}, {40, 40, 200, 255}, {220, 220, 60, 255}}}), "image/png"));
    const int mat =
        m.Add("materials", {{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", tex}}}, {"metallicFactor", 0}}}});
    m.Scene({m.Add("nodes", {{"mesh", m.Mesh(p, uv, idx, mat, true)}})});
    return m.Glb();
}

std::string CutOutLeaf() {
    GltfMaker m;
    const int tex = m.Texture(
        m.Image(Quarters({{{30, 150, 30, 255}, {30, 150, 30, 0}, {60, 180, 40, 0}, {60, 180, 40, 255}}}), "image/png"));
    const int mat =
        m.Add("materials", {{"alphaMode", "MASK"},
                            {"doubleSided", true},
                            {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", tex}}}, {"metallicFactor", 0}}}});
    const std::vector<float> square = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
    m.Scene({m.Add("nodes", {{"mesh", m.Mesh(square, {0, 1, 1, 1, 1, 0, 0, 0}, {0, 1, 2, 0, 2, 3}, mat)}})});
    return m.Gltf();
}

std::string TranslucentPane() {
    GltfMaker m;
    const int glass = m.Add(
        "materials", {{"alphaMode", "BLEND"},
                      {"pbrMetallicRoughness", {{"baseColorFactor", {0.3, 0.5, 0.9, 0.4}}, {"metallicFactor", 0}}}});
    const int wall = m.Add(
        "materials", {{"pbrMetallicRoughness", {{"baseColorFactor", {0.9, 0.6, 0.2, 1}}, {"metallicFactor", 0}}}});
    const std::vector<float> square = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
    const std::vector<float> behind = {-0.3f, -0.3f, -0.5f, 0.7f, -0.3f, -0.5f, 0.7f, 0.7f, -0.5f, -0.3f, 0.7f, -0.5f};
    m.Scene({m.Add("nodes", {{"mesh", m.Mesh(behind, {}, {0, 1, 2, 0, 2, 3}, wall)}}),
             m.Add("nodes", {{"mesh", m.Mesh(square, {}, {0, 1, 2, 0, 2, 3}, glass)}})});
    return m.Glb();
}

std::string NodeTree() {
    GltfMaker m;
    std::vector<float> p, uv;
    std::vector<uint32_t> idx;
    CubeMesh(p, uv, idx);
    const int red = m.Add("materials",
                          {{"pbrMetallicRoughness", {{"baseColorFactor", {0.8, 0.1, 0.1, 1}}, {"metallicFactor", 0}}}});
    const int blue = m.Add(
        "materials", {{"pbrMetallicRoughness", {{"baseColorFactor", {0.1, 0.2, 0.8, 1}}, {"metallicFactor", 0}}}});
    const int redCube = m.Mesh(p, uv, idx, red, true);
    const int blueCube = m.Mesh(p, uv, idx, blue, true);
    const int leaf = m.Add("nodes", {{"mesh", blueCube}, {"translation", {0, 1.5, 0}}, {"scale", {-0.5, 0.5, 0.5}}});
    const int arm = m.Add("nodes", {{"mesh", redCube},
                                    {"children", {leaf}},
                                    {"translation", {1.5, 0, 0}},
                                    {"rotation", {0, 0, 0.3826834, 0.9238795}}});
    const int root = m.Add(
        "nodes",
        {{"mesh", blueCube}, {"children", {arm}}, {"matrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -0.5, 0, 0, 1}}});
    m.Scene({root});
    return m.Glb();
}

std::string BigMesh() {
    GltfMaker m;
    constexpr int kSide = 265;  // 70,225 vertices
    std::vector<float> p, uv;
    std::vector<uint32_t> idx;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const float fx = static_cast<float>(x) / (kSide - 1), fy = static_cast<float>(y) / (kSide - 1);
            p.insert(p.end(), {fx * 4 - 2, 0.3f * std::sin(fx * 9.0f) * std::cos(fy * 7.0f), fy * 4 - 2});
            uv.insert(uv.end(), {fx * 4, fy * 4});
        }
    for (int y = 0; y + 1 < kSide; ++y)
        for (int x = 0; x + 1 < kSide; ++x) {
            const auto a = static_cast<uint32_t>(y * kSide + x);
            idx.insert(idx.end(), {a, a + kSide, a + 1, a + 1, a + kSide, a + kSide + 1});
        }
    const int tex = m.Texture(m.Image(
        Quarters({{{250, 250, 250, 255}, {60, 60, 60, 255}, {60, 60, 60, 255}, {250, 250, 250, 255}}}), "image/png"));
    const int mat =
        m.Add("materials", {{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", tex}}}, {"metallicFactor", 0}}}});
    m.Scene({m.Add("nodes", {{"mesh", m.Mesh(p, uv, idx, mat, true)}})});
    return m.Glb();
}

struct Model {
    const char* name;  // the file written
    std::string (*make)();
};

class ConvertedPicture : public ::testing::TestWithParam<Model> {};

// Draws `file` in `dir` from two sides (lit and unlit) into "<tag>-<n>.png"; false when no
// OpenGL context can be made.
bool Draw(const test::TempDir& dir, const std::string& file, const std::string& tag, std::vector<std::string>& pngs) {
    const std::vector<std::vector<std::string>> views = {
        {"--view", "-axes,-ground,-skybox,-backdrop,-fog"},
        {"--view", "-axes,-ground,-skybox,-backdrop,-fog,+lighting", "--yaw", "35", "--pitch", "25"}};
    for (std::size_t i = 0; i < views.size(); ++i) {
        const std::string png = dir.Join(tag + "-" + std::to_string(i) + ".png");
        std::vector<std::string> args{"--screenshot", png, "--size", "160x120", "--fit", "--time", "0"};
        args.insert(args.end(), views[i].begin(), views[i].end());
        args.push_back(file);
        std::string err;
        const int status = RunPelorus(dir.Path(), args, err);
        if (status == 1 && err.find("OpenGL context") != std::string::npos) return false;
        EXPECT_EQ(status, 0) << err;
        pngs.push_back(png);
    }
    return true;
}

TEST_P(ConvertedPicture, LooksAsTheFileOpenedDirectly) {
    const Model& model = GetParam();
    test::TempDir dir;
    const std::string source = model.make();
    dir.Write(model.name, source);
    if (std::string_view(model.name).ends_with(".obj")) {
        dir.Write("cube.mtl", "newmtl tex\nKd 1 1 1\nmap_Kd cube.png\n");
        dir.Write("cube.png",
                  Quarters({{{200, 40, 40, 255}, {40, 200, 40, 255}, {40, 40, 200, 255}, {220, 220, 60, 255}}}));
    }
    std::string err;
    ASSERT_EQ(RunPelorus(dir.Path(), {"--export", "converted.rwx", model.name}, err), 0) << err;
    std::vector<std::string> direct, converted;
    if (!Draw(dir, model.name, "direct", direct)) GTEST_SKIP() << "no OpenGL context";
    ASSERT_TRUE(Draw(dir, "converted.rwx", "converted", converted));
    ASSERT_EQ(direct.size(), converted.size());
    for (std::size_t v = 0; v < direct.size(); ++v) {
        SCOPED_TRACE(direct[v]);
        const RgbaImage a = Load(direct[v]), b = Load(converted[v]);
        ASSERT_EQ(a.width, b.width);
        ASSERT_EQ(a.height, b.height);
        ASSERT_GT(a.width, 0);
        long different = 0, drawn = 0;
        for (std::size_t i = 0; i < a.pixels.size(); i += 4) {
            int d = 0;
            for (std::size_t c = 0; c < 3; ++c) d = std::max(d, std::abs(a.pixels[i + c] - b.pixels[i + c]));
            different += d > kChannelTolerance ? 1 : 0;
            drawn += a.pixels[i] + a.pixels[i + 1] + a.pixels[i + 2] > 0 ? 1 : 0;
        }
        const long pixels = static_cast<long>(a.pixels.size() / 4);
        EXPECT_GT(drawn, pixels / 50) << "the model is seen at all";
        if (different > static_cast<long>(kDifferentShare * static_cast<double>(pixels))) {
            const std::string failures = std::string(PELORUS_BINARY_DIR) + "/tests/convert-failures";
            std::filesystem::create_directories(failures);
            std::filesystem::copy_file(direct[v], failures + "/" + model.name + "-direct-" + std::to_string(v) + ".png",
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::copy_file(converted[v],
                                       failures + "/" + model.name + "-converted-" + std::to_string(v) + ".png",
                                       std::filesystem::copy_options::overwrite_existing);
            ADD_FAILURE() << different << " of " << pixels << " pixels differ; see " << failures;
        }
    }
}

std::string ObjCube() {
    std::string obj = "mtllib cube.mtl\nusemtl tex\n";
    std::vector<float> p, uv;
    std::vector<uint32_t> idx;
    CubeMesh(p, uv, idx);
    for (std::size_t i = 0; i < p.size(); i += 3)
        obj += "v " + std::to_string(p[i]) + " " + std::to_string(p[i + 1]) + " " + std::to_string(p[i + 2]) + "\n";
    for (std::size_t i = 0; i < uv.size(); i += 2)
        obj += "vt " + std::to_string(uv[i]) + " " + std::to_string(1 - uv[i + 1]) + "\n";
    for (std::size_t i = 0; i < idx.size(); i += 6) {
        obj += "f";
        for (const uint32_t k : {idx[i], idx[i + 1], idx[i + 2], idx[i + 5]})
            obj += " " + std::to_string(k + 1) + "/" + std::to_string(k + 1);
        obj += "\n";
    }
    return obj;
}

INSTANTIATE_TEST_SUITE_P(Models, ConvertedPicture,
                         ::testing::Values(Model{"cube.glb", TexturedCube}, Model{"leaf.gltf", CutOutLeaf},
                                           Model{"pane.glb", TranslucentPane}, Model{"tree.glb", NodeTree},
                                           Model{"big.glb", BigMesh}, Model{"cube.obj", ObjCube}),
                         [](const ::testing::TestParamInfo<Model>& p) {
                             std::string name = p.param.name;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

}  // namespace
}  // namespace pelorus
