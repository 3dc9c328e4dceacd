// The grid that finds the objects near a point: always the same objects as looking at every one,
// whatever the spheres (large, empty, far apart, not finite) and the distance.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "scene/spatialgrid.h"

namespace pelorus {
namespace {

std::vector<uint32_t> BruteForce(const std::vector<Sphere>& spheres, const Vec3& eye, double distance) {
    std::vector<uint32_t> out;
    if (!(distance >= 0)) return out;
    for (std::size_t i = 0; i < spheres.size(); ++i) {
        const Sphere& s = spheres[i];
        if (s.Empty()) continue;
        const double d = std::hypot(s.centre.x - eye.x, s.centre.y - eye.y, s.centre.z - eye.z);
        if (!std::isfinite(d) || !std::isfinite(s.radius) || std::isinf(distance) || d <= distance + s.radius)
            out.push_back(static_cast<uint32_t>(i));
    }
    return out;
}

TEST(SpatialGrid, FindsWhatLookingAtEveryObjectFinds) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> place(-300, 300), height(-5, 5), size(0, 1.5);
    std::vector<Sphere> spheres;
    for (int i = 0; i < 5000; ++i) spheres.push_back({{place(random), height(random), place(random)}, size(random)});
    spheres.push_back({{0, 0, 0}, 80});      // larger than any cell
    spheres.push_back({{1e6, 0, -1e6}, 1});  // far away: the grid grows its cells
    spheres.push_back({{5, 5, 5}, -1});      // nothing to bound
    spheres.push_back({{std::numeric_limits<double>::quiet_NaN(), 0, 0}, 1});
    spheres.push_back({{2, 0, 2}, std::numeric_limits<double>::infinity()});
    for (const double cell : {0.0, 0.5, 3.0, 1000.0}) {
        const SpatialGrid grid(spheres, cell);
        EXPECT_EQ(grid.Size(), spheres.size() - 1);
        std::vector<uint32_t> got;
        for (int q = 0; q < 60; ++q) {
            const Vec3 eye{place(random), height(random) * 4, place(random)};
            for (const double distance : {0.0, 0.7, 2.0, 20.0, 150.0, 5000.0}) {
                grid.Near(eye, distance, got);
                ASSERT_EQ(got, BruteForce(spheres, eye, distance)) << "cell " << cell << " distance " << distance;
            }
        }
        grid.Near({1e6, 0, -1e6}, 0.5, got);
        EXPECT_EQ(got, BruteForce(spheres, {1e6, 0, -1e6}, 0.5));
        grid.Near({0, 0, 0}, std::numeric_limits<double>::infinity(), got);
        EXPECT_EQ(got.size(), spheres.size() - 1);
        grid.Near({0, 0, 0}, -1, got);
        EXPECT_TRUE(got.empty());
        grid.Near({0, 0, 0}, std::numeric_limits<double>::quiet_NaN(), got);
        EXPECT_TRUE(got.empty());
    }
    std::vector<uint32_t> none{1, 2};
    SpatialGrid().Near({0, 0, 0}, 10, none);
    EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace pelorus
