#include "scene/walk.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <unordered_map>

namespace pelorus {
namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

double UsableLength(double v) {
    return v > 0 && std::isfinite(v) ? v : 0;
}

}  // namespace

Camera Walked(const Camera& camera, const WalkDirections& directions, double distance) {
    if (!(distance > 0) || !std::isfinite(distance) || directions.None()) return camera;
    // The camera looks along (sin c, 0, -cos c) for a yaw c; its right is (cos c, 0, sin c).
    const double yaw = camera.yaw * std::numbers::pi / 180.0;
    const double forward = Sign(directions.forward), right = Sign(directions.right);
    double x = forward * std::sin(yaw) + right * std::cos(yaw);
    double z = -forward * std::cos(yaw) + right * std::sin(yaw);
    const double across = std::hypot(x, z);
    Camera out = camera;
    if (across > 0 && std::isfinite(across)) {
        out.targetX += x / across * distance;
        out.targetZ += z / across * distance;
    }
    out.targetY += Sign(directions.up) * distance;
    return out;
}

double WalkSpeed(double cameraDistance, double sceneRadius, bool run) {
    const double floor = std::min(kWalkFloorDistance, UsableLength(sceneRadius));
    const double speed = kWalkRate * std::max(UsableLength(cameraDistance), floor);
    return run ? speed * kRunFactor : speed;
}

Camera WorldViewAt(const Location& at, double aspect) {
    // A cube about the origin whose half diagonal is the radius.
    const double half = kWorldViewRadius / std::sqrt(3.0);
    Bounds around;
    around.Extend(-half, -half, -half);
    around.Extend(half, half, half);
    Camera camera = FrameBounds(around, kFieldOfView, aspect, 0);
    Location facing = at;
    if (!facing.yaw) facing.yaw = 0;  // north
    return CameraAt(camera, facing);
}

std::optional<std::size_t> NearestObject(const SceneObjects& objects, double x, double z) {
    std::optional<std::size_t> nearest;
    double best = 0;
    for (std::size_t i = 0; i < objects.objects.size(); ++i) {
        const PlacedObject& o = objects.objects[i];
        if (o.type != 0 || !o.visible || !objects.ModelOf(o)) continue;
        const double dx = o.placement.position[0] - x, dz = o.placement.position[2] - z;
        const double d = dx * dx + dz * dz;
        if (!std::isfinite(d)) continue;
        if (!nearest || d < best) {
            nearest = i;
            best = d;
        }
    }
    return nearest;
}

Camera WorldOpeningCamera(const SceneObjects& objects, std::string_view entryPoint, double aspect) {
    std::string why;
    if (!entryPoint.empty())
        if (const std::optional<Location> entry = ParseLocation(entryPoint, why)) return WorldViewAt(*entry, aspect);
    Location at;
    if (const std::optional<std::size_t> nearest = NearestObject(objects, 0, 0)) {
        const auto& position = objects.objects[*nearest].placement.position;
        at.x = position[0];
        at.y = position[1];
        at.z = position[2];
    }
    return WorldViewAt(at, aspect);
}

Bounds BoundsNear(const TObjectMap& scene, const Vec3& centre, double radius) {
    if (!(radius > 0) || !std::isfinite(radius)) return SceneBounds(scene);
    std::unordered_map<const RWXObject*, Bounds> models;
    Bounds bounds;
    for (std::size_t i = 0; i < scene.ObjectCount(); ++i) {
        if (!scene.Placed(i).visible || IsBeyond(scene.SphereOf(i), centre, radius)) continue;
        auto [it, added] = models.try_emplace(&scene.Object(i));
        if (added) it->second = ObjectBounds(scene.Object(i), {0, 0, 0});
        bounds.Extend(PlacedBounds(it->second, scene.PlacementOf(i)));
    }
    return bounds;
}

}  // namespace pelorus
