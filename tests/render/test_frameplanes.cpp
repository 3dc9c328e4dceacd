// Near and far planes that follow the scene: the skybox keeps planes of its own, so that neither
// a large scene (its near plane pushed out) nor a large skybox (beyond the fixed far plane)
// loses any of it, and the scene's planes are back for everything drawn after it.

#include <gtest/gtest.h>

#include <string>

#include "render/renderfixtures.h"
#include "scene/framing.h"

namespace pelorus::test {
namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};

// A square of side 2 x `half` facing the eye at `z`, in `color`.
std::string Square(double half, double z, const char* color, double left = -1, double right = 1) {
    const auto n = [](double v) { return std::to_string(v); };
    return "ModelBegin\nClumpBegin\nColor " + std::string(color) + "\nSurface 1 0 0\nMaterialModes Double\n" +
           "Vertex " + n(left * half) + " " + n(-half) + " " + n(z) + "\n" + "Vertex " + n(right * half) + " " +
           n(-half) + " " + n(z) + "\n" + "Vertex " + n(right * half) + " " + n(half) + " " + n(z) + "\n" + "Vertex " +
           n(left * half) + " " + n(half) + " " + n(z) + "\n" + "Quad 1 2 3 4\nClumpEnd\nModelEnd\n";
}

std::unique_ptr<RWXObject> Skybox(const std::string& script) {
    ErrorLog log;
    return RWXObject::FromText(script, kSkyboxOffset[0], kSkyboxOffset[1], kSkyboxOffset[2], log, NoTextures());
}

TEST_F(GLTest, ASmallSkyboxStaysWholeUnderThePlanesOfAHugeScene) {
    // A scene 4000 units deep: its near plane lies at 0.1, beyond a skybox 0.05 units away.
    const DepthRange huge = DepthRangeFor(4000);
    ASSERT_GT(huge.zNear, 0.05);
    Resize(viewport_, kSize, kSize, huge);
    // The model covers the left half, 2000 units away; the skybox everything, close to the eye.
    auto scene = SceneOf(Square(2000, -2000, "0 1 0", -1, 0), 0, 0, 0);
    context_.camera.distance = 0.0;
    (void)scene->SetSkybox(Skybox(Square(0.5, -0.05, "1 0 0")));
    ASSERT_TRUE(scene->Skybox());
    Draw(scene.get());
    EXPECT_TRUE(Near(Pixel(kSize - 8, kSize / 2), kRed)) << ToString(Pixel(kSize - 8, kSize / 2));
    // Drawn after the skybox with the scene's own planes again: the far model is not clipped.
    EXPECT_TRUE(Near(Pixel(8, kSize / 2), kGreen)) << ToString(Pixel(8, kSize / 2));
}

TEST_F(GLTest, ASkyboxBeyondTheFixedFarPlaneIsDrawnWhole) {
    TObjectMap scene;
    (void)scene.SetSkybox(Skybox(Square(200, -100, "1 0 0")));
    Draw(&scene);
    EXPECT_TRUE(Near(Centre(), kRed)) << ToString(Centre());
}

}  // namespace
}  // namespace pelorus::test
