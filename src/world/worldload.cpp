#include "world/worldload.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "net/webaddress.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/modelimport.h"
#include "reader/propdump.h"
#include "reader/scenefile.h"
#include "reader/zippedmodel.h"
#include "world/remoteobjectpath.h"

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

namespace {

// One model to read: where it is, what it gives, and the lines it wrote.
struct ModelJob {
    uint32_t index = 0;
    ModelLocation location;
    std::shared_ptr<const RWXObject> model;
    ErrorLog lines;
    bool done = false;
};

// What the load writes in the order models were first named: a line of its own (a name not
// found) or the lines of a model read.
struct LogSlot {
    std::string line;
    LogPlace place;
    std::size_t job = SIZE_MAX;
};

bool Cancelled(const WorldReadOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

void Tell(const WorldReadOptions& options, LoadProgress::Stage stage, uint64_t done, uint64_t total) {
    if (options.progress) options.progress(LoadProgress{stage, done, total});
}

unsigned ModelThreadsFor(const WorldReadOptions& options, std::size_t jobs) {
    if (options.read.folders || options.read.images || options.read.textureStore) return 1;
    unsigned threads = options.modelThreads;
    if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxModelThreads);
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(jobs, 1)));
}

// Reads the models of `jobs` on `threads` threads (the calling one among them when 1), handing
// each over through `emit` in the order of `slots`.
class ModelReading {
public:
    ModelReading(std::vector<ModelJob>& jobs, const ReadOptions& shared, const WorldReadOptions& options,
                 unsigned threads)
        : jobs_(jobs), shared_(shared), options_(options), threads_(threads) {}
    ~ModelReading() { Stop(); }

    void Start() {
        if (threads_ <= 1) return;
        for (unsigned i = 0; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
    }
    // Job `i` read (on the calling thread when there are no others); false when the load was
    // cancelled before it was.
    bool Await(std::size_t i) {
        if (threads_ <= 1) {
            if (Cancelled(options_)) return false;
            Read(jobs_[i], shared_);
            return true;
        }
        std::unique_lock lock(mutex_);
        readyChanged_.wait(lock, [&] { return jobs_[i].done || stopped_; });
        return jobs_[i].done;
    }
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        next_.store(jobs_.size());
        for (std::thread& t : workers_) t.join();
        workers_.clear();
    }

private:
    void Read(ModelJob& job, const ReadOptions& base) {
        ReadOptions modelOptions = base;
        modelOptions.firstTextureDirs = job.location.textureDirs;
        modelOptions.firstTextureDirs.insert(modelOptions.firstTextureDirs.end(), base.firstTextureDirs.begin(),
                                             base.firstTextureDirs.end());
        job.model = std::make_shared<const RWXObject>(job.location.file, 0.0, 0.0, 0.0, job.lines, modelOptions);
        job.done = true;
    }
    void Work() {
        FolderListingCache folders;
        ImageBudget images(kDefaultImageBudgetBytes / threads_);
        TextureStore textures;
        ReadOptions own = shared_;
        own.folders = &folders;
        own.images = &images;
        own.textureStore = &textures;
        for (;;) {
            const std::size_t i = next_.fetch_add(1);
            if (i >= jobs_.size() || Cancelled(options_)) break;
            ModelJob job;
            job.location = jobs_[i].location;
            Read(job, own);
            std::lock_guard lock(mutex_);
            jobs_[i].model = std::move(job.model);
            jobs_[i].lines = std::move(job.lines);
            jobs_[i].done = true;
            readyChanged_.notify_all();
        }
        // Whoever waits learns that nothing more comes from here.
        std::lock_guard lock(mutex_);
        if (++finishedWorkers_ == threads_) stopped_ = true;
        readyChanged_.notify_all();
    }

    std::vector<ModelJob>& jobs_;
    const ReadOptions& shared_;
    const WorldReadOptions& options_;
    unsigned threads_;
    std::vector<std::thread> workers_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable readyChanged_;
    unsigned finishedWorkers_ = 0;
    bool stopped_ = false;
};

}  // namespace

