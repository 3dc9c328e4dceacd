// Pixel checks of drawn frames in a headless context, on tiny scenes with known colours.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "render/renderfixtures.h"
#include "render/worldgl.h"

namespace pelorus::test {
namespace {

const Rgb kBlack{0, 0, 0};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};
const Rgb kBlue{0, 0, 255};
const Rgb kWhite{255, 255, 255};

// A square of side 0.6 in the plane z = `z`, counter-clockwise seen from the camera (or clockwise
// with `reversed`), texture coordinates 0 to `uMax` across and 0 to 1 down, after `material`.
std::string Square(const std::string& material, double z = 0, double uMax = 1, bool reversed = false) {
    const std::string zs = std::to_string(z), u = std::to_string(uMax);
    return "ModelBegin\nClumpBegin\n" + material + "\nVertex -0.3 -0.3 " + zs + " UV 0 1\nVertex 0.3 -0.3 " + zs +
           " UV " + u + " 1\nVertex 0.3 0.3 " + zs + " UV " + u + " 0\nVertex -0.3 0.3 " + zs + " UV 0 0\n" +
           (reversed ? "Quad 4 3 2 1\n" : "Quad 1 2 3 4\n") + "ClumpEnd\nModelEnd\n";
}

// A clump of a red square of side 1 at z = -0.2, red lit or not (2 x 0.5 + 0.5 saturates).
std::string RedWall() {
    return "ClumpBegin\nColor 1 0 0\nSurface 0.5 0.5 0\n"
           "Vertex -0.5 -0.5 -0.2\nVertex 0.5 -0.5 -0.2\nVertex 0.5 0.5 -0.2\nVertex -0.5 0.5 -0.2\n"
           "Quad 1 2 3 4\nClumpEnd\n";
}

// ---- Colour, lighting, emission, culling -----------------------------------------------------

struct ColourCase {
    const char* name;
    std::string script;
    bool lighting;
    Rgb expected;
};
void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.name;
}

class ColourTest : public GLTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourTest, CentreShowsTheExpectedColour) {
    const ColourCase& c = GetParam();
    auto scene = SceneOf(c.script);
    context_.flags.lighting = c.lighting;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), c.expected)) << ToString(Centre()) << " instead of " << ToString(c.expected);
}

// The light of PlainLook, lit: (model ambient 1 + light ambient 1) x ambient term + light 1 x
// diffuse term x N.L, where N.L is 1 for a face turned to the camera.
INSTANTIATE_TEST_SUITE_P(
    Faces, ColourTest,
    ::testing::Values(
        // Unlit faces show the material colour as it is.
        ColourCase{"UnlitFaceShowsMaterialColour", Square("Color 1 0 0\nSurface 0.2 0.5 0"), false, kRed},
        // A red face stays red under white light: 2 x 0.3 + 0.7 in red, nothing in green and blue
        // (a diffuse term without the colour would give (255, 178, 178)).
        ColourCase{"LitRedFaceKeepsItsColour", Square("Color 1 0 0\nSurface 0.3 0.7 0"), true, kRed},
        // Both terms carry the colour: (2 x 0.1 + 0.6) x (1, 0.5, 0.25).
        ColourCase{"LitFaceIsColourTimesAmbientAndDiffuse", Square("Color 1 0.5 0.25\nSurface 0.1 0.6 0"), true,
                   Rgb{204, 102, 51}},
        // Without Surface the factors are 0: lit, only emitted light would show.
        ColourCase{"LitFaceWithoutSurfaceIsBlack", Square("Color 1 0 0"), true, kBlack},
        // Prelight is emitted light: it shows on a black, lit face.
        ColourCase{"PrelightShowsAsEmission",
                   "ModelBegin\nClumpBegin\nColor 0 0 0\nSurface 0 0 0\n"
                   "Vertex -0.3 -0.3 0 Prelight 0.2 0.6 0.4\nVertex 0.3 -0.3 0 Prelight 0.2 0.6 0.4\n"
                   "Vertex 0.3 0.3 0 Prelight 0.2 0.6 0.4\nVertex -0.3 0.3 0 Prelight 0.2 0.6 0.4\n"
                   "Quad 1 2 3 4\nClumpEnd\nModelEnd\n",
                   true, Rgb{51, 153, 102}},
        ColourCase{"SingleSidedFaceIsHiddenFromBehind", Square("Color 1 0 0", 0, 1, true), false, kBlack},
        ColourCase{"DoubleFaceIsSeenFromBehind", Square("Color 1 0 0\nMaterialModes Double", 0, 1, true), false, kRed}),
    [](const ::testing::TestParamInfo<ColourCase>& p) { return std::string(p.param.name); });

// Glass in front of a red wall: blended over it by its opacity, lit or not as the view says.
struct GlassCase {
    const char* name;
    const char* glass;
    bool lighting;
    Rgb expected;
};
void PrintTo(const GlassCase& c, std::ostream* os) {
    *os << c.name;
}

class GlassTest : public GLTest, public ::testing::WithParamInterface<GlassCase> {};

TEST_P(GlassTest, GlassBlendsOverTheWallBehind) {
    const GlassCase& c = GetParam();
    const std::string glass = std::string("ClumpBegin\n") + c.glass +
                              "\nVertex -0.3 -0.3 0\nVertex 0.3 -0.3 0\nVertex 0.3 0.3 0\nVertex -0.3 0.3 0\n"
                              "Quad 1 2 3 4\nClumpEnd\n";
    auto scene = SceneOf("ModelBegin\n" + RedWall() + glass + "ModelEnd\n");
    ASSERT_EQ(scene->Translucent().records.size(), 2u);
    context_.flags.lighting = c.lighting;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), c.expected, 4)) << ToString(Centre()) << " instead of " << ToString(c.expected);
    EXPECT_TRUE(Near(PixelAt(-0.4, 0, -0.2), kRed, 4))
        << "the wall beside the glass " << ToString(PixelAt(-0.4, 0, -0.2));
}

