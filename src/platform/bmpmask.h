#pragma once
// Reading BMP images: as a transparency mask (one grey byte per pixel) and as a colour texture.
// Both readers share one parser, so they accept exactly the same files.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/rgbaimage.h"

namespace pelorus {

struct GreyImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height bytes, top row first
};

// Why a BMP was refused.
enum class BmpError {
    None,         // read
    NotBmp,       // no "BM" signature
    Damaged,      // headers, palette or pixel rows cut short, or a width or height of 0
    TooLarge,     // wider or taller than kMaxImageSide pixels
    Rle,          // RLE4 or RLE8 compression
    SixteenBit,   // 16 bits per pixel, in any layout
    OtherDepth,   // bits per pixel other than 1, 4, 8, 16, 24 or 32
    OtherFormat,  // a 12-byte header, JPEG or PNG inside, or channel masks other than 8-8-8
};

// A short phrase for a refusal, to follow a quoted file name ("RLE-compressed BMP is not
// supported"); "" for None.
std::string_view BmpErrorReason(BmpError error);

// Reads an uncompressed BMP of 1, 4, 8, 24 or 32 bits per pixel; each result byte is the grey
// value (blue + green + red) / 3 of its pixel (of its palette entry for 1, 4 and 8 bits). False
// for any other depth or compression, a file cut short, or a size of 0 or above 16384 pixels;
// `out` is then empty.
//
// Contract:
// - The file starts with "BM" and an information header of at least 40 bytes (40, 108 and 124
//   are the usual sizes); width and height are read from it.
// - The palette starts right after the information header. It has the header's colour count of
//   entries when that is 1 to 2^bits, else 2^bits entries (B, G, R, unused); an index beyond it
//   reads as grey 0.
// - Pixel rows start at the file header's pixel-data offset when that lies inside the file and
//   at or after the end of the palette; otherwise directly after the palette. Each row is padded
//   to a multiple of 4 bytes, and every row with its padding must be inside the file.
// - Pixels of 24 and 32 bits are B, G, R[, A] bytes; 32 bits may also be BI_BITFIELDS with the
//   masks red 0x00FF0000, green 0x0000FF00, blue 0x000000FF. Alpha is ignored.
// - A positive height means rows stored bottom-up, a negative one top-down; the result is top
//   row first either way.
// - On success the result is exactly width x height bytes with every byte set. Callers that
//   address it with another image's size must check bounds themselves.
bool ReadBmpMask(std::span<const uint8_t> bytes, GreyImage& out);

// ReadBmpMask telling why a file is refused: None exactly when ReadBmpMask reads the file, with
// the same result in `out` (empty on failure).
BmpError DecodeBmpMask(std::span<const uint8_t> bytes, GreyImage& out);

// Reads the same files as ReadBmpMask, in colour: each pixel's (or palette entry's) R, G, B and
// alpha 255; hasAlpha is false (the fourth byte of 32-bit pixels is ignored, as for masks). An
// index beyond the palette reads as black. On failure `out` is empty.
BmpError DecodeBmp(std::span<const uint8_t> bytes, RgbaImage& out);

}  // namespace pelorus
