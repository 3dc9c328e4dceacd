#include "net/downloader.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "net/diskcache.h"
#include "net/webaddress.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/textsafety.h"
#include "platform/version.h"

namespace pelorus {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int64_t SystemSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Quoted(std::string_view text) {
    return "\"" + EscapeForTerminal(BoundedQuote(text)) + "\"";
}

std::string DurationText(milliseconds time) {
    const auto ms = time.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A header of the last response of `easy`, "" when it has none or it holds control bytes.
std::string ResponseHeader(CURL* easy, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header || !header->value) return {};
    std::string value(header->value);
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
    return value;
}

// Transfers that end this way mean the server cannot be reached at all.
bool MeansUnreachable(CURLcode code) {
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_COULDNT_CONNECT ||
           code == CURLE_OPERATION_TIMEDOUT;
}

}  // namespace

struct Downloader::Impl {
    // One name of one object path, asked of the server once for every ticket waiting for it.
    struct Job {
        Impl* owner = nullptr;
        std::string key;
        WebObjectPath path;
        std::string name;  // as SafeObjectName gives it
        std::string url;
        FileRequest request;  // the first request's limits
        struct Waiter {
            uint64_t ticket;
            std::string objectPath, name;  // each ticket's result keeps the spelling it asked with
        };
        std::vector<Waiter> waiters;
        std::optional<CachedCopy> cached;
        bool counted = false;  // among the progress's wanted files
        CURL* easy = nullptr;
        curl_slist* headers = nullptr;
        char curlError[CURL_ERROR_SIZE] = {};
        std::unique_ptr<AtomicFileWriter> writer;
        std::string failure;  // why the transfer was ended from this side
        uint64_t received = 0;
        SteadyClock::time_point lastActivity{};

        ~Job() { Stop(); }
        void Stop() {
            if (easy) {
                curl_multi_remove_handle(owner->multi, easy);
                curl_easy_cleanup(easy);
                easy = nullptr;
                --owner->servers[path.server].running;
            }
            if (headers) curl_slist_free_all(headers);
            headers = nullptr;
            writer.reset();
            failure.clear();
            received = 0;
            curlError[0] = 0;
        }
    };

    struct Server {
        int running = 0;
        std::deque<std::string> waiting;  // job keys; a key whose job is gone or running is skipped
    };

    // What one name came to in this run.
    struct Answer {
        FetchStatus status;
        std::string file;
        std::string message;
    };

    struct Command {
        enum Kind { kRequest, kCancel, kCancelAll, kForget, kEmpty } kind = kRequest;
        uint64_t ticket = 0;
        FileRequest request;
        std::vector<uint64_t> tickets;
        WebObjectPath path;
        std::shared_ptr<std::promise<std::string>> emptied;  // "" when the cache was emptied
    };

    explicit Impl(DownloaderOptions o) : options(std::move(o)), cache(options.cacheRoot) {
        if (!options.clock) options.clock = SystemSeconds;
        InitCurlOnce();
        multi = curl_multi_init();
        if (!multi) throw std::bad_alloc();
        thread = std::thread([this] { Run(); });
    }