INSTANTIATE_TEST_SUITE_P(
    Translucent, GlassTest,
    ::testing::Values(
        // Unlit, the glass shows its colour whatever its Surface.
        GlassCase{"UnlitGlassWithoutSurfaceShowsItsColour", "Color 0 0 1\nOpacity 0.5", false, {128, 0, 128}},
        GlassCase{"UnlitGlassIgnoresItsSurface", "Color 0 0 1\nSurface 1 1 0\nOpacity 0.25", false, {191, 0, 64}},
        // Lit, glass is lit as an opaque face of its material would be: black without Surface,
        // so it only darkens the wall; blue with it (2 x 0.25 + 0.5).
        GlassCase{"LitGlassWithoutSurfaceDarkensTheWall", "Color 0 0 1\nOpacity 0.5", true, {128, 0, 0}},
        GlassCase{"LitGlassShowsItsLitColour", "Color 0 0 1\nSurface 0.25 0.5 0\nOpacity 0.5", true, {128, 0, 128}}),
    [](const ::testing::TestParamInfo<GlassCase>& p) { return std::string(p.param.name); });

TEST_F(GLTest, TranslucentFaceShowsItsOwnPrelightNotTheLastOpaqueOne) {
    ErrorLog log;
    // A glowing opaque face drawn first must not lend its emission to a translucent face.
    const std::string glowing =
        "ModelBegin\nClumpBegin\nColor 0 0 0\nSurface 0 0 0\n"
        "Vertex 0.5 0.5 0 Prelight 1 1 1\nVertex 0.6 0.5 0 Prelight 1 1 1\nVertex 0.6 0.6 0 Prelight 1 1 1\n"
        "Triangle 1 2 3\nClumpEnd\nModelEnd\n";
    std::vector<std::unique_ptr<RWXObject>> objects;
    objects.push_back(RWXObject::FromText(glowing, 0, 0, 0, log, NoTextures()));
    objects.push_back(
        RWXObject::FromText(Square("Color 0 0 1\nSurface 1 0 0\nOpacity 0.5"), 0, 0, 0, log, NoTextures()));
    TObjectMap scene(std::move(objects));
    context_.flags.lighting = true;
    Draw(&scene);
    EXPECT_TRUE(Near(Centre(), Rgb{0, 0, 128})) << ToString(Centre());
}

// ---- Textures --------------------------------------------------------------------------------

class TextureTest : public GLTest {
protected:
    TempDir dir_;
};

TEST_F(TextureTest, MaskedTexelsAreTransparent) {
    dir_.Write("leaf.jpg", BandsJpeg(16, 16, {{0, 200, 0}}));
    std::vector<uint8_t> mask(16 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) mask[static_cast<std::size_t>(y * 16 + x)] = x < 8 ? 0 : 255;
    dir_.Write("leafm.bmp", EncodeGreyBmp(16, 16, mask));
    auto scene =
        SceneOf(Square("Color 1 1 1\nSurface 1 0 0\nTexture leaf Mask leafm"), 0, 0, 0, TexturesFrom(dir_.Path()));
    ASSERT_EQ(scene->Translucent().records.size(), 2u) << "a masked texture makes its faces translucent";
    Draw(scene.get());
    EXPECT_TRUE(Near(PixelAt(-0.15, 0, 0), kBlack, 6)) << ToString(PixelAt(-0.15, 0, 0));
    EXPECT_TRUE(Near(PixelAt(0.15, 0, 0), Rgb{0, 200, 0}, 6)) << ToString(PixelAt(0.15, 0, 0));
}

// A PNG of w x h pixels in vertical bands of equal width, each one RGBA colour, left to right.
std::string BandsPng(int w, int h, const std::vector<std::array<uint8_t, 4>>& bands) {
    PngFile layout;
    layout.width = w;
    layout.height = h;
    layout.colour = PngFile::Rgba;
    std::vector<uint8_t> row;
    for (int x = 0; x < w; ++x) {
        const auto& c = bands[static_cast<std::size_t>(x) * bands.size() / static_cast<std::size_t>(w)];
        row.insert(row.end(), c.begin(), c.end());
    }
    layout.rows.assign(static_cast<std::size_t>(h), row);
    const std::vector<uint8_t> bytes = WritePng(layout);
    return std::string(bytes.begin(), bytes.end());
}

struct TexturedCase {
    const char* name;
    const char* material;
    bool lighting;
    Rgb expected;
};
void PrintTo(const TexturedCase& c, std::ostream* os) {
    *os << c.name;
}

class TexturedFaceTest : public TextureTest, public ::testing::WithParamInterface<TexturedCase> {};

// Most textured prims name no Color: the texture must show as it is, not darkened by the
// default black colour.
TEST_P(TexturedFaceTest, TextureShowsOverAWhiteBase) {
    const TexturedCase& c = GetParam();
    dir_.Write("wall.png", BandsPng(16, 16, {{200, 100, 50, 255}}));
    auto scene = SceneOf(Square(c.material), 0, 0, 0, TexturesFrom(dir_.Path()));
    ASSERT_EQ(scene->Object(0).Textures().size(), 1u);
    context_.flags.lighting = c.lighting;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), c.expected, 3)) << ToString(Centre()) << " instead of " << ToString(c.expected);
}

// Lit, with PlainLook's light: texture x (2 x ambient + diffuse), clamped to 1.
INSTANTIATE_TEST_SUITE_P(
    Textured, TexturedFaceTest,
    ::testing::Values(
        TexturedCase{
            "UnlitWithoutColourShowsTheTexture", "Ambient 0.1\nDiffuse 0.5\nTexture wall", false, {200, 100, 50}},
        TexturedCase{
            "UnlitTextureReplacesTheColour", "Color 0.2 0.2 1\nSurface 0.1 0.5 0\nTexture wall", false, {200, 100, 50}},
        TexturedCase{"LitWithoutColourScalesTheTexture", "Surface 0.1 0.5 0\nTexture wall", true, {140, 70, 35}},
        TexturedCase{"LitTextureIgnoresTheColour", "Color 0 0 1\nSurface 0.1 0.5 0\nTexture wall", true, {140, 70, 35}},
        // Without the Lit texture mode the ambient term is full: 2 x 1 saturates.
        TexturedCase{"LitWithoutLitModeShowsTheFullTexture",
                     "Surface 0.1 0.5 0\nTextureModes Foreshorten\nTexture wall",
                     true,
                     {200, 100, 50}},
        // Over the black clear colour, at half opacity.
        TexturedCase{"UnlitTranslucentTextureAtItsOpacity",
                     "Surface 0.1 0.5 0\nOpacity 0.5\nTexture wall",
                     false,
                     {100, 50, 25}},
        TexturedCase{
            "LitTranslucentTextureAtItsOpacity", "Surface 0.1 0.5 0\nOpacity 0.5\nTexture wall", true, {70, 35, 18}}),
    [](const ::testing::TestParamInfo<TexturedCase>& p) { return std::string(p.param.name); });

