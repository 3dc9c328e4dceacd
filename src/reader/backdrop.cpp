#include "reader/backdrop.h"

#include "platform/imagedecode.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/textsafety.h"
#include "reader/textureload.h"

namespace pelorus {

std::string BackdropFileName(std::string_view name) {
    std::string out(name);
    if (name.size() < 2 || name.find('.', 1) == std::string_view::npos) out += ".jpg";
    return out;
}

std::optional<RgbaImage> ReadBackdropImage(std::string_view name, ErrorLog& log, const ReadOptions& options,
                                           std::string* fileRead) {
    const std::string file = BackdropFileName(name);
    if (!StaysInFolder(file)) {
        log.Append("Couldn't open texture backdrop \"" + BoundedQuote(file) + "\" (" + std::string(kLeavesTheFolders) +
                   ").");
        return std::nullopt;
    }
    const bool extended = file.size() != name.size();  // ".jpg" was appended
    const std::string fallback = extended ? std::string(name) + ".png" : std::string();
    FolderListingCache ownFolders;
    FolderListingCache* folders = options.folders ? options.folders : &ownFolders;
    std::vector<std::string> dirs = TextureSearchDirs(options.programDir, options.baseFolder, folders);
    dirs.insert(dirs.end(), options.extraTextureDirs.begin(), options.extraTextureDirs.end());
    for (const std::string& dir : dirs) {
        for (const std::string* candidate : {&file, &fallback}) {
            if (candidate->empty()) continue;
            std::string bytes;
            const std::string path = JoinPath(dir, *candidate);
            if (!ReadWholeFile(path, bytes, kImageFileLimit, folders)) continue;
            if (fileRead) *fileRead = ResolvePath(path, folders);
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
            DecodedImage decoded = DecodeImage(std::span<const uint8_t>(data, bytes.size()));
            const std::string quoted = "Couldn't read texture backdrop \"" + BoundedQuote(*candidate) + "\"";
            switch (decoded.fault) {
                case ImageFault::None:
                    if (decoded.image.width > 0 && decoded.image.height > 0) return std::move(decoded.image);
                    log.Append(quoted + ".");
                    return std::nullopt;
                case ImageFault::TooLarge:
                    log.Append(quoted + ": " + std::string(decoded.reason) + ".");
                    return std::nullopt;
                case ImageFault::Unsupported:
                    log.Append(quoted + " (" + std::string(decoded.reason) + ").");
                    return std::nullopt;
                case ImageFault::NotAnImage:
                case ImageFault::Damaged:
                    log.Append(quoted + ".");
                    return std::nullopt;
            }
        }
    }
    log.Append("Couldn't open texture backdrop \"" + BoundedQuote(file) + "\".");
    return std::nullopt;
}

}  // namespace pelorus