    ~Impl() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        curl_multi_wakeup(multi);
        thread.join();
        curl_multi_cleanup(multi);
    }

    // ---- Set when the downloader is made, then only read (curl_multi_wakeup may be called from
    // any thread).
    DownloaderOptions options;
    DiskCache cache;
    CURLM* multi = nullptr;
    std::thread thread;

    // ---- Shared between the callers and the transfer thread, under `mutex`.
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<Command> commands;
    std::deque<FetchResult> finished;
    std::unordered_set<uint64_t> pending;  // given out, neither delivered nor cancelled
    DownloadProgress published;
    uint64_t nextTicket = 1;
    bool stop = false;

    Downloader* owner = nullptr;
    std::vector<FetchResult> WaitFor(std::span<const uint64_t> tickets,
                                     const std::function<void(const DownloadProgress&)>& onProgress,
                                     const std::atomic<bool>* stopFlag, bool any);

    void Post(Command command) {
        {
            std::lock_guard lock(mutex);
            commands.push_back(std::move(command));
        }
        curl_multi_wakeup(multi);
    }

    // ---- The transfer thread's own.
    std::unordered_map<std::string, std::unique_ptr<Job>> jobs;
    std::unordered_map<uint64_t, std::string> jobOfTicket;
    std::map<std::string, Server> servers;
    std::unordered_map<std::string, Answer> answers;
    std::unordered_map<std::string, std::string> unreachable;  // server -> why
    std::unordered_set<std::string> tidiedFolders;
    DownloadProgress progress;

    void Run() {
        while (true) {
            std::vector<Command> todo;
            {
                std::lock_guard lock(mutex);
                if (stop) break;
                todo.swap(commands);
            }
            for (Command& command : todo) Handle(command);
            StartWaiting();
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                Job* job = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &job);
                if (job) Complete(*job, message->data.result);
            }
            EndStalled();
            StartWaiting();
            Publish();
            curl_multi_poll(multi, nullptr, 0, PollInterval(), nullptr);
        }
        jobs.clear();
        jobOfTicket.clear();
    }

    int PollInterval() const {
        if (jobs.empty()) return 1000;
        const auto quarter = options.limits.stallTimeout.count() / 4;
        return static_cast<int>(std::clamp<int64_t>(quarter, 5, 250));
    }

    void Publish() {
        {
            std::lock_guard lock(mutex);
            published = progress;
        }
        changed.notify_all();
    }

    void Deliver(std::vector<FetchResult> results) {
        bool any = false;
        {
            std::lock_guard lock(mutex);
            for (FetchResult& result : results) {
                if (pending.erase(result.ticket) == 0) continue;  // cancelled meanwhile
                finished.push_back(std::move(result));
                any = true;
            }
            published = progress;
        }
        changed.notify_all();
        if (any && options.onResult) options.onResult();
    }

    void DeliverOne(uint64_t ticket, const FileRequest& request, FetchStatus status, std::string file,
                    std::string message, bool repeat = false) {
        std::vector<FetchResult> one(1);
        one[0] =
            FetchResult{ticket, status, request.objectPath, request.name, std::move(file), std::move(message), repeat};
        Deliver(std::move(one));
    }

    void Handle(Command& command) {
        switch (command.kind) {
            case Command::kRequest:
                return Ask(command.ticket, command.request);
            case Command::kCancel:
                return Drop(command.tickets);
            case Command::kCancelAll: {
                std::vector<uint64_t> all;
                for (const auto& [ticket, key] : jobOfTicket) all.push_back(ticket);
                return Drop(all);
            }
            case Command::kForget:
                answers.clear();
                unreachable.clear();
                tidiedFolders.clear();
                return;
            case Command::kEmpty:
                return Empty(command.path, *command.emptied);
        }
    }

    void Ask(uint64_t ticket, const FileRequest& request) {
        std::string why;
        const std::optional<WebObjectPath> path = ParseWebObjectPath(request.objectPath, &why);
        if (!path)
            return DeliverOne(ticket, request, FetchStatus::kFailed, {},
                              "cannot use the object path " + Quoted(request.objectPath) + ": " + why);
        const std::optional<std::string> name = SafeObjectName(request.name, &why);
        if (!name)
            return DeliverOne(ticket, request, FetchStatus::kFailed, {},
                              "refusing the name " + Quoted(request.name) + " of " + path->address + ": " + why);
        if (options.cacheRoot.empty())
            return DeliverOne(ticket, request, FetchStatus::kFailed, {},
                              "cannot fetch " + Quoted(request.name) + " of " + path->address + ": no cache folder");
        const std::string key = path->address + "\n" + *name;

        if (const auto running = jobs.find(key); running != jobs.end()) {
            running->second->waiters.push_back({ticket, request.objectPath, request.name});
            jobOfTicket[ticket] = key;
            return;
        }
        if (const auto known = answers.find(key); known != answers.end()) {
            const Answer& answer = known->second;
            if (answer.file.empty() || IsRegularFile(answer.file)) {
                const bool confirmed =
                    answer.status == FetchStatus::kDownloaded || answer.status == FetchStatus::kNotModified;
                return DeliverOne(ticket, request, confirmed ? FetchStatus::kFresh : answer.status, answer.file,
                                  answer.message, true);
            }
            answers.erase(known);  // the copy went (the cache was emptied by another process)
        }

        auto job = std::make_unique<Job>();
        job->owner = this;
        job->key = key;
        job->path = *path;
        job->name = *name;
        job->url = AddressOf(*path, *name);
        job->request = request;
        job->waiters.push_back({ticket, request.objectPath, request.name});
        job->cached = cache.Find(*path, *name);
        jobOfTicket[ticket] = key;
        Job& added = *(jobs[key] = std::move(job));

        if (added.cached && added.cached->described) {
            const int64_t age = options.clock() - added.cached->checkedAt;
            if (age >= 0 && age < request.refreshTime.count())
                return Finish(added, FetchStatus::kFresh, added.cached->file, {});
        }
        if (const auto down = unreachable.find(path->server); down != unreachable.end())
            return Fail(added, "cannot reach " + Quoted(added.url) + ": " + down->second);
        Queue(added, false);
    }

    void Queue(Job& job, bool first) {
        if (!job.counted) {
            if (!progress.Active()) progress = {};
            ++progress.wanted;
            job.counted = true;
        }
        auto& waiting = servers[job.path.server].waiting;
        if (first)
            waiting.push_front(job.key);
        else
            waiting.push_back(job.key);
    }

    void StartWaiting() {
        for (auto& [server, state] : servers) {
            while (state.running < std::max(1, options.limits.transfersPerServer) && !state.waiting.empty()) {
                const std::string key = std::move(state.waiting.front());
                state.waiting.pop_front();
                const auto found = jobs.find(key);
                if (found == jobs.end() || found->second->easy) continue;
                Job& job = *found->second;
                if (const auto down = unreachable.find(server); down != unreachable.end()) {
                    Fail(job, "cannot reach " + Quoted(job.url) + ": " + down->second);
                    continue;
                }
                Start(job);
            }
        }
    }

    void Start(Job& job) {
        job.easy = curl_easy_init();
        if (!job.easy) return Fail(job, "cannot fetch " + Quoted(job.url) + ": out of memory");
        CURL* easy = job.easy;
        ++servers[job.path.server].running;
        const std::string agent = "Pelorus/" + std::string(kProgramVersion);
        curl_easy_setopt(easy, CURLOPT_URL, job.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &job);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, job.curlError);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(std::max(0, options.limits.maxRedirects)));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.limits.connectTimeout.count()));
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(std::min<uint64_t>(job.request.maxBytes, uint64_t{INT64_MAX})));
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &job);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &job);
        if (job.cached && job.cached->described) {
            const Validators& validators = job.cached->validators;
            if (!validators.etag.empty())
                job.headers = curl_slist_append(job.headers, ("If-None-Match: " + validators.etag).c_str());
            if (!validators.lastModified.empty())
                job.headers = curl_slist_append(job.headers, ("If-Modified-Since: " + validators.lastModified).c_str());
            if (job.headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, job.headers);
        }
        job.lastActivity = SteadyClock::now();
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) Fail(job, "cannot fetch " + Quoted(job.url));
    }

    static size_t OnHeader(char*, size_t size, size_t count, void* user) {
        static_cast<Job*>(user)->lastActivity = SteadyClock::now();
        return size * count;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user) {
        Job& job = *static_cast<Job*>(user);
        Impl& self = *job.owner;
        const size_t bytes = size * count;
        job.lastActivity = SteadyClock::now();
        job.received += bytes;
        self.progress.bytes += bytes;
        if (job.received > job.request.maxBytes) {
            job.failure = "cannot fetch " + Quoted(job.url) + ": it is larger than the limit of " +
                          std::to_string(job.request.maxBytes) + " bytes";
            return 0;
        }
        long code = 0;
        curl_easy_getinfo(job.easy, CURLINFO_RESPONSE_CODE, &code);
        if (code != 200) return bytes;  // an error page, not the file
        if (!job.writer && !self.BeginCopy(job)) return 0;
        if (!job.writer->Write(std::string_view(data, bytes))) {
            std::string why;
            job.writer->Commit(&why);  // gives the reason and removes the temporary file
            job.writer.reset();
            job.failure = "cannot store " + Quoted(job.url) + " in the cache: " + why;
            return 0;
        }
        return bytes;
    }

    bool BeginCopy(Job& job) {
        std::string why;
        if (!cache.Prepare(job.path, job.name, &why)) {
            job.failure = "cannot store " + Quoted(job.url) + " in the cache: " + why;
            return false;
        }
        const std::string copy = cache.CopyOf(job.path, job.name);
        const std::string folder(ParentPart(copy));
        // Downloads killed half-way leave their temporary files behind; clear them once a run.
        if (tidiedFolders.insert(folder).second)
            RemoveLeftoverTemporaries(folder, [](std::string_view) { return true; });
        job.writer = std::make_unique<AtomicFileWriter>();
        job.writer->SetDurable(false);  // see DiskCache::Record
        if (!job.writer->Begin(copy, &why)) {
            job.writer.reset();
            job.failure = "cannot store " + Quoted(job.url) + " in the cache: " + why;
            return false;
        }
        return true;
    }

    void EndStalled() {
        const auto now = SteadyClock::now();
        std::vector<Job*> stalled;
        for (auto& [key, job] : jobs)
            if (job->easy && now - job->lastActivity > options.limits.stallTimeout) stalled.push_back(job.get());
        for (Job* job : stalled) {
            job->failure = "cannot fetch " + Quoted(job->url) + ": nothing was received for " +
                           DurationText(options.limits.stallTimeout);
            Complete(*job, CURLE_OK);
        }
    }

    void Complete(Job& job, CURLcode code) {
        long status = 0;
        curl_easy_getinfo(job.easy, CURLINFO_RESPONSE_CODE, &status);
        if (!job.failure.empty()) return Fail(job, job.failure);
        if (code != CURLE_OK) {
            const std::string detail = job.curlError[0] ? job.curlError : curl_easy_strerror(code);
            if (MeansUnreachable(code)) {
                unreachable.emplace(job.path.server, detail);
                return Fail(job, "cannot reach " + Quoted(job.url) + ": " + detail);
            }
            return Fail(job, "cannot fetch " + Quoted(job.url) + ": " + detail);
        }
        const int64_t now = options.clock();
        if (status == 200) {
            if (!job.writer && !BeginCopy(job)) return Fail(job, job.failure);  // an empty file
            std::string why;
            const bool stored = job.writer->Commit(&why);
            job.writer.reset();
            if (!stored) return Fail(job, "cannot store " + Quoted(job.url) + " in the cache: " + why);
            const Validators validators{ResponseHeader(job.easy, "ETag"), ResponseHeader(job.easy, "Last-Modified")};
            // Without its record the copy is still whole; it is only asked for again next time.
            cache.Record(job.path, job.name, validators, now, nullptr);
            return Finish(job, FetchStatus::kDownloaded, cache.CopyOf(job.path, job.name), {});
        }
        if (status == 304 && job.cached && job.cached->described) {
            Validators validators = job.cached->validators;
            if (std::string etag = ResponseHeader(job.easy, "ETag"); !etag.empty()) validators.etag = std::move(etag);
            if (std::string date = ResponseHeader(job.easy, "Last-Modified"); !date.empty())
                validators.lastModified = std::move(date);
            cache.Record(job.path, job.name, validators, now, nullptr);
            return Finish(job, FetchStatus::kNotModified, job.cached->file, {});
        }
        if (status == 404 || status == 410) {
            cache.Forget(job.path, job.name);
            return Finish(job, FetchStatus::kNotFound, {},
                          Quoted(job.url) + " is not on the server (" + std::to_string(status) + ")");
        }
        Fail(job, "cannot fetch " + Quoted(job.url) + ": the server answered " + std::to_string(status));
    }

    // The transfer failed: the cached copy, when there is one, stands in.
    void Fail(Job& job, std::string message) {
        if (job.cached && IsRegularFile(job.cached->file))
            return Finish(job, FetchStatus::kOffline, job.cached->file, std::move(message));
        Finish(job, FetchStatus::kFailed, {}, std::move(message));
    }

    void Finish(Job& job, FetchStatus status, std::string file, std::string message) {
        if (status != FetchStatus::kFailed) answers[job.key] = Answer{status, file, message};
        if (job.counted) ++progress.done;
        std::vector<FetchResult> results;
        for (Job::Waiter& waiter : job.waiters) {
            jobOfTicket.erase(waiter.ticket);
            results.push_back(FetchResult{waiter.ticket, status, std::move(waiter.objectPath), std::move(waiter.name),
                                          file, message, !results.empty()});
        }
        const std::string key = job.key;
        jobs.erase(key);  // stops the transfer and frees the job
        Deliver(std::move(results));
    }

    // Tickets nobody waits for any more; transfers left without tickets end.
    void Drop(const std::vector<uint64_t>& tickets) {
        for (const uint64_t ticket : tickets) {
            const auto found = jobOfTicket.find(ticket);
            if (found == jobOfTicket.end()) continue;
            const auto job = jobs.find(found->second);
            jobOfTicket.erase(found);
            if (job == jobs.end()) continue;
            auto& waiters = job->second->waiters;
            std::erase_if(waiters, [&](const Job::Waiter& waiter) { return waiter.ticket == ticket; });
            if (!waiters.empty()) continue;
            if (job->second->counted) --progress.wanted;
            jobs.erase(job);
        }
    }

    void Empty(const WebObjectPath& path, std::promise<std::string>& emptied) {
        std::vector<Job*> restart;
        for (auto& [key, job] : jobs) {
            if (job->path.address != path.address) continue;
            job->cached.reset();
            if (job->easy) {
                job->Stop();
                restart.push_back(job.get());
            }
        }
        std::string why;
        const bool ok = cache.Empty(path, &why);
        std::erase_if(answers, [&](const auto& entry) { return entry.first.starts_with(path.address + "\n"); });
        for (Job* job : restart) Queue(*job, true);
        emptied.set_value(ok ? std::string() : why);
    }
};

