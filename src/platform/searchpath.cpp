#include "platform/searchpath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {

namespace {

std::string FolderOrProgram(std::string_view folder) {
    return folder.empty() ? ProgramDirectory() : std::string(folder);
}

}  // namespace

std::vector<std::string> ParseTexturesPath(std::string_view text) {
    std::vector<std::string> dirs;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', pos);
        std::string_view line = text.substr(pos, (lf == std::string_view::npos ? text.size() : lf) - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        dirs.emplace_back(line);
        if (lf == std::string_view::npos) break;
        pos = lf + 1;
    }
    return dirs;
}

std::vector<std::string> TextureSearchDirs(std::string_view programDir, std::string_view currentFolder,
                                           FolderListingCache* folders) {
    std::string text;
    std::vector<std::string> dirs{"."};
    if (ReadWholeFile(JoinPath(FolderOrProgram(programDir), kTexturesPathFileName), text, kSmallFileLimit, folders))
        dirs = ParseTexturesPath(text);
    if (!currentFolder.empty())
        for (std::string& dir : dirs)
            if (!dir.empty()) dir = InFolder(currentFolder, dir);
    return dirs;
}

std::string TexturesPathText(std::span<const std::string> folders) {
    std::string out;
    for (const std::string& folder : folders) {
        const std::string_view line = std::string_view(folder).substr(0, folder.find_first_of("\r\n"));
        if (line.empty()) continue;
        if (!out.empty()) out += '\n';
        out += line;
    }
    return out;
}

std::string TexturesPathFolder(std::string_view programDir, std::string_view configFolder) {
    const std::string program = FolderOrProgram(programDir);
    const std::string file = ResolvePath(JoinPath(program, kTexturesPathFileName));
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 || configFolder.empty()) return program;
    return std::string(configFolder);
}

bool SaveTexturesPath(std::string_view folder, std::span<const std::string> folders, std::string* error,
                      ErrorLog* log) {
    const std::string text = TexturesPathText(folders);
    const std::string path = ResolvePath(JoinPath(folder, kTexturesPathFileName));
    if (text.empty()) {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
        if (error) *error = std::strerror(errno);
        return false;
    }
    if (!MakeFolders(folder, 0700)) {
        if (error) *error = "the folder \"" + std::string(folder) + "\" cannot be made: " + std::strerror(errno);
        return false;
    }
    return SaveSettingsFile(path, text, error, log);
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
