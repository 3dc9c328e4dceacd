#include "render/texturecache.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <utility>
#include <vector>

namespace pelorus {

TextureCache::~TextureCache() {
    Release();
}

TextureCache::TextureCache(TextureCache&& other) noexcept
    : uploaded_(std::exchange(other.uploaded_, {})), checker_(std::exchange(other.checker_, 0)) {}

TextureCache& TextureCache::operator=(TextureCache&& other) noexcept {
    if (this != &other) {
        Release();
        uploaded_ = std::exchange(other.uploaded_, {});
        checker_ = std::exchange(other.checker_, 0);
    }
    return *this;
}

uint32_t TextureCache::MissingTexturePattern() {
    if (checker_ != 0) return checker_;
    constexpr int kCellTexels = 4;
    constexpr int kSide = kCheckerCells * kCellTexels;
    std::vector<uint8_t> rgba(static_cast<std::size_t>(kSide) * kSide * 4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const uint8_t* c = ((x / kCellTexels + y / kCellTexels) % 2 == 0) ? kCheckerLight : kCheckerDark;
            uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * kSide + x) * 4;
            p[0] = c[0];
            p[1] = c[1];
            p[2] = c[2];
            p[3] = 255;
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) return 0;
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    checker_ = name;
    return checker_;
}

const TextureCache::Uploaded& TextureCache::Upload(const TTexture& texture) {
    const Key key{texture.pixels.get(), texture.frameCount, texture.mipmapped != 0};
    if (const auto it = uploaded_.find(key); it != uploaded_.end()) return it->second;
    Uploaded& up = uploaded_[key];
    up.pixels = texture.pixels;
    const std::vector<uint8_t>& rgba = texture.Rgba();
    const int32_t frames = texture.frameCount >= 1 ? texture.frameCount : 1;
    up.names.assign(static_cast<std::size_t>(frames), 0u);
    glGenTextures(frames, up.names.data());

    const bool sizeOk =
        texture.width > 0 && texture.height > 0 && texture.frameCount >= 1 && texture.frameCount <= texture.height &&
        rgba.size() >= static_cast<std::size_t>(texture.width) * static_cast<std::size_t>(texture.height) * 4u;
    if (texture.mipmapped && sizeOk) {
        const int32_t frameHeight = texture.height / texture.frameCount;
        const std::size_t frameBytes =
            static_cast<std::size_t>(texture.width) * static_cast<std::size_t>(frameHeight) * 4u;
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        bool ok = true;
        for (int32_t n = 0; n < frames; ++n) {
            glBindTexture(GL_TEXTURE_2D, up.names[static_cast<std::size_t>(n)]);
            ok = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, texture.width, frameHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                                   rgba.data() + static_cast<std::size_t>(n) * frameBytes) == 0 &&
                 ok;
        }
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        up.hasImages = ok;
    }
    return up;
}

uint32_t TextureCache::FrameTexture(const TTexture& texture, int32_t frame) {
    const Uploaded& up = Upload(texture);
    if (!up.hasImages || frame < 0 || static_cast<std::size_t>(frame) >= up.names.size()) return 0;
    return up.names[static_cast<std::size_t>(frame)];
}

void TextureCache::Release() {
    for (auto& [texture, up] : uploaded_)
        if (!up.names.empty()) glDeleteTextures(static_cast<GLsizei>(up.names.size()), up.names.data());
    uploaded_.clear();
    if (checker_ != 0) glDeleteTextures(1, &checker_);
    checker_ = 0;
}

void TextureCache::ReleaseUnused() {
    for (auto it = uploaded_.begin(); it != uploaded_.end();) {
        Uploaded& up = it->second;
        if (!up.pixels || up.pixels.use_count() > 1) {
            ++it;
            continue;
        }
        if (!up.names.empty()) glDeleteTextures(static_cast<GLsizei>(up.names.size()), up.names.data());
        it = uploaded_.erase(it);
    }
}

}  // namespace pelorus
