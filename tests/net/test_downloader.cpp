// Files of object paths on web servers, fetched from a server these tests start on 127.0.0.1:
// what is asked of the server and how often, what stands in when it fails, and what is never
// kept in the cache.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "net/diskcache.h"
#include "net/downloader.h"
#include "objectserver.h"
#include "platform/paths.h"
#include "testutil.h"

extern char** environ;

namespace pelorus {

void PrintTo(FetchStatus status, std::ostream* out) {
    static constexpr const char* kNames[] = {"fresh", "not modified", "downloaded", "offline", "not found", "failed"};
    *out << kNames[static_cast<int>(status)];
}

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int64_t kDay = 24 * 60 * 60;

// `size` bytes that differ for every `seed`.
std::string Content(int seed, std::size_t size) {
    std::string out(size, '\0');
    uint32_t state = 2166136261u ^ static_cast<uint32_t>(seed);
    for (char& c : out) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

std::string Read(const std::string& path) {
    std::string out;
    EXPECT_TRUE(ReadWholeFile(path, out)) << path;
    return out;
}

// Regular files below `folder`, by path relative to it.
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> out;
    if (!std::filesystem::exists(folder)) return out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            out[std::filesystem::relative(entry.path(), folder).string()] = Read(entry.path().string());
    return out;
}

class Downloads : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::NoProxies(); }

    void SetUp() override {
        server_ = std::make_unique<test::ObjectServer>(site_.Path(), logs_.Path());
        ASSERT_NE(server_->Port(), 0);
    }

    std::string Serve(std::string_view name, std::string_view content) const { return site_.Write(name, content); }
    std::string Served(std::string_view name) const { return Read(site_.Join(name)); }

    DownloaderOptions Options(milliseconds stall = milliseconds(20'000)) {
        DownloaderOptions options;
        options.cacheRoot = cache_.Path();
        options.limits.connectTimeout = milliseconds(5'000);
        options.limits.stallTimeout = stall;
        options.clock = [this] { return now_.load(); };
        return options;
    }

    // Asks for every name of `objectPath` at once and waits for all.
    std::vector<FetchResult> FetchAll(Downloader& downloader, const std::string& objectPath,
                                      const std::vector<std::string>& names, seconds refresh = kDefaultRefreshTime) {
        std::vector<uint64_t> tickets;
        for (const std::string& name : names) tickets.push_back(downloader.Request({objectPath, name, refresh}));
        return downloader.Wait(tickets);
    }

    // The cached files of `objectPath`, by name.
    std::map<std::string, std::string> CachedFiles(const std::string& objectPath) const {
        return FilesBelow(DiskCache(cache_.Path()).FilesOf(*ParseWebObjectPath(objectPath)));
    }

    int HitCount() const { return static_cast<int>(server_->Hits().size()); }

    test::TempDir site_, logs_, cache_;
    std::atomic<int64_t> now_{1'700'000'000};
    std::unique_ptr<test::ObjectServer> server_;
};

TEST_F(Downloads, EveryNameIsFetchedOnceHoweverManyAskForIt) {
    constexpr int kFiles = 24;
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        names.push_back("models/m" + std::to_string(i) + ".zip");
        Serve(names.back(), Content(i, 20'000 + i));
    }
    // Answers that take a while, so that the same names are asked for while they are on the way.
    const std::string objectPath = server_->Url("slow/100/");
    Downloader downloader(Options());
    std::vector<uint64_t> tickets;
    std::vector<std::string> asked;
    for (int round = 0; round < 5; ++round)
        for (const std::string& name : names) {
            asked.push_back(round % 2 ? ToSlashes(name) : "models\\" + name.substr(7));
            tickets.push_back(downloader.Request({objectPath, asked.back()}));
        }
    const std::vector<FetchResult> results = downloader.Wait(tickets);
    ASSERT_EQ(results.size(), tickets.size());
    uint64_t bytes = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const FetchResult& result = results[i];
        EXPECT_EQ(result.ticket, tickets[i]);
        EXPECT_EQ(result.name, asked[i]);  // each asker's own spelling
        ASSERT_TRUE(result.Usable()) << result.message;
        EXPECT_EQ(Read(result.file), Served(names[i % kFiles]));
        if (i < kFiles) bytes += Served(names[i]).size();
    }

    int mostAtOnce = 0;
    for (const test::ObjectServer::Hit& hit : server_->Hits()) mostAtOnce = std::max(mostAtOnce, hit.active);
    EXPECT_EQ(HitCount(), kFiles);
    for (const std::string& name : names) EXPECT_EQ(server_->CountOf("/slow/100/" + name), 1) << name;
    EXPECT_LE(mostAtOnce, 6);
    EXPECT_GE(mostAtOnce, 2);  // they did overlap

    const DownloadProgress progress = downloader.Progress();
    EXPECT_EQ(progress.wanted, kFiles);
    EXPECT_EQ(progress.done, kFiles);
    EXPECT_EQ(progress.bytes, bytes);

    // Later in the same run the answers are known.
    for (const FetchResult& again : FetchAll(downloader, objectPath, names, seconds(0)))
        EXPECT_EQ(again.status, FetchStatus::kFresh);
    EXPECT_EQ(HitCount(), kFiles);
}

TEST_F(Downloads, ACopyIsUsedWithoutAskingUntilItIsOlderThanTheRefreshTime) {
    const std::vector<std::string> names = {"models/tree.zip", "textures/bark.jpg", "rwx/rock.rwx"};
    for (std::size_t i = 0; i < names.size(); ++i) Serve(names[i], Content(static_cast<int>(i), 3000));
    const std::string objectPath = server_->Url();

    const int64_t start = now_;
    {
        Downloader first(Options());
        for (const FetchResult& result : FetchAll(first, objectPath, names))
            EXPECT_EQ(result.status, FetchStatus::kDownloaded) << result.message;
    }
    ASSERT_EQ(HitCount(), 3);
    const std::map<std::string, std::string> stored = CachedFiles(objectPath);
    ASSERT_EQ(stored.size(), 3u);

    // Reopened within the refresh time: nothing is asked.
    now_ = start + 6 * kDay;
    {
        Downloader reopened(Options());
        for (const FetchResult& result : FetchAll(reopened, objectPath, names))
            EXPECT_EQ(result.status, FetchStatus::kFresh) << result.message;
    }
    EXPECT_EQ(HitCount(), 3);

    // After it: one conditional request each; "not modified" keeps the copies.
    now_ = start + 8 * kDay;
    {
        Downloader later(Options());
        for (const FetchResult& result : FetchAll(later, objectPath, names)) {
            EXPECT_EQ(result.status, FetchStatus::kNotModified) << result.message;
            EXPECT_EQ(Read(result.file), Served(result.name));
        }
    }
    const std::vector<test::ObjectServer::Hit> hits = server_->Hits();
    ASSERT_EQ(hits.size(), 6u);
    for (std::size_t i = 3; i < hits.size(); ++i) {
        EXPECT_FALSE(hits[i].ifNoneMatch.empty()) << hits[i].path;
        EXPECT_FALSE(hits[i].ifModifiedSince.empty()) << hits[i].path;
    }
    EXPECT_EQ(CachedFiles(objectPath), stored);

    // "Not modified" restarted the clock.
    now_ = start + 14 * kDay;
    {
        Downloader again(Options());
        for (const FetchResult& result : FetchAll(again, objectPath, names))
            EXPECT_EQ(result.status, FetchStatus::kFresh) << result.message;
        // A refresh time of zero asks every run, conditionally.
        for (const FetchResult& result : FetchAll(again, objectPath, {"models/tree.zip"}, seconds(0)))
            EXPECT_EQ(result.status, FetchStatus::kFresh);  // already answered in this run
        again.ForgetChecks();
        for (const FetchResult& result : FetchAll(again, objectPath, {"models/tree.zip"}, seconds(0)))
            EXPECT_EQ(result.status, FetchStatus::kNotModified);
    }
    EXPECT_EQ(HitCount(), 7);
    EXPECT_FALSE(server_->Hits().back().ifNoneMatch.empty());

    // A file changed on the server replaces the copy.
    Serve("models/tree.zip", "a new tree");
    now_ = start + 30 * kDay;
    Downloader changed(Options());
    const FetchResult tree = changed.Fetch({objectPath, "models/tree.zip"});
    EXPECT_EQ(tree.status, FetchStatus::kDownloaded);
    EXPECT_EQ(Read(tree.file), "a new tree");
}

TEST_F(Downloads, WhenTheServerCannotBeReachedTheCachedCopiesStandIn) {
    Serve("models/tree.zip", "tree");
    Serve("models/rock.zip", "rock");
    const std::string objectPath = server_->Url();
    {
        Downloader first(Options());
        ASSERT_EQ(first.Fetch({objectPath, "models/tree.zip"}).status, FetchStatus::kDownloaded);
    }
    server_->Stop();

    Downloader offline(Options());
    const std::vector<FetchResult> results =
        FetchAll(offline, objectPath, {"models/tree.zip", "models/rock.zip"}, seconds(0));
    EXPECT_EQ(results[0].status, FetchStatus::kOffline);
    EXPECT_EQ(Read(results[0].file), "tree");
    EXPECT_NE(results[0].message.find("cannot reach"), std::string::npos) << results[0].message;
    EXPECT_EQ(results[1].status, FetchStatus::kFailed);
    EXPECT_FALSE(results[1].Usable());
    EXPECT_NE(results[1].message.find(objectPath + "models/rock.zip"), std::string::npos) << results[1].message;
    // The rest of the run does not try again.
    EXPECT_EQ(offline.Fetch({objectPath, "models/tree.zip", seconds(0)}).status, FetchStatus::kOffline);
}

TEST_F(Downloads, AFailingServerLeavesTheCachedCopyInPlace) {
    Serve("models/tree.zip", "tree");
    const std::string objectPath = server_->Url();
    Downloader downloader(Options());
    ASSERT_EQ(downloader.Fetch({objectPath, "models/tree.zip"}).status, FetchStatus::kDownloaded);

    for (const std::string how : {"500", "drop", "403"}) {
        Serve("models/tree.zip.status", how);
        downloader.ForgetChecks();
        const FetchResult result = downloader.Fetch({objectPath, "models/tree.zip", seconds(0)});
        EXPECT_EQ(result.status, FetchStatus::kOffline) << how;
        EXPECT_EQ(Read(result.file), "tree") << how;
        EXPECT_FALSE(result.message.empty());
    }
    EXPECT_EQ(CachedFiles(objectPath), (std::map<std::string, std::string>{{"models/tree.zip", "tree"}}));
}

TEST_F(Downloads, AMissingFileIsToldOnceAndItsCopyDropped) {
    Serve("models/tree.zip", "tree");
    const std::string objectPath = server_->Url();
    Downloader downloader(Options());
    const std::vector<FetchResult> missing =
        FetchAll(downloader, objectPath, {"models/ghost.zip", "models\\ghost.zip", "models/ghost.zip"});
    int told = 0;
    for (const FetchResult& result : missing) {
        EXPECT_EQ(result.status, FetchStatus::kNotFound);
        EXPECT_FALSE(result.Usable());
        told += !result.repeat;
    }
    EXPECT_EQ(told, 1);  // the caller's error line is written once
    EXPECT_EQ(server_->CountOf("/models/ghost.zip"), 1);
    const FetchResult later = downloader.Fetch({objectPath, "models/ghost.zip"});
    EXPECT_EQ(later.status, FetchStatus::kNotFound);
    EXPECT_TRUE(later.repeat);
    EXPECT_EQ(server_->CountOf("/models/ghost.zip"), 1);

    // A file the server no longer has is no longer offered from the cache, and the error page is
    // never taken for it.
    ASSERT_EQ(downloader.Fetch({objectPath, "models/tree.zip"}).status, FetchStatus::kDownloaded);
    std::filesystem::remove(site_.Join("models/tree.zip"));
    downloader.ForgetChecks();
    EXPECT_EQ(downloader.Fetch({objectPath, "models/tree.zip", seconds(0)}).status, FetchStatus::kNotFound);
    EXPECT_TRUE(CachedFiles(objectPath).empty());
}

TEST_F(Downloads, NamesThatLeaveTheObjectPathAreRefusedBeforeAnyRequest) {
    Serve("secret.zip", "secret");
    Serve("objects/textures/a b%.jpg", "odd but fine");
    const std::string objectPath = server_->Url("objects/");
    Downloader downloader(Options());
    const std::vector<std::string> names = {
        "../secret.zip", "%2e%2e/secret.zip", "models/.%2E/.%2e/secret.zip", "models\\..\\..\\secret.zip",
        "/secret.zip",   "models/a%00.zip"};
    for (const FetchResult& result : FetchAll(downloader, objectPath, names)) {
        EXPECT_EQ(result.status, FetchStatus::kFailed) << result.name;
        EXPECT_NE(result.message.find("refusing"), std::string::npos) << result.message;
    }
    const FetchResult badPath = downloader.Fetch({"ftp://127.0.0.1/objects/", "models/tree.zip"});
    EXPECT_EQ(badPath.status, FetchStatus::kFailed);
    EXPECT_EQ(HitCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(cache_.Join("secret.zip")));

    // A name that only looks odd is asked for as written.
    const FetchResult odd = downloader.Fetch({objectPath, "textures/a b%.jpg"});
    ASSERT_EQ(odd.status, FetchStatus::kDownloaded) << odd.message;
    EXPECT_EQ(Read(odd.file), "odd but fine");
    EXPECT_EQ(server_->CountOf("/objects/textures/a%20b%25.jpg"), 1);
}

TEST_F(Downloads, RedirectsAreFollowedFiveTimesAndOnlyToTheWeb) {
    Serve("models/tree.zip", "tree");
    Downloader downloader(Options());
    const FetchResult five = downloader.Fetch({server_->Url("redirect/5/"), "models/tree.zip"});
    EXPECT_EQ(five.status, FetchStatus::kDownloaded) << five.message;
    EXPECT_EQ(Read(five.file), "tree");

    for (const std::string prefix : {"redirect/6/", "to/ftp/", "to/file/", "to/gopher/"}) {
        const FetchResult refused = downloader.Fetch({server_->Url(prefix), "models/tree.zip"});
        EXPECT_EQ(refused.status, FetchStatus::kFailed) << prefix;
        EXPECT_FALSE(refused.message.empty());
        EXPECT_TRUE(CachedFiles(server_->Url(prefix)).empty()) << prefix;
    }
    EXPECT_EQ(server_->CountOf("/redirect/0/models/tree.zip"), 1);  // the sixth redirect was not followed
}

TEST_F(Downloads, TransfersThatStallOrBreakEndWithoutLeavingAFile) {
    const std::string tree = Content(7, 40);
    Serve("models/tree.zip", tree);
    Downloader downloader(Options(milliseconds(400)));
    for (const std::string prefix : {"stall/", "hold/", "drop/"}) {
        const auto started = std::chrono::steady_clock::now();
        const FetchResult result = downloader.Fetch({server_->Url(prefix), "models/tree.zip"});
        EXPECT_EQ(result.status, FetchStatus::kFailed) << prefix;
        EXPECT_LT(std::chrono::steady_clock::now() - started, seconds(15)) << prefix;
        EXPECT_TRUE(CachedFiles(server_->Url(prefix)).empty()) << prefix << ": a half file (or its temporary) was left";
    }
    // A slow transfer that keeps receiving is no stalled one: 40 bytes, one every 30 ms.
    const FetchResult slow = downloader.Fetch({server_->Url("trickle/30/"), "models/tree.zip"});
    EXPECT_EQ(slow.status, FetchStatus::kDownloaded) << slow.message;
    EXPECT_EQ(Read(slow.file), tree);
}

TEST_F(Downloads, FilesAboveTheSizeLimitAreNotKept) {
    Serve("textures/huge.jpg", Content(1, 50'000));
    Downloader downloader(Options());
    // Told in advance (Content-Length) and found while receiving (no length given).
    for (const std::string prefix : {"", "nolength/"}) {
        const FetchResult result = downloader.Fetch({server_->Url(prefix), "textures/huge.jpg", seconds(0), 10'000});
        EXPECT_EQ(result.status, FetchStatus::kFailed) << prefix;
        EXPECT_TRUE(CachedFiles(server_->Url(prefix)).empty()) << prefix;
    }
}

TEST_F(Downloads, CancelledRequestsGetNoResultAndFreeTheirPlace) {
    Serve("models/held.zip", "held");
    Serve("models/tree.zip", "tree");
    DownloaderOptions options = Options();
    options.limits.transfersPerServer = 1;
    std::atomic<int> wakeUps{0};
    std::atomic<bool> wokenOnCallersThread{false};
    const std::thread::id caller = std::this_thread::get_id();
    options.onResult = [&] {
        ++wakeUps;
        if (std::this_thread::get_id() == caller) wokenOnCallersThread = true;
    };
    Downloader downloader(options);

    // The server never answers this one; asking does not wait for it.
    const uint64_t held = downloader.Request({server_->Url("hold/"), "models/held.zip"});
    const uint64_t heldToo = downloader.Request({server_->Url("hold/"), "models/held.zip"});
    for (int waited = 0; HitCount() == 0; ++waited) {
        ASSERT_LT(waited, 2000) << "the request never reached the server";
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_TRUE(downloader.TakeFinished().empty());
    EXPECT_TRUE(downloader.Progress().Active());

    // While it holds the only place for the server, nothing else moves; once both who wanted it
    // are gone, its transfer ends and the next one goes through.
    const uint64_t tree = downloader.Request({server_->Url(), "models/tree.zip"});
    const uint64_t both[] = {held, heldToo};
    downloader.Cancel(both);
    const std::vector<FetchResult> results = downloader.Wait(std::span(&tree, 1));
    EXPECT_EQ(results[0].status, FetchStatus::kDownloaded) << results[0].message;
    EXPECT_TRUE(downloader.TakeFinished().empty());  // nothing for the cancelled ones
    EXPECT_EQ(server_->CountOf("/hold/models/held.zip"), 1);
    EXPECT_FALSE(downloader.Progress().Active());
    EXPECT_TRUE(CachedFiles(server_->Url("hold/")).empty());

    // Results wait in the queue for the caller's thread; the wake-up comes from the other one.
    const uint64_t queued = downloader.Request({server_->Url(), "models/tree.zip"});
    std::vector<FetchResult> taken;
    while (taken.empty()) {
        std::this_thread::sleep_for(milliseconds(5));
        taken = downloader.TakeFinished();
    }
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].ticket, queued);
    EXPECT_EQ(taken[0].status, FetchStatus::kFresh);
    EXPECT_GE(wakeUps.load(), 2);
    EXPECT_FALSE(wokenOnCallersThread);
}

// A load that is given up stops waiting for a server that never answers, keeps the results
// already in and leaves nothing of the abandoned transfer in the cache.
TEST_F(Downloads, AWaitStoppedFromAnotherThreadReturnsWithoutTheFilesNotIn) {
    Serve("models/held.zip", "held");
    Serve("models/tree.zip", "tree");
    Downloader downloader(Options());
    const uint64_t tree = downloader.Request({server_->Url(), "models/tree.zip"});
    ASSERT_EQ(downloader.Wait(std::span(&tree, 1)).front().status, FetchStatus::kDownloaded);
    const uint64_t tickets[] = {downloader.Request({server_->Url(), "models/tree.zip"}),
                                downloader.Request({server_->Url("hold/"), "models/held.zip"})};
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        while (server_->CountOf("/hold/models/held.zip") == 0) std::this_thread::sleep_for(milliseconds(5));
        stop = true;
    });
    int told = 0;
    const std::vector<FetchResult> results = downloader.Wait(
        tickets, [&](const DownloadProgress&) { ++told; }, &stop);
    stopper.join();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].status, FetchStatus::kFresh);
    EXPECT_EQ(results[1].status, FetchStatus::kFailed);
    EXPECT_FALSE(results[1].Usable());
    EXPECT_GE(told, 1);
    EXPECT_TRUE(downloader.TakeFinished().empty());
    EXPECT_TRUE(CachedFiles(server_->Url("hold/")).empty());
    // A stop flag already set waits for nothing.
    const uint64_t again = downloader.Request({server_->Url("hold/"), "models/held.zip"});
    EXPECT_EQ(downloader.Wait(std::span(&again, 1), {}, &stop).front().status, FetchStatus::kFailed);
}

// Waiting for any of several returns with those in and leaves a slow one to come later.
TEST_F(Downloads, WaitingForAnyReturnsThoseInAndLeavesTheRestComing) {
    Serve("models/tree.zip", "tree");
    Serve("models/rock.zip", "rock");
    Downloader downloader(Options());
    const uint64_t tickets[] = {downloader.Request({server_->Url("slow/300/"), "models/rock.zip"}),
                                downloader.Request({server_->Url(), "models/tree.zip"})};
    std::vector<FetchResult> first = downloader.WaitAny(tickets);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].ticket, tickets[1]);
    EXPECT_EQ(first[0].status, FetchStatus::kDownloaded);
    const std::vector<FetchResult> rest = downloader.WaitAny(std::span(tickets, 1));
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].status, FetchStatus::kDownloaded);
    EXPECT_TRUE(downloader.WaitAny({}).empty());
    EXPECT_TRUE(downloader.TakeFinished().empty());
}

