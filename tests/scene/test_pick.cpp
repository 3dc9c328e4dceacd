// Picking on the model data: the ray through a pixel, ray and triangle, masks, and the nearest face
// of a scene as it is drawn.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "scene/framing.h"
#include "scene/objectmap.h"
#include "scene/pick.h"
#include "testutil.h"

namespace pelorus {
namespace {

std::unique_ptr<TObjectMap> SceneOf(const std::string& script) {
    std::vector<std::unique_ptr<RWXObject>> objects;
    objects.push_back(test::ReadScript(script));
    return std::make_unique<TObjectMap>(std::move(objects));
}

TEST(PickRayThroughPixel, FollowsTheCameraAndLandsWhereProjectionPutsThePoint) {
    // The centre pixel of an odd view looks straight at the orbit centre.
    const std::optional<PickRay> centre = RayThroughPixel(Camera{}, 101, 101, 50, 50);
    ASSERT_TRUE(centre);
    EXPECT_DOUBLE_EQ(centre->origin.z, 1.5);
    EXPECT_NEAR(centre->direction.x, 0, 1e-12);
    EXPECT_NEAR(centre->direction.z, -1, 1e-12);
    EXPECT_DOUBLE_EQ(centre->nearest, kNearPlane);

    // Any pixel: a point along its ray projects back onto that pixel's centre.
    Camera camera;
    camera.yaw = 30;
    camera.pitch = 20;
    camera.height = 0.3;
    camera.distance = 4;
    camera.targetX = 1;
    const int32_t w = 200, h = 120;
    for (const auto& [x, y] : std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {199, 119}, {37, 90}}) {
        const std::optional<PickRay> ray = RayThroughPixel(camera, w, h, x, y);
        ASSERT_TRUE(ray);
        const Vec3& o = ray->origin;
        const Vec3& d = ray->direction;
        const ScreenPoint p = ProjectToScreen(ViewerProjection(w, h), CameraMatrix(camera), o.x + 3 * d.x,
                                              o.y + 3 * d.y, o.z + 3 * d.z, w, h);
        EXPECT_TRUE(p.visible);
        EXPECT_NEAR(p.x, x + 0.5, 1e-6);
        EXPECT_NEAR(p.y, y + 0.5, 1e-6);
    }
    EXPECT_FALSE(RayThroughPixel(camera, w, h, w, 0));
    EXPECT_FALSE(RayThroughPixel(camera, w, h, 0, -1));
    EXPECT_FALSE(RayThroughPixel(camera, 0, 0, 0, 0));
}

TEST(PickRayAndTriangle, FrontBackEdgesAndMisses) {
    PickRay down;
    down.origin = {0.2, 0.2, 5};
    down.direction = {0, 0, -1};
    const Vec3 a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
    const std::optional<RayTriangleHit> front = IntersectTriangle(down, a, b, c);
    ASSERT_TRUE(front);
    EXPECT_TRUE(front->front);
    EXPECT_DOUBLE_EQ(front->distance, 5);
    EXPECT_DOUBLE_EQ(front->wb, 0.2);
    EXPECT_DOUBLE_EQ(front->wc, 0.2);
    const std::optional<RayTriangleHit> back = IntersectTriangle(down, a, c, b);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->front);
    // Outside, behind the origin, parallel, without area.
    PickRay outside = down;
    outside.origin = {0.8, 0.8, 5};
    EXPECT_FALSE(IntersectTriangle(outside, a, b, c));
    PickRay away = down;
    away.direction = {0, 0, 1};
    EXPECT_FALSE(IntersectTriangle(away, a, b, c));
    PickRay along = down;
    along.direction = {1, 0, 0};
    EXPECT_FALSE(IntersectTriangle(along, a, b, c));
    EXPECT_FALSE(IntersectTriangle(down, a, b, b));
}

TEST(PickTexel, ClearTexelsOfTheFrameLetThePointThrough) {
    // Two frames of 2 x 2 texels; frame 0 clear on its left column, frame 1 clear everywhere.
    std::vector<uint8_t> rgba(2 * 4 * 4, 255);
    for (int row = 0; row < 2; ++row) rgba[static_cast<std::size_t>(row * 2 * 4 + 3)] = 0;
    for (std::size_t i = 2 * 2 * 4 + 3; i < rgba.size(); i += 4) rgba[i] = 0;
    EXPECT_FALSE(TexelShows(rgba, 2, 4, 2, 0, 0.25, 0.5, false));
    EXPECT_TRUE(TexelShows(rgba, 2, 4, 2, 0, 0.75, 0.5, false));
    EXPECT_FALSE(TexelShows(rgba, 2, 4, 2, 1, 0.75, 0.5, false));
    // Repeating and clamping.
    EXPECT_FALSE(TexelShows(rgba, 2, 4, 2, 0, 1.25, -0.5, false));
    EXPECT_TRUE(TexelShows(rgba, 2, 4, 2, 0, 1.25, 0.5, true));
    // Without pixels, or with pixels of another size, everything shows.
    EXPECT_TRUE(TexelShows({}, 2, 4, 2, 0, 0.25, 0.5, false));
    EXPECT_TRUE(TexelShows(rgba, 3, 4, 2, 0, 0.25, 0.5, false));
}

const char* kFacer =
    "ClumpBegin\nAxisAlignment ZOrientX\n"
    "Vertex -0.1 -0.1 0\nVertex 0.1 -0.1 0\nVertex 0.1 0.1 0\nVertex -0.1 0.1 0\nQuad 1 2 3 4\nClumpEnd\n";

