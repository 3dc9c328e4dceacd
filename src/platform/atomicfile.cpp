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

AtomicFileWriter::~AtomicFileWriter() {
    Abandon();
}

void AtomicFileWriter::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool AtomicFileWriter::Begin(std::string_view path, std::string* error) {
    Abandon();
    writeError_ = 0;
    if (path.empty()) return Fail(error, "No file name given.");
    target_ = TargetOf(std::string(path));
    const std::size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
    // Keep the temporary name within the file-name length limit whatever the target's length.
    const std::string stem = target_.substr(slash == std::string::npos ? 0 : slash + 1).substr(0, kStemLimit);
    const std::string quoted = "\"" + target_ + "\"";
    if (!ReplaceableOrMissing(target_)) return Fail(error, "Cannot replace " + quoted + ": it is not a regular file");

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder_ + (folder_ == "/" ? "." : "/.") + stem + "." + std::to_string(::getpid()) + "." +
               std::to_string(attempt) + std::string(kTemporarySuffix);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(error, "Cannot create a temporary file for " + quoted + ": " + std::strerror(errno));
    fd_ = fd;
    temp_ = temp;
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd_, existing.st_mode & 07777);  // a failure only leaves the default permissions
    return true;
}

bool AtomicFileWriter::Write(std::string_view piece) {
    if (fd_ < 0 || writeError_ != 0) return false;
    if (WriteAll(fd_, piece)) return true;
    writeError_ = errno != 0 ? errno : EIO;
    return false;
}

bool AtomicFileWriter::Commit(std::string* error) {
    const std::string quoted = "\"" + target_ + "\"";
    if (fd_ < 0) return Fail(error, "Nothing to write for " + quoted);
    auto abandon = [&](const char* what, int code) {
        Abandon();
        return Fail(error, std::string(what) + " " + quoted + ": " + std::strerror(code));
    };
    if (writeError_ != 0) return abandon("Cannot write", writeError_);
    if (::fsync(fd_) != 0) return abandon("Cannot flush", errno);
    const int closed = ::close(fd_);
    const int closeError = errno;
    fd_ = -1;
    if (closed != 0) return abandon("Cannot write", closeError);
    if (!ReplaceableOrMissing(target_)) {
        Abandon();
        return Fail(error, "Cannot replace " + quoted + ": it is not a regular file");
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return abandon("Cannot replace", errno);
    temp_.clear();
    SyncFolder(folder_);
    return true;
}

bool WriteFileAtomically(std::string_view path, std::string_view content, std::string* error) {
    AtomicFileWriter writer;
    if (!writer.Begin(path, error)) return false;
    writer.Write(content);
    return writer.Commit(error);
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
