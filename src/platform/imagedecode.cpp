#include "platform/imagedecode.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <utility>

#include "platform/bmpmask.h"
#include "platform/jpegimage.h"
#include "platform/pngimage.h"

namespace pelorus {
namespace {

static_assert(kMaxImageSide == 16384, "the reasons below name the limit");
constexpr std::string_view kNotAnImage = "not a JPEG, PNG or BMP image";
constexpr std::string_view kDamaged = "damaged or cut short";
constexpr std::string_view kTooLarge = "wider or taller than 16384 pixels";

DecodedImage Failure(ImageKind kind, ImageFault fault, std::string_view reason) {
    DecodedImage result;
    result.kind = kind;
    result.fault = fault;
    result.reason = reason;
    return result;
}

DecodedImage Success(ImageKind kind, RgbaImage image) {
    DecodedImage result;
    result.image = std::move(image);
    result.kind = kind;
    result.fault = ImageFault::None;
    return result;
}

DecodedImage FromJpeg(std::span<const uint8_t> bytes) {
    RgbImage rgb;
    switch (DecodeJpeg(bytes, rgb)) {
        case ImageError::None:
            break;
        case ImageError::TooLarge:
            return Failure(ImageKind::Jpeg, ImageFault::TooLarge, kTooLarge);
        case ImageError::Unreadable:
            return Failure(ImageKind::Jpeg, ImageFault::Damaged, kDamaged);
        case ImageError::CmykColours:
            return Failure(ImageKind::Jpeg, ImageFault::Unsupported, "CMYK JPEG is not supported");
    }
    RgbaImage image;
    image.width = rgb.width;
    image.height = rgb.height;
    const std::size_t count = rgb.pixels.size() / 3;
    image.pixels.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        image.pixels[i * 4 + 0] = rgb.pixels[i * 3 + 0];
        image.pixels[i * 4 + 1] = rgb.pixels[i * 3 + 1];
        image.pixels[i * 4 + 2] = rgb.pixels[i * 3 + 2];
        image.pixels[i * 4 + 3] = 255;
    }
    return Success(ImageKind::Jpeg, std::move(image));
}

DecodedImage FromPng(std::span<const uint8_t> bytes) {
    RgbaImage image;
    switch (DecodePng(bytes, image)) {
        case PngError::None:
            return Success(ImageKind::Png, std::move(image));
        case PngError::TooLarge:
            return Failure(ImageKind::Png, ImageFault::TooLarge, kTooLarge);
        case PngError::NotPng:
        case PngError::Damaged:
            break;
    }
    return Failure(ImageKind::Png, ImageFault::Damaged, kDamaged);
}

DecodedImage FromBmp(std::span<const uint8_t> bytes) {
    RgbaImage image;
    const BmpError error = DecodeBmp(bytes, image);
    switch (error) {
        case BmpError::None:
            return Success(ImageKind::Bmp, std::move(image));
        case BmpError::NotBmp:
        case BmpError::Damaged:
            return Failure(ImageKind::Bmp, ImageFault::Damaged, kDamaged);
        case BmpError::TooLarge:
            return Failure(ImageKind::Bmp, ImageFault::TooLarge, kTooLarge);
        case BmpError::Rle:
        case BmpError::SixteenBit:
        case BmpError::OtherDepth:
        case BmpError::OtherFormat:
            break;
    }
    return Failure(ImageKind::Bmp, ImageFault::Unsupported, BmpErrorReason(error));
}

}  // namespace

ImageKind SniffImageKind(std::span<const uint8_t> bytes) {
    const auto startsWith = [bytes](std::initializer_list<uint8_t> signature) {
        return bytes.size() >= signature.size() && std::equal(signature.begin(), signature.end(), bytes.begin());
    };
    if (startsWith({0xFF, 0xD8, 0xFF})) return ImageKind::Jpeg;
    if (startsWith({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return ImageKind::Png;
    if (startsWith({'B', 'M'})) return ImageKind::Bmp;
    return ImageKind::Unknown;
}

std::optional<ImageSize> ReadImageSize(std::span<const uint8_t> bytes) {
    auto u16 = [&](std::size_t at) { return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8); };
    auto u32 = [&](std::size_t at) {
        return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
               static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
    };
    auto big32 = [&](std::size_t at) {
        return static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
               static_cast<uint32_t>(bytes[at + 2]) << 8 | static_cast<uint32_t>(bytes[at + 3]);
    };
    auto size = [](uint32_t w, uint32_t h) -> std::optional<ImageSize> {
        if (w > INT32_MAX || h > INT32_MAX) return std::nullopt;
        return ImageSize{static_cast<int32_t>(w), static_cast<int32_t>(h)};
    };
    switch (SniffImageKind(bytes)) {
        case ImageKind::Jpeg: {
            ImageSize s;
            if (!ReadJpegSize(bytes, s.width, s.height)) return std::nullopt;
            return s;
        }
        case ImageKind::Png:
            // The signature, then the header chunk: length, "IHDR", width and height.
            if (bytes.size() < 24 || !std::equal(bytes.begin() + 12, bytes.begin() + 16, "IHDR")) return std::nullopt;
            return size(big32(16), big32(20));
        case ImageKind::Bmp: {
            // The file header, then the size of the information header: 12 for the oldest one
            // (16-bit sides), more for the others (32-bit sides, a negative height top-down).
            if (bytes.size() < 26) return std::nullopt;
            if (u32(14) == 12) return size(u16(18), u16(20));
            const auto height = static_cast<int32_t>(u32(22));
            return size(u32(18), height == INT32_MIN ? uint32_t{1} << 31 : static_cast<uint32_t>(std::abs(height)));
        }
        case ImageKind::Unknown:
            break;
    }
    return std::nullopt;
}

DecodedImage DecodeImage(std::span<const uint8_t> bytes) {
    const ImageKind kind = SniffImageKind(bytes);
    try {
        switch (kind) {
            case ImageKind::Jpeg:
                return FromJpeg(bytes);
            case ImageKind::Png:
                return FromPng(bytes);
            case ImageKind::Bmp:
                return FromBmp(bytes);
            case ImageKind::Unknown:
                break;
        }
    } catch (const std::bad_alloc&) {
        return Failure(kind, ImageFault::Damaged, kDamaged);
    }
    return Failure(ImageKind::Unknown, ImageFault::NotAnImage, kNotAnImage);
}

}  // namespace pelorus
