#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/bmpmask.h"
#include "platform/ziparchive.h"
#include "testutil.h"

namespace pelorus {
namespace {

using Bytes = std::vector<uint8_t>;

// A BMP file described field by field. Rows are given as stored (first stored row first),
// without padding; the writer pads each to 4 bytes with 0xEE so that reading padding as pixels
// shows up.
struct BmpFile {
    int32_t width = 0;
    int32_t height = 0;  // negative: rows stored top-down
    uint16_t bits = 8;
    uint32_t headerSize = 40;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<std::array<uint8_t, 3>> palette;  // B, G, R
    std::vector<Bytes> rows;
    std::optional<std::array<uint32_t, 3>> masks;  // red, green, blue for BI_BITFIELDS
    std::size_t gap = 0;                           // junk bytes between palette and rows
    std::optional<uint32_t> pixelOffset;           // the true offset unless given
};

void PutU16(Bytes& b, std::size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
}

Bytes WriteBmp(const BmpFile& f) {
    Bytes b(14 + f.headerSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutU32(b, 14, f.headerSize);
    PutU32(b, 18, static_cast<uint32_t>(f.width));
    PutU32(b, 22, static_cast<uint32_t>(f.height));
    PutU16(b, 26, 1);
    PutU16(b, 28, f.bits);
    PutU32(b, 30, f.compression);
    PutU32(b, 38, 2835);
    PutU32(b, 42, 2835);
    PutU32(b, 46, f.colorsUsed);
    if (f.masks) {
        // Inside larger headers, after a 40-byte one.
        if (f.headerSize == 40) {
            b.resize(b.size() + 12);
        }
        for (std::size_t i = 0; i < 3; ++i) {
            PutU32(b, 54 + 4 * i, (*f.masks)[i]);
        }
    }
    for (const auto& entry : f.palette) {
        b.insert(b.end(), {entry[0], entry[1], entry[2], 0});
    }
    b.insert(b.end(), f.gap, 0xCC);
    const std::size_t pixelsAt = b.size();
    for (const Bytes& row : f.rows) {
        b.insert(b.end(), row.begin(), row.end());
        while ((b.size() - pixelsAt) % 4 != 0) {
            b.push_back(0xEE);
        }
    }
    PutU32(b, 2, static_cast<uint32_t>(b.size()));
    PutU32(b, 10, f.pixelOffset.value_or(static_cast<uint32_t>(pixelsAt)));
    return b;
}

// Palette entries (B, G, R) with distinct grey values: (b + g + r) / 3 rounds down.
const std::array<uint8_t, 3> kBlack = {0, 0, 0};        // 0
const std::array<uint8_t, 3> kWhite = {255, 255, 255};  // 255
const std::array<uint8_t, 3> kOdd = {10, 20, 32};       // 62 / 3 = 20
const std::array<uint8_t, 3> kBlueOnly = {90, 0, 0};    // 30

GreyImage Stale() {
    GreyImage image;
    image.width = 2;
    image.height = 1;
    image.pixels = {9, 9};
    return image;
}

void ExpectRejected(const Bytes& bytes, const std::string& what) {
    GreyImage out = Stale();
    EXPECT_FALSE(ReadBmpMask(bytes, out)) << what;
    EXPECT_EQ(out.width, 0) << what;
    EXPECT_EQ(out.height, 0) << what;
    EXPECT_TRUE(out.pixels.empty()) << what;
}

void ExpectGreys(const Bytes& bytes, int32_t width, int32_t height, const Bytes& expected, const std::string& what) {
    GreyImage out = Stale();
    ASSERT_TRUE(ReadBmpMask(bytes, out)) << what;
    EXPECT_EQ(out.width, width) << what;
    EXPECT_EQ(out.height, height) << what;
    EXPECT_EQ(out.pixels, expected) << what;
}

// Every depth, with a classic 40-byte header and a 124-byte one: rows are stored bottom-up, so
// the second stored row is the first result row. The widths make every row need padding.
struct DepthCase {
    const char* name;
    uint16_t bits;
    int32_t width;
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<Bytes> rows;
    Bytes expected;  // top row first
};

std::vector<DepthCase> DepthCases() {
    return {
        {"1 bit, most significant bit first, across a byte",
         1,
         9,
         {kBlack, kWhite},
         {{0b10000000, 0b10000000}, {0b01100000, 0b00000000}},
         {0, 255, 255, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 255}},
        {"4 bits, high nibble first",
         4,
         3,
         {kBlack, kWhite, kOdd, kBlueOnly},
         {{0x01, 0x20}, {0x32, 0x10}},
         {30, 20, 255, 0, 255, 20}},
        {"8 bits", 8, 3, {kBlack, kWhite, kOdd, kBlueOnly}, {{3, 2, 1}, {0, 1, 2}}, {0, 255, 20, 30, 20, 255}},
        {"24 bits, blue green red",
         24,
         3,
         {},
         {{10, 20, 32, 0, 0, 255, 255, 255, 255}, {90, 0, 0, 1, 1, 2, 0, 0, 0}},
         {30, 1, 0, 20, 85, 255}},
        {"32 bits, alpha ignored",
         32,
         3,
         {},
         {{10, 20, 32, 7, 0, 0, 255, 0, 255, 255, 255, 0}, {90, 0, 0, 255, 1, 1, 2, 9, 0, 0, 0, 255}},
         {30, 1, 0, 20, 85, 255}},
    };
}

TEST(BmpMask, EachDepthReadsGreyOfPixelOrPaletteEntryWithAnyHeaderSize) {
    for (const DepthCase& c : DepthCases()) {
        for (uint32_t headerSize : {40u, 108u, 124u}) {
            BmpFile f;
            f.width = c.width;
            f.height = 2;
            f.bits = c.bits;
            f.headerSize = headerSize;
            f.palette = c.palette;
            f.colorsUsed = static_cast<uint32_t>(c.palette.size());
            f.rows = c.rows;
            ExpectGreys(WriteBmp(f), c.width, 2, c.expected,
                        std::string(c.name) + ", header " + std::to_string(headerSize));
        }
    }
}

TEST(BmpMask, NegativeHeightMeansRowsStoredTopDown) {
    BmpFile f;
    f.width = 1;
    f.bits = 8;
    f.palette = {kBlack, kWhite, kOdd};
    f.colorsUsed = 3;
    f.rows = {{0}, {1}, {2}};
    f.height = 3;
    ExpectGreys(WriteBmp(f), 1, 3, {20, 255, 0}, "bottom-up");
    f.height = -3;
    ExpectGreys(WriteBmp(f), 1, 3, {0, 255, 20}, "top-down");
}

TEST(BmpMask, SmallPaletteDoesNotSwallowPixelRows) {
    // Two palette entries for 8 bits; an index past them reads as 0. With the offset missing the
    // rows must still be found right after the two entries, not 256 entries on.
    BmpFile f;
    f.width = 4;
    f.height = 1;
    f.bits = 8;
    f.palette = {kWhite, kOdd};
    f.colorsUsed = 2;
    f.rows = {{1, 0, 7, 255}};
    const Bytes expected = {20, 255, 0, 0};
    ExpectGreys(WriteBmp(f), 4, 1, expected, "offset given");
    f.pixelOffset = 0;
    ExpectGreys(WriteBmp(f), 4, 1, expected, "offset missing");
}

TEST(BmpMask, ColourCountAboveDepthFallsBackToFullPalette) {
    BmpFile f;
    f.width = 2;
    f.height = 1;
    f.bits = 1;
    f.palette = {kOdd, kWhite};
    f.colorsUsed = 300;
    f.rows = {{0b01000000}};
    f.pixelOffset = 0;  // found after the two entries only if the count was taken as 2
    ExpectGreys(WriteBmp(f), 2, 1, {20, 255}, "1 bit, 300 colours claimed");
}

TEST(BmpMask, PixelOffsetIsUsedWhenPlausibleElseRowsFollowPalette) {
    BmpFile f;
    f.width = 2;
    f.height = 1;
    f.bits = 8;
    f.headerSize = 124;
    f.palette = {kBlack, kWhite};
    f.colorsUsed = 2;
    f.rows = {{1, 0}};
    const Bytes expected = {255, 0};

    // Rows after a gap, as writers of large headers leave them.
    f.gap = 16;
    ExpectGreys(WriteBmp(f), 2, 1, expected, "gap before rows");

    // Offsets that cannot be right: the rows directly after the palette are read.
    f.gap = 0;
    const std::size_t paletteAt = 14 + 124;
    const std::size_t fileSize = WriteBmp(f).size();
    const struct {
        const char* name;
        uint32_t offset;
    } bad[] = {
        {"zero", 0},
        {"inside the file header", 10},
        {"inside the information header", 54},
        {"inside the palette", static_cast<uint32_t>(paletteAt + 4)},
        {"at the end of the file", static_cast<uint32_t>(fileSize)},
        {"far beyond the file", std::numeric_limits<uint32_t>::max()},
    };
    for (const auto& b : bad) {
        f.pixelOffset = b.offset;
        ExpectGreys(WriteBmp(f), 2, 1, expected, b.name);
    }
}

TEST(BmpMask, ThirtyTwoBitBitfieldsOnlyWithStandardMasks) {
    for (uint32_t headerSize : {40u, 124u}) {
        BmpFile f;
        f.width = 1;
        f.height = 1;
        f.bits = 32;
        f.headerSize = headerSize;
        f.compression = 3;
        f.rows = {{10, 20, 32, 0}};
        f.masks = std::array<uint32_t, 3>{0x00FF0000, 0x0000FF00, 0x000000FF};
        const std::string where = "header " + std::to_string(headerSize);
        ExpectGreys(WriteBmp(f), 1, 1, {20}, where + ", standard masks");
        f.masks = std::array<uint32_t, 3>{0x000000FF, 0x0000FF00, 0x00FF0000};
        ExpectRejected(WriteBmp(f), where + ", red and blue swapped");
        f.masks = std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F};
        ExpectRejected(WriteBmp(f), where + ", 565 masks");
    }
}

TEST(BmpMask, OtherDepthsAndCompressionsAreRejected) {
    const struct {
        const char* name;
        uint16_t bits;
        uint32_t compression;
    } cases[] = {
        {"16 bits", 16, 0},          {"2 bits", 2, 0}, {"0 bits", 0, 0},           {"RLE8", 8, 1}, {"RLE4", 4, 2},
        {"24-bit bitfields", 24, 3}, {"JPEG", 24, 4},  {"alpha bitfields", 32, 6},
    };
    for (const auto& c : cases) {
        BmpFile f;
        f.width = 2;
        f.height = 2;
        f.bits = c.bits;
        f.compression = c.compression;
        f.palette = {kBlack, kWhite};
        f.colorsUsed = 2;
        f.rows = {Bytes(8, 1), Bytes(8, 1)};
        ExpectRejected(WriteBmp(f), c.name);
    }
}

TEST(BmpMask, SizesOutsideOneTo16384AreRejected) {
    const struct {
        int32_t width, height;
    } cases[] = {
        {0, 1},
        {1, 0},
        {-1, 1},
        {16385, 1},
        {1, 16385},
        {1, -16385},
        {1, std::numeric_limits<int32_t>::min()},
        {std::numeric_limits<int32_t>::min(), 1},
        {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()},
    };
    for (const auto& c : cases) {
        BmpFile f;
        f.width = c.width;
        f.height = c.height;
        f.bits = 8;
        f.palette = {kBlack, kWhite};
        f.colorsUsed = 2;
        f.rows = {Bytes(4, 1)};
        ExpectRejected(WriteBmp(f), std::to_string(c.width) + " x " + std::to_string(c.height));
    }
}

TEST(BmpMask, LargestSidesAreAccepted) {
    BmpFile wide;
    wide.width = 16384;
    wide.height = 1;
    wide.bits = 1;
    wide.palette = {kBlack, kWhite};
    wide.rows = {Bytes(16384 / 8, 0xFF)};
    GreyImage out;
    ASSERT_TRUE(ReadBmpMask(WriteBmp(wide), out));
    EXPECT_EQ(out.pixels, Bytes(16384, 255));

    BmpFile tall;
    tall.width = 1;
    tall.height = -16384;
    tall.bits = 8;
    tall.palette = {kBlack, kWhite};
    tall.colorsUsed = 2;
    tall.rows.assign(16384, Bytes{1});
    tall.rows.back() = Bytes{0};
    ASSERT_TRUE(ReadBmpMask(WriteBmp(tall), out));
    ASSERT_EQ(out.pixels.size(), 16384u);
    EXPECT_EQ(out.pixels.front(), 255);
    EXPECT_EQ(out.pixels.back(), 0);
}

TEST(BmpMask, FileCutShortAnywhereIsRejected) {
    BmpFile paletted;
    paletted.width = 3;
    paletted.height = 2;
    paletted.bits = 8;
    paletted.headerSize = 124;
    paletted.palette = {kBlack, kWhite, kOdd};
    paletted.colorsUsed = 3;
    paletted.rows = {{0, 1, 2}, {2, 1, 0}};
    BmpFile direct;
    direct.width = 3;
    direct.height = -2;
    direct.bits = 24;
    direct.rows = {Bytes(9, 100), Bytes(9, 200)};
    for (const BmpFile* f : {&paletted, &direct}) {
        const Bytes whole = WriteBmp(*f);
        GreyImage out;
        ASSERT_TRUE(ReadBmpMask(whole, out));
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
            ExpectRejected(cut, std::to_string(f->bits) + " bits cut to " + std::to_string(size) + " of " +
                                    std::to_string(whole.size()));
        }
    }
}

TEST(BmpMask, HeadersThatAreNoBmpOrCannotFitAreRejected) {
    BmpFile f;
    f.width = 1;
    f.height = 1;
    f.bits = 24;
    f.rows = {{1, 2, 3}};
    const Bytes good = WriteBmp(f);

    Bytes wrongSignature = good;
    wrongSignature[0] = 'X';
    ExpectRejected(wrongSignature, "signature");

    Bytes coreHeader = good;
    PutU32(coreHeader, 14, 12);
    ExpectRejected(coreHeader, "12-byte header");

    Bytes hugeHeader = good;
    PutU32(hugeHeader, 14, 0xFFFFFFF0u);
    ExpectRejected(hugeHeader, "header larger than the file");
}

TEST(BmpMask, RealMaskWith124ByteHeaderAndOffsetRows) {
    // 32 x 128, 24 bits, rows at offset 138: a strip of four white droplets on black.
    Bytes bytes;
    ASSERT_EQ(ReadZippedFile(test::DataDir() + "/realworld/cube/dropletm.zip", "dropletm.bmp", bytes, 1 << 20),
              ZipStatus::Ok);
    ASSERT_EQ(bytes.size(), 12426u);
    GreyImage out;
    ASSERT_TRUE(ReadBmpMask(bytes, out));
    ASSERT_EQ(out.width, 32);
    ASSERT_EQ(out.height, 128);
    ASSERT_EQ(out.pixels.size(), 32u * 128u);
    const auto at = [&out](int x, int y) {
        return out.pixels.at(static_cast<std::size_t>(y) * 32 + static_cast<std::size_t>(x));
    };
    // Each droplet has its tip at the top: one pixel wide at row 2, five wide at row 9.
    EXPECT_EQ(at(15, 0), 0);
    EXPECT_EQ(at(15, 2), 255);
    EXPECT_EQ(at(14, 2), 0);
    EXPECT_EQ(at(13, 9), 255);
    EXPECT_EQ(at(17, 9), 255);
    EXPECT_EQ(at(18, 9), 0);
    EXPECT_EQ(at(15, 40), 255);
    EXPECT_EQ(at(15, 127), 0);
    std::size_t white = 0;
    for (uint8_t v : out.pixels) {
        EXPECT_TRUE(v == 0 || v == 255);
        white += v == 255 ? 1 : 0;
    }
    EXPECT_EQ(white, 116u);
}

TEST(BmpColour, ReadsEveryFileTheMaskReaderReadsWithItsColours) {
    for (const DepthCase& c : DepthCases()) {
        BmpFile f;
        f.width = c.width;
        f.height = 2;
        f.bits = c.bits;
        f.palette = c.palette;
        f.colorsUsed = static_cast<uint32_t>(c.palette.size());
        f.rows = c.rows;
        RgbaImage out;
        ASSERT_EQ(DecodeBmp(WriteBmp(f), out), BmpError::None) << c.name;
        ASSERT_EQ(out.width, c.width) << c.name;
        ASSERT_EQ(out.height, 2) << c.name;
        ASSERT_EQ(out.pixels.size(), c.expected.size() * 4) << c.name;
        EXPECT_FALSE(out.hasAlpha) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const uint8_t* p = out.pixels.data() + i * 4;
            EXPECT_EQ((p[0] + p[1] + p[2]) / 3, c.expected[i]) << c.name << ", pixel " << i;
            EXPECT_EQ(p[3], 255) << c.name << ", pixel " << i;
        }
    }
    // Red, green and blue in their places: the palette's and the pixels' B, G, R order.
    BmpFile paletted;
    paletted.width = 1;
    paletted.height = 1;
    paletted.palette = {kOdd};
    paletted.colorsUsed = 1;
    paletted.rows = {{0}};
    BmpFile direct = paletted;
    direct.bits = 24;
    direct.palette = {};
    direct.colorsUsed = 0;
    direct.rows = {{10, 20, 32}};
    for (const BmpFile* f : {&paletted, &direct}) {
        RgbaImage out;
        ASSERT_EQ(DecodeBmp(WriteBmp(*f), out), BmpError::None);
        EXPECT_EQ(out.pixels, (Bytes{32, 20, 10, 255})) << f->bits << " bits";
    }
}