Downloader::Downloader(DownloaderOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
    impl_->owner = this;
}

Downloader::~Downloader() = default;

uint64_t Downloader::Request(FileRequest request) {
    Impl::Command command;
    command.kind = Impl::Command::kRequest;
    {
        std::lock_guard lock(impl_->mutex);
        command.ticket = impl_->nextTicket++;
        impl_->pending.insert(command.ticket);
    }
    command.request = std::move(request);
    const uint64_t ticket = command.ticket;
    impl_->Post(std::move(command));
    return ticket;
}

std::vector<FetchResult> Downloader::TakeFinished() {
    std::lock_guard lock(impl_->mutex);
    std::vector<FetchResult> out(std::make_move_iterator(impl_->finished.begin()),
                                 std::make_move_iterator(impl_->finished.end()));
    impl_->finished.clear();
    return out;
}

std::vector<FetchResult> Downloader::Wait(std::span<const uint64_t> tickets,
                                          const std::function<void(const DownloadProgress&)>& onProgress,
                                          const std::atomic<bool>* stop) {
    return impl_->WaitFor(tickets, onProgress, stop, false);
}

std::vector<FetchResult> Downloader::WaitAny(std::span<const uint64_t> tickets,
                                             const std::function<void(const DownloadProgress&)>& onProgress,
                                             const std::atomic<bool>* stop) {
    return impl_->WaitFor(tickets, onProgress, stop, true);
}

