#pragma once
// Files of object paths on web servers, as local files: taken from the disk cache while it is
// fresh, otherwise fetched through libcurl on a thread of the downloader's own. Callers ask for a
// relative name of an object path and get a path of a whole local copy, without waiting (the
// window: results are collected from one queue on the caller's thread) or waiting (the
// command-line tools).
//
// What is asked of a server, and when:
// - A name is asked of the server at most once per run (until ForgetChecks), however many ask
//   for it, also while it is being fetched: every request of it gets the one answer.
// - A copy that the server confirmed less than the request's refresh time ago is used without
//   asking. Older copies are asked about with their validators (If-None-Match, If-Modified-Since):
//   "not modified" keeps the copy and restarts its clock; new content replaces it.
// - A server that cannot be reached makes the copies of its object paths stand in for the rest of
//   the run (until ForgetChecks) without asking again; names without a copy fail at once.
// - "Not found" (404, 410) is told once per name, and the copy, if any, is dropped.
// - Only http and https, also after redirects; at most `maxRedirects` redirects; certificates
//   always verified; at most `transfersPerServer` transfers at once per server; a transfer that
//   receives nothing for `stallTimeout` ends; more than the request's `maxBytes` ends a transfer.
// - A name that could leave its object path or the cache folder is refused before any request.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "net/progress.h"

namespace pelorus {

// Limits of the transfers; the defaults are the program's, tests shorten them.
struct NetLimits {
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds stallTimeout{30'000};  // nothing received for this long ends a transfer
    int maxRedirects = 5;
    int transfersPerServer = 6;
};

// The largest file fetched: the size limit of models and images read from disk.
inline constexpr uint64_t kMaxDownloadBytes = uint64_t{256} << 20;
inline constexpr std::chrono::seconds kDefaultRefreshTime{7 * 24 * 60 * 60};

// One file of one object path.
struct FileRequest {
    std::string objectPath;  // "http://…/" or "https://…/", as a world or the command line gives it
    std::string name;        // relative to it: "models/tree.zip", "textures\bark.jpg"
    // How long a confirmed copy is used without asking the server; zero asks every run.
    std::chrono::seconds refreshTime = kDefaultRefreshTime;
    uint64_t maxBytes = kMaxDownloadBytes;
};

enum class FetchStatus {
    kFresh,        // the cached copy, confirmed within the refresh time or earlier in this run
    kNotModified,  // the server said the cached copy is current
    kDownloaded,   // a new copy
    kOffline,      // the server could not be reached or did not answer properly: the cached copy stands in
    kNotFound,     // the server has no such file
    kFailed,       // no copy: a refused name, an unreachable server, a failed or refused transfer
};

// The answer to one request: a finished value that is never changed afterwards.
struct FetchResult {
    uint64_t ticket = 0;
    FetchStatus status = FetchStatus::kFailed;
    std::string objectPath;  // as requested
    std::string name;        // as requested
    // The local copy to read (a whole file in the cache); "" for kNotFound and kFailed.
    std::string file;
    // For kOffline, kNotFound and kFailed: what went wrong, naming the address, such as
    //   cannot reach "http://example.com/objects/models/tree.zip": Couldn't connect to server
    std::string message;
    // True when an earlier request of the same name was given this answer in this run (until
    // ForgetChecks), so that a failure is told once per name.
    bool repeat = false;
    bool Usable() const { return !file.empty(); }
};

struct DownloaderOptions {
    // Where copies are kept: "$XDG_CACHE_HOME/pelorus". Empty keeps nothing: every request fails.
    std::string cacheRoot;
    NetLimits limits;
    // The time in seconds since 1970, for the age of copies; the system clock when empty.
    std::function<int64_t()> clock;
    // Called on the downloader's thread whenever results are waiting (for a window to wake its
    // own thread, which then calls TakeFinished). It must not call back into the downloader.
    std::function<void()> onResult;
};

class Downloader {
public:
    // Starts the transfer thread.
    explicit Downloader(DownloaderOptions options);
    // Cancels everything and waits for the thread; no callback is made afterwards.
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // Asks for a file and returns at once with the ticket (never 0) its result will carry.
    // Every request gets exactly one result unless it is cancelled first; a refused name or a
    // bad object path gets a kFailed result like any other.
    uint64_t Request(FileRequest request);

    // The results that have arrived since the last call, in the order they finished.
    std::vector<FetchResult> TakeFinished();

    // Waits for the results of `tickets` and returns them in that order. `onProgress` (when
    // given) is called on the caller's thread every tenth of a second meanwhile. A ticket that is
    // cancelled or was never given gets a kFailed result saying so. Results of other tickets
    // stay for TakeFinished. Use either this or TakeFinished for a ticket, not both.
    // When `stop` (not owned) turns true, the tickets not in yet are cancelled within a fiftieth
    // of a second and Wait returns.
    std::vector<FetchResult> Wait(std::span<const uint64_t> tickets,
                                  const std::function<void(const DownloadProgress&)>& onProgress = {},
                                  const std::atomic<bool>* stop = nullptr);
    // Waits until at least one of `tickets` has its result and returns the results of all that
    // have, in the order of `tickets`; the others go on. `onProgress` and `stop` as for Wait (a
    // stop returns the results in, and the tickets not in are cancelled and get kFailed results).
    // An empty `tickets` returns at once.
    std::vector<FetchResult> WaitAny(std::span<const uint64_t> tickets,
                                     const std::function<void(const DownloadProgress&)>& onProgress = {},
                                     const std::atomic<bool>* stop = nullptr);
    // Request and Wait for one file.
    FetchResult Fetch(FileRequest request);

    // No result of these tickets is delivered after this returns (those already waiting are
    // dropped). A transfer nobody waits for any more ends.
    void Cancel(std::span<const uint64_t> tickets);
    void CancelAll();

    // The next request of every name is decided by the cache and the refresh time again, and
    // unreachable servers are tried again (for a reload or another world).
    void ForgetChecks();

    // Removes the cached copies of `objectPath`. Transfers of it that are under way start over.
    // False with `*error` set when the path is no web address or its folder cannot be removed.
    bool EmptyCache(const std::string& objectPath, std::string* error);

    DownloadProgress Progress() const;

    // The folder that holds the cached copies of `objectPath`, laid out as the object path
    // ("models/", "textures/"...); "" when it is no web address or no cache folder is known. It
    // may not exist yet.
    std::string CacheFilesFolder(const std::string& objectPath) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Downloader::Wait for the command-line tools: the progress is shown on `fd` (standard error) as
// TerminalProgress shows it, only while that is a terminal, and the line is cleared afterwards.
std::vector<FetchResult> WaitShowingProgress(Downloader& downloader, std::span<const uint64_t> tickets, int fd = 2);

}  // namespace pelorus
