#pragma once
// Saving a file so that it is either wholly replaced or left as it was.

#include <string>
#include <string_view>

namespace pelorus {

// Writes `content` to `path` by way of a temporary file in the same folder: the data is written
// and flushed to disk, then the temporary file is renamed over `path`. A crash or a full disk
// never leaves a half-written `path`. An existing file keeps its permission bits; when `path` is
// a symbolic link, the file it points to is replaced.
// Returns false when anything fails: `path` is then untouched, the temporary file is removed and
// `*error` (when `error` is not null) says what failed and why. `path` is used as given (the
// caller resolves letter case); an empty path fails.
bool WriteFileAtomically(std::string_view path, std::string_view content, std::string* error);

}  // namespace pelorus
