#pragma once
// Drawing a model's triangle batches with OpenGL: the material set-up, the opaque batches of an
// object, single triangles of the transparent pass and their eye-space depth.
//
// Every drawing call needs a current OpenGL context and leaves GL_TEXTURE_2D off, GL_LIGHTING on
// (DrawTriangles: once its pass has ended) and the modelview matrix as it found it; the polygon mode, shade model,
// culling, colour and the material's ambient, diffuse and emission are those of the last material and vertex drawn.
// Triangles with a corner outside their clump's vertex list are refused when a script is read;
// drawing asserts that in debug builds and skips such a triangle otherwise.

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "geometry/mattris.h"
#include "geometry/placement.h"
#include "geometry/tclump.h"
#include "reader/rwxobject.h"
#include "render/texturecache.h"
#include "scene/actionlooks.h"
#include "scene/viewmath.h"
#include "scene/viewstate.h"

namespace pelorus {

// What a drawing call reads besides the model: the view flags, the camera (its yaw turns
// axis-aligned batches), the time for texture animation in milliseconds on a steady clock, and
// how far objects are drawn: the draw distance (model units; kDrawEverything for all) and, when
// fog is shown, the fog's end (0 for none), beyond which fog hides everything.
struct DrawContext {
    ViewFlags flags;
    Camera camera;
    int64_t timeMs = 0;
    double drawDistance = std::numeric_limits<double>::infinity();
    double fogEnd = 0;
};

// The opaque batches of one object grouped by material, and their compiled faces: one display
// list per group, holding the triangles of all its batches (whatever clump they belong to) with
// their emission, normals, texture coordinates and positions, so that the number of lists grows
// with the object's materials, not with its clumps. Material set-up (and with it the texture
// binding and the animated frame) stays outside the lists. The lists belong to the context that
// compiled them; destroying the cache (or Release) deletes them and needs that context current
// when any list exists. The object must outlive its lists, or be forgotten with Release first.
class GeometryCache {
public:
    struct Member {
        const TClump* clump;
        const MatTris* batch;
    };
    struct Group {
        const RWXMaterial* material;  // that of every member
        std::vector<Member> members;  // in drawing order: clumps depth first, batches in order
        uint32_t list = 0;            // 0 until compiled (or when no list can be made)
        bool compiled = false;
        int32_t tag = 0;     // that of every member
        bool opaque = true;  // the material is (as the model draws it)
    };

    GeometryCache() = default;
    ~GeometryCache();
    GeometryCache(const GeometryCache&) = delete;
    GeometryCache& operator=(const GeometryCache&) = delete;
    GeometryCache(GeometryCache&& other) noexcept;
    GeometryCache& operator=(GeometryCache&& other) noexcept;