TEST_F(Downloads, EmptyingTheCacheOfOneObjectPathFetchesItsFilesAgain) {
    Serve("models/tree.zip", "tree");
    const std::string mars = server_->Url();
    const std::string moon = server_->Url("plain/");
    Downloader downloader(Options());
    ASSERT_EQ(downloader.Fetch({mars, "models/tree.zip"}).status, FetchStatus::kDownloaded);
    ASSERT_EQ(downloader.Fetch({moon, "models/tree.zip"}).status, FetchStatus::kDownloaded);

    std::string why;
    ASSERT_TRUE(downloader.EmptyCache(mars, &why)) << why;
    EXPECT_TRUE(CachedFiles(mars).empty());
    EXPECT_EQ(CachedFiles(moon).size(), 1u);
    const FetchResult again = downloader.Fetch({mars, "models/tree.zip"});
    EXPECT_EQ(again.status, FetchStatus::kDownloaded);
    EXPECT_EQ(Read(again.file), "tree");
    EXPECT_EQ(downloader.Fetch({moon, "models/tree.zip"}).status, FetchStatus::kFresh);
    EXPECT_FALSE(downloader.EmptyCache("C:\\objects\\", &why));
}

TEST_F(Downloads, TwoProcessesShareTheCacheWithoutCorruptingIt) {
    // Files without validators are fetched whole every time, so both processes keep replacing the
    // same copies while the other reads them.
    std::vector<std::string> names;
    for (int i = 0; i < 16; ++i) {
        names.push_back((i % 2 ? "models/m" : "textures/t") + std::to_string(i) + (i % 2 ? ".zip" : ".jpg"));
        Serve(names.back(), Content(100 + i, 150'000 + 1000 * i));
    }
    const std::string objectPath = server_->Url("plain/");
    std::vector<std::string> args = {PELORUS_FETCHTOOL, cache_.Path(), objectPath, site_.Path(), "3"};
    args.insert(args.end(), names.begin(), names.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t children[2];
    for (pid_t& child : children) ASSERT_EQ(::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a process was given a broken copy";
    }
    EXPECT_EQ(HitCount(), 2 * 3 * 16);

    // One whole copy of each file, nothing half-written beside them.
    std::map<std::string, std::string> expected;
    for (const std::string& name : names) expected[name] = Served(name);
    EXPECT_EQ(CachedFiles(objectPath), expected);
}

}  // namespace
}  // namespace pelorus
