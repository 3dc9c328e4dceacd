#include "platform/searchpath.h"

#include <sys/stat.h>

#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {

namespace {

std::vector<std::string> ReadSearchDirs(std::string_view programDir, FolderListingCache* folders) {
    const std::string folder = programDir.empty() ? ProgramDirectory() : std::string(programDir);
    std::string text;
    if (!ReadWholeFile(JoinPath(folder, "TexturesPath.txt"), text, kSmallFileLimit, folders)) return {"."};
    std::vector<std::string> dirs;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', pos);
        std::string_view line(text.data() + pos, (lf == std::string::npos ? text.size() : lf) - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        dirs.emplace_back(line);
        if (lf == std::string::npos) break;
        pos = lf + 1;
    }
    return dirs;
}

}  // namespace

std::vector<std::string> TextureSearchDirs(std::string_view programDir, std::string_view currentFolder,
                                           FolderListingCache* folders) {
    std::vector<std::string> dirs = ReadSearchDirs(programDir, folders);
    if (!currentFolder.empty())
        for (std::string& dir : dirs)
            if (!dir.empty()) dir = InFolder(currentFolder, dir);
    return dirs;
}

std::vector<std::string> ObjectPathTextureDirs(std::string_view objectPath, FolderListingCache* folders) {
    if (objectPath.empty()) return {};
    const std::string textures = ResolvePath(JoinPath(objectPath, "textures"), folders);
    struct stat st {};
    if (::stat(textures.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    return {textures};
}

std::vector<std::string> ModelFolderTextureDirs(std::string_view modelFile, FolderListingCache* folders) {
    if (modelFile.empty()) return {};
    const std::string absolute = AbsolutePath(ToSlashes(modelFile));
    const std::string_view folder = ParentPart(absolute);
    if (!EqualsNoCase(FileNamePart(folder), "models")) return {};
    const std::string_view objectPath = ParentPart(folder);
    return ObjectPathTextureDirs(objectPath.empty() ? std::string_view("/") : objectPath, folders);
}

}  // namespace pelorus
