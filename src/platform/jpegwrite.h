#pragma once
// JPEG encoding of 8-bit RGB images with libjpeg, in memory, printing nothing.

#include <cstdint>
#include <span>
#include <vector>

namespace pelorus {

// The quality textures are written at: high enough that re-encoding artefacts stay below what a
// texture shows, without chroma subsampling (coloured edges stay sharp).
inline constexpr int kTextureJpegQuality = 90;

// Encodes `rgb` (width x height pixels of 3 bytes, top row first, rows packed) as a baseline
// JFIF JPEG at `quality` (1 to 100) without chroma subsampling. The same pixels always give the
// same bytes.
//
// Contract: returns the file's bytes; empty when the width or height is not between 1 and 65500
// (JPEG's own limit), `quality` is outside 1 to 100, `rgb` holds fewer than width x height x 3
// bytes (extra bytes are ignored), or libjpeg fails.
std::vector<uint8_t> EncodeJpeg(std::span<const uint8_t> rgb, int32_t width, int32_t height,
                                int quality = kTextureJpegQuality);

}  // namespace pelorus