TEST_F(TextureTest, PngLeafShowsTheWallThroughItsTransparentPart) {
    // Left third transparent, middle third half transparent, right third opaque green.
    dir_.Write("leaf.png", BandsPng(24, 24, {{0, 200, 0, 0}, {0, 200, 0, 128}, {0, 200, 0, 255}}));
    const std::string leaf =
        "ClumpBegin\nSurface 0.5 0.5 0\nMaterialModes Double\nTexture leaf\n"
        "Vertex -0.3 -0.3 0 UV 0 1\nVertex 0.3 -0.3 0 UV 1 1\nVertex 0.3 0.3 0 UV 1 0\nVertex -0.3 0.3 0 UV 0 0\n"
        "Quad 1 2 3 4\nClumpEnd\n";
    auto scene = SceneOf("ModelBegin\n" + RedWall() + leaf + "ModelEnd\n", 0, 0, 0, TexturesFrom(dir_.Path()));
    ASSERT_EQ(scene->Translucent().records.size(), 2u) << "a PNG with alpha makes its faces translucent";
    for (const bool lit : {false, true}) {
        context_.flags.lighting = lit;
        Draw(scene.get());
        const char* view = lit ? "lit: " : "unlit: ";
        EXPECT_TRUE(Near(PixelAt(-0.2, 0, 0), kRed, 6)) << view << ToString(PixelAt(-0.2, 0, 0));
        EXPECT_TRUE(Near(PixelAt(0, 0, 0), Rgb{127, 100, 0}, 8)) << view << ToString(PixelAt(0, 0, 0));
        EXPECT_TRUE(Near(PixelAt(0.2, 0, 0), Rgb{0, 200, 0}, 6)) << view << ToString(PixelAt(0.2, 0, 0));
    }
}

struct AddressCase {
    const char* mode;
    Rgb at[4];  // at u = 0.25, 0.75, 1.25, 1.75 of a face spanning u 0 to 2
};
void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.mode;
}

class AddressModeTest : public TextureTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressModeTest, TextureRepeatsAsTheModeSays) {
    dir_.Write("bands.jpg", BandsJpeg(16, 16, {kRed, kBlue}));
    const std::string material = std::string("Color 1 1 1\nTextureAddressMode ") + GetParam().mode + "\nTexture bands";
    auto scene = SceneOf(Square(material, 0, 2), 0, 0, 0, TexturesFrom(dir_.Path()));
    Draw(scene.get());
    for (int i = 0; i < 4; ++i) {
        const Rgb got = PixelAt(-0.3 + 0.6 * (2 * i + 1) / 8.0, 0, 0);
        EXPECT_TRUE(Near(got, GetParam().at[i], 14)) << "quarter " << i << ": " << ToString(got);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, AddressModeTest,
                         ::testing::Values(AddressCase{"Wrap", {kRed, kBlue, kRed, kBlue}},
                                           // The image, then its mirror image.
                                           AddressCase{"Mirror", {kRed, kBlue, kBlue, kRed}},
                                           // Clamped to the edge, half mixed with the black border.
                                           AddressCase{"Clamp", {kRed, kBlue, {0, 0, 128}, {0, 0, 128}}}),
                         [](const ::testing::TestParamInfo<AddressCase>& p) { return std::string(p.param.mode); });

TEST_F(TextureTest, EachTextureKeepsItsOwnWrapModeFrameAfterFrame) {
    // Wrap modes are set on the texture that is drawn, not on the one bound before it.
    dir_.Write("a.jpg", BandsJpeg(16, 16, {kRed, kBlue}));
    dir_.Write("b.jpg", BandsJpeg(16, 16, {kRed, kBlue}));
    const std::string left =
        "ClumpBegin\nColor 1 1 1\nTextureAddressMode Clamp\nTexture a\n"
        "Vertex -0.6 -0.2 0 UV 0 1\nVertex -0.05 -0.2 0 UV 2 1\nVertex -0.05 0.2 0 UV 2 0\nVertex -0.6 0.2 0 UV 0 0\n"
        "Quad 1 2 3 4\nClumpEnd\n";
    const std::string right =
        "ClumpBegin\nColor 1 1 1\nTextureAddressMode Wrap\nTexture b\n"
        "Vertex 0.05 -0.2 0 UV 0 1\nVertex 0.6 -0.2 0 UV 2 1\nVertex 0.6 0.2 0 UV 2 0\nVertex 0.05 0.2 0 UV 0 0\n"
        "Quad 1 2 3 4\nClumpEnd\n";
    auto scene = SceneOf("ModelBegin\n" + left + right + "ModelEnd\n", 0, 0, 0, TexturesFrom(dir_.Path()));
    for (int frame = 0; frame < 3; ++frame) {
        Draw(scene.get());
        const Rgb clamped = PixelAt(-0.6 + 0.55 * 5 / 8.0, 0, 0);
        const Rgb wrapped = PixelAt(0.05 + 0.55 * 5 / 8.0, 0, 0);
        EXPECT_TRUE(Near(clamped, {0, 0, 128}, 20)) << "frame " << frame << ": " << ToString(clamped);
        EXPECT_TRUE(Near(wrapped, kRed, 14)) << "frame " << frame << ": " << ToString(wrapped);
    }
}

TEST_F(TextureTest, AnimatedTextureShowsTheFrameOfTheClock) {
    const std::vector<Rgb> frames{kRed, kGreen, kBlue, kWhite};
    dir_.Write("anim.jpg", FramesJpeg(16, frames));
    auto scene = SceneOf(Square("Color 1 1 1\nTexture anim"), 0, 0, 0, TexturesFrom(dir_.Path()));
    ASSERT_EQ(scene->Object(0).Textures().at(0).frameCount, 4);
    const struct {
        int64_t ms;
        Rgb expected;
    } cases[] = {{0, kRed}, {199, kRed}, {200, kGreen}, {400, kBlue}, {799, kWhite}, {800, kRed}, {1000, kGreen}};
    for (const auto& c : cases) {
        context_.timeMs = c.ms;
        Draw(scene.get());
        EXPECT_TRUE(Near(Centre(), c.expected, 6)) << c.ms << " ms: " << ToString(Centre());
    }
}

TEST_F(TextureTest, TextureWithoutMipmapsDrawsUntextured) {
    dir_.Write("red.jpg", BandsJpeg(16, 16, {kRed}));
    auto scene =
        SceneOf(Square("Color 0.2 0.4 0.6\nTextureMipmapState Off\nTexture red"), 0, 0, 0, TexturesFrom(dir_.Path()));
    ASSERT_EQ(scene->Object(0).Textures().size(), 1u);
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), Rgb{51, 102, 153})) << ToString(Centre());
}

