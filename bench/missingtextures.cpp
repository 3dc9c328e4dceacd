// Missing-texture benchmark: an object map of 1,000 entries, each script naming a texture and a
// mask that are nowhere, in a folder of 20,000 files (TexturesPath.txt missing too). Every missing
// name is matched without regard to letter case against the folder's listing.
//   missingtextures [FOLDER]    (a scratch folder is made in the system's temporary folder
//                                when none is given; it is left for the next run)
// Prints the seconds one load takes (median of 5) and how many folder listings it made.

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/errorlog.h"
#include "platform/paths.h"
#include "reader/scenefile.h"

namespace {

constexpr int kEntries = 1000;
constexpr int kFiles = 20000;

bool WriteFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Fills `folder` unless an earlier run did.
bool Prepare(const std::string& folder) {
    const std::string map = folder + "/scene.txt";
    struct stat st {};
    if (::stat(map.c_str(), &st) == 0) return true;
    ::mkdir(folder.c_str(), 0777);
    std::string entries;
    for (int i = 0; i < kEntries; ++i) {
        const std::string name = "model" + std::to_string(i) + ".rwx";
        if (!WriteFile(folder + "/" + name, "ClumpBegin\nTexture missing" + std::to_string(i) + " mask gone" +
                                                std::to_string(i) + "\nClumpEnd\n"))
            return false;
        entries += name + " 0 0 0\n";
    }
    for (int i = 0; i < kFiles - kEntries; ++i)
        if (!WriteFile(folder + "/filler" + std::to_string(i) + ".dat", "")) return false;
    return WriteFile(map, entries);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    if (argc > 1) {
        folder = argv[1];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelorus-missingtextures";
    }
    if (!Prepare(folder)) {
        std::fprintf(stderr, "missingtextures: cannot fill %s\n", folder.c_str());
        return 1;
    }
    std::vector<double> seconds;
    std::size_t listings = 0, lines = 0, objects = 0;
    for (int run = 0; run < 5; ++run) {
        pelorus::FolderListingCache folders;
        pelorus::ReadOptions options;
        options.programDir = folder;
        options.baseFolder = folder;
        options.folders = &folders;
        pelorus::ErrorLog log;
        const auto start = std::chrono::steady_clock::now();
        const auto loaded = pelorus::LoadSceneObjects("scene.txt", log, options);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        listings = folders.ListingCount();
        lines = log.LineCount();
        objects = loaded.objects.size();
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%zu objects, %zu error lines, %zu folder listings, load %.3f s\n", objects, lines, listings,
                seconds[seconds.size() / 2]);
    return 0;
}
