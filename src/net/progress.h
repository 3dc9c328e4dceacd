#pragma once
// How far the downloads have come, as plain values, and the line that tells it.

#include <chrono>
#include <cstdint>
#include <string>

namespace pelorus {

// The files that had to be asked of a server since the downloads were last all finished: answers
// from the cache alone are not counted. A cancelled file is no longer wanted; its bytes stay
// counted.
struct DownloadProgress {
    int wanted = 0;      // files asked for, finished or not
    int done = 0;        // files finished, whatever the outcome
    uint64_t bytes = 0;  // bytes received for them
    bool Active() const { return done < wanted; }
    bool operator==(const DownloadProgress&) const = default;
};

// "Downloading 12 of 340 files, 1.2 MB": the files done of those wanted ("file" when one is
// wanted), and the bytes as BytesText writes them. "" when nothing is active.
std::string ProgressText(const DownloadProgress& progress);

// A byte count for people, in decimal units with one decimal rounded down past the first unit:
// "0 B", "999 B", "1.0 kB", "1.2 MB", "3.4 GB", "1234.5 TB"... (TB is the largest unit).
std::string BytesText(uint64_t bytes);

// The progress of the command-line tools, on one line of a terminal that is rewritten in place.
// When `fd` is not a terminal nothing is ever written, so that logs and pipes get only the tools'
// own output.
class TerminalProgress {
public:
    explicit TerminalProgress(int fd = 2);
    // Clears the line when anything was shown.
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Shows `progress` unless the line was rewritten less than a tenth of a second ago (a change
    // of `wanted` or `done` is always shown); an inactive progress clears the line.
    void Show(const DownloadProgress& progress);
    bool Enabled() const { return enabled_; }

private:
    void Put(const std::string& line);
    int fd_;
    bool enabled_;
    std::size_t shown_ = 0;  // characters on the line now
    DownloadProgress last_;
    std::chrono::steady_clock::time_point lastTime_{};
};

}  // namespace pelorus
