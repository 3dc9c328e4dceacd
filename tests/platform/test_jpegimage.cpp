#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/jpegimage.h"
#include "testutil.h"

namespace pelorus {
namespace {

// Fixtures are encoded here with libjpeg's compressor at quality 100 without chroma subsampling,
// from 8 x 8 blocks of one colour each, so every decoded pixel lies within a few levels of its
// source.
constexpr int kTolerance = 3;

struct Rgb {
    int r, g, b;
};

std::vector<uint8_t> EncodeJpeg(int width, int height, int components, const std::vector<uint8_t>& pixels,
                                bool progressive = false) {
    return test::EncodeJpegBytes(width, height, components, pixels, progressive);
}

// 16 x 16 RGB: red top left, green top right, blue bottom left, white bottom right.
std::vector<uint8_t> FourQuadrantsJpeg(bool progressive = false) {
    const Rgb quadrants[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const Rgb& c = quadrants[(y / 8) * 2 + x / 8];
            pixels.insert(pixels.end(),
                          {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
        }
    }
    return EncodeJpeg(16, 16, 3, pixels, progressive);
}

// A 64 x 64 image with detail in every block, so that its scan data is long.
std::vector<uint8_t> NoisyJpeg(bool progressive = false) {
    std::vector<uint8_t> pixels(64 * 64 * 3);
    uint32_t seed = 12345;
    for (uint8_t& p : pixels) {
        seed = seed * 1103515245u + 12345u;
        p = static_cast<uint8_t>(seed >> 24);
    }
    return EncodeJpeg(64, 64, 3, pixels, progressive);
}

// Rewrites the size in the frame header (SOF0 to SOF2) of `bytes`.
void PatchSize(std::vector<uint8_t>& bytes, uint16_t width, uint16_t height) {
    for (std::size_t i = 2; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] >= 0xC0 && bytes[i + 1] <= 0xC2) {
            bytes[i + 5] = static_cast<uint8_t>(height >> 8);
            bytes[i + 6] = static_cast<uint8_t>(height & 0xFF);
            bytes[i + 7] = static_cast<uint8_t>(width >> 8);
            bytes[i + 8] = static_cast<uint8_t>(width & 0xFF);
            return;
        }
    }
    FAIL() << "no frame header";
}

Rgb PixelAt(const RgbImage& image, int x, int y) {
    const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
    const std::size_t at = (row + static_cast<std::size_t>(x)) * 3;
    return {image.pixels.at(at), image.pixels.at(at + 1), image.pixels.at(at + 2)};
}

void ExpectNear(const Rgb& actual, const Rgb& expected, const std::string& where) {
    EXPECT_NEAR(actual.r, expected.r, kTolerance) << where;
    EXPECT_NEAR(actual.g, expected.g, kTolerance) << where;
    EXPECT_NEAR(actual.b, expected.b, kTolerance) << where;
}

// Decodes through a real file, the way the texture loader reads.
ImageError DecodeThroughFile(const std::vector<uint8_t>& bytes, RgbImage& out) {
    test::TempDir dir;
    const std::string path = dir.Write("image.jpg", std::string(bytes.begin(), bytes.end()));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    const ImageError result = DecodeJpeg(file, out);
    if (file != nullptr) {
        std::fclose(file);
    }
    return result;
}

// A result left over from an earlier decode, to see that failures clear it.
RgbImage Stale() {
    RgbImage image;
    image.width = 1;
    image.height = 1;
    image.pixels = {1, 2, 3};
    return image;
}

void ExpectFailure(const std::vector<uint8_t>& bytes, ImageError expected, const std::string& what) {
    for (bool viaFile : {false, true}) {
        RgbImage out = Stale();
        testing::internal::CaptureStderr();
        const ImageError result =
            viaFile ? DecodeThroughFile(bytes, out) : DecodeJpeg(std::span<const uint8_t>(bytes), out);
        const std::string printed = testing::internal::GetCapturedStderr();
        const std::string where = what + (viaFile ? " (file)" : " (memory)");
        EXPECT_EQ(result, expected) << where;
        EXPECT_EQ(out.width, 0) << where;
        EXPECT_EQ(out.height, 0) << where;
        EXPECT_TRUE(out.pixels.empty()) << where;
        EXPECT_EQ(printed, "") << where;
    }
}

TEST(JpegImage, RgbQuadrantsKeepTheirColoursAndTopRowComesFirst) {
    for (bool progressive : {false, true}) {
        const std::vector<uint8_t> bytes = FourQuadrantsJpeg(progressive);
        for (bool viaFile : {false, true}) {
            RgbImage out;
            const ImageError result =
                viaFile ? DecodeThroughFile(bytes, out) : DecodeJpeg(std::span<const uint8_t>(bytes), out);
            const std::string where =
                std::string(progressive ? "progressive" : "baseline") + (viaFile ? " via file" : " via memory");
            ASSERT_EQ(result, ImageError::None) << where;
            ASSERT_EQ(out.width, 16) << where;
            ASSERT_EQ(out.height, 16) << where;
            ASSERT_EQ(out.pixels.size(), 16u * 16u * 3u) << where;
            ExpectNear(PixelAt(out, 0, 0), {255, 0, 0}, where + " top left");
            ExpectNear(PixelAt(out, 15, 7), {0, 255, 0}, where + " top right");
            ExpectNear(PixelAt(out, 7, 8), {0, 0, 255}, where + " bottom left");
            ExpectNear(PixelAt(out, 15, 15), {255, 255, 255}, where + " bottom right");
        }
    }
}

TEST(JpegImage, GreyscaleBecomesEqualRgbChannels) {
    // 8 wide, 16 tall: a dark block over a light one.
    std::vector<uint8_t> pixels(8 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = i < 64 ? 40 : 200;
    }
    const std::vector<uint8_t> bytes = EncodeJpeg(8, 16, 1, pixels);
    RgbImage out;
    ASSERT_EQ(DecodeJpeg(std::span<const uint8_t>(bytes), out), ImageError::None);
    ASSERT_EQ(out.width, 8);
    ASSERT_EQ(out.height, 16);
    ASSERT_EQ(out.pixels.size(), 8u * 16u * 3u);
    for (int y : {0, 7, 8, 15}) {
        const Rgb p = PixelAt(out, 3, y);
        EXPECT_EQ(p.r, p.g) << "row " << y;
        EXPECT_EQ(p.g, p.b) << "row " << y;
        EXPECT_NEAR(p.r, y < 8 ? 40 : 200, kTolerance) << "row " << y;
    }
}

TEST(JpegImage, CmykCannotBecomeRgbAndIsToldApartFromDamage) {
    std::vector<uint8_t> pixels(8 * 8 * 4, 128);
    ExpectFailure(EncodeJpeg(8, 8, 4, pixels), ImageError::CmykColours, "cmyk");
}

TEST(JpegImage, DataCutShortIsUnreadableNotPaddedWithGrey) {
    // libjpeg only warns about a premature end and fills the rest with grey; that must fail.
    for (bool progressive : {false, true}) {
        const std::vector<uint8_t> whole = NoisyJpeg(progressive);
        for (std::size_t keep :
             {std::size_t{2}, std::size_t{20}, whole.size() / 3, whole.size() / 2, whole.size() - 2}) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
            ExpectFailure(cut, ImageError::Unreadable,
                          std::string(progressive ? "progressive" : "baseline") + " cut to " + std::to_string(keep) +
                              " of " + std::to_string(whole.size()));
        }
    }
}

