#pragma once
// Reading what the viewer shows when it is a world: an object dump, whose objects name their
// models, found through the world's object path. Scripts, zipped models and object maps are read
// as the reader reads them; a dump is recognised by its first line, whatever its name.

#include <string>
#include <string_view>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "reader/sceneobjects.h"
#include "world/objectpath.h"

namespace pelorus {

struct WorldReadOptions {
    // How models are read. Its baseFolder is where relative names start.
    ReadOptions read;
    // The world's object path ("" for none); a relative one is taken from read.baseFolder.
    std::string objectPath;
    // When set, the models of a dump are looked up here instead of in the local object path
    // made of `objectPath` and the dump's folder (a remote object path plugs in here). Not owned.
    ObjectPath* source = nullptr;
    // An action given to the object of a file that is one model (a script, a zipped model or a
    // model of another format), so that builders can try actions on their models; "" for none.
    // Object maps and dumps keep their objects' own.
    std::string action;
};

// True when the file `path` names (relative from `baseFolder`) begins like an object dump (see
// DumpVersionOf: any version). Names of models (".rwx", ".zip", ".gltf", ".glb", ".obj") are never
// dumps.
bool IsDumpFile(std::string_view path, std::string_view baseFolder = {});

// The objects of the dump `text` read from the file `path` (named so in error lines), with their
// models: ReadDump, then for each object of type 0 the model it names, looked up through the object
// path (options.source, else the local object path of options.objectPath and the folder of `path`,
// taken from options.read.baseFolder), read once however many objects name it, in the order they
// first do. Objects naming one file under different spellings share its model. A name that is not
// found writes one error line (not one per object), and so does one that would leave the object
// path; their objects keep no model:
//   Couldn't find model "N" in WHERE.              (WHERE as ObjectPath::Where gives it)
//   Model name "N" leads out of the object path; it is not read.
// Each model is read with its textures looked for in its own archive, then in the textures
// folders of its location, then as options.read says; one folder cache, image budget and texture
// store serve the whole load unless options.read brings its own. The result's dumpVersion is the
// dump's version and missingModels lists the names not found (and refused), each once.
SceneObjects LoadDump(std::string_view text, std::string_view path, ErrorLog& log, const WorldReadOptions& options);

// The objects of whatever the viewer shows at `path` (relative from options.read.baseFolder): an
// object dump (LoadDump of the file's text; a file that cannot be read writes "Unable to open file
// "P" as an object dump." and gives nothing), else what LoadSceneObjects reads.
SceneObjects LoadShownObjects(std::string_view path, ErrorLog& log, const WorldReadOptions& options = {});

// LoadShownObjects as the viewer reads `path` given on its command line (see ReadAsViewer): from
// the file's own folder, named by its file name. A relative options.objectPath is made absolute
// against the process's current folder first. An empty path gives nothing.
SceneObjects ReadShownAsViewer(std::string_view path, ErrorLog& log, WorldReadOptions options = {});

}  // namespace pelorus
