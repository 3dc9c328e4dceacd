#pragma once
// Drawing a scene with OpenGL: what the graphics card holds for each of its objects, the opaque
// passes and the blended transparent pass, farthest first.

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "render/modeldraw.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"

namespace pelorus {

// The OpenGL side of the scenes one context shows: compiled faces per model (objects that share a
// model share them) and the textures of everything drawn, made on first use. Everything it holds belongs to that
// context: Forget, Release and the destructor need it current once anything was drawn. What is held for an object that
// is gone is only released by Forget or Release; an object made later at its address gets its own (objects are told
// apart by their serial numbers).
class SceneRenderer {
public:
    SceneRenderer() = default;
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Draws `scene` under the current modelview and projection matrices (the camera): the skybox
    // around the eye with its own transparent pass (under the viewer's projection for the current
    // viewport, with planes that hold the whole skybox whatever those of the scene), a depth
    // clear, the axes when asked, the ground (its faces shown even with the object flag off), the
    // objects, then every transparent triangle of the objects and the ground, farthest first,
    // blended and without depth writes. Objects (and the ground) whose bounding sphere lies
    // outside the view, beyond the draw distance or wholly in the fog, and hidden objects, are left
    // out of both passes. Each object is drawn where its placement puts it (see placement.h).
    // Leaves the modelview and projection matrices as it found them.
    void Draw(TObjectMap& scene, const DrawContext& context);

    // Drops the compiled faces held for `object` (null does nothing); textures stay until Release.
    void Forget(const RWXObject* object);
    // Drops the textures of images no model holds any more (see TextureCache::ReleaseUnused).
    void ReleaseUnusedTextures() { textures_.ReleaseUnused(); }
    // Drops everything held.
    void Release();
    // How many images are on the card (for tests and benchmarks).
    std::size_t TextureUploads() const { return textures_.Uploads(); }

    // Draws opaque batches vertex by vertex instead of from compiled lists (for comparisons).
    void SetCompiledGeometry(bool on) { compiled_ = on; }

private:
    ObjectResources& ResourcesOf(const RWXObject& object);
    // The opaque part of object `index` of `scene`, with its look.
    void DrawObjectOpaque(const TObjectMap& scene, std::size_t index, const DrawContext& context);
    void DrawTranslucent(TranslucentList& list, const DrawContext& context, bool groundFlags,
                         std::span<const uint8_t> drawn);

    struct Held {
        uint64_t serial = 0;
        ObjectResources resources;
    };
    std::unordered_map<const RWXObject*, Held> resources_;
    TextureCache textures_;
    // The planes of the last skybox drawn, told apart by its serial number.
    uint64_t skyboxSerial_ = 0;
    DepthRange skyboxDepth_;
    bool compiled_ = true;
    std::vector<uint32_t> order_;  // scratch of the transparent passes
    std::vector<uint32_t> candidates_;
    std::vector<int32_t> run_;
    std::vector<uint8_t> objectDrawn_;  // scratch of a frame: 1 for each object of the scene drawn
    std::vector<uint32_t> near_;        // scratch of a frame: the objects looked at, in order
    std::vector<uint8_t> sourceDrawn_;  // the same for each source of a transparent pass
    std::vector<uint32_t> drawnList_;   // scratch of a frame: the objects drawn, in order
    TranslucentList translucent_;       // scratch of a frame: the transparent pass of what is drawn
};

}  // namespace pelorus
