#include "fuzztargets.h"

#include <string_view>

#include "platform/bmpmask.h"
#include "platform/errorlog.h"
#include "platform/jpegimage.h"
#include "reader/rwxobject.h"
#include "render/scenefile.h"
#include "render/textureload.h"

namespace pelorus::fuzz {
namespace {

std::string_view Text(const uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace

void Script(const uint8_t* data, std::size_t size) {
    ErrorLog::Instance().Clear();
    ReadOptions options;
    options.loadTextures = false;
    auto object = RWXObject::FromText(Text(data, size), 0, 0, 0, options, "fuzz.rwx");
    std::vector<TranslucentRef> translucent;
    object->ListTranslucentTriangles(translucent);
    if (static_cast<int64_t>(translucent.size()) != object->CountTranslucentTriangles()) __builtin_trap();
    (void)object->CountTriangles();
}

void ObjectMap(const uint8_t* data, std::size_t size) {
    ErrorLog::Instance().Clear();
    (void)ParseObjectMap(Text(data, size), "fuzz.txt");
}

void BmpMask(const uint8_t* data, std::size_t size) {
    GreyImage mask;
    if (ReadBmpMask(std::span<const uint8_t>(data, size), mask) &&
        mask.pixels.size() != static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height))
        __builtin_trap();
}

void Texture(const uint8_t* data, std::size_t size) {
    if (size < 3) return;
    const bool mirror = data[0] & 1;
    const std::size_t split = 3 + ((static_cast<std::size_t>(data[1]) << 8 | data[2]) % (size - 2));
    const std::span<const uint8_t> jpeg(data + 3, split - 3);
    const std::span<const uint8_t> bmp(data + split, size - split);
    RgbImage rgb;
    if (DecodeJpeg(jpeg, rgb) != ImageError::None) return;
    if (rgb.pixels.size() != static_cast<std::size_t>(rgb.width) * static_cast<std::size_t>(rgb.height) * 3)
        __builtin_trap();
    GreyImage mask;
    ReadBmpMask(bmp, mask);
    const auto rgba = ComposeRgba(rgb.pixels, rgb.width, rgb.height, mask.pixels, mask.width, mask.height, mirror);
    const std::size_t expected = static_cast<std::size_t>(rgb.width) * static_cast<std::size_t>(rgb.height) * 4 *
                                 (mirror ? 4 : 1);
    if (rgba.size() != expected) __builtin_trap();
}

}  // namespace pelorus::fuzz
