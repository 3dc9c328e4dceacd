#pragma once
// Finding the objects near a point without looking at every object: a uniform grid over the
// ground plane (x and z) of the objects' bounding spheres. Plain data; built once for a set of
// spheres, asked many times.

#include <cstdint>
#include <span>
#include <vector>

#include "scene/culling.h"

namespace pelorus {

class SpatialGrid {
public:
    // An empty grid: Near finds nothing.
    SpatialGrid() = default;
    // A grid over `spheres` (object i has spheres[i]) with square cells of `cellSize` model units
    // (a size that is not above 0, or not finite, is kDefaultGridCell). Empty spheres (objects
    // without vertices) are left out; spheres whose centre or radius is not finite are always
    // found. A grid of more than kMaxGridCells cells grows its cells until it has no more. Spheres
    // larger than a cell are kept aside and looked at by every Near.
    explicit SpatialGrid(std::span<const Sphere> spheres, double cellSize = 0);

    // Sets `out` to the objects whose sphere comes within `distance` of `eye` (in three
    // dimensions: the sphere's centre at most distance + radius away), in ascending order, each
    // once. A distance that is negative or not a number finds nothing; an infinite one finds every
    // object the grid holds.
    void Near(const Vec3& eye, double distance, std::vector<uint32_t>& out) const;

    std::size_t Size() const { return count_; }

private:
    std::span<const Sphere> spheres_;
    double cell_ = 1;
    double minX_ = 0, minZ_ = 0;
    int64_t columns_ = 0, rows_ = 0;
    // The objects of each cell, cell by cell (row-major): those of cell c are
    // objects_[starts_[c] .. starts_[c + 1]).
    std::vector<uint32_t> starts_;
    std::vector<uint32_t> objects_;
    std::vector<uint32_t> large_;  // spheres larger than a cell, or not finite
    std::size_t count_ = 0;
};

inline constexpr double kDefaultGridCell = 2.0;  // model units: 20 m
inline constexpr int64_t kMaxGridCells = int64_t{1} << 22;

}  // namespace pelorus
