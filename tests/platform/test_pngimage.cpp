#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pngimage.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::PngFile;
using Bytes = std::vector<uint8_t>;
using Rgba = std::array<int, 4>;

Rgba PixelAt(const RgbaImage& image, int x, int y) {
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4;
    return {image.pixels.at(at), image.pixels.at(at + 1), image.pixels.at(at + 2), image.pixels.at(at + 3)};
}

// Four pixels in one row, so that small depths share and cross bytes.
struct DepthCase {
    const char* name;
    PngFile::Colour colour;
    int bitDepth;
    Bytes row;
    std::array<Rgba, 4> expected;
    bool hasAlpha = false;
    Bytes palette = {};
    Bytes paletteAlpha = {};
    std::vector<uint16_t> transparent = {};
};

const Bytes kPalette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

// clang-format off
std::vector<DepthCase> DepthCases() {
    using C = PngFile;
    const Rgba black{0, 0, 0, 255}, white{255, 255, 255, 255};
    return {
        {"grey 1", C::Grey, 1, {0b10110000}, {{white, black, white, white}}},
        {"grey 2", C::Grey, 2, {0b00011011}, {{black, {85, 85, 85, 255}, {170, 170, 170, 255}, white}}},
        {"grey 4", C::Grey, 4, {0x07, 0xF1}, {{black, {119, 119, 119, 255}, white, {17, 17, 17, 255}}}},
        {"grey 8", C::Grey, 8, {0, 10, 200, 255}, {{black, {10, 10, 10, 255}, {200, 200, 200, 255}, white}}},
        {"grey 16, rounded", C::Grey, 16, {0, 0, 0x01, 0xFF, 0xC8, 0xC8, 0xFF, 0xFF},
         {{black, {2, 2, 2, 255}, {200, 200, 200, 255}, white}}},
        {"grey 8, transparent grey", C::Grey, 8, {0, 10, 200, 10},
         {{black, {10, 10, 10, 0}, {200, 200, 200, 255}, {10, 10, 10, 0}}}, true, {}, {}, {10}},
        {"grey 2, transparent grey", C::Grey, 2, {0b00011011},
         {{black, {85, 85, 85, 255}, {170, 170, 170, 0}, white}}, true, {}, {}, {2}},
        {"grey alpha 8", C::GreyAlpha, 8, {10, 0, 20, 128, 30, 255, 40, 1},
         {{{10, 10, 10, 0}, {20, 20, 20, 128}, {30, 30, 30, 255}, {40, 40, 40, 1}}}, true},
        {"grey alpha 16", C::GreyAlpha, 16, {10, 10, 0, 0, 20, 20, 0x80, 0x80, 30, 30, 0xFF, 0xFF, 0, 0, 0, 0},
         {{{10, 10, 10, 0}, {20, 20, 20, 128}, {30, 30, 30, 255}, {0, 0, 0, 0}}}, true},
        {"rgb 8", C::Rgb, 8, {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3},
         {{{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {1, 2, 3, 255}}}},
        {"rgb 16", C::Rgb, 16, {0xFF, 0xFF, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 0, 0, 0, 0, 0xFF, 0xFF, 0x80, 0x80, 0x40, 0x40, 0x20, 0x20},
         {{{255, 0, 0, 255}, {1, 2, 3, 255}, {0, 0, 255, 255}, {128, 64, 32, 255}}}},
        {"rgb 8, transparent colour", C::Rgb, 8, {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 1},
         {{{255, 0, 0, 255}, {0, 255, 0, 0}, {0, 0, 255, 255}, {0, 255, 1, 255}}}, true, {}, {}, {0, 255, 0}},
        {"rgba 8", C::Rgba, 8, {1, 2, 3, 0, 4, 5, 6, 64, 7, 8, 9, 128, 10, 11, 12, 255},
         {{{1, 2, 3, 0}, {4, 5, 6, 64}, {7, 8, 9, 128}, {10, 11, 12, 255}}}, true},
        {"rgba 16", C::Rgba, 16, {1, 1, 2, 2, 3, 3, 0, 0, 4, 4, 5, 5, 6, 6, 0x40, 0x40,
                                  7, 7, 8, 8, 9, 9, 0x80, 0x80, 10, 10, 11, 11, 12, 12, 0xFF, 0xFF},
         {{{1, 2, 3, 0}, {4, 5, 6, 64}, {7, 8, 9, 128}, {10, 11, 12, 255}}}, true},
        {"palette 1", C::Palette, 1, {0b01100000},
         {{{10, 20, 30, 255}, {40, 50, 60, 255}, {40, 50, 60, 255}, {10, 20, 30, 255}}}, false, {10, 20, 30, 40, 50, 60}},
        {"palette 2", C::Palette, 2, {0b11100100},
         {{{100, 110, 120, 255}, {70, 80, 90, 255}, {40, 50, 60, 255}, {10, 20, 30, 255}}}, false, kPalette},
        {"palette 4", C::Palette, 4, {0x01, 0x23},
         {{{10, 20, 30, 255}, {40, 50, 60, 255}, {70, 80, 90, 255}, {100, 110, 120, 255}}}, false, kPalette},
        {"palette 8, alpha for the first two entries", C::Palette, 8, {0, 1, 2, 3},
         {{{10, 20, 30, 0}, {40, 50, 60, 128}, {70, 80, 90, 255}, {100, 110, 120, 255}}}, true, kPalette, {0, 128}},
    };
}
// clang-format on

TEST(PngImage, EveryColourTypeAndDepthDecodesToItsRgba) {
    for (const DepthCase& c : DepthCases()) {
        PngFile layout;
        layout.width = 4;
        layout.height = 1;
        layout.colour = c.colour;
        layout.bitDepth = c.bitDepth;
        layout.rows = {c.row};
        layout.palette = c.palette;
        layout.paletteAlpha = c.paletteAlpha;
        layout.transparent = c.transparent;
        const Bytes file = test::WritePng(layout);
        ASSERT_FALSE(file.empty()) << c.name;
        RgbaImage out;
        ASSERT_EQ(DecodePng(file, out), PngError::None) << c.name;
        ASSERT_EQ(out.width, 4) << c.name;
        ASSERT_EQ(out.height, 1) << c.name;
        ASSERT_EQ(out.pixels.size(), 16u) << c.name;
        EXPECT_EQ(out.hasAlpha, c.hasAlpha) << c.name;
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(PixelAt(out, x, 0), c.expected[static_cast<std::size_t>(x)]) << c.name << ", pixel " << x;
    }
}

TEST(PngImage, InterlacedImagesComeOutWholeWithTheTopRowFirst) {
    // 11 x 9 crosses every pass of the interlacing with partial blocks at the edges.
    constexpr int kW = 11, kH = 9;
    for (int depth : {2, 8}) {
        PngFile layout;
        layout.width = kW;
        layout.height = kH;
        layout.bitDepth = depth;
        layout.colour = depth == 8 ? PngFile::Rgb : PngFile::Grey;
        layout.interlaced = true;
        for (int y = 0; y < kH; ++y) {
            Bytes row(depth == 8 ? kW * 3 : (kW + 3) / 4, 0);
            for (int x = 0; x < kW; ++x) {
                if (depth == 8) {
                    row[static_cast<std::size_t>(x * 3)] = static_cast<uint8_t>(x * 20);
                    row[static_cast<std::size_t>(x * 3 + 1)] = static_cast<uint8_t>(y * 25);
                } else {
                    row[static_cast<std::size_t>(x / 4)] |= static_cast<uint8_t>(((x + y) % 4) << (6 - 2 * (x % 4)));
                }
            }
            layout.rows.push_back(row);
        }
        RgbaImage out;
        ASSERT_EQ(DecodePng(test::WritePng(layout), out), PngError::None) << depth;
        ASSERT_EQ(out.width, kW);
        ASSERT_EQ(out.height, kH);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const int grey = (x + y) % 4 * 85;
                const Rgba expected = depth == 8 ? Rgba{x * 20, y * 25, 0, 255} : Rgba{grey, grey, grey, 255};
                EXPECT_EQ(PixelAt(out, x, y), expected) << "depth " << depth << " at " << x << "," << y;
            }
    }
}

