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
    None,        // decoded
    Unreadable,  // not a JPEG, damaged, cut short, or in a colour space that cannot become RGB
    TooLarge,    // wider or taller than kMaxImageSide pixels
};

// Decodes the JPEG image that `file` is positioned at (read with the stdio source). On failure
// `out` is left empty.
ImageError DecodeJpeg(std::FILE* file, RgbImage& out);
// Decodes a JPEG image held in memory.
ImageError DecodeJpeg(std::span<const uint8_t> bytes, RgbImage& out);

}  // namespace pelorus
