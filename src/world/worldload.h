#pragma once
// Reading what the viewer shows when it is a world: an object dump, whose objects name their
// models, found through the world's object path. Scripts, zipped models and object maps are read
// as the reader reads them; a dump is recognised by its first line, whatever its name.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/downloader.h"
#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "reader/sceneobjects.h"
#include "world/loadprogress.h"
#include "world/modelsupply.h"
#include "world/objectpath.h"

namespace pelorus {

// What a load of an object dump hands over while it goes on, on the thread that loads.
struct DumpStream {
    // Once, when the objects are read and each knows its model's index, before any model is read:
    // `objects` then has a null model for each model still to read (its name in modelNames). The
    // function may take the objects away (move from `objects`): the load goes on with the models
    // alone, and its result holds no objects.
    std::function<void(SceneObjects& objects)> placed;
    // Each model read, in the order of the indices, after its error lines went to the log.
    std::function<void(uint32_t index, std::shared_ptr<const RWXObject> model)> model;
};

struct WorldReadOptions {
    // How models are read. Its baseFolder is where relative names start.
    ReadOptions read;
    // The world's object path ("" for none); a relative one is taken from read.baseFolder. A web
    // address ("http://…/", "https://…/") is fetched from through the disk cache at `cacheRoot`.
    std::string objectPath;
    // The disk cache of web object paths ("$XDG_CACHE_HOME/pelorus"); "" keeps no copies, so a web
    // object path then finds no model.
    std::string cacheRoot;
    // How long a cached copy is used without asking its server (the world's refresh time).
    std::chrono::seconds refreshTime = kDefaultRefreshTime;
    // When set, the models of a dump are looked up here instead of in the local object path
    // made of `objectPath` and the dump's folder (a remote object path plugs in here). Not owned.
    ObjectPath* source = nullptr;
    // Told how a dump's load goes, on the thread that loads: every kDumpLinesPerReport lines while
    // its objects are read, then after every model. Empty: not told.
    std::function<void(const LoadProgress&)> progress;
    // When set, a load stops soon after it turns true: between lines while the dump is read and
    // between models (a model being read is finished first). What was read by then is the result;
    // models not read are null in it (see DumpStream::placed). Not owned.
    const std::atomic<bool>* cancel = nullptr;
    // How many threads read a dump's models at once; 0 as many as the machine runs at once (at
    // most kMaxModelThreads), or six when they fetch their textures from a web object path. A load whose options.read
    // brings its own folder cache, image budget or texture store reads them on the calling thread, as does one of 1.
    unsigned modelThreads = 0;
    // Not owned; null hands nothing over while loading.
    const DumpStream* stream = nullptr;
    // An action given to the object of a file that is one model (a script, a zipped model or a
    // model of another format), so that builders can try actions on their models; "" for none.
    // Object maps and dumps keep their objects' own.
    std::string action;
    // When set, the models of an object dump on a local object path are read only when asked
    // for: the load ends once the objects are placed (each model null in the result, as
    // DumpStream::placed has them; names not found written as ever) and *modelsOnDemand is given
    // the supply that reads them (model i of the result is its model i), on modelThreads threads.
    // Other files, and dumps whose models come from the web or from options.source, are read
    // whole, and *modelsOnDemand is left null. Not owned.
    std::unique_ptr<ModelSupply>* modelsOnDemand = nullptr;
};

inline constexpr unsigned kMaxModelThreads = 4;

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
// Models are read on options.modelThreads threads at once (each with its own folder cache and
// texture store, sharing the image budget out evenly); their error lines and the lines of names
// not found are written in the order the models were first named whatever the threads do, so the
// log is the same however many there are.
// With a web object path (and no options.source), the models and their textures are fetched
// into the cache as they are looked for (RemoteObjectPath), every model at once; this waits for
// the downloads (a cancelled load stops waiting). A server that cannot be reached is one error
// line, after the models' lines, and the cached copies stand in.
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