uint32_t Crc32(const uint8_t* data, std::size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The offset of the first chunk of `type` (at its length field).
std::size_t ChunkAt(const Bytes& file, const char* type) {
    for (std::size_t at = 8; at + 12 <= file.size();) {
        if (std::equal(type, type + 4, file.begin() + static_cast<std::ptrdiff_t>(at + 4))) return at;
        at +=
            12 + (uint32_t{file[at]} << 24 | uint32_t{file[at + 1]} << 16 | uint32_t{file[at + 2]} << 8 | file[at + 3]);
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 0;
}

// Sets a chunk's checksum to match its (changed) contents.
void FixCrc(Bytes& file, std::size_t chunkAt) {
    const uint32_t length = uint32_t{file[chunkAt]} << 24 | uint32_t{file[chunkAt + 1]} << 16 |
                            uint32_t{file[chunkAt + 2]} << 8 | file[chunkAt + 3];
    PutBigEndian32(file, chunkAt + 8 + length, Crc32(file.data() + chunkAt + 4, length + 4));
}

// 16 x 16 RGBA of noise, so that the compressed data is long.
Bytes NoisyPng() {
    PngFile layout;
    layout.width = layout.height = 16;
    layout.colour = PngFile::Rgba;
    uint32_t seed = 7;
    for (int y = 0; y < 16; ++y) {
        Bytes row(64);
        for (uint8_t& b : row) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
        layout.rows.push_back(row);
    }
    return test::WritePng(layout);
}

Bytes GreyPng(int width, int height) {
    PngFile layout;
    layout.width = width;
    layout.height = height;
    layout.colour = PngFile::Grey;
    layout.rows.assign(static_cast<std::size_t>(height), Bytes(static_cast<std::size_t>(width), 128));
    return test::WritePng(layout);
}

void ExpectFailure(const Bytes& file, PngError expected, const std::string& what) {
    RgbaImage out;
    out.width = out.height = 1;
    out.pixels = {1, 2, 3, 4};
    out.hasAlpha = true;
    testing::internal::CaptureStderr();
    const PngError result = DecodePng(file, out);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, expected) << what;
    EXPECT_EQ(out.width, 0) << what;
    EXPECT_EQ(out.height, 0) << what;
    EXPECT_TRUE(out.pixels.empty()) << what;
    EXPECT_FALSE(out.hasAlpha) << what;
    EXPECT_EQ(printed, "") << what;
}

TEST(PngImage, FilesCutShortAnywhereFailWithoutPrinting) {
    const Bytes whole = NoisyPng();
    RgbaImage out;
    ASSERT_EQ(DecodePng(whole, out), PngError::None);
    for (std::size_t size = 0; size < whole.size(); ++size)
        ExpectFailure(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)),
                      size < 8 ? PngError::NotPng : PngError::Damaged, "cut to " + std::to_string(size));
}

