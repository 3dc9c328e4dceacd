#pragma once
// How far a load has come, as plain values that the thread loading writes and any other reads,
// and the words the status bar and the command-line tools show for it.

#include <cstdint>
#include <string>

namespace pelorus {

struct LoadProgress {
    enum class Stage : uint8_t {
        Idle,     // nothing is being loaded
        Reading,  // the lines of an object dump: `done` of `total` (the dump's lines after the first)
        Loading,  // the models its objects name: `done` of `total` distinct models
        Done,     // the load has ended (finished or cancelled)
    };
    Stage stage = Stage::Idle;
    uint64_t done = 0;
    uint64_t total = 0;

    bool operator==(const LoadProgress&) const = default;
};

// `n` in decimal with a comma between each group of three digits: "1,000,000".
std::string WithThousands(uint64_t n);

// "Reading 120,000 of 1,000,000 objects", "Loading 40 of 300 models"; "" for Idle and Done. A
// `done` beyond `total` is shown as `total`.
std::string ProgressText(const LoadProgress& progress);

}  // namespace pelorus
