// Noticing that the files shown changed.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

}  // namespace
}  // namespace pelorus
