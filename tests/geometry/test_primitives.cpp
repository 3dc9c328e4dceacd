// Primitive shapes: the documented counts, outward winding, unmirrored texture coordinates, no
// holes at seams and poles, and no output for parameters out of range.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "geometry/primitives.h"

namespace pelorus {
namespace {

using Builder = std::function<bool(PrimitiveMesh&)>;

Builder Block(double w, double h, double d) {
    return [=](PrimitiveMesh& m) { return BuildBlock(w, h, d, m); };
}
Builder Cone(double h, double r, int32_t n) {
    return [=](PrimitiveMesh& m) { return BuildCone(h, r, n, m); };
}
Builder Cylinder(double h, double rb, double rt, int32_t n) {
    return [=](PrimitiveMesh& m) { return BuildCylinder(h, rb, rt, n, m); };
}
Builder Disc(double h, double r, int32_t n) {
    return [=](PrimitiveMesh& m) { return BuildDisc(h, r, n, m); };
}
Builder Hemisphere(double r, int32_t d) {
    return [=](PrimitiveMesh& m) { return BuildHemisphere(r, d, m); };
}
Builder Sphere(double r, int32_t d) {
    return [=](PrimitiveMesh& m) { return BuildSphere(r, d, m); };
}

// Which way a face must point: away from the y axis at the face's height, away from the origin,
// along +y / -y (flat shapes), or towards the axis or the origin (shapes turned inside out).
enum class Outward { FromAxis, FromCentre, Up, Down, ToAxis, ToCentre };

struct ShapeCase {
    const char* name;
    Builder build;
    std::size_t triangles;
    std::size_t vertices;
    Vec3 min, max;
    Outward outward;
    std::vector<double> rims;  // heights of the open edges; empty for a closed shape
};

// A mesh left over from an earlier call, which every builder must replace.
PrimitiveMesh Stale() {
    PrimitiveMesh m;
    m.vertices.resize(3);
    m.triangles.push_back(TTriangle{{0, 1, 2}});
    return m;
}

void CheckShape(const ShapeCase& c) {
    PrimitiveMesh m = Stale();
    ASSERT_TRUE(c.build(m));
    ASSERT_EQ(m.triangles.size(), c.triangles);
    ASSERT_EQ(m.vertices.size(), c.vertices);
    const double scale = std::max({c.max.x - c.min.x, c.max.y - c.min.y, c.max.z - c.min.z});
    const double tol = 1e-9 * scale;

    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    double uMin = 1, uMax = 0, vMin = 1, vMax = 0;
    for (const TVertex& p : m.vertices) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        uMin = std::min(uMin, p.u), uMax = std::max(uMax, p.u);
        vMin = std::min(vMin, p.v), vMax = std::max(vMax, p.v);
    }
    for (const auto& [got, want] : {std::pair{lo, c.min}, std::pair{hi, c.max}}) {
        EXPECT_NEAR(got.x, want.x, tol);
        EXPECT_NEAR(got.y, want.y, tol);
        EXPECT_NEAR(got.z, want.z, tol);
    }
    EXPECT_EQ(uMin, 0);
    EXPECT_EQ(uMax, 1);
    EXPECT_EQ(vMin, 0);
    EXPECT_EQ(vMax, 1);

