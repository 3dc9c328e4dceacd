// Frame benchmark on a headless EGL pbuffer.
//   frame_bench [--frames N] [--size PIXELS]
// 1. The opaque pass of a 200,000-triangle textured, lit model: compiled geometry against
//    vertex-by-vertex drawing of the same batches, in a small viewport (geometry-bound) and at
//    256 x 256; the pixels of both must be identical.
// 2. The transparent pass of 100,000 translucent triangles: depth computation and sort, with the
//    camera turned to a new angle every frame.
// Prints the median of each over N frames and the ratio of the opaque timings.

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

// libjpeg's header needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "render/frame.h"
#include "render/headless.h"
#include "render/modeldraw.h"
#include "render/scenedraw.h"
#include "render/texturecache.h"
#include "render/worldgl.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"

using namespace pelorus;

namespace {

using Clock = std::chrono::steady_clock;

void Append(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 5);
    out.append(buf, r.ptr);
    out += ' ';
}

// A sphere of `rows` x `cols` quads (two triangles each), smooth-lit, textured, in `bands`
// materials that alternate by row; `opacity` below 1 makes every triangle translucent.
std::string SphereScript(int rows, int cols, int bands, double radius, double opacity) {
    std::string s = "ModelBegin\nClumpBegin\nSurface 0.3 0.7 0\nLightSampling Vertex\nTexture checks\n";
    if (opacity < 1) s += "Opacity " + std::to_string(opacity) + "\n";
    s.reserve(static_cast<std::size_t>(rows + 1) * static_cast<std::size_t>(cols + 1) * 60u);
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c) {
            const double theta = std::numbers::pi * r / rows, phi = 2 * std::numbers::pi * c / cols;
            s += "Vertex ";
            Append(s, radius * std::sin(theta) * std::cos(phi));
            Append(s, radius * std::cos(theta));
            Append(s, -radius * std::sin(theta) * std::sin(phi));
            s += "UV ";
            Append(s, 8.0 * c / cols);
            Append(s, 4.0 * r / rows);
            s += '\n';
        }
    for (int r = 0; r < rows; ++r) {
        if (r % std::max(1, rows / bands) == 0)
            s += (r / std::max(1, rows / bands)) % 2 ? "Color 1 0.9 0.8\n" : "Color 0.8 0.9 1\n";
        for (int c = 0; c < cols; ++c) {
            const int a = r * (cols + 1) + c + 1, b = a + cols + 1;
            s += "Quad " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(b + 1) + " " +
                 std::to_string(a + 1) + "\n";
        }
    }
    return s + "ClumpEnd\nModelEnd\n";
}

bool WriteCheckerJpeg(const std::string& path) {
    const int size = 64;
    std::vector<uint8_t> rgb;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint8_t v = ((x / 8 + y / 8) % 2) ? 230 : 60;
            rgb.insert(rgb.end(), {v, static_cast<uint8_t>(v / 2 + 60), static_cast<uint8_t>(255 - v)});
        }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long bytes = 0;
    jpeg_mem_dest(&cinfo, &buffer, &bytes);
    cinfo.image_width = size;
    cinfo.image_height = size;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = rgb.data() + static_cast<std::size_t>(cinfo.next_scanline) * size * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(buffer), static_cast<std::streamsize>(bytes));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return static_cast<bool>(out);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct OpaqueResult {
    double compiled = 0, direct = 0;
    bool samePixels = false;
};

