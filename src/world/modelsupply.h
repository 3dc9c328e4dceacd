#pragma once
// Reading the models of an object dump when they are asked for, rather than all at once: whoever
// shows the dump says which models it wants, first wanted first, as the eye moves; threads of the
// supply's own read each of them once and hand them over, finished and immutable, through one
// queue. Nothing else is shared with those threads.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "world/objectpath.h"

namespace pelorus {

class ModelSupply {
public:
    using Delivered = std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>;

    // Reads model i from locations[i] (one with an empty file is never read) with `read`, on
    // `threads` threads (0 counts as 1). Each thread keeps its own folder listings, decoded images
    // and image budget (those of `read` are not used); textures are looked for in the location's
    // folders first, then as `read` says.
    ModelSupply(std::vector<ModelLocation> locations, ReadOptions read, unsigned threads);
    // Stops the threads, after the reads under way have ended.
    ~ModelSupply();
    ModelSupply(const ModelSupply&) = delete;
    ModelSupply& operator=(const ModelSupply&) = delete;

    // What is wanted from now on, first wanted first: replaces what was asked before and not yet
    // begun. A model being read, or read and not yet taken, is not read again; indices out of
    // range, models that cannot be read and repeats are passed over.
    void Ask(const std::vector<uint32_t>& models);
    // The models read since the last call, by index; their error lines go to `log` (with their
    // places) in that order, a model's only the first time it is read.
    Delivered Take(ErrorLog& log);
    // True while a model asked for is still to be read, being read, or waiting to be taken.
    bool Busy() const;
    // Waits until there is something to take or nothing asked is left to read.
    void Wait();
    // Waits until every model asked for is read (all there is is then one Take away).
    void WaitUntilSettled();
    // How many models were read (one read again after it was dropped counts again).
    uint64_t Reads() const;
    std::size_t Size() const { return locations_.size(); }

private:
    enum class State : uint8_t { Idle, Reading, Ready };
    void Work();

    const std::vector<ModelLocation> locations_;
    const ReadOptions read_;
    unsigned threadCount_ = 1;
    mutable std::mutex mutex_;
    std::condition_variable wake_;     // for the threads: something asked, or stop
    std::condition_variable changed_;  // for Wait: something read
    std::deque<uint32_t> asked_;       // under mutex_, as Ask left it
    std::vector<State> state_;         // under mutex_, one per model
    std::vector<uint8_t> linesWritten_;
    struct Finished {
        uint32_t index;
        std::shared_ptr<const RWXObject> model;
        ErrorLog lines;
    };
    std::vector<Finished> ready_;  // under mutex_
    unsigned reading_ = 0;         // under mutex_
    uint64_t reads_ = 0;           // under mutex_
    bool stop_ = false;            // under mutex_
    std::vector<std::thread> threads_;
};

}  // namespace pelorus
