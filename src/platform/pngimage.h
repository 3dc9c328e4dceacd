#pragma once
// PNG decoding into 8-bit RGBA with libpng, printing nothing.

#include <cstdint>
#include <span>

#include "platform/rgbaimage.h"

namespace pelorus {

enum class PngError {
    None,      // decoded
    NotPng,    // no PNG signature
    Damaged,   // a bad header, chunk, checksum or compressed stream, or data cut short
    TooLarge,  // wider or taller than kMaxImageSide pixels
};

// Decodes the PNG image held in `bytes`. On failure `out` is left empty.
//
// Contract:
// - Every colour type and bit depth comes out as 8-bit RGBA, top row first: palette entries are
//   looked up, grey becomes equal R, G and B, 16-bit samples are rounded to 8 bits, bit depths
//   below 8 are scaled to 0..255, and interlaced images are assembled whole.
// - Alpha comes from the alpha channel or the transparency chunk (tRNS: the listed palette
//   entries' alphas, or alpha 0 for the one transparent colour); hasAlpha tells that the file
//   has either. Without them every alpha is 255.
// - Samples are used as stored: gamma, colour profiles and background colours are ignored.
// - The width and height are checked from the header before any pixel is decoded: 0 is
//   Damaged, above kMaxImageSide TooLarge. A file too short to hold the pixels its header claims
//   (allowing for the best compression possible) is Damaged before the image is allocated, and
//   ancillary chunks may hold at most 8 MiB each, so a damaged file fails without exhausting
//   memory.
// - A checksum error in a critical chunk, a damaged compressed stream, too little image data or
//   a missing end chunk is Damaged; a damaged ancillary chunk is skipped. Nothing is printed.
PngError DecodePng(std::span<const uint8_t> bytes, RgbaImage& out);

}  // namespace pelorus
