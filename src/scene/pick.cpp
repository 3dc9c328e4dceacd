#include "scene/pick.h"

#include <cmath>
#include <numbers>

#include "geometry/placement.h"
#include "scene/framing.h"

namespace pelorus {
namespace {

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// `m` (OpenGL's column order) applied to the point p.
Vec3 Apply(const Mat4& m, const TVertex& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

// Whether the ray passes within the sphere (or starts inside it).
bool RayMeetsSphere(const PickRay& ray, const Sphere& sphere) {
    if (sphere.Empty()) return false;
    if (!std::isfinite(sphere.radius)) return true;
    const Vec3 toCentre = Sub(sphere.centre, ray.origin);
    const double along = Dot(toCentre, ray.direction);
    const double squared = Dot(toCentre, toCentre);
    const double r2 = sphere.radius * sphere.radius;
    if (squared <= r2) return true;
    if (along < 0) return false;
    return squared - along * along <= r2;
}

// Whether a masked batch shows at texture coordinates (u, v), with the frame of `timeMs`.
bool MaskShows(const RWXObject& object, const RWXMaterial& m, double u, double v, int64_t timeMs) {
    if (!m.IsMasked() || m.frameCount <= 0) return true;
    const int32_t frames = m.frameCount < kMaxTextureFrames ? m.frameCount : kMaxTextureFrames;
    const uint32_t key = m.textureFrames[static_cast<std::size_t>(AnimationFrame(timeMs, frames))];
    if (key == 0) return true;
    const int32_t index = TextureOfKey(key);
    if (index < 0 || static_cast<std::size_t>(index) >= object.Textures().size()) return true;
    const TTexture& t = object.Textures()[static_cast<std::size_t>(index)];
    if (!t.hasMask) return true;
    // Mirror textures are stored as a tile of four, drawn at half their coordinates.
    const double scale = m.addressMode == AddressMode::Mirror ? 0.5 : 1.0;
    return TexelShows(t.Rgba(), t.width, t.height, t.frameCount, FrameOfKey(key), u * scale, v * scale,
                      m.addressMode == AddressMode::Clamp);
}

struct Search {
    const PickRay& ray;
    const PickOptions& options;
    std::optional<FaceHit> best;
};

// Tests every face of `clump` (placed by `plain` or, for facers, `facer`) against the ray.
void PickInClump(Search& search, std::size_t objectIndex, const RWXObject& object, const TClump& clump,
                 const std::vector<int32_t>& path, const Mat4& plain, const Mat4& facer) {
    const PodVector<TVertex>& vertices = clump.Vertices();
    const auto count = static_cast<int32_t>(vertices.size());
    for (std::size_t b = 0; b < clump.Batches().size(); ++b) {
        const MatTris& batch = *clump.Batches()[b];
        const RWXMaterial& m = batch.Material();
        if (m.geometrySampling != GeometrySampling::Solid || !(m.opacity > 0)) continue;
        const Mat4& place = m.IsAxisAligned() ? facer : plain;
        const PodVector<TTriangle>& triangles = batch.Triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            const TTriangle& t = triangles[i];
            if (t[0] < 0 || t[1] < 0 || t[2] < 0 || t[0] >= count || t[1] >= count || t[2] >= count) continue;
            const TVertex& va = vertices[static_cast<std::size_t>(t[0])];
            const TVertex& vb = vertices[static_cast<std::size_t>(t[1])];
            const TVertex& vc = vertices[static_cast<std::size_t>(t[2])];
            const std::optional<RayTriangleHit> hit =
                IntersectTriangle(search.ray, Apply(place, va), Apply(place, vb), Apply(place, vc));
            if (!hit) continue;
            if (!hit->front && !m.IsDoubleSided()) continue;
            if (hit->distance < search.ray.nearest || hit->distance > search.ray.farthest) continue;
            if (search.best && hit->distance >= search.best->distance) continue;
            const double wa = 1 - hit->wb - hit->wc;
            const double u = wa * va.u + hit->wb * vb.u + hit->wc * vc.u;
            const double v = wa * va.v + hit->wb * vb.v + hit->wc * vc.v;
            if (!MaskShows(object, m, u, v, search.options.timeMs)) continue;
            FaceHit found;
            found.object = objectIndex;
            found.clump = &clump;
            found.clumpPath = path;
            found.batch = &batch;
            found.batchIndex = static_cast<int32_t>(b);
            found.triangle = static_cast<int32_t>(i);
            found.line = batch.LineOf(found.triangle);
            found.instance = batch.InstanceOf(found.triangle);
            const PickRay& r = search.ray;
            found.point = {r.origin.x + r.direction.x * hit->distance, r.origin.y + r.direction.y * hit->distance,
                           r.origin.z + r.direction.z * hit->distance};
            found.distance = hit->distance;
            found.u = u;
            found.v = v;
            found.frontFacing = hit->front;
            search.best = std::move(found);
        }
    }
}

}  // namespace

std::optional<PickRay> RayThroughPixel(const Camera& camera, int32_t width, int32_t height, int32_t x, int32_t y,
                                       const DepthRange& depth) {
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height) return std::nullopt;
    // The eye-space direction through the pixel's centre, at depth 1.
    const double tanHalf = std::tan(kFieldOfView * std::numbers::pi / 360.0);
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    const double ndcX = 2.0 * (x + 0.5) / width - 1.0;
    const double ndcY = 1.0 - 2.0 * (y + 0.5) / height;
    const Vec3 eyeDir{ndcX * tanHalf * aspect, ndcY * tanHalf, -1.0};
    const double length = std::sqrt(Dot(eyeDir, eyeDir));
    // The camera's matrix turns and moves without scaling: its transposed turn takes eye-space
    // directions back to the world.
    const Mat4 view = CameraMatrix(camera);
    const Vec3 world{view[0] * eyeDir.x + view[1] * eyeDir.y + view[2] * eyeDir.z,
                     view[4] * eyeDir.x + view[5] * eyeDir.y + view[6] * eyeDir.z,
                     view[8] * eyeDir.x + view[9] * eyeDir.y + view[10] * eyeDir.z};
    PickRay ray;
    ray.origin = EyeOf(view);
    ray.direction = {world.x / length, world.y / length, world.z / length};
    // Depths are measured along the view axis; the ray leaves it at an angle.
    ray.nearest = depth.zNear * length;
    ray.farthest = depth.zFar * length;
    if (!Finite(ray.origin) || !Finite(ray.direction)) return std::nullopt;
    return ray;
}