TEST(BmpMask, RefusalsNameTheirCauseForBothReaders) {
    const struct {
        const char* name;
        uint16_t bits;
        uint32_t compression;
        int32_t width;
        BmpError expected;
    } cases[] = {
        {"RLE8", 8, 1, 2, BmpError::Rle},
        {"RLE4", 4, 2, 2, BmpError::Rle},
        {"16 bits", 16, 0, 2, BmpError::SixteenBit},
        {"16-bit bitfields", 16, 3, 2, BmpError::SixteenBit},
        {"2 bits", 2, 0, 2, BmpError::OtherDepth},
        {"JPEG inside", 24, 4, 2, BmpError::OtherFormat},
        {"too wide", 8, 0, 16385, BmpError::TooLarge},
        {"no pixels", 8, 0, 0, BmpError::Damaged},
    };
    for (const auto& c : cases) {
        BmpFile f;
        f.width = c.width;
        f.height = 2;
        f.bits = c.bits;
        f.compression = c.compression;
        f.palette = {kBlack, kWhite};
        f.colorsUsed = 2;
        f.rows = {Bytes(8, 1), Bytes(8, 1)};
        GreyImage grey;
        RgbaImage colour;
        EXPECT_EQ(DecodeBmpMask(WriteBmp(f), grey), c.expected) << c.name;
        EXPECT_EQ(DecodeBmp(WriteBmp(f), colour), c.expected) << c.name;
        EXPECT_TRUE(colour.pixels.empty()) << c.name;
    }
    BmpFile small;
    small.width = 1;
    small.height = 1;
    small.bits = 24;
    small.rows = {{1, 2, 3}};
    const Bytes whole = WriteBmp(small);
    GreyImage out;
    EXPECT_EQ(DecodeBmpMask(Bytes(whole.begin(), whole.end() - 1), out), BmpError::Damaged);
    EXPECT_EQ(DecodeBmpMask(Bytes{'G', 'I', 'F', '8'}, out), BmpError::NotBmp);
    EXPECT_EQ(BmpErrorReason(BmpError::Rle), "RLE-compressed BMP is not supported");
    EXPECT_EQ(BmpErrorReason(BmpError::SixteenBit), "16-bit BMP is not supported");
}

}  // namespace
}  // namespace pelorus
