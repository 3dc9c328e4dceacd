#pragma once
// What the eye can see, as plain arithmetic: bounding spheres of objects, the six planes of the
// view's frustum, and the distance test of a draw distance.

#include <array>
#include <limits>

#include "geometry/placement.h"
#include "geometry/tvertex.h"
#include "reader/rwxobject.h"
#include "scene/viewmath.h"

namespace pelorus {

struct Sphere {
    Vec3 centre;
    double radius = -1;  // negative: nothing to bound (an object without vertices)
    bool Empty() const { return radius < 0; }
};

// The sphere around everything `object` draws, in the object's own coordinates (its offset not
// added): around the middle of its vertices' bounds, or — when any batch is axis-aligned and so
// turns about the object's origin — around that origin, holding every vertex. Vertices that are
// not finite are left out. An object without vertices gives an empty sphere.
Sphere BoundingSphereOf(const RWXObject& object);

// The sphere `model` (in the model's own coordinates) becomes where `placement` puts the model:
// its centre placed, its radius grown by the largest scale. Turns keep a sphere about the origin
// (axis-aligned batches) where it is, so facers, which turn with the camera, stay inside. An empty
// sphere stays empty.
Sphere PlacedSphere(const Sphere& model, const Placement& placement);

// A plane a x + b y + c z + d = 0 whose normal (a, b, c) has unit length and points inside.
struct Plane {
    double a = 0, b = 0, c = 0, d = 0;
    double DistanceTo(double x, double y, double z) const { return a * x + b * y + c * z + d; }
};

// The view volume of `projection` x `modelview` in world coordinates.
struct Frustum {
    std::array<Plane, 6> planes;  // left, right, bottom, top, near, far
    // False only when the sphere lies wholly outside one plane (so some spheres beside a corner
    // of the volume count as inside: never the other way round). An empty sphere is outside.
    bool MayHold(const Sphere& sphere) const;
};
// A projection that leaves planes without a normal (an identity, or a matrix that is not
// finite) gives a frustum that holds everything.
Frustum FrustumOf(const Mat4& projection, const Mat4& modelview);

// Where the eye of `modelview` is, in world coordinates (the modelview's rotation part is taken
// to be a rotation, as the camera makes it).
Vec3 EyeOf(const Mat4& modelview);

// A draw distance in model units; kDrawEverything (or anything not above 0) draws all. A sphere
// is beyond it when its nearest point lies farther from the eye.
inline constexpr double kDrawEverything = std::numeric_limits<double>::infinity();
bool IsBeyond(const Sphere& sphere, const Vec3& eye, double drawDistance);

// True when every point of the sphere lies deeper in front of the eye of `modelview` than
// `fogEnd` (eye-space depth, which linear fog uses or exceeds), so fog hides it wholly. A fog end
// that is not above 0 hides nothing.
bool IsFoggedOut(const Sphere& sphere, const Mat4& modelview, double fogEnd);

}  // namespace pelorus
