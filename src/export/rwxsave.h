#pragma once
// Writing scripts, zipped models and object-path folders to disk under the output rules: nothing
// is written over a file the export read, over something that is not a regular file, or over a
// file of another kind; every file is replaced whole or not at all.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/gltfsave.h"
#include "export/rwxwrite.h"
#include "platform/outputfile.h"

namespace pelorus {

// Scripts: "*.rwx", content that is text (no NUL or control bytes other than white space).
OutputKind ScriptOutput();
// Zipped models: "*.zip", content that starts like a zip archive.
OutputKind ZippedModelOutput();

struct ScriptResult {
    std::optional<SaveProblem> problem;  // nullopt when everything was written
    ScriptCounts counts;
    std::vector<std::string> notes;  // the export's notes (see BuildScript)
};

// Writes the script of `entries` (read from `sourceFile`) as `output`, with its texture files in
// the same folder. A texture file that exists already is left as it is when it holds the same
// bytes; it is replaced when the script being replaced names it and it is of its kind (an earlier
// export); otherwise, and when it is an input or no regular file, the texture takes another name.
// The texture files are written first, the script last.
ScriptResult SaveScript(std::string_view output, std::span<const ExportEntry> entries, std::string_view sourceFile);

// Writes a zipped model `output` ("NAME.zip") holding "NAME.rwx" and its texture files (masks as
// NAMEm.bmp itself), ready for a world's object path.
ScriptResult SaveZippedModel(std::string_view output, std::span<const ExportEntry> entries,
                             std::string_view sourceFile);

// Writes the model as a world server lays it out: `folder`/models/`name`.zip holding `name`.rwx,
// and its texture files in `folder`/textures (folders made as needed). A texture file there that
// holds other bytes is never replaced: the texture takes another name. `name` is used as given
// (see ScriptName).
ScriptResult SaveToObjectPath(std::string_view folder, std::string_view name, std::span<const ExportEntry> entries,
                              std::string_view sourceFile);

}  // namespace pelorus
