#pragma once
// Paths as scripts, object maps and the command line give them: either separator, and file
// names written in any letter case.

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelorus {

// `path` with every backslash turned into a slash.
std::string ToSlashes(std::string_view path);

// Listings of folders kept while one scene loads, so that each folder is listed at most once
// however many names are looked up in it. A listing is never refreshed: entries made or removed
// after it was taken are not seen, so keep one only for the duration of one load. Not for use
// from several threads at once.
class FolderListingCache {
public:
    // The entry of `folder` ("" is the current folder) equal to `name` without regard to letter
    // case; when several are, the first in byte order. nullopt when there is none, or when the
    // folder cannot be listed (which is remembered too).
    std::optional<std::string> Match(const std::string& folder, std::string_view name);
    // How many folders have been listed so far.
    std::size_t ListingCount() const { return listings_; }
    // True when `folder` ("" is the current folder) exists as written and is a folder; asked of
    // the file system once per folder.
    bool IsFolder(const std::string& folder);
    // Whether the listing of `folder` holds an entry named exactly `name`; nullopt when the folder
    // has not been listed yet or could not be listed.
    std::optional<bool> HasEntry(const std::string& folder, std::string_view name) const;
    // The existing folder that `folder` names, as ResolvePath finds it (matching components without
    // regard to case); nullopt when there is none. Found once per spelling.
    std::optional<std::string> ResolvedFolder(const std::string& folder);

private:
    struct Listing {
        bool listed = false;  // the folder could be read
        std::vector<std::string> names;
        std::unordered_map<std::string, std::size_t> byUpperCase;  // upper-cased name -> first such entry
    };
    std::unordered_map<std::string, Listing> folders_;
    std::unordered_map<std::string, bool> isFolder_;
    std::unordered_map<std::string, std::optional<std::string>> resolvedFolders_;
    std::size_t listings_ = 0;
};

// The path of an existing file or folder that `path` names. `path` may use `\` or `/`. When it
// does not exist as written, each component that does not exist is matched against the entries
// of its folder without regard to letter case (the first in byte order wins when several differ
// only in case). When no match is found the slash form of `path` is returned unchanged, so
// opening it fails in the usual way. With `folders`, folder listings are taken from and kept in
// it, and a name is looked for in the listing of its folder (found once per spelling of the
// folder), so that many names in few folders cost few looks at the file system; without, every
// lookup asks the file system afresh. `found`, when given, tells whether the path returned was found to exist
// (by a look at it, or in its folder's listing).
std::string ResolvePath(std::string_view path, FolderListingCache* folders = nullptr, bool* found = nullptr);

// Size limits for files read whole. Scripts and object maps have none (they may be huge and are
// mapped into memory); images are capped as zipped ones are; the small text files of the
// program (world files, Worlds.txt, recent files, TexturesPath.txt) at 1 MiB.
inline constexpr uint64_t kNoSizeLimit = UINT64_MAX;
inline constexpr uint64_t kImageFileLimit = uint64_t{256} << 20;  // textures, masks, backdrops
inline constexpr uint64_t kSmallFileLimit = uint64_t{1} << 20;

// Why a file could not be read.
enum class ReadStatus {
    kOk,
    kMissing,     // nothing of that name (or a path through something that is no folder)
    kNotAFile,    // a folder, FIFO, socket or device
    kTooLarge,    // more bytes than the limit
    kUnreadable,  // it exists but opening or reading it failed
};
// A few words for `status`, such as "is not a regular file"; "" for kOk.
std::string_view ReadStatusText(ReadStatus status);

// Opens the file `path` names (resolved as above) for reading, only when it is a regular file
// (a symbolic link to one is fine), and never waits: the file is opened non-blocking and checked
// after opening, so a FIFO, device, socket or folder is refused without being read. Returns the
// descriptor (the caller closes it) with `st` filled in, or -1 with `*status` saying why.
int OpenRegularFile(std::string_view path, struct stat& st, ReadStatus* status = nullptr,
                    FolderListingCache* folders = nullptr);

// Reads the whole regular file that `path` names (resolved as above) into `out`, refusing what
// OpenRegularFile refuses and files of more than `maxBytes` bytes (also when the file grows while
// it is read). Anything but kOk leaves `out` empty; a refused special file fails the same way as
// a missing one for callers that only test success.
ReadStatus ReadFileStatus(std::string_view path, std::string& out, uint64_t maxBytes = kNoSizeLimit,
                          FolderListingCache* folders = nullptr);
inline bool ReadWholeFile(std::string_view path, std::string& out, uint64_t maxBytes = kNoSizeLimit,
                          FolderListingCache* folders = nullptr) {
    return ReadFileStatus(path, out, maxBytes, folders) == ReadStatus::kOk;
}

// True when `name`, taken from a folder, names something inside that folder: it is not absolute
// (no leading `/` or `\`) and has no ".." component (either separator). Sub-folders and "."
// components are fine; an empty name is too (it names nothing outside).
bool StaysInFolder(std::string_view name);

// `dir`, a slash unless `dir` already ends with a slash or backslash, then `name`. An empty
// `dir` gives "/" followed by `name`.
std::string JoinPath(std::string_view dir, std::string_view name);

// `path` as seen from `folder`: `path` itself when it is absolute (begins with `/` or `\`) or
// `folder` is empty, otherwise `folder` joined with `path` as JoinPath does, leading "./"
// dropped ("." and "" give `folder`).
std::string InFolder(std::string_view folder, std::string_view path);

// The folder part of `path` (up to its last separator, without it; "" when it has none, "/" for
// a file in the root) and the file-name part after it.
std::string_view ParentPart(std::string_view path);
std::string_view FileNamePart(std::string_view path);

// The folder of the running executable, without a trailing separator; "." when unknown.
std::string ProgramDirectory();

// True when `path` (resolved as above) names an existing folder.
bool IsDirectory(std::string_view path);

// Makes the folder `path` (slash form, as given: no letter-case matching) and the folders above
// it that are missing, each with `mode` (less the umask). True when `path` is a folder afterwards
// (also when it was one already); false for an empty path.
bool MakeFolders(std::string_view path, mode_t mode);

// The current directory ("" when it cannot be read), and changing it (false on failure).
std::string CurrentDirectory();
bool SetCurrentDirectory(std::string_view path);

// Makes `path` absolute against the current directory (slash form, not resolved further).
std::string AbsolutePath(std::string_view path);

// Changes the current directory for the lifetime of the object.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(std::string_view path) : previous_(CurrentDirectory()) {
        changed_ = SetCurrentDirectory(path);
    }
    ~ScopedCurrentDirectory() {
        if (changed_) SetCurrentDirectory(previous_);
    }
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;
    bool Changed() const { return changed_; }

private:
    std::string previous_;
    bool changed_ = false;
};

// The whole contents of a regular file, mapped into memory (read when it cannot be mapped).
class FileContents {
public:
    FileContents() = default;
    ~FileContents();
    FileContents(const FileContents&) = delete;
    FileContents& operator=(const FileContents&) = delete;

    // Opens the file `path` names as ReadFileStatus does, with the same refusals. False when it
    // cannot be opened or read, is no regular file, or has more than `maxBytes` bytes.
    bool Open(std::string_view path, uint64_t maxBytes = kNoSizeLimit, FolderListingCache* folders = nullptr);
    std::string_view Text() const { return mapped_ ? std::string_view(mapped_, size_) : std::string_view(copy_); }

private:
    const char* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string copy_;
};

}  // namespace pelorus
