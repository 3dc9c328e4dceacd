#include "scene/translucent.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace pelorus {

void AppendTranslucent(TranslucentList& list, const RWXObject& object, const Placement& placement, bool fromGround,
                       int32_t sceneIndex, const ObjectLook* look) {
    // Whether a batch is opaque as the object's look draws it.
    auto opaque = [&](const MatTris& batch) {
        const FaceLook* face = look ? look->variant.LookOf(batch) : nullptr;
        return face ? face->material.IsOpaque() : batch.IsOpaque();
    };
    int64_t count = 0;
    if (look) {
        for (const auto& top : object.Clumps())
            ForEachClump(*top, [&](const TClump& clump) {
                for (const auto& batch : clump.Batches())
                    if (!opaque(*batch)) count += batch->TriangleCount();
            });
    } else {
        count = object.CountTranslucentTriangles();
    }
    if (count == 0) return;
    const auto source = static_cast<int32_t>(list.sources.size());
    list.sources.push_back({&object, placement, look});
    list.firstRecord.push_back(list.records.size());
    list.sceneIndex.push_back(sceneIndex);
    // Grown by doubling: objects are appended one after another, often by the hundred thousand.
    const std::size_t needed = list.records.size() + static_cast<std::size_t>(count);
    if (needed > list.records.capacity()) list.records.reserve(std::max(needed, 2 * list.records.capacity()));
    for (const auto& top : object.Clumps())
        ForEachClump(*top, [&](const TClump& clump) {
            for (const auto& batch : clump.Batches()) {
                if (opaque(*batch)) continue;
                TTranslucentTriangle t;
                t.clump = &clump;
                t.batch = batch.get();
                t.source = source;
                const FaceLook* face = look ? look->variant.LookOf(*batch) : nullptr;
                t.masked = face ? face->material.IsMasked() : batch->IsMasked();
                t.fromGround = fromGround;
                for (int32_t i = 0; i < batch->TriangleCount(); ++i) {
                    t.triangle = i;
                    list.records.push_back(t);
                }
            }
        });
}

DepthRow DepthRowOf(const Mat4& modelview, const Placement& placement, double yaw, bool axisAligned) {
    Mat4 m;
    if (placement.IsPlain()) {
        // The translation alone, in the order objects were always placed in.
        const auto& p = placement.position;
        m = Multiply(modelview, TranslationMatrix(p[0], p[1], p[2]));
        if (axisAligned) m = Multiply(m, RotationMatrix(-yaw, 0, 1, 0));
    } else {
        m = Multiply(modelview, axisAligned ? FacerMatrix(placement, yaw) : PlacementMatrix(placement));
    }
    return {m[2], m[6], m[10], m[14]};
}

double TriangleDepth(const TClump& clump, const MatTris& batch, int32_t triangle, const DepthRow& row) {
    if (triangle < 0 || static_cast<std::size_t>(triangle) >= batch.Triangles().size())
        return std::numeric_limits<double>::quiet_NaN();
    const TTriangle& t = batch.Triangles()[static_cast<std::size_t>(triangle)];
    double sum = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const TVertex* v = clump.GetVertex(t[i]);
        if (!v) return std::numeric_limits<double>::quiet_NaN();
        sum += v->x * row[0] + v->y * row[1] + v->z * row[2] + row[3];
    }
    return sum / 3;
}

void ComputeDepths(TranslucentList& list, const Mat4& modelview, double yaw) {
    // Two rows per source: as placed, and turned for axis-aligned batches.
    std::vector<DepthRow> rows(list.sources.size() * 2);
    for (std::size_t i = 0; i < list.sources.size(); ++i) {
        const Placement& placement = list.sources[i].placement;
        rows[i * 2] = DepthRowOf(modelview, placement, yaw, false);
        rows[i * 2 + 1] = DepthRowOf(modelview, placement, yaw, true);
    }
    for (TTranslucentTriangle& t : list.records) {
        if (!t.batch || !t.clump || t.source < 0 || static_cast<std::size_t>(t.source) >= list.sources.size()) {
            t.depth = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const std::size_t row = static_cast<std::size_t>(t.source) * 2 + (t.batch->Material().IsAxisAligned() ? 1 : 0);
        t.depth = TriangleDepth(*t.clump, *t.batch, t.triangle, rows[row]);
    }
}

namespace {

// The sort key of a record: its depth as a float whose bits are turned so that unsigned order is
// numeric order, then its index. Sorting plain integers keeps the records where they are and is
// several times faster than sorting the records. (Depths closer than a float can tell apart count
// as equal, whose order is not fixed anyway.)
uint64_t SortKey(double depth, uint32_t index) {
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    const auto bits = std::bit_cast<uint32_t>(static_cast<float>(std::clamp(depth, -kFloatMax, kFloatMax)));
    const uint32_t ordered = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
    return (static_cast<uint64_t>(ordered) << 32) | static_cast<uint64_t>(index);
}

template <typename Indices>
void SortIndices(std::span<const TTranslucentTriangle> records, const Indices& indices, std::size_t count,
                 std::vector<uint32_t>& order) {
    std::vector<uint64_t> keys;
    keys.reserve(count);
    order.clear();
    order.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const uint32_t i = indices(k);
        const double depth = records[i].depth;
        // NaN has no place in an ordering of numbers: those records go first.
        if (std::isnan(depth))
            order.push_back(i);
        else
            keys.push_back(SortKey(depth, i));
    }
    std::sort(keys.begin(), keys.end());
    for (const uint64_t k : keys) order.push_back(static_cast<uint32_t>(k & 0xFFFFFFFFu));
}

}  // namespace

