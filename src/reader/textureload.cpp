#include "reader/textureload.h"

#include <algorithm>
#include <initializer_list>
#include <span>

#include "geometry/rwmaterial.h"
#include "platform/bmpmask.h"
#include "platform/imagedecode.h"
#include "platform/jpegimage.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "platform/ziparchive.h"

namespace pelorus {
namespace {

constexpr uint64_t kMaxImageFileBytes = kImageFileLimit;  // a file or a zipped member

// The position of the extension's "." in `name`, or npos: the last "." after the first character.
std::size_t ExtensionDot(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view::npos : dot;
}

std::string SizeText(uint64_t bytes) {
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// What looking in one place gave.
struct Lookup {
    enum Kind { Missing, Found, Refused } kind = Missing;
    FoundImage image;
    std::string reason;  // for Refused
};

// Why an archive's member could not be taken (it was found).
std::string ZippedReason(ZipStatus status, std::string_view archivePath, bool passwordGiven) {
    const std::string archive = "archive \"" + BoundedQuote(FileNamePart(archivePath)) + "\"";
    switch (status) {
        case ZipStatus::NeedsPassword:
            return "encrypted in " + archive + (passwordGiven ? ", and the password given does not open it" : "");
        case ZipStatus::Unsupported:
            return "compressed by a method that is not supported in " + archive;
        case ZipStatus::TooLarge:
            return "larger than " + SizeText(kMaxImageFileBytes) + " in " + archive;
        default:
            return "damaged in " + archive;
    }
}

// Member `index` of `archive` (at `archivePath`).
Lookup ReadMember(const ZipArchive& archive, std::size_t index, std::string_view archivePath,
                  const std::string& password) {
    Lookup result;
    const ZipStatus status = archive.Read(index, result.image.bytes, kMaxImageFileBytes, password);
    if (status != ZipStatus::Ok) {
        result.kind = Lookup::Refused;
        result.reason = ZippedReason(status, archivePath, !password.empty());
        return result;
    }
    result.kind = Lookup::Found;
    result.image.where = std::string(archivePath) + ":" + archive.MemberNames()[index];
    result.image.file = std::string(archivePath);
    return result;
}

// The member of `source` whose file name is `name`.
Lookup LookInArchive(const TextureArchive& source, std::string_view name, const std::string& password) {
    if (!source.archive || name.empty()) return {};
    const std::optional<std::size_t> member = source.archive->FindByFileName(name);
    if (!member) return {};
    return ReadMember(*source.archive, *member, source.path, password);
}

// The file `name` in `dir`, or the member of "<dir>/<base name>.zip" that holds it.
Lookup LookInFolder(std::string_view dir, std::string_view name, FolderListingCache* folders,
                    const std::string& password) {
    Lookup result;
    if (name.empty()) return result;
    std::string text;
    const std::string path = JoinPath(dir, name);
    switch (ReadFileStatus(path, text, kMaxImageFileBytes, folders)) {
        case ReadStatus::kOk:
            result.kind = Lookup::Found;
            result.image.bytes.assign(text.begin(), text.end());
            result.image.where = path;
            result.image.file = path;
            result.image.folder = std::string(dir);
            return result;
        case ReadStatus::kTooLarge:
            result.kind = Lookup::Refused;
            result.reason = "larger than " + SizeText(kMaxImageFileBytes);
            return result;
        case ReadStatus::kMissing:
        case ReadStatus::kNotAFile:
        case ReadStatus::kUnreadable:
            break;
    }
    const std::size_t dot = ExtensionDot(name);
    const std::string_view base = name.substr(0, dot);
    const std::string archivePath = JoinPath(dir, std::string(base) + ".zip");
    const auto archive = ZipArchive::Open(archivePath, nullptr, folders);
    if (!archive) return result;
    std::optional<std::size_t> member = archive->FindByFileName(name);
    if (!member && dot != std::string_view::npos) member = archive->FindByExtension(name.substr(dot));
    if (!member) return result;
    result = ReadMember(*archive, *member, archivePath, password);
    result.image.folder = std::string(dir);
    return result;
}

// LookInFolder, after the fetcher of `sources` had its chance to bring the file in. A listing
// kept from before the fetch would not show what it brought, so the folder is then read afresh.
Lookup LookInSourceFolder(const std::string& dir, std::string_view name, const TextureSources& sources) {
    const bool fetched = sources.fetcher && !name.empty() && sources.fetcher->Fetch(dir, name);
    return LookInFolder(dir, name, fetched ? nullptr : sources.folders, sources.password);
}

// `name` in the archives of `sources`, then in `dirs`: the first place that has it.
Lookup LookEverywhere(std::string_view name, const TextureSources& sources, std::span<const std::string> dirs) {
    for (const TextureArchive& archive : sources.archives)
        if (Lookup found = LookInArchive(archive, name, sources.password); found.kind != Lookup::Missing) return found;
    for (const std::string& dir : dirs)
        if (Lookup found = LookInSourceFolder(dir, name, sources); found.kind != Lookup::Missing) return found;
    return {};
}

}  // namespace

std::string TextureFileName(std::string_view name) {
    std::string out(name);
    if (ExtensionDot(name) == std::string_view::npos) out += ".jpg";
    return out;
}

std::string MaskFileName(std::string_view name) {
    std::string out(name);
    if (!name.empty() && ExtensionDot(name) == std::string_view::npos) out += ".bmp";
    return out;
}

std::string TextureFallbackFileName(std::string_view name) {
    return ExtensionDot(name) == std::string_view::npos ? std::string(name) + ".png" : std::string();
}

bool IsLoadableTextureName(std::string_view fileName) {
    const std::size_t dot = ExtensionDot(fileName);
    if (dot == std::string_view::npos) return true;
    const std::string_view ext = fileName.substr(dot);
    return EqualsNoCase(ext, ".jpg") || EqualsNoCase(ext, ".jpeg") || EqualsNoCase(ext, ".png") ||
           EqualsNoCase(ext, ".bmp");
}

std::vector<uint8_t> ComposeTextureRgba(std::vector<uint8_t> rgba, int32_t w, int32_t h,
                                        const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror) {
    const auto W = static_cast<std::size_t>(w), H = static_cast<std::size_t>(h);
    auto alpha = [&](std::size_t row, std::size_t col, uint8_t own) -> uint8_t {
        if (mask.empty() || row >= static_cast<std::size_t>(maskH) || col >= static_cast<std::size_t>(maskW))
            return own;
        const unsigned m = mask[row * static_cast<std::size_t>(maskW) + col];
        return static_cast<uint8_t>((own * m + 127) / 255);
    };
    if (!mirror) {
        if (mask.empty()) return rgba;
        for (std::size_t row = 0; row < H; ++row)
            for (std::size_t x = 0; x < W; ++x) {
                uint8_t& a = rgba[(row * W + x) * 4 + 3];
                a = alpha(row, x, a);
            }
        return rgba;
    }
    const std::size_t stride = 2 * W * 4;
    std::vector<uint8_t> out(stride * 2 * H);
    for (std::size_t row = 0; row < H; ++row) {
        const uint8_t* src = rgba.data() + row * W * 4;
        uint8_t* dst = out.data() + row * stride;
        for (std::size_t x = 0; x < W; ++x) {
            const std::size_t from = W - 1 - x;
            std::copy_n(src + 4 * x, 3, dst + 4 * x);
            dst[4 * x + 3] = alpha(row, x, src[4 * x + 3]);
            std::copy_n(src + 4 * from, 3, dst + 4 * (W + x));
            dst[4 * (W + x) + 3] = alpha(row, from, src[4 * from + 3]);
        }
    }
    for (std::size_t u = 0; u < H; ++u)
        std::copy_n(out.data() + (H - 1 - u) * stride, stride, out.data() + (H + u) * stride);
    return out;
}

std::vector<uint8_t> ComposeRgba(const std::vector<uint8_t>& rgb, int32_t w, int32_t h,
                                 const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror) {
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::vector<uint8_t> rgba(count * 4, 255);
    for (std::size_t i = 0; i < count; ++i) std::copy_n(rgb.data() + 3 * i, 3, rgba.data() + 4 * i);
    return ComposeTextureRgba(std::move(rgba), w, h, mask, maskW, maskH, mirror);
}

std::optional<FoundImage> FindTextureImage(const TextureRequest& request, const TextureSources& sources,
                                           std::vector<std::string>& errors) {
    if (!StaysInFolder(request.fileName)) {
        errors.push_back("Couldn't open texture \"" + BoundedQuote(request.fileName) + "\" (" +
                         std::string(kLeavesTheFolders) + ").");
        return std::nullopt;
    }
    auto found = [&](Lookup& lookup, const std::string& name) -> std::optional<FoundImage> {
        if (lookup.kind == Lookup::Refused) {
            errors.push_back("Couldn't read texture \"" + BoundedQuote(name) + "\" (" + lookup.reason + ").");
            return std::nullopt;
        }
        lookup.image.foundAs = name;
        return std::move(lookup.image);
    };
    for (const TextureArchive& archive : sources.archives)
        for (const std::string* name : {&request.fileName, &request.fallbackFileName})
            if (Lookup lookup = LookInArchive(archive, *name, sources.password); lookup.kind != Lookup::Missing)
                return found(lookup, *name);
    for (const std::string& dir : sources.dirs)
        for (const std::string* name : {&request.fileName, &request.fallbackFileName})
            if (Lookup lookup = LookInSourceFolder(dir, *name, sources); lookup.kind != Lookup::Missing)
                return found(lookup, *name);
    errors.push_back("Couldn't open texture \"" + BoundedQuote(request.fileName) + "\".");
    return std::nullopt;
}

std::optional<TTexture> LoadTextureImage(const TextureRequest& request, const TextureSources& sources,
                                         ImageBudget* budget, std::vector<std::string>& errors) {
    std::optional<FoundImage> image = FindTextureImage(request, sources, errors);
    if (!image) return std::nullopt;
    return DecodeTextureImage(request, std::move(*image), sources, budget, errors);
}

std::optional<TTexture> DecodeTextureImage(const TextureRequest& request, FoundImage image,
                                           const TextureSources& sources, ImageBudget* budget,
                                           std::vector<std::string>& errors) {
    const std::string shownName = BoundedQuote(image.foundAs);
    GreyImage mask;
    std::string maskWhere;
    if (!request.maskFileName.empty()) {
        // Beside the texture: in the archives, then in its folder (or every folder, for a texture
        // that came from an archive).
        const std::span<const std::string> dirs = image.folder.empty() ? std::span<const std::string>(sources.dirs)
                                                                       : std::span<const std::string>(&image.folder, 1);
        const bool inside = StaysInFolder(request.maskFileName);
        Lookup maskFile = inside ? LookEverywhere(request.maskFileName, sources, dirs) : Lookup{};
        std::string reason = inside ? std::string() : std::string(kLeavesTheFolders);
        if (maskFile.kind == Lookup::Found) {
            maskWhere = maskFile.image.file;
            const BmpError why = DecodeBmpMask(maskFile.image.bytes, mask);
            // Say why a mask that is a BMP was refused; a damaged or non-BMP file is just not
            // opened.
            if (why != BmpError::None && why != BmpError::NotBmp && why != BmpError::Damaged)
                reason = BmpErrorReason(why);
            if (why != BmpError::None) maskFile.kind = Lookup::Missing;
        } else if (maskFile.kind == Lookup::Refused) {
            reason = maskFile.reason;
        }
        if (maskFile.kind != Lookup::Found) {
            errors.push_back("Couldn't open texture mask \"" + BoundedQuote(request.maskFileName) + "\"" +
                             (reason.empty() ? std::string() : " (" + reason + ")") + ".");
            mask = {};
        }
    }

    // What the stored image takes (four times the image in Mirror mode), judged from the header
    // before anything is decoded, and again from what was decoded.
    const bool mirror = request.addressMode == AddressMode::Mirror;
    auto storedBytes = [mirror](int32_t width, int32_t height) {
        return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 * (mirror ? 4 : 1);
    };
    auto overBudget = [&] {
        errors.push_back("Couldn't read texture \"" + shownName + "\" (the images read would take more than " +
                         SizeText(budget->Limit()) + ").");
        return std::nullopt;
    };
    if (const std::optional<ImageSize> claimed = ReadImageSize(image.bytes);
        budget && claimed && claimed->width <= kMaxImageSide && claimed->height <= kMaxImageSide &&
        !budget->Fits(storedBytes(claimed->width, claimed->height)))
        return overBudget();

    DecodedImage decoded = DecodeImage(image.bytes);
    // A JPEG's bytes are kept for writing its colours out again (see TTexture::colourJpeg).
    if (decoded.kind != ImageKind::Jpeg) image.bytes = {};
    switch (decoded.fault) {
        case ImageFault::None:
            break;
        case ImageFault::TooLarge:
            errors.push_back("Couldn't read texture \"" + shownName + "\": " + std::string(decoded.reason) + ".");
            return std::nullopt;
        case ImageFault::Unsupported:
            errors.push_back("Couldn't read texture \"" + shownName + "\" (" + std::string(decoded.reason) + ").");
            return std::nullopt;
        case ImageFault::NotAnImage:
        case ImageFault::Damaged:
            errors.push_back("Couldn't read texture \"" + shownName + "\".");
            return std::nullopt;
    }
    RgbaImage& rgba = decoded.image;

    if (budget && !budget->Take(storedBytes(rgba.width, rgba.height))) return overBudget();
    TTexture t;
    t.name = image.foundAs;
    t.maskName = mask.pixels.empty() ? std::string() : request.maskFileName;
    t.fileName = image.where;
    t.maskFile = mask.pixels.empty() ? std::string() : maskWhere;
    t.addressMode = request.addressMode;
    t.mipmapped = request.mipmapped ? 1 : 0;
    t.hasMask = mask.pixels.empty() && !rgba.hasAlpha ? 0 : 1;
    t.width = mirror ? 2 * rgba.width : rgba.width;
    t.height = mirror ? 2 * rgba.height : rgba.height;
    bool framesDropped = false;
    std::vector<uint8_t> pixels = ComposeTextureRgba(std::move(rgba.pixels), rgba.width, rgba.height, mask.pixels,
                                                     mask.width, mask.height, mirror);
    t.frameCount = 1;
    if (t.width > 0 && t.height % t.width == 0) {
        int32_t frames = t.height / t.width;
        if (frames > kMaxTextureFrames) {
            errors.push_back("Texture \"" + shownName + "\" has " + std::to_string(frames) +
                             " frames; only the first " + std::to_string(kMaxTextureFrames) + " are used.");
            frames = kMaxTextureFrames;
            framesDropped = true;
            t.height = frames * t.width;
            pixels.resize(static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 4);
        }
        t.frameCount = frames;
    }
    t.pixels = std::make_shared<const std::vector<uint8_t>>(std::move(pixels));
    if (decoded.kind == ImageKind::Jpeg && !framesDropped) {
        t.colourJpeg = std::make_shared<const std::vector<uint8_t>>(std::move(image.bytes));
        // Only an unmasked JPEG of one frame is the image shown (see TTexture::jpeg).
        if (t.hasMask == 0 && t.frameCount == 1) t.jpeg = t.colourJpeg;
    }
    return t;
}

}  // namespace pelorus