std::vector<FetchResult> Downloader::Impl::WaitFor(std::span<const uint64_t> tickets,
                                                   const std::function<void(const DownloadProgress&)>& onProgress,
                                                   const std::atomic<bool>* stopFlag, bool any) {
    std::unique_lock lock(mutex);
    auto allIn = [&] {
        std::size_t in = 0;
        for (const uint64_t ticket : tickets)
            if (!pending.count(ticket)) ++in;
        return any ? in > 0 || tickets.empty() : in == tickets.size();
    };
    bool stoppedNow = false;
    const auto stopped = [&] { return stopFlag && stopFlag->load(std::memory_order_relaxed); };
    // Without a stop flag only progress needs waking for; with one, it is looked at more often.
    const milliseconds step(stopFlag ? 20 : 100);
    auto nextProgress = SteadyClock::now();
    while (!allIn()) {
        if (stopped()) {
            // Results already in are kept; the rest are not waited for.
            std::vector<uint64_t> left;
            for (const uint64_t ticket : tickets)
                if (pending.count(ticket)) left.push_back(ticket);
            lock.unlock();
            owner->Cancel(left);
            lock.lock();
            stoppedNow = true;
            break;
        }
        if (onProgress && SteadyClock::now() >= nextProgress) {
            nextProgress = SteadyClock::now() + milliseconds(100);
            const DownloadProgress now = published;
            lock.unlock();
            onProgress(now);
            lock.lock();
            if (allIn()) break;
        }
        changed.wait_for(lock, step);
    }
    std::vector<FetchResult> out;
    out.reserve(tickets.size());
    for (const uint64_t ticket : tickets) {
        // Waiting for any: those still coming are left to come.
        if (any && !stoppedNow && pending.count(ticket)) continue;
        const auto found =
            std::find_if(finished.begin(), finished.end(), [&](const FetchResult& r) { return r.ticket == ticket; });
        if (found == finished.end()) {
            FetchResult missing;
            missing.ticket = ticket;
            missing.message = "the request was cancelled";
            out.push_back(std::move(missing));
            continue;
        }
        out.push_back(std::move(*found));
        finished.erase(found);
    }
    return out;
}

