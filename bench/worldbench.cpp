// Reads a world-sized object map and draws it in a headless context: read time and peak memory,
// the first frame, and frames while orbiting the middle of the world.
//   worldbench MAP [--size WxH] [--frames N] [--no-draw]
#include <GL/gl.h>
#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"
#include "render/frame.h"
#include "render/headless.h"
#include "render/scenedraw.h"
#include "render/worldgl.h"
#include "scene/framing.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool ParseInt(std::string_view s, int& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && out > 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelorus;
    if (argc < 2) {
        std::fprintf(stderr, "usage: worldbench MAP [--size WxH] [--frames N] [--no-draw]\n");
        return 2;
    }
    const std::string map = argv[1];
    int width = 800, height = 600, frames = 16;
    bool draw = true;
    for (int i = 2; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--no-draw") {
            draw = false;
        } else if (a == "--frames" && i + 1 < argc && ParseInt(argv[i + 1], frames)) {
            ++i;
        } else if (a == "--size" && i + 1 < argc) {
            const std::string_view v = argv[++i];
            const std::size_t x = v.find('x');
            if (x == std::string_view::npos || !ParseInt(v.substr(0, x), width) || !ParseInt(v.substr(x + 1), height))
                return 2;
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }

    ErrorLog log;
    const auto t0 = Clock::now();
    std::unique_ptr<TObjectMap> scene = TObjectMap::FromFile(map, log);
    const double readMs = Ms(Clock::now() - t0);
    int64_t triangles = 0;
    for (std::size_t i = 0; i < scene->ObjectCount(); ++i) triangles += scene->Object(i).CountTriangles();
    std::printf("read: %zu entries, %lld triangles, %zu error lines, %.0f ms, peak %.0f MB\n", scene->ObjectCount(),
                static_cast<long long>(triangles), log.LineCount(), readMs, PeakMegabytes());
    if (!draw) return 0;

    std::unique_ptr<HeadlessGL> gl = HeadlessGL::Create(width, height);
    if (!gl) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }
    SceneRenderer renderer;
    Viewport viewport;
    Resize(viewport, width, height);
    AppliedWorld world;
    WorldLook look;
    look.backdrop = "";
    look.groundPath = "models/.rwx";
    ApplyWorld(look, world, scene.get(), renderer, log, ReadOptions{});
    DrawContext context;
    context.flags.axes = false;
    context.camera.pitch = 20;
    context.camera.distance = 30;
    // Planes that hold the whole world, as the viewer sets them.
    const Bounds bounds = SceneBounds(*scene);
    auto frame = [&] {
        Resize(viewport, width, height, SceneDepthRange(context.camera, bounds));
        DrawFrame(viewport, world, context, scene.get(), renderer);
        glFinish();
    };
    const auto f0 = Clock::now();
    frame();
    std::printf("first frame: %.0f ms, peak %.0f MB\n", Ms(Clock::now() - f0), PeakMegabytes());
    // Orbiting the middle of the world at several draw distances (metres; 10 m a unit).
    for (const double metres : {0.0, 1000.0, 500.0, 200.0, 100.0}) {
        context.drawDistance = metres > 0 ? metres / 10 : std::numeric_limits<double>::infinity();
        std::vector<double> times;
        for (int i = 0; i < frames; ++i) {
            context.camera.yaw = 360.0 * i / frames;
            const auto t = Clock::now();
            frame();
            times.push_back(Ms(Clock::now() - t));
        }
        std::printf("orbit %dx%d, draw distance %s: %.1f ms a frame (median of %d)\n", width, height,
                    metres > 0 ? (std::to_string(static_cast<int>(metres)) + " m").c_str() : "all", Median(times),
                    frames);
    }
    renderer.Release();
    return 0;
}
