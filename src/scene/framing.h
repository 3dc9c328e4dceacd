#pragma once
// Where the camera goes to show a model, and how the pointer and the wheel move it: the bounds
// of what is drawn, the camera that frames them, panning, zooming and the limits the camera
// keeps. Pure functions of their arguments; nothing here knows OpenGL or the window.
//
// Sign conventions are those of CameraMatrix: a positive pitch looks down on the orbit centre
// from above, screen x grows to the right and screen y downwards.

#include <cstdint>
#include <span>

#include "geometry/tvertex.h"
#include "reader/rwxobject.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "scene/viewstate.h"

namespace pelorus {

// An axis-aligned box grown to hold points; starts empty.
class Bounds {
public:
    bool Empty() const { return empty_; }

    // Grows the box to hold (x + ox, y + oy, z + oz). A point whose placed coordinates are not all
    // finite (NaN, an infinity, or a sum that overflows) is ignored; repeated points change
    // nothing.
    void Extend(double x, double y, double z, const Vec3& offset = {});
    // Every vertex position, each placed at `offset`.
    void Extend(std::span<const TVertex> vertices, const Vec3& offset = {});
    // Grows to hold another box; an empty one changes nothing.
    void Extend(const Bounds& other);

    // The corners; (0, 0, 0) for an empty box.
    Vec3 Min() const { return min_; }
    Vec3 Max() const { return max_; }
    // The middle of the box; (0, 0, 0) when empty. Finite for every box (no overflow).
    Vec3 Centre() const;
    // Half the diagonal: the radius of the sphere about the centre through the corners. 0 when
    // empty or a single point; infinite only when the box spans nearly the whole double range.
    double Radius() const;

private:
    bool empty_ = true;
    Vec3 min_, max_;
};

// The bounds of what `object` draws: the vertices of its clumps and of their children, each placed
// at the object's offset (prototypes count only where they are instanced). Empty for an object
// without vertices.
Bounds ObjectBounds(const RWXObject& object);
// The same placed at `offset` instead.
Bounds ObjectBounds(const RWXObject& object, const std::array<double, 3>& offset);
// The bounds of all `objects` together, each at its own offset; null entries are skipped.
Bounds ObjectsBounds(std::span<const RWXObject* const> objects);
// The box of the model box `model` placed by `placement`: the box itself moved for a plain
// placement, otherwise the box around its eight placed corners. Empty stays empty.
Bounds PlacedBounds(const Bounds& model, const Placement& placement);
// The bounds of the objects of `scene` where they are placed (not its ground or skybox, nor hidden
// objects); the vertices of a model that several objects share are looked at once.
Bounds SceneBounds(const TObjectMap& scene);

// Framing: the camera looks at the centre of the bounds from kFramePitch degrees above the
// horizontal, far enough that the bounding sphere fills at most 1 / kFrameMargin of the narrower
// of the vertical and horizontal fields of view (in the sine of the half angle), with height 0.
constexpr double kFramePitch = 25.0;
constexpr double kFrameMargin = 1.1;
// The smallest radius framed: a single point (or a box smaller than this) is shown as a sphere
// of this radius, at a small positive distance.
constexpr double kMinFrameRadius = 0.01;

// The camera that shows all of `bounds` in a viewport of `aspect` (width / height) with a
// vertical field of view of `fovyDegrees`, seen from `yaw` degrees. Empty bounds, and bounds
// whose centre or radius is not finite, give the default camera (Camera{}). A fovy outside
// (0, 180) counts as kFieldOfView, an aspect that is not finite and above 0 as 1, and a yaw that
// is not finite as 0.
Camera FrameBounds(const Bounds& bounds, double fovyDegrees, double aspect, double yaw);

// Where the eye of `camera` is, in world coordinates.
Vec3 EyePosition(const Camera& camera);

// Near and far planes that hold all of `bounds` seen by `camera` (the farthest point is at most
// the eye's distance to the centre plus the radius); empty bounds give the fixed planes.
DepthRange SceneDepthRange(const Camera& camera, const Bounds& bounds);

// Near and far planes for what is drawn around the eye, with the eye at the origin of `bounds`
// (the skybox, drawn with the camera's turns only): they hold every point of `bounds` whatever the
// turns, and are the fixed planes for anything within reach of them. Empty bounds give the fixed
// planes.
DepthRange AroundEyeDepthRange(const Bounds& bounds);

// Moves the target in the view plane so that a point at the orbit centre's depth (`distance`
// from the eye) follows the pointer: after a drag of (dxPixels, dyPixels) in a viewport
// `viewportHeight` pixels high with a vertical field of view of `fovyDegrees`, such a point is
// drawn exactly that many pixels further right and down. Yaw, pitch, height and distance are
// kept. A viewport height of 0 or less, a fovy outside (0, 180), a distance that is not finite
// and above 0, or a drag that is not finite leave the camera as it is.
Camera Pan(const Camera& camera, double dxPixels, double dyPixels, int32_t viewportHeight, double fovyDegrees);

// Zoom in proportion to the distance: each step multiplies it by kZoomStep (positive steps move
// in, negative ones out, fractions of a step allowed), and the result is never below
// `minDistance`. Steps that are not finite, or a result that would not be finite, keep the
// distance (still raised to `minDistance`). A `minDistance` that is negative or not finite counts
// as kMinDistance, here and in ClampCamera.
constexpr double kZoomStep = 0.9;
Camera Zoom(const Camera& camera, double steps, double minDistance);

// The pitch kept within +-kMaxPitch degrees, so the view never turns over the top; NaN gives 0.
constexpr double kMaxPitch = 89.0;
double ClampPitch(double pitch);

// The smallest distance for a model of `radius`: kMinDistanceRatio of it, never below
// kMinDistance (twice the fixed near plane, so the orbit centre is never clipped). A radius that
// is negative, NaN or infinite gives kMinDistance.
constexpr double kMinDistance = 2 * kNearPlane;
constexpr double kMinDistanceRatio = 1e-3;
double MinDistance(double radius);

// The camera within its limits: pitch clamped, distance raised to `minDistance` (a NaN distance
// becomes `minDistance`). Everything else is kept.
Camera ClampCamera(const Camera& camera, double minDistance);

}  // namespace pelorus
