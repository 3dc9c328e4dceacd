#include "scene/modeldemand.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelorus {
namespace {

uint64_t ClumpBytes(const TClump& clump) {
    uint64_t bytes = sizeof(TClump) + clump.Vertices().size() * sizeof(TVertex);
    for (const auto& batch : clump.Batches())
        bytes += sizeof(MatTris) + static_cast<uint64_t>(batch->TriangleCount()) * sizeof(TTriangle) * 2;
    for (const auto& child : clump.Children()) bytes += ClumpBytes(*child);
    return bytes;
}

}  // namespace

uint64_t ModelBytes(const RWXObject& model) {
    uint64_t bytes = sizeof(RWXObject);
    for (const auto& clump : model.Clumps()) bytes += ClumpBytes(*clump);
    for (const TTexture& t : model.Textures())
        bytes += static_cast<uint64_t>(std::max(t.width, 0)) * static_cast<uint64_t>(std::max(t.height, 0)) * 4;
    return bytes * 2;
}

double ModelReach(const RWXObject& model) {
    const Sphere s = BoundingSphereOf(model);
    if (s.Empty()) return 0;
    const double reach =
        std::sqrt(s.centre.x * s.centre.x + s.centre.y * s.centre.y + s.centre.z * s.centre.z) + s.radius;
    return std::isfinite(reach) ? reach : 0;
}

ModelDemand::ModelDemand(std::span<const PlacedObject> objects, std::size_t modelCount)
    : held_(modelCount, 0), bytes_(modelCount, 0), lastUse_(modelCount, 0), nearest_(modelCount, 0) {
    points_.resize(objects.size());
    modelOf_.assign(objects.size(), PlacedObject::kNoModel);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const PlacedObject& o = objects[i];
        if (o.type != 0 || o.model >= modelCount) continue;
        const auto& p = o.placement.position;
        if (!(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))) continue;
        points_[i] = Sphere{{p[0], p[1], p[2]}, 0};
        modelOf_[i] = o.model;
        positions_.Extend(p[0], p[1], p[2]);
        largestScale_ = std::max(largestScale_, LargestScale(o.placement));
    }
    grid_ = SpatialGrid(points_);
}

std::vector<uint32_t> ModelDemand::Wanted(const Vec3& eye, double distance) {
    ++tick_;
    const bool all = !(distance > 0) || !std::isfinite(distance);
    wantedAll_ = all;
    // Everything held and nothing to let go: no object need be looked at.
    if (all && heldCount_ == held_.size()) return {};
    grid_.Near(eye, all ? kDrawEverything : distance * kKeepFactor + reach_, near_);
    const double wantedWithin = all ? kDrawEverything : distance + reach_;
    std::vector<uint32_t> wanted;
    for (const uint32_t i : near_) {
        const uint32_t m = modelOf_[i];
        if (held_[m]) {
            lastUse_[m] = tick_;
            continue;
        }
        const Vec3& c = points_[i].centre;
        const double dx = c.x - eye.x, dy = c.y - eye.y, dz = c.z - eye.z;
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(d <= wantedWithin)) continue;
        if (lastUse_[m] != tick_) {
            // Not held and not yet seen this time: marked by the tick (held models never are).
            lastUse_[m] = tick_;
            nearest_[m] = d;
            wanted.push_back(m);
        } else {
            nearest_[m] = std::min(nearest_[m], d);
        }
    }
    std::sort(wanted.begin(), wanted.end(),
              [&](uint32_t a, uint32_t b) { return nearest_[a] != nearest_[b] ? nearest_[a] < nearest_[b] : a < b; });
    return wanted;
}

void ModelDemand::Arrived(uint32_t m, uint64_t bytes, double reach) {
    if (m >= held_.size()) return;
    if (held_[m]) heldBytes_ -= bytes_[m];
    if (!held_[m]) ++heldCount_;
    held_[m] = 1;
    bytes_[m] = bytes;
    heldBytes_ += bytes;
    lastUse_[m] = tick_;
    const double scaled = reach * largestScale_;
    if (std::isfinite(scaled)) reach_ = std::max(reach_, scaled);
}

std::vector<uint32_t> ModelDemand::ToDrop(uint64_t budgetBytes) {
    std::vector<uint32_t> drop;
    if (wantedAll_ || heldBytes_ <= budgetBytes) return drop;
    std::vector<uint32_t> unused;
    for (uint32_t m = 0; m < held_.size(); ++m)
        if (held_[m] && lastUse_[m] != tick_) unused.push_back(m);
    std::sort(unused.begin(), unused.end(),
              [&](uint32_t a, uint32_t b) { return lastUse_[a] != lastUse_[b] ? lastUse_[a] < lastUse_[b] : a < b; });
    for (const uint32_t m : unused) {
        if (heldBytes_ <= budgetBytes) break;
        held_[m] = 0;
        --heldCount_;
        heldBytes_ -= bytes_[m];
        bytes_[m] = 0;
        drop.push_back(m);
    }
    return drop;
}

Bounds ModelDemand::Extent() const {
    Bounds out;
    if (positions_.Empty()) return out;
    out.Extend(positions_.Min().x - reach_, positions_.Min().y - reach_, positions_.Min().z - reach_);
    out.Extend(positions_.Max().x + reach_, positions_.Max().y + reach_, positions_.Max().z + reach_);
    return out;
}

ModelFeed::ModelFeed(std::unique_ptr<ModelSupply> supply, std::span<const PlacedObject> objects, std::size_t modelCount)
    : supply_(std::move(supply)), demand_(objects, modelCount) {}

void ModelFeed::Look(const Vec3& eye, double distance) {
    supply_->Ask(demand_.Wanted(eye, distance));
}

ModelSupply::Delivered ModelFeed::Take(ErrorLog& log) {
    ModelSupply::Delivered got = supply_->Take(log);
    for (const auto& [index, model] : got)
        if (model) demand_.Arrived(index, ModelBytes(*model), ModelReach(*model));
    return got;
}

void FeedAndWait(ModelFeed& feed, TObjectMap& scene, const Vec3& eye, double distance, ErrorLog& log) {
    feed.Look(eye, distance);
    feed.WaitUntilSettled();
    (void)scene.SetModels(feed.Take(log));
}

}  // namespace pelorus
