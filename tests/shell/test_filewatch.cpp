// Noticing that the files shown changed.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <vector>

#include "shell/filewatch.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Noticing changed files

TEST(FileWatch, EachKindOfSaveIsNoticedOnce) {
    TempDir dir;
    const std::string path = dir.Write("m.rwx", "ModelBegin\n");
    ChangeWatch watch;
    watch.Watch({path});
    EXPECT_FALSE(watch.TakeChange());

    dir.Write("m.rwx", "ModelBegin\nModelEnd\n");  // written in place
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());

    // Written to a new file and renamed over the old one (same size and maybe the same time).
    const std::string fresh = dir.Write("m.rwx.new", "ModelBegin\nModelEnd\n");
    ASSERT_EQ(::rename(fresh.c_str(), path.c_str()), 0);
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());
}

TEST(FileWatch, AFileMissingForAMomentIsReportedWhenItIsBack) {
    TempDir dir;
    const std::string path = dir.Write("m.rwx", "one");
    ChangeWatch watch;
    watch.Watch({path});
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(watch.TakeChange());  // nothing to read now: keep showing what was read
    dir.Write("m.rwx", "two!");
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(ChangeWatch().TakeChange());  // watching nothing
}

TEST(FileWatch, ScriptsOfAnObjectMapAreWatchedToo) {
    ErrorLog log;
    TempDir dir;
    dir.Write("a.rwx", "ModelBegin\nModelEnd\n");
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    const auto a = std::make_unique<RWXObject>("A.RWX", 0, 0, 0, log, options);
    const auto again = std::make_unique<RWXObject>("a.rwx", 1, 0, 0, log, options);
    const RWXObject* objects[] = {a.get(), again.get(), nullptr};
    const std::vector<std::string> files = SourceFilesOf(dir.Join("map.txt"), objects);
    EXPECT_EQ(files, (std::vector<std::string>{dir.Path() + "/map.txt", dir.Path() + "/a.rwx"}));

    ChangeWatch watch;
    dir.Write("map.txt", "a.rwx 0 0 0\n");
    watch.Watch(files);
    dir.Write("a.rwx", "ModelBegin\nClumpBegin\nClumpEnd\nModelEnd\n");
    EXPECT_TRUE(watch.TakeChange());
}

// The window's timer, driven by hand: a change notification restarts it with DueIn, and when it
// fires the files are looked at if TakeDue says so. Returns the times of the looks.
std::vector<int64_t> LooksFor(const std::vector<int64_t>& changes, int64_t until) {
    ReloadSchedule schedule;
    std::vector<int64_t> looks;
    std::size_t next = 0;
    int64_t timer = -1;
    for (int64_t now = 0; now <= until; ++now) {
        for (; next < changes.size() && changes[next] == now; ++next) {
            schedule.Changed(now);
            timer = now + schedule.DueIn(now);
        }
        if (timer == now) {
            timer = -1;
            if (schedule.TakeDue(now)) looks.push_back(now);
        }
    }
    EXPECT_FALSE(schedule.Pending());
    return looks;
}

TEST(ReloadSchedule, AFileThatKeepsChangingIsStillShownAndItsLastWriteToo) {
    std::vector<int64_t> every200;
    for (int64_t t = 0; t <= 2000; t += 200) every200.push_back(t);
    const struct {
        const char* what;
        std::vector<int64_t> changes;
        std::vector<int64_t> looks;
    } cases[] = {
        {"one save", {100}, {350}},
        {"a save in two writes", {100, 150}, {400}},
        {"writes every 200 ms for 2 s", every200, {500, 1100, 1700, 2250}},
        {"two separate saves", {0, 1000}, {250, 1250}},
    };
    for (const auto& c : cases) EXPECT_EQ(LooksFor(c.changes, 4000), c.looks) << c.what;
}

TEST(ReloadSchedule, TimerDelaysNeverOverrunTheMaximumWaitOrGoNegative) {
    ReloadSchedule schedule;
    EXPECT_EQ(schedule.DueIn(0), -1) << "nothing pending";
    EXPECT_FALSE(schedule.TakeDue(0));
    schedule.Changed(1000);
    EXPECT_EQ(schedule.DueIn(1000), 250);
    schedule.Changed(1200);
    EXPECT_EQ(schedule.DueIn(1200), 250);
    schedule.Changed(1400);
    EXPECT_EQ(schedule.DueIn(1400), 100) << "half a second after the first change";
    EXPECT_EQ(schedule.DueIn(900), 100) << "a clock that went back counts as the last change";
    EXPECT_FALSE(schedule.TakeDue(1499));
    EXPECT_EQ(schedule.DueIn(2000), 0);
    EXPECT_TRUE(schedule.TakeDue(2000));
    EXPECT_FALSE(schedule.TakeDue(2000)) << "each burst is looked at once";

    schedule.Changed(std::numeric_limits<int64_t>::max() - 10);
    EXPECT_EQ(schedule.DueIn(std::numeric_limits<int64_t>::max() - 10), 10) << "no overflow";
    schedule.Cancel();
    EXPECT_FALSE(schedule.Pending());
}

}  // namespace
}  // namespace pelorus