void SortBackToFront(std::span<const TTranslucentTriangle> records, std::vector<uint32_t>& order) {
    SortIndices(
        records, [](std::size_t k) { return static_cast<uint32_t>(k); }, records.size(), order);
}

void SortBackToFront(std::span<const TTranslucentTriangle> records, std::span<const uint32_t> candidates,
                     std::vector<uint32_t>& order) {
    SortIndices(
        records, [&](std::size_t k) { return candidates[k]; }, candidates.size(), order);
}

namespace {}  // namespace

bool EyeOf(const Mat4& m, Vec3& eye) {
    // Column-major: the 3 x 3 part is a = m[0..2], b = m[4..6], c = m[8..10] (its columns), and
    // the translation t = m[12..14]; the eye solves A e = -t.
    const Vec3 a{m[0], m[1], m[2]}, b{m[4], m[5], m[6]}, c{m[8], m[9], m[10]};
    const Vec3 bc = Cross(b, c), ca = Cross(c, a), ab = Cross(a, b);
    const double det = Dot(a, bc);
    if (!(std::fabs(det) > 0) || !std::isfinite(det)) return false;
    const Vec3 t{-m[12], -m[13], -m[14]};
    // Cramer's rule through the rows of the inverse: bc, ca and ab over the determinant.
    const Vec3 e{Dot(bc, t) / det, Dot(ca, t) / det, Dot(ab, t) / det};
    if (!std::isfinite(e.x) || !std::isfinite(e.y) || !std::isfinite(e.z)) return false;
    eye = e;
    return true;
}

bool FacesAway(const TClump& clump, const MatTris& batch, int32_t triangle, const Vec3& eye) {
    const RWXMaterial& m = batch.Material();
    if (m.IsDoubleSided() || m.IsAxisAligned()) return false;
    if (triangle < 0 || static_cast<std::size_t>(triangle) >= batch.Triangles().size()) return false;
    const TTriangle& t = batch.Triangles()[static_cast<std::size_t>(triangle)];
    const TVertex* v[3];
    for (std::size_t i = 0; i < 3; ++i)
        if (!(v[i] = clump.GetVertex(t[i]))) return false;
    const Vec3 n = FaceNormal(*v[0], *v[1], *v[2]);
    const Vec3 toEye = Sub(eye, Vec3{v[0]->x, v[0]->y, v[0]->z});
    const double side = Dot(n, toEye);
    constexpr double kMargin = 1e-6;
    return side < 0 && side * side > kMargin * kMargin * Dot(n, n) * Dot(toEye, toEye);
}

void ComputeDepthsOf(TranslucentList& list, std::span<const uint8_t> drawn, const Mat4& modelview, double yaw,
                     std::vector<uint32_t>& candidates, const Vec3* cullFrom) {
    for (std::size_t s = 0; s < list.sources.size() && s < drawn.size(); ++s) {
        if (!drawn[s]) continue;
        const Placement& placement = list.sources[s].placement;
        const DepthRow rows[2] = {DepthRowOf(modelview, placement, yaw, false),
                                  DepthRowOf(modelview, placement, yaw, true)};
        const Vec3 eye = cullFrom ? ToModel(placement, *cullFrom) : Vec3{};
        for (std::size_t r = list.RecordsBegin(s); r < list.RecordsEnd(s); ++r) {
            TTranslucentTriangle& t = list.records[r];
            if (cullFrom && t.batch && t.clump && FacesAway(*t.clump, *t.batch, t.triangle, eye)) continue;
            t.depth = t.batch && t.clump ? TriangleDepth(*t.clump, *t.batch, t.triangle,
                                                         rows[t.batch->Material().IsAxisAligned() ? 1 : 0])
                                         : std::numeric_limits<double>::quiet_NaN();
            candidates.push_back(static_cast<uint32_t>(r));
        }
    }
}

}  // namespace pelorus
