#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/imagedecode.h"
#include "testutil.h"

namespace pelorus {
namespace {

using Bytes = std::vector<uint8_t>;

// A 1-row BMP with a 40-byte header; 8-bit files get a palette of red and blue.
Bytes Bmp(uint16_t bits, uint32_t compression, const Bytes& pixels, int32_t width = 2) {
    const std::size_t paletteBytes = bits == 8 ? 8 : 0;
    const std::size_t pixelsAt = 54 + paletteBytes;
    Bytes b(pixelsAt + (pixels.size() + 3) / 4 * 4, 0);
    const auto put = [&b](std::size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(10, static_cast<uint32_t>(pixelsAt), 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, 1, 4);
    put(26, 1, 2);
    put(28, bits, 2);
    put(30, compression, 4);
    if (bits == 8) {
        put(46, 2, 4);
        put(54, 0x00FF0000, 4);  // B, G, R, unused: red
        put(58, 0x000000FF, 4);  // blue
    }
    std::copy(pixels.begin(), pixels.end(), b.begin() + static_cast<std::ptrdiff_t>(pixelsAt));
    return b;
}

Bytes Jpeg() {
    return test::EncodeJpegBytes(8, 8, 3, Bytes(8 * 8 * 3, 200));
}

Bytes Png(test::PngFile::Colour colour, Bytes row, int width = 1) {
    test::PngFile layout;
    layout.width = width;
    layout.height = 1;
    layout.colour = colour;
    layout.rows = {std::move(row)};
    return test::WritePng(layout);
}

TEST(ImageDecode, KindComesFromTheFirstBytesOnly) {
    const Bytes png = Png(test::PngFile::Grey, {1});
    const struct {
        const char* name;
        Bytes bytes;
        ImageKind kind;
    } cases[] = {
        {"jpeg", Jpeg(), ImageKind::Jpeg},
        {"png", png, ImageKind::Png},
        {"bmp", Bmp(24, 0, {1, 2, 3, 4, 5, 6}), ImageKind::Bmp},
        {"png signature alone", Bytes(png.begin(), png.begin() + 8), ImageKind::Png},
        {"png signature less one byte", Bytes(png.begin(), png.begin() + 7), ImageKind::Unknown},
        {"jpeg start of image without a marker", {0xFF, 0xD8}, ImageKind::Unknown},
        {"BM alone", {'B', 'M'}, ImageKind::Bmp},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, ImageKind::Unknown},
        {"empty", {}, ImageKind::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(SniffImageKind(c.bytes), c.kind) << c.name;
}

TEST(ImageDecode, EachKindBecomesRgbaWithItsOwnAlpha) {
    const struct {
        const char* name;
        Bytes bytes;
        ImageKind kind;
        std::array<int, 4> first;
        bool hasAlpha;
        int tolerance;
    } cases[] = {
        {"jpeg", Jpeg(), ImageKind::Jpeg, {200, 200, 200, 255}, false, 3},
        {"png with alpha", Png(test::PngFile::Rgba, {9, 8, 7, 60}), ImageKind::Png, {9, 8, 7, 60}, true, 0},
        {"bmp 24 bits in colour, not grey",
         Bmp(24, 0, {10, 20, 30, 0, 0, 0}),
         ImageKind::Bmp,
         {30, 20, 10, 255},
         false,
         0},
        {"bmp 8 bits through its palette", Bmp(8, 0, {0, 1}), ImageKind::Bmp, {255, 0, 0, 255}, false, 0},
    };
    for (const auto& c : cases) {
        const DecodedImage d = DecodeImage(c.bytes);
        ASSERT_TRUE(d.Ok()) << c.name << ": " << d.reason;
        EXPECT_EQ(d.kind, c.kind) << c.name;
        EXPECT_EQ(d.reason, "") << c.name;
        EXPECT_EQ(d.image.hasAlpha, c.hasAlpha) << c.name;
        ASSERT_EQ(d.image.pixels.size(),
                  static_cast<std::size_t>(d.image.width) * static_cast<std::size_t>(d.image.height) * 4)
            << c.name;
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(d.image.pixels[i], c.first[i], c.tolerance) << c.name << " " << i;
    }
}

TEST(ImageDecode, FailuresSayWhyInAShortPhrase) {
    const Bytes jpeg = Jpeg();
    const Bytes png = Png(test::PngFile::Grey, {1, 2, 3}, 3);
    Bytes bmp = Bmp(24, 0, {1, 2, 3, 4, 5, 6});
    bmp.resize(30);
    const struct {
        const char* name;
        Bytes bytes;
        ImageFault fault;
        const char* reason;
    } cases[] = {
        {"text", Bytes(40, 'x'), ImageFault::NotAnImage, "not a JPEG, PNG or BMP image"},
        {"cut jpeg", Bytes(jpeg.begin(), jpeg.begin() + 200), ImageFault::Damaged, "damaged or cut short"},
        {"cut png", Bytes(png.begin(), png.end() - 20), ImageFault::Damaged, "damaged or cut short"},
        {"cut bmp", bmp, ImageFault::Damaged, "damaged or cut short"},
        {"wide png", Png(test::PngFile::Grey, Bytes(16385, 0), 16385), ImageFault::TooLarge,
         "wider or taller than 16384 pixels"},
        {"wide bmp", Bmp(24, 0, {}, 16385), ImageFault::TooLarge, "wider or taller than 16384 pixels"},
        {"rle bmp", Bmp(8, 1, {2, 0, 0, 1}), ImageFault::Unsupported, "RLE-compressed BMP is not supported"},
        {"16-bit bmp", Bmp(16, 0, {0, 0, 0, 0}), ImageFault::Unsupported, "16-bit BMP is not supported"},
        {"2-bit bmp", Bmp(2, 0, {0}), ImageFault::Unsupported, "BMP of this colour depth is not supported"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        const DecodedImage d = DecodeImage(c.bytes);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
        EXPECT_EQ(d.fault, c.fault) << c.name;
        EXPECT_EQ(d.reason, c.reason) << c.name;
        EXPECT_TRUE(d.image.pixels.empty()) << c.name;
    }
}

}  // namespace
}  // namespace pelorus

namespace pelorus {
namespace {

// `jpeg` with the sides its frame header gives replaced (the pixels stay those of the original).
Bytes WithJpegSides(Bytes jpeg, uint16_t width, uint16_t height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            break;
        }
    return jpeg;
}

// The size is read from the header alone: what decoding would give for whole files, the claim for
// files whose pixels are missing or whose claim is too large to decode, nothing without a header.
TEST(ImageDecode, TheSizeComesFromTheHeaderAlone) {
    Bytes topDown = Bmp(24, 0, Bytes(9, 7), 3);
    topDown[22] = 0xFF;  // height -1: rows top first
    topDown[23] = topDown[24] = topDown[25] = 0xFF;
    Bytes core(26, 0);  // the oldest header: 16-bit sides
    core[0] = 'B', core[1] = 'M', core[14] = 12, core[18] = 0x34, core[19] = 0x12, core[20] = 5;
    const Bytes jpeg = Jpeg();
    const Bytes png = Png(test::PngFile::Grey, {1});
    const struct {
        const char* name;
        Bytes bytes;
        std::optional<std::pair<int32_t, int32_t>> size;
    } cases[] = {
        {"jpeg", jpeg, std::pair{8, 8}},
        {"jpeg claiming 16384 x 16384", WithJpegSides(jpeg, 16384, 16384), std::pair{16384, 16384}},
        {"jpeg claiming more than is decoded", WithJpegSides(jpeg, 65000, 20000), std::pair{65000, 20000}},
        {"jpeg cut in its header", Bytes(jpeg.begin(), jpeg.begin() + 20), std::nullopt},
        {"png", Png(test::PngFile::Rgb, Bytes(3 * 5, 9), 5), std::pair{5, 1}},
        {"png cut in its header", Bytes(png.begin(), png.begin() + 20), std::nullopt},
        {"bmp", Bmp(24, 0, Bytes(6, 7)), std::pair{2, 1}},
        {"bmp top down", topDown, std::pair{3, 1}},
        {"bmp with the oldest header", core, std::pair{0x1234, 5}},
        {"bmp cut in its header", Bytes{'B', 'M', 0, 0}, std::nullopt},
        {"no image", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<ImageSize> size = ReadImageSize(c.bytes);
        ASSERT_EQ(size.has_value(), c.size.has_value()) << c.name;
        if (!size) continue;
        EXPECT_EQ(size->width, c.size->first) << c.name;
        EXPECT_EQ(size->height, c.size->second) << c.name;
        const DecodedImage decoded = DecodeImage(c.bytes);
        if (decoded.Ok()) {
            EXPECT_EQ(decoded.image.width, size->width) << c.name;
            EXPECT_EQ(decoded.image.height, size->height) << c.name;
        }
    }
}

}  // namespace
}  // namespace pelorus
