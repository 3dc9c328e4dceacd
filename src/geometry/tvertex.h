#pragma once
// Plain records of clump geometry.

#include <array>
#include <cmath>
#include <cstdint>

namespace pelorus {

// A vertex: position (already transformed), texture coordinates, normal, prelight colour.
struct TVertex {
    double x = 0, y = 0, z = 0;
    double u = 0, v = 0;
    double nx = 0, ny = 0, nz = 0;
    double r = 0, g = 0, b = 0;
};

// Three zero-based vertex numbers of the owning clump, in the order given (counter-clockwise
// seen from the front).
struct TTriangle {
    std::array<int32_t, 3> v{};
    int32_t operator[](std::size_t i) const { return v[i]; }
    bool operator==(const TTriangle&) const = default;
};

struct Vec3 {
    double x = 0, y = 0, z = 0;
    bool operator==(const Vec3&) const = default;
};

// Vector arithmetic as plain functions: no check for infinite or NaN components, which pass on.
inline Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}

// (B - A) x (C - A), not normalised: its length is twice the triangle's area.
inline Vec3 FaceNormal(const TVertex& a, const TVertex& b, const TVertex& c) {
    const double e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
    const double e2x = c.x - a.x, e2y = c.y - a.y, e2z = c.z - a.z;
    return {e1y * e2z - e1z * e2y, e1z * e2x - e1x * e2z, e1x * e2y - e1y * e2x};
}

// The face normal divided by its length; (0, 0, 0) for a triangle without area.
inline Vec3 UnitFaceNormal(const TVertex& a, const TVertex& b, const TVertex& c) {
    const Vec3 n = FaceNormal(a, b, c);
    const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (len == 0) return n;
    return {n.x / len, n.y / len, n.z / len};
}

}  // namespace pelorus
