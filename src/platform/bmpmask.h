#pragma once
// Reading a BMP image as a transparency mask: one grey byte per pixel.

#include <cstdint>
#include <span>
#include <vector>

namespace pelorus {

struct GreyImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height bytes, top row first
};

// Reads an uncompressed BMP of 1, 4, 8, 24 or 32 bits per pixel; each result byte is the grey
// value (blue + green + red) / 3 of its pixel (of its palette entry for 1, 4 and 8 bits). False
// for any other depth or compression, a file cut short, or a size of 0 or above 16384 pixels;
// `out` is then empty.
bool ReadBmpMask(std::span<const uint8_t> bytes, GreyImage& out);

}  // namespace pelorus
