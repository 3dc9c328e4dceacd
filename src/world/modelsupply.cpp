#include "world/modelsupply.h"

#include <algorithm>

#include "platform/paths.h"

namespace pelorus {
namespace {

// A thread's decoded images are let go once they hold this many, so that walking across a world
// does not keep every texture it ever passed.
constexpr std::size_t kKeptTexturesPerThread = 256;

}  // namespace

ModelSupply::ModelSupply(std::vector<ModelLocation> locations, ReadOptions read, unsigned threads)
    : locations_(std::move(locations)),
      read_(std::move(read)),
      state_(locations_.size(), State::Idle),
      linesWritten_(locations_.size(), 0) {
    threadCount_ = std::max(threads, 1u);
    for (unsigned i = 0; i < threadCount_; ++i) threads_.emplace_back([this] { Work(); });
}

ModelSupply::~ModelSupply() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        asked_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void ModelSupply::Ask(const std::vector<uint32_t>& models) {
    {
        std::lock_guard lock(mutex_);
        asked_.clear();
        std::vector<uint8_t> seen;
        for (const uint32_t m : models) {
            if (m >= locations_.size() || locations_[m].file.empty() || state_[m] != State::Idle) continue;
            if (seen.empty()) seen.assign(locations_.size(), 0);
            if (seen[m]) continue;
            seen[m] = 1;
            asked_.push_back(m);
        }
    }
    wake_.notify_all();
}

ModelSupply::Delivered ModelSupply::Take(ErrorLog& log) {
    std::vector<Finished> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(ready_);
        for (const Finished& f : taken) state_[f.index] = State::Idle;
    }
    std::sort(taken.begin(), taken.end(), [](const Finished& a, const Finished& b) { return a.index < b.index; });
    Delivered out;
    out.reserve(taken.size());
    for (Finished& f : taken) {
        if (!linesWritten_[f.index]) log.AppendAll(f.lines);
        linesWritten_[f.index] = 1;
        out.emplace_back(f.index, std::move(f.model));
    }
    return out;
}

bool ModelSupply::Busy() const {
    std::lock_guard lock(mutex_);
    return !asked_.empty() || reading_ > 0 || !ready_.empty();
}

void ModelSupply::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || (asked_.empty() && reading_ == 0) || stop_; });
}

void ModelSupply::WaitUntilSettled() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (asked_.empty() && reading_ == 0) || stop_; });
}

uint64_t ModelSupply::Reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

void ModelSupply::Work() {
    FolderListingCache folders;
    const uint64_t imageLimit = kDefaultImageBudgetBytes / threadCount_;
    auto images = std::make_unique<ImageBudget>(imageLimit);
    auto textures = std::make_unique<TextureStore>();
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || !asked_.empty(); });
        if (stop_) return;
        const uint32_t index = asked_.front();
        asked_.pop_front();
        state_[index] = State::Reading;
        ++reading_;
        lock.unlock();

        if (textures->Size() > kKeptTexturesPerThread || images->Used() > images->Limit() / 2) {
            images = std::make_unique<ImageBudget>(imageLimit);
            textures = std::make_unique<TextureStore>();
        }
        ReadOptions options = read_;
        options.folders = &folders;
        options.images = images.get();
        options.textureStore = textures.get();
        const ModelLocation& location = locations_[index];
        options.firstTextureDirs = location.textureDirs;
        options.firstTextureDirs.insert(options.firstTextureDirs.end(), read_.firstTextureDirs.begin(),
                                        read_.firstTextureDirs.end());
        Finished done{index, nullptr, ErrorLog()};
        done.model = std::make_shared<const RWXObject>(location.file, 0.0, 0.0, 0.0, done.lines, options);

        lock.lock();
        --reading_;
        ++reads_;
        state_[index] = State::Ready;
        ready_.push_back(std::move(done));
        changed_.notify_all();
    }
}

}  // namespace pelorus
