#pragma once
// The folders where texture and backdrop images are looked for.

#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

// The lines of "<programDir>/TexturesPath.txt", one folder each, in file order (`\` or `/`
// separators; lines of any length and any number of lines). A final line break gives one more,
// empty, entry, which stands for the root folder. When the file cannot be read the search path
// is the current folder "." alone. An empty `programDir` means the folder of the running program.
// Relative folders stand for folders below the current one: `currentFolder` (when not empty) is
// put in front of them (see InFolder); the empty entry stays the root.
std::vector<std::string> TextureSearchDirs(std::string_view programDir, std::string_view currentFolder = {});

}  // namespace pelorus
