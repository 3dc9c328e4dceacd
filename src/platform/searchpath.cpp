#include "platform/searchpath.h"

#include "platform/paths.h"

namespace pelorus {

namespace {

std::vector<std::string> ReadSearchDirs(std::string_view programDir) {
    const std::string folder = programDir.empty() ? ProgramDirectory() : std::string(programDir);
    std::string text;
    if (!ReadWholeFile(JoinPath(folder, "TexturesPath.txt"), text, kSmallFileLimit)) return {"."};
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

std::vector<std::string> TextureSearchDirs(std::string_view programDir, std::string_view currentFolder) {
    std::vector<std::string> dirs = ReadSearchDirs(programDir);
    if (!currentFolder.empty())
        for (std::string& dir : dirs)
            if (!dir.empty()) dir = InFolder(currentFolder, dir);
    return dirs;
}

}  // namespace pelorus
