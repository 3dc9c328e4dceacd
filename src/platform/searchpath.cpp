#include "platform/searchpath.h"

#include "platform/paths.h"

namespace pelorus {

std::vector<std::string> TextureSearchDirs(std::string_view programDir) {
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

}  // namespace pelorus
