#pragma once
// Where an object stands in a scene: its position, how it is turned and how large it is, and
// the matrices that put its model there. Plain data and pure functions.
//
// Everything that places objects uses these functions: drawing (opaque and transparent passes),
// bounding spheres, culling, framing, picking and export. A placement that IsPlain() is placed by
// its position alone, and callers may keep to the translation they used before turns existed
// (the matrices here are then exactly that translation).

#include <array>

#include "geometry/mat4.h"
#include "geometry/tvertex.h"

namespace pelorus {

struct Placement {
    // Where the model's origin stands, in model units (ten metres each).
    std::array<double, 3> position{};
    // Degrees. The model is turned first about its x axis by `tilt`, then about z by `roll`, then
    // about y by `yaw`, each counter-clockwise when one looks along the axis towards the origin
    // (as a script's Rotate turns): on column vectors Ry(yaw) Rz(roll) Rx(tilt).
    float yaw = 0, tilt = 0, roll = 0;
    // The model's size along its own x, y and z axes, applied before the turns. Components are
    // above 0; one that is not (or is not finite) counts as 1.
    std::array<float, 3> scale{1, 1, 1};

    // No turn and a scale of 1: the placement is the translation by `position` alone.
    bool IsPlain() const;
    bool operator==(const Placement&) const = default;
};

// The placement at `position` without turn or scale.
Placement PlacedAt(const std::array<double, 3>& position);

// The model's turns and scale without the move: Ry(yaw) Rz(roll) Rx(tilt) S. Angles that are not
// finite count as 0. The identity for a plain placement.
Mat4 TurnMatrix(const Placement& placement);

// The whole placement, T Ry(yaw) Rz(roll) Rx(tilt) S on column vectors: a point of the model is
// scaled, turned about x, z and y, then moved to the position. Exactly TranslationMatrix(position)
// for a plain placement.
Mat4 PlacementMatrix(const Placement& placement);

// The placement of batches that turn to face the viewer about the vertical (axis-aligned
// materials): the camera's turn takes the place of the object's yaw, which it would undo anyway,
// while tilt, roll, scale and position are kept: T Ry(-cameraYaw) Rz(roll) Rx(tilt) S. For a plain
// placement this is the translation followed by the turn by -cameraYaw, as unplaced facers turn.
Mat4 FacerMatrix(const Placement& placement, double cameraYaw);

// What normals of the model are multiplied by once it is placed (the inverse transpose of the
// turn and scale, not normalised): Ry(yaw) Rz(roll) Rx(tilt) S^-1. Translation-free.
Mat4 NormalMatrix(const Placement& placement);

// The point of the model's own coordinates that the placement puts at `world` (the inverse of
// PlacementMatrix).
Vec3 ToModel(const Placement& placement, const Vec3& world);

// The largest scale component (as used, see Placement::scale): how much the placement can stretch a
// length of the model.
double LargestScale(const Placement& placement);

}  // namespace pelorus
