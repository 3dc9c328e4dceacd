#pragma once
// 4x4 transform matrix of the script reader. Points are row vectors multiplied on the left,
// (x, y, z, 1) x M; element (row r, column c) is m[4r + c]; the translation is m[12..14].

#include <array>

namespace pelorus {

struct TVertex;

struct RWXMatrix {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static RWXMatrix Identity() { return {}; }
    // From sixteen values in row-major order.
    static RWXMatrix FromRows(const std::array<double, 16>& values);
    static RWXMatrix Translation(double tx, double ty, double tz);
    static RWXMatrix Scaling(double sx, double sy, double sz);
    // Rotation by `angle` degrees about the axis (x, y, z), counter-clockwise when looking along
    // the axis towards the origin. The angle is converted with pi written as 3.141592. A
    // zero-length axis gives the identity.
    static RWXMatrix Rotation(double x, double y, double z, double angle);

    void SetIdentity() { *this = RWXMatrix{}; }

    // Point transform: x' = x m0 + y m4 + z m8 + m12, and so on; no fourth coordinate.
    void TransformPoint(double x, double y, double z, double& ox, double& oy, double& oz) const {
        ox = x * m[0] + y * m[4] + z * m[8] + m[12];
        oy = x * m[1] + y * m[5] + z * m[9] + m[13];
        oz = x * m[2] + y * m[6] + z * m[10] + m[14];
    }

    // A copy of `v` with its position transformed, texture coordinates and prelight colour kept
    // and its normal zero.
    TVertex TransformVertex(const TVertex& v) const;

    bool operator==(const RWXMatrix&) const = default;
};

// The ordinary matrix product a x b.
RWXMatrix Product(const RWXMatrix& a, const RWXMatrix& b);

}  // namespace pelorus
