#pragma once
// Handing textures to OpenGL and taking them back. Every call needs the OpenGL context that the
// textures are (or will be) drawn with to be current, except where no texture object exists yet.

#include <cstdint>

#include "reader/rwxobject.h"
#include "reader/texture.h"

namespace pelorus {

// Creates one texture object per frame, once (later calls do nothing). When the texture is
// mipmapped, each frame (width x height / frameCount pixels, frame 0 at the top of the image)
// is given through gluBuild2DMipmaps, which rescales it to power-of-two sizes; a texture that is
// not mipmapped gets texture objects without an image and draws untextured. The RGBA pixels are
// released afterwards. A record whose pixels do not fill width x height x 4 bytes, or whose frame
// count is not between 1 and the height, gets objects without images.
void UploadTexture(TTexture& texture);

// True once UploadTexture has run and the frame has an image to draw with.
bool HasImage(const TTexture& texture);

// The texture object of `frame`, uploading the texture first when needed; 0 when the frame does
// not exist or has no image.
uint32_t FrameTexture(TTexture& texture, int32_t frame);

// Deletes the texture objects of every texture of `object` (safe without a context when none was
// ever uploaded).
void ReleaseTextures(RWXObject& object);

}  // namespace pelorus
