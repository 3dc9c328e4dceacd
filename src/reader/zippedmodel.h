#pragma once
// Models kept in zip archives: which member is the model's script, and what is said when an
// archive cannot give one.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ziparchive.h"

namespace pelorus {

// A script read out of an archive is refused beyond this many bytes, whatever the archive claims.
inline constexpr uint64_t kMaxZippedScriptBytes = uint64_t{256} << 20;

// True for a name whose extension is ".zip" in any letter case: it is read as a zipped model.
bool IsZipName(std::string_view path);

// The member of `archive` that holds the model `modelName` ("tree" for "tree.zip"): the first
// whose file name, in whatever folder of the archive, is "<modelName>.rwx" in any letter case;
// else, of those whose names end in ".rwx" in any case, the first in alphabetical order of their
// whole names (letter case aside; names that differ only in case by their bytes), so that the
// order the archive keeps its members in does not matter; none when no member ends so.
std::optional<std::size_t> FindModelScript(const ZipArchive& archive, std::string_view modelName);

// The one error line for an archive whose model script cannot be had, naming the archive as
// `archive` (quoted, at most kMaxQuotedChars of it):
//   CannotOpen     Couldn't open archive "A".
//   NotAZip        Archive "A" is not a zip archive or is damaged.
//   NotFound       Archive "A" holds no .rwx model script.
//   Corrupt        Archive "A" holds a damaged model script.
//   TooLarge       Archive "A" holds a model script larger than 256 MiB (`maxBytes`).
//   NeedsPassword  Archive "A" holds an encrypted model script.
//                  (with `passwordGiven`: ... script that the password given does not open.)
//   Unsupported    Archive "A" holds a model script compressed by a method that is not supported.
// Ok gives "".
std::string ArchiveFailureLine(ZipStatus status, std::string_view archive, uint64_t maxBytes = kMaxZippedScriptBytes,
                               bool passwordGiven = false);

}  // namespace pelorus