OpaqueResult TimeOpaque(RWXObject& model, int size, int frames, ErrorLog& log) {
    OpaqueResult result;
    auto gl = HeadlessGL::Create(size, size);
    if (!gl) return result;
    Viewport viewport;
    Resize(viewport, size, size);
    WorldLook look;
    look.backdrop = "";
    AppliedWorld world;
    SceneRenderer renderer;
    ApplyWorld(look, world, nullptr, renderer, log, ReadOptions{});
    DrawContext context;
    context.flags.lighting = true;
    context.flags.axes = false;
    context.camera.yaw = 30;
    context.camera.pitch = 20;
    ObjectResources resources;
    TextureCache textures;
    auto draw = [&](bool compiled) {
        glLoadMatrixd(CameraMatrix(context.camera).data());
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawOpaque(model, PlacedAt(model.Offset()), resources, textures, context, compiled);
        glFinish();
    };
    draw(true);  // uploads the texture and compiles the lists
    draw(false);
    std::vector<double> compiled, direct;
    std::vector<uint8_t> compiledPixels, directPixels;
    for (int i = 0; i < frames; ++i) {
        auto t0 = Clock::now();
        draw(true);
        compiled.push_back(Ms(Clock::now() - t0));
        if (i == 0) compiledPixels = gl->ReadPixels();
        t0 = Clock::now();
        draw(false);
        direct.push_back(Ms(Clock::now() - t0));
        if (i == 0) directPixels = gl->ReadPixels();
    }
    result.compiled = Median(compiled);
    result.direct = Median(direct);
    result.samePixels = compiledPixels == directPixels;
    resources.Release();
    textures.Release();
    return result;
}

double TimeTranslucent(std::vector<std::unique_ptr<RWXObject>> objects, int frames, std::size_t& count) {
    TObjectMap scene(std::move(objects));
    TranslucentList list = scene.Translucent();
    count = list.records.size();
    std::vector<double> times;
    std::vector<uint32_t> order;
    uint32_t seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        Camera camera;
        camera.yaw = (seed >> 8) % 360;
        camera.pitch = static_cast<double>((seed >> 4) % 60) - 30;
        const Mat4 modelview = CameraMatrix(camera);
        const auto t0 = Clock::now();
        ComputeDepths(list, modelview, camera.yaw);
        SortBackToFront(list.records, order);
        times.push_back(Ms(Clock::now() - t0));
    }
    return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 31, small = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view a = argv[i], v = argv[i + 1];
        int* target = a == "--frames" ? &frames : a == "--size" ? &small : nullptr;
        if (!target || std::from_chars(v.data(), v.data() + v.size(), *target).ec != std::errc{} || *target < 1) {
            std::fprintf(stderr, "usage: frame_bench [--frames N] [--size PIXELS]\n");
            return 2;
        }
    }
    ErrorLog log;
    log.SetMirror([](std::string_view line, const LogPlace&) {
        std::fprintf(stderr, "log: %.*s\n", static_cast<int>(line.size()), line.data());
    });

    char dirTemplate[] = "/tmp/pelorus-bench-XXXXXX";
    if (!::mkdtemp(dirTemplate)) return 1;
    const std::string dir = dirTemplate;
    WriteCheckerJpeg(dir + "/checks.jpg");
    ReadOptions options;
    options.programDir = dir;
    options.extraTextureDirs = {dir};

    // 250 x 400 quads: 200,000 triangles.
    auto model = RWXObject::FromText(SphereScript(250, 400, 4, 0.6, 1.0), 0, 0, 0, log, options, "sphere.rwx");
    std::printf("opaque model: %lld triangles, %zu textures\n", static_cast<long long>(model->CountTriangles()),
                model->Textures().size());
    for (const int size : {small, 256}) {
        const OpaqueResult r = TimeOpaque(*model, size, frames, log);
        if (r.compiled <= 0) {
            std::fprintf(stderr, "no OpenGL context\n");
            return 1;
        }
        std::printf("opaque pass %dx%d: compiled %.2f ms, vertex by vertex %.2f ms, ratio %.2f, identical pixels: %s\n",
                    size, size, r.compiled, r.direct, r.direct / r.compiled, r.samePixels ? "yes" : "NO");
    }

    // Five translucent spheres of 20,000 triangles each: 100,000 triangles.
    std::vector<std::unique_ptr<RWXObject>> panes;
    for (int i = 0; i < 5; ++i)
        panes.push_back(RWXObject::FromText(SphereScript(100, 100, 1, 0.2, 0.5), 0.3 * i - 0.6, 0, -0.2 * i, log,
                                            options, "glass.rwx"));
    std::size_t count = 0;
    const double sortMs = TimeTranslucent(std::move(panes), frames, count);
    std::printf("transparent pass: %zu triangles, depth and sort %.2f ms per frame\n", count, sortMs);

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