    // Directed edges by corner positions: a neighbour's reverse edge closes each one.
    std::map<std::array<double, 6>, int> edges;
    for (std::size_t t = 0; t < m.triangles.size(); ++t) {
        const TTriangle& tri = m.triangles[t];
        for (int32_t k : tri.v) ASSERT_TRUE(k >= 0 && static_cast<std::size_t>(k) < m.vertices.size());
        const TVertex &a = m.vertices[static_cast<std::size_t>(tri[0])],
                      &b = m.vertices[static_cast<std::size_t>(tri[1])],
                      &cc = m.vertices[static_cast<std::size_t>(tri[2])];
        const Vec3 n = FaceNormal(a, b, cc);
        const double len = std::sqrt(Dot(n, n));
        ASSERT_GT(len, 1e-9 * scale * scale) << "triangle " << t << " has no area";
        const Vec3 centroid{(a.x + b.x + cc.x) / 3, (a.y + b.y + cc.y) / 3, (a.z + b.z + cc.z) / 3};
        const Vec3 away = c.outward == Outward::FromAxis     ? Vec3{centroid.x, 0, centroid.z}
                          : c.outward == Outward::FromCentre ? centroid
                          : c.outward == Outward::ToAxis     ? Vec3{-centroid.x, 0, -centroid.z}
                          : c.outward == Outward::ToCentre   ? Vec3{-centroid.x, -centroid.y, -centroid.z}
                          : c.outward == Outward::Up         ? Vec3{0, 1, 0}
                                                             : Vec3{0, -1, 0};
        EXPECT_GT(Dot(n, away), 0) << "triangle " << t << " faces inward";
        // Counter-clockwise on the shape and in the texture: the image is not mirrored.
        const double uvArea = (b.u - a.u) * (cc.v - a.v) - (cc.u - a.u) * (b.v - a.v);
        EXPECT_GT(uvArea, 0) << "triangle " << t << " has a mirrored or wrapped texture";
        // On faces that are not level, v grows with height and is the same along level edges.
        const bool level = std::abs(a.y - b.y) <= tol && std::abs(a.y - cc.y) <= tol;
        for (const auto& [p, q] : {std::pair{&a, &b}, std::pair{&b, &cc}, std::pair{&cc, &a}}) {
            if (p->y < q->y - tol) {
                EXPECT_LT(p->v, q->v) << "triangle " << t;
            } else if (!level && std::abs(p->y - q->y) <= tol) {
                EXPECT_EQ(p->v, q->v) << "triangle " << t;
            }
            ++edges[{p->x, p->y, p->z, q->x, q->y, q->z}];
        }
    }
    for (const auto& [e, count] : edges) {
        EXPECT_EQ(count, 1) << "an edge is used twice the same way (a face turned over)";
        if (edges.count({e[3], e[4], e[5], e[0], e[1], e[2]}) != 0) continue;
        const bool onRim = std::any_of(c.rims.begin(), c.rims.end(), [&](double y) {
            return std::abs(e[1] - y) <= tol && std::abs(e[4] - y) <= tol;
        });
        EXPECT_TRUE(onRim) << "open edge at y " << e[1] << " to " << e[4];
    }
}

TEST(Primitives, ShapesHaveTheirCountsBoundsOutwardFacesAndUnmirroredTextures) {
    const double s3 = std::sqrt(3.0) / 2;
    const std::vector<ShapeCase> cases = {
        {"block", Block(2, 4, 6), 12, 24, {-1, -2, -3}, {1, 2, 3}, Outward::FromCentre, {}},
        {"cone of 3 starts on +x", Cone(2, 1, 3), 3, 7, {-0.5, 0, -s3}, {1, 2, s3}, Outward::FromAxis, {0}},
        {"cone", Cone(1, 2, 16), 16, 33, {-2, 0, -2}, {2, 1, 2}, Outward::FromAxis, {0}},
        {"flat cone", Cone(0, 1, 8), 8, 17, {-1, 0, -1}, {1, 0, 1}, Outward::Up, {0}},
        {"cylinder", Cylinder(3, 1, 1, 8), 16, 18, {-1, 0, -1}, {1, 3, 1}, Outward::FromAxis, {0, 3}},
        {"frustum", Cylinder(1, 2, 0.5, 12), 24, 26, {-2, 0, -2}, {2, 1, 2}, Outward::FromAxis, {0, 1}},
        {"cylinder closing at the top", Cylinder(2, 1, 0, 4), 4, 9, {-1, 0, -1}, {1, 2, 1}, Outward::FromAxis, {0}},
        {"cylinder closing at the bottom", Cylinder(2, 0, 1, 4), 4, 9, {-1, 0, -1}, {1, 2, 1}, Outward::FromAxis, {2}},
        {"flat ring wider below", Cylinder(0, 2, 1, 8), 16, 18, {-2, 0, -2}, {2, 0, 2}, Outward::Up, {0}},
        {"flat ring wider above", Cylinder(0, 1, 2, 8), 16, 18, {-2, 0, -2}, {2, 0, 2}, Outward::Down, {0}},
        {"disc", Disc(1.5, 2, 4), 2, 4, {-2, 1.5, -2}, {2, 1.5, 2}, Outward::Up, {1.5}},
        {"disc below the origin", Disc(-1, 1, 8), 6, 8, {-1, -1, -1}, {1, -1, 1}, Outward::Up, {-1}},
        {"hemisphere of one band", Hemisphere(1, 1), 4, 9, {-1, 0, -1}, {1, 1, 1}, Outward::FromCentre, {0}},
        {"hemisphere", Hemisphere(2, 3), 60, 51, {-2, 0, -2}, {2, 2, 2}, Outward::FromCentre, {0}},
        {"octahedral sphere", Sphere(1, 1), 8, 13, {-1, -1, -1}, {1, 1, 1}, Outward::FromCentre, {}},
        {"sphere", Sphere(0.5, 4), 224, 151, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}, Outward::FromCentre, {}},
        // Density 0: the coarsest shapes, a cube with its corners on the sphere and a pyramid.
        {"sphere of density 0", Sphere(std::sqrt(3.0), 0), 12, 24, {-1, -1, -1}, {1, 1, 1}, Outward::FromCentre, {}},
        {"hemisphere of density 0", Hemisphere(1, 0), 4, 9, {-1, 0, -1}, {1, 1, 1}, Outward::FromCentre, {0}},
        // A negative radius: the same shape of the radius's size, facing in (a disc: facing down).
        {"inside-out cone", Cone(1, -2, 16), 16, 33, {-2, 0, -2}, {2, 1, 2}, Outward::ToAxis, {0}},
        {"inside-out cylinder", Cylinder(3, -1, -1, 8), 16, 18, {-1, 0, -1}, {1, 3, 1}, Outward::ToAxis, {0, 3}},
        {"cylinder with one negative radius",
         Cylinder(1, 2, -0.5, 12),
         24,
         26,
         {-2, 0, -2},
         {2, 1, 2},
         Outward::ToAxis,
         {0, 1}},
        {"disc facing down", Disc(1.5, -2, 4), 2, 4, {-2, 1.5, -2}, {2, 1.5, 2}, Outward::Down, {1.5}},
        {"inside-out hemisphere", Hemisphere(-2, 3), 60, 51, {-2, 0, -2}, {2, 2, 2}, Outward::ToCentre, {0}},
        {"inside-out sphere", Sphere(-0.5, 4), 224, 151, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}, Outward::ToCentre, {}},
        {"inside-out pyramid", Hemisphere(-1, 0), 4, 9, {-1, 0, -1}, {1, 1, 1}, Outward::ToCentre, {0}},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CheckShape(c);
    }
}