FetchResult Downloader::Fetch(FileRequest request) {
    const uint64_t ticket = Request(std::move(request));
    return std::move(Wait(std::span(&ticket, 1)).front());
}

void Downloader::Cancel(std::span<const uint64_t> tickets) {
    Impl::Command command;
    command.kind = Impl::Command::kCancel;
    {
        std::lock_guard lock(impl_->mutex);
        for (const uint64_t ticket : tickets) impl_->pending.erase(ticket);
        std::erase_if(impl_->finished, [&](const FetchResult& result) {
            return std::find(tickets.begin(), tickets.end(), result.ticket) != tickets.end();
        });
    }
    command.tickets.assign(tickets.begin(), tickets.end());
    impl_->Post(std::move(command));
}

void Downloader::CancelAll() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->pending.clear();
        impl_->finished.clear();
    }
    Impl::Command command;
    command.kind = Impl::Command::kCancelAll;
    impl_->Post(std::move(command));
}

void Downloader::ForgetChecks() {
    Impl::Command command;
    command.kind = Impl::Command::kForget;
    impl_->Post(std::move(command));
}

bool Downloader::EmptyCache(const std::string& objectPath, std::string* error) {
    std::string why;
    std::optional<WebObjectPath> path = ParseWebObjectPath(objectPath, &why);
    if (!path) {
        if (error) *error = "cannot use the object path " + Quoted(objectPath) + ": " + why;
        return false;
    }
    Impl::Command command;
    command.kind = Impl::Command::kEmpty;
    command.path = std::move(*path);
    command.emptied = std::make_shared<std::promise<std::string>>();
    std::future<std::string> done = command.emptied->get_future();
    impl_->Post(std::move(command));
    why = done.get();
    if (!why.empty() && error) *error = why;
    return why.empty();
}

DownloadProgress Downloader::Progress() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->published;
}

std::string Downloader::CacheFilesFolder(const std::string& objectPath) const {
    const std::optional<WebObjectPath> path = ParseWebObjectPath(objectPath);
    if (!path || impl_->options.cacheRoot.empty()) return {};
    return impl_->cache.FilesOf(*path);
}

std::vector<FetchResult> WaitShowingProgress(Downloader& downloader, std::span<const uint64_t> tickets, int fd) {
    TerminalProgress line(fd);
    if (!line.Enabled()) return downloader.Wait(tickets);
    return downloader.Wait(tickets, [&line](const DownloadProgress& progress) { line.Show(progress); });
}

}  // namespace pelorus
