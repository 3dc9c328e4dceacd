#pragma once
// Helpers shared by the tests: temporary folders, files, and the error lines a piece of code wrote.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"

namespace pelorus::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // Writes `content` to `name` (relative to the folder, sub-folders created) and returns its path.
    std::string Write(std::string_view name, std::string_view content) const;
    std::string Join(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// A test's own error log: what the code under test wrote to it is in Lines().
using LogCapture = ErrorLog;

ReadOptions NoTextures();
// Reads a script from text, at offset (0, 0, 0), without textures unless `options` say otherwise,
// writing its error lines to `log` (or nowhere).
std::unique_ptr<RWXObject> ReadScript(std::string_view text, ErrorLog& log, ReadOptions options = NoTextures());
std::unique_ptr<RWXObject> ReadScript(std::string_view text, ReadOptions options = NoTextures());

// Writes a zip archive at `path` (folders created) holding one member, encrypted with AES-256
// when `password` is given. False when libzip refuses.
bool WriteZip(const std::string& path, const std::string& member, std::string_view data,
              const std::string& password = {});
// The same with several members, in order; each encrypted when it has a password.
struct ZipMember {
    std::string name;
    std::string data;
    std::string password;
    uint16_t encryption = 0x0103;  // libzip's ZIP_EM_AES_256; ZIP_EM_TRAD_PKWARE is 1
};
bool WriteZipMembers(const std::string& path, const std::vector<ZipMember>& members);
// An archive holding `data` as one member whose compression method is recorded as `method` (the
// bytes themselves as libzip compressed them), as archives of tools with methods libzip may lack look
// (14 LZMA, 98 PPMd). Empty when libzip refuses. ZipCanDecompress: whether libzip reads `method`.
std::string ZipWithMethod(const std::string& member, std::string_view data, uint16_t method);
bool ZipCanDecompress(uint16_t method);

// A JPEG of width x height pixels of `components` bytes each (1 grey, 3 RGB, 4 CMYK), top row
// first, at quality 100 and without chroma subsampling, so that areas of one colour on 8-pixel
// boundaries decode to that colour within a few levels.
std::vector<uint8_t> EncodeJpegBytes(int width, int height, int components, const std::vector<uint8_t>& pixels,
                                     bool progressive = false);

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// True when each channel differs by at most `tolerance`.
bool Near(const Rgb& a, const Rgb& b, int tolerance = 3);
std::string ToString(const Rgb& c);

// A JPEG of w x h pixels given as `rgb` (w x h x 3 bytes, top row first), as EncodeJpegBytes
// makes it.
std::string EncodeJpeg(int w, int h, const std::vector<uint8_t>& rgb);
// A w x h image of vertical bands of equal width, one colour each, left to right.
std::string BandsJpeg(int w, int h, const std::vector<Rgb>& bands);
// A strip of square frames of side `side`, one colour each, top to bottom.
std::string FramesJpeg(int side, const std::vector<Rgb>& frames);
// A 24-bit BMP whose pixels are the grey values `grey` (w x h, top row first).
std::string EncodeGreyBmp(int w, int h, const std::vector<uint8_t>& grey);

// Reads textures from `dir` only (no TexturesPath.txt is found next to a folder that has none).
ReadOptions TexturesFrom(const std::string& dir);
// A PNG as libpng writes it. `rows` hold the samples packed as in the file, top row first,
// without filter bytes: bits of small depths from the most significant first, 16-bit samples
// big-endian.
struct PngFile {
    enum Colour { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };  // the file's codes
    int width = 0;
    int height = 0;
    Colour colour = Rgb;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<uint8_t> palette;       // R, G, B per entry
    std::vector<uint8_t> paletteAlpha;  // tRNS of a palette image: alpha of the first entries
    std::vector<uint16_t> transparent;  // tRNS of grey (one value) or RGB (three) images
};
// Empty when libpng refuses the description.
std::vector<uint8_t> WritePng(const PngFile& layout);

// Special files in `dir`: a FIFO (always possible), and a character device node standing for
// /dev/zero (only as root; "" otherwise, so the caller skips). Both return the new path.
std::string MakeFifo(const TempDir& dir, std::string_view name);
std::string MakeZeroDevice(const TempDir& dir, std::string_view name);

// Folders of the source tree.
std::string SourceDir();
std::string DataDir();  // tests/data

}  // namespace pelorus::test
