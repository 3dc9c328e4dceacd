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

// The second name a texture is looked for under: `name` with ".png" appended when it has no
// extension (tried after the ".jpg" of TextureFileName), "" when it has one.
std::string TextureFallbackFileName(std::string_view name);

// True when a texture name (after TextureFileName) may be loaded: its extension is ".jpg",
// ".jpeg", ".png" or ".bmp" in any letter case. Other names are refused without a message. The
// extension only admits the name: the file is decoded by its content.
bool IsLoadableTextureName(std::string_view fileName);

struct TextureRequest {
    std::string fileName;          // after TextureFileName
    std::string fallbackFileName;  // after TextureFallbackFileName, "" for none
    std::string maskFileName;      // after MaskFileName, "" for none
    AddressMode addressMode = AddressMode::Wrap;
    bool mipmapped = true;
};

// Looks for the texture in each folder of `dirs` in order. In a folder the file itself is tried
// first, then an archive of the same base name with ".zip" holding it, then the same two for the
// fallback name; the mask is looked for (the same two ways) only in the folder where the texture
// was found. Appends to `errors` the error lines of a missing or unreadable texture or mask and
// returns nothing when the texture cannot be used.
// The file found is decoded by its content (JPEG, PNG or BMP, see DecodeImage), whatever its
// extension. With F the name it was found under, the error lines are:
// - not an image, or damaged: `Couldn't read texture "F".`
// - an unsupported variant: `Couldn't read texture "F" (REASON).`, REASON as DecodeImage gives it
//   ("16-bit BMP is not supported");
// - too large: `Couldn't read texture "F": wider or taller than 16384 pixels.`
// A mask that is missing, damaged or not a BMP gives `Couldn't open texture mask "M".`, one of an
// unsupported variant or too large `Couldn't open texture mask "M" (REASON).`
// A mask that cannot be read leaves the texture without one. The image is stored as RGBA, rows
// top first: the image's own alpha (255 for JPEG and BMP) times the mask byte / 255, rounded
// (the mask counts as 255 outside it or without one); in Mirror mode as the 2 x 2 tile of the
// image and its mirror images; a strip whose height is a multiple of its width holds one square
// frame per width (at most 100 are kept). hasMask is 1 when a mask was applied or the image
// carries alpha.
std::optional<TTexture> LoadTextureImage(const TextureRequest& request, const std::vector<std::string>& dirs,
                                         std::vector<std::string>& errors);

// Builds the stored RGBA image from decoded pixels (exposed for tests): `rgba` is w x h x 4,
// `mask` (may be empty) maskW x maskH grey bytes; each alpha becomes alpha x mask / 255, rounded.
std::vector<uint8_t> ComposeTextureRgba(std::vector<uint8_t> rgba, int32_t w, int32_t h,
                                        const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror);
// The same from opaque pixels: `rgb` is w x h x 3, and each alpha is the mask byte (255 outside it).
std::vector<uint8_t> ComposeRgba(const std::vector<uint8_t>& rgb, int32_t w, int32_t h,
                                 const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror);

}  // namespace pelorus
