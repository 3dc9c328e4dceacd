#pragma once
// A load's progress on one line of a terminal, for the command-line tools: the line is written
// again in place (a carriage return first) as the load goes on, and erased when it ends, so that
// what the tool prints afterwards starts on a clean line. Nothing at all is written when the
// stream is not a terminal (a file, a pipe).

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "world/loadprogress.h"

namespace pelorus {

// True when `stream` is the process's standard error and that is a terminal.
bool IsTerminalStandardError(const std::ostream& stream);

class ProgressLine {
public:
    // Writes to `out` only when `shown` is true.
    ProgressLine(std::ostream& out, bool shown);
    // Erase().
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Shows ProgressText(progress) in place of what was shown: at once when its stage differs
    // from the last one shown, else at most once every kProgressLineInterval. Idle and Done
    // erase the line.
    void Show(const LoadProgress& progress);
    // Erases the line shown (spaces over it, then a carriage return); nothing when none is.
    void Erase();
    // Show as a function, for WorldReadOptions::progress; it must not outlive this object.
    std::function<void(const LoadProgress&)> Teller();

private:
    std::ostream& out_;
    bool shown_;
    std::size_t width_ = 0;  // of the line on the terminal, 0 when none is
    LoadProgress::Stage stage_ = LoadProgress::Stage::Idle;
    std::chrono::steady_clock::time_point last_{};
};

inline constexpr std::chrono::milliseconds kProgressLineInterval{100};

}  // namespace pelorus
