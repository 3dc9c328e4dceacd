#include "render/objectmap.h"

#include <GL/gl.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "render/frame.h"
#include "reader/scenefile.h"
#include "render/texturecache.h"

namespace pelorus {

// ---- Transparent lists --------------------------------------------------------------------

void AppendTranslucent(TranslucentList& list, const RWXObject& object, bool fromGround) {
    std::vector<TranslucentRef> refs;
    refs.reserve(static_cast<std::size_t>(object.CountTranslucentTriangles()));
    object.ListTranslucentTriangles(refs);
    if (refs.empty()) return;
    const auto source = static_cast<int32_t>(list.sources.size());
    list.sources.push_back(&object);
    list.records.reserve(list.records.size() + refs.size());
    for (const TranslucentRef& r : refs) {
        TTranslucentTriangle t;
        t.batch = r.batch;
        t.triangle = r.triangle;
        t.source = source;
        t.masked = r.masked;
        t.fromGround = fromGround;
        list.records.push_back(t);
    }
}

void ComputeDepths(TranslucentList& list, const Mat4& modelview, double yaw) {
    // Two rows per source: as placed, and turned for axis-aligned batches.
    std::vector<DepthRow> rows(list.sources.size() * 2);
    for (std::size_t i = 0; i < list.sources.size(); ++i) {
        const std::array<double, 3> offset = list.sources[i] ? list.sources[i]->Offset() : std::array<double, 3>{};
        rows[i * 2] = DepthRowOf(modelview, offset, yaw, false);
        rows[i * 2 + 1] = DepthRowOf(modelview, offset, yaw, true);
    }
    for (TTranslucentTriangle& t : list.records) {
        if (!t.batch || t.source < 0 || static_cast<std::size_t>(t.source) >= list.sources.size()) {
            t.depth = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const std::size_t row = static_cast<std::size_t>(t.source) * 2 + (t.batch->Material().IsAxisAligned() ? 1 : 0);
        t.depth = TriangleDepth(*t.batch, t.triangle, rows[row]);
    }
}

void SortBackToFront(std::span<const TTranslucentTriangle> records, std::vector<uint32_t>& order) {
    // Each record becomes one 64-bit key: its depth as a float whose bits are turned so that
    // unsigned order is numeric order, then its index. Sorting plain integers keeps the records
    // where they are and is several times faster than sorting the records. (Depths closer than a
    // float can tell apart count as equal, whose order is not fixed anyway.) NaN has no place in
    // an ordering of numbers: those records go first.
    std::vector<uint64_t> keys;
    keys.reserve(records.size());
    order.clear();
    order.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const double depth = records[i].depth;
        if (std::isnan(depth)) {
            order.push_back(static_cast<uint32_t>(i));
            continue;
        }
        constexpr double kFloatMax = std::numeric_limits<float>::max();
        const auto bits = std::bit_cast<uint32_t>(static_cast<float>(std::clamp(depth, -kFloatMax, kFloatMax)));
        const uint32_t ordered = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
        keys.push_back((static_cast<uint64_t>(ordered) << 32) | static_cast<uint64_t>(i));
    }
    std::sort(keys.begin(), keys.end());
    for (const uint64_t k : keys) order.push_back(static_cast<uint32_t>(k & 0xFFFFFFFFu));
}

// ---- The scene ----------------------------------------------------------------------------

TObjectMap::TObjectMap() = default;

TObjectMap::TObjectMap(std::vector<std::unique_ptr<RWXObject>> objects) {
    objects_.reserve(objects.size());
    for (auto& o : objects)
        if (o) objects_.push_back(Placed{std::move(o), {}});
    RebuildTranslucent();
}

std::unique_ptr<TObjectMap> TObjectMap::FromFile(std::string_view path, const ReadOptions& options) {
    return std::make_unique<TObjectMap>(LoadSceneObjects(path, options));
}

TObjectMap::~TObjectMap() {
    translucent_ = {};
    skyboxTranslucent_ = {};
    Discard(ground_);
    Discard(skybox_);
    for (Placed& p : objects_) Discard(p);
}

void TObjectMap::Discard(Placed& placed) {
    placed.cache.Release();
    if (placed.object) ReleaseTextures(*placed.object);
    placed.object.reset();
}

void TObjectMap::SetGround(std::unique_ptr<RWXObject> ground) {
    translucent_ = {};  // no record may outlive the ground it points into
    Discard(ground_);
    if (ground && ground->CountTriangles() > 0) ground_.object = std::move(ground);
    RebuildTranslucent();
}

void TObjectMap::SetSkybox(std::unique_ptr<RWXObject> skybox) {
    skyboxTranslucent_ = {};
    Discard(skybox_);
    if (skybox && skybox->CountTriangles() > 0) skybox_.object = std::move(skybox);
    RebuildSkyboxTranslucent();
}

void TObjectMap::RebuildTranslucent() {
    translucent_ = {};
    for (const Placed& p : objects_) AppendTranslucent(translucent_, *p.object, false);
    if (ground_.object) AppendTranslucent(translucent_, *ground_.object, true);
}

void TObjectMap::RebuildSkyboxTranslucent() {
    skyboxTranslucent_ = {};
    if (skybox_.object) AppendTranslucent(skyboxTranslucent_, *skybox_.object, false);
}

void TObjectMap::DrawOpaqueOf(Placed& placed, const DrawContext& context) {
    DrawOpaque(*placed.object, context, compiled_ ? &placed.cache : nullptr);
}

void TObjectMap::DrawTranslucent(TranslucentList& list, const DrawContext& context, bool groundFlags) {
    Mat4 modelview{};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    ComputeDepths(list, modelview, context.camera.yaw);
    SortBackToFront(list.records, order_);

    DrawContext forced = context;
    forced.flags.object = true;
    // Neighbours in depth order from the same batch are drawn in one call.
    std::size_t i = 0;
    while (i < order_.size()) {
        const TTranslucentTriangle& first = list.records[order_[i]];
        std::size_t end = i + 1;
        while (end < order_.size() && list.records[order_[end]].batch == first.batch &&
               list.records[order_[end]].fromGround == first.fromGround)
            ++end;
        const bool ground = groundFlags && first.fromGround;
        if (first.batch && !(ground && !context.flags.ground)) {
            run_.clear();
            for (std::size_t k = i; k < end; ++k) run_.push_back(list.records[order_[k]].triangle);
            DrawTriangles(*first.batch, run_, ground ? forced : context);
        }
        i = end;
    }
}

void TObjectMap::Draw(const DrawContext& context) {
    const ViewFlags& flags = context.flags;
    if (skybox_.object && flags.skybox) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushMatrix();
        const Mat4 turns = SkyboxMatrix(context.camera);
        glLoadMatrixd(turns.data());
        DrawOpaqueOf(skybox_, context);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        DrawTranslucent(skyboxTranslucent_, context, false);
        glPopMatrix();
        glPopAttrib();
        glClear(GL_DEPTH_BUFFER_BIT);
        glDisable(GL_BLEND);
    }
    glDisable(GL_BLEND);
    if (flags.axes) DrawAxes();
    glEnable(GL_LIGHTING);
    if (ground_.object && flags.ground) {
        DrawContext forced = context;
        forced.flags.object = true;
        DrawOpaqueOf(ground_, forced);
    }
    for (Placed& p : objects_) DrawOpaqueOf(p, context);

    glPushAttrib(GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    DrawTranslucent(translucent_, context, true);
    glPopAttrib();
    glDisable(GL_BLEND);
}

}  // namespace pelorus
