#include "geometry/mat4.h"

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

Mat4 ScalingMatrix(double x, double y, double z) {
    Mat4 m = IdentityMatrix();
    m[0] = x;
    m[5] = y;
    m[10] = z;
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

Vec4 Transform(const Mat4& m, const Vec4& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12] * p.w, m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13] * p.w,
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14] * p.w, m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15] * p.w};
}

}  // namespace pelorus
