#pragma once
// Decoding a texture image by what its bytes are, whatever its file is called.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/rgbaimage.h"

namespace pelorus {

enum class ImageKind { Unknown, Jpeg, Png, Bmp };

// The kind of image `bytes` start with: JPEG (FF D8 FF), PNG (its 8-byte signature) or BMP
// ("BM"); Unknown for anything else, including fewer bytes than a signature.
ImageKind SniffImageKind(std::span<const uint8_t> bytes);

enum class ImageFault {
    None,         // decoded
    NotAnImage,   // not a JPEG, PNG or BMP
    Damaged,      // of a known kind but damaged, cut short or otherwise undecodable
    TooLarge,     // wider or taller than kMaxImageSide pixels
    Unsupported,  // a valid file of a variant that is not decoded (RLE or 16-bit BMP, ...)
};

struct DecodedImage {
    RgbaImage image;  // empty unless fault is None
    ImageKind kind = ImageKind::Unknown;
    ImageFault fault = ImageFault::NotAnImage;
    // Why it failed, a short phrase to follow a quoted file name ("damaged or cut short",
    // "16-bit BMP is not supported"); "" on success. Always a string literal.
    std::string_view reason;

    bool Ok() const { return fault == ImageFault::None; }
};

struct ImageSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The size the header of the image in `bytes` claims (JPEG, PNG or BMP, as SniffImageKind finds
// them), read without decoding any pixel, so that what decoding would take can be judged before
// anything is allocated. Nullopt when the kind is unknown or no header can be read; a size that
// is claimed is not checked against kMaxImageSide (DecodeImage does that).
std::optional<ImageSize> ReadImageSize(std::span<const uint8_t> bytes);

// Decodes `bytes` as the kind SniffImageKind finds, into 8-bit RGBA, top row first.
//
// Contract:
// - JPEG as DecodeJpeg (greyscale becomes RGB; CMYK and YCCK are Unsupported, "CMYK JPEG is not
//   supported"), alpha 255, hasAlpha false.
// - PNG as DecodePng: every colour type and depth; hasAlpha from its alpha channel or tRNS.
// - BMP as DecodeBmp: uncompressed 1, 4, 8, 24 and 32 bits in colour, alpha 255, hasAlpha false;
//   RLE, 16-bit, other depths and other layouts are Unsupported with a reason that names them.
// - A size above kMaxImageSide is TooLarge, found from the header before pixels are decoded.
// - Running out of memory is Damaged. Nothing is printed.
DecodedImage DecodeImage(std::span<const uint8_t> bytes);

}  // namespace pelorus
