#pragma once
// Drawing a model's triangle batches with OpenGL: the material set-up, the opaque batches of an
// object, single triangles of the transparent pass and their eye-space depth.
//
// Every drawing call needs a current OpenGL context and leaves GL_TEXTURE_2D off, GL_LIGHTING on
// and the modelview matrix as it found it; the polygon mode, shade model, culling, colour and
// the material's ambient, diffuse and emission are those of the last material and vertex drawn.
// Triangles with a corner outside their clump's vertex list are refused when a script is read;
// drawing asserts that in debug builds and skips such a triangle otherwise.

#include <cstdint>
#include <span>
#include <unordered_map>

#include "geometry/mattris.h"
#include "geometry/tclump.h"
#include "reader/rwxobject.h"
#include "render/texturecache.h"
#include "scene/viewmath.h"
#include "scene/viewstate.h"

namespace pelorus {

// What a drawing call reads besides the model: the view flags, the camera (its yaw turns
// axis-aligned batches) and the time for texture animation, in milliseconds on a steady clock.
struct DrawContext {
    ViewFlags flags;
    Camera camera;
    int64_t timeMs = 0;
};

// Compiled faces of opaque batches: one display list per batch, holding the triangles with their
// emission, normals, texture coordinates and positions. Material set-up (and with it the texture
// binding and the animated frame) stays outside the lists. The lists belong to the context that
// compiled them; destroying the cache (or Release) deletes them and needs that context current
// when any list exists. A batch must outlive its list, or be forgotten with Release first.
class GeometryCache {
public:
    GeometryCache() = default;
    ~GeometryCache();
    GeometryCache(const GeometryCache&) = delete;
    GeometryCache& operator=(const GeometryCache&) = delete;
    GeometryCache(GeometryCache&& other) noexcept;
    GeometryCache& operator=(GeometryCache&& other) noexcept;

    // The list drawing the faces of `batch` (one of `clump`'s), compiled on first use; 0 when no
    // list can be made (the faces are then drawn directly).
    uint32_t FacesList(const TClump& clump, const MatTris& batch);
    void Release();

private:
    std::unordered_map<const MatTris*, uint32_t> lists_;
};

// What the graphics card holds for one object: its compiled faces and its textures.
struct ObjectResources {
    GeometryCache geometry;
    TextureCache textures;
    void Release() {
        geometry.Release();
        textures.Release();
    }
};

// Sets the OpenGL state for the batch's material: polygon mode, shade model, culling (off for
// Double materials), then for a textured material the texture of the frame that `timeMs` selects
// (from `object`'s textures, uploaded into `textures` on first use) with its wrap mode and
// minification filter, and the colour terms:
// - a texture that shows replaces the colour: the colour is white at the material's opacity, the
//   ambient term the ambient factors ((1, 1, 1) when the texture modes lack Lit) and the diffuse
//   term the diffuse factors, all modulated by the texture;
// - untextured, the colour is the material's colour, the ambient term colour x ambient factors
//   and the diffuse term colour x diffuse factors, with texturing off.
// A texture without image (not mipmapped, or not uploadable) draws as untextured. Every term
// carries the opacity as alpha. Returns true for Mirror address mode, whose texture coordinates
// are drawn halved.
bool ApplyMaterial(const MatTris& batch, const RWXObject& object, TextureCache& textures, const DrawContext& context);

// Draws every triangle of a batch of `object` (one of `clump`'s) as the opaque pass does, with
// normal lines (yellow) and outlines (magenta) as the view flags ask. With `geometry` null the
// faces are sent vertex by vertex; with a cache they come from its list. Both give the same
// pixels.
void DrawBatch(const TClump& clump, const MatTris& batch, const RWXObject& object, TextureCache& textures,
               GeometryCache* geometry, const DrawContext& context);

// Draws triangles of one batch as the transparent pass does: placed by the object's offset, lit
// only when the lighting flag is on (as opaque faces), each corner with its own prelight as
// emission. Indices outside the batch are
// skipped. With normal lines or outlines on, each triangle is followed by its own lines.
void DrawTriangles(const TClump& clump, const MatTris& batch, std::span<const int32_t> triangles,
                   const RWXObject& object, TextureCache& textures, const DrawContext& context);

// The opaque part of an object: its offset applied, then every opaque batch of every top-level
// clump, each clump's batches before its children, depth first. `compiled` false sends the faces
// vertex by vertex instead of from the compiled lists (for comparisons).
void DrawOpaque(const RWXObject& object, ObjectResources& resources, const DrawContext& context, bool compiled = true);

}  // namespace pelorus
