#pragma once
// JPEG decoding into RGB, with every libjpeg error and warning turned into a failure.

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace pelorus {

constexpr int32_t kMaxImageSide = 16384;

struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height x 3 bytes (R, G, B), top row first
};

enum class ImageError {
    None,         // decoded
    Unreadable,   // not a JPEG, damaged or cut short
    TooLarge,     // wider or taller than kMaxImageSide pixels
    CmykColours,  // a valid image in CMYK or YCCK colours, which are not turned into RGB
};

// Decodes the JPEG image that `file` is positioned at (read with the stdio source, which may
// read past the image's end). On failure `out` is left empty.
//
// Contract:
// - Greyscale and YCbCr (and RGB) images come out as RGB; CMYK and YCCK are CmykColours, found
//   from the header before any pixel is decoded.
// - A width or height above kMaxImageSide is TooLarge, found from the header before any pixel
//   is decoded.
// - Every libjpeg error and every libjpeg warning (data cut short, corrupt data, extraneous
//   bytes) is Unreadable; nothing is printed. A null `file` is Unreadable.
// - Memory grows with the rows actually decoded, and libjpeg's own memory is capped at 512 MiB,
//   so a damaged file that claims a huge size fails without exhausting memory.
ImageError DecodeJpeg(std::FILE* file, RgbImage& out);
// Decodes a JPEG image held in memory, with the same results. An empty span is Unreadable.
ImageError DecodeJpeg(std::span<const uint8_t> bytes, RgbImage& out);

// The width and height the header of the JPEG image in `bytes` gives, read without decoding any
// pixel; false (and nothing set) when no header can be read.
bool ReadJpegSize(std::span<const uint8_t> bytes, int32_t& width, int32_t& height);

}  // namespace pelorus
