#include "shell/recentfiles.h"

#include <algorithm>

#include "platform/atomicfile.h"
#include "platform/paths.h"

namespace pelorus {
namespace {

bool Storable(std::string_view path) {
    return !path.empty() && path.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

}  // namespace

RecentFiles RecentFiles::Parse(std::string_view text) {
    RecentFiles list;
    std::size_t pos = 0;
    while (pos < text.size() && list.paths_.size() < kRecentFileLimit) {
        std::size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos) lf = text.size();
        std::string_view line = text.substr(pos, lf - pos);
        pos = lf + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!Storable(line)) continue;
        if (std::find(list.paths_.begin(), list.paths_.end(), line) != list.paths_.end()) continue;
        list.paths_.emplace_back(line);
    }
    return list;
}

std::string RecentFiles::Text() const {
    std::string text;
    for (const std::string& path : paths_) text += path + '\n';
    return text;
}

bool RecentFiles::Add(std::string_view path) {
    if (!Storable(path)) return false;
    if (!paths_.empty() && paths_.front() == path) return false;
    const auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end()) paths_.erase(it);
    paths_.insert(paths_.begin(), std::string(path));
    if (paths_.size() > kRecentFileLimit) paths_.resize(kRecentFileLimit);
    return true;
}

RecentFiles LoadRecentFiles(std::string_view path) {
    std::string text;
    if (!ReadWholeFile(path, text, kSmallFileLimit)) return {};
    return RecentFiles::Parse(text);
}

bool SaveRecentFiles(std::string_view path, const RecentFiles& list, std::string* error, ErrorLog* log) {
    return SaveSettingsFile(path, list.Text(), error, log);
}

}  // namespace pelorus
