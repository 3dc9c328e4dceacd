#pragma once
// The folders where texture and backdrop images are looked for, and the file that lists them.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class ErrorLog;
class FolderListingCache;

inline constexpr std::string_view kTexturesPathFileName = "TexturesPath.txt";

// The lines of "<programDir>/TexturesPath.txt", one folder each, in file order (`\` or `/`
// separators; lines of any length and any number of lines). A final line break gives one more,
// empty, entry, which stands for the root folder. When the file cannot be read the search path
// is the current folder "." alone. An empty `programDir` means the folder of the running program.
// Relative folders stand for folders below the current one: `currentFolder` (when not empty) is
// put in front of them (see InFolder); the empty entry stays the root. `folders` (when given)
// keeps the listings made while the file is looked for (see ResolvePath).
std::vector<std::string> TextureSearchDirs(std::string_view programDir, std::string_view currentFolder = {},
                                           FolderListingCache* folders = nullptr);

// The folders that the text of a TexturesPath.txt lists, as TextureSearchDirs reads them: one per
// line (LF or CR LF), the empty text and a final line break giving an empty entry.
std::vector<std::string> ParseTexturesPath(std::string_view text);

// The text that reads back as `folders` with the empty entries left out (an empty entry would
// stand for the root folder; "/" names it): the folders joined by LF, without a final line
// break. "" when no folder is left. A folder holding a line break is cut at it.
std::string TexturesPathText(std::span<const std::string> folders);

// The folder whose TexturesPath.txt the viewer reads: `programDir` (the running program's folder
// when empty) when it holds one (a name "TexturesPath.txt" in any letter case, whatever it is);
// otherwise `configFolder`, the user's configuration folder, when that is not empty; otherwise
// the program's folder.
std::string TexturesPathFolder(std::string_view programDir, std::string_view configFolder);

// Saves `folders` (see TexturesPathText) as "<folder>/TexturesPath.txt", atomically; `folder` is
// made (mode 0700) when missing. With no folder left the file is removed instead, since an empty
// file would stand for the root folder. False, with the reason in `*error` when given, when
// the file cannot be written or removed. A file that is a symbolic link is saved as a file of its
// own, which `log` is told (SaveSettingsFile).
bool SaveTexturesPath(std::string_view folder, std::span<const std::string> folders, std::string* error,
                      ErrorLog* log = nullptr);

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
