#pragma once
// A texture of one object: the image as read (all frames) and its facts. A plain record; the
// drawing side keeps its own copies on the graphics card.

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/rwmaterial.h"

namespace pelorus {

struct TTexture {
    std::string name;      // as the script gave it, ".jpg" appended when it had no extension
    std::string maskName;  // "" without mask
    std::string fileName;  // the file the image was read from
    int32_t width = 0;     // of the stored image (doubled in Mirror mode)
    int32_t height = 0;    // of all frames together
    int32_t frameCount = 1;
    AddressMode addressMode = AddressMode::Wrap;
    uint8_t mipmapped = 1;
    uint8_t hasMask = 0;
    // width x height x 4 bytes, RGBA, top row first.
    std::vector<uint8_t> rgba;
    // The file's own bytes when they are exactly the image shown without the Mirror tile: a
    // JPEG of one frame with no mask applied. Empty otherwise (the image is known only as rgba).
    std::vector<uint8_t> sourceJpeg;
};

// The decoded images one load may keep: a few GiB, shared by every object the load reads.
inline constexpr uint64_t kDefaultImageBudgetBytes = uint64_t{4} << 30;

// A count of the bytes of texture images kept by one load, against a limit. Not for use from
// several threads at once.
class ImageBudget {
public:
    explicit ImageBudget(uint64_t limitBytes = kDefaultImageBudgetBytes) : limit_(limitBytes) {}
    // Takes `bytes` when they fit in what is left; otherwise false, and nothing is taken.
    bool Take(uint64_t bytes) {
        if (bytes > limit_ - used_) return false;
        used_ += bytes;
        return true;
    }
    uint64_t Used() const { return used_; }
    uint64_t Limit() const { return limit_; }

private:
    uint64_t limit_;
    uint64_t used_ = 0;
};

}  // namespace pelorus
