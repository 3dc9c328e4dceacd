#pragma once
// Finding and decoding the backdrop image a world names.

#include <optional>
#include <string>
#include <string_view>

#include "platform/errorlog.h"
#include "platform/jpegimage.h"
#include "reader/rwxobject.h"

namespace pelorus {

// The file name a backdrop is looked for under: ".jpg" appended when the name has no "." after
// its first character.
std::string BackdropFileName(std::string_view name);

// Finds the backdrop in the folders of `options` (TexturesPath.txt of its program folder, then
// its extra folders; relative ones from its base folder) and decodes it. Writes "Couldn't open
// texture backdrop "<file>"." to `log` when no folder holds it and "Couldn't read texture
// backdrop "<file>"." when it cannot be decoded; nothing is returned then.
std::optional<RgbImage> ReadBackdropImage(std::string_view name, ErrorLog& log, const ReadOptions& options);

}  // namespace pelorus
