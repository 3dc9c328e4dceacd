#include "platform/bmpmask.h"

#include <array>
#include <cstddef>
#include <utility>

namespace pelorus {
namespace {

constexpr int64_t kMaxMaskSide = 16384;
constexpr std::size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;  // the smallest header with 32-bit sizes we read
constexpr uint32_t kCompressionNone = 0;  // BI_RGB
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

// The fields of the file and information headers that the reader uses.
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

// The standard channel masks that a 32-bit BI_BITFIELDS file must carry (red, green, blue).
bool HasStandardMasks(std::span<const uint8_t> bytes, std::size_t masksAt) {
    if (masksAt > bytes.size() || bytes.size() - masksAt < 12) {
        return false;
    }
    return ReadU32(bytes, masksAt) == 0x00FF0000u && ReadU32(bytes, masksAt + 4) == 0x0000FF00u &&
           ReadU32(bytes, masksAt + 8) == 0x000000FFu;
}

// Reads and checks the headers; false for anything the mask reader does not decode or a file
// too short to hold its headers, palette and pixel rows.
bool ReadLayout(std::span<const uint8_t> bytes, BmpLayout& layout) {
    const std::size_t size = bytes.size();
    if (size < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    const uint32_t pixelOffset = ReadU32(bytes, 10);
    const uint32_t headerSize = ReadU32(bytes, 14);
    if (headerSize < kInfoHeaderSize || headerSize > size - kFileHeaderSize) {
        return false;
    }
    const int32_t width = ReadI32(bytes, 18);
    const int32_t height = ReadI32(bytes, 22);
    const uint32_t bits = ReadU16(bytes, 28);
    const uint32_t compression = ReadU32(bytes, 30);
    const uint32_t colorsUsed = ReadU32(bytes, 46);

    layout.width = width;
    layout.bottomUp = height > 0;
    layout.height = height < 0 ? -int64_t{height} : int64_t{height};
    if (layout.width <= 0 || layout.width > kMaxMaskSide || layout.height <= 0 || layout.height > kMaxMaskSide) {
        return false;
    }
    layout.bitsPerPixel = bits;

    const std::size_t headersEnd = kFileHeaderSize + headerSize;
    std::size_t paletteBytes = 0;
    switch (bits) {
        case 1:
        case 4:
        case 8: {
            if (compression != kCompressionNone) {
                return false;
            }
            const std::size_t full = std::size_t{1} << bits;
            layout.paletteEntries = colorsUsed != 0 && colorsUsed <= full ? colorsUsed : full;
            paletteBytes = layout.paletteEntries * 4;
            break;
        }
        case 24:
            if (compression != kCompressionNone) {
                return false;
            }
            break;
        case 32:
            if (compression == kCompressionBitfields) {
                // A 40-byte header is followed by the three masks; larger headers hold them at
                // the same place inside the header.
                if (!HasStandardMasks(bytes, kFileHeaderSize + kInfoHeaderSize)) {
                    return false;
                }
                if (headerSize == kInfoHeaderSize) {
                    paletteBytes = 12;
                }
            } else if (compression != kCompressionNone) {
                return false;
            }
            break;
        default:
            return false;
    }
    layout.paletteAt = headersEnd;
    if (paletteBytes > size - headersEnd) {
        return false;
    }
    const std::size_t paletteEnd = headersEnd + paletteBytes;

    // Writers with larger headers, or with gaps, place the rows at the stated offset; some old
    // writers leave the offset wrong, and their rows follow the palette directly.
    layout.pixelsAt = pixelOffset >= paletteEnd && pixelOffset < size ? pixelOffset : paletteEnd;

    const auto width64 = static_cast<uint64_t>(layout.width);
    layout.rowBytes = static_cast<std::size_t>((uint64_t{bits} * width64 + 31) / 32 * 4);
    const uint64_t pixelBytes = uint64_t{layout.rowBytes} * static_cast<uint64_t>(layout.height);
    return layout.pixelsAt <= size && pixelBytes <= size - layout.pixelsAt;
}

// The grey value of each palette entry; entries the file does not hold stay 0.
std::array<uint8_t, 256> PaletteGreys(std::span<const uint8_t> bytes, const BmpLayout& layout) {
    std::array<uint8_t, 256> greys{};
    for (std::size_t i = 0; i < layout.paletteEntries && i < greys.size(); ++i) {
        const std::size_t at = layout.paletteAt + i * 4;
        greys[i] = Grey(bytes[at], bytes[at + 1], bytes[at + 2]);
    }
    return greys;
}

// Converts one stored row (`row` holds rowBytes bytes) into `width` grey bytes at `out`.
void ConvertRow(std::span<const uint8_t> row, const BmpLayout& layout, const std::array<uint8_t, 256>& greys,
                uint8_t* out) {
    const auto width = static_cast<std::size_t>(layout.width);
    switch (layout.bitsPerPixel) {
        case 1:
            for (std::size_t x = 0; x < width; ++x) {
                out[x] = greys[(row[x / 8] >> (7 - x % 8)) & 1u];
            }
            break;
        case 4:
            for (std::size_t x = 0; x < width; ++x) {
                out[x] = greys[(row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0Fu];
            }
            break;
        case 8:
            for (std::size_t x = 0; x < width; ++x) {
                out[x] = greys[row[x]];
            }
            break;
        case 24:
            for (std::size_t x = 0; x < width; ++x) {
                out[x] = Grey(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
            }
            break;
        case 32:
            for (std::size_t x = 0; x < width; ++x) {
                out[x] = Grey(row[x * 4], row[x * 4 + 1], row[x * 4 + 2]);
            }
            break;
        default:
            break;
    }
}

}  // namespace

bool ReadBmpMask(std::span<const uint8_t> bytes, GreyImage& out) {
    out = GreyImage{};
    BmpLayout layout;
    if (!ReadLayout(bytes, layout)) {
        return false;
    }
    const auto width = static_cast<std::size_t>(layout.width);
    const auto height = static_cast<std::size_t>(layout.height);
    const std::array<uint8_t, 256> greys = PaletteGreys(bytes, layout);

    GreyImage image;
    image.width = static_cast<int32_t>(layout.width);
    image.height = static_cast<int32_t>(layout.height);
    image.pixels.resize(width * height);
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t stored = layout.bottomUp ? height - 1 - y : y;
        const std::span<const uint8_t> row = bytes.subspan(layout.pixelsAt + stored * layout.rowBytes, layout.rowBytes);
        ConvertRow(row, layout, greys, image.pixels.data() + y * width);
    }
    out = std::move(image);
    return true;
}

}  // namespace pelorus