    // The groups of `object` by material and tag, found on first use (the object is the same at
    // every call): the opaque ones first, in drawing order, then those the model draws
    // transparent (an action may make them opaque). Batches without triangles are left out.
    std::vector<Group>& GroupsOf(const RWXObject& object);
    // How many groups are opaque as the model draws them (the first so many).
    std::size_t OpaqueGroups() const { return opaqueGroups_; }
    // The list drawing the faces of `group`, compiled on first use; 0 when no list can be made
    // (the faces are then drawn directly).
    uint32_t FacesList(Group& group);
    void Release();

private:
    std::vector<Group> groups_;
    std::size_t opaqueGroups_ = 0;
    bool grouped_ = false;
};

// What the graphics card holds for one object: its compiled faces and its textures.
struct ObjectResources {
    GeometryCache geometry;
    void Release() { geometry.Release(); }
};

// The OpenGL state a material sets, as a value: two batches with equal states draw alike.
struct MaterialState {
    uint32_t polygonMode = 0;  // GL_POINT, GL_LINE or GL_FILL
    bool smooth = true;        // GL_SMOOTH, else GL_FLAT
    bool cull = true;          // back faces culled (not for Double materials)
    uint32_t texture = 0;      // the texture object, 0 for untextured
    int32_t wrap = 0;          // with a texture: GL_CLAMP or GL_REPEAT
    int32_t minFilter = 0;     // with a texture: GL_LINEAR_MIPMAP_LINEAR or GL_NEAREST
    std::array<float, 4> color{}, ambient{}, diffuse{};
    bool lit = true;  // the lighting flag
    bool mirror = false;
    // Texture coordinates made from positions (signs and pictures, see ImagePlanes) instead of
    // the vertices' own.
    bool texGen = false;
    std::array<double, 4> planeS{}, planeT{};
    bool operator==(const MaterialState&) const = default;
};

// The state for the batch's material: polygon mode, shade model, culling (off for Double
// materials), then for a textured material the texture of the frame that `timeMs` selects (from
// `object`'s textures, uploaded into `textures` on first use) with its wrap mode and minification
// filter, the colour terms, and lighting as the view flags say:
// - a texture that shows replaces the colour: the colour is white at the material's opacity, the
//   ambient term the ambient factors ((1, 1, 1) when the texture modes lack Lit) and the diffuse
//   term the diffuse factors, all modulated by the texture;
// - untextured, the colour is the material's colour, the ambient term colour x ambient factors
//   and the diffuse term colour x diffuse factors, with texturing off.
// A texture without image (not mipmapped, or not uploadable) draws as untextured. A material whose
// texture could not be used (textureMissing) draws with the missing-texture pattern when the view
// flags ask for it, as a texture that shows. Every term
// carries the opacity as alpha. `mirror` is set for Mirror address mode, whose texture
// coordinates are drawn halved.
// With `look`, a batch whose faces it changes is drawn with its material, images and planes instead.
MaterialState MaterialStateOf(const MatTris& batch, const RWXObject& object, TextureCache& textures,
                              const DrawContext& context, const ObjectLook* look = nullptr);
void SetMaterialState(const MaterialState& state);

// SetMaterialState(MaterialStateOf(...)); returns `mirror`.
bool ApplyMaterial(const MatTris& batch, const RWXObject& object, TextureCache& textures, const DrawContext& context,
                   const ObjectLook* look = nullptr);

// What the transparent pass set last. Each change of state ends the batch of vertices OpenGL is
// gathering, so neighbours in depth order that look alike are drawn without setting it again.
struct TranslucentPass {
    std::optional<MaterialState> material;  // unknown at the start and after lines were drawn
    bool emissionBlack = false;             // the emission is known to be black
    void Forget() {
        material.reset();
        emissionBlack = false;
    }
    // Leaves texturing off and lighting on, as the opaque pass expects.
    void End();
};

// Draws triangles of one batch of `object` as the transparent pass does: placed by `placement`
// (axis-aligned batches by FacerMatrix), lit only when the lighting flag is on (as opaque faces),
// each corner with its own prelight as emission. Indices outside the batch are skipped. With normal lines or outlines
// on, each triangle is followed by its own lines. `pass` holds what earlier calls of the same pass set.
// `look` as for MaterialStateOf.
void DrawTriangles(const TClump& clump, const MatTris& batch, std::span<const int32_t> triangles,
                   const RWXObject& object, const Placement& placement, TextureCache& textures,
                   const DrawContext& context, TranslucentPass& pass, const ObjectLook* look = nullptr);

// The opaque part of an object: its placement applied (PlacementMatrix, and FacerMatrix for
// axis-aligned batches), then its opaque batches a material at a time (see GeometryCache), each group's faces followed
// by the normal lines (yellow) and outlines (magenta) of its batches as the view flags ask. `compiled` false sends the
// faces vertex by vertex instead of from the compiled lists (for comparisons): both give the same pixels. With `look`,
// the groups opaque as the look draws them are drawn, each as MaterialStateOf says.
void DrawOpaque(const RWXObject& object, const Placement& placement, ObjectResources& resources, TextureCache& textures,
                const DrawContext& context, bool compiled = true, const ObjectLook* look = nullptr);

}  // namespace pelorus
