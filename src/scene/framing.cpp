#include "scene/framing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/parallel.h"

namespace pelorus {

namespace {

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// A usable lower limit for the distance: the one given, or kMinDistance for nonsense.
double UsableMinimum(double minDistance) {
    return minDistance >= 0 && std::isfinite(minDistance) ? minDistance : kMinDistance;
}

bool ValidFovy(double fovyDegrees) {
    return fovyDegrees > 0 && fovyDegrees < 180;
}

// The length of (x, y, z) without overflow for large components.
double Length(double x, double y, double z) {
    const double scale = std::max({std::abs(x), std::abs(y), std::abs(z)});
    if (scale == 0 || !std::isfinite(scale)) return scale;
    x /= scale;
    y /= scale;
    z /= scale;
    return scale * std::sqrt(x * x + y * y + z * z);
}

Vec3 WorldDirection(const Camera& camera, double x, double y, double z) {
    // Undo the camera's turns: pitch first, then yaw.
    const Mat4 undo = Multiply(RotationMatrix(-camera.yaw, 0, 1, 0), RotationMatrix(-camera.pitch, 1, 0, 0));
    const Vec4 v = Transform(undo, {x, y, z, 0});
    return {v.x, v.y, v.z};
}

}  // namespace

void Bounds::Extend(double x, double y, double z, const Vec3& offset) {
    const Vec3 p{x + offset.x, y + offset.y, z + offset.z};
    if (!Finite(p)) return;
    if (empty_) {
        min_ = max_ = p;
        empty_ = false;
        return;
    }
    min_ = {std::min(min_.x, p.x), std::min(min_.y, p.y), std::min(min_.z, p.z)};
    max_ = {std::max(max_.x, p.x), std::max(max_.y, p.y), std::max(max_.z, p.z)};
}

void Bounds::Extend(std::span<const TVertex> vertices, const Vec3& offset) {
    for (const TVertex& v : vertices) Extend(v.x, v.y, v.z, offset);
}

void Bounds::Extend(const Bounds& other) {
    if (other.empty_) return;
    Extend(other.min_.x, other.min_.y, other.min_.z);
    Extend(other.max_.x, other.max_.y, other.max_.z);
}

Bounds ObjectBounds(const RWXObject& object) {
    return ObjectBounds(object, object.Offset());
}

Bounds SceneBounds(const TObjectMap& scene) {
    // Each model's box once, then the objects' boxes on every core (a box's extent does not
    // depend on the order the boxes are taken in).
    const SceneObjects& read = scene.Read();
    std::vector<uint8_t> used(read.models.size(), 0);
    for (const PlacedObject& o : read.objects)
        if (o.model < used.size()) used[o.model] = 1;
    std::vector<Bounds> models(read.models.size());
    for (std::size_t m = 0; m < models.size(); ++m)
        if (used[m] && read.models[m]) models[m] = ObjectBounds(*read.models[m], {0, 0, 0});
    constexpr std::size_t kObjectsPerPart = std::size_t{1} << 16;
    std::vector<Bounds> parts(kMaxParallelParts);
    ForEachPart(read.objects.size(), kObjectsPerPart, [&](std::size_t part, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const PlacedObject& o = read.objects[i];
            if (o.model >= models.size() || models[o.model].Empty() || !o.visible) continue;
            parts[part].Extend(PlacedBounds(models[o.model], o.placement));
        }
    });
    Bounds bounds;
    for (const Bounds& part : parts) bounds.Extend(part);
    return bounds;
}

Bounds PlacedBounds(const Bounds& model, const Placement& placement) {
    Bounds out;
    if (model.Empty()) return out;
    if (placement.IsPlain()) {
        const auto& o = placement.position;
        out.Extend(model.Min().x, model.Min().y, model.Min().z, Vec3{o[0], o[1], o[2]});
        out.Extend(model.Max().x, model.Max().y, model.Max().z, Vec3{o[0], o[1], o[2]});
        return out;
    }
    const Mat4 m = PlacementMatrix(placement);
    const Vec3 lo = model.Min(), hi = model.Max();
    for (int corner = 0; corner < 8; ++corner) {
        const Vec4 p = Transform(m, {corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z, 1});
        out.Extend(p.x, p.y, p.z);
    }
    return out;
}

Bounds ObjectBounds(const RWXObject& object, const std::array<double, 3>& o) {
    Bounds bounds;
    const Vec3 offset{o[0], o[1], o[2]};
    for (const auto& clump : object.Clumps())
        ForEachClump(*clump, [&](const TClump& c) {
            bounds.Extend(std::span<const TVertex>(c.Vertices().data(), c.Vertices().size()), offset);
        });
    return bounds;
}

