#pragma once
// Helpers of the drawing tests: image files made in code, and a headless OpenGL context with the
// viewer's frame set up on it.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reader/rwxobject.h"
#include "render/frame.h"
#include "render/headless.h"
#include "render/objectmap.h"
#include "scene/worldlook.h"
#include "testutil.h"

namespace pelorus::test {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// A JPEG of w x h pixels given as `rgb` (w x h x 3 bytes, top row first), at quality 100 and
// without chroma subsampling, so that areas of one colour on 8-pixel boundaries decode to that
// colour within a few levels.
std::string EncodeJpeg(int w, int h, const std::vector<uint8_t>& rgb);
// A w x h image of vertical bands of equal width, one colour each, left to right.
std::string BandsJpeg(int w, int h, const std::vector<Rgb>& bands);
// A strip of square frames of side `side`, one colour each, top to bottom.
std::string FramesJpeg(int side, const std::vector<Rgb>& frames);
// A 24-bit BMP whose pixels are the grey values `grey` (w x h, top row first).
std::string EncodeGreyBmp(int w, int h, const std::vector<uint8_t>& grey);

// Reads textures from `dir` only (no TexturesPath.txt is found next to a folder that has none).
ReadOptions TexturesFrom(const std::string& dir);

// A world without backdrop, ground or skybox: white light shining along -z (straight into the
// screen), white ambient light, no fog, black clear colour.
WorldLook PlainLook();

// A test with a current headless context of kSize x kSize pixels, the viewport and projection
// set, and the axes flag off. Skips when the machine has no EGL display at all.
class GLTest : public ::testing::Test {
public:
    static constexpr int kSize = 64;

protected:
    void SetUp() override;
    void TearDown() override;

    // Applies `look` (backdrop and textures looked for in `dir` when given).
    void Apply(const WorldLook& look, TObjectMap* scene = nullptr, const std::string& dir = "");
    // Draws a frame of `scene` (null draws the no-scene frame) and reads it back.
    void Draw(TObjectMap* scene);
    Rgb Pixel(int x, int y) const;
    Rgb Centre() const { return Pixel(kSize / 2, kSize / 2); }
    // The pixel where the world point lands under the current camera.
    Rgb PixelAt(double x, double y, double z) const;

    std::unique_ptr<HeadlessGL> gl_;
    Viewport viewport_;
    AppliedWorld world_;
    DrawContext context_;
    std::vector<uint8_t> pixels_;
};

// A scene of one object read from `script` at `offset`.
std::unique_ptr<TObjectMap> SceneOf(const std::string& script, double x = 0, double y = 0, double z = 0,
                                    const ReadOptions& options = NoTextures());

// True when each channel differs by at most `tolerance`.
bool Near(const Rgb& a, const Rgb& b, int tolerance = 3);
std::string ToString(const Rgb& c);

}  // namespace pelorus::test
