#pragma once
// The scene: the placed objects, the world's ground and skybox, and the transparent triangles
// that are drawn after everything opaque, back to front.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "reader/rwxobject.h"
#include "render/modeldraw.h"
#include "scene/viewmath.h"

namespace pelorus {

// One triangle of a batch that is not opaque.
struct TTranslucentTriangle {
    const MatTris* batch = nullptr;  // not owned; lives in an object of the same scene
    int32_t triangle = 0;            // index in the batch
    int32_t source = 0;              // index of its object in the list's sources
    double depth = 0;                // mean eye-space z, recomputed before every sort
    bool masked = false;             // the batch's texture has a mask (recorded only)
    bool fromGround = false;
};

// A transparent pass: the records and the objects they come from.
struct TranslucentList {
    std::vector<const RWXObject*> sources;
    std::vector<TTranslucentTriangle> records;  // objects in order, then the ground
};

// Appends the transparent triangles of `object` (clumps in order, each clump's non-opaque
// batches before its children, triangles in order) with `fromGround` as given.
void AppendTranslucent(TranslucentList& list, const RWXObject& object, bool fromGround);

// Sets every record's depth under `modelview` (one depth row per source object and alignment,
// not one matrix per triangle; `yaw` turns axis-aligned batches). A record whose triangle cannot
// be measured gets NaN.
void ComputeDepths(TranslucentList& list, const Mat4& modelview, double yaw);

// The indices of `records` by ascending depth: the farthest first, drawn back to front. NaN
// depths come first; depths beyond the range of float count as the largest float. The order of
// equal depths is not fixed. `order` is replaced. A list holds fewer than 2^32 records.
void SortBackToFront(std::span<const TTranslucentTriangle> records, std::vector<uint32_t>& order);

class TObjectMap {
public:
    // An empty scene.
    TObjectMap();
    // A scene of the given objects, in order (null entries are dropped).
    explicit TObjectMap(std::vector<std::unique_ptr<RWXObject>> objects);
    // The scene the viewer shows for `path` (see LoadSceneObjects): one script, or an object map.
    static std::unique_ptr<TObjectMap> FromFile(std::string_view path, const ReadOptions& options = {});

    // Releases the OpenGL textures and lists of every object: the context that drew the scene
    // must be current if the scene was ever drawn.
    ~TObjectMap();
    TObjectMap(const TObjectMap&) = delete;
    TObjectMap& operator=(const TObjectMap&) = delete;

    // Replaces the ground (skybox): the previous one is destroyed; the new one is kept only when
    // it holds at least one triangle (null or empty objects leave the slot empty). The
    // transparent lists are rebuilt.
    void SetGround(std::unique_ptr<RWXObject> ground);
    void SetSkybox(std::unique_ptr<RWXObject> skybox);

    // Draws the scene under the current modelview matrix (the camera): the skybox around the eye
    // with its own transparent pass, a depth clear, the axes when asked, the ground (its faces
    // shown even with the object flag off), the objects, then every transparent triangle of the
    // objects and the ground, farthest first, blended and without depth writes. Needs a current
    // context; leaves the modelview matrix as it found it.
    void Draw(const DrawContext& context);

    std::size_t ObjectCount() const { return objects_.size(); }
    const RWXObject& Object(std::size_t index) const { return *objects_.at(index).object; }
    const RWXObject* Ground() const { return ground_.object.get(); }
    const RWXObject* Skybox() const { return skybox_.object.get(); }
    const TranslucentList& Translucent() const { return translucent_; }
    const TranslucentList& SkyboxTranslucent() const { return skyboxTranslucent_; }

    // Draws opaque batches vertex by vertex instead of from compiled lists (for comparisons).
    void SetCompiledGeometry(bool on) { compiled_ = on; }

private:
    struct Placed {
        std::unique_ptr<RWXObject> object;
        GeometryCache cache;
    };
    static void Discard(Placed& placed);
    void RebuildTranslucent();
    void RebuildSkyboxTranslucent();
    void DrawOpaqueOf(Placed& placed, const DrawContext& context);
    void DrawTranslucent(TranslucentList& list, const DrawContext& context, bool groundFlags);

    std::vector<Placed> objects_;
    Placed ground_;
    Placed skybox_;
    TranslucentList translucent_;
    TranslucentList skyboxTranslucent_;
    bool compiled_ = true;
    std::vector<uint32_t> order_;  // scratch of the transparent passes
    std::vector<int32_t> run_;
};

}  // namespace pelorus
