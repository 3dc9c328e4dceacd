// Polygon tessellation: exact triangles for the shapes people write, and no losses or hangs on
// the shapes that broke older readers.

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "geometry/tessellate.h"

namespace pelorus {
namespace {

using Tris = std::vector<TTriangle>;
TTriangle T(int a, int b, int c) {
    return TTriangle{{a, b, c}};
}

std::vector<TVertex> Points(std::initializer_list<std::array<double, 3>> xyz) {
    std::vector<TVertex> v;
    for (const auto& p : xyz) v.push_back(TVertex{p[0], p[1], p[2]});
    return v;
}

std::vector<int32_t> Range(int n) {
    std::vector<int32_t> r(static_cast<std::size_t>(n));
    std::iota(r.begin(), r.end(), 0);
    return r;
}

Tris Tessellate(const std::vector<TVertex>& v, const std::vector<int32_t>& poly) {
    Tris out;
    TessellatePolygon(v, poly, out);
    return out;
}

// Signed area in the xy plane (positive counter-clockwise).
double Area(const std::vector<TVertex>& v, const TTriangle& t) {
    const TVertex &a = v[static_cast<std::size_t>(t[0])], &b = v[static_cast<std::size_t>(t[1])],
                  &c = v[static_cast<std::size_t>(t[2])];
    return 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

double TotalArea(const std::vector<TVertex>& v, const Tris& tris) {
    double sum = 0;
    for (const auto& t : tris) sum += Area(v, t);
    return sum;
}

TEST(Tessellate, ConvexShapesGiveTheDocumentedFans) {
    const auto square = Points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(Tessellate(square, {0, 1, 2}), (Tris{T(0, 1, 2)}));
    EXPECT_EQ(Tessellate(square, {0, 1, 2, 3}), (Tris{T(0, 1, 2), T(2, 3, 0)}));
    EXPECT_EQ(Tessellate(square, {3, 2, 1, 0}), (Tris{T(3, 2, 1), T(1, 0, 3)}));  // clockwise: same pattern
    const auto pentagon = Points({{0, 0, 0}, {2, 0, 0}, {3, 1.5, 0}, {1, 3, 0}, {-1, 1.5, 0}});
    EXPECT_EQ(Tessellate(pentagon, Range(5)), (Tris{T(0, 1, 2), T(2, 3, 4), T(4, 0, 2)}));
}

TEST(Tessellate, ReflexCornerWithAVertexInsideSplitsAtTheFarthestVertex) {
    const auto v = Points({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {2, 1, 0}, {0, 4, 0}});
    EXPECT_EQ(Tessellate(v, Range(5)), (Tris{T(3, 4, 0), T(0, 1, 3), T(1, 2, 3)}));
}

TEST(Tessellate, LShapeIsCoveredExactlyWithTheSameWinding) {
    const auto v = Points({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}});
    const Tris ccw = Tessellate(v, Range(6));
    EXPECT_EQ(ccw.size(), 4u);
    EXPECT_DOUBLE_EQ(TotalArea(v, ccw), 3.0);
    for (const auto& t : ccw) EXPECT_GE(Area(v, t), 0);
    const Tris cw = Tessellate(v, {5, 4, 3, 2, 1, 0});
    EXPECT_EQ(cw.size(), 4u);
    EXPECT_DOUBLE_EQ(TotalArea(v, cw), -3.0);
    for (const auto& t : cw) EXPECT_LE(Area(v, t), 0);  // the last triple may be a sliver of no area
}

TEST(Tessellate, CollinearFirstThreeVerticesNoLongerLoseTheFace) {
    // A rectangle with an extra vertex in the middle of its first edge.
    const auto v = Points({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}});
    const Tris tris = Tessellate(v, Range(5));
    EXPECT_EQ(tris.size(), 3u);
    EXPECT_DOUBLE_EQ(TotalArea(v, tris), 2.0);
    // The same rectangle in space (tilted) and wound the other way.
    const auto tilted = Points({{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {2, 2, 3}, {0, 0, 3}});
    const Tris back = Tessellate(tilted, {4, 3, 2, 1, 0});
    EXPECT_EQ(back.size(), 3u);
}

TEST(Tessellate, PolygonsWithoutAreaGiveNothingBeyondThreeVertices) {
    const auto line = Points({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    EXPECT_TRUE(Tessellate(line, Range(5)).empty());
    EXPECT_EQ(Tessellate(line, Range(3)), (Tris{T(0, 1, 2)}));  // like a Triangle line
    const auto same = Points({{1, 1, 1}});
    EXPECT_TRUE(Tessellate(same, {0, 0, 0, 0}).empty());
}

TEST(Tessellate, LargePolygonsAreTessellatedWhole) {
    // A 1000-sided circle and a 600-tooth comb, far beyond the old 100-vertex table.
    std::vector<TVertex> circle;
    const int n = 1000;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * 3.14159265358979 * i / n;
        circle.push_back(TVertex{10 * std::cos(a), 10 * std::sin(a), 0});
    }
    const Tris tris = Tessellate(circle, Range(n));
    EXPECT_EQ(tris.size(), static_cast<std::size_t>(n - 2));
    std::vector<TVertex> comb;
    const int teeth = 300;
    for (int i = 0; i < teeth; ++i) {
        comb.push_back(TVertex{2.0 * i, 0, 0});
        comb.push_back(TVertex{2.0 * i + 1, 5, 0});
    }
    comb.push_back(TVertex{2.0 * teeth, 0, 0});
    comb.push_back(TVertex{2.0 * teeth, -1, 0});
    comb.push_back(TVertex{0, -1, 0});
    const Tris combTris = Tessellate(comb, Range(static_cast<int>(comb.size())));
    EXPECT_EQ(combTris.size(), comb.size() - 2);
    double area = 0;
    for (const auto& t : combTris) area += Area(comb, t);
    EXPECT_NEAR(std::fabs(area), 2.0 * teeth * 1 + teeth * 5.0, 1e-6);
}

TEST(Tessellate, RepeatedVerticesTerminate) {
    const auto v = Points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    const Tris tris = Tessellate(v, {0, 1, 2, 1, 2, 3, 0, 2});
    for (const auto& t : tris)
        for (int k = 0; k < 3; ++k) EXPECT_LT(t[static_cast<std::size_t>(k)], 4);
}

}  // namespace
}  // namespace pelorus

namespace pelorus {
namespace {

// Random polygons of every kind large enough for the grid: star shapes, spirals with repeated
// vertices, integer grids full of collinear and coincident points, and polygons in tilted planes.
TEST(Tessellate, GridSearchChoosesExactlyWhatTheFullScanChooses) {
    uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / static_cast<double>(1ull << 53);
    };
    for (int round = 0; round < 300; ++round) {
        const int n = 64 + static_cast<int>(next() * 400);
        const int kind = round % 4;
        std::vector<TVertex> v;
        for (int i = 0; i < n; ++i) {
            const double angle = 2 * 3.14159265358979 * i / n;
            double r = 10 + 9 * next();
            double x = r * std::cos(angle), y = r * std::sin(angle), z = 0;
            if (kind == 1) r = 1 + i % 17, x = r * std::cos(angle * 3), y = r * std::sin(angle * 3);
            if (kind == 2) x = std::floor(next() * 8), y = std::floor(next() * 8);
            if (kind == 3) z = 0.5 * x + 0.25 * y;
            v.push_back(TVertex{x, y, z});
        }
        std::vector<int32_t> poly = Range(n);
        if (kind == 1)
            for (int i = 0; i < n / 10; ++i)
                poly[static_cast<std::size_t>(next() * n)] = static_cast<int32_t>(next() * n);
        Tris byGrid, byScan;
        TessellatePolygon(v, poly, byGrid);
        TessellatePolygonByScan(v, poly, byScan);
        ASSERT_EQ(byGrid, byScan) << "round " << round << " kind " << kind << " n " << n;
    }
}

}  // namespace
}  // namespace pelorus

