// Pixel checks of what objects' actions make of their models: colours, textures, scale,
// visibility, opacity, signs and pictures, on all faces or on tagged ones (prototype instances
// included), drawn unlit so that colours show as they are.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/lettering.h"
#include "render/renderfixtures.h"

namespace pelorus::test {
namespace {

const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};

// Two white squares side by side in the plane z = 0, facing the camera: the left one from x = -0.3
// to 0 untagged, the right one from 0 to 0.3 tagged `tag`, each 0.6 high. Texture coordinates run
// 0 to 1 across each square.
std::string Panels(int tag) {
    const std::string t = std::to_string(tag);
    return "ModelBegin\nClumpBegin\nColor 1 1 1\nSurface 1 0 0\n"
           "Vertex -0.3 -0.3 0 UV 0 1\nVertex 0 -0.3 0 UV 1 1\nVertex 0 0.3 0 UV 1 0\nVertex -0.3 0.3 0 UV 0 0\n"
           "Vertex 0 -0.3 0 UV 0 1\nVertex 0.3 -0.3 0 UV 1 1\nVertex 0.3 0.3 0 UV 1 0\nVertex 0 0.3 0 UV 0 0\n"
           "Quad 1 2 3 4\nQuad 5 6 7 8 Tag " +
           t + "\nClumpEnd\nModelEnd\n";
}

// Points inside the left and the right square.
constexpr double kLeft = -0.15, kRight = 0.15;

class LooksTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        context_.flags.lighting = false;
    }

    // A scene of one object of `script` carrying `action` and `description`; its pictures are
    // looked for in dir_, its textures too.
    std::unique_ptr<TObjectMap> Acted(const std::string& script, const std::string& action,
                                      const std::string& description = "") {
        SceneObjects read;
        PlacedObject o;
        o.line = 7;
        o.model =
            read.AddModel(RWXObject::FromText(script, 0, 0, 0, log_, TexturesFrom(dir_.Path()), "acted.rwx"), "acted");
        read.SetText(o, "acted", description, action);
        read.objects.push_back(o);
        read.file = "world.txt";
        read.pictureFolders = {dir_.Path()};
        return std::make_unique<TObjectMap>(std::move(read), &log_);
    }
    void ExpectLeftRight(const std::string& what, const Rgb& left, const Rgb& right) {
        EXPECT_TRUE(Near(PixelAt(kLeft, 0, 0), left, 6))
            << what << ": left " << ToString(PixelAt(kLeft, 0, 0)) << " instead of " << ToString(left);
        EXPECT_TRUE(Near(PixelAt(kRight, 0, 0), right, 6))
            << what << ": right " << ToString(PixelAt(kRight, 0, 0)) << " instead of " << ToString(right);
    }

    TempDir dir_;
};

TEST_F(LooksTest, ColourByNameOrHexReachesAllFacesOrOnlyThoseOfItsTag) {
    struct Case {
        const char* action;
        Rgb left, right;
    };
    const Case cases[] = {
        {"create color red", kRed, kRed},
        {"create color 00FF00", kGreen, kGreen},
        {"create color blue tag=3", kWhite, kBlue},
        {"create color ff0000 tag=3", kWhite, kRed},
        {"create color red tag=9", kWhite, kWhite},             // no faces of that tag
        {"activate color red", kWhite, kWhite},                 // not when placed
        {"create color red name=other", kWhite, kWhite},        // meant for another object
        {"create color red, color green tag=3", kRed, kGreen},  // later commands win
        {"create color red; create color green", kRed, kRed},   // the first create section only
        {"create colr red", kWhite, kWhite},                    // not carried out
    };
    for (const Case& c : cases) {
        auto scene = Acted(Panels(3), c.action);
        Draw(scene.get());
        ExpectLeftRight(c.action, c.left, c.right);
    }
}

TEST_F(LooksTest, ObjectsWithoutActionsAndWithActionsShareTheModelAndDrawSideBySide) {
    SceneObjects read;
    const uint32_t model = read.AddModel(RWXObject::FromText(Panels(3), 0, 0, 0, log_, NoTextures(), "p.rwx"), "p");
    for (const auto& [x, action] : {std::pair{-0.35, ""}, std::pair{0.35, "create color red"}}) {
        PlacedObject o;
        o.model = model;
        o.placement.position = {x, 0, 0};
        o.placement.scale = {0.5, 0.5, 0.5};
        read.SetText(o, "p", "", action);
        read.objects.push_back(o);
    }
    TObjectMap scene(std::move(read), &log_);
    EXPECT_EQ(scene.Looks().looks.size(), 1u);
    Draw(&scene);
    // The first keeps the scale it was placed with (no action); the second takes the action's (1).
    EXPECT_TRUE(Near(PixelAt(-0.35, 0, 0), kWhite, 6)) << ToString(PixelAt(-0.35, 0, 0));
    EXPECT_TRUE(Near(PixelAt(-0.35, 0.2, 0), kBlack, 6)) << ToString(PixelAt(-0.35, 0.2, 0));
    EXPECT_TRUE(Near(PixelAt(0.35, 0.2, 0), kRed, 6)) << ToString(PixelAt(0.35, 0.2, 0));
}

