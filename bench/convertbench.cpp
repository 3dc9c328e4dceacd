// Conversion benchmark: a glTF model of 1,000,000 triangles read and written as a script.
//   convertbench --make FILE.glb      writes the model: four nodes of 500 x 250 quads each on
//                                     501 x 251 vertices (two flat, two wavy), textured
//   convertbench FILE.glb OUT.rwx     reads FILE, writes OUT.rwx with its textures; prints the
//                                     time of each step and the peak resident memory

#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "export/rwxsave.h"
#include "platform/atomicfile.h"
#include "platform/jpegwrite.h"
#include "reader/rwxobject.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

int Make(const char* path) {
    constexpr int kColumns = 500, kRows = 250, kNodes = 4;
    std::string bin;
    nlohmann::json j = {{"asset", {{"version", "2.0"}}}};
    auto view = [&](const void* data, std::size_t size, int target) {
        while (bin.size() % 4) bin += '\0';
        nlohmann::json v = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
        if (target) v["target"] = target;
        bin.append(static_cast<const char*>(data), size);
        j["bufferViews"].push_back(v);
        return static_cast<int>(j["bufferViews"].size() - 1);
    };
    std::vector<uint8_t> rgb(256 * 256 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 7) % 251);
    const std::vector<uint8_t> jpeg = pelorus::EncodeJpeg(rgb, 256, 256);
    j["images"].push_back({{"bufferView", view(jpeg.data(), jpeg.size(), 0)}, {"mimeType", "image/jpeg"}});
    j["textures"].push_back({{"source", 0}});
    j["materials"].push_back({{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}, {"metallicFactor", 0}}}});
    std::vector<int> nodes;
    for (int n = 0; n < kNodes; ++n) {
        std::vector<float> p, uv;
        std::vector<uint32_t> idx;
        for (int y = 0; y <= kRows; ++y)
            for (int x = 0; x <= kColumns; ++x) {
                const float fx = static_cast<float>(x) * 0.01f, fy = static_cast<float>(y) * 0.01f;
                const float h = n % 2 ? 0.05f * std::sin(fx * 3.0f) * std::cos(fy * 5.0f) : 0.0f;
                p.insert(p.end(), {fx, h, fy + 2.6f * static_cast<float>(n)});
                uv.insert(uv.end(), {fx, fy});
            }
        for (int y = 0; y < kRows; ++y)
            for (int x = 0; x < kColumns; ++x) {
                const auto a = static_cast<uint32_t>(y * (kColumns + 1) + x);
                const uint32_t b = a + 1, c = a + kColumns + 2, d = a + kColumns + 1;
                idx.insert(idx.end(), {a, d, c, a, c, b});
            }
        const std::size_t count = p.size() / 3;
        j["accessors"].push_back({{"bufferView", view(p.data(), p.size() * 4, 34962)},
                                  {"componentType", 5126},
                                  {"count", count},
                                  {"type", "VEC3"},
                                  {"min", {0, -0.05, 2.6 * n}},
                                  {"max", {5, 0.05, 2.6 * n + 2.5}}});
        j["accessors"].push_back({{"bufferView", view(uv.data(), uv.size() * 4, 34962)},
                                  {"componentType", 5126},
                                  {"count", count},
                                  {"type", "VEC2"}});
        j["accessors"].push_back({{"bufferView", view(idx.data(), idx.size() * 4, 34963)},
                                  {"componentType", 5125},
                                  {"count", idx.size()},
                                  {"type", "SCALAR"}});
        const int a = static_cast<int>(j["accessors"].size()) - 3;
        j["meshes"].push_back(
            {{"primitives",
              {{{"attributes", {{"POSITION", a}, {"TEXCOORD_0", a + 1}}}, {"indices", a + 2}, {"material", 0}}}}});
        j["nodes"].push_back({{"mesh", n}});
        nodes.push_back(n);
    }
    j["scenes"] = {{{"nodes", nodes}}};
    j["scene"] = 0;
    while (bin.size() % 4) bin += '\0';
    j["buffers"] = {{{"byteLength", bin.size()}}};
    std::string text = j.dump();
    while (text.size() % 4) text += ' ';
    std::string glb = "glTF";
    Put32(glb, 2);
    Put32(glb, static_cast<uint32_t>(12 + 8 + text.size() + 8 + bin.size()));
    Put32(glb, static_cast<uint32_t>(text.size()));
    glb += "JSON" + text;
    Put32(glb, static_cast<uint32_t>(bin.size()));
    glb += std::string("BIN\0", 4) + bin;
    std::string error;
    if (!pelorus::WriteFileAtomically(path, glb, &error)) {
        std::fprintf(stderr, "convertbench: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %d triangles, %zu bytes\n", path, kNodes * kColumns * kRows * 2, glb.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make") == 0) return Make(argv[2]);
    if (argc != 3) {
        std::fprintf(stderr, "usage: convertbench --make FILE.glb | convertbench FILE.glb OUT.rwx\n");
        return 2;
    }
    const auto start = Clock::now();
    pelorus::ErrorLog log;
    const pelorus::RWXObject model(argv[1], 0, 0.025, 0, log);
    const double read = Seconds(start);
    const auto writeStart = Clock::now();
    const pelorus::ExportEntry entries[] = {pelorus::ExportEntry(&model, std::array<double, 3>{0, 0.025, 0})};
    const pelorus::ScriptResult result = pelorus::SaveScript(argv[2], entries, argv[1]);
    const double write = Seconds(writeStart);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    for (const std::string& line : log.Lines()) std::printf("error line: %s\n", line.c_str());
    if (result.problem) std::printf("problem: %s\n", result.problem->message.c_str());
    std::printf("triangles read %lld, written %lld (%lld quads), vertices %lld\n",
                static_cast<long long>(model.CountTriangles()), static_cast<long long>(result.counts.triangles),
                static_cast<long long>(result.counts.quads), static_cast<long long>(result.counts.vertices));
    std::printf("read %.2f s, write %.2f s, total %.2f s, peak resident %.0f MiB\n", read, write, read + write,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return result.problem ? 1 : 0;
}
