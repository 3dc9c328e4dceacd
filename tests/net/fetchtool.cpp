// A process of its own that fetches files through a shared cache, for the test of two processes
// storing the same files at once:
//   net_fetchtool CACHE OBJECTPATH SITE ROUNDS NAME...
// Each round opens a new downloader that asks for every name again (a refresh time of zero) and
// checks each copy it is given against the served file in SITE. Exits 0 when every copy was
// whole and right, 1 otherwise (saying which on standard error).

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "net/downloader.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    using namespace pelorus;
    if (argc < 6) {
        std::fprintf(stderr, "usage: net_fetchtool CACHE OBJECTPATH SITE ROUNDS NAME...\n");
        return 2;
    }
    const std::string objectPath = argv[2];
    const std::string site = argv[3];
    int rounds = 0;
    std::from_chars(argv[4], argv[4] + std::string_view(argv[4]).size(), rounds);
    int faults = 0;
    for (int round = 0; round < rounds; ++round) {
        DownloaderOptions options;
        options.cacheRoot = argv[1];
        Downloader downloader(options);
        std::vector<uint64_t> tickets;
        for (int i = 5; i < argc; ++i)
            tickets.push_back(downloader.Request({objectPath, argv[i], std::chrono::seconds(0)}));
        for (const FetchResult& result : WaitShowingProgress(downloader, tickets)) {
            std::string copy, served;
            if (!result.Usable() || !ReadWholeFile(result.file, copy) ||
                !ReadWholeFile(JoinPath(site, result.name), served) || copy != served) {
                std::fprintf(stderr, "round %d: %s is not whole (%s)\n", round, result.name.c_str(),
                             result.message.c_str());
                ++faults;
            }
        }
    }
    return faults == 0 ? 0 : 1;
}