TEST(JpegImage, BytesThatAreNoJpegAreUnreadable) {
    std::vector<uint8_t> noise(1000);
    uint32_t seed = 7;
    for (uint8_t& b : noise) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    std::vector<uint8_t> startThenNoise = {0xFF, 0xD8};
    startThenNoise.insert(startThenNoise.end(), noise.begin(), noise.end());
    const std::string gif = "GIF89a\x01\x00\x01\x00";
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"one byte", {0xFF}},
        {"gif header", std::vector<uint8_t>(gif.begin(), gif.end())},
        {"random bytes", noise},
        {"start marker then random bytes", startThenNoise},
    };
    for (const auto& c : cases) {
        ExpectFailure(c.bytes, ImageError::Unreadable, c.name);
    }
}

TEST(JpegImage, ClaimedSizeAboveLimitIsTooLargeBeforeDecoding) {
    const struct { uint16_t width, height; } sizes[] = {{20000, 16}, {16, 20000}, {20000, 20000}, {16385, 16385}};
    for (const auto& s : sizes) {
        std::vector<uint8_t> bytes = FourQuadrantsJpeg();
        PatchSize(bytes, s.width, s.height);
        ExpectFailure(bytes, ImageError::TooLarge, std::to_string(s.width) + " x " + std::to_string(s.height));
    }
}