std::optional<RayTriangleHit> IntersectTriangle(const PickRay& ray, const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 e1 = Sub(b, a);
    const Vec3 e2 = Sub(c, a);
    const Vec3 p = Cross(ray.direction, e2);
    const double det = Dot(e1, p);
    if (det == 0 || !std::isfinite(det)) return std::nullopt;
    const double inv = 1.0 / det;
    const Vec3 s = Sub(ray.origin, a);
    const double wb = Dot(s, p) * inv;
    if (wb < 0 || wb > 1) return std::nullopt;
    const Vec3 q = Cross(s, e1);
    const double wc = Dot(ray.direction, q) * inv;
    if (wc < 0 || wb + wc > 1) return std::nullopt;
    const double distance = Dot(e2, q) * inv;
    if (!(distance >= 0)) return std::nullopt;
    // det = -dot(direction, e1 x e2): positive when the ray runs against the face's normal.
    return RayTriangleHit{distance, wb, wc, det > 0};
}

bool TexelShows(const std::vector<uint8_t>& rgba, int32_t width, int32_t height, int32_t frameCount, int32_t frame,
                double u, double v, bool clamp) {
    if (width <= 0 || height <= 0 || frameCount <= 0 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return true;
    if (!std::isfinite(u) || !std::isfinite(v)) return true;
    const int32_t frameHeight = height / frameCount;
    if (frameHeight <= 0) return true;
    if (frame < 0 || frame >= frameCount) frame = 0;
    auto wrap = [clamp](double c) {
        if (clamp) return c < 0 ? 0.0 : (c > 1 ? 1.0 : c);
        return c - std::floor(c);
    };
    const double s = wrap(u), t = wrap(v);
    auto texel = [](double c, int32_t size) {
        const auto i = static_cast<int32_t>(c * size);
        return i < 0 ? 0 : (i >= size ? size - 1 : i);
    };
    const int32_t column = texel(s, width);
    const int32_t row = frame * frameHeight + texel(t, frameHeight);
    const std::size_t at =
        (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column)) * 4 + 3;
    return rgba[at] != 0;
}