TEST(PngImage, DamagedChunksAndImpossibleHeadersFail) {
    const Bytes good = NoisyPng();
    const std::size_t idat = ChunkAt(good, "IDAT");
    const std::size_t ihdr = ChunkAt(good, "IHDR");

    Bytes badCrc = good;
    badCrc[idat + 8 + 20] ^= 0x55;
    ExpectFailure(badCrc, PngError::Damaged, "image data with a wrong checksum");

    Bytes badStream = good;
    badStream[idat + 8] ^= 0xFF;  // the zlib header, checksum made to match
    FixCrc(badStream, idat);
    ExpectFailure(badStream, PngError::Damaged, "damaged compressed stream");

    Bytes badType = good;
    badType[ihdr + 8 + 9] = 5;  // no such colour type
    FixCrc(badType, ihdr);
    ExpectFailure(badType, PngError::Damaged, "colour type 5");

    Bytes zeroWide = good;
    PutBigEndian32(zeroWide, ihdr + 8, 0);
    FixCrc(zeroWide, ihdr);
    ExpectFailure(zeroWide, PngError::Damaged, "width 0");

    // A small file cannot hold a 16384 x 16384 image: refused before the image is allocated.
    Bytes huge = good;
    PutBigEndian32(huge, ihdr + 8, 16384);
    PutBigEndian32(huge, ihdr + 12, 16384);
    FixCrc(huge, ihdr);
    ExpectFailure(huge, PngError::Damaged, "16384 x 16384 claimed by a small file");

    ExpectFailure(GreyPng(16385, 1), PngError::TooLarge, "16385 wide");
    ExpectFailure(GreyPng(1, 16385), PngError::TooLarge, "16385 tall");
    Bytes text(64, 'x');
    ExpectFailure(text, PngError::NotPng, "text");
}

TEST(PngImage, LargestSideIsAcceptedAndDamagedAncillaryChunksAreSkipped) {
    RgbaImage out;
    ASSERT_EQ(DecodePng(GreyPng(16384, 1), out), PngError::None);
    EXPECT_EQ(out.width, 16384);
    EXPECT_EQ(PixelAt(out, 16383, 0), (Rgba{128, 128, 128, 255}));

    // A tEXt chunk with a wrong checksum before the image data.
    Bytes file = GreyPng(2, 2);
    const std::size_t idat = ChunkAt(file, "IDAT");
    const Bytes text = {0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b', 0xDE, 0xAD, 0xBE, 0xEF};
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(idat), text.begin(), text.end());
    testing::internal::CaptureStderr();
    EXPECT_EQ(DecodePng(file, out), PngError::None);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(PixelAt(out, 1, 1), (Rgba{128, 128, 128, 255}));
}

}  // namespace
}  // namespace pelorus
