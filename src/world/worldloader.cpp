#include "world/worldloader.h"

namespace pelorus {

WorldLoader::WorldLoader(std::string path, WorldReadOptions options, bool modelsOnDemand) : path_(std::move(path)) {
    thread_ = std::thread(
        [this, modelsOnDemand, options = std::move(options)]() mutable { Run(std::move(options), modelsOnDemand); });
}

WorldLoader::~WorldLoader() {
    Cancel();
    if (thread_.joinable()) thread_.join();
}

LoadProgress WorldLoader::Progress() const {
    LoadProgress progress{stage_.load(), done_.load(), total_.load()};
    std::lock_guard lock(downloadMutex_);
    progress.download = download_;
    progress.offline = offline_;
    return progress;
}

LoadHandOver WorldLoader::Take() {
    LoadHandOver taken;
    {
        std::lock_guard lock(mutex_);
        taken = std::move(pending_);
        pending_ = LoadHandOver();
    }
    if (taken.finished) taken_finished_ = true;
    return taken;
}

void WorldLoader::WaitForHandOver() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_.Empty(); });
}

void WorldLoader::HandOver(const std::function<void(LoadHandOver&)>& add) {
    std::lock_guard lock(mutex_);
    for (; logHandedOver_ < log_.LineCount(); ++logHandedOver_)
        pending_.lines.Append(log_.Line(logHandedOver_), log_.PlaceOf(logHandedOver_));
    add(pending_);
    changed_.notify_all();
}

void WorldLoader::Run(WorldReadOptions options, bool modelsOnDemand) {
    options.cancel = &cancel_;
    options.progress = [this](const LoadProgress& p) {
        done_.store(p.done);
        total_.store(p.total);
        stage_.store(p.stage);
        std::lock_guard lock(downloadMutex_);
        download_ = p.download;
        offline_ = p.offline;
    };
    DumpStream stream;
    bool placed = false;
    std::unique_ptr<ModelSupply> supply;
    options.modelsOnDemand = modelsOnDemand ? &supply : nullptr;
    stream.placed = [&](SceneObjects& objects) {
        placed = true;
        HandOver([&](LoadHandOver& h) {
            h.objects = std::move(objects);
            h.supply = std::move(supply);
        });
    };
    stream.model = [&](uint32_t index, std::shared_ptr<const RWXObject> model) {
        HandOver([&](LoadHandOver& h) { h.models.emplace_back(index, std::move(model)); });
    };
    options.stream = &stream;
    SceneObjects scene = LoadShownObjects(path_, log_, options);
    stage_.store(LoadProgress::Stage::Done);
    HandOver([&](LoadHandOver& h) {
        // A dump cancelled before its objects were placed, and every other file, come whole now.
        if (!placed) h.objects = std::move(scene);
        h.finished = true;
    });
}

}  // namespace pelorus
