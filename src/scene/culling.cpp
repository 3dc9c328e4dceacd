#include "scene/culling.h"

#include <algorithm>
#include <cmath>

namespace pelorus {

Sphere BoundingSphereOf(const RWXObject& object) {
    bool aligned = false;
    bool any = false;
    Vec3 lo{}, hi{};
    double farthest = 0;  // from the origin, squared
    for (const auto& top : object.Clumps())
        ForEachClump(*top, [&](const TClump& clump) {
            for (const auto& batch : clump.Batches()) aligned = aligned || batch->Material().IsAxisAligned();
            for (const TVertex& v : clump.Vertices()) {
                if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) continue;
                if (!any) {
                    lo = hi = {v.x, v.y, v.z};
                    any = true;
                }
                lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
                hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
                farthest = std::max(farthest, v.x * v.x + v.y * v.y + v.z * v.z);
            }
        });
    if (!any) return {};
    if (aligned) return {{0, 0, 0}, std::sqrt(farthest)};
    const Vec3 centre{lo.x / 2 + hi.x / 2, lo.y / 2 + hi.y / 2, lo.z / 2 + hi.z / 2};
    const double dx = hi.x / 2 - lo.x / 2, dy = hi.y / 2 - lo.y / 2, dz = hi.z / 2 - lo.z / 2;
    return {centre, std::sqrt(dx * dx + dy * dy + dz * dz)};
}

Sphere PlacedSphere(const Sphere& model, const Placement& placement) {
    if (model.Empty()) return model;
    if (placement.IsPlain()) {
        const auto& p = placement.position;
        return {{model.centre.x + p[0], model.centre.y + p[1], model.centre.z + p[2]}, model.radius};
    }
    const Vec4 c = Transform(PlacementMatrix(placement), {model.centre.x, model.centre.y, model.centre.z, 1});
    return {{c.x, c.y, c.z}, model.radius * LargestScale(placement)};
}

Frustum FrustumOf(const Mat4& projection, const Mat4& modelview) {
    const Mat4 m = Multiply(projection, modelview);
    auto row = [&](int r) { return std::array<double, 4>{m[r], m[4 + r], m[8 + r], m[12 + r]}; };
    const auto r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3);
    const std::array<std::array<double, 4>, 6> raw = {{
        {r3[0] + r0[0], r3[1] + r0[1], r3[2] + r0[2], r3[3] + r0[3]},
        {r3[0] - r0[0], r3[1] - r0[1], r3[2] - r0[2], r3[3] - r0[3]},
        {r3[0] + r1[0], r3[1] + r1[1], r3[2] + r1[2], r3[3] + r1[3]},
        {r3[0] - r1[0], r3[1] - r1[1], r3[2] - r1[2], r3[3] - r1[3]},
        {r3[0] + r2[0], r3[1] + r2[1], r3[2] + r2[2], r3[3] + r2[3]},
        {r3[0] - r2[0], r3[1] - r2[1], r3[2] - r2[2], r3[3] - r2[3]},
    }};
    Frustum f;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto& p = raw[i];
        const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        // A plane without a normal bounds nothing: it holds every point.
        if (!(length > 0) || !std::isfinite(length) || !std::isfinite(p[3])) {
            f.planes[i] = {0, 0, 0, 1};
            continue;
        }
        f.planes[i] = {p[0] / length, p[1] / length, p[2] / length, p[3] / length};
    }
    return f;
}

bool Frustum::MayHold(const Sphere& sphere) const {
    if (sphere.Empty()) return false;
    for (const Plane& p : planes)
        if (p.DistanceTo(sphere.centre.x, sphere.centre.y, sphere.centre.z) < -sphere.radius) return false;
    return true;
}

Vec3 EyeOf(const Mat4& modelview) {
    // modelview = [R t]: the eye is -R^T t.
    const double tx = modelview[12], ty = modelview[13], tz = modelview[14];
    return {-(modelview[0] * tx + modelview[1] * ty + modelview[2] * tz),
            -(modelview[4] * tx + modelview[5] * ty + modelview[6] * tz),
            -(modelview[8] * tx + modelview[9] * ty + modelview[10] * tz)};
}

bool IsBeyond(const Sphere& sphere, const Vec3& eye, double drawDistance) {
    if (sphere.Empty()) return true;
    if (!(drawDistance > 0) || !(drawDistance < kDrawEverything)) return false;
    const double dx = sphere.centre.x - eye.x, dy = sphere.centre.y - eye.y, dz = sphere.centre.z - eye.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz) - sphere.radius > drawDistance;
}

bool IsFoggedOut(const Sphere& sphere, const Mat4& modelview, double fogEnd) {
    if (sphere.Empty() || !(fogEnd > 0)) return false;
    const Vec3& c = sphere.centre;
    const double depth = -(modelview[2] * c.x + modelview[6] * c.y + modelview[10] * c.z + modelview[14]);
    return depth - sphere.radius > fogEnd;
}

}  // namespace pelorus
