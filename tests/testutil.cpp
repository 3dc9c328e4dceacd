#include "testutil.h"

#include <png.h>
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
#include "platform/paths.h"

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

ReadOptions NoTextures() {
    ReadOptions options;
    options.loadTextures = false;
    return options;
}

std::unique_ptr<RWXObject> ReadScript(std::string_view text, ErrorLog& log, ReadOptions options) {
    return RWXObject::FromText(text, 0, 0, 0, log, std::move(options), "test.rwx");
}

std::unique_ptr<RWXObject> ReadScript(std::string_view text, ReadOptions options) {
    ErrorLog ignored;
    return ReadScript(text, ignored, std::move(options));
}

bool WriteZip(const std::string& path, const std::string& member, std::string_view data, const std::string& password) {
    return WriteZipMembers(path, {{member, std::string(data), password}});
}

bool WriteZipMembers(const std::string& path, const std::vector<ZipMember>& members) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) return false;
    bool ok = true;
    for (const ZipMember& m : members) {
        // The data stays with `members` until the archive is written.
        zip_source_t* source = zip_source_buffer(zip, m.data.data(), m.data.size(), 0);
        const zip_int64_t index = zip_file_add(zip, m.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        ok = index >= 0;
        if (ok && !m.password.empty())
            ok = zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index), m.encryption, m.password.c_str()) == 0;
        if (!ok) break;
    }
    if (!ok) {
        zip_discard(zip);
        return false;
    }
    return zip_close(zip) == 0;
}

std::string ZipWithMethod(const std::string& member, std::string_view data, uint16_t method) {
    const TempDir scratch;
    const std::string path = scratch.Join("made.zip");
    std::string bytes;
    if (!WriteZip(path, member, data) || !ReadWholeFile(path, bytes)) return {};
    // The method field of the local header (offset 8) and of the central directory entry (10).
    for (const auto& [signature, offset] : {std::pair<std::string_view, std::size_t>{"PK\3\4", 8},
                                            std::pair<std::string_view, std::size_t>{"PK\1\2", 10}}) {
        const std::size_t at = bytes.find(signature);
        if (at == std::string::npos || at + offset + 2 > bytes.size()) return {};
        bytes[at + offset] = static_cast<char>(method & 0xFF);
        bytes[at + offset + 1] = static_cast<char>(method >> 8);
    }
    return bytes;
}

bool ZipCanDecompress(uint16_t method) {
    return zip_compression_method_supported(method, 0) != 0;
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

namespace {

void AppendPngBytes(png_structp png, png_bytep data, std::size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushPng(png_structp) {}

// Writes `layout` through `png`; errors jump back here, over no objects with destructors.
bool RunPngWriter(png_structp png, png_infop info, const PngFile& layout, png_bytepp rows, png_colorp palette,
                  png_color_16p transparent) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width), static_cast<png_uint_32>(layout.height),
                 layout.bitDepth, layout.colour, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) png_set_PLTE(png, info, palette, static_cast<int>(layout.palette.size() / 3));
    if (!layout.paletteAlpha.empty())
        png_set_tRNS(png, info, layout.paletteAlpha.data(), static_cast<int>(layout.paletteAlpha.size()), nullptr);
    if (!layout.transparent.empty()) png_set_tRNS(png, info, nullptr, 0, transparent);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::vector<uint8_t> WritePng(const PngFile& layout) {
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    std::vector<std::vector<uint8_t>> rowCopies = layout.rows;
    std::vector<png_bytep> rows;
    for (auto& row : rowCopies) rows.push_back(row.data());
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < layout.palette.size(); i += 3)
        palette.push_back({layout.palette[i], layout.palette[i + 1], layout.palette[i + 2]});
    png_color_16 transparent{};
    if (layout.transparent.size() == 1) transparent.gray = layout.transparent[0];
    if (layout.transparent.size() == 3) {
        transparent.red = layout.transparent[0];
        transparent.green = layout.transparent[1];
        transparent.blue = layout.transparent[2];
    }
    png_set_write_fn(png, &bytes, AppendPngBytes, FlushPng);
    const bool ok = RunPngWriter(png, info, layout, rows.data(), palette.data(), &transparent);
    png_destroy_write_struct(&png, &info);
    if (!ok) bytes.clear();
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

std::string EncodeJpeg(int w, int h, const std::vector<uint8_t>& rgb) {
    const std::vector<uint8_t> bytes = EncodeJpegBytes(w, h, 3, rgb);
    return std::string(bytes.begin(), bytes.end());
}

std::string BandsJpeg(int w, int h, const std::vector<Rgb>& bands) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb& c = bands[static_cast<std::size_t>(x * static_cast<int>(bands.size()) / w)];
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
        }
    return EncodeJpeg(w, h, rgb);
}

std::string FramesJpeg(int side, const std::vector<Rgb>& frames) {
    std::vector<uint8_t> rgb;
    for (const Rgb& c : frames)
        for (int i = 0; i < side * side; ++i)
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
    return EncodeJpeg(side, side * static_cast<int>(frames.size()), rgb);
}

std::string EncodeGreyBmp(int w, int h, const std::vector<uint8_t>& grey) {
    const int stride = (w * 3 + 3) / 4 * 4;
    const uint32_t dataSize = static_cast<uint32_t>(stride * h);
    std::string out;
    auto u16 = [&](uint32_t v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    out += "BM";
    u32(54 + dataSize), u32(0), u32(54);
    u32(40), u32(static_cast<uint32_t>(w)), u32(static_cast<uint32_t>(h)), u16(1), u16(24), u32(0), u32(dataSize);
    u32(2835), u32(2835), u32(0), u32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) out += static_cast<char>(grey[static_cast<std::size_t>(y * w + x)]);
        for (int p = w * 3; p < stride; ++p) out += '\0';
    }
    return out;
}

ReadOptions TexturesFrom(const std::string& dir) {
    ReadOptions options;
    options.programDir = dir;
    options.extraTextureDirs = {dir};
    return options;
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string ToString(const Rgb& c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

}  // namespace pelorus::test
