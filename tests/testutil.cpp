#include "testutil.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

// libjpeg's header needs size_t and FILE declared before it.
// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "platform/errorlog.h"

namespace pelorus::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelorus-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(std::string_view name, std::string_view content) const {
    const std::filesystem::path p = std::filesystem::path(path_) / std::string(name);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return p.string();
}

LogCapture::LogCapture() : mark_(ErrorLog::Instance().LineCount()) {}

std::vector<std::string> LogCapture::Lines() const {
    return ErrorLog::Instance().LinesSince(mark_);
}

ReadOptions NoTextures() {
    ReadOptions options;
    options.loadTextures = false;
    return options;
}

std::unique_ptr<RWXObject> ReadScript(std::string_view text, ReadOptions options) {
    return RWXObject::FromText(text, 0, 0, 0, std::move(options), "test.rwx");
}

bool WriteZip(const std::string& path, const std::string& member, std::string_view data, const std::string& password) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) return false;
    zip_source_t* source = zip_source_buffer(zip, data.data(), data.size(), 0);
    const zip_int64_t index = zip_file_add(zip, member.c_str(), source, ZIP_FL_ENC_UTF_8);
    bool ok = index >= 0;
    if (ok && !password.empty())
        ok = zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, password.c_str()) == 0;
    if (!ok) {
        zip_discard(zip);
        return false;
    }
    return zip_close(zip) == 0;
}

std::vector<uint8_t> EncodeJpegBytes(int width, int height, int components, const std::vector<uint8_t>& pixels,
                                     bool progressive) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + cinfo.next_scanline * rowBytes;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

std::string MakeFifo(const TempDir& dir, std::string_view name) {
    const std::string path = dir.Join(name);
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    return path;
}

std::string MakeZeroDevice(const TempDir& dir, std::string_view name) {
    const std::string path = dir.Join(name);
    if (::geteuid() != 0 || ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 5)) != 0) return {};
    return path;
}

std::string SourceDir() {
    return PELORUS_SOURCE_DIR;
}
std::string DataDir() {
    return std::string(PELORUS_SOURCE_DIR) + "/tests/data";
}

}  // namespace pelorus::test
