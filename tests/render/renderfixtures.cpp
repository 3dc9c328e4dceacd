#include "render/renderfixtures.h"

#include <cstdio>
#include <cstdlib>

#include "render/worldgl.h"
#include "scene/viewmath.h"

namespace pelorus::test {

WorldLook PlainLook() {
    WorldLook look;
    look.backdrop = "";
    look.groundPath = "models/.rwx";
    look.skyboxPath = "models/.rwx";
    look.clearColor = {0, 0, 0, 1};
    look.lightX = 0;
    look.lightY = 0;
    look.lightZ = -1;
    look.fog = false;
    return look;
}

void GLTest::SetUp() {
    HeadlessStatus status = HeadlessStatus::Ok;
    std::string error;
    gl_ = HeadlessGL::Create(kSize, kSize, &status, &error);
    if (!gl_ && status == HeadlessStatus::NoDisplay) GTEST_SKIP() << "no EGL display on this machine: " << error;
    ASSERT_TRUE(gl_) << error;
    Resize(viewport_, kSize, kSize);
    context_.flags.axes = false;  // the z axis would cover the centre of every picture
    Apply(PlainLook());
}

void GLTest::TearDown() {
    if (!gl_) return;
    renderer_.Release();
    DeleteBackdrop(world_.backdrop);
}

void GLTest::Apply(const WorldLook& look, TObjectMap* scene, const std::string& dir) {
    ReadOptions options = dir.empty() ? ReadOptions{} : TexturesFrom(dir);
    if (dir.empty()) options.programDir = "/nonexistent-pelorus-dir";
    ApplyWorld(look, world_, scene, renderer_, log_, options);
}

void GLTest::Draw(TObjectMap* scene) {
    DrawFrame(viewport_, world_, context_, scene, renderer_);
    pixels_ = gl_->ReadPixels();
}

Rgb GLTest::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize || pixels_.empty()) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is outside the image";
        return {-1, -1, -1};
    }
    const std::size_t i = (static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)) * 4u;
    return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
}

Rgb GLTest::PixelAt(double x, double y, double z) const {
    const ScreenPoint p =
        ProjectToScreen(ViewerProjection(kSize, kSize), CameraMatrix(context_.camera), x, y, z, kSize, kSize);
    EXPECT_TRUE(p.visible) << "(" << x << ", " << y << ", " << z << ") is not in view";
    return Pixel(static_cast<int>(p.x), static_cast<int>(p.y));
}

std::unique_ptr<TObjectMap> SceneOf(const std::string& script, double x, double y, double z,
                                    const ReadOptions& options) {
    ErrorLog log;
    std::vector<std::unique_ptr<RWXObject>> objects;
    objects.push_back(RWXObject::FromText(script, x, y, z, log, options, "scene.rwx"));
    return std::make_unique<TObjectMap>(std::move(objects));
}

}  // namespace pelorus::test
