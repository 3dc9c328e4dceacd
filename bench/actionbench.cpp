// Reading an object dump whose objects carry actions against the same dump without them: the
// dump read, its models found and read, and the scene made with every object's create commands
// carried out (colours, textures, signs, scale, visibility), as the viewer opens a world.
//   actionbench [--objects N] [--runs N]
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dumpgen.h"
#include "platform/errorlog.h"
#include "scene/objectmap.h"
#include "world/worldload.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Seconds to open `dump` as the viewer does, median of `runs`; `looks` gets the number of looks made.
double TimeOpening(const std::string& dump, const std::string& objectPath, int runs, std::size_t& looks,
                   std::size_t& lines) {
    std::vector<double> seconds;
    for (int r = 0; r < runs; ++r) {
        pelorus::ErrorLog log;
        pelorus::WorldReadOptions options;
        options.objectPath = objectPath;
        const auto start = Clock::now();
        const pelorus::TObjectMap scene(pelorus::LoadShownObjects(dump, log, options), &log);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        looks = scene.Looks().looks.size();
        lines = log.LineCount();
    }
    return Median(seconds);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelorus;
    int objects = 100000, runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view key = argv[i], value = argv[i + 1];
        int* target = key == "--objects" ? &objects : key == "--runs" ? &runs : nullptr;
        if (!target || std::from_chars(value.data(), value.data() + value.size(), *target).ec != std::errc{}) {
            std::fprintf(stderr, "usage: actionbench [--objects N] [--runs N]\n");
            return 2;
        }
    }
    char pattern[] = "/tmp/actionbench.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    std::string error;
    dumpgen::ObjectPathSpec path;
    if (!dumpgen::WriteObjectPath(folder + "/op", path, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    dumpgen::DumpSpec plain;
    plain.objects = objects;
    plain.extras = false;
    plain.keepExpected = false;
    dumpgen::DumpSpec acted = plain;
    // Actions as builders write them: most objects recoloured, retextured, scaled or lettered,
    // some with commands that only run when clicked or that this program does not carry out.
    acted.actions = {
        "create color red",
        "create color 00ff80 tag=3, scale 1.5",
        "create texture t1; activate teleport 10n 20w",
        "create sign \"Welcome home\" bcolor=green color=yellow",
        "create scale 0.8 1.2 1, ambient 0.7, diffuse 0.4",
        "create opacity 0.5",
        "create visible no",
        "create animate me wave 5 10 100 1 2 3 4 5, astart",
        "bump warp +0 +0 +2a",
        "create picture sign.jpg name=other",
    };
    const std::string plainDump = folder + "/plain.txt", actedDump = folder + "/acted.txt";
    if (!dumpgen::WriteFile(plainDump, dumpgen::MakeDump(plain).text) ||
        !dumpgen::WriteFile(actedDump, dumpgen::MakeDump(acted).text))
        return 1;

    std::size_t plainLooks = 0, actedLooks = 0, plainLines = 0, actedLines = 0;
    // One untimed opening each first: the files are then in the page cache for both.
    TimeOpening(plainDump, folder + "/op", 1, plainLooks, plainLines);
    TimeOpening(actedDump, folder + "/op", 1, actedLooks, actedLines);
    const double without = TimeOpening(plainDump, folder + "/op", runs, plainLooks, plainLines);
    const double with = TimeOpening(actedDump, folder + "/op", runs, actedLooks, actedLines);
    std::printf("objects %d, runs %d (median)\n", objects, runs);
    std::printf("without actions: %.3f s (%zu looks, %zu error lines)\n", without, plainLooks, plainLines);
    std::printf("with actions:    %.3f s (%zu looks, %zu error lines)\n", with, actedLooks, actedLines);
    std::printf("ratio %.2f (target at most 1.5)\n", without > 0 ? with / without : 0.0);
    std::filesystem::remove_all(folder);
    return with <= 1.5 * without ? 0 : 1;
}
