// Pixel checks of turned and scaled objects: an asymmetric model turned by yaw, tilt and roll (from
// a placement and from an object dump), in the opaque and the transparent pass, facers inside
// turned objects, and culling of turned objects.

#include <gtest/gtest.h>

#include <string>

#include "dumpgen.h"
#include "render/renderfixtures.h"
#include "world/worldload.h"

namespace pelorus::test {
namespace {

const Rgb kBlack{0, 0, 0};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};

// Three cubes: red on +x, green on +y, blue on +z, each 0.3 from the origin. `opacity` applies to
// the red one.
std::string Marked(double opacity = 1) {
    return "ModelBegin\n"
           "ClumpBegin\nColor 1 0 0\nOpacity " +
           std::to_string(opacity) +
           "\nTranslate 0.3 0 0\nBlock 0.12 0.12 0.12\nClumpEnd\n"
           "ClumpBegin\nColor 0 1 0\nTranslate 0 0.3 0\nBlock 0.12 0.12 0.12\nClumpEnd\n"
           "ClumpBegin\nColor 0 0 1\nTranslate 0 0 0.3\nBlock 0.12 0.12 0.12\nClumpEnd\n"
           "ModelEnd\n";
}

// A scene of one object of `script` placed by `placement`.
std::unique_ptr<TObjectMap> PlacedScene(const std::string& script, const Placement& placement) {
    ErrorLog log;
    SceneObjects read;
    PlacedObject o;
    o.placement = placement;
    o.model = read.AddModel(RWXObject::FromText(script, 0, 0, 0, log, NoTextures(), "placed.rwx"), "placed");
    read.SetText(o, "placed");
    read.objects.push_back(o);
    return std::make_unique<TObjectMap>(std::move(read));
}

Placement Turned(float yaw, float tilt, float roll) {
    Placement p;
    p.yaw = yaw;
    p.tilt = tilt;
    p.roll = roll;
    return p;
}

class PlacedTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        // From above, in front and to the side, so that no cube hides another.
        context_.camera.yaw = -30;
        context_.camera.pitch = 35;
        context_.camera.distance = 1.5;
    }
    // Each expected colour where its point lands.
    void ExpectAt(const std::vector<std::pair<Vec3, Rgb>>& expected, const std::string& what) {
        for (const auto& [p, colour] : expected)
            EXPECT_TRUE(Near(PixelAt(p.x, p.y, p.z), colour, 12))
                << what << ": at (" << p.x << ", " << p.y << ", " << p.z << ") " << ToString(PixelAt(p.x, p.y, p.z))
                << " instead of " << ToString(colour);
    }
};

// Where the three cubes go for each axis (by hand: yaw takes +x to -z, tilt +y to +z, roll +x to
// +y), and that nothing stays behind where they were.
TEST_F(PlacedTest, EachAxisTurnsTheModelWhereItsMatrixSays) {
    struct Case {
        const char* what;
        Placement p;
        std::vector<std::pair<Vec3, Rgb>> expected;
    };
    const Case cases[] = {
        {"unturned", Turned(0, 0, 0), {{{0.3, 0, 0}, kRed}, {{0, 0.3, 0}, kGreen}, {{0, 0, 0.3}, kBlue}}},
        {"yaw 90",
         Turned(90, 0, 0),
         {{{0, 0, -0.3}, kRed}, {{0, 0.3, 0}, kGreen}, {{0.3, 0, 0}, kBlue}, {{0, 0, 0.3}, kBlack}}},
        {"tilt 90",
         Turned(0, 90, 0),
         {{{0.3, 0, 0}, kRed}, {{0, 0, 0.3}, kGreen}, {{0, -0.3, 0}, kBlue}, {{0, 0.3, 0}, kBlack}}},
        {"roll 90",
         Turned(0, 0, 90),
         {{{0, 0.3, 0}, kRed}, {{-0.3, 0, 0}, kGreen}, {{0, 0, 0.3}, kBlue}, {{0.3, 0, 0}, kBlack}}},
        {"tilt, then yaw",
         Turned(90, 90, 0),
         {{{0, 0, -0.3}, kRed}, {{0.3, 0, 0}, kGreen}, {{0, -0.3, 0}, kBlue}, {{0, 0, 0.3}, kBlack}}},
    };
    for (const Case& c : cases) {
        auto scene = PlacedScene(Marked(), c.p);
        Draw(scene.get());
        ExpectAt(c.expected, c.what);
    }
}

// The transparent pass places its faces itself: a half-transparent red cube turned by yaw is
// blended where the turn puts it.
TEST_F(PlacedTest, TransparentFacesTurnAsTheOpaqueOnesDo) {
    auto scene = PlacedScene(Marked(0.5), Turned(90, 0, 0));
    Draw(scene.get());
    const Rgb halfRed{128, 0, 0};
    ExpectAt({{{0, 0, -0.3}, halfRed}, {{0.3, 0, 0}, kBlue}, {{0, 0, 0.3}, kBlack}}, "yaw 90");
}

