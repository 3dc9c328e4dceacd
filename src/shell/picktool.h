#pragma once
// Where a picked face comes from: the script line that made it, the clump, the material, texture
// and tag it is drawn with and the object of the scene that shows it; as JSON for `pelorus --pick`
// and as labelled rows for the window's Face page.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/rwmaterial.h"
#include "scene/objectmap.h"
#include "scene/pick.h"

namespace pelorus {

struct FaceReport {
    std::string file;   // the file the face's model was read from (a zipped model's archive)
    uint32_t line = 0;  // the line of the command that made the face; 0 when none did
    std::vector<int32_t> clumpPath;
    // The prototype instance that copied the face in: the prototype's name and the instancing
    // line; empty name when the face was not instanced.
    std::string prototype;
    uint32_t instanceLine = 0;
    int32_t batch = 0, triangle = 0;
    Vec3 point;
    RWXMaterial material;
    int32_t tag = 0;
    // The texture as named and the files read for it ("" when none); `textureMissing` when the
    // material asked for one that could not be used.
    std::string texture, mask, textureFile, maskFile;
    bool textureMissing = false;
    // The scene's object: its index, its name as its file wrote it, the line of the object map or
    // dump that placed it (0 for a script shown alone), description and action.
    std::size_t object = 0;
    std::string objectName;
    uint32_t objectLine = 0;
    std::string description, action;
    // The commands of the action's create section as written: carried out, and not.
    std::vector<std::string> applied, ignored;
};

// What `hit` (a face of `scene`) says.
FaceReport FaceReportOf(const TObjectMap& scene, const FaceHit& hit);

// The report as one JSON object on one line:
//   {"file": F, "line": N|null, "clump": [indices], "prototype": {"name": P, "line": N}|null,
//    "batch": B, "triangle": T, "point": [x, y, z], "material": {...}, "tag": N,
//    "texture": {"name", "mask", "file", "mask_file"}|null, "texture_missing": bool,
//    "object": {"index", "name", "line": N|null, "description", "action"}}
std::string FaceJson(const FaceReport& report);

// The report as label and value rows, in the order the Face page shows them.
std::vector<std::pair<std::string, std::string>> FaceRows(const FaceReport& report);

// `pelorus --pick X,Y [view options] FILE` (`args` beginning with "--pick"; see ParsePickArgs):
// reads FILE as --screenshot would, casts the ray through the pixel of the view --screenshot would
// draw with the same options, and prints FaceJson of the face it meets first, or "null". FILE's
// error lines go to `err` ("FILE: LINE"). Exit status 0 when something was printed, 1 when FILE or
// the world file cannot be read, 2 for arguments that do not read.
int RunPick(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pelorus
