#include "shell/userfolders.h"

#include <sys/stat.h>

#include "platform/paths.h"

namespace pelorus {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The data folder's model of the same file name, when `path` names no regular file and the data
// folder holds one.
void UseShippedModel(std::string& path, std::string_view dataFolder, std::string_view baseFolder) {
    const std::string_view file = FileNamePart(path);
    if (file == ".rwx" || file.empty()) return;  // the world names no model
    if (IsRegularFile(ResolvePath(InFolder(baseFolder, path)))) return;
    const std::string shipped = ResolvePath(JoinPath(JoinPath(dataFolder, "models"), file));
    if (IsRegularFile(shipped)) path = shipped;
}

}  // namespace

std::string WorldFolderFor(std::string_view startFolder, std::string_view configFolder) {
    if (configFolder.empty() || Exists(ResolvePath(JoinPath(startFolder, "Worlds.txt"))))
        return std::string(startFolder);
    return std::string(configFolder);
}

std::string FindDataFolder(std::string_view programDir, std::string_view installedDataFolder) {
    std::vector<std::string> candidates;
    if (!programDir.empty()) {
        candidates.push_back(JoinPath(programDir, "data"));
        const std::string_view parent = ParentPart(programDir);
        if (!parent.empty()) candidates.push_back(JoinPath(JoinPath(parent, "share"), kProgramFolderName));
    }
    if (!installedDataFolder.empty()) candidates.emplace_back(installedDataFolder);
    for (const std::string& folder : candidates) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
    }
    return {};
}

LookWithData WithShippedFiles(WorldLook look, std::string_view dataFolder, std::string_view baseFolder) {
    LookWithData out;
    if (!dataFolder.empty()) {
        UseShippedModel(look.groundPath, dataFolder, baseFolder);
        UseShippedModel(look.skyboxPath, dataFolder, baseFolder);
        out.textureDirs.emplace_back(dataFolder);
    }
    out.look = std::move(look);
    return out;
}

std::string UserCacheRoot(const char* xdgCacheHome, const char* home) {
    auto absolute = [](const char* value) { return value && value[0] == '/'; };
    if (absolute(xdgCacheHome)) return JoinPath(xdgCacheHome, kProgramFolderName);
    if (absolute(home)) return JoinPath(JoinPath(home, ".cache"), kProgramFolderName);
    return {};
}

}  // namespace pelorus
