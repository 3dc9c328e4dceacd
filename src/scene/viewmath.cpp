#include "scene/viewmath.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace pelorus {

Mat4 PerspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar) {
    if (!(aspect > 0) || !(zNear > 0) || !(zFar > zNear) || !(fovyDegrees > 0 && fovyDegrees < 180))
        return IdentityMatrix();
    const double f = 1.0 / std::tan(fovyDegrees * std::numbers::pi / 360.0);
    Mat4 m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
    return m;
}

Mat4 ViewerProjection(int32_t width, int32_t height) {
    if (height <= 0) return IdentityMatrix();
    return PerspectiveMatrix(kFieldOfView, static_cast<double>(width) / height, kNearPlane, kFarPlane);
}

DepthRange DepthRangeFor(double farthest) {
    const DepthRange fixed;
    if (!(farthest >= 0) || !std::isfinite(farthest)) return fixed;
    const double zFar = farthest * kFarMargin;
    if (!(zFar > kFarPlane) || !std::isfinite(zFar)) return fixed;
    return {std::max(kNearPlane, zFar / kDepthRatio), zFar};
}

Mat4 ViewerProjection(int32_t width, int32_t height, const DepthRange& depth) {
    if (height <= 0) return IdentityMatrix();
    return PerspectiveMatrix(kFieldOfView, static_cast<double>(width) / height, depth.zNear, depth.zFar);
}

Mat4 CameraMatrix(const Camera& camera) {
    Mat4 m = TranslationMatrix(0, 0, -camera.distance);
    m = Multiply(m, RotationMatrix(camera.pitch, 1, 0, 0));
    m = Multiply(m, TranslationMatrix(0, -camera.height, 0));
    m = Multiply(m, RotationMatrix(camera.yaw, 0, 1, 0));
    // A target at the origin leaves the matrix exactly as the orbit about the origin makes it.
    if (camera.targetX != 0 || camera.targetY != 0 || camera.targetZ != 0)
        m = Multiply(m, TranslationMatrix(-camera.targetX, -camera.targetY, -camera.targetZ));
    return m;
}

Mat4 SkyboxMatrix(const Camera& camera) {
    return Multiply(RotationMatrix(camera.pitch, 1, 0, 0), RotationMatrix(camera.yaw, 0, 1, 0));
}

ScreenPoint ProjectToScreen(const Mat4& projection, const Mat4& modelview, double x, double y, double z, int32_t width,
                            int32_t height) {
    const Vec4 clip = Transform(projection, Transform(modelview, {x, y, z, 1}));
    ScreenPoint out;
    if (!(clip.w > 0)) return out;
    const double nx = clip.x / clip.w, ny = clip.y / clip.w, nz = clip.z / clip.w;
    out.x = (nx + 1) * 0.5 * width;
    out.y = (1 - (ny + 1) * 0.5) * height;
    out.visible = nz >= -1 && nz <= 1;
    return out;
}

std::array<BackdropCorner, 4> BackdropQuad(int32_t width, int32_t height, int32_t imageWidth, int32_t imageHeight,
                                           double yaw, double pitch) {
    const double halfW = width / 2.0;
    const double s0 = yaw / 360.0;
    const double y0 = height * pitch / 45.0;
    const double ih = imageHeight;
    const double span = imageWidth > 0 ? halfW / imageWidth : 0.0;
    return {{{-span + s0, 0, -halfW, y0 + ih},
             {-span + s0, 1, -halfW, y0},
             {span + s0, 1, halfW, y0},
             {span + s0, 0, halfW, y0 + ih}}};
}

int32_t AnimationFrame(int64_t milliseconds, int32_t frameCount) {
    if (frameCount <= 1) return 0;
    int64_t step = milliseconds / kMillisecondsPerFrame;
    if (milliseconds < 0 && milliseconds % kMillisecondsPerFrame != 0) --step;  // round towards minus infinity
    int64_t frame = step % frameCount;
    if (frame < 0) frame += frameCount;
    return static_cast<int32_t>(frame);
}

int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace pelorus
