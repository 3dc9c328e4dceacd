#pragma once
// The textures of a model on the graphics card: one texture object per animation frame, made
// from the model's texture records the first time a frame is drawn. The texture objects belong
// to the context that made them; Release (and the destructor, when any exists) needs it current.

#include <cstdint>
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
    // without images. The record must outlive its texture objects, or be forgotten first.
    uint32_t FrameTexture(const TTexture& texture, int32_t frame);

    // Deletes every texture object made (safe without a context when none was).
    void Release();

private:
    struct Uploaded {
        std::vector<uint32_t> names;  // one per frame
        bool hasImages = false;
    };
    const Uploaded& Upload(const TTexture& texture);

    std::unordered_map<const TTexture*, Uploaded> uploaded_;
};

}  // namespace pelorus
