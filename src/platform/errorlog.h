#pragma once
// An error log: the text that readers append their complaints to, one line each. Each line ends
// with a line feed; nothing is ever removed. Whoever reads something decides which log it writes
// to: the viewer keeps one for the whole run, a command-line tool one per file, a test its own.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class ErrorLog {
public:
    // Appends `line` and a line feed. A line feed inside `line` is kept as part of the text.
    void Append(std::string_view line);

    const std::string& Text() const { return text_; }
    std::size_t LineCount() const { return starts_.size(); }
    bool Empty() const { return starts_.empty(); }

    // Every line, without its line feed.
    std::vector<std::string> Lines() const { return LinesSince(0); }
    // The lines appended since LineCount() returned `mark`, without their line feeds; none when
    // `mark` is at or beyond the end.
    std::vector<std::string> LinesSince(std::size_t mark) const;
    // Where line `mark` starts in Text() (Text().size() for a mark at or beyond the end).
    std::size_t OffsetOfLine(std::size_t mark) const;

    // Called after every appended line with that line (without its line feed); used to mirror
    // the log to a terminal. An empty function turns mirroring off.
    void SetMirror(std::function<void(std::string_view)> mirror) { mirror_ = std::move(mirror); }

private:
    std::string text_;
    std::vector<std::size_t> starts_;
    std::function<void(std::string_view)> mirror_;
};

}  // namespace pelorus
