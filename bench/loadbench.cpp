// Load benchmark: reads each script many times and compares with copying the file to /dev/null.
//   loadbench [--once] FILE...
// Prints, per file: size, median load time, MB/s, median `cat FILE > /dev/null` time and the
// ratio of the two. With --once the file is loaded a single time (for peak-memory measurement
// under /usr/bin/time -v).

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "reader/rwxobject.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeCat(const char* path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("cat"), const_cast<char*>(path), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    bool once = false;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--once") == 0)
            once = true;
        else
            files.push_back(argv[i]);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: loadbench [--once] FILE...\n");
        return 2;
    }
    pelorus::ReadOptions options;
    options.loadTextures = false;
    pelorus::ErrorLog log;
    for (const char* file : files) {
        if (once) {
            pelorus::RWXObject object(file, 0, 0, 0, log, options);
            std::printf("%s: %lld triangles\n", file, static_cast<long long>(object.CountTriangles()));
            continue;
        }
        FILE* f = std::fopen(file, "rb");
        if (!f) {
            std::perror(file);
            return 1;
        }
        std::fseek(f, 0, SEEK_END);
        const double megabytes = static_cast<double>(std::ftell(f)) / 1e6;
        std::fclose(f);
        const int runs = megabytes > 100 ? 3 : 11;
        std::vector<double> load, cat;
        long long triangles = 0;
        for (int r = 0; r < runs; ++r) {
            cat.push_back(TimeCat(file));
            const auto start = Clock::now();
            pelorus::RWXObject object(file, 0, 0, 0, log, options);
            load.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            triangles = object.CountTriangles();
        }
        const double l = Median(load), c = Median(cat);
        std::printf("%s: %.1f MB, %lld triangles, load %.1f ms (%.0f MB/s), cat %.1f ms, load/cat %.2f\n", file,
                    megabytes, triangles, l * 1e3, megabytes / l, c * 1e3, l / c);
    }
    return 0;
}
