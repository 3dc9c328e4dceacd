#include "render/renderfixtures.h"

#include <cstdio>
#include <cstdlib>

#include "scene/viewmath.h"
#include "render/worldgl.h"

namespace pelorus::test {

std::string EncodeJpeg(int w, int h, const std::vector<uint8_t>& rgb) {
    const std::vector<uint8_t> bytes = EncodeJpegBytes(w, h, 3, rgb);
    return std::string(bytes.begin(), bytes.end());
}

std::string BandsJpeg(int w, int h, const std::vector<Rgb>& bands) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb& c = bands[static_cast<std::size_t>(x * static_cast<int>(bands.size()) / w)];
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
        }
    return EncodeJpeg(w, h, rgb);
}

std::string FramesJpeg(int side, const std::vector<Rgb>& frames) {
    std::vector<uint8_t> rgb;
    for (const Rgb& c : frames)
        for (int i = 0; i < side * side; ++i)
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
    return EncodeJpeg(side, side * static_cast<int>(frames.size()), rgb);
}

std::string EncodeGreyBmp(int w, int h, const std::vector<uint8_t>& grey) {
    const int stride = (w * 3 + 3) / 4 * 4;
    const uint32_t dataSize = static_cast<uint32_t>(stride * h);
    std::string out;
    auto u16 = [&](uint32_t v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    out += "BM";
    u32(54 + dataSize), u32(0), u32(54);
    u32(40), u32(static_cast<uint32_t>(w)), u32(static_cast<uint32_t>(h)), u16(1), u16(24), u32(0), u32(dataSize);
    u32(2835), u32(2835), u32(0), u32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) out += static_cast<char>(grey[static_cast<std::size_t>(y * w + x)]);
        for (int p = w * 3; p < stride; ++p) out += '\0';
    }
    return out;
}

ReadOptions TexturesFrom(const std::string& dir) {
    ReadOptions options;
    options.programDir = dir;
    options.extraTextureDirs = {dir};
    return options;
}

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
    LogCapture quiet;             // the plain world has no backdrop image
    Apply(PlainLook());
}

void GLTest::TearDown() {
    if (gl_) DeleteBackdrop(world_.backdrop);
}

void GLTest::Apply(const WorldLook& look, TObjectMap* scene, const std::string& dir) {
    ReadOptions options = dir.empty() ? ReadOptions{} : TexturesFrom(dir);
    if (dir.empty()) options.programDir = "/nonexistent-pelorus-dir";
    ApplyWorld(look, world_, scene, options);
}

void GLTest::Draw(TObjectMap* scene) {
    DrawFrame(viewport_, world_, context_, scene);
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
    std::vector<std::unique_ptr<RWXObject>> objects;
    objects.push_back(RWXObject::FromText(script, x, y, z, options, "scene.rwx"));
    return std::make_unique<TObjectMap>(std::move(objects));
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string ToString(const Rgb& c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

}  // namespace pelorus::test
