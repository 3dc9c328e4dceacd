#include "scene/spatialgrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelorus {

SpatialGrid::SpatialGrid(std::span<const Sphere> spheres, double cellSize) : spheres_(spheres) {
    cell_ = (cellSize > 0 && std::isfinite(cellSize)) ? cellSize : kDefaultGridCell;
    double minX = std::numeric_limits<double>::infinity(), minZ = minX;
    double maxX = -minX, maxZ = -minX;
    std::vector<uint32_t> placed;
    placed.reserve(spheres.size());
    for (std::size_t i = 0; i < spheres.size(); ++i) {
        const Sphere& s = spheres[i];
        if (s.Empty()) continue;
        ++count_;
        const bool finite = std::isfinite(s.centre.x) && std::isfinite(s.centre.y) && std::isfinite(s.centre.z) &&
                            std::isfinite(s.radius);
        if (!finite) {
            large_.push_back(static_cast<uint32_t>(i));
            continue;
        }
        placed.push_back(static_cast<uint32_t>(i));
        minX = std::min(minX, s.centre.x);
        maxX = std::max(maxX, s.centre.x);
        minZ = std::min(minZ, s.centre.z);
        maxZ = std::max(maxZ, s.centre.z);
    }
    if (placed.empty()) return;
    // Cells grow until the grid is small enough.
    for (;;) {
        columns_ = static_cast<int64_t>(std::floor((maxX - minX) / cell_)) + 1;
        rows_ = static_cast<int64_t>(std::floor((maxZ - minZ) / cell_)) + 1;
        if (columns_ > 0 && rows_ > 0 && columns_ <= kMaxGridCells / rows_) break;
        cell_ *= 2;
    }
    minX_ = minX;
    minZ_ = minZ;
    auto cellOf = [&](const Sphere& s) {
        const auto c = std::min(columns_ - 1, static_cast<int64_t>((s.centre.x - minX_) / cell_));
        const auto r = std::min(rows_ - 1, static_cast<int64_t>((s.centre.z - minZ_) / cell_));
        return static_cast<std::size_t>(r * columns_ + c);
    };
    starts_.assign(static_cast<std::size_t>(columns_ * rows_) + 1, 0);
    std::vector<uint32_t> small;
    small.reserve(placed.size());
    for (const uint32_t i : placed) {
        if (spheres[i].radius > cell_) {
            large_.push_back(i);
            continue;
        }
        small.push_back(i);
        ++starts_[cellOf(spheres[i]) + 1];
    }
    for (std::size_t c = 1; c < starts_.size(); ++c) starts_[c] += starts_[c - 1];
    objects_.resize(small.size());
    std::vector<uint32_t> next(starts_.begin(), starts_.end() - 1);
    for (const uint32_t i : small) objects_[next[cellOf(spheres[i])]++] = i;
    std::sort(large_.begin(), large_.end());
}

void SpatialGrid::Near(const Vec3& eye, double distance, std::vector<uint32_t>& out) const {
    out.clear();
    if (!(distance >= 0)) return;
    auto within = [&](uint32_t i) {
        const Sphere& s = spheres_[i];
        if (!(std::isfinite(s.centre.x) && std::isfinite(s.centre.y) && std::isfinite(s.centre.z) &&
              std::isfinite(s.radius)))
            return true;
        const double dx = s.centre.x - eye.x, dy = s.centre.y - eye.y, dz = s.centre.z - eye.z;
        const double reach = distance + s.radius;
        return dx * dx + dy * dy + dz * dz <= reach * reach;
    };
    if (std::isinf(distance)) {
        out = objects_;
        out.insert(out.end(), large_.begin(), large_.end());
        std::sort(out.begin(), out.end());
        return;
    }
    for (const uint32_t i : large_)
        if (within(i)) out.push_back(i);
    if (columns_ > 0) {
        // A small sphere reaches at most one cell beyond the one its centre is in.
        const double reach = distance + cell_;
        const auto clampTo = [](double v, int64_t n) {
            return static_cast<int64_t>(std::clamp(std::floor(v), 0.0, static_cast<double>(n - 1)));
        };
        const double x0 = (eye.x - reach - minX_) / cell_, x1 = (eye.x + reach - minX_) / cell_;
        const double z0 = (eye.z - reach - minZ_) / cell_, z1 = (eye.z + reach - minZ_) / cell_;
        if (x1 >= 0 && z1 >= 0 && x0 < static_cast<double>(columns_) && z0 < static_cast<double>(rows_)) {
            const int64_t c0 = clampTo(x0, columns_), c1 = clampTo(x1, columns_);
            const int64_t r0 = clampTo(z0, rows_), r1 = clampTo(z1, rows_);
            for (int64_t r = r0; r <= r1; ++r)
                for (uint32_t k = starts_[static_cast<std::size_t>(r * columns_ + c0)];
                     k < starts_[static_cast<std::size_t>(r * columns_ + c1 + 1)]; ++k)
                    if (within(objects_[k])) out.push_back(objects_[k]);
        }
    }
    std::sort(out.begin(), out.end());
}

}  // namespace pelorus
