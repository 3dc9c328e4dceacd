#pragma once
// What the Object Properties window shows: the General page (world, file, faces and triangles),
// the Textures page (one row per loaded texture) and the Errors page (the run's error log).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"

namespace pelorus {

// Shown for the world when it has no name (the built-in default world) and for the object when
// no file is open.
inline constexpr std::string_view kDefaultWorldLabel = "(default world)";
inline constexpr std::string_view kNoObjectLabel = "(none)";

struct GeneralInfo {
    std::string world;      // the world's name, or kDefaultWorldLabel for ""
    std::string object;     // the file name of `currentFile` without its folder, or kNoObjectLabel
    std::string polygons;   // face lines read (Triangle, Quad, Polygon) by all objects, decimal
    std::string triangles;  // triangles of all objects, decimal
    bool operator==(const GeneralInfo&) const = default;
};

// The General page for the objects of the file shown (the model, without the world's ground and
// skybox). Null entries are skipped.
GeneralInfo GeneralInfoOf(std::string_view worldName, std::string_view currentFile,
                          std::span<const RWXObject* const> objects);

// The columns of the Textures page, in order.
inline constexpr std::string_view kTextureColumns[] = {"Texture", "FileName",  "Size",       "WxH",
                                                       "Mask",    "Mipmapped", "AddressMode"};
inline constexpr int32_t kTextureColumnWidths[] = {64, 100, 35, 50, 100, 30, 30};

struct TextureRow {
    std::string texture;      // the name looked for ("wood.jpg")
    std::string fileName;     // where it was read from ("<archive>.zip:<member>" for a zipped one)
    std::string size;         // the file's size ("812 B", "12 KB"), "" when it cannot be read now
    std::string wxh;          // the image's width x height in the file, all frames together
    std::string mask;         // the mask's name, "" without one
    std::string mipmapped;    // "Yes" or "No"
    std::string addressMode;  // "Wrap", "Mirror" or "Clamp" ("?" for any other value)
    bool operator==(const TextureRow&) const = default;
};

// One row per texture of each object, objects in order, each object's textures in the order
// they were loaded. Null entries are skipped. Reads each file's size from the file system.
std::vector<TextureRow> TextureRowsOf(std::span<const RWXObject* const> objects);

// "N B" below 1024 bytes, otherwise kilobytes rounded up, "N KB".
std::string FileSizeText(uint64_t bytes);

// The Errors page: the whole error-log text and the number of lines in it.
struct ErrorsInfo {
    std::string text;
    std::string count;
};
ErrorsInfo ErrorsInfoOf(const ErrorLog& log);

}  // namespace pelorus
