#include "geometry/placement.h"

#include <algorithm>
#include <cmath>

namespace pelorus {
namespace {

double Angle(float degrees) {
    return std::isfinite(degrees) ? static_cast<double>(degrees) : 0.0;
}

double ScaleOf(float s) {
    return std::isfinite(s) && s > 0 ? static_cast<double>(s) : 1.0;
}

// Rz(roll) Rx(tilt) S, the part of the turn that facers keep.
Mat4 TiltRollScale(const Placement& p) {
    Mat4 m = IdentityMatrix();
    if (Angle(p.roll) != 0) m = RotationMatrix(Angle(p.roll), 0, 0, 1);
    if (Angle(p.tilt) != 0) m = Multiply(m, RotationMatrix(Angle(p.tilt), 1, 0, 0));
    const double sx = ScaleOf(p.scale[0]), sy = ScaleOf(p.scale[1]), sz = ScaleOf(p.scale[2]);
    if (sx != 1 || sy != 1 || sz != 1) m = Multiply(m, ScalingMatrix(sx, sy, sz));
    return m;
}

}  // namespace

bool Placement::IsPlain() const {
    return Angle(yaw) == 0 && Angle(tilt) == 0 && Angle(roll) == 0 && ScaleOf(scale[0]) == 1 &&
           ScaleOf(scale[1]) == 1 && ScaleOf(scale[2]) == 1;
}

Placement PlacedAt(const std::array<double, 3>& position) {
    Placement p;
    p.position = position;
    return p;
}

Mat4 TurnMatrix(const Placement& p) {
    if (p.IsPlain()) return IdentityMatrix();
    const Mat4 rest = TiltRollScale(p);
    return Angle(p.yaw) == 0 ? rest : Multiply(RotationMatrix(Angle(p.yaw), 0, 1, 0), rest);
}

Mat4 PlacementMatrix(const Placement& p) {
    const Mat4 translation = TranslationMatrix(p.position[0], p.position[1], p.position[2]);
    if (p.IsPlain()) return translation;
    return Multiply(translation, TurnMatrix(p));
}

Mat4 FacerMatrix(const Placement& p, double cameraYaw) {
    Mat4 m =
        Multiply(TranslationMatrix(p.position[0], p.position[1], p.position[2]), RotationMatrix(-cameraYaw, 0, 1, 0));
    if (!p.IsPlain()) m = Multiply(m, TiltRollScale(p));
    return m;
}

Mat4 NormalMatrix(const Placement& p) {
    if (p.IsPlain()) return IdentityMatrix();
    Placement inverseScale = p;
    for (std::size_t i = 0; i < 3; ++i) inverseScale.scale[i] = static_cast<float>(1.0 / ScaleOf(p.scale[i]));
    return TurnMatrix(inverseScale);
}

Vec3 ToModel(const Placement& p, const Vec3& world) {
    const Vec3 moved{world.x - p.position[0], world.y - p.position[1], world.z - p.position[2]};
    if (p.IsPlain()) return moved;
    // S^-1 Rx(-tilt) Rz(-roll) Ry(-yaw): the turns undone in the opposite order.
    Mat4 undo = ScalingMatrix(1 / ScaleOf(p.scale[0]), 1 / ScaleOf(p.scale[1]), 1 / ScaleOf(p.scale[2]));
    undo = Multiply(undo, RotationMatrix(-Angle(p.tilt), 1, 0, 0));
    undo = Multiply(undo, RotationMatrix(-Angle(p.roll), 0, 0, 1));
    undo = Multiply(undo, RotationMatrix(-Angle(p.yaw), 0, 1, 0));
    const Vec4 v = Transform(undo, {moved.x, moved.y, moved.z, 1});
    return {v.x, v.y, v.z};
}

double LargestScale(const Placement& p) {
    return std::max({ScaleOf(p.scale[0]), ScaleOf(p.scale[1]), ScaleOf(p.scale[2])});
}

}  // namespace pelorus
