#include "reader/textureload.h"

#include <algorithm>
#include <initializer_list>

#include "geometry/rwmaterial.h"
#include "platform/bmpmask.h"
#include "platform/imagedecode.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ziparchive.h"

namespace pelorus {
namespace {

constexpr uint64_t kMaxImageFileBytes = kImageFileLimit;  // a file or a zipped member

// The position of the extension's "." in `name`, or npos: the last "." after the first character.
std::size_t ExtensionDot(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view::npos : dot;
}

struct Found {
    std::vector<uint8_t> bytes;
    std::string where;
};

// The file `name` in `dir`, or the member of "<dir>/<base name>.zip" that holds it.
std::optional<Found> FindInFolder(std::string_view dir, std::string_view name) {
    Found found;
    std::string text;
    found.where = JoinPath(dir, name);
    if (ReadWholeFile(found.where, text, kMaxImageFileBytes)) {
        found.bytes.assign(text.begin(), text.end());
        return found;
    }
    const std::size_t dot = ExtensionDot(name);
    const std::string_view base = name.substr(0, dot);
    const std::string archivePath = JoinPath(dir, std::string(base) + ".zip");
    const auto archive = ZipArchive::Open(archivePath);
    if (!archive) return std::nullopt;
    std::optional<std::size_t> member = archive->FindByFileName(name);
    if (!member && dot != std::string_view::npos) member = archive->FindByExtension(name.substr(dot));
    if (!member || archive->Read(*member, found.bytes, kMaxImageFileBytes) != ZipStatus::Ok) return std::nullopt;
    found.where = archivePath + ":" + archive->MemberNames()[*member];
    return found;
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

std::optional<TTexture> LoadTextureImage(const TextureRequest& request, const std::vector<std::string>& dirs,
                                         std::vector<std::string>& errors) {
    std::optional<Found> image;
    std::string foundIn;
    std::string foundAs;  // the name the file was found under
    for (const std::string& dir : dirs) {
        for (const std::string* name : {&request.fileName, &request.fallbackFileName}) {
            if (name->empty()) continue;
            image = FindInFolder(dir, *name);
            if (image) {
                foundAs = *name;
                break;
            }
        }
        if (image) {
            foundIn = dir;
            break;
        }
    }
    if (!image) {
        errors.push_back("Couldn't open texture \"" + request.fileName + "\".");
        return std::nullopt;
    }

    GreyImage mask;
    if (!request.maskFileName.empty()) {
        const std::optional<Found> maskFile = FindInFolder(foundIn, request.maskFileName);
        const BmpError why = maskFile ? DecodeBmpMask(maskFile->bytes, mask) : BmpError::NotBmp;
        if (why != BmpError::None) {
            // Say why a mask that is a BMP was refused; a missing, damaged or non-BMP file is
            // just not opened.
            const bool tellWhy = why != BmpError::NotBmp && why != BmpError::Damaged;
            errors.push_back("Couldn't open texture mask \"" + request.maskFileName + "\"" +
                             (tellWhy ? " (" + std::string(BmpErrorReason(why)) + ")" : std::string()) + ".");
            mask = {};
        }
    }

    DecodedImage decoded = DecodeImage(image->bytes);
    // Only an unmasked JPEG's bytes can stand for the image later (see TTexture::sourceJpeg).
    if (decoded.kind != ImageKind::Jpeg || !mask.pixels.empty()) image->bytes = {};
    switch (decoded.fault) {
        case ImageFault::None:
            break;
        case ImageFault::TooLarge:
            errors.push_back("Couldn't read texture \"" + foundAs + "\": " + std::string(decoded.reason) + ".");
            return std::nullopt;
        case ImageFault::Unsupported:
            errors.push_back("Couldn't read texture \"" + foundAs + "\" (" + std::string(decoded.reason) + ").");
            return std::nullopt;
        case ImageFault::NotAnImage:
        case ImageFault::Damaged:
            errors.push_back("Couldn't read texture \"" + foundAs + "\".");
            return std::nullopt;
    }
    RgbaImage& rgba = decoded.image;

    const bool mirror = request.addressMode == AddressMode::Mirror;
    TTexture t;
    t.name = request.fileName;
    t.maskName = mask.pixels.empty() ? std::string() : request.maskFileName;
    t.fileName = image->where;
    t.addressMode = request.addressMode;
    t.mipmapped = request.mipmapped ? 1 : 0;
    t.hasMask = mask.pixels.empty() && !rgba.hasAlpha ? 0 : 1;
    t.width = mirror ? 2 * rgba.width : rgba.width;
    t.height = mirror ? 2 * rgba.height : rgba.height;
    t.rgba = ComposeTextureRgba(std::move(rgba.pixels), rgba.width, rgba.height, mask.pixels, mask.width, mask.height,
                                mirror);
    t.frameCount = 1;
    if (t.width > 0 && t.height % t.width == 0) {
        int32_t frames = t.height / t.width;
        if (frames > kMaxTextureFrames) {
            errors.push_back("Texture \"" + foundAs + "\" has " + std::to_string(frames) + " frames; only the first " +
                             std::to_string(kMaxTextureFrames) + " are used.");
            frames = kMaxTextureFrames;
            t.height = frames * t.width;
            t.rgba.resize(static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 4);
        }
        t.frameCount = frames;
    }
    if (decoded.kind == ImageKind::Jpeg && t.hasMask == 0 && t.frameCount == 1) t.sourceJpeg = std::move(image->bytes);
    return t;
}

}  // namespace pelorus
