#include "platform/jpegwrite.h"

#include <csetjmp>
#include <cstdlib>
#include <new>

// libjpeg's header needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace pelorus {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OnOutput(j_common_ptr) {}

// Everything libjpeg touches lives here, outside the frame that calls setjmp.
struct Encoder {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    bool created = false;
    unsigned char* buffer = nullptr;  // libjpeg's memory destination, freed with free()
    unsigned long size = 0;

    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

// The part libjpeg may jump out of: no object with a destructor lives in this frame.
bool Encode(Encoder& e, const uint8_t* rgb, JDIMENSION width, JDIMENSION height, int quality) {
    jpeg_compress_struct* cinfo = &e.cinfo;
    cinfo->err = jpeg_std_error(&e.errors.pub);
    e.errors.pub.error_exit = OnError;
    e.errors.pub.output_message = OnOutput;
    if (setjmp(e.errors.jump) != 0) return false;
    jpeg_create_compress(cinfo);
    e.created = true;
    jpeg_mem_dest(cinfo, &e.buffer, &e.size);
    cinfo->image_width = width;
    cinfo->image_height = height;
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    for (int c = 0; c < cinfo->num_components; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(cinfo->next_scanline) * stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(std::span<const uint8_t> rgb, int32_t width, int32_t height, int quality) {
    constexpr int32_t kMaxSide = 65500;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || quality < 1 || quality > 100) return {};
    if (rgb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) return {};
    try {
        Encoder e;
        if (!Encode(e, rgb.data(), static_cast<JDIMENSION>(width), static_cast<JDIMENSION>(height), quality)) return {};
        return std::vector<uint8_t>(e.buffer, e.buffer + e.size);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace pelorus
