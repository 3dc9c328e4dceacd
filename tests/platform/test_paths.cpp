// Paths written for another file system: either separator, any letter case.

#include <gtest/gtest.h>

#include "platform/errorlog.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "testutil.h"

namespace pelorus {
namespace {

TEST(ResolvePath, MatchesEachMissingComponentWithoutRegardToCase) {
    test::TempDir dir;
    const std::string file = dir.Write("Models/Sub Dir/Chair.RWX", "x");
    EXPECT_EQ(ResolvePath(file), file);
    EXPECT_EQ(ResolvePath(dir.Path() + "/models/sub dir/chair.rwx"), file);
    EXPECT_EQ(ResolvePath(dir.Path() + "\\MODELS\\SUB DIR\\chair.rwx"), file);
    EXPECT_EQ(ResolvePath(dir.Path() + "/models/./sub dir/../Sub Dir/chair.rwx"),
              dir.Path() + "/Models/./Sub Dir/../Sub Dir/Chair.RWX");
    // Nothing matches: the slash form comes back and opening it fails normally.
    EXPECT_EQ(ResolvePath(dir.Path() + "\\models\\table.rwx"), dir.Path() + "/models/table.rwx");
    std::string text;
    EXPECT_TRUE(ReadWholeFile(dir.Path() + "/MODELS/SUB DIR/CHAIR.rwx", text));
    EXPECT_EQ(text, "x");
    EXPECT_FALSE(ReadWholeFile(dir.Path() + "/models", text));  // a folder is no file
}

TEST(ResolvePath, RelativePathsResolveAgainstTheCurrentFolder) {
    test::TempDir dir;
    dir.Write("Textures/Wood.JPG", "jpg");
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    EXPECT_EQ(ResolvePath("textures\\wood.jpg"), "Textures/Wood.JPG");
}

TEST(PathParts, FolderAndFileNameWithEitherSeparator) {
    EXPECT_EQ(ParentPart("a/b\\c.rwx"), "a/b");
    EXPECT_EQ(FileNamePart("a/b\\c.rwx"), "c.rwx");
    EXPECT_EQ(ParentPart("c.rwx"), "");
    EXPECT_EQ(ParentPart("/c.rwx"), "/");
    EXPECT_EQ(JoinPath("dir", "x.jpg"), "dir/x.jpg");
    EXPECT_EQ(JoinPath("dir\\", "x.jpg"), "dir\\x.jpg");
    EXPECT_EQ(JoinPath("", "x.jpg"), "/x.jpg");
}

TEST(TextureSearchDirs, LinesOfAnyLengthAndNumberInFileOrder) {
    test::TempDir dir;
    EXPECT_EQ(TextureSearchDirs(dir.Path()), std::vector<std::string>{"."});
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 150; ++i) {
        expected.push_back("folder" + std::to_string(i) + std::string(i == 3 ? 400 : 0, 'x'));
        text += expected.back() + (i % 2 ? "\r\n" : "\n");
    }
    expected.push_back("");  // the final line break gives one more, empty, entry
    dir.Write("TexturesPath.txt", text);
    EXPECT_EQ(TextureSearchDirs(dir.Path()), expected);
}

TEST(ErrorLog, KeepsEveryLineWithItsLineFeed) {
    ErrorLog log;
    log.Append("before");
    const std::size_t mark = log.LineCount();
    const std::size_t size = log.Text().size();
    log.Append("first");
    log.Append("");
    log.Append("third \"quoted\"");
    EXPECT_EQ(log.Text().substr(size), "first\n\nthird \"quoted\"\n");
    EXPECT_EQ(log.LinesSince(mark), (std::vector<std::string>{"first", "", "third \"quoted\""}));
}

}  // namespace
}  // namespace pelorus

#include "platform/podvector.h"

namespace pelorus {
namespace {

TEST(PodVector, KeepsItsValuesWhileGrowingFromHeapIntoMappedMemory) {
    struct Item {
        int64_t a;
        double b;
    };
    PodVector<Item> items;
    const int64_t n = 3'000'000;  // 48 MB: grows through malloc, into a mapping, then remaps
    for (int64_t i = 0; i < n; ++i) items.push_back(Item{i, static_cast<double>(i) * 0.5});
    ASSERT_EQ(items.size(), static_cast<std::size_t>(n));
    for (int64_t i = 0; i < n; i += 9973) {
        EXPECT_EQ(items[static_cast<std::size_t>(i)].a, i);
        EXPECT_EQ(items[static_cast<std::size_t>(i)].b, static_cast<double>(i) * 0.5);
    }
    PodVector<Item> copy = items;
    items.push_back(items[0]);  // an element of the array itself, while it grows
    EXPECT_EQ(items.back().a, 0);
    EXPECT_EQ(copy.size(), static_cast<std::size_t>(n));
    PodVector<Item> moved = std::move(copy);
    EXPECT_EQ(moved[static_cast<std::size_t>(n - 1)].a, n - 1);
    moved.resize(n + 5);
    EXPECT_EQ(moved[static_cast<std::size_t>(n + 4)].a, 0);  // new elements are zero
}

}  // namespace
}  // namespace pelorus
