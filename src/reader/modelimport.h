#pragma once
// Models of other formats (glTF 2.0, Wavefront OBJ) converted on reading into the clumps,
// batches, materials and textures a script gives, so that everything that shows, checks, dumps
// or exports a script does the same with them.
//
// What is carried:
// - Metres become model units: every coordinate is divided by ten.
// - glTF: the nodes of the default scene (of the first scene without one; of the nodes no node
//   names as a child without any scene) become clumps nested as the nodes are, with each node's
//   whole transform applied to its vertices (a node without a mesh below it makes no clump). A
//   node is taken once, whatever names it again; nodes nested deeper than kMaxImportDepth add
//   their faces to the clump at that depth. One mesh primitive is one batch of its node's clump.
//   Triangles, strips and fans are read; a transform that mirrors turns the faces round so that
//   their fronts stay in front.
// - OBJ: each object or group is one top-level clump; faces of three corners are triangles, of
//   four quads and of more polygons, split as a script's are.
// - Colour and opacity from the base colour (glTF baseColorFactor; OBJ Kd and d, or 1 - Tr). A
//   textured face is drawn with its texture alone, so a base colour other than white is
//   multiplied into the texture's pixels.
// - The base-colour texture (glTF baseColorTexture with its texCoord set and
//   KHR_texture_transform; OBJ map_Kd, with map_d as its alpha) and its coordinates: glTF's as
//   they are, OBJ's turned upside down (OBJ counts v from the bottom of the image). The sampler's
//   wrapping (Wrap, Mirror, Clamp) follows the glTF sampler's horizontal mode.
// - glTF alphaMode: OPAQUE drops the texture's alpha; MASK turns alpha (texture alpha times
//   base alpha) into on or off at alphaCutoff, a mask; BLEND keeps it, and the base alpha is the
//   opacity. doubleSided is MaterialMode Double.
// - Faces with normals in the file are lit smoothly (light sampling Vertex), faces without flat
//   (Facet); the normals themselves are computed from the faces, as for a script.
// - Every material is surfaced with ambient kImportAmbient and diffuse kImportDiffuse, without
//   specular reflection.
//
// What cannot be carried costs one error line per kind, naming it, and the rest is still shown:
//   glTF:Not carried over: <what> : "<file>"
// for: metallic and roughness, normal maps, occlusion maps, emissive colour, vertex colours,
// points and lines, animations, skins, morph targets, cameras, lights, and each extension other
// than KHR_texture_transform and KHR_mesh_quantization (OBJ: "OBJ:" and bump or normal maps,
// specular maps, emissive colour, points and lines).
//
// Bounds: the file and the files it names are read within kMaxImportFileBytes (a .gltf's JSON
// within kMaxImportTextBytes), images within the texture limits and the load's
// image budget, geometry within the object's geometry budget (ReadOptions), and at most
// kMaxImportClumps clumps are made. A file that cannot be read, or is damaged, gives one error
// line and an empty object:
//   <Format>:Cannot read "<file>": <why>

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelorus {

class RWXObject;

enum class ImportFormat { Gltf, Obj };

// The format a file name asks for: ".gltf" and ".glb" glTF, ".obj" OBJ, in any letter case;
// nullopt for every other name.
std::optional<ImportFormat> ImportFormatOf(std::string_view path);

inline constexpr uint64_t kMaxImportFileBytes = uint64_t{2} << 30;
inline constexpr uint64_t kMaxImportTextBytes = uint64_t{256} << 20;
inline constexpr int kMaxImportDepth = 200;
inline constexpr int64_t kMaxImportClumps = 1'000'000;
inline constexpr double kImportAmbient = 0.6;
inline constexpr double kImportDiffuse = 0.4;

// Reads the file `model` names (its File()) as `format` into its clumps, materials and textures.
// Called by RWXObject while it is being read.
void ImportModel(RWXObject& model, ImportFormat format);

}  // namespace pelorus
