#pragma once
// PNG encoding of 8-bit images with libpng, in memory, printing nothing.

#include <cstdint>
#include <span>
#include <vector>

namespace pelorus {

// Encodes `pixels` (width x height pixels of `channels` bytes each, top row first, rows packed
// without padding) as a PNG: 3 channels give an RGB image, 4 an RGBA image. Every sample is
// stored exactly (lossless), without gamma or colour-profile chunks.
//
// Contract: returns the file's bytes; empty when the width or height is not between 1 and
// 2^31 - 1, `channels` is neither 3 nor 4, `pixels` holds fewer than width x height x channels
// bytes (extra bytes are ignored), or libpng fails (out of memory).
std::vector<uint8_t> EncodePng(std::span<const uint8_t> pixels, int32_t width, int32_t height, int channels);

}  // namespace pelorus
