#include "reader/backdrop.h"

#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/textsafety.h"

namespace pelorus {

std::string BackdropFileName(std::string_view name) {
    std::string out(name);
    if (name.size() < 2 || name.find('.', 1) == std::string_view::npos) out += ".jpg";
    return out;
}

std::optional<RgbImage> ReadBackdropImage(std::string_view name, ErrorLog& log, const ReadOptions& options) {
    const std::string file = BackdropFileName(name);
    FolderListingCache ownFolders;
    FolderListingCache* folders = options.folders ? options.folders : &ownFolders;
    std::vector<std::string> dirs = TextureSearchDirs(options.programDir, options.baseFolder, folders);
    dirs.insert(dirs.end(), options.extraTextureDirs.begin(), options.extraTextureDirs.end());
    for (const std::string& dir : dirs) {
        std::string bytes;
        if (!ReadWholeFile(JoinPath(dir, file), bytes, kImageFileLimit, folders)) continue;
        RgbImage image;
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        if (DecodeJpeg(std::span<const uint8_t>(data, bytes.size()), image) != ImageError::None || image.width <= 0 ||
            image.height <= 0) {
            log.Append("Couldn't read texture backdrop \"" + BoundedQuote(file) + "\".");
            return std::nullopt;
        }
        return image;
    }
    log.Append("Couldn't open texture backdrop \"" + BoundedQuote(file) + "\".");
    return std::nullopt;
}

}  // namespace pelorus
