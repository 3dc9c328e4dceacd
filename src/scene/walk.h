#pragma once
// Moving through a world: where walking takes the orbit centre and how fast, the camera a world
// opens with, and the objects near a place. Pure functions of their arguments.

#include <cstddef>
#include <optional>
#include <string_view>

#include "reader/sceneobjects.h"
#include "scene/framing.h"
#include "scene/location.h"
#include "scene/objectmap.h"
#include "scene/viewstate.h"

namespace pelorus {

// Where a walk goes, relative to the direction the camera looks: forwards (+1) or back (-1) and
// right (+1) or left (-1) over the ground, whatever the pitch; up (+1) or down (-1) along the
// vertical. Values other than -1, 0 and 1 count by their sign.
struct WalkDirections {
    int forward = 0;
    int right = 0;
    int up = 0;
    bool None() const { return forward == 0 && right == 0 && up == 0; }
};

// `camera` with its orbit centre moved `distance` model units in `directions`: a move forwards and
// sideways together goes that far along the diagonal (not farther), and up or down adds that far
// vertically. Turns, height and distance are kept. A distance that is not finite and above 0, or
// no direction, leaves the camera as it is.
Camera Walked(const Camera& camera, const WalkDirections& directions, double distance);

// How fast walking goes, in model units per second: kWalkRate of the camera's distance from the
// orbit centre, so a far view crosses the world as quickly as a near one crosses a room; the
// distance counts as at least kWalkFloorDistance, or the scene's radius when that is smaller, so
// walking close to the ground of a world is not a crawl. kRunFactor times that with Shift.
// Distances and radii that are not finite and above 0 count as 0 (the result is then 0 only when
// both are).
inline constexpr double kWalkRate = 0.5;
inline constexpr double kWalkFloorDistance = 1.5;
inline constexpr double kRunFactor = 5;
double WalkSpeed(double cameraDistance, double sceneRadius, bool run);

// The view of a place in a world: the orbit centre at `at`, looking from kFramePitch above from
// as far as it takes to show about kWorldViewRadius around it in a view of `aspect` (width /
// height; as FrameBounds takes it), in the direction of the location's yaw, else north.
inline constexpr double kWorldViewRadius = 2.5;  // 50 m across
Camera WorldViewAt(const Location& at, double aspect);

// The object of `objects` that stands nearest to (x, z) over the ground: one of type 0, visible,
// whose model was found; the first in order among equally near ones. None when there is none.
std::optional<std::size_t> NearestObject(const SceneObjects& objects, double x, double z);

// The camera an object dump opens with: WorldViewAt the world's entry point when `entryPoint`
// reads as a location (ParseLocation), else at the position of the object nearest 0N 0W
// (NearestObject), else at 0N 0W.
Camera WorldOpeningCamera(const SceneObjects& objects, std::string_view entryPoint, double aspect);

// The bounds of the objects of `scene`, where they are placed, whose bounding spheres come within
// `radius` of `centre` (as a draw distance measures, see IsBeyond); hidden ones are left out.
// Empty when none does; a radius that is not above 0 or not finite takes them all (SceneBounds).
Bounds BoundsNear(const TObjectMap& scene, const Vec3& centre, double radius);

}  // namespace pelorus
