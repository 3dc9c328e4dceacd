#include "platform/bmpmask.h"

#include <array>
#include <cstddef>
#include <utility>

#include "platform/jpegimage.h"

namespace pelorus {
namespace {

constexpr int64_t kMaxSide = kMaxImageSide;
constexpr std::size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;  // the smallest header with 32-bit sizes we read
constexpr uint32_t kCompressionNone = 0;  // BI_RGB
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitfields = 3;

uint32_t ReadU16(std::span<const uint8_t> bytes, std::size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8;
}

uint32_t ReadU32(std::span<const uint8_t> bytes, std::size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

int32_t ReadI32(std::span<const uint8_t> bytes, std::size_t at) {
    return static_cast<int32_t>(ReadU32(bytes, at));
}

uint8_t Grey(uint32_t blue, uint32_t green, uint32_t red) {
    return static_cast<uint8_t>((blue + green + red) / 3);
}

// The fields of the file and information headers that the readers use.
struct BmpLayout {
    int64_t width = 0;
    int64_t height = 0;    // rows, always positive
    bool bottomUp = true;  // stored height was positive
    uint32_t bitsPerPixel = 0;
    std::size_t paletteAt = 0;
    std::size_t paletteEntries = 0;
    std::size_t pixelsAt = 0;
    std::size_t rowBytes = 0;  // stored row, padded to 4 bytes
};

// B, G, R of every palette index; entries the file does not hold stay black.
using Palette = std::array<std::array<uint8_t, 3>, 256>;

// The standard channel masks that a 32-bit BI_BITFIELDS file must carry (red, green, blue).
bool HasStandardMasks(std::span<const uint8_t> bytes, std::size_t masksAt) {
    if (masksAt > bytes.size() || bytes.size() - masksAt < 12) {
        return false;
    }
    return ReadU32(bytes, masksAt) == 0x00FF0000u && ReadU32(bytes, masksAt + 4) == 0x0000FF00u &&
           ReadU32(bytes, masksAt + 8) == 0x000000FFu;
}

// Reads and checks the headers; an error for anything the readers do not decode or a file too
// short to hold its headers, palette and pixel rows.
BmpError ReadLayout(std::span<const uint8_t> bytes, BmpLayout& layout) {
    const std::size_t size = bytes.size();
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return BmpError::NotBmp;
    }
    if (size < kFileHeaderSize + kInfoHeaderSize) {
        return BmpError::Damaged;
    }
    const uint32_t pixelOffset = ReadU32(bytes, 10);
    const uint32_t headerSize = ReadU32(bytes, 14);
    if (headerSize < kInfoHeaderSize) {
        return BmpError::OtherFormat;
    }
    if (headerSize > size - kFileHeaderSize) {
        return BmpError::Damaged;
    }
    const int32_t width = ReadI32(bytes, 18);
    const int32_t height = ReadI32(bytes, 22);
    const uint32_t bits = ReadU16(bytes, 28);
    const uint32_t compression = ReadU32(bytes, 30);
    const uint32_t colorsUsed = ReadU32(bytes, 46);

    layout.width = width;
    layout.bottomUp = height > 0;
    layout.height = height < 0 ? -int64_t{height} : int64_t{height};
    if (layout.width <= 0 || layout.height <= 0) {
        return BmpError::Damaged;
    }
    if (layout.width > kMaxSide || layout.height > kMaxSide) {
        return BmpError::TooLarge;
    }
    layout.bitsPerPixel = bits;

    const std::size_t headersEnd = kFileHeaderSize + headerSize;
    std::size_t paletteBytes = 0;
    switch (bits) {
        case 1:
        case 4:
        case 8: {
            if (compression == kCompressionRle8 || compression == kCompressionRle4) {
                return BmpError::Rle;
            }
            if (compression != kCompressionNone) {
                return BmpError::OtherFormat;
            }
            const std::size_t full = std::size_t{1} << bits;
            layout.paletteEntries = colorsUsed != 0 && colorsUsed <= full ? colorsUsed : full;
            paletteBytes = layout.paletteEntries * 4;
            break;
        }
        case 16:
            return BmpError::SixteenBit;
        case 24:
            if (compression != kCompressionNone) {
                return BmpError::OtherFormat;
            }
            break;
        case 32:
            if (compression == kCompressionBitfields) {
                // A 40-byte header is followed by the three masks; larger headers hold them at
                // the same place inside the header.
                if (!HasStandardMasks(bytes, kFileHeaderSize + kInfoHeaderSize)) {
                    return size - (kFileHeaderSize + kInfoHeaderSize) < 12 ? BmpError::Damaged : BmpError::OtherFormat;
                }
                if (headerSize == kInfoHeaderSize) {
                    paletteBytes = 12;
                }
            } else if (compression != kCompressionNone) {
                return BmpError::OtherFormat;
            }
            break;
        default:
            return BmpError::OtherDepth;
    }
    layout.paletteAt = headersEnd;
    if (paletteBytes > size - headersEnd) {
        return BmpError::Damaged;
    }
    const std::size_t paletteEnd = headersEnd + paletteBytes;

    // Writers with larger headers, or with gaps, place the rows at the stated offset; some old
    // writers leave the offset wrong, and their rows follow the palette directly.
    layout.pixelsAt = pixelOffset >= paletteEnd && pixelOffset < size ? pixelOffset : paletteEnd;

    const auto width64 = static_cast<uint64_t>(layout.width);
    layout.rowBytes = static_cast<std::size_t>((uint64_t{bits} * width64 + 31) / 32 * 4);
    const uint64_t pixelBytes = uint64_t{layout.rowBytes} * static_cast<uint64_t>(layout.height);
    return layout.pixelsAt <= size && pixelBytes <= size - layout.pixelsAt ? BmpError::None : BmpError::Damaged;
}

Palette ReadPalette(std::span<const uint8_t> bytes, const BmpLayout& layout) {
    Palette palette{};
    for (std::size_t i = 0; i < layout.paletteEntries && i < palette.size(); ++i) {
        const std::size_t at = layout.paletteAt + i * 4;
        palette[i] = {bytes[at], bytes[at + 1], bytes[at + 2]};
    }
    return palette;
}

// Calls put(x, blue, green, red) for each of the `width` pixels of one stored row (`row` holds
// rowBytes bytes).
template <typename Put>
void ForEachPixel(std::span<const uint8_t> row, const BmpLayout& layout, const Palette& palette, Put put) {
    const auto width = static_cast<std::size_t>(layout.width);
    const auto indexed = [&](std::size_t x, std::size_t index) {
        const std::array<uint8_t, 3>& entry = palette[index];
        put(x, entry[0], entry[1], entry[2]);
    };
    switch (layout.bitsPerPixel) {
        case 1:
            for (std::size_t x = 0; x < width; ++x) {
                indexed(x, (row[x / 8] >> (7 - x % 8)) & 1u);
            }
            break;
        case 4:
            for (std::size_t x = 0; x < width; ++x) {
                indexed(x, (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0Fu);
            }
            break;
        case 8:
            for (std::size_t x = 0; x < width; ++x) {
                indexed(x, row[x]);
            }
            break;
        case 24:
            for (std::size_t x = 0; x < width; ++x) {
                put(x, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
            }
            break;
        case 32:
            for (std::size_t x = 0; x < width; ++x) {
                put(x, row[x * 4], row[x * 4 + 1], row[x * 4 + 2]);
            }
            break;
        default:
            break;
    }
}

// Hands every result row of a checked layout, top first, to convert(stored row, palette, y).
template <typename Convert>
void ForEachRow(std::span<const uint8_t> bytes, const BmpLayout& layout, Convert convert) {
    const auto height = static_cast<std::size_t>(layout.height);
    const Palette palette = ReadPalette(bytes, layout);
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t stored = layout.bottomUp ? height - 1 - y : y;
        convert(bytes.subspan(layout.pixelsAt + stored * layout.rowBytes, layout.rowBytes), palette, y);
    }
}

}  // namespace

std::string_view BmpErrorReason(BmpError error) {
    static_assert(kMaxImageSide == 16384, "the reason below names the limit");
    switch (error) {
        case BmpError::None:
            return "";
        case BmpError::NotBmp:
            return "not a BMP image";
        case BmpError::Damaged:
            return "damaged or cut short";
        case BmpError::TooLarge:
            return "wider or taller than 16384 pixels";
        case BmpError::Rle:
            return "RLE-compressed BMP is not supported";
        case BmpError::SixteenBit:
            return "16-bit BMP is not supported";
        case BmpError::OtherDepth:
            return "BMP of this colour depth is not supported";
        case BmpError::OtherFormat:
            return "this kind of BMP is not supported";
    }
    return "";
}

bool ReadBmpMask(std::span<const uint8_t> bytes, GreyImage& out) {
    return DecodeBmpMask(bytes, out) == BmpError::None;
}

BmpError DecodeBmpMask(std::span<const uint8_t> bytes, GreyImage& out) {
    out = GreyImage{};
    BmpLayout layout;
    if (const BmpError error = ReadLayout(bytes, layout); error != BmpError::None) {
        return error;
    }
    const auto width = static_cast<std::size_t>(layout.width);
    GreyImage image;
    image.width = static_cast<int32_t>(layout.width);
    image.height = static_cast<int32_t>(layout.height);
    image.pixels.resize(width * static_cast<std::size_t>(layout.height));
    ForEachRow(bytes, layout, [&](std::span<const uint8_t> row, const Palette& palette, std::size_t y) {
        uint8_t* dst = image.pixels.data() + y * width;
        ForEachPixel(row, layout, palette,
                     [dst](std::size_t x, uint8_t b, uint8_t g, uint8_t r) { dst[x] = Grey(b, g, r); });
    });
    out = std::move(image);
    return BmpError::None;
}

BmpError DecodeBmp(std::span<const uint8_t> bytes, RgbaImage& out) {
    out = RgbaImage{};
    BmpLayout layout;
    if (const BmpError error = ReadLayout(bytes, layout); error != BmpError::None) {
        return error;
    }
    const auto width = static_cast<std::size_t>(layout.width);
    RgbaImage image;
    image.width = static_cast<int32_t>(layout.width);
    image.height = static_cast<int32_t>(layout.height);
    image.pixels.resize(width * static_cast<std::size_t>(layout.height) * 4);
    ForEachRow(bytes, layout, [&](std::span<const uint8_t> row, const Palette& palette, std::size_t y) {
        uint8_t* dst = image.pixels.data() + y * width * 4;
        ForEachPixel(row, layout, palette, [dst](std::size_t x, uint8_t b, uint8_t g, uint8_t r) {
            uint8_t* p = dst + x * 4;
            p[0] = r;
            p[1] = g;
            p[2] = b;
            p[3] = 255;
        });
    });
    out = std::move(image);
    return BmpError::None;
}

}  // namespace pelorus
