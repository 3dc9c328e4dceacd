#include "platform/pngwrite.h"

#include <png.h>

#include <csetjmp>
#include <new>

namespace pelorus {
namespace {

void AppendToMemory(png_structp png, png_bytep data, std::size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        stored = false;
    }
    // Outside the handler: libpng leaves this frame by a long jump.
    if (!stored) png_error(png, "out of memory");
}

void FlushNothing(png_structp) {}

[[noreturn]] void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// What libpng holds for one image; freed when it goes.
struct Encoder {
    png_structp png = nullptr;
    png_infop info = nullptr;

    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// The part that libpng may jump out of: no object with a destructor lives in this frame.
bool Encode(Encoder& e, std::vector<uint8_t>& out, const uint8_t* pixels, png_uint_32 width, png_uint_32 height,
            int channels, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(e.png))) return false;
    png_set_write_fn(e.png, &out, AppendToMemory, FlushNothing);
    png_set_IHDR(e.png, e.info, width, height, 8, channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(e.png, e.info);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(pixels + y * stride);
    png_write_image(e.png, rows.data());
    png_write_end(e.png, nullptr);
    return true;
}

}  // namespace

std::vector<uint8_t> EncodePng(std::span<const uint8_t> pixels, int32_t width, int32_t height, int channels) {
    if (width < 1 || height < 1 || (channels != 3 && channels != 4)) return {};
    const std::size_t needed =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * static_cast<std::size_t>(channels);
    if (pixels.size() < needed) return {};
    try {
        std::vector<png_bytep> rows(static_cast<std::size_t>(height));
        std::vector<uint8_t> out;
        Encoder e;
        e.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
        if (!e.png) return {};
        e.info = png_create_info_struct(e.png);
        if (!e.info) return {};
        if (!Encode(e, out, pixels.data(), static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), channels,
                    rows))
            return {};
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace pelorus
