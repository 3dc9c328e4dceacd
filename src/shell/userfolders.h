#pragma once
// Where the viewer keeps what it writes and finds what it ships: the user's configuration folder
// (given by the window layer), the folder of the world list, and the program's data folder with
// the files of the default world. Plain code: every folder comes in as a string.

#include <string>
#include <string_view>
#include <vector>

#include "scene/worldlook.h"

namespace pelorus {

// The name of the program's folder in the user's configuration folder and in "share".
inline constexpr std::string_view kProgramFolderName = "pelorus";

// The folder of "Worlds.txt" and the world files: `startFolder` (the current folder at start-up)
// when it holds a "Worlds.txt" (in any letter case, whatever it is), so that worlds kept there
// go on working; otherwise `configFolder`, the user's configuration folder; `startFolder` again
// when `configFolder` is empty.
std::string WorldFolderFor(std::string_view startFolder, std::string_view configFolder);

// The disk cache of web object paths: "<xdgCacheHome>/pelorus" when `xdgCacheHome` (the value of
// $XDG_CACHE_HOME, null when unset) is an absolute path, else "<home>/.cache/pelorus" when `home`
// ($HOME) is one; "" (nothing is kept) when neither is.
std::string UserCacheRoot(const char* xdgCacheHome, const char* home);

// The program's data folder: the first existing folder of "<programDir>/data" (a build tree,
// where the build copies the data beside the program), "<parent of programDir>/share/pelorus"
// (an installed tree, wherever it was moved) and `installedDataFolder` (where the build was told
// it would be installed). "" when none exists.
std::string FindDataFolder(std::string_view programDir, std::string_view installedDataFolder);

// A world's look with the program's own files standing in for those the world's places lack.
struct LookWithData {
    WorldLook look;
    // Searched after the folders of TexturesPath.txt for the backdrop and for the textures of the
    // ground and the skybox.
    std::vector<std::string> textureDirs;
};

// `look` as applied with `dataFolder` (see FindDataFolder; "" changes nothing): a ground or
// skybox path that names no regular file (a relative one taken from `baseFolder`, or the current
// folder when that is empty) is replaced by "<dataFolder>/models/<its file name>" when that is one;
// "no model" (the name ".rwx") stays. The data folder is searched last for the backdrop, so a
// world's own backdrop and models always win, and names the data folder does not hold fail as
// they would without it.
LookWithData WithShippedFiles(WorldLook look, std::string_view dataFolder, std::string_view baseFolder);

}  // namespace pelorus