// View > Mark Missing Textures: faces whose texture could not be read show a checker of magenta
// and dark grey over their texture coordinates; plain faces and found textures stay as they are.
TEST_F(TextureTest, MissingTexturesShowACheckerOnlyWhenAskedAndOnlyWhereTheTextureIsMissing) {
    dir_.Write("red.jpg", BandsJpeg(16, 16, {kRed}));
    const Rgb plain{51, 102, 153};
    const Rgb light{kCheckerLight[0], kCheckerLight[1], kCheckerLight[2]};
    const Rgb dark{kCheckerDark[0], kCheckerDark[1], kCheckerDark[2]};
    // Two neighbouring cells of one row of the 8 x 8 cells: x at u = 3.5/8 and 4.5/8, y at v = 3.5/8.
    const double y = 0.3 - 0.6 * 3.5 / 8, x1 = -0.3 + 0.6 * 3.5 / 8, x2 = -0.3 + 0.6 * 4.5 / 8;
    auto scene = SceneOf(Square("Color 0.2 0.4 0.6\nTexture gone"), 0, 0, 0, TexturesFrom(dir_.Path()));
    context_.flags.missingTextures = false;
    Draw(scene.get());
    EXPECT_TRUE(Near(PixelAt(x1, y, 0), plain)) << ToString(PixelAt(x1, y, 0));
    context_.flags.missingTextures = true;
    Draw(scene.get());
    const Rgb a = PixelAt(x1, y, 0), b = PixelAt(x2, y, 0);
    EXPECT_TRUE((Near(a, light, 8) && Near(b, dark, 8)) || (Near(a, dark, 8) && Near(b, light, 8)))
        << ToString(a) << " and " << ToString(b);
    context_.flags.missingTextures = true;
    auto untextured = SceneOf(Square("Color 0.2 0.4 0.6"), 0, 0, 0, TexturesFrom(dir_.Path()));
    Draw(untextured.get());
    EXPECT_TRUE(Near(PixelAt(x1, y, 0), plain) && Near(PixelAt(x2, y, 0), plain)) << ToString(PixelAt(x1, y, 0));
    auto found = SceneOf(Square("Color 1 1 1\nTexture red"), 0, 0, 0, TexturesFrom(dir_.Path()));
    Draw(found.get());
    EXPECT_TRUE(Near(PixelAt(x1, y, 0), kRed, 6) && Near(PixelAt(x2, y, 0), kRed, 6)) << ToString(PixelAt(x1, y, 0));
}

TEST_F(TextureTest, CompiledAndDirectDrawingGiveTheSamePixels) {
    dir_.Write("bands.jpg", BandsJpeg(16, 16, {kRed, kBlue, kGreen}));
    std::string script =
        "ModelBegin\nClumpBegin\nColor 0.9 0.8 0.7\nSurface 0.3 0.6 0\nLightSampling Vertex\n"
        "TextureAddressMode Mirror\nTexture bands\n";
    for (int i = 0; i < 6; ++i) {
        const double a = i * 0.1 - 0.3;
        script += "Vertex " + std::to_string(a) + " -0.3 " + std::to_string(a * a) + " UV " + std::to_string(i) +
                  " 1 Prelight 0." + std::to_string(i) + " 0.1 0\n";
        script += "Vertex " + std::to_string(a) + " 0.3 0 UV " + std::to_string(i) + " 0\n";
    }
    for (int i = 0; i < 5; ++i) {
        const int b = 2 * i + 1;
        script += "Quad " + std::to_string(b) + " " + std::to_string(b + 2) + " " + std::to_string(b + 3) + " " +
                  std::to_string(b + 1) + "\n";
    }
    script += "ClumpEnd\nModelEnd\n";
    auto scene = SceneOf(script, 0, 0, 0, TexturesFrom(dir_.Path()));
    context_.flags.lighting = true;
    context_.camera.yaw = 20;
    context_.camera.pitch = 10;
    Draw(scene.get());
    const std::vector<uint8_t> compiled = pixels_;
    renderer_.SetCompiledGeometry(false);
    Draw(scene.get());
    EXPECT_TRUE(compiled == pixels_) << "compiled and direct drawing differ";
    EXPECT_FALSE(Near(Centre(), kBlack)) << "the scene was not drawn";
}

// How many of the first texture names are texture objects now.
int LiveTextureNames() {
    int live = 0;
    for (GLuint n = 1; n <= 64; ++n) live += glIsTexture(n) ? 1 : 0;
    return live;
}

TEST_F(TextureTest, TexturesAreUploadedWhenFirstDrawnAndReleasedWithTheScene) {
    dir_.Write("red.jpg", BandsJpeg(16, 16, {kRed}));
    dir_.Write("anim.jpg", FramesJpeg(16, {kRed, kGreen}));
    auto scene = SceneOf(Square("Texture anim"), 0, 0, 0, TexturesFrom(dir_.Path()));
    ErrorLog log;
    (void)scene->SetGround(RWXObject::FromText(Square("Texture red"), 0, 0, 0, log, TexturesFrom(dir_.Path())));
    const int before = LiveTextureNames();
    Draw(scene.get());
    EXPECT_EQ(LiveTextureNames(), before + 3) << "one texture object per frame, uploaded when first drawn";
    EXPECT_EQ(renderer_.TextureUploads(), 2u);
    renderer_.Release();
    EXPECT_EQ(LiveTextureNames(), before);
}

