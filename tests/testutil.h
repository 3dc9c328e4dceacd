#pragma once
// Helpers shared by the tests: temporary folders, files, and the error lines a piece of code wrote.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// Collects the error-log lines written from its construction on.
class LogCapture {
public:
    LogCapture();
    std::vector<std::string> Lines() const;

private:
    std::size_t mark_;
};

ReadOptions NoTextures();
// Reads a script from text, at offset (0, 0, 0), without textures unless `options` say otherwise.
std::unique_ptr<RWXObject> ReadScript(std::string_view text, ReadOptions options = NoTextures());

// Writes a zip archive at `path` (folders created) holding one member, encrypted with AES-256
// when `password` is given. False when libzip refuses.
bool WriteZip(const std::string& path, const std::string& member, std::string_view data,
              const std::string& password = {});

// A JPEG of width x height pixels of `components` bytes each (1 grey, 3 RGB, 4 CMYK), top row
// first, at quality 100 and without chroma subsampling, so that areas of one colour on 8-pixel
// boundaries decode to that colour within a few levels.
std::vector<uint8_t> EncodeJpegBytes(int width, int height, int components, const std::vector<uint8_t>& pixels,
                                     bool progressive = false);

// Special files in `dir`: a FIFO (always possible), and a character device node standing for
// /dev/zero (only as root; "" otherwise, so the caller skips). Both return the new path.
std::string MakeFifo(const TempDir& dir, std::string_view name);
std::string MakeZeroDevice(const TempDir& dir, std::string_view name);

// Folders of the source tree.
std::string SourceDir();
std::string DataDir();  // tests/data

}  // namespace pelorus::test