namespace pelorus {
namespace {

// Twice the signed area of the polygon in the xy plane, and of its triangles together.
double PolygonArea2(const std::vector<TVertex>& v, const std::vector<int32_t>& poly) {
    double sum = 0;
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const TVertex& p = v[static_cast<std::size_t>(poly[k])];
        const TVertex& q = v[static_cast<std::size_t>(poly[(k + 1) % poly.size()])];
        sum += p.x * q.y - q.x * p.y;
    }
    return sum;
}

// Polygons that made the clipping quadratic or worse: a triangle's numbers repeated a hundred
// thousand times split off one sliver per ear, and a comb of a hundred thousand teeth rejects
// most corners on every round. They end in time close to linear (before, minutes), still cover
// what they should, and keep to the polygon's vertices.
TEST(Tessellate, HostilePolygonsEndQuicklyAndStillCoverTheirArea) {
    const auto triangle = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    std::vector<int32_t> repeated;
    for (int i = 0; i < 300'000; ++i) repeated.push_back(i % 3);
    const Tris tris = Tessellate(triangle, repeated);
    EXPECT_LE(tris.size(), repeated.size() - 2);
    EXPECT_FALSE(tris.empty());
    for (const auto& t : tris)
        for (std::size_t k = 0; k < 3; ++k) ASSERT_TRUE(t[k] >= 0 && t[k] < 3);

    std::vector<TVertex> comb;
    const int teeth = 100'000;
    for (int i = 0; i < teeth; ++i) {
        comb.push_back(TVertex{2.0 * i, 0, 0});
        comb.push_back(TVertex{2.0 * i + 1, 5, 0});
    }
    comb.push_back(TVertex{2.0 * teeth, 0, 0});
    comb.push_back(TVertex{2.0 * teeth, -1, 0});
    comb.push_back(TVertex{0, -1, 0});
    const std::vector<int32_t> all = Range(static_cast<int>(comb.size()));
    const Tris combTris = Tessellate(comb, all);
    EXPECT_EQ(combTris.size(), comb.size() - 2);
    double area2 = 0;
    for (const auto& t : combTris) area2 += 2 * Area(comb, t);
    EXPECT_NEAR(area2, PolygonArea2(comb, all), 1e-6 * std::fabs(PolygonArea2(comb, all)));

    // Degenerate ones of the same size were never slow, and stay empty.
    std::vector<TVertex> line;
    for (int i = 0; i < 300'000; ++i) line.push_back(TVertex{static_cast<double>(i), 2.0 * i, 0});
    EXPECT_TRUE(Tessellate(line, Range(300'000)).empty());
    EXPECT_TRUE(Tessellate(Points({{1, 2, 3}}), std::vector<int32_t>(300'000, 0)).empty());
}

// Shapes a few thousand vertices large that cost the clipping most still get exactly the
// triangles of the unbounded clipping: only what goes far beyond anything people write is fanned.
TEST(Tessellate, CostlyButOrdinaryPolygonsKeepTheirExactTriangles) {
    std::vector<TVertex> comb;
    for (int i = 0; i < 1000; ++i) {
        comb.push_back(TVertex{2.0 * i, 0, 0});
        comb.push_back(TVertex{2.0 * i + 1, 5, 0});
    }
    comb.push_back(TVertex{2000, 0, 0});
    comb.push_back(TVertex{2000, -1, 0});
    comb.push_back(TVertex{0, -1, 0});
    const auto triangle = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    std::vector<int32_t> repeated;
    for (int i = 0; i < 900; ++i) repeated.push_back(i % 3);
    const struct {
        const std::vector<TVertex>& vertices;
        std::vector<int32_t> polygon;
    } cases[] = {{comb, Range(static_cast<int>(comb.size()))}, {triangle, repeated}};
    for (const auto& c : cases) {
        Tris bounded, unbounded;
        TessellatePolygon(c.vertices, c.polygon, bounded);
        TessellatePolygonByScan(c.vertices, c.polygon, unbounded);
        EXPECT_EQ(bounded, unbounded) << c.polygon.size();
    }
}

}  // namespace
}  // namespace pelorus
