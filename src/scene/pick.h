#pragma once
// Which face of a scene lies under a pixel of the view: a ray from the eye through the pixel,
// tested against the triangles of the placed objects as they are drawn (back faces of
// single-sided materials left out, holes of masks let through, facers turned to the camera), the
// nearest one kept. Works on the model data alone; nothing here reads pixels back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/mattris.h"
#include "geometry/tclump.h"
#include "scene/culling.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "scene/viewstate.h"

namespace pelorus {

// A ray from `origin` along the unit vector `direction`, in world coordinates. Only the part of
// it between `nearest` and `farthest` (distances along it) is seen.
struct PickRay {
    Vec3 origin;
    Vec3 direction;
    double nearest = kNearPlane;
    double farthest = kFarPlane;
};

// The ray through the pixel (x, y) of a view of `width` x `height` pixels (counted from the
// top-left corner, x to the right, y downwards; the pixel's centre is x + 0.5, y + 0.5) seen by
// `camera` with the viewer's projection and the planes of `depth`: the eye is its origin and the
// part between the near and far planes (as eye-space depths) is seen. Nothing for a view without
// pixels, a pixel outside it, or a camera that gives no finite ray.
std::optional<PickRay> RayThroughPixel(const Camera& camera, int32_t width, int32_t height, int32_t x, int32_t y,
                                       const DepthRange& depth = {});

// What is looked at besides the geometry.
struct PickOptions {
    // Objects whose sphere lies wholly farther from the eye than this are not drawn, nor picked
    // (kDrawEverything: all).
    double drawDistance = kDrawEverything;
    // The clock that chooses the frame of animated masks (see AnimationFrame).
    int64_t timeMs = 0;
};

// The face a ray meets first.
struct FaceHit {
    std::size_t object = 0;          // the scene's object
    const TClump* clump = nullptr;   // the clump holding the face
    std::vector<int32_t> clumpPath;  // its top-level clump's index, then a child index per level
    const MatTris* batch = nullptr;  // the batch of the face (its material and tag)
    int32_t batchIndex = 0;          // the batch's place in its clump
    int32_t triangle = 0;            // the face's place in its batch
    uint32_t line = 0;               // the script line that made it (0: none)
    // The prototype instance it was copied by; null when it was not made by instancing.
    const MatTris::InstanceRun* instance = nullptr;
    Vec3 point;               // where the ray meets it, in world coordinates
    double distance = 0;      // from the ray's origin to the point
    double u = 0, v = 0;      // the point's texture coordinates
    bool frontFacing = true;  // the ray meets its front (false only for double-sided materials)
};

// The nearest face of `scene`'s objects that `ray` meets within its seen part, seen with camera
// yaw `cameraYaw` (which turns facers). Faces are picked as they are drawn: objects that are
// hidden or beyond the draw distance are passed over, as are faces of materials drawn as points
// or lines, faces without opacity, back faces of single-sided materials, faces without area, and
// the points of a masked face where its mask is clear (alpha 0). Ground and skybox belong to the
// world, not the model, and are never picked. Nothing when no face is met.
std::optional<FaceHit> PickFace(const TObjectMap& scene, const PickRay& ray, double cameraYaw,
                                const PickOptions& options = {});

// The corners of the picked face where they are drawn with camera yaw `cameraYaw`, in world
// coordinates; nothing when `hit` does not name a face of `scene`.
std::optional<std::array<Vec3, 3>> FaceCorners(const TObjectMap& scene, const FaceHit& hit, double cameraYaw);

// The camera turned and raised as `camera` is, orbiting `point` instead: its orbit centre (the
// target raised by the height) is the point, and its distance the eye's present distance to the
// point, at least `minDistance`. A point that is not finite leaves the camera as it is.
Camera OrbitCentredOn(const Camera& camera, const Vec3& point, double minDistance);

// Where the ray meets the triangle a, b, c: the distance along it and the barycentric weights of b
// and c. Nothing for a ray parallel to its plane, a triangle without area, or a point outside it.
// Both faces are met.
struct RayTriangleHit {
    double distance = 0;
    double wb = 0, wc = 0;
    bool front = true;  // the ray comes from the side a, b, c turn counter-clockwise on
};
std::optional<RayTriangleHit> IntersectTriangle(const PickRay& ray, const Vec3& a, const Vec3& b, const Vec3& c);

// Whether a masked texture lets the point at texture coordinates (u, v) show: false where the
// texel's alpha is 0. `rgba` holds `width` x `height` texels, `frameCount` frames one below the
// other, of which `frame` is used; coordinates repeat outside 0 to 1 unless `clamp`. Anything
// without pixels (or a size that does not match them) shows.
bool TexelShows(const std::vector<uint8_t>& rgba, int32_t width, int32_t height, int32_t frameCount, int32_t frame,
                double u, double v, bool clamp);

}  // namespace pelorus
