#include "platform/bmpwrite.h"

namespace pelorus {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeMaskBmp(std::span<const uint8_t> mask, int32_t width, int32_t height) {
    constexpr int32_t kMaxSide = 32768;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return {};
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    if (mask.size() < w * h) return {};
    const std::size_t rowBytes = (w + 31) / 32 * 4;
    constexpr uint32_t kHeaders = 14 + 40 + 8;
    const std::size_t fileSize = kHeaders + rowBytes * h;

    std::vector<uint8_t> out;
    out.reserve(fileSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<uint32_t>(fileSize));
    Put32(out, 0);
    Put32(out, kHeaders);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);  // planes
    Put16(out, 1);  // bits per pixel
    Put32(out, 0);  // no compression
    Put32(out, static_cast<uint32_t>(rowBytes * h));
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 2);  // colours in the palette
    Put32(out, 2);
    Put32(out, 0x00000000);  // black
    Put32(out, 0x00FFFFFF);  // white
    for (std::size_t row = h; row-- > 0;) {
        const uint8_t* src = mask.data() + row * w;
        const std::size_t start = out.size();
        out.resize(start + rowBytes, 0);
        for (std::size_t x = 0; x < w; ++x)
            if (src[x] >= 128) out[start + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
    return out;
}

}  // namespace pelorus
