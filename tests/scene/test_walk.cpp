// Walking through a world: where the keys take the orbit centre, how fast, where a world opens and
// which objects are near a place.

#include <gtest/gtest.h>

#include <cmath>

#include "scene/framing.h"
#include "scene/viewmath.h"
#include "scene/walk.h"
#include "testutil.h"

namespace pelorus {
namespace {

// The direction from the eye to the orbit centre over the ground, of unit length.
Vec3 LookedAlong(const Camera& camera) {
    const Vec3 eye = EyePosition(camera);
    const double dx = camera.targetX - eye.x, dz = camera.targetZ - eye.z;
    const double length = std::hypot(dx, dz);
    return {dx / length, 0, dz / length};
}

TEST(Walking, ForwardsIsWhereTheCameraLooksAndSidewaysIsTheScreensRight) {
    for (const double yaw : {0.0, 30.0, 90.0, 180.0, -135.0}) {
        Camera camera;
        camera.yaw = yaw;
        camera.pitch = 40;  // looking down: walking stays on the ground all the same
        camera.targetX = 2;
        camera.targetY = 0.5;
        camera.targetZ = -1;
        const Vec3 along = LookedAlong(camera);
        const Camera ahead = Walked(camera, {1, 0, 0}, 3);
        EXPECT_NEAR(ahead.targetX - 2, 3 * along.x, 1e-12) << yaw;
        EXPECT_NEAR(ahead.targetZ + 1, 3 * along.z, 1e-12) << yaw;
        EXPECT_EQ(ahead.targetY, 0.5) << yaw;
        const Camera back = Walked(camera, {-1, 0, 0}, 3);
        EXPECT_NEAR(back.targetX - 2, -3 * along.x, 1e-12) << yaw;

        // The screen's right: a point there is drawn right of the centre of the view.
        const Camera right = Walked(camera, {0, 1, 0}, 1);
        const ScreenPoint p = ProjectToScreen(ViewerProjection(400, 400), CameraMatrix(camera), right.targetX,
                                              right.targetY, right.targetZ, 400, 400);
        EXPECT_GT(p.x, 250) << yaw;
        EXPECT_NEAR(p.y, 200, 1e-6) << yaw << ": straight right, no nearer nor farther";
        const Camera left = Walked(camera, {0, -1, 0}, 1);
        EXPECT_NEAR(left.targetX - 2, -(right.targetX - 2), 1e-12) << yaw;

        // Turns, height and distance stay.
        EXPECT_EQ(ahead.yaw, camera.yaw);
        EXPECT_EQ(ahead.pitch, camera.pitch);
        EXPECT_EQ(ahead.distance, camera.distance);
    }
}

TEST(Walking, DiagonalsAreNoFasterAndUpAndDownAreVertical) {
    Camera camera;
    camera.yaw = 25;
    const Camera diagonal = Walked(camera, {1, -1, 0}, 2);
    EXPECT_NEAR(std::hypot(diagonal.targetX, diagonal.targetZ), 2, 1e-12);
    EXPECT_EQ(diagonal.targetY, 0);
    const Camera up = Walked(camera, {0, 0, 1}, 2);
    EXPECT_EQ(up.targetY, 2);
    EXPECT_EQ(up.targetX, 0);
    EXPECT_EQ(Walked(camera, {0, 0, -5}, 2).targetY, -2) << "a direction counts by its sign";
    // Opposite keys together cancel.
    EXPECT_EQ(Walked(camera, {0, 0, 0}, 2), camera);
    for (const double bad : {0.0, -1.0, double{NAN}, double{INFINITY}})
        EXPECT_EQ(Walked(camera, {1, 1, 1}, bad), camera) << bad;
}

TEST(Walking, SpeedFollowsTheDistanceWithAFloorAndShiftRuns) {
    EXPECT_DOUBLE_EQ(WalkSpeed(6, 1000, false), 6 * kWalkRate);
    EXPECT_DOUBLE_EQ(WalkSpeed(60, 1000, false), 60 * kWalkRate) << "far out walks ten times as fast";
    EXPECT_DOUBLE_EQ(WalkSpeed(6, 1000, true), 6 * kWalkRate * kRunFactor);
    // Close to the ground of a world: not a crawl.
    EXPECT_DOUBLE_EQ(WalkSpeed(0.01, 1000, false), kWalkFloorDistance * kWalkRate);
    // A tiny model keeps a floor of its own size.
    EXPECT_DOUBLE_EQ(WalkSpeed(0.001, 0.02, false), 0.02 * kWalkRate);
    EXPECT_DOUBLE_EQ(WalkSpeed(NAN, 0.02, false), 0.02 * kWalkRate);
    EXPECT_DOUBLE_EQ(WalkSpeed(2, INFINITY, false), 2 * kWalkRate);
    EXPECT_EQ(WalkSpeed(-1, -1, true), 0);
}

TEST(Walking, AWorldViewShowsFiftyMetresAroundThePlaceFromAbove) {
    Location at{3, 1, -2, std::nullopt};
    const Camera camera = WorldViewAt(at, 4.0 / 3);
    EXPECT_EQ(camera.targetX, 3);
    EXPECT_EQ(camera.targetY, 1);
    EXPECT_EQ(camera.targetZ, -2);
    EXPECT_EQ(camera.pitch, kFramePitch);
    EXPECT_NEAR(*LocationOf(camera).yaw, 0, 1e-12) << "north without a yaw";
    // Points 25 m either side and before and behind are in the view, nearly filling its height.
    const Mat4 projection = ViewerProjection(400, 300, SceneDepthRange(camera, {}));
    const Mat4 view = CameraMatrix(camera);
    double top = 300, bottom = 0;
    for (const auto& [dx, dz] : {std::pair{2.5, 0.0}, {-2.5, 0.0}, {0.0, 2.5}, {0.0, -2.5}}) {
        const ScreenPoint p = ProjectToScreen(projection, view, 3 + dx, 1, -2 + dz, 400, 300);
        EXPECT_TRUE(p.visible);
        EXPECT_GT(p.x, 0);
        EXPECT_LT(p.x, 400);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    EXPECT_GT(top, 0);
    EXPECT_LT(bottom, 300);
    EXPECT_GT(bottom - top, 100) << "the place fills the view, not a corner of it";

    at.yaw = 90;
    EXPECT_NEAR(*LocationOf(WorldViewAt(at, 1)).yaw, 90, 1e-12) << "the location's yaw is looked along";
}

// A dump's objects: `models` of them named models, at their positions.
struct Placed {
    double x, y, z;
    int type = 0;
    bool visible = true;
    bool model = true;
};
SceneObjects Objects(std::initializer_list<Placed> placed) {
    ErrorLog log;
    SceneObjects objects;
    const uint32_t model =
        objects.AddModel(test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
                                          "ClumpEnd\n",
                                          log),
                         "tri");
    for (const Placed& p : placed) {
        PlacedObject o;
        o.placement = PlacedAt({p.x, p.y, p.z});
        o.type = p.type;
        o.visible = p.visible;
        if (p.model) o.model = model;
        objects.SetText(o, "tri");
        objects.objects.push_back(o);
    }
    objects.dumpVersion = 3;
    return objects;
}

TEST(Walking, TheNearestObjectIsOneThatIsDrawnNearestOverTheGround) {
    const SceneObjects objects = Objects({
        {0.5, 0, 0, 1},               // a camera or zone: not drawn
        {0.5, 0, 0, 0, false},        // hidden
        {0.5, 0, 0, 0, true, false},  // its model was not found
        {3, 100, 0},                  // high up, but nearest over the ground
        {-3, 0, 0},                   // as near: the first one wins
        {0, 0, 4},
    });
    EXPECT_EQ(NearestObject(objects, 0, 0), std::size_t{3});
    EXPECT_EQ(NearestObject(objects, 0, 3.5), std::size_t{5});
    EXPECT_EQ(NearestObject(Objects({{0, 0, 0, 1}}), 0, 0), std::nullopt);
    EXPECT_EQ(NearestObject(SceneObjects{}, 0, 0), std::nullopt);
}

TEST(Walking, AWorldOpensAtItsEntryPointElseAtTheObjectNearestTheOrigin) {
    const SceneObjects objects = Objects({{40, 0, 40}, {-2, 0.5, 3}, {10, 0, -10}});
    const Camera entry = WorldOpeningCamera(objects, "12N 7.5E 0.2a 270", 1);
    EXPECT_EQ(entry, WorldViewAt({-7.5, 0.2, 12, 270.0}, 1));
    const Camera nearest = WorldOpeningCamera(objects, "", 1);
    EXPECT_EQ(nearest, WorldViewAt({-2, 0.5, 3, std::nullopt}, 1));
    EXPECT_EQ(WorldOpeningCamera(objects, "somewhere", 1), nearest) << "an entry point that does not read";
    EXPECT_EQ(WorldOpeningCamera(SceneObjects{}, "", 1), WorldViewAt({}, 1)) << "an empty dump: at 0N 0W";
}

TEST(Walking, BoundsNearAPlaceHoldTheObjectsWithinReach) {
    const SceneObjects objects = Objects({{0, 0, 0}, {5, 0, 0}, {30, 0, 0}, {6, 0, 0, 0, false}});
    const TObjectMap scene{SceneObjects(objects)};
    const Bounds near = BoundsNear(scene, {0, 0, 0}, 10);
    EXPECT_EQ(near.Min().x, 0);
    EXPECT_EQ(near.Max().x, 6) << "the model reaches a unit beyond its position; the hidden one is left out";
    const Bounds far = BoundsNear(scene, {30, 0, 0}, 2);
    EXPECT_EQ(far.Min().x, 30);
    EXPECT_EQ(far.Max().x, 31);
    // Within reach means any part of it: the object at 5 reaches 6, 2 from 8.
    EXPECT_EQ(BoundsNear(scene, {8, 0, 0}, 2.5).Max().x, 6);
    EXPECT_TRUE(BoundsNear(scene, {100, 0, 100}, 10).Empty());
    EXPECT_EQ(BoundsNear(scene, {100, 0, 100}, 0).Max().x, 31) << "no draw distance: everything";
}

}  // namespace
}  // namespace pelorus
