#pragma once
// Finding and decoding a texture image and its mask: the work behind a texture command.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/texture.h"

namespace pelorus {

class FolderListingCache;
class ZipArchive;

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

// A zip archive whose members are searched for textures and masks by file name, and its path
// (for messages).
struct TextureArchive {
    const ZipArchive* archive = nullptr;
    std::string path;
};

// Brings files into folders that stand for folders elsewhere (the copies of an object path on a
// web server) just before such a folder is searched. Used on the reading thread; Fetch may wait
// for a download.
class FolderFetcher {
public:
    virtual ~FolderFetcher() = default;
    // When `dir` is one of this fetcher's folders: makes the file `fileName` (or, when the remote
    // folder has no such file, the archive "<its base name>.zip") present in `dir` if the remote
    // folder has it, and returns true when it did so in this call or an earlier one. False, doing
    // nothing, for every other folder and for names the remote folder lacks.
    virtual bool Fetch(std::string_view dir, std::string_view fileName) = 0;
};

// Where textures and masks are looked for: the members of the archives first, then the folders,
// each in order. `folders` (may be null) keeps the folder listings of case-blind lookups; a folder
// that `fetcher` (may be null) brought a file into is looked at afresh, without them.
struct TextureSources {
    std::vector<TextureArchive> archives;
    std::vector<std::string> dirs;
    FolderListingCache* folders = nullptr;
    FolderFetcher* fetcher = nullptr;
    // Opens encrypted members of the archives and of zipped images; "" for none.
    std::string password;
};

// A texture file found, not decoded yet.
struct FoundImage {
    std::vector<uint8_t> bytes;
    std::string where;    // the file, or "<archive>:<member>"
    std::string file;     // the file read: the image's own, or the archive holding it
    std::string foundAs;  // the name it was found under: the request's file name or its fallback
    std::string folder;   // the folder it was found in; "" when found in one of the archives
};

// Looks for the texture: in each archive the member whose file name (after its folders) equals
// the file name, then one equal to the fallback name, without regard to letter case; then in each
// folder the file itself, an archive of the same base name with ".zip" holding it (the member of
// that name, else the first with its extension), then the same two for the fallback name.
// Returns nothing, with one error line appended to `errors`, when no place has it:
//   `Couldn't open texture "N".` (N the request's file name)
// or when the name leads out of the folders searched (StaysInFolder), without looking anywhere:
//   `Couldn't open texture "N" (the name leads out of the texture folders).`
// or when the first one found cannot be taken (the search stops there):
//   `Couldn't read texture "F" (larger than 256 MiB).` for a file or member beyond the limit,
//   `Couldn't read texture "F" (encrypted in archive "A").` (`(encrypted in archive "A", and the
//   password given does not open it)` when the sources have one), `(damaged in archive "A")`,
//   `(compressed by a method that is not supported in archive "A")`, with F the
//   name it was found under and A the archive's file name.
// Special files (FIFOs, devices, folders) and unreadable files count as missing.
std::optional<FoundImage> FindTextureImage(const TextureRequest& request, const TextureSources& sources,
                                           std::vector<std::string>& errors);

// Decodes a texture found by FindTextureImage, and its mask, into the stored image.
// The mask is looked for as the texture is (in the archives, then plain or zipped) but in the
// folder where the texture was found only, or, for a texture found in an archive, in every folder
// in order. With F the name the texture was found under, the error lines are:
// - not an image, or damaged: `Couldn't read texture "F".`
// - an unsupported variant: `Couldn't read texture "F" (REASON).`, REASON as DecodeImage gives it
//   ("16-bit BMP is not supported");
// - too large: `Couldn't read texture "F": wider or taller than 16384 pixels.`
// - more than `budget` has left (the stored size counts, four times the image in Mirror mode):
//   `Couldn't read texture "F" (the images read would take more than L MiB).`, L the budget's limit;
//   nothing is taken from the budget then. The size the image's header claims is judged before
//   anything is decoded, so such an image is never decoded. A null `budget` limits nothing.
// A mask that is missing, damaged or not a BMP gives `Couldn't open texture mask "M".`, one of an
// unsupported variant, too large, or refused in its archive, or whose name leads out of the folders
// searched (it is not looked for then) `Couldn't open texture mask "M" (REASON).`
// A mask that cannot be read leaves the texture without one. The image is stored as RGBA, rows
// top first: the image's own alpha (255 for JPEG and BMP) times the mask byte / 255, rounded
// (the mask counts as 255 outside it or without one); in Mirror mode as the 2 x 2 tile of the
// image and its mirror images; a strip whose height is a multiple of its width holds one square
// frame per width (at most 100 are kept). hasMask is 1 when a mask was applied or the image
// carries alpha.
std::optional<TTexture> DecodeTextureImage(const TextureRequest& request, FoundImage image,
                                           const TextureSources& sources, ImageBudget* budget,
                                           std::vector<std::string>& errors);

// Why a texture, mask or backdrop name that StaysInFolder refuses is not looked for.
inline constexpr std::string_view kLeavesTheFolders = "the name leads out of the texture folders";

// FindTextureImage, then DecodeTextureImage.
std::optional<TTexture> LoadTextureImage(const TextureRequest& request, const TextureSources& sources,
                                         ImageBudget* budget, std::vector<std::string>& errors);

// Builds the stored RGBA image from decoded pixels (exposed for tests): `rgba` is w x h x 4,
// `mask` (may be empty) maskW x maskH grey bytes; each alpha becomes alpha x mask / 255, rounded.
std::vector<uint8_t> ComposeTextureRgba(std::vector<uint8_t> rgba, int32_t w, int32_t h,
                                        const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror);
// The same from opaque pixels: `rgb` is w x h x 3, and each alpha is the mask byte (255 outside it).
std::vector<uint8_t> ComposeRgba(const std::vector<uint8_t>& rgb, int32_t w, int32_t h,
                                 const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror);

}  // namespace pelorus
