#pragma once
// Writing transparency masks as 1-bit BMP images, the form world clients read masks in.

#include <cstdint>
#include <span>
#include <vector>

namespace pelorus {

// A 1-bit BMP of width x height pixels (40-byte information header, a two-entry palette of black
// and white, rows stored bottom-up and padded to 4 bytes) in which a pixel is white where its
// byte in `mask` (width x height bytes, top row first) is 128 or more and black elsewhere. Read
// back as a mask, white is opaque and black transparent.
//
// Contract: returns the file's bytes; empty when the width or height is not between 1 and 32768
// or `mask` holds fewer than width x height bytes (extra bytes are ignored).
std::vector<uint8_t> EncodeMaskBmp(std::span<const uint8_t> mask, int32_t width, int32_t height);

}  // namespace pelorus
