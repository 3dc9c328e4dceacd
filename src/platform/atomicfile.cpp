#include "platform/atomicfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace pelorus {
namespace {

constexpr std::size_t kStemLimit = kTemporaryTargetLimit;
constexpr std::string_view kTemporarySuffix = ".tmp";

// True when nothing is at `path`, or a regular file (links followed: `path` is already the target).
bool ReplaceableOrMissing(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

bool Fail(std::string* error, std::string what) {
    if (error) *error = std::move(what);
    return false;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file that `path` stands for: what a symbolic link points to, otherwise `path` itself.
std::string TargetOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string out(real);
            std::free(real);
            return out;
        }
    }
    return path;
}

// Makes a finished rename durable; a folder that cannot be synced only loses durability.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool WriteFileAtomically(std::string_view path, std::string_view content, std::string* error) {
    if (path.empty()) return Fail(error, "No file name given.");
    const std::string target = TargetOf(std::string(path));
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    // Keep the temporary name within the file-name length limit whatever the target's length.
    const std::string stem = target.substr(slash == std::string::npos ? 0 : slash + 1).substr(0, kStemLimit);
    const std::string quoted = "\"" + target + "\"";
    if (!ReplaceableOrMissing(target)) return Fail(error, "Cannot replace " + quoted + ": it is not a regular file");

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + (folder == "/" ? "." : "/.") + stem + "." + std::to_string(::getpid()) + "." +
               std::to_string(attempt) + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(error, "Cannot create a temporary file for " + quoted + ": " + std::strerror(errno));

    auto abandon = [&](const char* what) {
        const int saved = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return Fail(error, std::string(what) + " " + quoted + ": " + std::strerror(saved));
    };

    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);  // a failure only leaves the default permissions
    if (!WriteAll(fd, content)) return abandon("Cannot write");
    if (::fsync(fd) != 0) return abandon("Cannot flush");
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return abandon("Cannot write");
    if (!ReplaceableOrMissing(target)) {
        ::unlink(temp.c_str());
        return Fail(error, "Cannot replace " + quoted + ": it is not a regular file");
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) return abandon("Cannot replace");
    SyncFolder(folder);
    return true;
}

std::optional<TemporaryName> ParseTemporaryName(std::string_view name) {
    // ".<stem>.<pid>.<attempt>.tmp"
    if (!name.starts_with('.') || !name.ends_with(kTemporarySuffix)) return std::nullopt;
    name.remove_prefix(1);
    name.remove_suffix(kTemporarySuffix.size());
    auto number = [&name](long& value) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || dot + 1 == name.size()) return false;
        const std::string_view digits = name.substr(dot + 1);
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec != std::errc{} || end != digits.data() + digits.size() || value < 0) return false;
        name = name.substr(0, dot);
        return true;
    };
    long attempt = 0, pid = 0;
    if (!number(attempt) || !number(pid) || name.empty() || name.size() > kStemLimit) return std::nullopt;
    return TemporaryName{std::string(name), pid};
}

int RemoveLeftoverTemporaries(std::string_view folder, const std::function<bool(std::string_view target)>& isOurs) {
    const std::string path = folder.empty() ? std::string(".") : std::string(folder);
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return 0;
    std::vector<std::string> doomed;
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<TemporaryName> temporary = ParseTemporaryName(entry->d_name);
        if (!temporary || !isOurs(temporary->target)) continue;
        // A process that is still running may be saving right now.
        const bool gone = temporary->pid > 0 && ::kill(static_cast<pid_t>(temporary->pid), 0) != 0 && errno == ESRCH;
        if (!gone) continue;
        const std::string file = path + "/" + entry->d_name;
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) doomed.push_back(file);
    }
    ::closedir(dir);
    int removed = 0;
    for (const std::string& file : doomed)
        if (::unlink(file.c_str()) == 0) ++removed;
    return removed;
}

}  // namespace pelorus
