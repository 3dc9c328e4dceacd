#pragma once
// Turning what a scene shows into a RenderWare script that world clients read, in memory: the
// script's text and the texture files it names, ready to be written (see rwxsave.h).
//
// What the script holds:
// - ModelBegin, then for every entry its clumps, nested as they are, then ModelEnd. Entries are
//   placed as the scene places them (turned and scaled vertices for a placement that is not
//   plain; faces that turn to the viewer keep the object's turns in their vertices), less the
//   place a single model is shown at (kModelOffset): the script, opened, shows everything where the
//   scene showed it.
// - A clump's vertices in model coordinates ("Vertex x y z", "UV u v" when the coordinates are
//   not 0 0, "Prelight r g b" where the prelight colour changes), then its faces by material:
//   the commands that change the material where it changes (GeometrySampling, AxisAlignment,
//   LightSampling, Color, Surface or Ambient/Diffuse/Specular (never full ambient and full
//   diffuse, which glow white in world clients: those are written as kImportAmbient and
//   kImportDiffuse, with a note), Opacity, TextureModes,
//   MaterialMode, TextureAddressMode and TextureMipmapState before a texture, Texture), then
//   "Triangle a b c", or "Quad a b c d" for two triangles in a row that share an edge, lie in one
//   plane, make a convex quad and come back as the same two triangles when read; then its child
//   clumps. Triangles whose corners are missing are left out; prototypes live on in the clumps
//   that instanced them.
// - Numbers as the shortest text that reads back to the same double (-0 as 0, what is not finite
//   as 0), so that reading the script and writing it again gives the same bytes.
// - Textures: "Texture NAME" for an opaque image, written as NAME.jpg (the JPEG the texture was
//   read from when there is one, else encoded at kTextureJpegQuality); "Texture NAME Mask NAMEm"
//   for one whose alpha is only on or off, with the mask as a 1-bit BMP NAMEm.bmp zipped alone as
//   NAMEm.zip; "Texture NAME.png" for one with partial alpha, written as NAME.png (a note says
//   that some world clients read JPEG only). A Mirror texture is written as its image, not the
//   tile the viewer draws; an animated strip as the whole strip. NAME is the texture's own name
//   without its extension, in lower case, letters, digits, "-" and "_" only (others become "_"),
//   at most kMaxTextureBaseName characters, made unique with "_2", "_3" ... where two textures
//   would otherwise share a name with different files. An image of one frame whose height is a
//   multiple of its width (a script would read it as a strip of frames) is stretched by one row,
//   with a note. A texture that holds no pixels is left out and its faces are untextured.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "export/gltfexport.h"

namespace pelorus {

// The place a model file is shown at on its own.
inline constexpr std::array<double, 3> kModelOffset{0.0, 0.025, 0.0};

// Texture and mask names fit the reader's 99 characters with ".jpg", or "m.bmp" for masks.
inline constexpr std::size_t kMaxTextureBaseName = 94;

struct ScriptFile {
    std::string name;  // "wood.jpg", "leafm.zip", "glass.png"
    std::string content;
};

struct ScriptCounts {
    int64_t entries = 0, clumps = 0, vertices = 0, triangles = 0, quads = 0, textures = 0;
};

struct ScriptExport {
    std::string script;
    std::vector<ScriptFile> textures;  // in the order the script first names them
    std::vector<std::string> notes;    // one line each, for whoever asked
    ScriptCounts counts;
};

// Whether a texture file may be written under a name: false makes the texture take the next
// name (for a folder shared with other models, where a file of that name holds something else).
using TextureNameCheck = std::function<bool(const ScriptFile& file)>;

// The script of `entries` (null models skipped). Never fails: anything that cannot be written is
// left out with a note. Without `zipMasks` masks are written as NAMEm.bmp itself (for a zipped
// model, whose own archive holds them).
ScriptExport BuildScript(std::span<const ExportEntry> entries, const TextureNameCheck& nameFree = {},
                         bool zipMasks = true);

// `name` as a model or texture base name: lower case, letters, digits, "-" and "_" (others
// become "_"), at most `limit` characters, "model" when nothing is left.
std::string ScriptName(std::string_view name, std::size_t limit);

// The shortest text that reads back to `v` ("0.1", "12", "-3.5e-07"); -0 gives "0", and what is
// not finite "0".
std::string ScriptNumber(double v);

}  // namespace pelorus
