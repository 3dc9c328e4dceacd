// Framing a model and moving around it: bounds, the camera that shows them, the planes that
// hold them, pan, zoom and the camera's limits. Checked by projecting points to the screen.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/errorlog.h"
#include "scene/culling.h"
#include "scene/framing.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "testutil.h"

namespace pelorus {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void ExpectVec(const Vec3& got, const Vec3& want, double eps = 1e-9) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

Bounds Box(const Vec3& lo, const Vec3& hi) {
    Bounds b;
    b.Extend(lo.x, lo.y, lo.z);
    b.Extend(hi.x, hi.y, hi.z);
    return b;
}

std::vector<Vec3> Corners(const Bounds& b) {
    std::vector<Vec3> out;
    for (int i = 0; i < 8; ++i)
        out.push_back(
            {(i & 1) ? b.Max().x : b.Min().x, (i & 2) ? b.Max().y : b.Min().y, (i & 4) ? b.Max().z : b.Min().z});
    return out;
}

ScreenPoint Project(const Camera& camera, const Bounds& scene, int32_t w, int32_t h, const Vec3& p) {
    return ProjectToScreen(ViewerProjection(w, h, SceneDepthRange(camera, scene)), CameraMatrix(camera), p.x, p.y, p.z,
                           w, h);
}

TEST(Bounds, HoldsPlacedPointsAndIgnoresNonFiniteOnes) {
    Bounds b;
    EXPECT_TRUE(b.Empty());
    ExpectVec(b.Centre(), {0, 0, 0});
    EXPECT_EQ(b.Radius(), 0);

    b.Extend(1, 2, 3, {10, 0, 0});
    EXPECT_FALSE(b.Empty());
    ExpectVec(b.Min(), {11, 2, 3});
    EXPECT_EQ(b.Radius(), 0) << "a single point";

    b.Extend(kNaN, 0, 0);
    b.Extend(0, kInf, 0);
    b.Extend(1e308, 0, 0, {1e308, 0, 0});  // the placed point overflows
    const TVertex vertices[] = {{.x = -1, .y = 0, .z = 1}, {.x = 3, .y = 4, .z = -1}};
    b.Extend(vertices, {0, 0, 2});
    ExpectVec(b.Min(), {-1, 0, 1});
    ExpectVec(b.Max(), {11, 4, 3});
    ExpectVec(b.Centre(), {5, 2, 2});
    EXPECT_DOUBLE_EQ(b.Radius(), std::sqrt(6.0 * 6 + 2 * 2 + 1 * 1));

    Bounds merged;
    merged.Extend(Bounds{});
    EXPECT_TRUE(merged.Empty()) << "an empty box adds nothing";
    merged.Extend(b);
    merged.Extend(Box({-5, 0, 0}, {-4, 0, 0}));
    ExpectVec(merged.Min(), {-5, 0, 0});
    ExpectVec(merged.Max(), {11, 4, 3});

    // A box across the whole double range still has a finite centre.
    const Bounds huge = Box({-1e308, -1e308, 0}, {1e308, 1e308, 0});
    ExpectVec(huge.Centre(), {0, 0, 0});
}

TEST(FrameBounds, ShowsEveryCornerWithAMarginForAnySizePlaceAndAspect) {
    const struct {
        const char* what;
        Bounds box;
    } boxes[] = {
        {"unit cube at the origin", Box({-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5})},
        {"cube 20 units off the origin", Box({19.5, -0.5, 19.5}, {20.5, 0.5, 20.5})},
        {"tall thin post", Box({3, 0, 3}, {3.1, 5, 3.1})},
        {"building beyond the fixed far plane", Box({-300, 0, -200}, {300, 120, 200})},
    };
    const struct { int32_t w, h; } viewports[] = {{400, 400}, {800, 450}, {300, 900}, {1200, 300}};
    for (const auto& box : boxes)
        for (const auto& vp : viewports)
            for (const double yaw : {0.0, 37.0, -140.0}) {
                SCOPED_TRACE(testing::Message() << box.what << ", " << vp.w << "x" << vp.h << ", yaw " << yaw);
                const Camera camera = FrameBounds(box.box, kFieldOfView, static_cast<double>(vp.w) / vp.h, yaw);
                ExpectVec({camera.targetX, camera.targetY, camera.targetZ}, box.box.Centre());
                EXPECT_EQ(camera.yaw, yaw);
                EXPECT_GT(EyePosition(camera).y, box.box.Centre().y) << "seen from above";
                double left = vp.w, right = 0, top = vp.h, bottom = 0;
                for (const Vec3& corner : Corners(box.box)) {
                    const ScreenPoint p = Project(camera, box.box, vp.w, vp.h, corner);
                    EXPECT_TRUE(p.visible);
                    left = std::min(left, p.x);
                    right = std::max(right, p.x);
                    top = std::min(top, p.y);
                    bottom = std::max(bottom, p.y);
                }
                const double margin = 0.03 * std::min(vp.w, vp.h);
                EXPECT_GE(left, margin);
                EXPECT_LE(right, vp.w - margin);
                EXPECT_GE(top, margin);
                EXPECT_LE(bottom, vp.h - margin);
                // Not lost in the distance: the model spans a good part of the narrower side.
                EXPECT_GT(std::max(right - left, bottom - top), 0.5 * std::min(vp.w, vp.h));
            }
}

TEST(FrameBounds, AFlatRugIsSeenFromAbove) {
    const Bounds rug = Box({-1, 0, -0.5}, {1, 0, 0.5});
    const Camera camera = FrameBounds(rug, kFieldOfView, 1, 0);
    EXPECT_GT(camera.pitch, 0);
    // The projected rug is a quadrilateral of clear area, not a line on the horizon.
    const Vec3 quad[] = {{-1, 0, -0.5}, {1, 0, -0.5}, {1, 0, 0.5}, {-1, 0, 0.5}};
    double area = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const ScreenPoint a = Project(camera, rug, 400, 400, quad[i]);
        const ScreenPoint b = Project(camera, rug, 400, 400, quad[(i + 1) % 4]);
        area += a.x * b.y - b.x * a.y;
    }
    EXPECT_GT(std::abs(area) / 2, 0.05 * 400 * 400);
}

