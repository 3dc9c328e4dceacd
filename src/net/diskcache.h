#pragma once
// The disk cache of object paths on web servers, shared by every running viewer and tool of the
// user. Under its root (the caller passes "$XDG_CACHE_HOME/pelorus") each object path has one
// folder, named by WebObjectPath::cacheFolder:
//   <root>/<cacheFolder>/address.txt         the object path's address, for people looking
//   <root>/<cacheFolder>/files/<name>        the copies, laid out as on the server ("models/x.zip")
//   <root>/<cacheFolder>/checks/<name>       what the server said of each copy, and when
// so that the files folder reads like a local object path. Copies and their records are each
// replaced whole (written beside and renamed), so a reader never sees half a file, and two
// processes storing the same name at once leave one whole copy. A record that does not describe
// the copy beside it (the copy was replaced after the record was written, by another process or
// before a crash) is not used: the copy is then asked for again without validators.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/webaddress.h"

namespace pelorus {

// What a server said of a file, to be sent back when asking whether it changed.
struct Validators {
    std::string etag;          // the ETag header as sent, "" when none
    std::string lastModified;  // the Last-Modified header as sent, "" when none
};

// A cached copy.
struct CachedCopy {
    std::string file;  // the copy's path
    Validators validators;
    // When the server last answered for this copy (seconds since 1970); 0 with `described` false.
    int64_t checkedAt = 0;
    // False when there is no record of the copy, or the record describes another copy.
    bool described = false;
};

class DiskCache {
public:
    // An empty `root` gives a cache that keeps nothing: Find finds nothing, Prepare and Empty fail.
    explicit DiskCache(std::string root) : root_(std::move(root)) {}

    const std::string& Root() const { return root_; }
    // "<root>/<cacheFolder>" and "<root>/<cacheFolder>/files".
    std::string FolderOf(const WebObjectPath& path) const;
    std::string FilesOf(const WebObjectPath& path) const;
    // Where the copy of `name` (a result of SafeObjectName) is kept, whether or not it exists.
    std::string CopyOf(const WebObjectPath& path, std::string_view name) const;

    // The copy of `name`, when a regular file is kept for it (nullopt otherwise).
    std::optional<CachedCopy> Find(const WebObjectPath& path, std::string_view name) const;

    // Makes the folders that the copy of `name` goes into (and writes address.txt for a new
    // object path). False with `*error` set when they cannot be made.
    bool Prepare(const WebObjectPath& path, std::string_view name, std::string* error) const;

    // Records that the server answered `validators` at `checkedAt` for the copy of `name` as it
    // is now. False with `*error` set when there is no copy or the record cannot be written.
    bool Record(const WebObjectPath& path, std::string_view name, const Validators& validators, int64_t checkedAt,
                std::string* error) const;

    // Removes the copy of `name` and its record (the server no longer has it).
    void Forget(const WebObjectPath& path, std::string_view name) const;

    // Removes the object path's folder with everything in it. The folder is first renamed out of
    // the way, so no other process finds it half emptied. True when it is gone (also when there
    // was none); false with `*error` set otherwise.
    bool Empty(const WebObjectPath& path, std::string* error) const;

private:
    std::string RecordOf(const WebObjectPath& path, std::string_view name) const;
    std::string root_;
};

// The text of a record and back, exposed for tests. A record describes a copy by its size,
// modification time (nanoseconds) and inode. Parsing is strict: nullopt for anything but what
// FormatCacheRecord writes.
struct CacheRecord {
    Validators validators;
    int64_t checkedAt = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    uint64_t inode = 0;
};
std::string FormatCacheRecord(const CacheRecord& record);
std::optional<CacheRecord> ParseCacheRecord(std::string_view text);

}  // namespace pelorus
