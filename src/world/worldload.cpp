#include "world/worldload.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_map>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/modelimport.h"
#include "reader/propdump.h"
#include "reader/scenefile.h"
#include "reader/zippedmodel.h"

namespace pelorus {
namespace {

// Names that are read as one model whatever they hold: scripts, zipped models, glTF and OBJ.
bool IsModelFileName(std::string_view path) {
    return IsScriptName(path) || IsZipName(path) || ImportFormatOf(path).has_value();
}

// The first bytes of the regular file `path`; "" when it cannot be read.
std::string HeadOf(const std::string& path, FolderListingCache* folders) {
    struct stat st {};
    const int fd = OpenRegularFile(path, st, nullptr, folders);
    if (fd < 0) return {};
    std::string head(kDumpHeaderProbeBytes, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    head.resize(got);
    return head;
}

}  // namespace

bool IsDumpFile(std::string_view path, std::string_view baseFolder) {
    if (IsModelFileName(path)) return false;
    return BeginsLikeDump(HeadOf(InFolder(baseFolder, path), nullptr));
}

SceneObjects LoadDump(std::string_view text, std::string_view path, ErrorLog& log, const WorldReadOptions& options) {
    SceneObjects scene;
    const DumpReadResult read = ReadDump(text, path, log, scene);
    scene.dumpVersion = read.version;

    FolderListingCache folders;
    ImageBudget images;
    TextureStore textures;
    ReadOptions shared = options.read;
    if (!shared.folders) shared.folders = &folders;
    if (!shared.images) shared.images = &images;
    if (!shared.textureStore) shared.textureStore = &textures;

    const std::string file = InFolder(options.read.baseFolder, path);
    const std::string objectPath =
        options.objectPath.empty() ? std::string() : InFolder(options.read.baseFolder, options.objectPath);
    LocalObjectPath local(objectPath, std::string(ParentPart(AbsolutePath(file))), shared.folders);
    ObjectPath& source = options.source ? *options.source : local;
    // Models that cannot be had are placed at the dump's line that named them.
    const std::string dumpFile = ResolvePath(file, shared.folders);
    scene.file = dumpFile;
    if (!objectPath.empty()) scene.pictureFolders.push_back(objectPath);
    scene.pictureFolders.emplace_back(ParentPart(AbsolutePath(file)));

    // The model of each name looked up (by its base name, letter case aside), and of each file read.
    std::unordered_map<std::string, uint32_t> byName;
    std::unordered_map<std::string, uint32_t> byFile;
    for (PlacedObject& object : scene.objects) {
        if (object.type != 0) continue;
        const std::string_view name = scene.Name(object);
        std::string key = ToUpperAscii(BaseModelName(name));
        if (const auto it = byName.find(key); it != byName.end()) {
            object.model = it->second;
            continue;
        }
        uint32_t model = PlacedObject::kNoModel;
        const ModelLookup lookup = source.Find(name);
        const std::string quoted = "\"" + BoundedQuote(name) + "\"";
        switch (lookup.status) {
            case ModelLookupStatus::Refused:
                log.Append("Model name " + quoted + " leads out of the object path; it is not read.",
                           LogPlace{dumpFile, {}, object.line});
                scene.missingModels.emplace_back(name);
                break;
            case ModelLookupStatus::NotFound:
                log.Append("Couldn't find model " + quoted + " in " + source.Where() + ".",
                           LogPlace{dumpFile, {}, object.line});
                scene.missingModels.emplace_back(name);
                break;
            case ModelLookupStatus::Found: {
                const std::string fileKey = AbsolutePath(lookup.location.file);
                if (const auto it = byFile.find(fileKey); it != byFile.end()) {
                    model = it->second;
                    break;
                }
                ReadOptions modelOptions = shared;
                modelOptions.firstTextureDirs = lookup.location.textureDirs;
                modelOptions.firstTextureDirs.insert(modelOptions.firstTextureDirs.end(),
                                                     shared.firstTextureDirs.begin(), shared.firstTextureDirs.end());
                model = scene.AddModel(
                    std::make_shared<const RWXObject>(lookup.location.file, 0.0, 0.0, 0.0, log, modelOptions),
                    std::string(name));
                byFile.emplace(fileKey, model);
                break;
            }
        }
        byName.emplace(std::move(key), model);
        object.model = model;
    }
    return scene;
}

namespace {

// A script or object map: its objects' pictures are looked for beside it.
SceneObjects LoadModelsOf(std::string_view path, ErrorLog& log, const WorldReadOptions& options) {
    SceneObjects scene = LoadSceneObjects(path, log, options.read);
    scene.file = ResolvePath(InFolder(options.read.baseFolder, path), options.read.folders);
    scene.pictureFolders.emplace_back(ParentPart(AbsolutePath(scene.file)));
    if (!options.action.empty() && IsModelFileName(path) && scene.objects.size() == 1) {
        PlacedObject& o = scene.objects.front();
        const std::string name(scene.Name(o));
        scene.SetText(o, name, {}, options.action);
    }
    return scene;
}

}  // namespace

SceneObjects LoadShownObjects(std::string_view path, ErrorLog& log, const WorldReadOptions& options) {
    if (path.empty()) return {};
    if (IsModelFileName(path)) return LoadModelsOf(path, log, options);
    const std::string file = InFolder(options.read.baseFolder, path);
    if (!BeginsLikeDump(HeadOf(file, options.read.folders))) return LoadModelsOf(path, log, options);
    FileContents contents;
    if (!contents.Open(file, kNoSizeLimit, options.read.folders)) {
        log.Append("Unable to open file \"" + BoundedQuote(path) + "\" as an object dump.");
        return {};
    }
    return LoadDump(contents.Text(), path, log, options);
}

SceneObjects ReadShownAsViewer(std::string_view path, ErrorLog& log, WorldReadOptions options) {
    if (path.empty()) return {};
    if (!options.objectPath.empty()) options.objectPath = AbsolutePath(ToSlashes(options.objectPath));
    const std::string absolute = AbsolutePath(ToSlashes(path));
    const std::string_view folder = ParentPart(absolute);
    options.read.baseFolder = folder.empty() ? std::string(".") : std::string(folder);
    return LoadShownObjects(FileNamePart(absolute), log, options);
}

}  // namespace pelorus
