#include "net/diskcache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/atomicfile.h"
#include "platform/paths.h"

namespace pelorus {
namespace {

constexpr std::string_view kRecordHeader = "pelorus cache record 1";
constexpr std::string_view kFilesFolder = "files";
constexpr std::string_view kChecksFolder = "checks";
constexpr mode_t kFolderMode = 0755;

bool Fail(std::string* error, std::string what) {
    if (error) *error = std::move(what);
    return false;
}

bool Clean(std::string_view value) {
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

int64_t ModifiedNs(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::string FormatCacheRecord(const CacheRecord& record) {
    auto value = [](const std::string& text) { return Clean(text) ? text : std::string(); };
    std::string out(kRecordHeader);
    out += "\nchecked " + std::to_string(record.checkedAt);
    out += "\nsize " + std::to_string(record.size);
    out += "\nmodified " + std::to_string(record.modifiedNs);
    out += "\ninode " + std::to_string(record.inode);
    out += "\netag " + value(record.validators.etag);
    out += "\nlast-modified " + value(record.validators.lastModified);
    out += "\n";
    return out;
}

std::optional<CacheRecord> ParseCacheRecord(std::string_view text) {
    // Exactly the lines FormatCacheRecord writes, in its order.
    static constexpr std::string_view kKeys[] = {"checked", "size", "modified", "inode", "etag", "last-modified"};
    if (!text.starts_with(kRecordHeader) || !text.ends_with('\n')) return std::nullopt;
    text.remove_prefix(kRecordHeader.size());
    if (!text.starts_with('\n')) return std::nullopt;
    text.remove_prefix(1);
    CacheRecord out;
    for (const std::string_view key : kKeys) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ') return std::nullopt;
        line.remove_prefix(key.size() + 1);
        bool ok = true;
        if (key == "checked") ok = ParseNumber(line, out.checkedAt);
        if (key == "size") ok = ParseNumber(line, out.size);
        if (key == "modified") ok = ParseNumber(line, out.modifiedNs);
        if (key == "inode") ok = ParseNumber(line, out.inode);
        if (key == "etag") out.validators.etag = std::string(line);
        if (key == "last-modified") out.validators.lastModified = std::string(line);
        if (!ok || !Clean(line)) return std::nullopt;
    }
    if (!text.empty()) return std::nullopt;
    return out;
}

std::string DiskCache::FolderOf(const WebObjectPath& path) const {
    return JoinPath(root_, path.cacheFolder);
}

std::string DiskCache::FilesOf(const WebObjectPath& path) const {
    return JoinPath(FolderOf(path), kFilesFolder);
}

std::string DiskCache::CopyOf(const WebObjectPath& path, std::string_view name) const {
    return JoinPath(FilesOf(path), name);
}

std::string DiskCache::RecordOf(const WebObjectPath& path, std::string_view name) const {
    return JoinPath(JoinPath(FolderOf(path), kChecksFolder), name);
}

std::optional<CachedCopy> DiskCache::Find(const WebObjectPath& path, std::string_view name) const {
    if (root_.empty()) return std::nullopt;
    CachedCopy out;
    out.file = CopyOf(path, name);
    struct stat st {};
    if (::stat(out.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string text;
    // Read exactly as named: a record found by letter-case matching would belong to another copy.
    if (::access(RecordOf(path, name).c_str(), F_OK) == 0 &&
        ReadFileStatus(RecordOf(path, name), text, kSmallFileLimit) == ReadStatus::kOk) {
        const std::optional<CacheRecord> record = ParseCacheRecord(text);
        if (record && record->size == static_cast<uint64_t>(st.st_size) && record->modifiedNs == ModifiedNs(st) &&
            record->inode == static_cast<uint64_t>(st.st_ino)) {
            out.validators = record->validators;
            out.checkedAt = record->checkedAt;
            out.described = true;
        }
    }
    return out;
}

bool DiskCache::Prepare(const WebObjectPath& path, std::string_view name, std::string* error) const {
    if (root_.empty()) return Fail(error, "No cache folder is known");
    const std::string folder = FolderOf(path);
    const bool existed = IsDirectory(folder);
    for (const std::string& file : {CopyOf(path, name), RecordOf(path, name)}) {
        const std::string parent(ParentPart(file));
        if (!MakeFolders(parent, kFolderMode))
            return Fail(error, "Cannot make the cache folder \"" + parent + "\": " + std::strerror(errno));
    }
    // Only a note for people: a failure to write it changes nothing.
    if (!existed) WriteFileAtomically(JoinPath(folder, "address.txt"), path.address + "\n", nullptr);
    return true;
}

bool DiskCache::Record(const WebObjectPath& path, std::string_view name, const Validators& validators,
                       int64_t checkedAt, std::string* error) const {
    if (root_.empty()) return Fail(error, "No cache folder is known");
    const std::string copy = CopyOf(path, name);
    struct stat st {};
    if (::stat(copy.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(error, "The cached copy \"" + copy + "\" is gone");
    CacheRecord record;
    record.validators = validators;
    record.checkedAt = checkedAt;
    record.size = static_cast<uint64_t>(st.st_size);
    record.modifiedNs = ModifiedNs(st);
    record.inode = static_cast<uint64_t>(st.st_ino);
    const std::string file = RecordOf(path, name);
    if (!MakeFolders(std::string(ParentPart(file)), kFolderMode))
        return Fail(error, "Cannot make the cache folder of \"" + file + "\": " + std::strerror(errno));
    // Copies and records are replaced whole; flushing them to disk as well would cost more than
    // asking again for the few that a crash of the system could leave empty (their records then
    // no longer describe them).
    AtomicWriteOptions options;
    options.durable = false;
    return WriteFileAtomically(file, FormatCacheRecord(record), error, options);
}

void DiskCache::Forget(const WebObjectPath& path, std::string_view name) const {
    if (root_.empty()) return;
    ::unlink(RecordOf(path, name).c_str());
    ::unlink(CopyOf(path, name).c_str());
}

bool DiskCache::Empty(const WebObjectPath& path, std::string* error) const {
    if (root_.empty()) return Fail(error, "No cache folder is known");
    const std::string folder = FolderOf(path);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;
        return Fail(error, "Cannot empty the cache of " + path.address + ": " + std::strerror(errno));
    }
    std::string doomed;
    for (int attempt = 0;; ++attempt) {
        doomed = JoinPath(
            root_, ".emptying-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + "-" + path.cacheFolder);
        if (::rename(folder.c_str(), doomed.c_str()) == 0) break;
        if (errno == ENOENT) return true;  // another process emptied it first
        if ((errno != EEXIST && errno != ENOTEMPTY) || attempt == 100)
            return Fail(error, "Cannot empty the cache of " + path.address + ": " + std::strerror(errno));
    }
    std::error_code ignored;
    std::filesystem::remove_all(doomed, ignored);
    return true;
}

}  // namespace pelorus
