#pragma once
// Writing an export to disk under the output rules: nothing is written over a file the export
// read, over something that is not a regular file, or over a file of another kind; every file is
// replaced whole or not at all.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/gltfexport.h"
#include "platform/outputfile.h"

namespace pelorus {

// The files an export of `entries` read: `file` (the path given, when not empty) and every file
// each model's reading opened (RWXObject::FilesRead: its script, texture and mask images, also
// those that could not be used, with the archive that holds one found in a zip). No output may
// replace any of them.
std::vector<std::string> ExportInputs(std::string_view file, std::span<const ExportEntry> entries);

// What a side file of the text form beside `mainOutput` may replace: a name that ends as `name`
// does (".bin", ".jpg" or ".png"), and an existing file only when the glTF file that stands at
// `mainOutput` now (one this program wrote before) names it as a buffer or image, and, for an
// image, when its content is an image of its extension's kind (JPEG or PNG signature). So a
// previous export is replaced, and any other file of that name is left alone with a message.
OutputKind GltfSideFileKind(std::string_view mainOutput, std::string_view name);

struct SaveProblem {
    bool refused = false;  // an output rule refused a file (nothing was written); else writing failed
    std::string message;   // one line: "refusing to write ...", or "cannot write "F": why"
};

// Writes `exported` as `output` (a .glb or .gltf path, relative to the current folder; see
// OutputPath), with its side files in the same folder. First every file is checked with
// CheckOutputFile against `inputs` (the main file as a glTF file, the side files as
// GltfSideFileKind says); when any is refused nothing is written. Temporary files that killed
// exports left in the folder are removed. Then every file is written in full under a temporary
// name, and only when all were written are they renamed into place, the side files first and the
// main file last, each checked once more at that moment (a refusal then is a refusal, with the
// files renamed before it in place). So a failure while writing (a full disk) leaves the previous
// export as it was, and the main file never names a side file that was not written. Returns
// nullopt when all were written.
std::optional<SaveProblem> SaveGltf(std::string_view output, const GltfExport& exported,
                                    std::span<const std::string> inputs);

struct ExportResult {
    std::optional<SaveProblem> problem;  // nullopt when everything was written
    GltfCounts counts;                   // what was written
};

// The export of `entries`, read from `sourceFile`, built and saved as `output`: the form follows
// the output's extension, the side files its stem (GltfStem), the root node is named after the
// source's file name ("scene" without one), and no file of ExportInputs(sourceFile, entries) is
// replaced. A model too large for glTF is a problem that is not a refusal.
ExportResult ExportToFile(std::string_view output, std::span<const ExportEntry> entries, std::string_view sourceFile);

}  // namespace pelorus
