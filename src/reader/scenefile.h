#pragma once
// Reading what a scene shows: one script, or an object map that places several.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/rwxobject.h"

namespace pelorus {

struct ObjectMapEntry {
    std::string path;  // as written
    double x = 0, y = 0, z = 0;
};

// The entries of an object map's text: each is a script path (one word of at most 259
// characters) and three numbers, separated by any white space. An entry that is cut short or
// whose numbers do not read writes one error line naming the map, and reading resumes at the
// next line.
std::vector<ObjectMapEntry> ParseObjectMap(std::string_view text, std::string_view mapPath);

// True for a name whose extension is ".rwx" in any letter case: it is read as one script.
bool IsScriptName(std::string_view path);

// The objects of the file the viewer would show: for a script one object at (0, 0.025, 0);
// otherwise one per object-map entry at its offset. An object map that cannot be opened writes
// "Unable to open file "<path>" as an object map." and gives no objects. Relative paths resolve
// against the current directory.
std::vector<std::unique_ptr<RWXObject>> LoadSceneObjects(std::string_view path, const ReadOptions& options = {});

}  // namespace pelorus
