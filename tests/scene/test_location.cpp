// Locations as people write them in worlds, and the camera they put there.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scene/location.h"
#include "scene/viewmath.h"

namespace pelorus {
namespace {

TEST(Location, ReadsTheWaysPeopleWriteThem) {
    struct Case {
        const char* text;
        Location at;
    };
    const Case cases[] = {
        {"2.5N 3W", {3, 0, 2.5, std::nullopt}},
        {"2.5n 3e", {-3, 0, 2.5, std::nullopt}},
        {"3W 2.5S", {3, 0, -2.5, std::nullopt}},
        {"0N 0W", {0, 0, 0, std::nullopt}},
        {"2.5N 3W 1.2a 90", {3, 1.2, 2.5, 90.0}},
        {"  2.5N,3W, -0.5A  270 ", {3, -0.5, 2.5, 270.0}},
        {"1N 1W 45", {1, 0, 1, 45.0}},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<Location> at = ParseLocation(c.text, error);
        ASSERT_TRUE(at) << c.text << ": " << error;
        EXPECT_EQ(*at, c.at) << c.text;
    }
}

TEST(Location, RefusesWhatIsNoLocationWithAReason) {
    for (const char* text : {"", "2.5N", "3W", "2.5N 3N", "2.5N 3W 1a 2a", "1a 2.5N 3W", "90 2.5N 3W", "2.5N 3W 90 1a",
                             "xN 3W", "2.5N 3W 1e9999", "2.5Q 3W", "N W", "+2N 3W", "2.5N 3W 90 90", "nanN 3W"}) {
        std::string error;
        EXPECT_FALSE(ParseLocation(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(Location, IsWrittenToTheCentimetreAndReadsBack) {
    EXPECT_EQ(FormatLocation({3, 0, 2.5, std::nullopt}), "2.5N 3W");
    EXPECT_EQ(FormatLocation({-3, 0, -2.5, std::nullopt}), "2.5S 3E");
    EXPECT_EQ(FormatLocation({0.00049, 0, -0.0004, std::nullopt}), "0N 0W");  // no "-0" nor "0S"
    EXPECT_EQ(FormatLocation({1.23456, 1.2, 0, 90.4}), "0N 1.235W 1.2a 90");
    EXPECT_EQ(FormatLocation({0, 0, 0, -90.0}), "0N 0W 270");
    EXPECT_EQ(FormatLocation({NAN, INFINITY, 0, 360.0}), "0N 0W 0");
    for (const Location& at : {Location{3, 1.2, 2.5, 90.0}, Location{-7.125, 0, -0.5, std::nullopt}}) {
        std::string error;
        EXPECT_EQ(ParseLocation(FormatLocation(at), error), at) << FormatLocation(at);
    }
}

// Where a point lands in front of the eye: its depth along the view (positive ahead) and how far
// off the centre line it is.
struct Seen {
    double ahead, aside;
};
Seen Look(const Camera& camera, double x, double y, double z) {
    const auto m = CameraMatrix(camera);
    const double ex = m[0] * x + m[4] * y + m[8] * z + m[12];
    const double ez = m[2] * x + m[6] * y + m[10] * z + m[14];
    return {-ez, ex};
}

// A location's yaw is the direction one faces: 0 north (+z), 90 west (+x), 180 south, 270 east.
TEST(Location, TheCameraLooksWhereTheYawSays) {
    Camera base;
    base.pitch = 0;
    base.distance = 2;
    const struct { double yaw, x, z; } faces[] = {{0, 0, 1}, {90, 1, 0}, {180, 0, -1}, {270, -1, 0}};
    for (const auto& f : faces) {
        const Camera camera = CameraAt(base, {10, 1, 20, f.yaw});
        EXPECT_EQ(camera.targetX, 10);
        EXPECT_EQ(camera.targetY, 1);
        EXPECT_EQ(camera.targetZ, 20);
        EXPECT_EQ(camera.height, 0);
        const Seen centre = Look(camera, 10, 1, 20);
        const Seen beyond = Look(camera, 10 + 5 * f.x, 1, 20 + 5 * f.z);
        EXPECT_NEAR(centre.aside, 0, 1e-9) << f.yaw;
        EXPECT_NEAR(beyond.aside, 0, 1e-9) << f.yaw;
        EXPECT_GT(beyond.ahead, centre.ahead + 4.9) << "yaw " << f.yaw << " looks the other way";
        EXPECT_NEAR(*LocationOf(camera).yaw, f.yaw, 1e-9);
    }
    // Without a yaw the camera keeps its turn.
    Camera turned = base;
    turned.yaw = 33;
    EXPECT_EQ(CameraAt(turned, {1, 2, 3, std::nullopt}).yaw, 33);
}

}  // namespace
}  // namespace pelorus
