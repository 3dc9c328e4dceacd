#pragma once
// How far a load has come, as plain values that the thread loading writes and any other reads,
// and the words the status bar and the command-line tools show for it.

#include <cstdint>
#include <string>
#include <string_view>

#include "net/progress.h"

namespace pelorus {

struct LoadProgress {
    enum class Stage : uint8_t {
        Idle,     // nothing is being loaded
        Reading,  // the lines of an object dump: `done` of `total` (the dump's lines after the first)
        Loading,  // the models its objects name: `done` of `total` distinct models
        Done,     // the load has ended (finished or cancelled)
    };
    LoadProgress() = default;
    LoadProgress(Stage stage_, uint64_t done_, uint64_t total_) : stage(stage_), done(done_), total(total_) {}

    Stage stage = Stage::Idle;
    uint64_t done = 0;
    uint64_t total = 0;
    // The files fetched from a web object path meanwhile (nothing wanted for a local one).
    DownloadProgress download;
    // The object path's server could not be reached: copies in the cache stand in.
    bool offline = false;

    bool operator==(const LoadProgress&) const = default;
};

// `n` in decimal with a comma between each group of three digits: "1,000,000".
std::string WithThousands(uint64_t n);

// "Reading 120,000 of 1,000,000 objects", "Loading 40 of 300 models"; "" for Idle and Done. A
// `done` beyond `total` is shown as `total`. While files are being downloaded (in any stage but
// Done) the download's line instead: "Downloading 12 of 340 files, 1.2 MB".
std::string ProgressText(const LoadProgress& progress);

// What the status bar says of a load: ProgressText while there is any, else, when the object path
// `objectPath` could not be reached, "Offline: using cached copies of OBJECTPATH"; else "".
std::string LoadStatusText(const LoadProgress& progress, std::string_view objectPath);

}  // namespace pelorus
