#include "net/progress.h"

#include <unistd.h>

#include <cerrno>

namespace pelorus {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

std::string BytesText(uint64_t bytes) {
    static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB"};
    if (bytes < 1000) return std::to_string(bytes) + " B";
    uint64_t tenth = 100;  // a tenth of the unit, in bytes
    std::size_t unit = 0;
    while (unit + 1 < std::size(kUnits) && bytes / tenth >= 10000) {
        tenth *= 1000;
        ++unit;
    }
    const uint64_t tenths = bytes / tenth;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

std::string ProgressText(const DownloadProgress& progress) {
    if (!progress.Active()) return {};
    return "Downloading " + std::to_string(progress.done) + " of " + std::to_string(progress.wanted) +
           (progress.wanted == 1 ? " file, " : " files, ") + BytesText(progress.bytes);
}

TerminalProgress::TerminalProgress(int fd) : fd_(fd), enabled_(::isatty(fd) == 1) {}

TerminalProgress::~TerminalProgress() {
    Put({});
}

void TerminalProgress::Put(const std::string& line) {
    if (!enabled_ || (line.empty() && shown_ == 0)) return;
    // Back to the start of the line, the new text, blanks over what is left of the old one, and
    // back again when the line is only cleared.
    std::string out = "\r" + line;
    if (shown_ > line.size()) out.append(shown_ - line.size(), ' ');
    if (line.empty()) out += "\r";
    shown_ = line.size();
    std::string_view rest = out;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a terminal that cannot be written to only loses the progress
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TerminalProgress::Show(const DownloadProgress& progress) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    const bool counted = progress.wanted != last_.wanted || progress.done != last_.done;
    if (!counted && now - lastTime_ < kRedrawInterval) return;
    last_ = progress;
    lastTime_ = now;
    Put(ProgressText(progress));
}

}  // namespace pelorus
