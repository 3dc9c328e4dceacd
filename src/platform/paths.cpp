#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
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

// The entry of `folder` equal to `name` without regard to case, first in byte order; listed afresh.
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

std::optional<std::string> FolderListingCache::Match(const std::string& folder, std::string_view name) {
    const std::string key = folder.empty() ? std::string(".") : folder;
    auto it = folders_.find(key);
    if (it == folders_.end()) {
        Listing listing;
        ++listings_;
        if (DIR* dir = ::opendir(key.c_str())) {
            listing.listed = true;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view entryName(entry->d_name);
                if (entryName != "." && entryName != "..") listing.names.emplace_back(entryName);
            }
            ::closedir(dir);
        }
        std::sort(listing.names.begin(), listing.names.end());
        listing.byUpperCase.reserve(listing.names.size());
        // In byte order, so that the first entry of each upper-cased spelling is kept.
        for (std::size_t i = 0; i < listing.names.size(); ++i)
            listing.byUpperCase.emplace(ToUpperAscii(listing.names[i]), i);
        it = folders_.emplace(key, std::move(listing)).first;
    }
    const Listing& listing = it->second;
    const auto found = listing.byUpperCase.find(ToUpperAscii(name));
    if (found == listing.byUpperCase.end()) return std::nullopt;
    return listing.names[found->second];
}

std::optional<bool> FolderListingCache::HasEntry(const std::string& folder, std::string_view name) const {
    const auto it = folders_.find(folder.empty() ? std::string(".") : folder);
    if (it == folders_.end() || !it->second.listed) return std::nullopt;
    const std::vector<std::string>& names = it->second.names;
    return std::binary_search(names.begin(), names.end(), name, std::less<>());
}

std::optional<std::string> FolderListingCache::ResolvedFolder(const std::string& folder) {
    if (const auto it = resolvedFolders_.find(folder); it != resolvedFolders_.end()) return it->second;
    std::optional<std::string> resolved;
    if (IsFolder(folder)) {
        resolved = folder;
    } else {
        bool found = false;
        std::string match = ResolvePath(folder, this, &found);
        if (found && IsFolder(match)) resolved = std::move(match);
    }
    return resolvedFolders_.emplace(folder, std::move(resolved)).first->second;
}