TEST(PickFace, FacersTurnWithTheCameraAndBackFacesOfOthersAreLeftOut) {
    auto scene = SceneOf(kFacer);
    for (double yaw : {0.0, 90.0, 200.0}) {
        Camera camera;
        camera.yaw = yaw;
        camera.targetY = 0.025;  // where a script shown alone stands
        const std::optional<PickRay> ray = RayThroughPixel(camera, 101, 101, 50, 50);
        ASSERT_TRUE(ray);
        const std::optional<FaceHit> hit = PickFace(*scene, *ray, camera.yaw);
        ASSERT_TRUE(hit) << yaw;
        EXPECT_EQ(hit->line, 7u);
        EXPECT_TRUE(hit->frontFacing);
    }
    // The same quad without the turn is seen from behind at yaw 180: culled.
    auto still = SceneOf(
        "ClumpBegin\nVertex -0.1 -0.1 0\nVertex 0.1 -0.1 0\nVertex 0.1 0.1 0\nVertex -0.1 0.1 0\n"
        "Quad 1 2 3 4\nClumpEnd\n");
    Camera behind;
    behind.yaw = 180;
    behind.targetY = 0.025;
    const std::optional<PickRay> ray = RayThroughPixel(behind, 101, 101, 50, 50);
    ASSERT_TRUE(ray);
    EXPECT_FALSE(PickFace(*still, *ray, behind.yaw));
}

TEST(PickFace, HiddenFarClippedAndUndrawnFacesAreNotPicked) {
    const std::string square = "Vertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4\nClumpEnd\n";
    const std::optional<PickRay> ray = RayThroughPixel(Camera{}, 101, 101, 50, 50);
    ASSERT_TRUE(ray);
    EXPECT_TRUE(PickFace(*SceneOf("ClumpBegin\n" + square), *ray, 0));
    EXPECT_FALSE(PickFace(*SceneOf("ClumpBegin\nGeometrySampling Wireframe\n" + square), *ray, 0));
    EXPECT_FALSE(PickFace(*SceneOf("ClumpBegin\nOpacity 0\n" + square), *ray, 0));
    // Beyond the draw distance (the eye is 1.5 units away).
    PickOptions near;
    near.drawDistance = 0.05;
    EXPECT_FALSE(PickFace(*SceneOf("ClumpBegin\n" + square), *ray, 0, near));
    // Behind the far plane.
    PickRay shortRay = *ray;
    shortRay.farthest = 1.0;
    EXPECT_FALSE(PickFace(*SceneOf("ClumpBegin\n" + square), shortRay, 0));
}

TEST(PickOrbit, ThePickedPointBecomesTheCentreOfTheViewAtTheSameDistance) {
    Camera camera;
    camera.yaw = 40;
    camera.pitch = 25;
    camera.height = 0.2;
    camera.distance = 3;
    const Vec3 point{0.4, -0.3, 0.7};
    const Vec3 eye = EyePosition(camera);
    const double away = std::sqrt((eye.x - point.x) * (eye.x - point.x) + (eye.y - point.y) * (eye.y - point.y) +
                                  (eye.z - point.z) * (eye.z - point.z));
    const Camera centred = OrbitCentredOn(camera, point, kMinDistance);
    EXPECT_NEAR(centred.distance, away, 1e-12);
    EXPECT_EQ(centred.yaw, camera.yaw);
    EXPECT_EQ(centred.pitch, camera.pitch);
    const ScreenPoint p =
        ProjectToScreen(ViewerProjection(100, 100), CameraMatrix(centred), point.x, point.y, point.z, 100, 100);
    EXPECT_NEAR(p.x, 50, 1e-9);
    EXPECT_NEAR(p.y, 50, 1e-9);
    // Never nearer than the smallest distance; a point that is not finite changes nothing.
    EXPECT_EQ(OrbitCentredOn(camera, EyePosition(camera), 0.5).distance, 0.5);
    EXPECT_EQ(OrbitCentredOn(camera, Vec3{NAN, 0, 0}, kMinDistance), camera);
}

TEST(PickOrbit, TheCornersOfThePickedFaceAreWhereTheyAreDrawn) {
    auto scene = SceneOf(
        "ClumpBegin\nVertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4\n"
        "ClumpEnd\n");
    const std::optional<PickRay> ray = RayThroughPixel(Camera{}, 101, 101, 60, 50);
    ASSERT_TRUE(ray);
    const std::optional<FaceHit> hit = PickFace(*scene, *ray, 0);
    ASSERT_TRUE(hit);
    const std::optional<std::array<Vec3, 3>> corners = FaceCorners(*scene, *hit, 0);
    ASSERT_TRUE(corners);
    // The corners are the quad's, and hold the picked point.
    for (const Vec3& c : *corners) {
        EXPECT_EQ(std::abs(c.x), 1);
        EXPECT_EQ(std::abs(c.y), 1);
    }
    const std::optional<RayTriangleHit> again = IntersectTriangle(*ray, (*corners)[0], (*corners)[1], (*corners)[2]);
    ASSERT_TRUE(again);
    EXPECT_NEAR(again->distance, hit->distance, 1e-12);
    FaceHit stale = *hit;
    stale.triangle = 7;
    EXPECT_FALSE(FaceCorners(*scene, stale, 0));
}

}  // namespace
}  // namespace pelorus
