#include "scene/viewmath.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace pelorus {

Mat4 IdentityMatrix() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[static_cast<std::size_t>(k * 4 + r)] * b[static_cast<std::size_t>(c * 4 + k)];
            out[static_cast<std::size_t>(c * 4 + r)] = sum;
        }
    return out;
}

Mat4 TranslationMatrix(double x, double y, double z) {
    Mat4 m = IdentityMatrix();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat4 RotationMatrix(double degrees, double x, double y, double z) {
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0 || !std::isfinite(len)) return IdentityMatrix();
    x /= len;
    y /= len;
    z /= len;
    const double a = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(a), s = std::sin(a), t = 1 - c;
    // Column-major: m[col * 4 + row].
    return {t * x * x + c,
            t * x * y + s * z,
            t * x * z - s * y,
            0,
            t * x * y - s * z,
            t * y * y + c,
            t * y * z + s * x,
            0,
            t * x * z + s * y,
            t * y * z - s * x,
            t * z * z + c,
            0,
            0,
            0,
            0,
            1};
}

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

Vec4 Transform(const Mat4& m, const Vec4& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12] * p.w, m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13] * p.w,
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14] * p.w, m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15] * p.w};
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
