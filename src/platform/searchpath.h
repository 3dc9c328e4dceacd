#pragma once
// The folders where texture and backdrop images are looked for.

#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class FolderListingCache;

// The lines of "<programDir>/TexturesPath.txt", one folder each, in file order (`\` or `/`
// separators; lines of any length and any number of lines). A final line break gives one more,
// empty, entry, which stands for the root folder. When the file cannot be read the search path
// is the current folder "." alone. An empty `programDir` means the folder of the running program.
// Relative folders stand for folders below the current one: `currentFolder` (when not empty) is
// put in front of them (see InFolder); the empty entry stays the root. `folders` (when given)
// keeps the listings made while the file is looked for (see ResolvePath).
std::vector<std::string> TextureSearchDirs(std::string_view programDir, std::string_view currentFolder = {},
                                           FolderListingCache* folders = nullptr);

// The textures folder of an object path: "<objectPath>/textures" (either separator, any letter
// case) resolved, when it is an existing folder; otherwise none, and none for an empty
// `objectPath`.
std::vector<std::string> ObjectPathTextureDirs(std::string_view objectPath, FolderListingCache* folders = nullptr);

// The textures folder that goes with a model file kept the usual way, in the "models" folder of
// an object path: when the folder holding `modelFile` is named "models" in any letter case,
// ObjectPathTextureDirs of the folder above it; otherwise none. A relative `modelFile` is taken
// from the current folder.
std::vector<std::string> ModelFolderTextureDirs(std::string_view modelFile, FolderListingCache* folders = nullptr);

}  // namespace pelorus
