#pragma once
// Saving a file so that it is either wholly replaced or left as it was.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pelorus {

// Writes `content` to `path` by way of a temporary file in the same folder: the data is written
// and flushed to disk, then the temporary file is renamed over `path`. A crash or a full disk
// never leaves a half-written `path`. An existing file keeps its permission bits; when `path` is
// a symbolic link, the file it points to is replaced. Only a regular file is ever replaced:
// when `path` names anything else (a folder, FIFO, socket, device or a symbolic link to nothing),
// before the temporary file is made or at the moment of renaming, nothing is written.
// The temporary file is hidden, in the same folder, and named after the target (its first 200
// bytes), the writing process and an attempt number: ".<name>.<pid>.<n>.tmp".
// Returns false when anything fails: `path` is then untouched, the temporary file is removed and
// `*error` (when `error` is not null) says what failed and why. `path` is used as given (the
// caller resolves letter case); an empty path fails.
bool WriteFileAtomically(std::string_view path, std::string_view content, std::string* error);

// The same written piece by piece, for content that comes in parts (a member read out of an
// archive): Begin makes the temporary file, Write appends to it, Commit flushes it and renames it
// over the target as WriteFileAtomically does. Destroying the writer before a successful Commit
// (or after a failed Begin or Write) removes the temporary file and leaves the target untouched.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False, with `*error` set, when `path` is not a file that may be replaced or no temporary
    // file can be made beside it.
    bool Begin(std::string_view path, std::string* error);
    // False when the piece cannot be written; Commit then fails with the reason.
    bool Write(std::string_view piece);
    // False, with `*error` set and the target untouched, when anything failed.
    bool Commit(std::string* error);

private:
    void Abandon();
    std::string target_;
    std::string folder_;
    std::string temp_;
    int fd_ = -1;
    int writeError_ = 0;  // errno of a failed Write
};

// Temporary files name their target by at most this many bytes of its name.
inline constexpr std::size_t kTemporaryTargetLimit = 200;

// What the name of a temporary file of WriteFileAtomically tells: the name of the file it was to
// replace (cut to kTemporaryTargetLimit bytes when that was longer) and the process that wrote
// it. nullopt for every other name.
struct TemporaryName {
    std::string target;
    long pid = 0;
};
std::optional<TemporaryName> ParseTemporaryName(std::string_view fileName);

// Removes the temporary files that saves into `folder` left when their process was killed: the
// regular files whose name ParseTemporaryName reads, whose process is no longer running, and
// whose target `isOurs` accepts. Temporaries of running processes (a save in progress) and
// everything else stay. Returns how many were removed; a folder that cannot be listed gives 0.
int RemoveLeftoverTemporaries(std::string_view folder, const std::function<bool(std::string_view target)>& isOurs);

}  // namespace pelorus
