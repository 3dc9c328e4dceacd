#pragma once
// Noticing that the files a scene was read from changed on disk, so that the viewer can show
// each save of a script at once. Plain file-system checks: the window's watcher only says when
// to look.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/rwxobject.h"

namespace pelorus {

// What identifies one version of a file: a save changes its time or size, and a save that
// writes a new file and renames it over the old one changes its inode.
struct FileStamp {
    bool exists = false;
    int64_t modifiedNs = 0;
    uint64_t size = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file `path` names now (links followed); exists is false when there is none.
FileStamp StampOf(std::string_view path);

// The files a scene was read from: `currentFile` first, then the file each object was read from
// (object maps name several), each made absolute against the current folder (when it is not yet)
// and resolved without regard to letter case. Repeats and empty paths are left out.
std::vector<std::string> SourceFilesOf(std::string_view currentFile, std::span<const RWXObject* const> objects);

// The stamps of a set of files, taken when they were read.
class ChangeWatch {
public:
    // Starts over with `paths`, taking their stamps now.
    void Watch(std::vector<std::string> paths);
    void Clear() { Watch({}); }
    const std::vector<std::string>& Paths() const { return paths_; }

    // True when any file's stamp differs from the one taken, while the first file exists (a file
    // being replaced may be missing for a moment: its change is reported once it is back). The
    // new stamps are taken when true is returned, so each change is reported once.
    bool TakeChange();

private:
    std::vector<std::string> paths_;
    std::vector<FileStamp> stamps_;
};

// When to look at the files again after the system said they changed. A burst of changes is
// looked at once the files have been quiet for kReloadQuietMs, but never later than
// kReloadMaxWaitMs after the burst's first change: a file rewritten every 200 ms is still shown
// at least every half second, and the last write of a burst is always followed by one more look.
// A change after a look starts a new burst. Times are milliseconds on a steady clock; a time
// earlier than the last change counts as that change's time, and no sum overflows.
constexpr int64_t kReloadQuietMs = 250;
constexpr int64_t kReloadMaxWaitMs = 500;
class ReloadSchedule {
public:
    // A change was noticed at `nowMs`.
    void Changed(int64_t nowMs);
    bool Pending() const { return pending_; }
    // Milliseconds from `nowMs` until the look is due: 0 when it is due or overdue, -1 when no
    // change is pending. A single-shot timer started with it fires in time.
    int64_t DueIn(int64_t nowMs) const;
    // True when a look is due at `nowMs`; the burst then ends. False (and nothing changes)
    // before that or with nothing pending.
    bool TakeDue(int64_t nowMs);
    // Forgets a pending burst (a new file was loaded anyway).
    void Cancel() { pending_ = false; }

private:
    int64_t Deadline() const;
    bool pending_ = false;
    int64_t first_ = 0;
    int64_t last_ = 0;
};

}  // namespace pelorus