Bounds ObjectsBounds(std::span<const RWXObject* const> objects) {
    Bounds bounds;
    for (const RWXObject* object : objects)
        if (object) bounds.Extend(ObjectBounds(*object));
    return bounds;
}

Vec3 Bounds::Centre() const {
    // Halves first, so that a box across the whole double range has a finite centre.
    return {min_.x / 2 + max_.x / 2, min_.y / 2 + max_.y / 2, min_.z / 2 + max_.z / 2};
}

double Bounds::Radius() const {
    return Length(max_.x / 2 - min_.x / 2, max_.y / 2 - min_.y / 2, max_.z / 2 - min_.z / 2);
}

Camera FrameBounds(const Bounds& bounds, double fovyDegrees, double aspect, double yaw) {
    const Vec3 centre = bounds.Centre();
    const double radius = bounds.Radius();
    if (bounds.Empty() || !Finite(centre) || !std::isfinite(radius)) return Camera{};
    if (!ValidFovy(fovyDegrees)) fovyDegrees = kFieldOfView;
    if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 1;
    const double halfVertical = Radians(fovyDegrees) / 2;
    const double halfHorizontal = std::atan(std::tan(halfVertical) * aspect);
    const double halfAngle = std::min(halfVertical, halfHorizontal);
    Camera camera;
    camera.yaw = std::isfinite(yaw) ? yaw : 0;
    camera.pitch = kFramePitch;
    camera.height = 0;
    camera.distance = std::max(radius, kMinFrameRadius) * kFrameMargin / std::sin(halfAngle);
    if (!std::isfinite(camera.distance)) return Camera{};
    camera.targetX = centre.x;
    camera.targetY = centre.y;
    camera.targetZ = centre.z;
    return camera;
}

Vec3 EyePosition(const Camera& camera) {
    const Vec3 back = WorldDirection(camera, 0, 0, camera.distance);
    return {camera.targetX + back.x, camera.targetY + camera.height + back.y, camera.targetZ + back.z};
}

DepthRange SceneDepthRange(const Camera& camera, const Bounds& bounds) {
    if (bounds.Empty()) return {};
    const Vec3 eye = EyePosition(camera);
    const Vec3 centre = bounds.Centre();
    return DepthRangeFor(Length(eye.x - centre.x, eye.y - centre.y, eye.z - centre.z) + bounds.Radius());
}

DepthRange AroundEyeDepthRange(const Bounds& bounds) {
    if (bounds.Empty()) return {};
    const Vec3 centre = bounds.Centre();
    return DepthRangeFor(Length(centre.x, centre.y, centre.z) + bounds.Radius());
}

Camera Pan(const Camera& camera, double dxPixels, double dyPixels, int32_t viewportHeight, double fovyDegrees) {
    if (viewportHeight <= 0 || !ValidFovy(fovyDegrees) || !(camera.distance > 0) || !std::isfinite(camera.distance) ||
        !std::isfinite(dxPixels) || !std::isfinite(dyPixels))
        return camera;
    // Model units per pixel in the plane through the orbit centre, parallel to the screen.
    const double unitsPerPixel = 2 * camera.distance * std::tan(Radians(fovyDegrees) / 2) / viewportHeight;
    // The eye moves against the drag, so the world follows the pointer; screen y runs downwards.
    const Vec3 move = WorldDirection(camera, -dxPixels * unitsPerPixel, dyPixels * unitsPerPixel, 0);
    Camera out = camera;
    out.targetX += move.x;
    out.targetY += move.y;
    out.targetZ += move.z;
    return out;
}

Camera Zoom(const Camera& camera, double steps, double minDistance) {
    Camera out = camera;
    if (std::isfinite(steps)) {
        const double distance = camera.distance * std::pow(kZoomStep, steps);
        if (std::isfinite(distance)) out.distance = distance;
    }
    minDistance = UsableMinimum(minDistance);
    if (!(out.distance >= minDistance)) out.distance = minDistance;
    return out;
}

double ClampPitch(double pitch) {
    if (std::isnan(pitch)) return 0;
    return std::clamp(pitch, -kMaxPitch, kMaxPitch);
}

double MinDistance(double radius) {
    if (!(radius >= 0) || !std::isfinite(radius)) return kMinDistance;
    return std::max(kMinDistance, radius * kMinDistanceRatio);
}

Camera ClampCamera(const Camera& camera, double minDistance) {
    Camera out = camera;
    out.pitch = ClampPitch(camera.pitch);
    minDistance = UsableMinimum(minDistance);
    if (!(out.distance >= minDistance)) out.distance = minDistance;
    return out;
}

}  // namespace pelorus
