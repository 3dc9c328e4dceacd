#include "platform/jpegimage.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <new>

// libjpeg's header needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace pelorus {
namespace {

// libjpeg may hold at most this much memory for one image. Progressive and multi-scan files keep
// the whole image's coefficients; a damaged header claiming a huge size then fails here instead
// of exhausting memory.
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;

// Error manager whose fatal errors and warnings both jump back to the decoding frame, and which
// prints nothing.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

// Level -1 is a warning: damaged or truncated data that libjpeg would otherwise patch over with
// grey. Levels 0 and above are trace messages and are ignored.
void OnMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel < 0) {
        OnError(cinfo);
    }
}

void OnOutput(j_common_ptr) {}

// Everything libjpeg touches lives here, outside the frame that calls setjmp.
struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    bool created = false;
};

// Decodes from `file`. A longjmp from libjpeg lands in this frame, which holds no objects with
// destructors; only libjpeg's own C frames are skipped. `out` grows as scanlines arrive and may be
// partly filled on failure (the caller clears it).
ImageError RunDecoder(Decoder& decoder, std::FILE* file, RgbImage& out) {
    jpeg_decompress_struct* cinfo = &decoder.cinfo;
    cinfo->err = jpeg_std_error(&decoder.errors.pub);
    decoder.errors.pub.error_exit = OnError;
    decoder.errors.pub.emit_message = OnMessage;
    decoder.errors.pub.output_message = OnOutput;
    if (setjmp(decoder.errors.jump) != 0) {
        return ImageError::Unreadable;
    }
    jpeg_create_decompress(cinfo);
    decoder.created = true;
    cinfo->mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_stdio_src(cinfo, file);

    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
        return ImageError::Unreadable;
    }
    if (cinfo->image_width > static_cast<JDIMENSION>(kMaxImageSide) ||
        cinfo->image_height > static_cast<JDIMENSION>(kMaxImageSide)) {
        return ImageError::TooLarge;
    }
    // Greyscale and YCbCr become RGB; CMYK and YCCK cannot.
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
        return ImageError::CmykColours;
    }
    cinfo->out_color_space = JCS_RGB;
    if (!jpeg_start_decompress(cinfo)) {
        return ImageError::Unreadable;
    }
    if (cinfo->output_components != 3 || cinfo->output_width == 0 || cinfo->output_height == 0 ||
        cinfo->output_width > static_cast<JDIMENSION>(kMaxImageSide) ||
        cinfo->output_height > static_cast<JDIMENSION>(kMaxImageSide)) {
        return ImageError::Unreadable;
    }

    const std::size_t rowBytes = std::size_t{cinfo->output_width} * 3;
    while (cinfo->output_scanline < cinfo->output_height) {
        // Grows with the data actually decoded, never from the header's claim alone.
        const std::size_t used = out.pixels.size();
        out.pixels.resize(used + rowBytes);
        JSAMPROW row = out.pixels.data() + used;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) {
            return ImageError::Unreadable;
        }
    }
    out.width = static_cast<int32_t>(cinfo->output_width);
    out.height = static_cast<int32_t>(cinfo->output_height);
    if (!jpeg_finish_decompress(cinfo)) {
        return ImageError::Unreadable;
    }
    return ImageError::None;
}

// Reads no more than the header of `file`. Longjmps land here as in RunDecoder.
bool RunHeader(Decoder& decoder, std::FILE* file, int32_t& width, int32_t& height) {
    jpeg_decompress_struct* cinfo = &decoder.cinfo;
    cinfo->err = jpeg_std_error(&decoder.errors.pub);
    decoder.errors.pub.error_exit = OnError;
    decoder.errors.pub.emit_message = OnMessage;
    decoder.errors.pub.output_message = OnOutput;
    if (setjmp(decoder.errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(cinfo);
    decoder.created = true;
    cinfo->mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_stdio_src(cinfo, file);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK || cinfo->image_width > INT32_MAX ||
        cinfo->image_height > INT32_MAX) {
        return false;
    }
    width = static_cast<int32_t>(cinfo->image_width);
    height = static_cast<int32_t>(cinfo->image_height);
    return true;
}

}  // namespace

bool ReadJpegSize(std::span<const uint8_t> bytes, int32_t& width, int32_t& height) {
    if (bytes.empty()) return false;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "r");
    if (file == nullptr) return false;
    Decoder decoder{};
    bool ok = false;
    try {
        ok = RunHeader(decoder, file, width, height);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (decoder.created) {
        jpeg_destroy_decompress(&decoder.cinfo);
    }
    std::fclose(file);
    return ok;
}

ImageError DecodeJpeg(std::FILE* file, RgbImage& out) {
    out = RgbImage{};
    if (file == nullptr) {
        return ImageError::Unreadable;
    }
    Decoder decoder{};
    ImageError result = ImageError::Unreadable;
    try {
        result = RunDecoder(decoder, file, out);
    } catch (const std::bad_alloc&) {
        result = ImageError::Unreadable;
    }
    if (decoder.created) {
        jpeg_destroy_decompress(&decoder.cinfo);
    }
    if (result != ImageError::None) {
        out = RgbImage{};
    }
    return result;
}

ImageError DecodeJpeg(std::span<const uint8_t> bytes, RgbImage& out) {
    if (bytes.empty()) {
        out = RgbImage{};
        return ImageError::Unreadable;
    }
    // A read-only stream over the caller's bytes; "r" mode never writes through the pointer.
    std::FILE* file = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "r");
    if (file == nullptr) {
        out = RgbImage{};
        return ImageError::Unreadable;
    }
    const ImageError result = DecodeJpeg(file, out);
    std::fclose(file);
    return result;
}

}  // namespace pelorus