// A one-sided half-transparent square that faces away from the eye in the model faces it once the
// object is turned half round: it must not be left out of the transparent pass.
TEST_F(PlacedTest, TransparentFacesAreCulledAsTurnedNotAsRead) {
    const std::string awayFromEye =
        "ModelBegin\nClumpBegin\nColor 1 0 0\nOpacity 0.5\n"
        "Vertex -0.3 -0.3 0\nVertex 0.3 -0.3 0\nVertex 0.3 0.3 0\nVertex -0.3 0.3 0\nQuad 4 3 2 1\n"
        "ClumpEnd\nModelEnd\n";
    context_.camera = Camera{};  // from +z, straight on
    auto unturned = PlacedScene(awayFromEye, Turned(0, 0, 0));
    Draw(unturned.get());
    EXPECT_TRUE(Near(Centre(), kBlack)) << ToString(Centre());
    auto turned = PlacedScene(awayFromEye, Turned(180, 0, 0));
    Draw(turned.get());
    EXPECT_TRUE(Near(Centre(), Rgb{128, 0, 0}, 12)) << ToString(Centre());
}

// Facers turn to the eye about the vertical whatever the object's yaw: a facer in an object turned
// a quarter round still shows its face (opaque and transparent), where an ordinary face would be
// seen edge on.
TEST_F(PlacedTest, FacersOfTurnedObjectsStillFaceTheEye) {
    context_.camera = Camera{};
    struct Case {
        const char* what;
        const char* material;
        Rgb colour;
        bool shows;
    };
    const Case cases[] = {
        {"facer", "AxisAlignment ZOrientY\nColor 1 0 0", kRed, true},
        {"transparent facer", "AxisAlignment ZOrientY\nColor 1 0 0\nOpacity 0.5", Rgb{128, 0, 0}, true},
        {"ordinary face", "Color 1 0 0\nMaterialModes Double", kRed, false},
    };
    for (const Case& c : cases) {
        const std::string square = std::string("ModelBegin\nClumpBegin\n") + c.material +
                                   "\nVertex -0.3 -0.3 0\nVertex 0.3 -0.3 0\nVertex 0.3 0.3 0\nVertex -0.3 0.3 0\n"
                                   "Quad 1 2 3 4\nClumpEnd\nModelEnd\n";
        auto scene = PlacedScene(square, Turned(90, 0, 0));
        Draw(scene.get());
        EXPECT_EQ(Near(Centre(), c.colour, 12), c.shows) << c.what << ": " << ToString(Centre());
    }
}

// The bounding sphere turns with the object: a model far off its origin, turned half round, is
// drawn where it lands, not culled where it would have been.
TEST_F(PlacedTest, TurnedObjectsAreCulledWhereTheyAre) {
    const std::string farSquare =
        "ModelBegin\nClumpBegin\nColor 0 1 0\nMaterialModes Double\n"
        "Vertex 4.7 -0.3 0\nVertex 5.3 -0.3 0\nVertex 5.3 0.3 0\nVertex 4.7 0.3 0\nQuad 1 2 3 4\n"
        "ClumpEnd\nModelEnd\n";
    context_.camera = Camera{};
    context_.camera.targetX = -5;
    auto scene = PlacedScene(farSquare, Turned(180, 0, 0));
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), kGreen)) << ToString(Centre());
    Placement scaled = Turned(180, 0, 0);
    scaled.scale = {2, 2, 2};  // now at x = -10
    context_.camera.targetX = -10;
    auto larger = PlacedScene(farSquare, scaled);
    Draw(larger.get());
    EXPECT_TRUE(Near(Centre(), kGreen)) << ToString(Centre());
}

// The same turns read from an object dump: the dump's angles in tenths of degrees, its position in
// centimetres, the model found through the object path.
TEST_F(PlacedTest, DumpObjectsAreTurnedAsTheDumpSays) {
    TempDir dir;
    dir.Write("objects/rwx/marked.rwx", Marked());
    dir.Write("world.txt",
              "propdump version 3\r\n1 2 0 0 0 900 900 0 6 0 0 marked\r\n1 2 5000 0 0 0 0 0 6 0 0 marked\r\n");
    ErrorLog log;
    WorldReadOptions options;
    options.read = NoTextures();
    options.objectPath = dir.Join("objects");
    auto scene = TObjectMap::FromFile(dir.Join("world.txt"), log, options);
    EXPECT_TRUE(log.Lines().empty()) << log.Text();
    ASSERT_EQ(scene->ObjectCount(), 2u);
    EXPECT_EQ(scene->Read().models.size(), 1u);
    Draw(scene.get());
    ExpectAt({{{0, 0, -0.3}, kRed}, {{0.3, 0, 0}, kGreen}, {{0, -0.3, 0}, kBlue}}, "tilt, then yaw, from the dump");
    context_.camera.targetX = 5;
    Draw(scene.get());
    ExpectAt({{{5.3, 0, 0}, kRed}, {{5, 0.3, 0}, kGreen}, {{5, 0, 0.3}, kBlue}}, "the second object, 50 m away");
}

}  // namespace
}  // namespace pelorus::test
