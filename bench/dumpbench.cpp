// Reads a generated object dump with its object path, as the viewer does, and draws it in a
// headless context the way someone walking through the world sees it: read-and-place time and
// peak memory, the first frame at a location inside it, frames while orbiting there and while
// walking across the whole world, with the memory of the walk. With a draw distance the models
// come as the window has them come: asked for as the eye moves, nearest first, taken in as they
// are read (--wait: waited for at every step), and let go past the budget; --all reads every
// model first, as without a draw distance.
//   dumpbench DUMP OBJECTPATH [--threads N] [--size WxH] [--draw-distance METRES] [--frames N]
//                             [--no-draw] [--all] [--wait] [--walk-steps N]
#include <GL/gl.h>
#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
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
#include "scene/modeldemand.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "world/worldload.h"

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
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && out >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelorus;
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: dumpbench DUMP OBJECTPATH [--threads N] [--size WxH] [--draw-distance METRES] "
                     "[--frames N] [--no-draw] [--all] [--wait] [--walk-steps N]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int width = 800, height = 600, frames = 16, threads = 0, metres = 200, walkSteps = 2000;
    bool draw = true, all = false, wait = false;
    for (int i = 3; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--no-draw") {
            draw = false;
        } else if (a == "--all") {
            all = true;
        } else if (a == "--wait") {
            wait = true;
        } else if (a == "--frames" && i + 1 < argc && ParseInt(argv[i + 1], frames)) {
            ++i;
        } else if (a == "--walk-steps" && i + 1 < argc && ParseInt(argv[i + 1], walkSteps)) {
            ++i;
        } else if (a == "--threads" && i + 1 < argc && ParseInt(argv[i + 1], threads)) {
            ++i;
        } else if (a == "--draw-distance" && i + 1 < argc && ParseInt(argv[i + 1], metres)) {
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
    WorldReadOptions options;
    options.objectPath = argv[2];
    options.modelThreads = static_cast<unsigned>(threads);
    std::unique_ptr<ModelSupply> supply;
    if (metres > 0 && !all) options.modelsOnDemand = &supply;
    const auto t0 = Clock::now();
    auto scene = std::make_unique<TObjectMap>(ReadShownAsViewer(argv[1], log, options));
    const double readMs = Ms(Clock::now() - t0);
    std::printf("read and place: %zu objects, %zu models%s, %zu error lines, %.0f ms, peak %.0f MB\n",
                scene->ObjectCount(), scene->Read().models.size(), supply ? " (read on demand)" : "", log.LineCount(),
                readMs, PeakMegabytes());
    std::unique_ptr<ModelFeed> feed;
    if (supply)
        feed = std::make_unique<ModelFeed>(std::move(supply), scene->Read().objects, scene->Read().models.size());
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
    const Bounds bounds = feed ? feed->Demand().Extent() : SceneBounds(*scene);
    DrawContext context;
    context.flags.axes = false;
    context.drawDistance = metres > 0 ? metres / 10.0 : std::numeric_limits<double>::infinity();
    // As a dump opens: 25 degrees above, showing about 50 m around the middle of the world.
    context.camera.pitch = 25;
    context.camera.distance = 5;
    const double midX = (bounds.Min().x + bounds.Max().x) / 2, midZ = (bounds.Min().z + bounds.Max().z) / 2;
    context.camera.targetX = midX;
    context.camera.targetZ = midZ;
    // The models the eye needs, as the window asks for them at every redraw and takes them in.
    auto feedModels = [&](bool waitForThem) {
        if (!feed) return;
        const Vec3 eye = EyeOf(CameraMatrix(context.camera));
        if (waitForThem) {
            FeedAndWait(*feed, *scene, eye, context.drawDistance, log);
        } else {
            feed->Look(eye, context.drawDistance);
            (void)scene->SetModels(feed->Take(log));
        }
        for (const std::shared_ptr<const RWXObject>& gone : scene->DropModels(feed->ToDrop(kDefaultModelBudgetBytes)))
            if (gone.use_count() == 1) renderer.Forget(gone.get());
        renderer.ReleaseUnusedTextures();
    };
    auto frame = [&] {
        DepthRange depth = SceneDepthRange(context.camera, bounds);
        depth.zFar = std::min(depth.zFar, context.drawDistance + context.camera.distance + 1);
        Resize(viewport, width, height, depth);
        DrawFrame(viewport, world, context, scene.get(), renderer);
        glFinish();
    };
    const auto f0 = Clock::now();
    feedModels(true);
    frame();
    std::printf("first frame at the middle: %.0f ms (%.0f ms after the read began), peak %.0f MB\n",
                Ms(Clock::now() - f0), Ms(Clock::now() - t0), PeakMegabytes());
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        context.camera.yaw = 360.0 * i / frames;
        const auto t = Clock::now();
        feedModels(wait);
        frame();
        times.push_back(Ms(Clock::now() - t));
    }
    std::printf("orbit %dx%d, draw distance %d m: %.1f ms a frame (median of %d)\n", width, height, metres,
                Median(times), frames);
    // Walking from one corner of the world to the other, a step of 10 m a frame at most.
    times.clear();
    const double dx = bounds.Max().x - bounds.Min().x, dz = bounds.Max().z - bounds.Min().z;
    const int steps = std::max(2, std::min(walkSteps, static_cast<int>(std::hypot(dx, dz))));
    for (int i = 0; i <= steps; ++i) {
        context.camera.yaw = 45;
        context.camera.targetX = bounds.Min().x + dx * i / steps;
        context.camera.targetZ = bounds.Min().z + dz * i / steps;
        const auto t = Clock::now();
        feedModels(wait);
        frame();
        times.push_back(Ms(Clock::now() - t));
    }
    std::printf("walk across the world, %d frames: median %.1f ms, slowest %.1f ms, peak %.0f MB\n", steps + 1,
                Median(times), *std::max_element(times.begin(), times.end()), PeakMegabytes());
    if (feed)
        std::printf("models on demand: %llu reads, %zu held at the end (%.0f MB counted), %zu error lines\n",
                    static_cast<unsigned long long>(feed->Supply().Reads()), feed->Demand().HeldCount(),
                    static_cast<double>(feed->Demand().HeldBytes()) / (1 << 20), log.LineCount());
    renderer.Release();
    return 0;
}