bool FolderListingCache::IsFolder(const std::string& folder) {
    const auto [it, added] = isFolder_.try_emplace(folder, false);
    if (added) {
        struct stat st {};
        it->second = ::stat(folder.empty() ? "." : folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    return it->second;
}

std::string ResolvePath(std::string_view path, FolderListingCache* folders, bool* found) {
    bool foundHere = false;
    bool& exists = found ? *found : foundHere;
    std::string slashed = ToSlashes(path);
    if (slashed.empty()) return slashed;
    // Most often only the file name is spelt otherwise (or missing): its folder is there as
    // written, and only the name needs looking for in it.
    const std::size_t lastSlash = slashed.find_last_of('/');
    const std::string_view lastName =
        lastSlash == std::string::npos ? std::string_view(slashed) : std::string_view(slashed).substr(lastSlash + 1);
    const bool inFolder = !lastName.empty() && lastName != "." && lastName != ".." && lastSlash != std::string::npos;
    const std::string folder = inFolder ? slashed.substr(0, lastSlash == 0 ? 1 : lastSlash) : std::string();
    // The folder's listing answers for its names without asking the file system again.
    if (inFolder && folders) {
        const std::optional<std::string> dir = folders->ResolvedFolder(folder);
        if (!dir) {
            exists = false;
            return slashed;
        }
        std::optional<std::string> match = folders->Match(*dir, lastName);  // lists it the first time
        if (const std::optional<bool> listed = folders->HasEntry(*dir, lastName)) {
            exists = *listed || match.has_value();
            if (*listed) return *dir == folder ? slashed : Append(*dir, lastName);
            return match ? Append(*dir, *match) : slashed;
        }
        // A folder that can be searched but not listed: the name as written, if it is there.
        const std::string inDir = Append(*dir, lastName);
        exists = Exists(inDir);
        return exists ? inDir : slashed;
    }
    exists = Exists(slashed);
    if (exists) return slashed;
    if (inFolder) {
        if (folders ? folders->IsFolder(folder) : Exists(folder)) {
            std::optional<std::string> match =
                folders ? folders->Match(folder, lastName) : MatchInFolder(folder, lastName);
            if (!match) return slashed;
            exists = true;
            return Append(folder, *match);
        }
    }

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
        std::optional<std::string> match =
            folders ? folders->Match(resolved, component) : MatchInFolder(resolved, component);
        if (!match) return slashed;
        resolved = Append(resolved, *match);
    }
    exists = true;
    return resolved;
}

std::string_view ReadStatusText(ReadStatus status) {
    switch (status) {
        case ReadStatus::kOk:
            return "";
        case ReadStatus::kMissing:
            return "does not exist";
        case ReadStatus::kNotAFile:
            return "is not a regular file";
        case ReadStatus::kTooLarge:
            return "is too large";
        case ReadStatus::kUnreadable:
            return "cannot be read";
    }
    return "cannot be read";
}

namespace {

ReadStatus StatusOfErrno(int error) {
    return error == ENOENT || error == ENOTDIR ? ReadStatus::kMissing : ReadStatus::kUnreadable;
}

// Reads what is left of `fd` into `out`, at most `maxBytes` bytes, and closes it.
ReadStatus ReadAll(int fd, const struct stat& st, uint64_t maxBytes, std::string& out) {
    out.clear();
    const uint64_t claimed = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    // Reading stops one byte past the limit: that byte shows the file to be too large.
    const uint64_t stopAt = maxBytes == kNoSizeLimit ? kNoSizeLimit : maxBytes + 1;
    ReadStatus status = ReadStatus::kOk;
    if (claimed > maxBytes) status = ReadStatus::kTooLarge;
    try {
        std::size_t used = 0;
        if (status == ReadStatus::kOk)
            out.resize(static_cast<std::size_t>(std::min<uint64_t>(claimed > 0 ? claimed + 1 : 65536, stopAt)));
        while (status == ReadStatus::kOk) {
            if (used == out.size()) out.resize(static_cast<std::size_t>(std::min<uint64_t>(out.size() * 2, stopAt)));
            const ssize_t got = ::read(fd, out.data() + used, out.size() - used);
            if (got < 0) {
                if (errno == EINTR) continue;
                status = ReadStatus::kUnreadable;  // EAGAIN included: a regular file that would block
                break;
            }
            if (got == 0) break;
            used += static_cast<std::size_t>(got);
            if (used > maxBytes) status = ReadStatus::kTooLarge;
        }
        out.resize(used);
    } catch (const std::bad_alloc&) {
        status = ReadStatus::kTooLarge;
    }
    ::close(fd);
    if (status != ReadStatus::kOk) {
        out.clear();
        out.shrink_to_fit();
    }
    return status;
}

}  // namespace

int OpenRegularFile(std::string_view path, struct stat& st, ReadStatus* status, FolderListingCache* folders) {
    auto fail = [status](ReadStatus why) {
        if (status) *status = why;
        return -1;
    };
    const std::string resolved = ResolvePath(path, folders);
    if (resolved.empty()) return fail(ReadStatus::kMissing);
    // Looked at before opening as well, so that no device is even opened.
    if (::stat(resolved.c_str(), &st) != 0) return fail(StatusOfErrno(errno));
    if (!S_ISREG(st.st_mode)) return fail(ReadStatus::kNotAFile);
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(StatusOfErrno(errno));
    // What was opened may have been swapped for something else since the look above.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(ReadStatus::kNotAFile);
    }
    if (status) *status = ReadStatus::kOk;
    return fd;
}

ReadStatus ReadFileStatus(std::string_view path, std::string& out, uint64_t maxBytes, FolderListingCache* folders) {
    out.clear();
    struct stat st {};
    ReadStatus status = ReadStatus::kOk;
    const int fd = OpenRegularFile(path, st, &status, folders);
    if (fd < 0) return status;
    return ReadAll(fd, st, maxBytes, out);
}

bool StaysInFolder(std::string_view name) {
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return false;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        std::size_t end = name.find_first_of("/\\", pos);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(pos, end - pos) == "..") return false;
        pos = end + 1;
    }
    return true;
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

bool MakeFolders(std::string_view path, mode_t mode) {
    if (path.empty()) return false;
    const std::string whole(path);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t slash = whole.find('/', pos + 1);
        const std::string prefix = whole.substr(0, slash);
        if (!prefix.empty() && prefix != "/" && ::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        pos = slash;
    }
    struct stat st {};
    return ::stat(whole.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

bool FileContents::Open(std::string_view path, uint64_t maxBytes, FolderListingCache* folders) {
    if (mapped_) ::munmap(const_cast<char*>(mapped_), size_);
    mapped_ = nullptr;
    size_ = 0;
    copy_.clear();
    struct stat st {};
    const int fd = OpenRegularFile(path, st, nullptr, folders);
    if (fd < 0) return false;
    if (st.st_size > 0 && static_cast<uint64_t>(st.st_size) <= maxBytes) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            ::close(fd);
            mapped_ = static_cast<const char*>(p);
            size_ = static_cast<std::size_t>(st.st_size);
            return true;
        }
    }
    // Empty files (some report no size until read), files too large, and files that cannot be mapped.
    return ReadAll(fd, st, maxBytes, copy_) == ReadStatus::kOk;
}

std::string InFolder(std::string_view folder, std::string_view path) {
    if (folder.empty() || (!path.empty() && (path[0] == '/' || path[0] == '\\'))) return std::string(path);
    while (path.size() >= 2 && path[0] == '.' && (path[1] == '/' || path[1] == '\\')) path.remove_prefix(2);
    if (path.empty() || path == ".") return std::string(folder);
    return JoinPath(folder, path);
}

}  // namespace pelorus
