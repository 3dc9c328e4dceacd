#pragma once
// An error log: the text that readers append their complaints to, one line each. Each line ends
// with a line feed; nothing is ever removed. Whoever reads something decides which log it writes
// to: the viewer keeps one for the whole run, a command-line tool one per file, a test its own.
// Beside its text, a line may know where its problem is: a line of a file (LogPlace). The text
// never holds that place; those who show the line decide how to show it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pelorus {

// Where the problem of an error line is. A place without a file and line (the default) is none.
struct LogPlace {
    // The file read: a path, or for a file inside an archive the archive's path, with the
    // member's name in `member`.
    std::string file;
    std::string member;
    // The line, counted from 1; 0 when the problem is in no one line.
    uint64_t line = 0;

    bool Known() const { return !file.empty() || line != 0; }
    // "FILE" or "ARCHIVE:MEMBER"; "" when there is no file.
    std::string FileName() const { return member.empty() ? file : file + ":" + member; }
    bool operator==(const LogPlace&) const = default;
};

class ErrorLog {
public:
    // Appends `line` and a line feed, with `place` as where its problem is. A line feed inside
    // `line` is kept as part of the text.
    void Append(std::string_view line, const LogPlace& place = {});
    // Appends every line of `other` with its place, in order.
    void AppendAll(const ErrorLog& other);

    const std::string& Text() const { return text_; }
    std::size_t LineCount() const { return starts_.size(); }
    bool Empty() const { return starts_.empty(); }

    // Every line, without its line feed.
    std::vector<std::string> Lines() const { return LinesSince(0); }
    // The lines appended since LineCount() returned `mark`, without their line feeds; none when
    // `mark` is at or beyond the end.
    std::vector<std::string> LinesSince(std::size_t mark) const;
    // Line `index` without its line feed; "" beyond the end.
    std::string_view Line(std::size_t index) const;
    // Where line `mark` starts in Text() (Text().size() for a mark at or beyond the end).
    std::size_t OffsetOfLine(std::size_t mark) const;
    // Where the problem of line `index` is; none beyond the end and for a line appended without.
    LogPlace PlaceOf(std::size_t index) const;

    // Called after every appended line with that line (without its line feed) and its place; used
    // to mirror the log to a terminal. An empty function turns mirroring off.
    void SetMirror(std::function<void(std::string_view, const LogPlace&)> mirror) { mirror_ = std::move(mirror); }

private:
    // Files are kept once each; a line refers to its file by number.
    static constexpr uint32_t kNoFile = UINT32_MAX;
    struct Place {
        uint32_t file = kNoFile;
        uint64_t line = 0;
    };
    uint32_t FileNumber(const LogPlace& place);

    std::string text_;
    std::vector<std::size_t> starts_;
    std::vector<Place> places_;                               // one per line
    std::vector<std::pair<std::string, std::string>> files_;  // file and member
    std::unordered_map<std::string, uint32_t> fileNumbers_;   // "file\0member" -> its number
    std::function<void(std::string_view, const LogPlace&)> mirror_;
};

}  // namespace pelorus