// A world of many objects placing a few models that share one image: each model is read once and
// the image is decoded and uploaded once, and what is drawn is what reading every object on its
// own draws.
TEST_F(TextureTest, ObjectsSharingModelsAndImagesDrawAsIfEachWereReadAlone) {
    dir_.Write("red.jpg", BandsJpeg(16, 16, {kRed}));
    dir_.Write("a.rwx", Square("Texture red", 0, 0.5));
    dir_.Write("b.rwx", Square("Texture red\nOpacity 0.5", 0.1));
    std::string map;
    for (int i = 0; i < 12; ++i)
        map += std::string(i % 3 ? "a.rwx " : "B.RWX ") + std::to_string(0.3 * (i % 4) - 0.45) + " " +
               std::to_string(0.3 * (i / 4) - 0.3) + " 0\n";
    dir_.Write("map.txt", map);
    ReadOptions options = TexturesFrom(dir_.Path());
    options.baseFolder = dir_.Path();
    ErrorLog log;
    auto shared = TObjectMap::FromFile("map.txt", log, options);
    options.shareModels = false;
    auto alone = TObjectMap::FromFile("map.txt", log, options);
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(shared->ObjectCount(), 12u);
    ASSERT_EQ(alone->ObjectCount(), 12u);
    EXPECT_EQ(&shared->Object(1), &shared->Object(2)) << "a.rwx is read once";
    EXPECT_NE(&alone->Object(1), &alone->Object(2));
    EXPECT_EQ(shared->Translucent().records.size(), alone->Translucent().records.size());

    context_.camera.distance = 2.5;
    Draw(shared.get());
    EXPECT_EQ(renderer_.TextureUploads(), 1u) << "one image, decoded and uploaded once";
    const std::vector<uint8_t> sharedPixels = pixels_;
    renderer_.Release();
    Draw(alone.get());
    EXPECT_TRUE(sharedPixels == pixels_) << "sharing changes how the scene is kept, not what it shows";
    EXPECT_FALSE(Near(Centre(), kBlack));
}

TEST_F(TextureTest, ApplyingAWorldGivesTheSceneItsGroundAndSkybox) {
    dir_.Write("models/grass.rwx", Square("Color 0 1 0"));
    dir_.Write("models/sky.rwx", Square("Color 0 0 1"));
    WorldLook look = PlainLook();
    look.groundPath = dir_.Join("models/grass.rwx");
    look.skyboxPath = dir_.Join("models/sky.rwx");
    TObjectMap scene;
    Apply(look, &scene, dir_.Path());
    ASSERT_TRUE(scene.Ground());
    ASSERT_TRUE(scene.Skybox());
    EXPECT_EQ(scene.Ground()->Offset(), kGroundOffset);
    EXPECT_EQ(scene.Skybox()->Offset(), kSkyboxOffset);
    look.skyboxPath = "models/.rwx";  // a world without skybox
    Apply(look, &scene, dir_.Path());
    EXPECT_TRUE(scene.Ground());
    EXPECT_FALSE(scene.Skybox());
}

// ---- The transparent pass --------------------------------------------------------------------

// An object whose bounding sphere only reaches into the view from beside it is still drawn: its
// corner shows at the edge of the picture.
TEST_F(GLTest, CullingKeepsAnObjectThatOnlyJustReachesIntoTheView) {
    // At the eye's distance of 1.5 the view is 2 x 1.5 x tan(25) = 1.40 wide: x up to 0.6995 shows.
    auto scene = SceneOf(Square("Color 1 0 0"), 0.95, 0, 0);
    ASSERT_FALSE(scene->SphereOf(0).Empty());
    EXPECT_GT(scene->SphereOf(0).centre.x, 0.6995) << "the sphere's centre lies outside the view";
    Draw(scene.get());
    EXPECT_TRUE(Near(Pixel(kSize - 1, kSize / 2), kRed)) << ToString(Pixel(kSize - 1, kSize / 2));
    EXPECT_TRUE(Near(Pixel(kSize - 4, kSize / 2), kBlack)) << "nothing but the corner is in view";

    // Wholly beside the view: not drawn, and the picture is the same either way.
    auto beside = SceneOf(Square("Color 1 0 0"), 2.5, 0, 0);
    Draw(beside.get());
    EXPECT_TRUE(Near(Pixel(kSize - 1, kSize / 2), kBlack));
}

TEST_F(GLTest, DrawDistanceLeavesOutObjectsWhoseNearestPointIsFarther) {
    auto scene = SceneOf(Square("Color 1 0 0") + "\n", 0, 0, 0);
    // The square's sphere (radius 0.42) is 1.5 units from the eye: its nearest point 1.08 away.
    context_.drawDistance = 1.0;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), kBlack)) << ToString(Centre());
    context_.drawDistance = 1.2;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), kRed)) << ToString(Centre());
    context_.drawDistance = kDrawEverything;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), kRed));
}

// However many clumps a model has, its opaque faces of one material make one display list.
TEST_F(GLTest, ClumpsOfOneMaterialShareOneDisplayList) {
    std::string script = "ModelBegin\n";
    for (int i = 0; i < 50; ++i)
        script += "ClumpBegin\nColor " + std::string(i % 2 ? "1 0 0" : "0 0 1") +
                  "\nVertex 0 0 0\nVertex 0.1 0 0\nVertex 0 0.1 0\nTriangle 1 2 3\nClumpEnd\n";
    script += "ModelEnd\n";
    ErrorLog log;
    auto object = RWXObject::FromText(script, 0, 0, 0, log, NoTextures());
    ObjectResources resources;
    std::vector<GeometryCache::Group>& groups = resources.geometry.GroupsOf(*object);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].members.size(), 25u);
    EXPECT_EQ(groups[1].members.size(), 25u);
    EXPECT_NE(resources.geometry.FacesList(groups[0]), 0u);
    resources.Release();
}

TEST_F(GLTest, TranslucentFacesOfTwoObjectsBlendFartherFirstInEitherMapOrder) {
    ErrorLog log;
    const std::string red = Square("Color 1 0 0\nSurface 1 0 0\nOpacity 0.5");
    const std::string blue = Square("Color 0 0 1\nSurface 1 0 0\nOpacity 0.5");
    // Red lies behind blue: red blended over black, then blue over that.
    const Rgb farFirst{64, 0, 128};
    for (const bool redFirst : {true, false}) {
        std::vector<std::unique_ptr<RWXObject>> objects;
        auto far = RWXObject::FromText(red, 0, 0, -0.2, log, NoTextures());
        auto near = RWXObject::FromText(blue, 0, 0, 0.2, log, NoTextures());
        if (redFirst) {
            objects.push_back(std::move(far));
            objects.push_back(std::move(near));
        } else {
            objects.push_back(std::move(near));
            objects.push_back(std::move(far));
        }
        TObjectMap scene(std::move(objects));
        Draw(&scene);
        EXPECT_TRUE(Near(Centre(), farFirst, 4)) << (redFirst ? "red first: " : "blue first: ") << ToString(Centre());
    }
}