TEST(FrameBounds, DegenerateBoundsGiveAUsableCamera) {
    EXPECT_EQ(FrameBounds(Bounds{}, kFieldOfView, 1.5, 30), Camera{}) << "nothing to frame";
    EXPECT_EQ(FrameBounds(Box({-1e308, 0, 0}, {1e308, 1e308, 1e308}), kFieldOfView, 1, 0), Camera{})
        << "a radius past the double range";

    Bounds point;
    point.Extend(4, 5, 6);
    const Camera camera = FrameBounds(point, kFieldOfView, 1, 0);
    EXPECT_GT(camera.distance, 0);
    EXPECT_LT(camera.distance, 0.1);
    EXPECT_TRUE(Project(camera, point, 100, 100, {4, 5, 6}).visible);

    // Nonsense field of view, aspect and yaw fall back instead of spoiling the camera.
    const Bounds cube = Box({0, 0, 0}, {1, 1, 1});
    const Camera fallback = FrameBounds(cube, 0, kNaN, kInf);
    EXPECT_EQ(fallback, FrameBounds(cube, kFieldOfView, 1, 0));
}

TEST(CameraMatrix, TargetIsMovedToTheOriginAndTheSkyboxIgnoresIt) {
    const Camera atOrigin{30, -20, 0.25, 3};
    Camera moved = atOrigin;
    moved.targetX = 5;
    moved.targetY = -2;
    moved.targetZ = 7;
    const Vec4 p{1, 2, 3, 1};
    const Vec4 a = Transform(CameraMatrix(atOrigin), p);
    const Vec4 b = Transform(CameraMatrix(moved), {p.x + 5, p.y - 2, p.z + 7, 1});
    ExpectVec({b.x, b.y, b.z}, {a.x, a.y, a.z});
    EXPECT_EQ(SkyboxMatrix(moved), SkyboxMatrix(atOrigin));
    // The eye is `distance` from the orbit centre, which the height raises above the target.
    const Vec3 eye = EyePosition(moved);
    const Vec4 eyeSeen = Transform(CameraMatrix(moved), {eye.x, eye.y, eye.z, 1});
    ExpectVec({eyeSeen.x, eyeSeen.y, eyeSeen.z}, {0, 0, 0});
    ExpectVec(EyePosition(Camera{}), {0, 0, 1.5});
    ExpectVec(EyePosition(Camera{0, 90, 0, 2}), {0, 2, 0});
}

