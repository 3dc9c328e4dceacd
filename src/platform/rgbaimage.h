#pragma once
// A decoded image ready to become a texture: 8-bit RGBA, top row first.

#include <cstdint>
#include <vector>

namespace pelorus {

struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height x 4 bytes (R, G, B, A), top row first
    // True when the file carries transparency (an alpha channel or a transparent colour), even if
    // every pixel happens to be opaque; without it every alpha byte is 255.
    bool hasAlpha = false;
};

}  // namespace pelorus
