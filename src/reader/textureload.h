#pragma once
// Finding and decoding a texture image and its mask: the work behind a texture command.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/texture.h"

namespace pelorus {

// The name a texture or mask is looked for under: `name` with ".jpg" (textures) or ".bmp"
// (masks) appended when it has no extension. A name whose only "." is its first character has
// none.
std::string TextureFileName(std::string_view name);
std::string MaskFileName(std::string_view name);

// True when a texture name (after TextureFileName) may be loaded: its extension is ".jpg" or
// ".jpeg" in any letter case. Other images are refused without a message.
bool IsLoadableTextureName(std::string_view fileName);

struct TextureRequest {
    std::string fileName;      // after TextureFileName
    std::string maskFileName;  // after MaskFileName, "" for none
    AddressMode addressMode = AddressMode::Wrap;
    bool mipmapped = true;
};

// Looks for the texture in each folder of `dirs` in order. In a folder the file itself is tried
// first, then an archive of the same base name with ".zip" holding it; the mask is looked for
// (the same two ways) only in the folder where the texture was found. Appends to `errors` the
// error lines of a missing or unreadable texture or mask and returns nothing when the texture
// cannot be used.
// A mask that cannot be read leaves the texture without one. The image is stored as RGBA, rows
// top first: mask bytes as alpha (255 outside the mask or without one); in Mirror mode as the 2 x 2
// tile of the image and its mirror images; a strip whose height is a multiple of its width holds
// one square frame per width (at most 100 are kept).
std::optional<TTexture> LoadTextureImage(const TextureRequest& request, const std::vector<std::string>& dirs,
                                         std::vector<std::string>& errors);

// Builds the stored RGBA image from decoded pixels (exposed for tests): `rgb` is w x h x 3,
// `mask` (may be empty) maskW x maskH grey bytes.
std::vector<uint8_t> ComposeRgba(const std::vector<uint8_t>& rgb, int32_t w, int32_t h,
                                 const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror);

}  // namespace pelorus
