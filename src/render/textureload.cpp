#include "render/textureload.h"

#include <algorithm>

#include "platform/bmpmask.h"
#include "platform/jpegimage.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ziparchive.h"
#include "reader/rwmaterial.h"

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

bool IsLoadableTextureName(std::string_view fileName) {
    const std::size_t dot = ExtensionDot(fileName);
    if (dot == std::string_view::npos) return true;
    const std::string_view ext = fileName.substr(dot);
    return EqualsNoCase(ext, ".jpg") || EqualsNoCase(ext, ".jpeg");
}

std::vector<uint8_t> ComposeRgba(const std::vector<uint8_t>& rgb, int32_t w, int32_t h,
                                 const std::vector<uint8_t>& mask, int32_t maskW, int32_t maskH, bool mirror) {
    const auto W = static_cast<std::size_t>(w), H = static_cast<std::size_t>(h);
    const std::size_t stride = (mirror ? 2 * W : W) * 4;
    std::vector<uint8_t> out(stride * (mirror ? 2 * H : H));
    auto alpha = [&](std::size_t row, std::size_t col) -> uint8_t {
        if (mask.empty() || row >= static_cast<std::size_t>(maskH) || col >= static_cast<std::size_t>(maskW))
            return 255;
        return mask[row * static_cast<std::size_t>(maskW) + col];
    };
    for (std::size_t row = 0; row < H; ++row) {
        const uint8_t* src = rgb.data() + row * W * 3;
        uint8_t* dst = out.data() + row * stride;
        for (std::size_t x = 0; x < W; ++x) {
            dst[4 * x + 0] = src[3 * x + 0];
            dst[4 * x + 1] = src[3 * x + 1];
            dst[4 * x + 2] = src[3 * x + 2];
            dst[4 * x + 3] = alpha(row, x);
            if (mirror) {
                const std::size_t from = W - 1 - x;
                uint8_t* m = dst + 4 * (W + x);
                m[0] = src[3 * from + 0];
                m[1] = src[3 * from + 1];
                m[2] = src[3 * from + 2];
                m[3] = alpha(row, from);
            }
        }
    }
    if (mirror)
        for (std::size_t u = 0; u < H; ++u)
            std::copy_n(out.data() + (H - 1 - u) * stride, stride, out.data() + (H + u) * stride);
    return out;
}

std::optional<TTexture> LoadTextureImage(const TextureRequest& request, const std::vector<std::string>& dirs,
                                         std::vector<std::string>& errors) {
    std::optional<Found> image;
    std::string foundIn;
    for (const std::string& dir : dirs) {
        image = FindInFolder(dir, request.fileName);
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
        if (!maskFile || !ReadBmpMask(maskFile->bytes, mask)) {
            errors.push_back("Couldn't open texture mask \"" + request.maskFileName + "\".");
            mask = {};
        }
    }

    RgbImage rgb;
    switch (DecodeJpeg(image->bytes, rgb)) {
        case ImageError::None:
            break;
        case ImageError::TooLarge:
            errors.push_back("Couldn't read texture \"" + request.fileName + "\": wider or taller than " +
                             std::to_string(kMaxImageSide) + " pixels.");
            return std::nullopt;
        case ImageError::Unreadable:
            errors.push_back("Couldn't read texture \"" + request.fileName + "\".");
            return std::nullopt;
    }
    image->bytes = {};

    const bool mirror = request.addressMode == kMirror;
    TTexture t;
    t.name = request.fileName;
    t.maskName = mask.pixels.empty() ? std::string() : request.maskFileName;
    t.fileName = image->where;
    t.addressMode = request.addressMode;
    t.mipmapped = request.mipmapped ? 1 : 0;
    t.hasMask = mask.pixels.empty() ? 0 : 1;
    t.width = mirror ? 2 * rgb.width : rgb.width;
    t.height = mirror ? 2 * rgb.height : rgb.height;
    t.rgba = ComposeRgba(rgb.pixels, rgb.width, rgb.height, mask.pixels, mask.width, mask.height, mirror);
    t.frameCount = 1;
    if (t.width > 0 && t.height % t.width == 0) {
        int32_t frames = t.height / t.width;
        if (frames > kMaxTextureFrames) {
            errors.push_back("Texture \"" + request.fileName + "\" has " + std::to_string(frames) +
                             " frames; only the first " + std::to_string(kMaxTextureFrames) + " are used.");
            frames = kMaxTextureFrames;
            t.height = frames * t.width;
            t.rgba.resize(static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 4);
        }
        t.frameCount = frames;
    }
    return t;
}

}  // namespace pelorus
