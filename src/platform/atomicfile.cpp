#include "platform/atomicfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "platform/errorlog.h"
#include "platform/paths.h"

namespace pelorus {
namespace {

constexpr std::size_t kStemLimit = kTemporaryTargetLimit;
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::string_view kNotRegular = "it is not a regular file";

// What stands at the path a save is to replace.
struct Standing {
    enum Kind { Missing, File, Link, Other } kind = Missing;
    mode_t mode = 0;   // permission bits of the file (for a link, of the file it points to)
    std::string link;  // what a link says
    int error = 0;     // why it cannot be replaced, when it cannot
};

Standing Look(const std::string& path) {
    Standing s;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        s.kind = errno == ENOENT ? Standing::Missing : Standing::Other;
        s.error = errno == ENOENT ? 0 : errno;
        return s;
    }
    if (S_ISREG(st.st_mode)) {
        s.kind = Standing::File;
        s.mode = st.st_mode & 07777;
        // A direct write would be refused: so is the rename.
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) s.error = errno;
        return s;
    }
    if (S_ISLNK(st.st_mode)) {
        struct stat pointed {};
        std::vector<char> text(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(path.c_str(), text.data(), text.size());
        if (::stat(path.c_str(), &pointed) == 0 && S_ISREG(pointed.st_mode) && n >= 0) {
            s.kind = Standing::Link;
            s.mode = pointed.st_mode & 07777;
            s.link.assign(text.data(), static_cast<std::size_t>(n));
            return s;
        }
    }
    s.kind = Standing::Other;
    return s;
}

// Why `s` must not be replaced; "" when it may be.
std::string Obstacle(const Standing& s) {
    if (s.kind == Standing::Other && s.error == 0) return std::string(kNotRegular);
    if (s.error != 0) return std::strerror(s.error);
    return {};
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
    finished_ = false;
    refused_ = false;
    replacedLink_.reset();
    if (path.empty()) return Fail(error, "no file name given");
    target_ = std::string(path);
    const std::size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
    // Keep the temporary name within the file-name length limit whatever the target's length.
    const std::string stem = target_.substr(slash == std::string::npos ? 0 : slash + 1).substr(0, kStemLimit);
    const Standing standing = Look(target_);
    if (std::string why = Obstacle(standing); !why.empty()) return Fail(error, std::move(why));

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder_ + (folder_ == "/" ? "." : "/.") + stem + "." + std::to_string(::getpid()) + "." +
               std::to_string(attempt) + std::string(kTemporarySuffix);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(error, std::strerror(errno));
    fd_ = fd;
    temp_ = temp;
    if (standing.kind != Standing::Missing) ::fchmod(fd_, standing.mode);  // a failure keeps the default
    return true;
}

bool AtomicFileWriter::Write(std::string_view piece) {
    if (fd_ < 0 || finished_ || writeError_ != 0) return false;
    if (WriteAll(fd_, piece)) return true;
    writeError_ = errno != 0 ? errno : EIO;
    return false;
}

bool AtomicFileWriter::Finish(std::string* error) {
    if (finished_) return true;
    if (fd_ < 0) return Fail(error, "nothing to write");
    auto abandon = [&](int code) {
        Abandon();
        return Fail(error, std::strerror(code));
    };
    if (writeError_ != 0) return abandon(writeError_);
    if (durable_ && ::fsync(fd_) != 0) return abandon(errno);
    const int closed = ::close(fd_);
    const int closeError = errno;
    fd_ = -1;
    if (closed != 0) return abandon(closeError);
    finished_ = true;
    return true;
}

bool AtomicFileWriter::Commit(std::string* error, const AtomicLastCheck& lastCheck) {
    refused_ = false;
    if (!Finish(error)) return false;
    if (temp_.empty()) return Fail(error, "nothing to write");
    const Standing standing = Look(target_);
    if (std::string why = Obstacle(standing); !why.empty()) {
        Abandon();
        return Fail(error, std::move(why));
    }
    if (lastCheck)
        if (std::optional<std::string> why = lastCheck()) {
            Abandon();
            refused_ = true;
            return Fail(error, std::move(*why));
        }
    // rename never follows a link at the target: the link itself is replaced.
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int code = errno;
        Abandon();
        return Fail(error, std::strerror(code));
    }
    temp_.clear();
    finished_ = false;
    if (standing.kind == Standing::Link) replacedLink_ = standing.link;
    if (durable_) SyncFolder(folder_);
    return true;
}

bool WriteFileAtomically(std::string_view path, std::string_view content, std::string* error,
                         const AtomicWriteOptions& options) {
    AtomicFileWriter writer;
    if (!writer.Begin(path, error)) return false;
    writer.SetDurable(options.durable);
    writer.Write(content);
    const bool written = writer.Commit(error, options.lastCheck);
    if (options.refused) *options.refused = writer.Refused();
    if (written && writer.ReplacedLink() && options.replacedLink) *options.replacedLink = *writer.ReplacedLink();
    return written;
}

std::string ReplacedLinkLine(std::string_view path, std::string_view linkTarget) {
    const std::string target = "\"" + std::string(linkTarget) + "\"";
    return "\"" + std::string(path) + "\" was a symbolic link to " + target + "; it is now a file of its own and " +
           target + " is left as it was.";
}

bool SaveSettingsFile(std::string_view path, std::string_view content, std::string* error, ErrorLog* log) {
    std::string link;
    AtomicWriteOptions how;
    how.replacedLink = &link;
    if (!WriteFileAtomically(path, content, error, how)) return false;
    if (!link.empty() && log) log->Append(ReplacedLinkLine(path, link));
    return true;
}

bool DetachSettingsLink(std::string_view path, uint64_t maxBytes, ErrorLog* log) {
    const std::string file(path);
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string content;
    if (!ReadWholeFile(file, content, maxBytes)) return false;
    return SaveSettingsFile(file, content, nullptr, log);
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
