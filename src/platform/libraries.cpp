#include "platform/libraries.h"

#include <png.h>
#include <zip.h>

// libjpeg's header needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace pelorus {
namespace {

#define PELORUS_TEXT(x) #x
#define PELORUS_VALUE_TEXT(x) PELORUS_TEXT(x)

std::string JpegVersion() {
#ifdef LIBJPEG_TURBO_VERSION
    return PELORUS_VALUE_TEXT(LIBJPEG_TURBO_VERSION);
#else
    return {};
#endif
}

std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ImageAndArchiveLibraries() {
    return {
        {"libjpeg-turbo", JpegVersion()},
        {"libpng", Text(png_get_libpng_ver(nullptr))},
        {"libzip", Text(zip_libzip_version())},
    };
}

}  // namespace pelorus
