#pragma once
// Saving a file so that it is either wholly replaced or left as it was.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pelorus {

class ErrorLog;

// A last look at the target just before the rename: a reason why it must not be replaced now
// (the name was taken by a symbolic link, or by a file the run reads), or nullopt to go ahead.
using AtomicLastCheck = std::function<std::optional<std::string>()>;

// Writes `content` to `path` by way of a temporary file in the same folder: the data is written
// and flushed to disk, then the temporary file is renamed over `path`. A crash or a full disk
// never leaves a half-written `path`. Nothing is ever written through a symbolic link: a link at
// `path` that points to a regular file is itself replaced by the new file (which takes the
// permission bits of the file it pointed to; that file is left as it was), and `*replacedLink`
// (when not null) is set to what the link said. An existing regular file keeps its permission
// bits, and is replaced only when the user may write it (as a direct write would be refused,
// "Permission denied"). Anything else at `path` (a folder, FIFO, socket, device, or a link to
// anything but a regular file) is never replaced. These rules are applied before the temporary
// file is made and again at the moment of renaming, when `lastCheck` (when given) is asked too;
// its reason stops the write, and `*refused` (when not null) is set.
// The temporary file is hidden, in the same folder, and named after the target (its first 200
// bytes), the writing process and an attempt number: ".<name>.<pid>.<n>.tmp".
// Returns false when anything fails: `path` is then untouched, the temporary file is removed and
// `*error` (when `error` is not null) says why in a few words, without the path: "No space left
// on device", "it is not a regular file", or the last check's reason. `path` is used as given
// (the caller resolves letter case); an empty path fails.
struct AtomicWriteOptions {
    AtomicLastCheck lastCheck;
    std::string* replacedLink = nullptr;
    bool* refused = nullptr;
    // False skips flushing the file and its folder to disk: the file is still replaced whole, but
    // after a crash of the system it may be empty or older. For copies that can be had again.
    bool durable = true;
};
bool WriteFileAtomically(std::string_view path, std::string_view content, std::string* error,
                         const AtomicWriteOptions& options = {});

// The same written piece by piece, for content that comes in parts (a member read out of an
// archive) or for several files replaced together: Begin makes the temporary file, Write appends
// to it, Finish flushes it to disk, Commit renames it over the target as WriteFileAtomically
// does. Destroying the writer before a successful Commit (or after a failed Begin, Write or
// Finish) removes the temporary file and leaves the target untouched. Errors are the few words
// of WriteFileAtomically.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False, with `*error` set, when `path` is not a file that may be replaced or no temporary
    // file can be made beside it.
    bool Begin(std::string_view path, std::string* error);
    // False when the piece cannot be written; Finish and Commit then fail with the reason.
    bool Write(std::string_view piece);
    // Whether Finish flushes the file and Commit its folder to disk (see AtomicWriteOptions);
    // true unless set before Finish.
    void SetDurable(bool durable) { durable_ = durable; }
    // Flushes what was written to disk and closes the temporary file; the target is not touched.
    // False, with `*error` set, when that fails (a full disk shows here at the latest).
    bool Finish(std::string* error);
    // Finish when not done yet, the rules of WriteFileAtomically and `lastCheck` once more, then
    // the rename. False, with `*error` set and the target untouched, when anything failed;
    // Refused() then tells whether `lastCheck` stopped it.
    bool Commit(std::string* error, const AtomicLastCheck& lastCheck = {});

    // After a successful Commit: what the symbolic link that stood at the target said, when one
    // was replaced.
    const std::optional<std::string>& ReplacedLink() const { return replacedLink_; }
    bool Refused() const { return refused_; }
    // The path given to Begin.
    const std::string& Target() const { return target_; }

private:
    void Abandon();
    std::string target_;
    std::string folder_;
    bool durable_ = true;
    std::string temp_;
    int fd_ = -1;
    bool finished_ = false;
    int writeError_ = 0;  // errno of a failed Write
    bool refused_ = false;
    std::optional<std::string> replacedLink_;
};

// The error-log line that says a settings file that was a symbolic link became a file of its
// own: `"PATH" was a symbolic link to "TARGET"; it is now a file of its own and "TARGET" is left as
// it was.`
std::string ReplacedLinkLine(std::string_view path, std::string_view linkTarget);

// Settings files (the world list and world files, the recent files, the texture folders, the
// window's settings) are read through symbolic links but written only as files of their own in
// their own folder. SaveSettingsFile is WriteFileAtomically, and when it replaced a link, one
// ReplacedLinkLine in `log` (when not null); since the file is then no link any more, that is
// said once.
bool SaveSettingsFile(std::string_view path, std::string_view content, std::string* error, ErrorLog* log);
// For settings that a library writes itself (following links): when `path` is a symbolic link to
// a regular file, the link is replaced by a file of its own holding what that file holds now
// (at most `maxBytes`), and `log` says so as SaveSettingsFile does. False only when there was
// such a link and it could not be replaced (the library must not write then).
bool DetachSettingsLink(std::string_view path, uint64_t maxBytes, ErrorLog* log);

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
