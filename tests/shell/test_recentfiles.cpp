// The list of recently opened files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/atomicfile.h"
#include "platform/errorlog.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "shell/recentfiles.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Recent files

TEST(RecentFiles, ParseSkipsBlankRepeatedAndExcessLines) {
    std::string text = "/a.rwx\r\n\n/b.rwx\n/a.rwx\n";
    for (int i = 0; i < 12; ++i) text += "/f" + std::to_string(i) + ".rwx\n";
    const RecentFiles list = RecentFiles::Parse(text);
    ASSERT_EQ(list.Paths().size(), kRecentFileLimit);
    EXPECT_EQ(list.Paths()[0], "/a.rwx");
    EXPECT_EQ(list.Paths()[1], "/b.rwx");
    EXPECT_EQ(list.Paths()[2], "/f0.rwx");
    EXPECT_EQ(list.Paths().back(), "/f7.rwx");
    EXPECT_EQ(RecentFiles::Parse("/last-without-break").Paths(), std::vector<std::string>{"/last-without-break"});
}

TEST(RecentFiles, AddPutsNewestFirstWithoutRepeatsAndKeepsTen) {
    RecentFiles list;
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(list.Add("/f" + std::to_string(i)));
    ASSERT_EQ(list.Paths().size(), 10u);
    EXPECT_EQ(list.Paths().front(), "/f11");
    EXPECT_EQ(list.Paths().back(), "/f2");
    EXPECT_TRUE(list.Add("/f5"));
    EXPECT_EQ(list.Paths().front(), "/f5");
    EXPECT_EQ(std::count(list.Paths().begin(), list.Paths().end(), "/f5"), 1);
    EXPECT_EQ(list.Paths().size(), 10u);
    EXPECT_FALSE(list.Add("/f5"));  // already first
}

TEST(RecentFiles, PathsThatWouldBreakTheFileAreRefused) {
    RecentFiles list;
    EXPECT_FALSE(list.Add(""));
    EXPECT_FALSE(list.Add("/a\nb.rwx"));
    EXPECT_FALSE(list.Add("/a\rb.rwx"));
    EXPECT_FALSE(list.Add(std::string_view("/a\0b", 4)));
    EXPECT_TRUE(list.Paths().empty());
    EXPECT_EQ(RecentFiles::Parse(list.Text()).Paths(), list.Paths());
}

TEST(RecentFiles, SavedListReadsBackAndAFailedSaveKeepsTheOldFile) {
    TempDir dir;
    RecentFiles list;
    list.Add("/one.rwx");
    list.Add("/two words.txt");
    const std::string path = dir.Join("Recent.txt");
    ASSERT_TRUE(SaveRecentFiles(path, list, nullptr));
    EXPECT_EQ(LoadRecentFiles(path).Paths(), list.Paths());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "/two words.txt\n/one.rwx\n");

    std::string error;
    EXPECT_FALSE(SaveRecentFiles(dir.Join("missing/Recent.txt"), list, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(LoadRecentFiles(dir.Join("missing/Recent.txt")).Paths().empty());
    // Nothing but the list itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}), 1);
}

// The other settings files the viewer writes, linked elsewhere: read through the link, saved as
// files of their own, the linked file left as it was and the log told once.
TEST(RecentFiles, LinkedRecentAndTexturesPathFilesAreNeverWrittenThrough) {
    TempDir dir;
    const std::string elsewhere = dir.Write("userfiles/notes", "/kept.rwx\n");
    fs::create_directories(dir.Join("config"));
    for (const char* name : {"Recent.txt", "TexturesPath.txt"})
        ASSERT_EQ(::symlink("../userfiles/notes", dir.Join("config/" + std::string(name)).c_str()), 0);
    ErrorLog log;
    RecentFiles list = LoadRecentFiles(dir.Join("config/Recent.txt"));
    EXPECT_EQ(list.Paths(), std::vector<std::string>{"/kept.rwx"});
    list.Add("/new.rwx");
    std::string error;
    ASSERT_TRUE(SaveRecentFiles(dir.Join("config/Recent.txt"), list, &error, &log)) << error;
    ASSERT_TRUE(SaveRecentFiles(dir.Join("config/Recent.txt"), list, &error, &log)) << error;
    const std::vector<std::string> folders{"/textures"};
    ASSERT_TRUE(SaveTexturesPath(dir.Join("config"), folders, &error, &log)) << error;

    std::string text;
    ASSERT_TRUE(ReadWholeFile(elsewhere, text));
    EXPECT_EQ(text, "/kept.rwx\n");
    ASSERT_TRUE(ReadWholeFile(dir.Join("config/Recent.txt"), text));
    EXPECT_EQ(text, "/new.rwx\n/kept.rwx\n");
    for (const char* name : {"Recent.txt", "TexturesPath.txt"})
        EXPECT_FALSE(fs::is_symlink(dir.Join("config/" + std::string(name)))) << name;
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{ReplacedLinkLine(dir.Join("config/Recent.txt"), "../userfiles/notes"),
                                        ReplacedLinkLine(dir.Join("config/TexturesPath.txt"), "../userfiles/notes")}));
}

}  // namespace
}  // namespace pelorus
