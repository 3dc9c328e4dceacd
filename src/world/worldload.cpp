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
#include <unordered_set>
#include <variant>

#include "net/webaddress.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/action.h"
#include "reader/modelimport.h"
#include "reader/propdump.h"
#include "reader/scenefile.h"
#include "reader/textureload.h"
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

// Tells options.progress how the load goes: its stage from the loading thread, its downloads from
// whichever thread waits for one, each told with the latest of the other.
class ProgressTeller {
public:
    explicit ProgressTeller(const WorldReadOptions& options) : options_(options) {}
    void operator()(LoadProgress::Stage stage, uint64_t done, uint64_t total) {
        if (!options_.progress) return;
        std::lock_guard lock(mutex_);
        last_.stage = stage;
        last_.done = done;
        last_.total = total;
        options_.progress(last_);
    }
    void Downloads(const DownloadProgress& download, bool offline) {
        if (!options_.progress) return;
        std::lock_guard lock(mutex_);
        if (download == last_.download && offline == last_.offline) return;
        last_.download = download;
        last_.offline = offline;
        options_.progress(last_);
    }

private:
    const WorldReadOptions& options_;
    std::mutex mutex_;
    LoadProgress last_;
};

// Models whose textures come from a web server mostly wait for them: as many read at once as
// the server is asked at once.
constexpr unsigned kFetchingModelThreads = 6;

unsigned ModelThreadsFor(const WorldReadOptions& options, std::size_t jobs, bool fetching) {
    if (options.read.folders || options.read.images || options.read.textureStore) return 1;
    unsigned threads = options.modelThreads;
    if (threads == 0)
        threads =
            fetching ? kFetchingModelThreads : std::clamp(std::thread::hardware_concurrency(), 1u, kMaxModelThreads);
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

// The images that the create sections of a dump's objects name and that come from web servers:
// textures and masks of a web object path, and pictures of one or at full addresses. They are
// asked for while the models are, and must be in before the looks are made of them (once the last
// model is handed over).
class ActionImages {
public:
    // Finds them: every action once, and, on a local object path, only actions naming an address.
    ActionImages(const SceneObjects& scene, bool web) {
        std::unordered_set<std::string_view> seen;
        std::unordered_set<std::string> textures, pictures;
        for (const PlacedObject& object : scene.objects) {
            const std::string_view text = scene.Action(object);
            if (text.empty() || (!web && text.find("://") == std::string_view::npos) || !seen.insert(text).second)
                continue;
            const Action action = ParseAction(text);
            const ActionSection* create = action.Create();
            if (!create) continue;
            for (const ActionCommand& command : create->commands) {
                if (!command.target.empty()) continue;  // meant for another object
                if (const auto* t = std::get_if<TextureArgs>(&command.args); t && web) {
                    if (textures.insert(t->texture).second)
                        textures_.emplace_back(TextureFileName(t->texture), TextureFallbackFileName(t->texture));
                    if (!t->mask.empty() && textures.insert("\n" + t->mask).second)
                        textures_.emplace_back(MaskFileName(t->mask), std::string());
                } else if (const auto* p = std::get_if<PictureArgs>(&command.args)) {
                    if (!p->name.empty() && (web || IsWebObjectPath(p->name)) && pictures.insert(p->name).second)
                        pictures_.push_back(p->name);
                }
            }
        }
    }
    bool Any() const { return !textures_.empty() || !pictures_.empty(); }

    // Asks for them all at once, and tells `scene` where each picture's copy will be.
    void Start(SceneObjects& scene, const WorldReadOptions& options, Downloader& downloader, RemoteObjectPath* remote,
               std::function<void(const DownloadProgress&)> onProgress) {
        downloader_ = &downloader;
        remote_ = remote;
        cancel_ = options.cancel;
        onProgress_ = std::move(onProgress);
        if (remote) {
            std::vector<std::string> names;
            for (const auto& [file, fallback] : textures_) names.push_back(file);
            remote->PrefetchTextures(names);
        }
        for (const std::string& name : pictures_) {
            const std::optional<FileRequest> request = PictureRequest(name, options.objectPath, options.refreshTime);
            if (!request) continue;
            const std::string copy = CopyPathOf(*request, options.cacheRoot);
            if (copy.empty()) continue;
            scene.pictureFiles.emplace_back(name, copy);
            tickets_.push_back(downloader.Request(*request));
        }
    }

    // Waits until every one is in (or could not be had); only the first call waits.
    void Bring() {
        if (!downloader_ || brought_) return;
        brought_ = true;
        if (remote_)
            for (const auto& [file, fallback] : textures_) {
                if (Cancelled()) return;
                const std::string& dir = remote_->TexturesFolder();
                if (!remote_->Fetch(dir, file) && !fallback.empty()) remote_->Fetch(dir, fallback);
            }
        if (!tickets_.empty() && !Cancelled()) downloader_->Wait(tickets_, onProgress_, cancel_);
    }

private:
    bool Cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

    std::vector<std::pair<std::string, std::string>> textures_;  // file name, fallback name
    std::vector<std::string> pictures_;
    std::vector<uint64_t> tickets_;
    Downloader* downloader_ = nullptr;
    RemoteObjectPath* remote_ = nullptr;
    const std::atomic<bool>* cancel_ = nullptr;
    std::function<void(const DownloadProgress&)> onProgress_;
    bool brought_ = false;
};

}  // namespace

