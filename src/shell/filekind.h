#pragma once
// What a file chosen to be shown is: a model script, a zipped model, an object map, or something
// the viewer cannot show (an image dropped by mistake, a program, any other binary file), which
// is refused with a message instead of being read as an object map.

#include <string>
#include <string_view>

namespace pelorus {

enum class ShownFileKind {
    Script,      // read as one script
    Imported,    // a glTF or OBJ model, converted as it is read
    Archive,     // a zip archive holding a script: its script is extracted and shown
    ObjectMap,   // read as an object map
    ObjectDump,  // read as an object dump, its models found through the object path
    Refused,     // not shown
};

struct ShownFileVerdict {
    ShownFileKind kind = ShownFileKind::ObjectMap;
    // For Refused: what the file is, to follow its name: "is a JPEG image", "is not a text file",
    // "is a zip archive without a model script (.rwx)" ...
    std::string reason;
};

// Only this much of a file's beginning is looked at.
inline constexpr std::size_t kShownFileProbeBytes = 64 * 1024;

// What `path` is, by its name and its first kShownFileProbeBytes bytes:
// - a name ending in ".rwx" (any letter case) is a script, whatever it holds;
// - a name ending in ".gltf", ".glb" or ".obj" (any letter case) is an imported model, whatever it
//   holds (its reader reports what is wrong with it);
// - a name ending in ".zip" (any letter case), and any file that starts like a zip archive, is an
//   archive when it opens as one and holds a member ending in ".rwx"; otherwise it is refused;
// - a file that starts like a kind of binary file the viewer knows (JPEG, PNG, BMP, GIF, TIFF or
//   WebP image, PDF document, gzip data, binary glTF model, program) is refused naming that kind,
//   and so is any other file holding a NUL byte or a control character other than tab, line
//   breaks, vertical tab, form feed and the old end-of-file mark (0x1A);
// - text whose first line is "propdump version N" (any N) is an object dump, whatever its name;
// - other text named "*.txt" (any letter case) is an object map;
// - other text is an object map when its first entry reads as one (a path and three numbers,
//   a leading byte-order mark and white space skipped), and refused otherwise (also when it is
//   empty).
// A file that cannot be opened, or is no regular file, is left to the reader that its name picks
// (the archive's extraction for "*.zip", the object-map reader otherwise), which reports it as the
// viewer always has.
ShownFileVerdict ClassifyShownFile(std::string_view path);

// The message of a refusal: "“<file name>” <reason>: Pelorus shows model scripts (.rwx), zipped
// models (.zip), glTF (.gltf, .glb) and OBJ (.obj) models, object maps and object dumps."
std::string RefusedFileMessage(std::string_view path, const ShownFileVerdict& verdict);

}  // namespace pelorus
