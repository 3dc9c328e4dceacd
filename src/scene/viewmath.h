#pragma once
// The arithmetic of a frame without OpenGL: matrices in OpenGL's layout, the orbiting camera, the
// projection, the backdrop strip and the clock of texture animation. Everything here is a pure
// function of its arguments.

#include <array>
#include <cstdint>

#include "geometry/mat4.h"
#include "scene/viewstate.h"

namespace pelorus {

// As gluPerspective: `fovyDegrees` vertical field of view. An aspect, near or far value that
// leaves the frustum without volume (aspect <= 0, near <= 0, far <= near, fovy not in (0, 180))
// gives the identity.
Mat4 PerspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar);

// The viewer's projection for a viewport of `width` x `height` pixels: 50 degrees vertically,
// near plane 0.001, far plane 40 model units. A height of 0 or less gives the identity.
constexpr double kFieldOfView = 50.0;
constexpr double kNearPlane = 0.001;
constexpr double kFarPlane = 40.0;
Mat4 ViewerProjection(int32_t width, int32_t height);

// Near and far planes that follow the scene: a scene whose farthest point lies `farthest` model
// units from the eye stays inside the far plane (with 5% to spare), and the near plane keeps the
// ratio far / near of the fixed planes above (40,000), so a framed model of any size gets the
// depth precision a small one has. The fixed planes are the lower bounds: a scene within 40 / 1.05
// units of the eye, and a farthest distance that is negative, not finite or whose far plane would
// not be finite, give exactly 0.001 and 40.
struct DepthRange {
    double zNear = kNearPlane;
    double zFar = kFarPlane;
    bool operator==(const DepthRange&) const = default;
};
constexpr double kFarMargin = 1.05;
constexpr double kDepthRatio = kFarPlane / kNearPlane;
DepthRange DepthRangeFor(double farthest);
// The viewer's projection with the planes of `depth` instead of the fixed ones; with the default
// DepthRange the same matrix as ViewerProjection(width, height).
Mat4 ViewerProjection(int32_t width, int32_t height, const DepthRange& depth);

// The camera's modelview: the world turned by yaw about its vertical axis, lowered by the
// height, tilted by pitch and pushed `distance` away from the eye, after the target has been
// moved to the origin. The camera orbits the target raised by the height (the world's origin for
// a target of 0, 0, 0); a positive pitch looks down on it from above. No value is clamped; any
// finite camera gives a finite matrix.
Mat4 CameraMatrix(const Camera& camera);
// The same turns without the moves: pitch and yaw only, so that the eye sits at the origin of
// what is drawn under it (the skybox). Height, distance and target play no part.
Mat4 SkyboxMatrix(const Camera& camera);

// Where a point of the world lands in a viewport of width x height pixels, counted from the
// top-left corner (x to the right, y downwards, pixel centres at .5). `visible` is false for a
// point behind the eye or outside the near and far planes.
struct ScreenPoint {
    double x = 0, y = 0;
    bool visible = false;
};
ScreenPoint ProjectToScreen(const Mat4& projection, const Mat4& modelview, double x, double y, double z, int32_t width,
                            int32_t height);

// The backdrop quad: texture coordinates (s, t) and window position (x, y) of its four corners
// in drawing order, in a pixel space whose origin is the centre of the window. The image keeps
// its own pixel size and repeats across the window; its bottom row lies on the horizon, which
// sits H x pitch / 45 pixels above the centre; a full turn of yaw scrolls it by one image width.
struct BackdropCorner {
    double s = 0, t = 0, x = 0, y = 0;
};
// `imageWidth` and `imageHeight` must be above 0 (the quad is not drawn otherwise); with 0 the
// texture coordinates are 0 instead of infinite.
std::array<BackdropCorner, 4> BackdropQuad(int32_t width, int32_t height, int32_t imageWidth, int32_t imageHeight,
                                           double yaw, double pitch);

// The frame of an animated texture shown at `milliseconds` on a steady clock: one frame per
// 200 ms, all textures in step. 0 for a frame count of 1 or less; negative times count back.
constexpr int64_t kMillisecondsPerFrame = 200;
int32_t AnimationFrame(int64_t milliseconds, int32_t frameCount);

// Milliseconds on the steady clock, the time base of texture animation.
int64_t SteadyMilliseconds();

}  // namespace pelorus