TEST(Primitives, DiscTextureLiesFlatSeenFromAboveAndFromBelowWhenFacingDown) {
    PrimitiveMesh m;
    ASSERT_TRUE(BuildDisc(0, 2, 4, m));
    ASSERT_EQ(m.vertices.size(), 4u);
    for (const TVertex& p : m.vertices) {
        EXPECT_NEAR(p.u, 0.5 + p.x / 4, 1e-12);
        EXPECT_NEAR(p.v, 0.5 - p.z / 4, 1e-12);
    }
    ASSERT_TRUE(BuildDisc(0, -2, 4, m));
    ASSERT_EQ(m.vertices.size(), 4u);
    for (const TVertex& p : m.vertices) {
        EXPECT_NEAR(p.u, 0.5 + p.x / 4, 1e-12);
        EXPECT_NEAR(p.v, 0.5 + p.z / 4, 1e-12);
    }
}

TEST(Primitives, TheCubeOfDensity0HasItsCornersOnTheSphere) {
    PrimitiveMesh m;
    ASSERT_TRUE(BuildSphere(2, 0, m));
    for (const TVertex& p : m.vertices) EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 2, 1e-12);
}

TEST(Primitives, ZeroSizesKeepOnlyFacesWithArea) {
    const struct {
        const char* name;
        Builder build;
        std::size_t triangles, vertices;
    } cases[] = {
        {"flat block", Block(1, 0, 1), 4, 8},
        {"block as a line", Block(0, 2, 0), 0, 0},
        {"block as a point", Block(0, 0, 0), 0, 0},
        {"cone without radius", Cone(1, 0, 8), 0, 0},
        {"cylinder without radii", Cylinder(1, 0, 0, 8), 0, 0},
        {"cylinder without height", Cylinder(0, 1, 1, 8), 0, 0},
        {"disc without radius", Disc(1, 0, 8), 0, 0},
        {"hemisphere without radius", Hemisphere(0, 2), 0, 0},
        {"sphere without radius", Sphere(0, 2), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrimitiveMesh m = Stale();
        ASSERT_TRUE(c.build(m));
        EXPECT_EQ(m.triangles.size(), c.triangles);
        EXPECT_EQ(m.vertices.size(), c.vertices);
    }
    PrimitiveMesh plate;
    ASSERT_TRUE(BuildBlock(1, 0, 1, plate));
    ASSERT_EQ(plate.vertices.size(), 8u);
    EXPECT_GT(FaceNormal(plate.vertices[0], plate.vertices[1], plate.vertices[2]).y, 0);
    EXPECT_LT(FaceNormal(plate.vertices[4], plate.vertices[5], plate.vertices[6]).y, 0);
}

TEST(Primitives, OutOfRangeParametersBuildNothing) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();
    const struct {
        const char* name;
        Builder build;
    } cases[] = {
        {"block negative", Block(1, -1, 1)},
        {"block NaN", Block(kNaN, 1, 1)},
        {"block infinite", Block(1, 1, kInf)},
        {"cone of 2 sides", Cone(1, 1, 2)},
        {"cone of negative sides", Cone(1, 1, kMinInt)},
        {"cone above the side cap", Cone(1, 1, kMaxPrimitiveSides + 1)},
        {"cone negative height", Cone(-1, 1, 8)},
        {"cone infinite radius", Cone(1, kInf, 8)},
        {"cylinder of 2 sides", Cylinder(1, 1, 1, 2)},
        {"cylinder infinite negative radius", Cylinder(1, 1, -kInf, 8)},
        {"cylinder NaN height", Cylinder(kNaN, 1, 1, 8)},
        {"cylinder above the side cap", Cylinder(1, 1, 1, kMaxPrimitiveSides + 1)},
        {"disc of 2 sides", Disc(0, 1, 2)},
        {"disc infinite height", Disc(-kInf, 1, 8)},
        {"disc NaN radius", Disc(0, kNaN, 8)},
        {"hemisphere of negative bands", Hemisphere(1, -1)},
        {"hemisphere above the division cap", Hemisphere(1, kMaxPrimitiveDivisions + 1)},
        {"hemisphere infinite negative radius", Hemisphere(-kInf, 2)},
        {"sphere of negative bands", Sphere(1, -3)},
        {"sphere above the division cap", Sphere(1, kMaxPrimitiveDivisions + 1)},
        {"sphere NaN radius", Sphere(kNaN, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrimitiveMesh m = Stale();
        EXPECT_FALSE(c.build(m));
        EXPECT_TRUE(m.vertices.empty());
        EXPECT_TRUE(m.triangles.empty());
    }
}

TEST(Primitives, CountsAtTheCapsStayNearAMillionTriangles) {
    PrimitiveMesh m;
    ASSERT_TRUE(BuildSphere(1, kMaxPrimitiveDivisions, m));
    EXPECT_EQ(m.triangles.size(), 1046528u);
    EXPECT_EQ(m.vertices.size(), 525823u);
    ASSERT_TRUE(BuildCylinder(1, 1, 1, kMaxPrimitiveSides, m));
    EXPECT_EQ(m.triangles.size(), 2u * kMaxPrimitiveSides);
}

}  // namespace
}  // namespace pelorus
