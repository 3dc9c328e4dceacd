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
#include "render/scenedraw.h"
#include "scene/objectmap.h"
#include "scene/worldlook.h"
#include "testutil.h"

namespace pelorus::test {

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

    // Applies `look` (backdrop and textures looked for in `dir` when given); reading problems go
    // to log_.
    void Apply(const WorldLook& look, TObjectMap* scene = nullptr, const std::string& dir = "");
    // Draws a frame of `scene` (null draws the no-scene frame) through renderer_ and reads it
    // back.
    void Draw(TObjectMap* scene);
    Rgb Pixel(int x, int y) const;
    Rgb Centre() const { return Pixel(kSize / 2, kSize / 2); }
    // The pixel where the world point lands under the current camera.
    Rgb PixelAt(double x, double y, double z) const;

    std::unique_ptr<HeadlessGL> gl_;
    ErrorLog log_;
    SceneRenderer renderer_;
    Viewport viewport_;
    AppliedWorld world_;
    DrawContext context_;
    std::vector<uint8_t> pixels_;
};

// A scene of one object read from `script` at `offset`.
std::unique_ptr<TObjectMap> SceneOf(const std::string& script, double x = 0, double y = 0, double z = 0,
                                    const ReadOptions& options = NoTextures());

}  // namespace pelorus::test