TEST(DepthRange, FollowsTheSceneAndKeepsTheFixedPlanesForSmallOnes) {
    const DepthRange fixed;
    const struct {
        double farthest;
        DepthRange want;
    } cases[] = {
        {0, fixed},
        {20, fixed},
        {38, fixed},
        {100, {105 / kDepthRatio, 105}},
        {1e6, {1.05e6 / kDepthRatio, 1.05e6}},
        {-5, fixed},
        {kNaN, fixed},
        {kInf, fixed},
        {1.75e308, fixed},  // its far plane would overflow
    };
    for (const auto& c : cases) {
        const DepthRange got = DepthRangeFor(c.farthest);
        EXPECT_DOUBLE_EQ(got.zNear, c.want.zNear) << c.farthest;
        EXPECT_DOUBLE_EQ(got.zFar, c.want.zFar) << c.farthest;
    }
    EXPECT_EQ(ViewerProjection(640, 480, DepthRange{}), ViewerProjection(640, 480));
    EXPECT_EQ(SceneDepthRange(Camera{}, Bounds{}), fixed);
    EXPECT_EQ(SceneDepthRange(Camera{}, Box({-0.5, 0, -0.5}, {0.5, 1, 0.5})), fixed) << "a small model";
}

TEST(ObjectBounds, HoldTheVerticesOfEveryClumpAtTheOffsetButNotUninstancedPrototypes) {
    ErrorLog log;
    const std::string script =
        "ModelBegin\n"
        "ProtoBegin far\nVertex 100 100 100\nVertex 101 100 100\nVertex 100 101 100\nTriangle 1 2 3\nProtoEnd\n"
        "ProtoBegin near\nVertex 0 0 2\nVertex 1 0 2\nVertex 0 1 2\nTriangle 1 2 3\nProtoEnd\n"
        "ClumpBegin\nVertex -1 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
        "ClumpBegin\nVertex 0 3 0\nVertex 0 3 1\nVertex 1 3 0\nTriangle 1 2 3\nClumpEnd\n"
        "ProtoInstance near\nClumpEnd\nModelEnd\n";
    const auto object = RWXObject::FromText(script, 20, 0.025, -1, log, test::NoTextures());
    ASSERT_TRUE(log.Empty()) << log.Text();
    const Bounds b = ObjectBounds(*object);
    ExpectVec(b.Min(), {19, 0.025, -1});
    ExpectVec(b.Max(), {21, 3.025, 1});

    const auto empty = RWXObject::FromText("ModelBegin\nModelEnd\n", 5, 5, 5, log, test::NoTextures());
    EXPECT_TRUE(ObjectBounds(*empty).Empty());
    const RWXObject* objects[] = {empty.get(), nullptr, object.get()};
    const Bounds all = ObjectsBounds(objects);
    ExpectVec(all.Min(), b.Min());
    ExpectVec(all.Max(), b.Max());
}