TEST_F(GLTest, TranslucentNeighboursOfOneMaterialKeepTheirOwnPlaceAndPrelight) {
    ErrorLog log;
    // Three squares of one material side by side, one after the other in depth order: the middle
    // one glows green; the others must neither glow nor take another's place.
    const auto square = [](const char* prelight) {
        std::string s = "ModelBegin\nClumpBegin\nColor 0 0 1\nSurface 1 0 0\nOpacity 0.5\n";
        for (const char* corner : {"-0.15 -0.15 0", "0.15 -0.15 0", "0.15 0.15 0", "-0.15 0.15 0"})
            s += std::string("Vertex ") + corner + prelight + "\n";
        return s + "Quad 1 2 3 4\nClumpEnd\nModelEnd\n";
    };
    const auto drawn = [&](bool withGlowing) {
        std::vector<std::unique_ptr<RWXObject>> objects;
        objects.push_back(RWXObject::FromText(square(""), -0.4, 0, -0.2, log, NoTextures()));
        if (withGlowing) objects.push_back(RWXObject::FromText(square(" Prelight 0 1 0"), 0, 0, 0, log, NoTextures()));
        objects.push_back(RWXObject::FromText(square(""), 0.4, 0, 0.2, log, NoTextures()));
        TObjectMap scene(std::move(objects));
        context_.flags.lighting = true;
        Draw(&scene);
        return std::array<Rgb, 4>{PixelAt(-0.4, 0, -0.2), PixelAt(0, 0, 0), PixelAt(0.4, 0, 0.2), PixelAt(0.2, 0, 0.1)};
    };
    const std::array<Rgb, 4> plain = drawn(false);
    const std::array<Rgb, 4> both = drawn(true);
    EXPECT_GT(both[1].g, 100) << "the middle square glows " << ToString(both[1]);
    for (const int i : {0, 2})
        EXPECT_TRUE(Near(both[i], plain[i], 2))
            << "square " << i << ": " << ToString(both[i]) << " instead of " << ToString(plain[i]);
    EXPECT_GT(plain[0].b, 20) << "the farther square is drawn " << ToString(plain[0]);
    EXPECT_TRUE(Near(both[3], kBlack, 2)) << "nothing between the squares " << ToString(both[3]);
}

// ---- Scene: ground, skybox, view flags ---------------------------------------------------------

struct GroundCase {
    const char* name;
    bool object, ground;
    Rgb model, groundOpaque, groundTranslucent;
};
void PrintTo(const GroundCase& c, std::ostream* os) {
    *os << c.name;
}

class GroundTest : public GLTest, public ::testing::WithParamInterface<GroundCase> {};

TEST_P(GroundTest, FlagsShowWhatTheyShould) {
    ErrorLog log;
    const GroundCase& c = GetParam();
    // The model at the centre; the ground's opaque square to the left, its translucent one to the right.
    auto scene = SceneOf(Square("Color 1 0 0"), 0, 0, 0);
    (void)scene->SetGround(RWXObject::FromText(
        "ModelBegin\nClumpBegin\nColor 0 1 0\n"
        "Vertex -0.6 -0.1 0\nVertex -0.4 -0.1 0\nVertex -0.4 0.1 0\nVertex -0.6 0.1 0\nQuad 1 2 3 4\n"
        "Color 0 0 1\nSurface 1 0 0\nOpacity 0.5\n"
        "Vertex 0.4 -0.1 0\nVertex 0.6 -0.1 0\nVertex 0.6 0.1 0\nVertex 0.4 0.1 0\nQuad 5 6 7 8\n"
        "ClumpEnd\nModelEnd\n",
        0, 0, 0, log, NoTextures()));
    ASSERT_TRUE(scene->Ground());
    context_.flags.object = c.object;
    context_.flags.ground = c.ground;
    context_.flags.axes = false;
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), c.model, 4)) << "model " << ToString(Centre());
    EXPECT_TRUE(Near(PixelAt(-0.5, 0, 0), c.groundOpaque, 4)) << "ground " << ToString(PixelAt(-0.5, 0, 0));
    EXPECT_TRUE(Near(PixelAt(0.5, 0, 0), c.groundTranslucent, 4)) << "ground " << ToString(PixelAt(0.5, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Flags, GroundTest,
                         ::testing::Values(GroundCase{"AllOn", true, true, kRed, kGreen, {0, 0, 128}},
                                           GroundCase{"ObjectOffKeepsGround", false, true, kBlack, kGreen, {0, 0, 128}},
                                           GroundCase{"GroundOffHidesBothPasses", true, false, kRed, kBlack, kBlack}),
                         [](const ::testing::TestParamInfo<GroundCase>& p) { return std::string(p.param.name); });

TEST_F(GLTest, GroundOrSkyboxWithoutTrianglesIsDropped) {
    ErrorLog log;
    TObjectMap scene;
    (void)scene.SetGround(RWXObject::FromText("ModelBegin\nModelEnd\n", 0, 0, 0, log, NoTextures()));
    (void)scene.SetSkybox(nullptr);
    EXPECT_EQ(scene.Ground(), nullptr);
    EXPECT_EQ(scene.Skybox(), nullptr);
}

TEST_F(GLTest, SkyboxStaysAroundTheEyeWhateverDistanceAndHeight) {
    // A box of side 4 around the origin, each side its own colour, seen from inside.
    const char* sides[] = {
        "Color 1 0 0\nVertex -2 -2 -2\nVertex 2 -2 -2\nVertex 2 2 -2\nVertex -2 2 -2\n",  // far (-z)
        "Color 0 1 0\nVertex 2 -2 -2\nVertex 2 -2 2\nVertex 2 2 2\nVertex 2 2 -2\n",      // right (+x)
        "Color 0 0 1\nVertex -2 -2 2\nVertex -2 -2 -2\nVertex -2 2 -2\nVertex -2 2 2\n",  // left (-x)
        "Color 1 1 0\nVertex 2 -2 2\nVertex -2 -2 2\nVertex -2 2 2\nVertex 2 2 2\n",      // near (+z)
    };
    std::string script = "ModelBegin\nClumpBegin\nMaterialModes Double\n";
    for (int i = 0; i < 4; ++i)
        script += std::string(sides[i]) + "Quad " + std::to_string(4 * i + 1) + " " + std::to_string(4 * i + 2) + " " +
                  std::to_string(4 * i + 3) + " " + std::to_string(4 * i + 4) + "\n";
    script += "ClumpEnd\nModelEnd\n";
    TObjectMap scene;
    ErrorLog log;
    (void)scene.SetSkybox(
        RWXObject::FromText(script, kSkyboxOffset[0], kSkyboxOffset[1], kSkyboxOffset[2], log, NoTextures()));
    ASSERT_TRUE(scene.Skybox());
    context_.flags.axes = false;
    Draw(&scene);
    const std::vector<uint8_t> home = pixels_;
    EXPECT_TRUE(Near(Centre(), kRed)) << ToString(Centre());

    context_.camera.distance = 3.5;
    context_.camera.height = 1.2;
    Draw(&scene);
    EXPECT_TRUE(home == pixels_) << "moving the camera moved the skybox";

    context_.camera.yaw = 90;  // the world turns left: the right side comes in front of the eye
    Draw(&scene);
    EXPECT_TRUE(Near(Centre(), kGreen)) << ToString(Centre());
}

struct AlignCase {
    const char* name;
    const char* alignment;
    double yaw;
    bool visible;
};
void PrintTo(const AlignCase& c, std::ostream* os) {
    *os << c.name;
}

class AlignTest : public GLTest, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(AlignTest, AlignedFacesTurnWithTheCamera) {
    auto scene =
        SceneOf(Square(std::string("Color 1 0 0\nMaterialModes Double\nAxisAlignment ") + GetParam().alignment));
    context_.camera.yaw = GetParam().yaw;
    context_.flags.axes = false;
    Draw(scene.get());
    EXPECT_EQ(Near(Centre(), kRed), GetParam().visible) << ToString(Centre());
}

INSTANTIATE_TEST_SUITE_P(Yaw, AlignTest,
                         ::testing::Values(AlignCase{"PlainFaceSeenEdgeOn", "None", 90, false},
                                           AlignCase{"AlignedFaceStillFacesTheEye", "ZOrientY", 90, true},
                                           AlignCase{"AlignedFaceAtYaw0", "ZOrientY", 0, true}),
                         [](const ::testing::TestParamInfo<AlignCase>& p) { return std::string(p.param.name); });

// Whether some pixel within one pixel of `p` is near `colour`.
bool AnyAround(const std::vector<uint8_t>& pixels, int size, ScreenPoint p, Rgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int x = static_cast<int>(p.x) + dx, y = static_cast<int>(p.y) + dy;
            if (x < 0 || y < 0 || x >= size || y >= size) continue;
            const std::size_t i =
                (static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)) * 4u;
            if (Near({pixels[i], pixels[i + 1], pixels[i + 2]}, colour, 8)) return true;
        }
    return false;
}

