// Opening the place of an error line: the editor the environment names, run so that nothing of
// the file's name is read as shell words or options, else the desktop's default.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/editorlaunch.h"
#include "shell/objectinfo.h"

namespace pelorus {
namespace {

using Argv = std::vector<std::string>;

TEST(EditorLaunch, VisualComesBeforeEditorAndBlankOnesAreUnset) {
    const LogPlace place{"/m/a.rwx", {}, 12};
    const Argv vi = {"/bin/sh", "-c", "vi \"$@\"", "vi", "+12", "/m/a.rwx"};
    EXPECT_EQ(EditorLaunchFor(place, "vi", "nano").argv, vi);
    EXPECT_EQ(EditorLaunchFor(place, std::nullopt, "vi").argv, vi);
    EXPECT_EQ(EditorLaunchFor(place, " \t", "vi").argv, vi);
    EXPECT_EQ(EditorLaunchFor(place, "", "vi").argv, vi);
    // Neither: the desktop opens the file.
    EXPECT_EQ(EditorLaunchFor(place, std::nullopt, std::nullopt), (EditorLaunch{{}, "/m/a.rwx"}));
    EXPECT_EQ(EditorLaunchFor(place, "", "  "), (EditorLaunch{{}, "/m/a.rwx"}));
}

TEST(EditorLaunch, TheCommandKeepsItsWordsAndTheFileStaysOneArgument) {
    // An editor with arguments of its own runs as the shell reads it; the file is never part of
    // that command line, however it is named.
    const LogPlace place{"/m/it's $(rm -rf ~); a.rwx", {}, 3};
    EXPECT_EQ(
        EditorLaunchFor(place, "code --wait --goto", std::nullopt).argv,
        (Argv{"/bin/sh", "-c", "code --wait --goto \"$@\"", "code --wait --goto", "+3", "/m/it's $(rm -rf ~); a.rwx"}));
    // A name that reads as an option is given from the current folder.
    EXPECT_EQ(EditorLaunchFor(LogPlace{"-rf.rwx", {}, 1}, "vi", std::nullopt).argv.back(), "./-rf.rwx");
    EXPECT_EQ(EditorLaunchFor(LogPlace{"+5", {}, 1}, "vi", std::nullopt).argv.back(), "./+5");
}

TEST(EditorLaunch, PlacesWithoutALineOrInsideArchivesOrWithoutAFile) {
    EXPECT_EQ(EditorLaunchFor(LogPlace{"/m/a.rwx", {}, 0}, "vi", std::nullopt).argv,
              (Argv{"/bin/sh", "-c", "vi \"$@\"", "vi", "/m/a.rwx"}));
    // A script inside an archive cannot be edited there: the archive goes to the desktop.
    EXPECT_EQ(EditorLaunchFor(LogPlace{"/m/t.zip", "t.rwx", 4}, "vi", "vi"), (EditorLaunch{{}, "/m/t.zip"}));
    EXPECT_EQ(EditorLaunchFor(LogPlace{"", {}, 4}, "vi", "vi"), EditorLaunch{});
    EXPECT_EQ(EditorLaunchFor(LogPlace{}, std::nullopt, std::nullopt), EditorLaunch{});
}

TEST(EditorLaunch, ShortPlacesNameTheFileWithoutItsFolders) {
    EXPECT_EQ(ShortPlace(LogPlace{"/m/sub/a.rwx", {}, 12}), "a.rwx:12");
    EXPECT_EQ(ShortPlace(LogPlace{"/m/tree.zip", "parts/tree.rwx", 4}), "tree.zip:tree.rwx:4");
    EXPECT_EQ(ShortPlace(LogPlace{"/m/map.txt", {}, 0}), "map.txt");
    EXPECT_EQ(ShortPlace(LogPlace{"", {}, 9}), "");
}

TEST(ErrorsPlan, LogTextKnowsTheIndexOfItsFirstLine) {
    ErrorLog log;
    for (int i = 0; i < 5; ++i) log.Append("line " + std::to_string(i));
    const std::vector<LoadMark> marks{{0, "a", "t", false}, {3, "b", "t", false}};
    const ErrorsUpdate all = PlanErrorsUpdate(log, marks, {}, false);
    ASSERT_EQ(all.pieces.size(), 4u);
    EXPECT_EQ(all.pieces[1].firstLine, 0u);
    EXPECT_EQ(all.pieces[3].firstLine, 3u);
    log.Append("line 5");
    const ErrorsUpdate more = PlanErrorsUpdate(log, marks, all.shown, false);
    ASSERT_EQ(more.pieces.size(), 1u);
    EXPECT_EQ(more.pieces[0].firstLine, 5u);
}

}  // namespace
}  // namespace pelorus
