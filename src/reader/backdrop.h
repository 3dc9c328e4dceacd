#pragma once
// Finding and decoding the backdrop image a world names.

#include <optional>
#include <string>
#include <string_view>

#include "platform/errorlog.h"
#include "platform/rgbaimage.h"
#include "reader/rwxobject.h"

namespace pelorus {

// The file name a backdrop is looked for under: ".jpg" appended when the name has no "." after
// its first character.
std::string BackdropFileName(std::string_view name);

// Finds the backdrop in the folders of `options` (TexturesPath.txt of its program folder, then
// its extra folders; relative ones from its base folder) and decodes it by its content (JPEG,
// PNG or BMP, see DecodeImage), whatever its extension. In each folder BackdropFileName is tried,
// then, for a name without extension, the name with ".png". With F the name it was looked for
// under (BackdropFileName) or found under, the error lines are:
// - no folder holds it: `Couldn't open texture backdrop "F".`
// - not an image, or damaged: `Couldn't read texture backdrop "F".`
// - an unsupported variant: `Couldn't read texture backdrop "F" (REASON).`, REASON as DecodeImage
//   gives it; too large: `Couldn't read texture backdrop "F": wider or taller than 16384 pixels.`
// - a name that leads out of the folders (StaysInFolder), without looking anywhere:
//   `Couldn't open texture backdrop "F" (the name leads out of the texture folders).`
// Nothing is returned then. The image keeps its alpha; a backdrop is drawn opaque. `*fileRead`
// (when not null) is set to the file read, when one was (also when it could not be decoded).
std::optional<RgbaImage> ReadBackdropImage(std::string_view name, ErrorLog& log, const ReadOptions& options,
                                           std::string* fileRead = nullptr);

}  // namespace pelorus
