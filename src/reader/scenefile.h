#pragma once
// Reading what a scene shows: one script, or an object map that places several.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/rwxobject.h"
#include "reader/sceneobjects.h"

namespace pelorus {

struct ObjectMapEntry {
    std::string path;  // as written
    double x = 0, y = 0, z = 0;
    uint32_t line = 0;  // where the entry begins (1 for the first line)
};

// The entries of an object map's text: each is a script path (one word of at most 259
// characters) and three numbers, separated by any white space. An entry that is cut short or
// whose numbers do not read writes one error line naming the map to `log` (quoting at most
// kMaxQuotedChars of its line), placed at `mapPath` and that line, and reading resumes at the next
// line. Lines end at a line feed, a carriage return or both together; a DOS end-of-file mark
// (0x1A) ends the text.
std::vector<ObjectMapEntry> ParseObjectMap(std::string_view text, std::string_view mapPath, ErrorLog& log);

// True for a name whose extension is ".rwx" in any letter case: it is read as one script.
bool IsScriptName(std::string_view path);

// The objects of the file the viewer would show: for a script, a zipped model (a name ending in
// ".zip", see RWXObject) or a model of another format (".gltf", ".glb", ".obj", see ImportModel)
// one object at (0, 0.025, 0) named by `path`; otherwise one per object-map entry at its offset,
// named by the entry's path as written, with the entry's line (entries may name zipped models
// too). Objects are plainly placed (no turn, no scale). An object map that is missing writes
// "Unable to open file "<path>" as an object map." and gives no objects; one that is there but
// cannot be read (a FIFO, device or folder, or unreadable) is named by its whole path with the
// reason: "Unable to open file "/dev/zero" as an object map: it is not a regular file." A relative `path`
// resolves against options.baseFolder; the entries of an object map resolve against the map's
// own folder, and so do the relative texture folders of their scripts. Problems go to `log`.
// Entries that name the same file (resolved, whatever its spelling) share one model, read for the
// first of them (and named by its path), whose error lines are written once (unless
// options.shareModels is false: then every entry is read into a model of its own). Entries whose
// file is not there write "Could Not Open File" once per file and share one empty model (named "").
// After kMaxErrorLines error lines the rest of a load are only counted, and one last line says how
// many: "Too many errors in object map "<path>", N more not listed." The map's own error lines
// (entries that cannot be read, files that are not there) are placed at the map's line (see
// LogPlace); a model's lines keep the places its script gives them, and those without one (an
// archive without a script, say) are placed at the line of the entry that read it. Unless `options` bring their
// own, one folder cache, one image budget and one store of decoded textures serve the whole load.
SceneObjects LoadSceneObjects(std::string_view path, ErrorLog& log, const ReadOptions& options = {});

// What the viewer reads when it is started on `path`: the file's own folder (of `path` made
// absolute against the process's current folder) is the base folder, and the file is named by
// its file name from there, so error lines name it as the viewer's do. `options.baseFolder` is
// replaced; an empty path gives no objects.
SceneObjects ReadAsViewer(std::string_view path, ErrorLog& log, ReadOptions options = {});

}  // namespace pelorus
