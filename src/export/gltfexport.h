#pragma once
// Turning what a scene shows into a glTF 2.0 model, in memory: the node tree, meshes, materials
// and images as bytes ready to be written (see gltfsave.h for writing them).
//
// What the model holds:
// - One scene with one root node that scales model units to metres (x 10: ten metres a unit).
//   Below it one node per scene entry, translated, turned (a rotation quaternion of
//   Ry(yaw) Rz(roll) Rx(tilt)) and scaled as the entry's placement says (each only when it is not
//   the identity), and below that one node
//   per clump, keeping the clump tree. Clump vertices are already in model coordinates, so clump
//   nodes carry no transform of their own.
//   Clump nodes are named by their place in the tree ("clump 2.1.3", the second top-level
//   clump's first child's third child); below 16 levels by the first 16, an ellipsis, their own
//   number and their level ("clump 1.1. ... .1.….3 (level 20)"), so names stay short.
// - A clump node's mesh has one triangle primitive per batch; a batch of tagged faces keeps its
//   tag in the primitive's extras ({"tag": N}). Batches that turn towards the
//   viewer (axis alignment other than None) are grouped by their alignment: the group of the
//   clump's first batch is the clump node's own mesh, every other group the mesh of an extra child
//   node (named "<clump> facer") that comes before the clump's child clumps; a node whose batches
//   turn has extras {"axisAlignment": "ZOrientX" | "ZOrientY" | "XYZ"}.
// - Positions, normals as drawn (Facet batches get one normal per face, so each face has its own
//   three vertices; Vertex batches share their vertices and take the vertex normals, made unit
//   length), texture coordinates as read, and the prelight colours as COLOR_0 in primitives where
//   any vertex has a non-zero one (clamped to 0..1). A normal that is zero (a face without area,
//   or normals that cancel) becomes the face's normal, or (0, 1, 0) without one.
// - Prototype instances are part of the clumps that instanced them, as the reader copies them;
//   prototypes themselves are not drawn and not exported. Meshes, materials, images, textures and
//   samplers are shared wherever the same clump, look, texture or sampling comes again.
// - Materials (metallic 0, roughness 1): a textured batch has a white base colour with the
//   material's opacity and the texture's first frame; an untextured one its colour and opacity.
//   A texture that is drawn without its image (not mipmapped, or holding no pixels) counts as
//   none. Alpha: OPAQUE; opacity below 1 gives BLEND; a texture whose alpha is only 0 or 255 gives
//   MASK (cut-off 0.5), one with partial alpha BLEND. Double gives doubleSided. An animated strip
//   shows its first frame and keeps its frame count in the material's extras
//   ({"textureFrames": N}).
// - Samplers: Wrap is REPEAT, Mirror MIRRORED_REPEAT over the image itself (not the 2 x 2 tile the
//   viewer draws with halved coordinates, which looks the same), Clamp CLAMP_TO_EDGE; linear
//   magnification, trilinear minification.
// - Images: an unmasked single-frame JPEG is embedded as the file's own bytes; every other image
//   (masks, PNG, BMP, frames of a strip) as a PNG of what is drawn, with alpha when any pixel is
//   not opaque.
// Colours, opacities and coordinates are written as single-precision values: numbers beyond that
// range are clamped to it. Names are made valid UTF-8.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "geometry/placement.h"
#include "reader/rwxobject.h"
#include "scene/objectmap.h"

namespace pelorus {

// One entry of what is exported: a model, how the entry places it, and its name ("" names the
// node after the model's path).
struct ExportEntry {
    ExportEntry() = default;
    ExportEntry(const RWXObject* m, const Placement& p, std::string_view n = {}) : model(m), placement(p), name(n) {}
    // Placed at `offset` without turn or scale.
    ExportEntry(const RWXObject* m, const std::array<double, 3>& offset, std::string_view n = {})
        : model(m), placement(PlacedAt(offset)), name(n) {}

    const RWXObject* model = nullptr;  // never null
    Placement placement;
    std::string_view name;
    // How the entry's action changed its model's faces (null: not at all): their materials and
    // images are written as drawn, and faces that show a sign or picture whole get texture
    // coordinates that stretch it over them.
    const ObjectLook* look = nullptr;
};

// The entries `scene` shows, in order: its objects (not the hidden ones), each named as the file
// that placed it names it, with its look, without ground and skybox. This is the one place that knows how a scene
// holds its models. The names point into the scene, which must outlive the entries.
std::vector<ExportEntry> SceneEntries(const TObjectMap& scene);
// The same for the objects whose bounding spheres come within `distance` of `centre` (model
// units, as a draw distance measures; see TObjectMap::ObjectsNear), in order; objects that show
// nothing (their model not read) are left out. A distance that is not finite or not above 0 gives
// SceneEntries.
std::vector<ExportEntry> SceneEntriesNear(const TObjectMap& scene, const Vec3& centre, double distance);

enum class GltfForm {
    Binary,  // one .glb file
    Text,    // a .gltf file with a .bin buffer and image files beside it
};

// The form a file name asks for: ".glb" Binary, ".gltf" Text, in any letter case; nullopt for
// every other name.
std::optional<GltfForm> GltfFormOf(std::string_view path);

struct GltfOptions {
    GltfForm form = GltfForm::Binary;
    // Side files of the Text form are named after this: "<stem>.bin", "<stem>_<n>.jpg" and
    // "<stem>_<n>.png" (n from 0, in image order).
    std::string stem = "model";
    // The root node's name.
    std::string sceneName = "scene";
};

// A file of the export, named relative to the folder of the main file.
struct GltfFile {
    std::string name;
    std::string content;
};

struct GltfCounts {
    int64_t entries = 0, nodes = 0, meshes = 0, primitives = 0, triangles = 0, materials = 0, images = 0;
};

struct GltfExport {
    std::string main;                 // the .glb or .gltf file
    std::vector<GltfFile> sideFiles;  // Text form: the buffer first, then the images in order
    GltfCounts counts;
};

// The rotation of a placement as a glTF quaternion (x, y, z, w): that of Ry(yaw) Rz(roll) Rx(tilt).
std::array<double, 4> RotationQuaternion(const Placement& placement);

// The export of `entries` (null models are skipped). Returns nullopt and sets `*error` only when
// the model cannot be held by one glTF file (its data beyond 4 GiB).
std::optional<GltfExport> BuildGltf(std::span<const ExportEntry> entries, const GltfOptions& options,
                                    std::string* error);

// The side-file stem of a main file's path: its file name without ".glb" or ".gltf".
std::string GltfStem(std::string_view path);

// `name` as a relative URI: every byte except letters, digits and "-._~" percent-encoded.
std::string UriOfFileName(std::string_view name);

}  // namespace pelorus
