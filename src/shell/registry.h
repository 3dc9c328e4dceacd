#pragma once
// The lines world servers read to know the space an object takes: one per model, its name and its
// bounds in whole centimetres.

#include <optional>
#include <string>
#include <string_view>

#include "scene/framing.h"

namespace pelorus {

// A coordinate this close to a whole centimetre counts as that centimetre (what reading and
// transforming add to a number written in the script).
inline constexpr double kRegistrySlackCm = 1e-6;
// Coordinates beyond this many centimetres from the origin have no registry line.
inline constexpr double kRegistryLimitCm = 1e15;

// The name a model is registered under: the file name of `path` without its folder and without a
// ".rwx" or ".zip" ending (any letter case).
std::string RegistryName(std::string_view path);

// "NAME 1 MINX MINY MINZ MAXX MAXY MAXZ": the bounds (model units, ten metres a unit) in whole
// centimetres, each minimum rounded down and each maximum rounded up, so the box always holds the
// whole model (within kRegistrySlackCm of a whole centimetre a value is taken as it). Nothing for
// empty bounds or for a coordinate beyond kRegistryLimitCm.
std::optional<std::string> RegistryLine(std::string_view name, const Bounds& bounds);

}  // namespace pelorus