SceneObjects LoadDump(std::string_view text, std::string_view path, ErrorLog& log, const WorldReadOptions& options) {
    SceneObjects scene;
    DumpLinesHook onLines;
    if (options.progress || options.cancel)
        onLines = [&](uint64_t read, uint64_t lines) {
            Tell(options, LoadProgress::Stage::Reading, read, lines);
            return !Cancelled(options);
        };
    const DumpReadResult read = ReadDump(text, path, log, scene, onLines);
    scene.dumpVersion = read.version;
    if (Cancelled(options)) return scene;

    FolderListingCache folders;
    ImageBudget images;
    TextureStore textures;
    ReadOptions shared = options.read;
    if (!shared.folders) shared.folders = &folders;
    if (!shared.images) shared.images = &images;
    if (!shared.textureStore) shared.textureStore = &textures;

    const std::string file = InFolder(options.read.baseFolder, path);
    const bool web = !options.source && IsWebObjectPath(options.objectPath);
    const std::string objectPath =
        options.objectPath.empty() || web ? std::string() : InFolder(options.read.baseFolder, options.objectPath);
    const std::string fileFolder(ParentPart(AbsolutePath(file)));
    LocalObjectPath local(objectPath, fileFolder, shared.folders);
    std::optional<Downloader> downloader;
    std::optional<RemoteObjectPath> remote;
    if (web) {
        DownloaderOptions net;
        net.cacheRoot = options.cacheRoot;
        downloader.emplace(std::move(net));
        remote.emplace(*downloader, options.objectPath, fileFolder, shared.folders, options.refreshTime);
    }
    ObjectPath& source = options.source ? *options.source : remote ? static_cast<ObjectPath&>(*remote) : local;
    if (!shared.fetcher) shared.fetcher = source.Fetcher();
    {
        std::vector<std::string> names;
        for (const PlacedObject& object : scene.objects)
            if (object.type == 0) names.emplace_back(scene.Name(object));
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        source.Prefetch(names);
    }
    // Models that cannot be had are placed at the dump's line that named them.
    const std::string dumpFile = ResolvePath(file, shared.folders);
    scene.file = dumpFile;
    if (!objectPath.empty()) scene.pictureFolders.push_back(objectPath);
    scene.pictureFolders.emplace_back(ParentPart(AbsolutePath(file)));

    // The model of each name looked up (by its base name, letter case aside), and of each file read.
    std::unordered_map<std::string, uint32_t> byName;
    std::unordered_map<std::string, uint32_t> byFile;
    std::vector<ModelJob> jobs;
    std::vector<LogSlot> slots;
    for (PlacedObject& object : scene.objects) {
        if (object.type != 0) continue;
        const std::string_view name = scene.Name(object);
        std::string key = ToUpperAscii(BaseModelName(name));
        if (const auto it = byName.find(key); it != byName.end()) {
            object.model = it->second;
            continue;
        }
        uint32_t model = PlacedObject::kNoModel;
        // Finding a model may wait for a download.
        if (Cancelled(options)) return scene;
        ModelLookup lookup = source.Find(name);
        const std::string quoted = "\"" + BoundedQuote(name) + "\"";
        switch (lookup.status) {
            case ModelLookupStatus::Refused:
                slots.push_back({"Model name " + quoted + " leads out of the object path; it is not read.",
                                 LogPlace{dumpFile, {}, object.line}});
                scene.missingModels.emplace_back(name);
                break;
            case ModelLookupStatus::NotFound:
                slots.push_back({"Couldn't find model " + quoted + " in " + source.Where() + ".",
                                 LogPlace{dumpFile, {}, object.line}});
                scene.missingModels.emplace_back(name);
                break;
            case ModelLookupStatus::Found: {
                const std::string fileKey = AbsolutePath(lookup.location.file);
                if (const auto it = byFile.find(fileKey); it != byFile.end()) {
                    model = it->second;
                    break;
                }
                model = scene.AddModel(nullptr, std::string(name));
                byFile.emplace(fileKey, model);
                LogSlot slot;
                slot.job = jobs.size();
                slots.push_back(std::move(slot));
                ModelJob job;
                job.index = model;
                job.location = std::move(lookup.location);
                jobs.push_back(std::move(job));
                break;
            }
        }
        byName.emplace(std::move(key), model);
        object.model = model;
    }

    const bool streamed = options.stream && options.stream->placed;
    if (options.modelsOnDemand && !web && !options.source) {
        // The names not found are told now, in the order they were first named; each model's
        // own lines come when it is first read.
        std::vector<ModelLocation> locations(scene.models.size());
        for (const LogSlot& slot : slots)
            if (slot.job == SIZE_MAX) log.Append(slot.line, slot.place);
        for (ModelJob& job : jobs) locations[job.index] = std::move(job.location);
        ReadOptions onDemand = options.read;
        if (!onDemand.fetcher) onDemand.fetcher = source.Fetcher();
        unsigned threads = options.modelThreads;
        if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxModelThreads);
        *options.modelsOnDemand = std::make_unique<ModelSupply>(std::move(locations), std::move(onDemand), threads);
        if (streamed) options.stream->placed(scene);
        return scene;
    }
    if (streamed) options.stream->placed(scene);
    Tell(options, LoadProgress::Stage::Loading, 0, jobs.size());
    ModelReading reading(jobs, shared, options, ModelThreadsFor(options, jobs.size()));
    reading.Start();
    uint64_t loaded = 0;
    for (const LogSlot& slot : slots) {
        if (slot.job == SIZE_MAX) {
            log.Append(slot.line, slot.place);
            continue;
        }
        if (Cancelled(options) || !reading.Await(slot.job)) {
            // Readers waiting for downloads give up at once.
            if (downloader) downloader->CancelAll();
            break;
        }
        ModelJob& job = jobs[slot.job];
        log.AppendAll(job.lines);
        job.lines = ErrorLog();
        if (!streamed && job.index < scene.models.size()) scene.models[job.index] = job.model;
        if (options.stream && options.stream->model) options.stream->model(job.index, std::move(job.model));
        job.model.reset();
        Tell(options, LoadProgress::Stage::Loading, ++loaded, jobs.size());
    }
    reading.Stop();
    for (const std::string& line : source.TakeMessages()) log.Append(line, LogPlace{dumpFile, {}, 0});
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
    if (!options.objectPath.empty() && !IsWebObjectPath(options.objectPath))
        options.objectPath = AbsolutePath(ToSlashes(options.objectPath));
    const std::string absolute = AbsolutePath(ToSlashes(path));
    const std::string_view folder = ParentPart(absolute);
    options.read.baseFolder = folder.empty() ? std::string(".") : std::string(folder);
    return LoadShownObjects(FileNamePart(absolute), log, options);
}

}  // namespace pelorus
