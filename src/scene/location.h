#pragma once
// Places in a world as people write them: "2.5N 3W", with an optional altitude "1.2a" and an
// optional yaw in degrees, "2.5N 3W 1.2a 90". North adds to z and south takes from it, west adds
// to x and east takes from it; all in model units (ten metres a unit). The yaw is the direction
// one faces: 0 looks north (+z), 90 west (+x), turning counter-clockwise seen from above.

#include <optional>
#include <string>
#include <string_view>

#include "scene/viewstate.h"

namespace pelorus {

struct Location {
    double x = 0, y = 0, z = 0;  // model units
    std::optional<double> yaw;   // degrees, as written
    bool operator==(const Location&) const = default;
};

// Reads a location: one N or S word and one W or E word (a number followed by its letter, in
// either case, e.g. "2.5N", "0.25e"), then optionally an altitude ("1.2a") and a yaw (a bare
// number), separated by white space or commas, the first two in either order. Numbers are
// written as `1.5` or `-2` (finite). Anything else gives nothing and sets `error` to a sentence
// that says what was wrong.
std::optional<Location> ParseLocation(std::string_view text, std::string& error);

// The location in the same notation, to the centimetre (0.001 of a unit): "2.5N 3W", with the
// altitude when it is not 0 ("2.5N 3W 1.2a") and the yaw when given, in whole degrees 0 to 359.
// Non-finite values are written as 0.
std::string FormatLocation(const Location& location);

// `camera` with its orbit centre at `location` (the target there, no height) and, when the
// location has a yaw, turned so that it looks in that direction. Pitch and distance are kept.
Camera CameraAt(Camera camera, const Location& location);

// Where `camera` orbits, with the direction it looks as the yaw.
Location LocationOf(const Camera& camera);

}  // namespace pelorus
