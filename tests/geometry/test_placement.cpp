// Placing a model: the order and sense of its turns, scale before turns, translation last, and
// the matrices derived from the placement.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geometry/placement.h"
#include "reader/rwmatrix.h"

namespace pelorus {
namespace {

Placement Turned(float yaw, float tilt, float roll, std::array<double, 3> position = {0, 0, 0},
                 std::array<float, 3> scale = {1, 1, 1}) {
    Placement p;
    p.position = position;
    p.yaw = yaw;
    p.tilt = tilt;
    p.roll = roll;
    p.scale = scale;
    return p;
}

Vec3 Apply(const Mat4& m, const Vec3& v) {
    const Vec4 r = Transform(m, {v.x, v.y, v.z, 1});
    return {r.x, r.y, r.z};
}

void ExpectNear(const Vec3& got, const Vec3& want, double tolerance, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

// Each axis alone, and each pair, on points worked out by hand: a quarter turn about y takes +x to
// -z, about x takes +y to +z, about z takes +x to +y (counter-clockwise looking towards the
// origin); tilt acts first, then roll, then yaw; scale before any turn; the move last.
TEST(PlacementMatrix, TurnsEachAxisInItsSenseAndOrder) {
    struct Case {
        const char* what;
        Placement p;
        Vec3 in, out;
    };
    const Case cases[] = {
        {"yaw takes +x to -z", Turned(90, 0, 0), {1, 0, 0}, {0, 0, -1}},
        {"yaw takes +z to +x", Turned(90, 0, 0), {0, 0, 1}, {1, 0, 0}},
        {"tilt takes +y to +z", Turned(0, 90, 0), {0, 1, 0}, {0, 0, 1}},
        {"tilt takes +z to -y", Turned(0, 90, 0), {0, 0, 1}, {0, -1, 0}},
        {"roll takes +x to +y", Turned(0, 0, 90), {1, 0, 0}, {0, 1, 0}},
        {"roll takes +y to -x", Turned(0, 0, 90), {0, 1, 0}, {-1, 0, 0}},
        {"tilt before yaw", Turned(90, 90, 0), {0, 1, 0}, {1, 0, 0}},
        {"roll before yaw", Turned(90, 0, 90), {0, 1, 0}, {0, 0, 1}},
        {"roll before yaw keeps +x up", Turned(90, 0, 90), {1, 0, 0}, {0, 1, 0}},
        {"tilt before roll", Turned(0, 90, 90), {0, 0, 1}, {1, 0, 0}},
        {"tilt before roll keeps +y", Turned(0, 90, 90), {0, 1, 0}, {0, 0, 1}},
        {"negative yaw turns back", Turned(-90, 0, 0), {1, 0, 0}, {0, 0, 1}},
        {"scale first, turn, then move", Turned(90, 0, 0, {10, 0, 0}, {2, 3, 4}), {1, 1, 1}, {14, 3, -2}},
        {"move alone", Turned(0, 0, 0, {1, -2, 3}), {1, 1, 1}, {2, -1, 4}},
    };
    for (const Case& c : cases) ExpectNear(Apply(PlacementMatrix(c.p), c.in), c.out, 1e-12, c.what);
}

// The whole matrix of a 30 degree turn about each axis, element by element (column-major), with
// the translation in the last column.
TEST(PlacementMatrix, MatchesHandWrittenMatricesOfEachAxis) {
    const double c = std::sqrt(3.0) / 2, s = 0.5;
    struct Case {
        const char* what;
        Placement p;
        Mat4 m;
    };
    const Case cases[] = {
        {"yaw", Turned(30, 0, 0, {1, 2, 3}), {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 1, 2, 3, 1}},
        {"tilt", Turned(0, 30, 0, {1, 2, 3}), {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 1, 2, 3, 1}},
        {"roll", Turned(0, 0, 30, {1, 2, 3}), {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}},
        {"roll with scale",
         Turned(0, 0, 30, {0, 0, 0}, {2, 1, 1}),
         {2 * c, 2 * s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    };
    for (const Case& k : cases) {
        const Mat4 m = PlacementMatrix(k.p);
        for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(m[i], k.m[i], 1e-12) << k.what << " element " << i;
    }
}

// A placement turns the model as a script's Rotate commands would: "Rotate 0 1 0 yaw", then
// "Rotate 0 0 1 roll", then "Rotate 1 0 0 tilt" (the last command acts first on the vertices).
TEST(PlacementMatrix, TurnsAsTheScriptsRotateCommandsDo) {
    const Placement p = Turned(37, -52, 121);
    const RWXMatrix script = Product(RWXMatrix::Rotation(1, 0, 0, -52),
                                     Product(RWXMatrix::Rotation(0, 0, 1, 121), RWXMatrix::Rotation(0, 1, 0, 37)));
    const Vec3 points[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.3, -2, 5}};
    for (const Vec3& v : points) {
        Vec3 want;
        script.TransformPoint(v.x, v.y, v.z, want.x, want.y, want.z);
        // The script's turns use pi written as 3.141592.
        ExpectNear(Apply(PlacementMatrix(p), v), want, 1e-5, "point");
    }
}

// Objects without turn or scale must draw exactly as they always did: the matrix is the very
// translation, bit for bit, and nothing else counts as a turn.
TEST(PlacementMatrix, PlainPlacementIsExactlyTheTranslation) {
    const Placement p = PlacedAt({0.1, 0.025, -7.3});
    EXPECT_TRUE(p.IsPlain());
    EXPECT_EQ(PlacementMatrix(p), TranslationMatrix(0.1, 0.025, -7.3));
    EXPECT_EQ(TurnMatrix(p), IdentityMatrix());
    EXPECT_EQ(NormalMatrix(p), IdentityMatrix());
    EXPECT_FALSE(Turned(0, 0, 0.1f).IsPlain());
    EXPECT_FALSE(Turned(0, 0, 0, {0, 0, 0}, {1, 1, 1.5f}).IsPlain());
}

TEST(PlacementMatrix, DegenerateValuesCountAsNoTurnAndNoScale) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(Turned(nan, nan, inf).IsPlain());
    EXPECT_EQ(PlacementMatrix(Turned(nan, 0, 0, {1, 2, 3})), TranslationMatrix(1, 2, 3));
    EXPECT_TRUE(Turned(0, 0, 0, {0, 0, 0}, {0, -2, nan}).IsPlain());
    EXPECT_EQ(LargestScale(Turned(0, 0, 0, {0, 0, 0}, {0.5f, 3, -9})), 3.0);
    EXPECT_EQ(LargestScale(Turned(0, 0, 0, {0, 0, 0}, {0, 0, 0})), 1.0);
}

TEST(PlacementMatrix, ToModelUndoesThePlacement) {
    const Placement p = Turned(200, 33, -71, {4, -1, 2.5}, {0.5f, 2, 3});
    const Vec3 points[] = {{0, 0, 0}, {1, 2, 3}, {-0.7, 0.1, 9}};
    for (const Vec3& v : points) ExpectNear(ToModel(p, Apply(PlacementMatrix(p), v)), v, 1e-9, "round trip");
    ExpectNear(ToModel(PlacedAt({1, 2, 3}), {1, 2, 3}), {0, 0, 0}, 0, "plain");
}

// Under a scale that is not the same on every axis, normals must not simply be turned: the placed
// normal stays at right angles to the placed face.
TEST(PlacementMatrix, NormalMatrixKeepsNormalsPerpendicularToPlacedFaces) {
    const Placement p = Turned(40, 25, -10, {3, 0, 0}, {4, 1, 0.5f});
    // The face through (0,0,0), (1,0,1), (0,1,0) has the normal (1, 0, -1) (unnormalised).
    const Mat4 m = PlacementMatrix(p);
    const Vec3 a = Apply(m, {0, 0, 0}), b = Apply(m, {1, 0, 1}), c = Apply(m, {0, 1, 0});
    const Vec4 n = Transform(NormalMatrix(p), {1, 0, -1, 0});
    const double dot1 = n.x * (b.x - a.x) + n.y * (b.y - a.y) + n.z * (b.z - a.z);
    const double dot2 = n.x * (c.x - a.x) + n.y * (c.y - a.y) + n.z * (c.z - a.z);
    EXPECT_NEAR(dot1, 0, 1e-12);
    EXPECT_NEAR(dot2, 0, 1e-12);
    EXPECT_EQ(n.w, 0);
}

// Batches that turn to face the viewer take the camera's turn instead of the object's yaw, and
// keep its tilt, roll, scale and position.
TEST(PlacementMatrix, FacersReplaceTheYawByTheCameraTurn) {
    const Placement p = Turned(75, 20, -35, {1, 2, 3}, {2, 2, 2});
    Placement cameraYaw = p;
    cameraYaw.yaw = -130;
    const Mat4 facer = FacerMatrix(p, 130), want = PlacementMatrix(cameraYaw);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(facer[i], want[i], 1e-12) << i;
    const Mat4 plain = FacerMatrix(PlacedAt({1, 0, 0}), 90);
    ExpectNear(Apply(plain, {0, 0, 1}), {1 - 1, 0, 0}, 1e-12, "plain facer turns by -yaw");
}

}  // namespace
}  // namespace pelorus