// A world large enough to be measured on several threads has the bounds and spheres of its
// objects taken one by one: turned, hidden and far-off objects in every part.
TEST(SceneBounds, ALargeWorldGivesWhatEachObjectGives) {
    ErrorLog log;
    SceneObjects read;
    read.AddModel(RWXObject::FromText("ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 2 0\n"
                                      "Triangle 1 2 3\nClumpEnd\nModelEnd\n",
                                      0, 0, 0, log, test::NoTextures()),
                  "pane");
    constexpr std::size_t kObjects = 300000;
    read.objects.resize(kObjects);
    for (std::size_t i = 0; i < kObjects; ++i) {
        PlacedObject& o = read.objects[i];
        o.model = 0;
        o.placement.position = {static_cast<double>(i % 1000), 0, static_cast<double>(i / 1000)};
        o.placement.yaw = static_cast<float>(i % 360);
        o.placement.tilt = static_cast<float>(i % 7);
    }
    // The farthest objects: one hidden at the start, one shown at the end of the list.
    read.objects[3].placement.position = {-500, 0, 0};
    read.objects[3].visible = false;
    read.objects[kObjects - 2].placement.position = {0, 40, 5000};
    const TObjectMap scene(std::move(read));
    Bounds want;
    const Bounds model = ObjectBounds(scene.Object(0), {0, 0, 0});
    for (std::size_t i = 0; i < scene.ObjectCount(); ++i) {
        if (scene.Placed(i).visible) want.Extend(PlacedBounds(model, scene.PlacementOf(i)));
        const Sphere sphere = PlacedSphere(BoundingSphereOf(scene.Object(i)), scene.PlacementOf(i));
        ASSERT_EQ(scene.SphereOf(i).centre, sphere.centre) << i;
        ASSERT_EQ(scene.SphereOf(i).radius, sphere.radius) << i;
    }
    const Bounds got = SceneBounds(scene);
    EXPECT_EQ(got.Min(), want.Min());
    EXPECT_EQ(got.Max(), want.Max());
    EXPECT_GT(got.Min().x, -10) << "hidden objects are left out";
    EXPECT_GT(got.Max().z, 4999);
}

TEST(DepthRange, PlanesAroundTheEyeHoldTheWholeSkyboxWhateverTheTurns) {
    EXPECT_EQ(AroundEyeDepthRange(Bounds{}), DepthRange{});
    EXPECT_EQ(AroundEyeDepthRange(Box({-2, -2, -2}, {2, 2, 2})), DepthRange{}) << "a skybox within the fixed planes";
    const Bounds big = Box({-100, -0.1, -100}, {100, 99.9, 100});
    const DepthRange depth = AroundEyeDepthRange(big);
    EXPECT_GE(depth.zFar, std::sqrt(3.0) * 100);
    // Every corner, seen from the eye at the origin in any direction, lies between the planes.
    for (const Vec3& corner : Corners(big)) {
        const double d = std::sqrt(corner.x * corner.x + corner.y * corner.y + corner.z * corner.z);
        EXPECT_LT(d, depth.zFar);
    }
    EXPECT_LE(depth.zNear, 0.01) << "what is near the eye stays too";
}

