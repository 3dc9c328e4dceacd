#pragma once
// Paths as scripts, object maps and the command line give them: either separator, and file
// names written in any letter case.

#include <string>
#include <string_view>

namespace pelorus {

// `path` with every backslash turned into a slash.
std::string ToSlashes(std::string_view path);

// The path of an existing file or folder that `path` names. `path` may use `\` or `/`. When it
// does not exist as written, each component that does not exist is matched against the entries
// of its folder without regard to letter case (the alphabetically first match wins when several
// differ only in case). When no match is found the slash form of `path` is returned unchanged,
// so opening it fails in the usual way.
std::string ResolvePath(std::string_view path);

// Reads the whole file that `path` names (resolved as above) into `out`. False when it cannot be
// opened or read, or names a folder; `out` is then empty.
bool ReadWholeFile(std::string_view path, std::string& out);

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

// The whole contents of a file: mapped into memory when it is a regular file, read otherwise.
class FileContents {
public:
    FileContents() = default;
    ~FileContents();
    FileContents(const FileContents&) = delete;
    FileContents& operator=(const FileContents&) = delete;

    // Opens the file `path` names (resolved as ResolvePath does). False when it cannot be opened or
    // read, or names a folder.
    bool Open(std::string_view path);
    std::string_view Text() const { return mapped_ ? std::string_view(mapped_, size_) : std::string_view(copy_); }

private:
    const char* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string copy_;
};

}  // namespace pelorus
