#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace pelorus {

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

std::string ToSlashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::string> MatchInFolder(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view candidate(entry->d_name);
        if (EqualsNoCase(candidate, name) && (!best || candidate < *best)) best = std::string(candidate);
    }
    ::closedir(dir);
    return best;
}

std::string Append(const std::string& base, std::string_view component) {
    if (base.empty()) return std::string(component);
    if (base.back() == '/') return base + std::string(component);
    return base + "/" + std::string(component);
}

}  // namespace

std::string ResolvePath(std::string_view path) {
    std::string slashed = ToSlashes(path);
    if (slashed.empty() || Exists(slashed)) return slashed;

    std::string resolved;
    std::size_t pos = 0;
    if (slashed[0] == '/') {
        resolved = "/";
        pos = 1;
    }
    while (pos <= slashed.size()) {
        std::size_t next = slashed.find('/', pos);
        if (next == std::string::npos) next = slashed.size();
        std::string_view component(slashed.data() + pos, next - pos);
        pos = next + 1;
        if (component.empty()) continue;
        std::string candidate = Append(resolved, component);
        if (component == "." || component == ".." || Exists(candidate)) {
            resolved = std::move(candidate);
            continue;
        }
        std::optional<std::string> match = MatchInFolder(resolved, component);
        if (!match) return slashed;
        resolved = Append(resolved, *match);
    }
    return resolved;
}

namespace {

// Opens the file `path` names for reading; -1 when it cannot be opened or is a folder.
int OpenForReading(std::string_view path, struct stat& st) {
    const std::string resolved = ResolvePath(path);
    if (resolved.empty()) return -1;
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads what is left of `fd` into `out` and closes it.
bool ReadAll(int fd, const struct stat& st, std::string& out) {
    out.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 65536);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        const ssize_t got = ::read(fd, out.data() + used, out.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.clear();
            return false;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    out.resize(used);
    return true;
}

}  // namespace

bool ReadWholeFile(std::string_view path, std::string& out) {
    out.clear();
    struct stat st {};
    const int fd = OpenForReading(path, st);
    return fd >= 0 && ReadAll(fd, st, out);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (out.empty() || (out.back() != '/' && out.back() != '\\')) out.push_back('/');
    out.append(name);
    return out;
}

std::string_view ParentPart(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string_view FileNamePart(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ProgramDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    std::string exe(buffer.data(), static_cast<std::size_t>(n));
    std::string_view dir = ParentPart(exe);
    return dir.empty() ? std::string(".") : std::string(dir);
}

bool IsDirectory(std::string_view path) {
    const std::string resolved = ResolvePath(path);
    struct stat st {};
    return !resolved.empty() && ::stat(resolved.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool SetCurrentDirectory(std::string_view path) {
    const std::string resolved = ResolvePath(path);
    return !resolved.empty() && ::chdir(resolved.c_str()) == 0;
}

std::string AbsolutePath(std::string_view path) {
    std::string slashed = ToSlashes(path);
    if (!slashed.empty() && slashed[0] == '/') return slashed;
    return JoinPath(CurrentDirectory(), slashed);
}

FileContents::~FileContents() {
    if (mapped_) ::munmap(const_cast<char*>(mapped_), size_);
}

bool FileContents::Open(std::string_view path) {
    struct stat st {};
    const int fd = OpenForReading(path, st);
    if (fd < 0) return false;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            ::close(fd);
            mapped_ = static_cast<const char*>(p);
            size_ = static_cast<std::size_t>(st.st_size);
            return true;
        }
    }
    return ReadAll(fd, st, copy_);  // pipes, empty files, or no mapping to be had
}

std::string InFolder(std::string_view folder, std::string_view path) {
    if (folder.empty() || (!path.empty() && (path[0] == '/' || path[0] == '\\'))) return std::string(path);
    while (path.size() >= 2 && path[0] == '.' && (path[1] == '/' || path[1] == '\\')) path.remove_prefix(2);
    if (path.empty() || path == ".") return std::string(folder);
    return JoinPath(folder, path);
}

}  // namespace pelorus