std::optional<FaceHit> PickFace(const TObjectMap& scene, const PickRay& ray, double cameraYaw,
                                const PickOptions& options) {
    Search search{ray, options, std::nullopt};
    // Within a draw distance only the objects near the ray's origin are looked at.
    std::vector<uint32_t> near;
    const bool limited = std::isfinite(options.drawDistance) && options.drawDistance > 0;
    if (limited) scene.ObjectsNear(ray.origin, options.drawDistance, near);
    const std::size_t count = limited ? near.size() : scene.ObjectCount();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = limited ? near[k] : k;
        if (!scene.Placed(i).visible) continue;
        const Sphere& sphere = scene.SphereOf(i);
        if (IsBeyond(sphere, ray.origin, options.drawDistance)) continue;
        if (!RayMeetsSphere(ray, sphere)) continue;
        const RWXObject& object = scene.Object(i);
        const Placement& placement = scene.PlacementOf(i);
        const Mat4 plain = PlacementMatrix(placement);
        const Mat4 facer = FacerMatrix(placement, cameraYaw);
        // Depth first over the clumps, with the path of child indices to each.
        struct Open {
            const TClump* clump;
            std::vector<int32_t> path;
        };
        std::vector<Open> stack;
        for (std::size_t c = object.Clumps().size(); c-- > 0;)
            stack.push_back({object.Clumps()[c].get(), {static_cast<int32_t>(c)}});
        while (!stack.empty()) {
            Open open = std::move(stack.back());
            stack.pop_back();
            PickInClump(search, i, object, *open.clump, open.path, plain, facer);
            const auto& children = open.clump->Children();
            for (std::size_t c = children.size(); c-- > 0;) {
                std::vector<int32_t> path = open.path;
                path.push_back(static_cast<int32_t>(c));
                stack.push_back({children[c].get(), std::move(path)});
            }
        }
    }
    return search.best;
}

std::optional<std::array<Vec3, 3>> FaceCorners(const TObjectMap& scene, const FaceHit& hit, double cameraYaw) {
    if (hit.object >= scene.ObjectCount() || !hit.clump || !hit.batch) return std::nullopt;
    if (hit.triangle < 0 || hit.triangle >= hit.batch->TriangleCount()) return std::nullopt;
    const TTriangle& t = hit.batch->Triangles()[static_cast<std::size_t>(hit.triangle)];
    if (!hit.clump->HasCorners(t)) return std::nullopt;
    const Placement& placement = scene.PlacementOf(hit.object);
    const Mat4 place =
        hit.batch->Material().IsAxisAligned() ? FacerMatrix(placement, cameraYaw) : PlacementMatrix(placement);
    std::array<Vec3, 3> corners;
    for (std::size_t i = 0; i < 3; ++i) corners[i] = Apply(place, *hit.clump->GetVertex(t[i]));
    return corners;
}

Camera OrbitCentredOn(const Camera& camera, const Vec3& point, double minDistance) {
    if (!Finite(point)) return camera;
    const Vec3 eye = EyePosition(camera);
    const Vec3 toEye = Sub(eye, point);
    double distance = std::sqrt(Dot(toEye, toEye));
    if (!std::isfinite(distance)) return camera;
    if (!(distance >= minDistance)) distance = minDistance;
    Camera centred = camera;
    centred.targetX = point.x;
    centred.targetY = point.y - camera.height;
    centred.targetZ = point.z;
    centred.distance = distance;
    return centred;
}

}  // namespace pelorus
