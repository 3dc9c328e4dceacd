#pragma once
// The error log: one text for the whole run that every reader appends its complaints to.
// Each line ends with a line feed; nothing is ever removed.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class ErrorLog {
public:
    // The process-wide log the readers write to.
    static ErrorLog& Instance();

    // Appends `line` and a line feed. A line feed inside `line` is kept as part of the text.
    void Append(std::string_view line);

    const std::string& Text() const { return text_; }
    std::size_t LineCount() const { return starts_.size(); }

    // The lines appended since LineCount() returned `mark`, without their line feeds.
    std::vector<std::string> LinesSince(std::size_t mark) const;

    // Empties the log. The viewer never does this; tools that read thousands of inputs in one
    // process (the fuzzers) do, between inputs.
    void Clear() {
        text_.clear();
        starts_.clear();
    }

    // Called after every appended line with that line (without its line feed); used to mirror
    // the log to a terminal. An empty function turns mirroring off.
    void SetMirror(std::function<void(std::string_view)> mirror) { mirror_ = std::move(mirror); }

private:
    std::string text_;
    std::vector<std::size_t> starts_;
    std::function<void(std::string_view)> mirror_;
};

// Shorthand for ErrorLog::Instance().Append(line).
void LogLine(std::string_view line);

}  // namespace pelorus