TEST(JpegImage, HugeClaimedSizeWithLittleDataFailsCheaply) {
    // Within the size limit but far more pixels than the data holds: the baseline decoder runs
    // out of data after a few rows, and the progressive one would need more than the memory cap
    // for its coefficients.
    for (bool progressive : {false, true}) {
        std::vector<uint8_t> bytes = FourQuadrantsJpeg(progressive);
        PatchSize(bytes, 16384, 16384);
        ExpectFailure(bytes, ImageError::Unreadable, progressive ? "progressive" : "baseline");
    }
}

TEST(JpegImage, FileIsReadFromItsCurrentPosition) {
    const std::vector<uint8_t> jpeg = FourQuadrantsJpeg();
    test::TempDir dir;
    const std::string path = dir.Write("prefixed.bin", "junk" + std::string(jpeg.begin(), jpeg.end()));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fseek(file, 4, SEEK_SET), 0);
    RgbImage out;
    EXPECT_EQ(DecodeJpeg(file, out), ImageError::None);
    std::fclose(file);
    EXPECT_EQ(out.width, 16);
    EXPECT_EQ(out.height, 16);
}

TEST(JpegImage, NullFileIsUnreadable) {
    RgbImage out = Stale();
    EXPECT_EQ(DecodeJpeg(static_cast<std::FILE*>(nullptr), out), ImageError::Unreadable);
    EXPECT_TRUE(out.pixels.empty());
    EXPECT_EQ(out.width, 0);
}

TEST(JpegImage, RealProgressiveDropletDecodesTheSameFromFileAndMemory) {
    const std::string path = test::DataDir() + "/realworld/cube/droplet.jpg";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    RgbImage fromFile;
    EXPECT_EQ(DecodeJpeg(file, fromFile), ImageError::None);
    ASSERT_EQ(std::fseek(file, 0, SEEK_SET), 0);
    std::vector<uint8_t> bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        bytes.push_back(static_cast<uint8_t>(c));
    }
    std::fclose(file);

    RgbImage fromMemory;
    EXPECT_EQ(DecodeJpeg(std::span<const uint8_t>(bytes), fromMemory), ImageError::None);
    EXPECT_EQ(fromFile.width, 32);
    EXPECT_EQ(fromFile.height, 128);
    EXPECT_EQ(fromFile.pixels.size(), 32u * 128u * 3u);
    EXPECT_EQ(fromMemory.width, 32);
    EXPECT_EQ(fromMemory.height, 128);
    EXPECT_EQ(fromFile.pixels, fromMemory.pixels);
    // A light blue droplet on black.
    ASSERT_EQ(fromFile.pixels.size(), 32u * 128u * 3u);
    const Rgb corner = PixelAt(fromFile, 0, 0);
    EXPECT_LT(corner.r + corner.g + corner.b, 30);
    const Rgb drop = PixelAt(fromFile, 15, 8);
    EXPECT_GT(drop.b, 230);
    EXPECT_GT(drop.g, 130);
    EXPECT_LT(drop.r, 110);
}

}  // namespace
}  // namespace pelorus
