#include "platform/pngimage.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/jpegimage.h"

namespace pelorus {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the IHDR chunk's length and type, then its width and height.
constexpr std::size_t kHeaderEnd = 8 + 8 + 13;
// Deflate expands at most about 1032 times; a file that would need more is cut short.
constexpr uint64_t kMaxInflateRatio = 1100;
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

uint32_t ReadBigEndian32(std::span<const uint8_t> bytes, std::size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
           uint32_t{bytes[at + 3]};
}

// Bits per pixel of a valid colour type and bit depth, 0 for an invalid pair.
uint32_t BitsPerPixel(int colourType, int bitDepth) {
    const bool eightOrSixteen = bitDepth == 8 || bitDepth == 16;
    const bool upToEight = bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
            return upToEight || bitDepth == 16 ? static_cast<uint32_t>(bitDepth) : 0;
        case PNG_COLOR_TYPE_PALETTE:
            return upToEight ? static_cast<uint32_t>(bitDepth) : 0;
        case PNG_COLOR_TYPE_RGB:
            return eightOrSixteen ? 3 * static_cast<uint32_t>(bitDepth) : 0;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return eightOrSixteen ? 2 * static_cast<uint32_t>(bitDepth) : 0;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return eightOrSixteen ? 4 * static_cast<uint32_t>(bitDepth) : 0;
        default:
            return 0;
    }
}

struct MemoryReader {
    std::span<const uint8_t> bytes;
    std::size_t at = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, std::size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->bytes.size() - reader->at) {
        png_error(png, "cut short");
    }
    std::memcpy(out, reader->bytes.data() + reader->at, length);
    reader->at += length;
}

// Errors jump back to the frame that called setjmp; warnings (damaged ancillary chunks, unusual
// colour profiles) are dropped. Nothing is printed.
[[noreturn]] void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// What libpng holds for one image; freed when it goes.
struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemoryReader reader;

    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    ~Decoder() {
        if (png != nullptr) {
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        }
    }
};

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool hasAlpha = false;
};

// Reads the chunks before the image data and sets the conversions to 8-bit RGBA. A longjmp from
// libpng lands in this frame, which holds no objects with destructors; only libpng's own C frames
// and the callbacks above are skipped.
bool ReadHeader(Decoder& decoder, Header& header) {
    png_structp png = decoder.png;
    png_infop info = decoder.info;
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_read_info(png, info);
    png_get_IHDR(png, info, &header.width, &header.height, &header.bitDepth, &header.colourType, nullptr, nullptr,
                 nullptr);
    const bool transparentColour = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    header.hasAlpha = (header.colourType & PNG_COLOR_MASK_ALPHA) != 0 || transparentColour;

    if (header.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (header.colourType == PNG_COLOR_TYPE_GRAY && header.bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (transparentColour) {
        png_set_tRNS_to_alpha(png);
    }
    if (header.bitDepth == 16) {
        png_set_scale_16(png);
    }
    if ((header.colourType & PNG_COLOR_MASK_COLOR) == 0) {
        png_set_gray_to_rgb(png);
    }
    if (!header.hasAlpha) {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == std::size_t{header.width} * 4 && png_get_channels(png, info) == 4 &&
           png_get_bit_depth(png, info) == 8;
}

// Decodes every row (all passes of an interlaced image) and reads up to the end chunk. Holds no
// objects with destructors, as ReadHeader.
bool ReadPixels(Decoder& decoder, png_bytepp rows) {
    if (setjmp(png_jmpbuf(decoder.png)) != 0) {
        return false;
    }
    png_read_image(decoder.png, rows);
    png_read_end(decoder.png, nullptr);
    return true;
}

PngError Decode(std::span<const uint8_t> bytes, RgbaImage& out) {
    if (bytes.size() < kSignature.size() || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) {
        return PngError::NotPng;
    }
    // The size, straight from the header, before libpng sees the file (it refuses sides above a
    // million pixels as errors of its own).
    if (bytes.size() < kHeaderEnd || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
        return PngError::Damaged;
    }
    const uint32_t width = ReadBigEndian32(bytes, 16);
    const uint32_t height = ReadBigEndian32(bytes, 20);
    if (width == 0 || height == 0) {
        return PngError::Damaged;
    }
    if (width > static_cast<uint32_t>(kMaxImageSide) || height > static_cast<uint32_t>(kMaxImageSide)) {
        return PngError::TooLarge;
    }
    const uint32_t bits = BitsPerPixel(bytes[25], bytes[24]);
    if (bits == 0) {
        return PngError::Damaged;
    }
    const uint64_t leastData = (uint64_t{width} * height * bits + 7) / 8;
    if (leastData / kMaxInflateRatio > bytes.size()) {
        return PngError::Damaged;
    }

    Decoder decoder;
    decoder.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (decoder.png == nullptr) {
        return PngError::Damaged;
    }
    decoder.info = png_create_info_struct(decoder.png);
    if (decoder.info == nullptr) {
        return PngError::Damaged;
    }
    decoder.reader.bytes = bytes;
    png_set_read_fn(decoder.png, &decoder.reader, ReadFromMemory);
    png_set_chunk_malloc_max(decoder.png, kMaxChunkBytes);

    Header header;
    if (!ReadHeader(decoder, header) || header.width != width || header.height != height) {
        return PngError::Damaged;
    }
    const std::size_t rowBytes = std::size_t{width} * 4;
    RgbaImage image;
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.hasAlpha = header.hasAlpha;
    image.pixels.resize(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = image.pixels.data() + y * rowBytes;
    }
    if (!ReadPixels(decoder, rows.data())) {
        return PngError::Damaged;
    }
    out = std::move(image);
    return PngError::None;
}

}  // namespace

PngError DecodePng(std::span<const uint8_t> bytes, RgbaImage& out) {
    out = RgbaImage{};
    try {
        return Decode(bytes, out);
    } catch (const std::bad_alloc&) {
        out = RgbaImage{};
        return PngError::Damaged;
    }
}

}  // namespace pelorus
