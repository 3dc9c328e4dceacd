// A world whose object path is on a web server over loopback: the time to the first full frame
// with an empty disk cache (every model and texture downloaded) and with a warm one (every copy
// fresh: nothing asked), and how many requests each made.
//   remotebench [--models N] [--textures N] [--objects N] [--latency MS] [--size WxH]
// The server is the tests' own (tests/net/objectserver.py) on 127.0.0.1; --latency makes it wait
// that long before every answer, as a distant server would.
#include <GL/gl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "dumpgen.h"
#include "platform/errorlog.h"
#include "render/frame.h"
#include "render/headless.h"
#include "render/scenedraw.h"
#include "render/worldgl.h"
#include "scene/framing.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "world/worldload.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

bool ParseInt(std::string_view s, int& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && out >= 0;
}

// The tests' server of `folder` on 127.0.0.1, logging each request as a line of `log`.
class Server {
public:
    Server(const std::string& folder, const std::string& log) {
        int out[2], in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) return;
        lifeline_ = in[1];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        std::string python = "/usr/bin/python3";
        std::string script = std::string(PELORUS_SOURCE_DIR) + "/tests/net/objectserver.py";
        std::string folderArg = folder, logArg = log;
        char* argv[] = {python.data(), script.data(), folderArg.data(), logArg.data(), nullptr};
        const bool spawned = ::posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        if (!spawned) {
            pid_ = -1;
            ::close(out[0]);
            return;
        }
        std::string line;
        pollfd ready{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&ready, 1, 20'000) == 1) {
            char buffer[64];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        std::from_chars(line.data(), line.data() + line.size(), port_);
    }
    ~Server() {
        if (lifeline_ >= 0) ::close(lifeline_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int lifeline_ = -1;
    int port_ = 0;
};

std::size_t LinesOf(const std::string& path) {
    std::ifstream in(path);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelorus;
    int models = 300, textures = 100, objects = 3000, latency = 0, width = 800, height = 600;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--models" && value && ParseInt(argv[i + 1], models)) {
            ++i;
        } else if (a == "--textures" && value && ParseInt(argv[i + 1], textures)) {
            ++i;
        } else if (a == "--objects" && value && ParseInt(argv[i + 1], objects)) {
            ++i;
        } else if (a == "--latency" && value && ParseInt(argv[i + 1], latency)) {
            ++i;
        } else if (a == "--size" && value) {
            const std::string_view v = argv[++i];
            const std::size_t x = v.find('x');
            if (x == std::string_view::npos || !ParseInt(v.substr(0, x), width) || !ParseInt(v.substr(x + 1), height))
                return 2;
        } else {
            std::fprintf(stderr,
                         "usage: remotebench [--models N] [--textures N] [--objects N] [--latency MS] [--size WxH]\n");
            return 2;
        }
    }
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(name);
    ::setenv("no_proxy", "*", 1);

    char pattern[] = "/tmp/remotebench.XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string root = pattern;
    const std::string site = root + "/site", cache = root + "/cache", log = root + "/requests.log";
    std::string error;
    dumpgen::ObjectPathSpec pathRecipe;
    pathRecipe.models = models;
    pathRecipe.textures = textures;
    dumpgen::DumpSpec dumpRecipe;
    dumpRecipe.objects = objects;
    dumpRecipe.models = models;
    dumpRecipe.extras = false;
    dumpRecipe.keepExpected = false;
    dumpRecipe.spacing = 0.3;
    if (!dumpgen::WriteObjectPath(site, pathRecipe, &error) ||
        !dumpgen::WriteFile(root + "/world.txt", dumpgen::MakeDump(dumpRecipe).text)) {
        std::fprintf(stderr, "cannot write the world: %s\n", error.c_str());
        return 1;
    }
    std::ofstream(log).flush();
    const Server server(site, log);
    if (server.Port() == 0) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    std::string objectPath = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
    if (latency > 0) objectPath += "slow/" + std::to_string(latency) + "/";

    std::unique_ptr<HeadlessGL> gl = HeadlessGL::Create(width, height);
    if (!gl) {
        std::fprintf(stderr, "no OpenGL context\n");
        return 1;
    }
    std::printf("%d models, %d textures, %d objects, %d ms a request, %dx%d\n", models, textures, objects, latency,
                width, height);
    for (const char* run : {"cold", "warm"}) {
        const std::size_t requestsBefore = LinesOf(log);
        ErrorLog errors;
        WorldReadOptions options;
        options.objectPath = objectPath;
        options.cacheRoot = cache;
        const auto t0 = Clock::now();
        auto scene = std::make_unique<TObjectMap>(LoadShownObjects(root + "/world.txt", errors, options));
        const double readMs = Ms(Clock::now() - t0);

        SceneRenderer renderer;
        Viewport viewport;
        Resize(viewport, width, height);
        AppliedWorld world;
        WorldLook look;
        look.backdrop = "";
        look.groundPath = "models/.rwx";
        ApplyWorld(look, world, scene.get(), renderer, errors, ReadOptions{});
        DrawContext context;
        context.flags.axes = false;
        context.camera.pitch = 25;
        context.camera.distance = 10;
        Resize(viewport, width, height, SceneDepthRange(context.camera, SceneBounds(*scene)));
        DrawFrame(viewport, world, context, scene.get(), renderer);
        glFinish();
        const double frameMs = Ms(Clock::now() - t0);
        renderer.Release();
        std::printf("%s cache: read %.0f ms, first full frame %.0f ms, %zu requests, %zu error lines\n", run, readMs,
                    frameMs, LinesOf(log) - requestsBefore, errors.LineCount());
        if (errors.LineCount() > 0) std::printf("  first: %s\n", errors.Lines().front().c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