class LinesTest : public GLTest {
protected:
    ScreenPoint At(double x, double y, double z) const {
        return ProjectToScreen(ViewerProjection(kSize, kSize), CameraMatrix(context_.camera), x, y, z, kSize, kSize);
    }
    bool Shows(double x, double y, double z, Rgb colour) const {
        return AnyAround(pixels_, kSize, At(x, y, z), colour);
    }
};

TEST_F(LinesTest, NormalsAreYellowAndOutlinesMagentaWithFacesHidden) {
    // A horizontal triangle below the eye, its normal pointing up.
    auto scene = SceneOf(
        "ModelBegin\nClumpBegin\nColor 0 0 1\n"
        "Vertex -0.3 -0.2 0.2\nVertex 0.3 -0.2 0.2\nVertex 0 -0.2 -0.3\nTriangle 1 2 3\nClumpEnd\nModelEnd\n");
    context_.flags.object = false;
    context_.flags.axes = false;
    context_.flags.normals = true;
    context_.flags.geometry = true;
    Draw(scene.get());
    EXPECT_TRUE(Shows(-0.3, -0.15, 0.2, Rgb{255, 255, 0})) << "no yellow normal line";
    EXPECT_TRUE(Shows(0, -0.2, 0.2, Rgb{255, 0, 255})) << "no magenta outline";
    EXPECT_FALSE(Shows(0, -0.2, 0.05, Rgb{0, 0, 255})) << "the face was drawn with the object flag off";
}

TEST_F(LinesTest, TranslucentFacesSeenFromBehindShowOnlyWhenDoubleOrOutlined) {
    context_.flags.axes = false;
    // Unlit blue at half opacity over black, the square turned away from the eye.
    const std::string glass = "Color 0 0 1\nOpacity 0.5";
    const Rgb halfBlue{0, 0, 128};
    auto single = SceneOf(Square(glass, 0, 1, true));
    Draw(single.get());
    EXPECT_TRUE(Near(Centre(), kBlack, 2)) << "a single-sided back face " << ToString(Centre());
    auto both = SceneOf(Square(glass + "\nMaterialModes Double", 0, 1, true));
    Draw(both.get());
    EXPECT_TRUE(Near(Centre(), halfBlue, 3)) << "a double-sided back face " << ToString(Centre());
    context_.flags.geometry = true;
    Draw(single.get());
    EXPECT_TRUE(Shows(0, -0.3, 0, Rgb{255, 0, 255})) << "no outline of the back face";
    EXPECT_TRUE(Near(PixelAt(0.2, -0.05, 0), kBlack, 2))
        << "the back face with outlines " << ToString(PixelAt(0.2, -0.05, 0));
}

TEST_F(LinesTest, AxesAreDrawnWithoutSceneWhateverTheFlag) {
    context_.flags.axes = false;
    Draw(nullptr);
    EXPECT_TRUE(Shows(0.5, 0, 0, kBlue)) << "x axis";
    EXPECT_TRUE(Shows(0, 0.5, 0, kGreen)) << "y axis";

    TObjectMap empty;
    Draw(&empty);
    EXPECT_FALSE(Shows(0.5, 0, 0, kBlue)) << "an empty scene with the axes flag off shows no axes";
    context_.flags.axes = true;
    Draw(&empty);
    EXPECT_TRUE(Shows(0.5, 0, 0, kBlue)) << "an empty scene shows the axes when asked";
}

// ---- World: backdrop and fog -------------------------------------------------------------------