TEST(Pan, PointsAtTheOrbitCentreDepthFollowThePointerExactly) {
    const struct {
        const char* what;
        Camera camera;
    } cameras[] = {
        {"default", Camera{}},
        {"turned and tilted", {135, 30, 0, 4, 1, 2, 3}},
        {"from below", {-50, -60, 0, 0.5, -3, 0, 8}},
        {"with height", {20, 10, 0.75, 2.5}},
    };
    const int32_t w = 640, h = 480;
    const Bounds scene = Box({-10, -10, -10}, {10, 10, 10});
    for (const auto& c : cameras)
        for (const auto& [dx, dy] : {std::pair{37.0, -12.0}, {-200.0, 150.0}, {0.5, 0.0}}) {
            SCOPED_TRACE(testing::Message() << c.what << ", drag " << dx << ", " << dy);
            const Camera panned = Pan(c.camera, dx, dy, h, kFieldOfView);
            EXPECT_EQ(panned.yaw, c.camera.yaw);
            EXPECT_EQ(panned.pitch, c.camera.pitch);
            EXPECT_EQ(panned.distance, c.camera.distance);
            // The orbit centre, and a point beside it at the same depth, before and after.
            const Vec3 centre{c.camera.targetX, c.camera.targetY + c.camera.height, c.camera.targetZ};
            const Mat4 turn =
                Multiply(RotationMatrix(-c.camera.yaw, 0, 1, 0), RotationMatrix(-c.camera.pitch, 1, 0, 0));
            const Vec4 side = Transform(turn, {0.3, -0.2, 0, 0});
            for (const Vec3& p : {centre, Vec3{centre.x + side.x, centre.y + side.y, centre.z + side.z}}) {
                const ScreenPoint before = Project(c.camera, scene, w, h, p);
                const ScreenPoint after = Project(panned, scene, w, h, p);
                EXPECT_NEAR(after.x - before.x, dx, 1e-6);
                EXPECT_NEAR(after.y - before.y, dy, 1e-6);
            }
        }
    const Camera camera{10, 20, 0, 2};
    for (const Camera& same : {Pan(camera, 5, 5, 0, kFieldOfView), Pan(camera, 5, 5, 100, 180),
                               Pan(camera, kNaN, 5, 100, kFieldOfView), Pan(Camera{0, 0, 0, -1}, 5, 5, 100, 50)})
        EXPECT_EQ(same.targetX + same.targetY + same.targetZ, 0);
}

TEST(Zoom, ScalesTheDistanceAndStopsAtTheMinimum) {
    const struct {
        double distance, steps, minDistance, want;
    } cases[] = {
        {10, 1, 0.01, 9},        {10, -1, 0.01, 10 / 0.9},   {10, 2, 0.01, 8.1}, {10, 0.5, 0.01, 10 * std::sqrt(0.9)},
        {1000, 1, 0.01, 900},                                 // the same share at any size
        {0.01, 5, 0.009, 0.009}, {-1, -1, 0.002, 0.002},      // a distance below the minimum is raised
        {10, kNaN, 0.01, 10},    {1e300, -1e6, 0.01, 1e300},  // would overflow
        {10, 1, kNaN, 9},
    };
    for (const auto& c : cases) {
        Camera camera;
        camera.distance = c.distance;
        EXPECT_NEAR(Zoom(camera, c.steps, c.minDistance).distance, c.want, 1e-12 * c.want)
            << c.distance << " by " << c.steps << " steps";
    }
    Camera camera{10, 20, 0.5, 3, 1, 2, 3};
    const Camera zoomed = Zoom(camera, 3, 0.01);
    camera.distance = zoomed.distance;
    EXPECT_EQ(zoomed, camera) << "only the distance changes";
}

TEST(CameraLimits, PitchAndDistanceStayInRange) {
    const struct {
        double pitch, want;
    } pitches[] = {{0, 0}, {45, 45}, {89, 89}, {90, 89}, {-120, -89}, {kInf, 89}, {kNaN, 0}};
    for (const auto& c : pitches) EXPECT_EQ(ClampPitch(c.pitch), c.want) << c.pitch;

    const struct {
        double radius, want;
    } distances[] = {{0, kMinDistance},  {1, kMinDistance},    {10, 0.01},          {5000, 5},
                     {-1, kMinDistance}, {kNaN, kMinDistance}, {kInf, kMinDistance}};
    for (const auto& c : distances) EXPECT_DOUBLE_EQ(MinDistance(c.radius), c.want) << c.radius;
    EXPECT_GT(kMinDistance, kNearPlane) << "the orbit centre is never clipped";

    const Camera clamped = ClampCamera({10, 95, 0.5, -3, 1, 2, 3}, 0.5);
    EXPECT_EQ(clamped, (Camera{10, 89, 0.5, 0.5, 1, 2, 3}));
    EXPECT_EQ(ClampCamera({0, 0, 0, kNaN}, 0.25).distance, 0.25);
}

}  // namespace
}  // namespace pelorus
