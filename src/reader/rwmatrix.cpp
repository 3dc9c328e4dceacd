#include "reader/rwmatrix.h"

#include <cmath>

#include "geometry/tclump.h"

namespace pelorus {

RWXMatrix RWXMatrix::FromRows(const std::array<double, 16>& values) {
    RWXMatrix r;
    r.m = values;
    return r;
}

RWXMatrix RWXMatrix::Translation(double tx, double ty, double tz) {
    RWXMatrix r;
    r.m[12] = tx;
    r.m[13] = ty;
    r.m[14] = tz;
    return r;
}

RWXMatrix RWXMatrix::Scaling(double sx, double sy, double sz) {
    RWXMatrix r;
    r.m[0] = sx;
    r.m[5] = sy;
    r.m[10] = sz;
    return r;
}

RWXMatrix RWXMatrix::Rotation(double x, double y, double z, double angle) {
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return RWXMatrix{};
    x /= len;
    y /= len;
    z /= len;
    const double theta = -angle * 3.141592 * (1.0 / 180.0);
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double t = 1 - c;
    RWXMatrix r;
    r.m = {t * x * x + c,
           t * x * y - s * z,
           t * x * z + s * y,
           0,
           t * x * y + s * z,
           t * y * y + c,
           t * y * z - s * x,
           0,
           t * x * z - s * y,
           t * y * z + s * x,
           t * z * z + c,
           0,
           0,
           0,
           0,
           1};
    return r;
}

TVertex RWXMatrix::TransformVertex(const TVertex& v) const {
    TVertex out = v;
    TransformPoint(v.x, v.y, v.z, out.x, out.y, out.z);
    out.nx = out.ny = out.nz = 0;
    return out;
}

RWXMatrix Product(const RWXMatrix& a, const RWXMatrix& b) {
    RWXMatrix r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double sum = a.m[4 * row] * b.m[col];
            for (int k = 1; k < 4; ++k) sum += a.m[4 * row + k] * b.m[4 * k + col];
            r.m[4 * row + col] = sum;
        }
    return r;
}

}  // namespace pelorus