TEST_F(TextureTest, BackdropTurnsHalfAnImageAtYaw180AndSitsOnTheHorizon) {
    dir_.Write("sky.jpg", BandsJpeg(kSize, 32, {kRed, kBlue}));
    WorldLook look = PlainLook();
    look.backdrop = "sky";
    look.clearColor = {0, 1, 0, 1};
    Apply(look, nullptr, dir_.Path());
    ASSERT_EQ(world_.backdrop.width, kSize);
    ASSERT_EQ(world_.backdrop.height, 32);

    Draw(nullptr);
    // Left of the centre s runs from -0.5 to 0: the right half of the image; right of it the left half.
    EXPECT_TRUE(Near(Pixel(16, 16), kBlue, 8)) << ToString(Pixel(16, 16));
    EXPECT_TRUE(Near(Pixel(48, 16), kRed, 8)) << ToString(Pixel(48, 16));
    EXPECT_TRUE(Near(Pixel(16, 31), kBlue, 8)) << "the image reaches down to the centre line";
    EXPECT_TRUE(Near(Pixel(16, 33), kGreen, 8)) << "below the horizon the clear colour shows";

    context_.camera.yaw = 180;
    Draw(nullptr);
    EXPECT_TRUE(Near(Pixel(16, 16), kRed, 8)) << ToString(Pixel(16, 16));
    EXPECT_TRUE(Near(Pixel(48, 16), kBlue, 8)) << ToString(Pixel(48, 16));

    context_.flags.backdrop = false;
    Draw(nullptr);
    EXPECT_TRUE(Near(Pixel(16, 16), kGreen, 8)) << "the backdrop flag hides it";
}

TEST_F(TextureTest, PngBackdropDrawsOpaqueWhateverItsNameAndAlpha) {
    dir_.Write("sky.jpg", BandsPng(kSize, 32, {{255, 0, 0, 0}, {0, 0, 255, 128}}));
    WorldLook look = PlainLook();
    look.backdrop = "sky";
    look.clearColor = {0, 1, 0, 1};
    Apply(look, nullptr, dir_.Path());
    ASSERT_EQ(world_.backdrop.width, kSize) << "a PNG under a JPEG name is read by its content";
    Draw(nullptr);
    EXPECT_TRUE(Near(Pixel(16, 16), kBlue, 8)) << ToString(Pixel(16, 16));
    EXPECT_TRUE(Near(Pixel(48, 16), kRed, 8)) << ToString(Pixel(48, 16));
}

TEST_F(TextureTest, BackdropKeepsRepeatingAfterAClampedMaterial) {
    dir_.Write("sky.jpg", BandsJpeg(kSize, 32, {kRed, kBlue}));
    dir_.Write("tile.jpg", BandsJpeg(16, 16, {kWhite}));
    WorldLook look = PlainLook();
    look.backdrop = "sky";
    Apply(look, nullptr, dir_.Path());
    auto scene = SceneOf(
        "ModelBegin\nClumpBegin\nTextureAddressMode Clamp\nTexture tile\n"
        "Vertex -0.05 -0.5 0 UV 0 1\nVertex 0.05 -0.5 0 UV 1 1\nVertex 0.05 -0.4 0 UV 1 0\nTriangle 1 2 3\n"
        "ClumpEnd\nModelEnd\n",
        0, 0, 0, TexturesFrom(dir_.Path()));
    context_.flags.axes = false;
    for (int frame = 0; frame < 2; ++frame) Draw(scene.get());
    EXPECT_TRUE(Near(Pixel(16, 16), kBlue, 8)) << ToString(Pixel(16, 16));
}

TEST_F(GLTest, UndecodableBackdropIsReportedAndNotDrawn) {
    TempDir dir;
    dir.Write("broken.jpg", "\xFF\xD8\xFF\xE0 this is no picture");
    WorldLook look = PlainLook();
    look.backdrop = "broken";
    const std::size_t mark = log_.LineCount();
    Apply(look, nullptr, dir.Path());
    EXPECT_EQ(log_.LinesSince(mark), std::vector<std::string>{"Couldn't read texture backdrop \"broken.jpg\"."});
    EXPECT_EQ(world_.backdrop.texture, 0u);
    Draw(nullptr);
    EXPECT_TRUE(Near(Pixel(16, 16), kBlack)) << ToString(Pixel(16, 16));

    // A world that names no backdrop replaces the old one with none, and has nothing to report.
    const std::size_t quiet = log_.LineCount();
    look.backdrop = "";
    Apply(look, nullptr, dir.Path());
    EXPECT_TRUE(log_.LinesSince(quiet).empty());
    EXPECT_EQ(world_.backdrop.texture, 0u);
}

struct FogCase {
    const char* name;
    bool worldFog, viewFog;
    Rgb expected;
};
void PrintTo(const FogCase& c, std::ostream* os) {
    *os << c.name;
}

class FogTest : public GLTest, public ::testing::WithParamInterface<FogCase> {};

TEST_P(FogTest, FogMixesTheBackdropColourByDistance) {
    const FogCase& c = GetParam();
    WorldLook look = PlainLook();
    look.clearColor = {0, 0, 1, 1};
    look.fog = c.worldFog;
    look.fogStart = 0;
    look.fogEnd = 3;  // the face is 1.5 units from the eye: half way
    Apply(look);
    SetFog(world_, c.viewFog);
    auto scene = SceneOf(Square("Color 1 1 1"));
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), c.expected, 4)) << ToString(Centre());
}

INSTANTIATE_TEST_SUITE_P(World, FogTest,
                         ::testing::Values(FogCase{"HalfWay", true, true, {128, 128, 255}},
                                           FogCase{"ViewFlagOff", true, false, kWhite},
                                           FogCase{"WorldWithoutFog", false, true, kWhite}),
                         [](const ::testing::TestParamInfo<FogCase>& p) { return std::string(p.param.name); });

// A world with a fog colour of its own mixes that one in, and the clear colour stays the sky's.
TEST_F(GLTest, FogOfItsOwnColourLeavesTheClearColourAlone) {
    WorldLook look = PlainLook();
    look.clearColor = {0, 0, 1, 1};
    look.fogColor = std::array<float, 4>{1, 0, 0, 1};
    look.fog = true;
    look.fogStart = 0;
    look.fogEnd = 3;
    Apply(look);
    SetFog(world_, true);
    auto scene = SceneOf(Square("Color 1 1 1"));
    Draw(scene.get());
    EXPECT_TRUE(Near(Centre(), {255, 128, 128}, 4)) << ToString(Centre());
    EXPECT_TRUE(Near(Pixel(1, 1), {0, 0, 255}, 4)) << ToString(Pixel(1, 1));
}

}  // namespace
}  // namespace pelorus::test
