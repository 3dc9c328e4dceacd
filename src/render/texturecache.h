#pragma once
// Textures on the graphics card: one texture object per animation frame, made from a texture
// record the first time a frame is drawn. Records that share their pixels (every model of a load
// that uses the same image) and agree on frames and mipmapping share their texture objects; the
// cache holds on to the pixels it uploaded, so they cannot give way to other pixels at the same
// address. The texture objects belong to the context that made them; Release (and the destructor,
// when any exists) needs it current.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "reader/texture.h"

namespace pelorus {

class TextureCache {
public:
    TextureCache() = default;
    ~TextureCache();
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;
    TextureCache(TextureCache&& other) noexcept;
    TextureCache& operator=(TextureCache&& other) noexcept;

    // The texture object of `frame` of `texture`, made on first use; 0 when the frame does not
    // exist or has no image. When the texture is mipmapped, each frame (width x height /
    // frameCount pixels, frame 0 at the top of the image) is given through gluBuild2DMipmaps,
    // which rescales it to power-of-two sizes; a texture that is not mipmapped gets texture
    // objects without an image and draws untextured. A record whose pixels do not fill width x
    // height x 4 bytes, or whose frame count is not between 1 and the height, gets objects
    // without images.
    uint32_t FrameTexture(const TTexture& texture, int32_t frame);
    // How many images are uploaded (for tests and benchmarks).
    std::size_t Uploads() const { return uploaded_.size(); }
    // The texture object of the pattern that marks faces whose texture is missing: kCheckerCells
    // x kCheckerCells squares of kCheckerLight and kCheckerDark over the texture's 0..1 range,
    // made on first use (not mipmapped, so it stays sharp); 0 when it cannot be made.
    uint32_t MissingTexturePattern();

    // Deletes every texture object made (safe without a context when none was).
    void Release();
    // Deletes the texture objects of pixels that nothing but the cache holds any more (their
    // models are gone), so that models read and let go do not leave their images behind.
    void ReleaseUnused();

private:
    struct Key {
        const void* pixels;
        int32_t frames;
        bool mipmapped;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return std::hash<const void*>()(k.pixels) ^ (static_cast<std::size_t>(k.frames) << 1) ^
                   static_cast<std::size_t>(k.mipmapped);
        }
    };
    struct Uploaded {
        std::shared_ptr<const std::vector<uint8_t>> pixels;  // kept while uploaded
        std::vector<uint32_t> names;                         // one per frame
        bool hasImages = false;
    };
    const Uploaded& Upload(const TTexture& texture);

    std::unordered_map<Key, Uploaded, KeyHash> uploaded_;
    uint32_t checker_ = 0;
};

inline constexpr int kCheckerCells = 8;
inline constexpr uint8_t kCheckerLight[3] = {255, 0, 255};
inline constexpr uint8_t kCheckerDark[3] = {40, 40, 40};

}  // namespace pelorus