SceneObjects LoadDump(std::string_view text, std::string_view path, ErrorLog& log, const WorldReadOptions& options) {
    SceneObjects scene;
    ProgressTeller tell(options);
    DumpLinesHook onLines;
    if (options.progress || options.cancel)
        onLines = [&](uint64_t read, uint64_t lines) {
            tell(LoadProgress::Stage::Reading, read, lines);
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
    ActionImages actionImages(scene, web);
    if (web || (actionImages.Any() && !options.cacheRoot.empty())) {
        DownloaderOptions net;
        net.cacheRoot = options.cacheRoot;
        downloader.emplace(std::move(net));
    }
    if (web) {
        remote.emplace(*downloader, options.objectPath, fileFolder, shared.folders, options.refreshTime);
        remote->Watch([&tell](const DownloadProgress& p, bool offline) { tell.Downloads(p, offline); }, options.cancel);
    }
    ObjectPath& source = options.source ? *options.source : remote ? static_cast<ObjectPath&>(*remote) : local;
    if (!shared.fetcher) shared.fetcher = source.Fetcher();
    {
        // Each name once: a world names its few models many times over.
        std::unordered_set<std::string_view> seen;
        for (const PlacedObject& object : scene.objects)
            if (object.type == 0) seen.insert(scene.Name(object));
        std::vector<std::string> names(seen.begin(), seen.end());
        std::sort(names.begin(), names.end());
        source.Prefetch(names);
    }
    if (downloader)
        actionImages.Start(scene, options, *downloader, remote ? &*remote : nullptr,
                           [&tell](const DownloadProgress& p) { tell.Downloads(p, false); });
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
    tell(LoadProgress::Stage::Loading, 0, jobs.size());
    ModelReading reading(jobs, shared, options, ModelThreadsFor(options, jobs.size(), remote.has_value()));
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
        // The looks of actions are made once the last model is in: their images must be there.
        if (loaded + 1 == jobs.size()) actionImages.Bring();
        log.AppendAll(job.lines);
        job.lines = ErrorLog();
        if (!streamed && job.index < scene.models.size()) scene.models[job.index] = job.model;
        if (options.stream && options.stream->model) options.stream->model(job.index, std::move(job.model));
        job.model.reset();
        tell(LoadProgress::Stage::Loading, ++loaded, jobs.size());
    }
    reading.Stop();
    if (!Cancelled(options)) actionImages.Bring();
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
