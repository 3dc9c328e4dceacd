// Transform matrices: composition order, rotation convention, point transform.

#include <gtest/gtest.h>

#include "geometry/tvertex.h"
#include "reader/rwmatrix.h"

namespace pelorus {
namespace {

struct PointCase {
    const char* what;
    RWXMatrix m;
    double in[3];
    double out[3];
    double tolerance;
};

TEST(RWXMatrix, MapsPointsAsRowVectorsOnTheLeft) {
    const RWXMatrix translateThenScale =
        Product(RWXMatrix::Scaling(2, 2, 2), RWXMatrix::Translation(1, 0, 0));  // K <- S x (T x I)
    const PointCase cases[] = {
        {"identity", RWXMatrix{}, {1.5, -2, 3}, {1.5, -2, 3}, 0},
        {"translation", RWXMatrix::Translation(1, 2, 3), {0, 0, 0}, {1, 2, 3}, 0},
        {"scaling", RWXMatrix::Scaling(2, 3, 4), {1, 1, 1}, {2, 3, 4}, 0},
        {"rotation about y", RWXMatrix::Rotation(0, 1, 0, 90), {1, 0, 0}, {0, 0, -1}, 1e-6},
        {"rotation about z", RWXMatrix::Rotation(0, 0, 1, 90), {1, 0, 0}, {0, 1, 0}, 1e-6},
        {"axis length ignored", RWXMatrix::Rotation(0, 0, 5, 90), {1, 0, 0}, {0, 1, 0}, 1e-6},
        {"scaling acts before an earlier translation", translateThenScale, {1, 0, 0}, {3, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        double x, y, z;
        c.m.TransformPoint(c.in[0], c.in[1], c.in[2], x, y, z);
        EXPECT_NEAR(x, c.out[0], c.tolerance) << c.what;
        EXPECT_NEAR(y, c.out[1], c.tolerance) << c.what;
        EXPECT_NEAR(z, c.out[2], c.tolerance) << c.what;
    }
}

TEST(RWXMatrix, RotationUsesTheShortenedPi) {
    // 3.141592 instead of pi leaves about 3e-7 in x after a quarter turn.
    double x, y, z;
    RWXMatrix::Rotation(0, 0, 1, 90).TransformPoint(1, 0, 0, x, y, z);
    EXPECT_NEAR(x, 3.2679e-7, 1e-9);
    EXPECT_GT(x, 0);
}

TEST(RWXMatrix, ZeroAxisRotationIsIdentityAndZeroAngleToo) {
    EXPECT_EQ(RWXMatrix::Rotation(0, 0, 0, 45), RWXMatrix{});
    const RWXMatrix r = RWXMatrix::Rotation(1, 2, 3, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(r.m[static_cast<std::size_t>(i)], RWXMatrix{}.m[static_cast<std::size_t>(i)], 1e-15);
}

TEST(RWXMatrix, VertexTransformKeepsUvAndPrelightAndClearsTheNormal) {
    TVertex v{1, 2, 3, 0.5, 0.25, 9, 9, 9, 0.1, 0.2, 0.3};
    const TVertex t = RWXMatrix::Translation(1, 0, 0).TransformVertex(v);
    EXPECT_EQ(t.x, 2);
    EXPECT_EQ(t.u, 0.5);
    EXPECT_EQ(t.v, 0.25);
    EXPECT_EQ(t.r, 0.1);
    EXPECT_EQ(t.b, 0.3);
    EXPECT_EQ(t.nx, 0);
    EXPECT_EQ(t.ny, 0);
    EXPECT_EQ(t.nz, 0);
}

}  // namespace
}  // namespace pelorus