TEST_F(LooksTest, TextureWithMaskOnTaggedFacesLetsTheBackgroundThroughTheMask) {
    dir_.Write("stripes.jpg", BandsJpeg(16, 16, {kRed, kBlue}));
    std::vector<uint8_t> mask(16 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) mask[static_cast<std::size_t>(y * 16 + x)] = y < 8 ? 0 : 255;
    dir_.Write("stripesm.bmp", EncodeGreyBmp(16, 16, mask));
    auto scene = Acted(Panels(3), "create texture stripes mask=stripesm tag=3");
    EXPECT_EQ(scene->Translucent().records.size(), 2u) << "masked faces join the transparent pass";
    Draw(scene.get());
    EXPECT_TRUE(Near(PixelAt(kLeft, 0.15, 0), kWhite, 6)) << "untagged faces keep their look";
    // The mask's upper half is clear: the image's top rows lie at the top of the face.
    EXPECT_TRUE(Near(PixelAt(0.07, 0.15, 0), kBlack, 8)) << ToString(PixelAt(0.07, 0.15, 0));
    EXPECT_TRUE(Near(PixelAt(0.07, -0.15, 0), kRed, 12)) << ToString(PixelAt(0.07, -0.15, 0));
    EXPECT_TRUE(Near(PixelAt(0.23, -0.15, 0), kBlue, 12)) << ToString(PixelAt(0.23, -0.15, 0));
    EXPECT_TRUE(log_.Empty()) << log_.Text();
}

TEST_F(LooksTest, MissingTextureIsOneErrorLineAtTheObjectsLine) {
    auto scene = Acted(Panels(3), "create texture nothere, texture nothere tag=3");
    ASSERT_EQ(log_.LineCount(), 1u) << log_.Text();
    EXPECT_EQ(log_.Line(0), "Couldn't open texture \"nothere.jpg\".");
    EXPECT_EQ(log_.PlaceOf(0), (LogPlace{"world.txt", {}, 7}));
}

TEST_F(LooksTest, ScaleActsAboutTheOriginBeforeTheTurn) {
    auto half = Acted(Panels(3), "create scale 0.5");
    Draw(half.get());
    EXPECT_TRUE(Near(PixelAt(0.1, 0.1, 0), kWhite, 6));
    EXPECT_TRUE(Near(PixelAt(0.22, 0.22, 0), kBlack, 6)) << ToString(PixelAt(0.22, 0.22, 0));

    // Squeezed along the model's y, then rolled a quarter (+x to +y): the squeeze shows along x.
    SceneObjects read;
    PlacedObject o;
    o.model = read.AddModel(RWXObject::FromText(Panels(3), 0, 0, 0, log_, NoTextures(), "p.rwx"), "p");
    o.placement.roll = 90;
    read.SetText(o, "p", "", "create scale 1 0.5 1");
    read.objects.push_back(o);
    TObjectMap turned(std::move(read), &log_);
    EXPECT_EQ(turned.PlacementOf(0).scale, (std::array<float, 3>{1, 0.5, 1}));
    Draw(&turned);
    EXPECT_TRUE(Near(PixelAt(0.1, 0.25, 0), kWhite, 6)) << ToString(PixelAt(0.1, 0.25, 0));
    EXPECT_TRUE(Near(PixelAt(0.22, 0.1, 0), kBlack, 6)) << ToString(PixelAt(0.22, 0.1, 0));
}

TEST_F(LooksTest, InvisibleObjectsAreKeptButNotDrawn) {
    for (const char* action : {"create visible no", "create visible off", "create visible no, visible yes"}) {
        auto scene = Acted(Panels(3), action);
        ASSERT_EQ(scene->ObjectCount(), 1u);
        Draw(scene.get());
        const bool shown = std::string(action).ends_with("yes");
        ExpectLeftRight(action, shown ? kWhite : kBlack, shown ? kWhite : kBlack);
    }
}

