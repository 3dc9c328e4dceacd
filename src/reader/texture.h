#pragma once
// A texture of one object: the image as read (all frames) and its facts. A plain record whose
// pixels are shared (read-only) by every record of the same image, so that a texture used by many
// models of one load is decoded, kept and uploaded once; the drawing side keeps its own copies on
// the graphics card.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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
    // width x height x 4 bytes, RGBA, top row first (null: no pixels).
    std::shared_ptr<const std::vector<uint8_t>> pixels;
    // The file's own bytes when they are exactly the image shown without the Mirror tile: a
    // JPEG of one frame with no mask applied. Null otherwise (the image is known only as pixels).
    std::shared_ptr<const std::vector<uint8_t>> jpeg;
    // The JPEG file the colours came from, whole, whatever mask was applied and however many
    // frames it holds; null when the colours came from elsewhere or were changed (frames beyond
    // the limit dropped, a tint applied). Writing the texture out again can copy it unchanged.
    std::shared_ptr<const std::vector<uint8_t>> colourJpeg;

    const std::vector<uint8_t>& Rgba() const { return pixels ? *pixels : kNoBytes; }
    const std::vector<uint8_t>& SourceJpeg() const { return jpeg ? *jpeg : kNoBytes; }
    const std::vector<uint8_t>& ColourJpeg() const { return colourJpeg ? *colourJpeg : kNoBytes; }

private:
    static inline const std::vector<uint8_t> kNoBytes;
};

// The textures one load decoded, by the image file they came from and everything that changes
// what is made of it (mask, Mirror tile), so that every model of the load asking for the same
// image gets the same pixels. Not for use from several threads at once.
class TextureStore {
public:
    struct Kept {
        TTexture texture;
        std::vector<std::string> lines;  // the error lines its decoding wrote, said again on reuse
    };
    const Kept* Find(const std::string& key) const {
        const auto it = kept_.find(key);
        return it == kept_.end() ? nullptr : &it->second;
    }
    void Keep(std::string key, const TTexture& texture, std::vector<std::string> lines) {
        kept_.try_emplace(std::move(key), Kept{texture, std::move(lines)});
    }
    std::size_t Size() const { return kept_.size(); }

private:
    std::unordered_map<std::string, Kept> kept_;
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
