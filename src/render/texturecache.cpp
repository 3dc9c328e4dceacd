#include "render/texturecache.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace pelorus {

void UploadTexture(TTexture& texture) {
    if (!texture.glNames.empty()) return;
    const int32_t frames = texture.frameCount >= 1 ? texture.frameCount : 1;
    texture.glNames.assign(static_cast<std::size_t>(frames), 0u);
    glGenTextures(frames, texture.glNames.data());

    const bool sizeOk =
        texture.width > 0 && texture.height > 0 && texture.frameCount >= 1 && texture.frameCount <= texture.height &&
        texture.rgba.size() >= static_cast<std::size_t>(texture.width) * static_cast<std::size_t>(texture.height) * 4u;
    if (texture.mipmapped && sizeOk) {
        const int32_t frameHeight = texture.height / texture.frameCount;
        const std::size_t frameBytes =
            static_cast<std::size_t>(texture.width) * static_cast<std::size_t>(frameHeight) * 4u;
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        bool ok = true;
        for (int32_t n = 0; n < frames; ++n) {
            glBindTexture(GL_TEXTURE_2D, texture.glNames[static_cast<std::size_t>(n)]);
            ok = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, texture.width, frameHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                                   texture.rgba.data() + static_cast<std::size_t>(n) * frameBytes) == 0 &&
                 ok;
        }
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        texture.glHasImages = ok;
    }
    texture.rgba.clear();
    texture.rgba.shrink_to_fit();
}

bool HasImage(const TTexture& texture) {
    return !texture.glNames.empty() && texture.glHasImages;
}

uint32_t FrameTexture(TTexture& texture, int32_t frame) {
    UploadTexture(texture);
    if (!texture.glHasImages || frame < 0 || static_cast<std::size_t>(frame) >= texture.glNames.size()) return 0;
    return texture.glNames[static_cast<std::size_t>(frame)];
}

void ReleaseTextures(RWXObject& object) {
    for (TTexture& t : object.Textures()) {
        if (t.glNames.empty()) continue;
        glDeleteTextures(static_cast<GLsizei>(t.glNames.size()), t.glNames.data());
        t.glNames.clear();
        t.glHasImages = false;
    }
}

}  // namespace pelorus
