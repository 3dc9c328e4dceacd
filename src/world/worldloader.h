#pragma once
// Loading what the viewer shows on a thread of its own, so that whoever waits for it (a window)
// stays free: the loader reads the file as LoadShownObjects does and hands over finished,
// immutable parts through one queue as they are ready. An object dump is handed over first as its
// placed objects (each model still to come null), then model by model; any other file is handed
// over whole at the end. Nothing else is shared with the thread that loads.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/errorlog.h"
#include "reader/sceneobjects.h"
#include "world/loadprogress.h"
#include "world/worldload.h"

namespace pelorus {

// What came from a load since it was last asked.
struct LoadHandOver {
    // The objects placed, in the first hand-over that has them: for a dump with a null model for
    // each model still to come (see DumpStream::placed); for any other file the whole scene.
    std::optional<SceneObjects> objects;
    // The models read since, by their index into the objects' models, in the order of the
    // indices (none before the objects came).
    std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>> models;
    // The error lines written since, with their places, in order.
    ErrorLog lines;
    // With models on demand (see WorldLoader), in the hand-over that has the objects of a dump
    // read so: the supply of its models. The load then ends with the objects.
    std::unique_ptr<ModelSupply> supply;
    // The load has ended (read to its end, or cancelled): nothing comes after this hand-over.
    bool finished = false;

    bool Empty() const { return !objects && models.empty() && lines.Empty() && !finished; }
};

class WorldLoader {
public:
    // Starts loading `path` (relative from options.read.baseFolder) on a thread of its own, as
    // LoadShownObjects would. options.progress, cancel and stream are the loader's own (those
    // given are not used). options.source, when set, must outlive the loader and is used only
    // by its thread. With `modelsOnDemand`, a dump on a local object path is placed without
    // reading its models, and the supply that reads them is handed over with its objects (see
    // WorldReadOptions::modelsOnDemand).
    WorldLoader(std::string path, WorldReadOptions options, bool modelsOnDemand = false);
    // Cancels the load and waits for its thread, which stops between lines and between models.
    ~WorldLoader();
    WorldLoader(const WorldLoader&) = delete;
    WorldLoader& operator=(const WorldLoader&) = delete;

    // Asks the load to stop soon; what was read by then is still handed over, and the last
    // hand-over is finished.
    void Cancel() { cancel_.store(true); }
    bool Cancelled() const { return cancel_.load(); }
    // How far the load has come (Done once it has ended), with the files it downloads.
    LoadProgress Progress() const;
    // Everything handed over since the last call (empty when nothing came).
    LoadHandOver Take();
    // Waits until something is there to Take (or the load has ended). For callers that have
    // nothing else to do meanwhile (the command-line tools, tests).
    void WaitForHandOver();
    // True once the last hand-over was taken.
    bool Finished() const { return taken_finished_; }
    const std::string& Path() const { return path_; }

private:
    void Run(WorldReadOptions options, bool modelsOnDemand);
    void HandOver(const std::function<void(LoadHandOver&)>& add);

    std::string path_;
    std::atomic<bool> cancel_{false};
    std::atomic<LoadProgress::Stage> stage_{LoadProgress::Stage::Idle};
    std::atomic<uint64_t> done_{0}, total_{0};
    mutable std::mutex downloadMutex_;
    DownloadProgress download_;  // under downloadMutex_, as offline_
    bool offline_ = false;
    // The thread's own log, and how much of it was handed over (both the thread's alone).
    ErrorLog log_;
    std::size_t logHandedOver_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    LoadHandOver pending_;  // under mutex_
    bool taken_finished_ = false;
    std::thread thread_;
};

}  // namespace pelorus