TEST_F(LooksTest, OpacityBlendsTheFacesItMakesTransparent) {
    auto scene = Acted(Panels(3), "create color ff0000, opacity 0.5 tag=3");
    EXPECT_EQ(scene->Translucent().records.size(), 2u);
    Draw(scene.get());
    ExpectLeftRight("opacity", kRed, Rgb{128, 0, 0});
}

// Whether some pixel of the right square shows white letters over blue (at this size blurred
// into lighter blue).
bool RightSquareHasLetters(const std::function<Rgb(double, double)>& pixel) {
    for (double x = 0.02; x < 0.3; x += 0.01)
        for (double y = -0.28; y < 0.28; y += 0.01)
            if (pixel(x, y).r > 60) return true;
    return false;
}

TEST_F(LooksTest, SignsShowTheirTextElseTheDescriptionElseTheBackground) {
    std::string why;
    if (!SignLettering::Open(&why)) GTEST_SKIP() << why;
    struct Case {
        const char* action;
        const char* description;
        bool letters;
    };
    const Case cases[] = {
        {"create sign \"WWW\" bcolor=blue color=white", "", true},
        {"create sign bcolor=blue", "MMM", true},
        {"create sign", "", false},
    };
    auto pixel = [&](double x, double y) { return PixelAt(x, y, 0); };
    for (const Case& c : cases) {
        auto scene = Acted(Panels(100), c.action, c.description);
        Draw(scene.get());
        EXPECT_TRUE(Near(PixelAt(kLeft, 0, 0), kWhite, 6)) << c.action;
        EXPECT_TRUE(Near(PixelAt(0.29 - 0.02, 0.27, 0), kBlue, 12)) << c.action << ": the background is at the edge";
        EXPECT_EQ(RightSquareHasLetters(pixel), c.letters) << c.action;
    }
    EXPECT_TRUE(log_.Empty()) << log_.Text();
}

TEST_F(LooksTest, PicturesAreStretchedOverTheirFacesWhateverTheirTextureCoordinates) {
    dir_.Write("pic.jpg", BandsJpeg(16, 16, {kRed, kBlue}));
    // Every corner of the tagged square at one texture coordinate.
    std::string script = Panels(200);
    for (const char* uv : {"UV 0 1", "UV 1 1", "UV 1 0", "UV 0 0"})
        for (std::size_t at = script.find(uv); at != std::string::npos; at = script.find(uv, at + 1))
            if (at > script.find("Vertex 0 -0.3 0 UV 0 1")) script.replace(at, 6, "UV 0 0");
    auto scene = Acted(script, "create picture pic.jpg");
    Draw(scene.get());
    EXPECT_TRUE(Near(PixelAt(kLeft, 0, 0), kWhite, 6));
    EXPECT_TRUE(Near(PixelAt(0.05, 0, 0), kRed, 12)) << ToString(PixelAt(0.05, 0, 0));
    EXPECT_TRUE(Near(PixelAt(0.25, 0, 0), kBlue, 12)) << ToString(PixelAt(0.25, 0, 0));

    auto missing = Acted(Panels(200), "create picture gone.jpg");
    ASSERT_EQ(log_.LineCount(), 1u) << log_.Text();
    EXPECT_EQ(log_.Line(0), "Couldn't open picture \"gone.jpg\".");
}

TEST_F(LooksTest, TaggedFacesInsidePrototypeInstancesTakeTheColour) {
    const std::string script =
        "ModelBegin\nProtoBegin half\nColor 1 1 1\nSurface 1 0 0\n"
        "Vertex 0 -0.3 0\nVertex 0.3 -0.3 0\nVertex 0.3 0.3 0\nVertex 0 0.3 0\nQuad 1 2 3 4 Tag 5\nProtoEnd\n"
        "ClumpBegin\nColor 1 1 1\nSurface 1 0 0\n"
        "Vertex -0.3 -0.3 0\nVertex 0 -0.3 0\nVertex 0 0.3 0\nVertex -0.3 0.3 0\nQuad 1 2 3 4\n"
        "ProtoInstance half\nClumpEnd\nModelEnd\n";
    auto scene = Acted(script, "create color green tag=5");
    Draw(scene.get());
    ExpectLeftRight("instance", kWhite, kGreen);
}

TEST_F(LooksTest, UnreadableActionIsOneLineAndTheModelDrawsAsItIs) {
    auto scene = Acted(Panels(3), "create color red, 5x");
    ASSERT_EQ(log_.LineCount(), 1u) << log_.Text();
    EXPECT_TRUE(log_.Line(0).starts_with("Couldn't read the action of the object on line 7, character 19: "))
        << log_.Line(0);
    Draw(scene.get());
    ExpectLeftRight("unreadable", kWhite, kWhite);
}

}  // namespace
}  // namespace pelorus::test
