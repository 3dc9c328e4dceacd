#include "shell/filewatch.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_set>

#include "platform/paths.h"

namespace pelorus {

FileStamp StampOf(std::string_view path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(std::string(path).c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.device = static_cast<uint64_t>(st.st_dev);
    return stamp;
}

std::vector<std::string> SourceFilesOf(std::string_view currentFile, std::span<const RWXObject* const> objects) {
    // Object maps place a model many times, and may name many files: each model and each path is
    // looked at once.
    std::vector<std::string> paths;
    std::unordered_set<std::string> seen;
    std::unordered_set<const RWXObject*> models;
    auto add = [&](std::string_view path) {
        if (path.empty()) return;
        std::string absolute = ResolvePath(AbsolutePath(ToSlashes(path)));
        if (seen.insert(absolute).second) paths.push_back(std::move(absolute));
    };
    add(currentFile);
    for (const RWXObject* object : objects)
        if (object && models.insert(object).second) add(object->File());
    return paths;
}

void ChangeWatch::Watch(std::vector<std::string> paths) {
    paths_ = std::move(paths);
    stamps_.clear();
    for (const std::string& path : paths_) stamps_.push_back(StampOf(path));
}

bool ChangeWatch::TakeChange() {
    if (paths_.empty()) return false;
    std::vector<FileStamp> now;
    for (const std::string& path : paths_) now.push_back(StampOf(path));
    if (!now.front().exists || now == stamps_) return false;
    stamps_ = std::move(now);
    return true;
}

namespace {

int64_t SaturatingAdd(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

}  // namespace

void ReloadSchedule::Changed(int64_t nowMs) {
    if (!pending_) {
        pending_ = true;
        first_ = last_ = nowMs;
        return;
    }
    last_ = std::max(last_, nowMs);
}

int64_t ReloadSchedule::Deadline() const {
    return std::min(SaturatingAdd(last_, kReloadQuietMs), SaturatingAdd(first_, kReloadMaxWaitMs));
}

int64_t ReloadSchedule::DueIn(int64_t nowMs) const {
    if (!pending_) return -1;
    // Never earlier than the last change, so the difference is at most the quiet time.
    const int64_t now = std::max(nowMs, last_);
    const int64_t deadline = Deadline();
    return now >= deadline ? 0 : deadline - now;
}

bool ReloadSchedule::TakeDue(int64_t nowMs) {
    if (DueIn(nowMs) != 0) return false;
    pending_ = false;
    return true;
}

}  // namespace pelorus
