#pragma once
// 4 x 4 matrices in OpenGL's layout, for placing models and for the view: plain values and pure
// functions.

#include <array>

namespace pelorus {

// A 4 x 4 matrix in OpenGL's column-major order: element (row r, column c) is m[c * 4 + r], the
// translation sits in m[12], m[13], m[14]. Points are column vectors multiplied on the right.
using Mat4 = std::array<double, 16>;

Mat4 IdentityMatrix();
// a x b: applying the result to a point applies b first, then a (as glMultMatrix does).
Mat4 Multiply(const Mat4& a, const Mat4& b);
Mat4 TranslationMatrix(double x, double y, double z);
Mat4 ScalingMatrix(double x, double y, double z);
// A turn of `degrees` about the axis (x, y, z), as glRotated makes it: counter-clockwise when one
// looks along the axis towards the origin. A zero axis gives the identity.
Mat4 RotationMatrix(double degrees, double x, double y, double z);

struct Vec4 {
    double x = 0, y = 0, z = 0, w = 1;
};
Vec4 Transform(const Mat4& m, const Vec4& p);

}  // namespace pelorus
