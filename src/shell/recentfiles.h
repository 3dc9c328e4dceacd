#pragma once
// The files opened last, newest first, kept across runs in "Recent.txt" beside "Worlds.txt":
// one absolute path per line (LF), at most ten lines.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class ErrorLog;

inline constexpr std::size_t kRecentFileLimit = 10;
inline constexpr std::string_view kRecentFileName = "Recent.txt";

class RecentFiles {
public:
    // Reads the list's text: one path per line, LF or CR LF, newest first. Empty lines, lines
    // holding a NUL byte and repeats of an earlier line are skipped; only the first
    // kRecentFileLimit paths are kept.
    static RecentFiles Parse(std::string_view text);
    // The list's text: every path followed by LF.
    std::string Text() const;

    // Puts `path` first, removing an equal entry further down and the oldest beyond the limit.
    // Paths that cannot be kept in the file (empty, or holding a line break or a NUL byte) are
    // refused. Returns true when the list changed.
    bool Add(std::string_view path);

    const std::vector<std::string>& Paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
};

// The list in `path`; an empty list when the file is missing or unreadable.
RecentFiles LoadRecentFiles(std::string_view path);
// Saves the list atomically (the file is either replaced whole or left as it was), as a file of
// its own when it was a symbolic link (which `log` is told, see SaveSettingsFile). False, with the
// reason in `*error` when given, when it cannot be written.
bool SaveRecentFiles(std::string_view path, const RecentFiles& list, std::string* error, ErrorLog* log = nullptr);

}  // namespace pelorus
