// Paths written for another file system: either separator, any letter case.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/errorlog.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;

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

TEST(TexturesPath, TheProgramsFileWinsElseTheConfigurationFoldersIsRead) {
    test::TempDir dir;
    const std::string program = dir.Join("prog"), config = dir.Join("config");
    fs::create_directories(program);
    dir.Write("config/TexturesPath.txt", "user");
    EXPECT_EQ(TexturesPathFolder(program, config), config);
    EXPECT_EQ(TextureSearchDirs(TexturesPathFolder(program, config)), std::vector<std::string>{"user"});
    EXPECT_EQ(TexturesPathFolder(program, ""), program);
    dir.Write("prog/texturespath.TXT", "beside the program");  // found in any letter case
    EXPECT_EQ(TexturesPathFolder(program, config), program);
    EXPECT_EQ(TextureSearchDirs(TexturesPathFolder(program, config)), std::vector<std::string>{"beside the program"});
}

TEST(TexturesPath, SavedListReadsBackWithoutARootEntry) {
    test::TempDir dir;
    const std::string config = dir.Join("config/pelorus");  // made when missing
    const std::vector<std::string> folders{"/srv/textures", "", "relative\\win", "two\nlines", "/"};
    std::string error;
    ASSERT_TRUE(SaveTexturesPath(config, folders, &error)) << error;
    std::string text;
    ASSERT_TRUE(ReadWholeFile(config + "/TexturesPath.txt", text));
    EXPECT_EQ(text, "/srv/textures\nrelative\\win\ntwo\n/");
    EXPECT_EQ(TextureSearchDirs(config), (std::vector<std::string>{"/srv/textures", "relative\\win", "two", "/"}));
    EXPECT_EQ(ParseTexturesPath(TexturesPathText(ParseTexturesPath(text))), ParseTexturesPath(text));

    // An empty list would read as the root folder: the file goes instead, and the current
    // folder is searched again.
    ASSERT_TRUE(SaveTexturesPath(config, std::vector<std::string>{"", ""}, &error)) << error;
    EXPECT_FALSE(fs::exists(config + "/TexturesPath.txt"));
    EXPECT_EQ(TextureSearchDirs(config), std::vector<std::string>{"."});
    EXPECT_TRUE(SaveTexturesPath(config, {}, &error));  // nothing to remove is no failure

    dir.Write("file", "in the way");
    EXPECT_FALSE(SaveTexturesPath(dir.Join("file/pelorus"), folders, &error));
    EXPECT_FALSE(error.empty());
}

// ---- Reading only regular files ---------------------------------------------------------------

TEST(ReadWholeFile, SpecialFilesAreRefusedAtOnceLikeMissingOnes) {
    test::TempDir dir;
    const std::string fifo = test::MakeFifo(dir, "pipe.rwx");
    const std::string device = test::MakeZeroDevice(dir, "zero.rwx");
    dir.Write("folder/inside.txt", "x");
    const std::pair<std::string, ReadStatus> cases[] = {
        {fifo, ReadStatus::kNotAFile},
        {"/dev/zero", ReadStatus::kNotAFile},
        {device, ReadStatus::kNotAFile},
        {dir.Join("folder"), ReadStatus::kNotAFile},
        {dir.Join("missing.rwx"), ReadStatus::kMissing},
        {dir.Join("folder/inside.txt/below"), ReadStatus::kMissing},
    };
    for (const auto& [path, status] : cases) {
        if (path.empty()) continue;  // no device node without root
        std::string text = "stale";
        EXPECT_EQ(ReadFileStatus(path, text), status) << path;
        EXPECT_TRUE(text.empty()) << path;
        FileContents contents;
        EXPECT_FALSE(contents.Open(path)) << path;
        EXPECT_TRUE(contents.Text().empty()) << path;
    }
    // Through a link the same holds, and the case-blind lookup finds the FIFO without opening it.
    ASSERT_EQ(::symlink(fifo.c_str(), dir.Join("link.rwx").c_str()), 0);
    std::string text;
    EXPECT_EQ(ReadFileStatus(dir.Join("LINK.RWX"), text), ReadStatus::kNotAFile);
    EXPECT_EQ(ReadFileStatus(dir.Join("PIPE.rwx"), text), ReadStatus::kNotAFile);
}

TEST(ReadWholeFile, SizeLimitHoldsAtTheExactSize) {
    test::TempDir dir;
    const std::string path = dir.Write("f.txt", std::string(1000, 'a'));
    std::string text;
    EXPECT_EQ(ReadFileStatus(path, text, 1000), ReadStatus::kOk);
    EXPECT_EQ(text.size(), 1000u);
    EXPECT_EQ(ReadFileStatus(path, text, 999), ReadStatus::kTooLarge);
    EXPECT_TRUE(text.empty());
    FileContents contents;
    EXPECT_TRUE(contents.Open(path, 1000));
    EXPECT_EQ(contents.Text().size(), 1000u);
    EXPECT_FALSE(contents.Open(path, 999));
    EXPECT_TRUE(contents.Text().empty()) << "a failed Open drops what an earlier one held";
    // Files that report no size until read are limited while they are read.
    EXPECT_EQ(ReadFileStatus("/proc/self/status", text, 8), ReadStatus::kTooLarge);
    EXPECT_EQ(ReadFileStatus("/proc/self/status", text, kSmallFileLimit), ReadStatus::kOk);
    EXPECT_NE(text.find("Name:"), std::string::npos);
}

// ---- Folder listings kept for one load --------------------------------------------------------

TEST(FolderListingCache, ManyMissingNamesInABigFolderTakeOneListing) {
    test::TempDir dir;
    for (int i = 0; i < 20000; ++i) {
        const std::string name = dir.Join("Texture" + std::to_string(i) + ".JPG");
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    FolderListingCache folders;
    for (int i = 0; i < 1000; ++i) {
        std::string text;
        // One that matches in another case, one that matches nothing, as texture lookups go.
        EXPECT_EQ(ResolvePath(dir.Path() + "/texture" + std::to_string(i * 7) + ".jpg", &folders),
                  dir.Path() + "/Texture" + std::to_string(i * 7) + ".JPG");
        EXPECT_FALSE(ReadWholeFile(dir.Path() + "/missing" + std::to_string(i) + ".jpg", text, kNoSizeLimit, &folders));
    }
    EXPECT_EQ(folders.ListingCount(), 1u);
}

// Once a folder is listed, its names are looked for in the listing without asking the file
// system (a million missing entries of an object map cost a million looks otherwise); `found`
// says what was found.
TEST(FolderListingCache, NamesInAListedFolderAreAnsweredFromItsListing) {
    test::TempDir dir;
    dir.Write("Sub/a.txt", "a");
    FolderListingCache folders;
    bool found = false;
    EXPECT_EQ(ResolvePath(dir.Path() + "/Sub/A.TXT", &folders, &found), dir.Path() + "/Sub/a.txt");
    EXPECT_TRUE(found);
    EXPECT_EQ(ResolvePath(dir.Path() + "/Sub/a.txt", &folders, &found), dir.Path() + "/Sub/a.txt");
    EXPECT_TRUE(found);
    EXPECT_EQ(ResolvePath(dir.Path() + "/Sub/none.txt", &folders, &found), dir.Path() + "/Sub/none.txt");
    EXPECT_FALSE(found);
    EXPECT_EQ(ResolvePath(dir.Path() + "/nowhere/none.txt", &folders, &found), dir.Path() + "/nowhere/none.txt");
    EXPECT_FALSE(found);
    EXPECT_EQ(folders.ListingCount(), 2u);  // Sub, and the root for "nowhere"
    // As for every listing of a load, what comes later is not seen; a fresh look sees it.
    dir.Write("Sub/late.txt", "l");
    ResolvePath(dir.Path() + "/Sub/late.txt", &folders, &found);
    EXPECT_FALSE(found);
    ResolvePath(dir.Path() + "/Sub/late.txt", nullptr, &found);
    EXPECT_TRUE(found);
}

// A million entries of an object map in a folder that is not there each walked the whole path
// again (five looks at the file system apiece): the folder is now resolved once per spelling.
TEST(FolderListingCache, AFolderIsResolvedOncePerSpelling) {
    test::TempDir dir;
    dir.Write("Models/Sub/a.rwx", "a");
    FolderListingCache folders;
    EXPECT_EQ(folders.ResolvedFolder(dir.Path() + "/models/SUB"), dir.Path() + "/Models/Sub");
    EXPECT_EQ(folders.ResolvedFolder(dir.Path() + "/Models"), dir.Path() + "/Models");
    EXPECT_EQ(folders.ResolvedFolder(dir.Path() + "/gone"), std::nullopt);
    EXPECT_EQ(folders.ResolvedFolder(dir.Path() + "/Models/Sub/a.rwx"), std::nullopt) << "a file is no folder";
    const std::size_t listed = folders.ListingCount();
    bool found = true;
    for (int i = 0; i < 1000; ++i) {
        const std::string missing = dir.Path() + "/gone/m" + std::to_string(i) + ".rwx";
        EXPECT_EQ(ResolvePath(missing, &folders, &found), missing);
        EXPECT_FALSE(found);
        EXPECT_EQ(ResolvePath(dir.Path() + "/MODELS/sub/A.rwx", &folders, &found), dir.Path() + "/Models/Sub/a.rwx");
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(folders.ListingCount(), listed);
}

TEST(FolderListingCache, MatchesAsAFreshListingDoes) {
    test::TempDir dir;
    dir.Write("Sub/b.txt", "B");
    dir.Write("Sub/B.TXT", "b");
    dir.Write("Sub/c.txt", "c");
    FolderListingCache folders;
    for (const char* asked : {"/SUB/b.Txt", "/sub/C.TXT", "/sub/none.txt", "/nowhere/x.txt", "/NOWHERE/y.txt",
                              "/Sub/b.txt", "/Sub/B.TXT", "/Sub/B.txt"})
        EXPECT_EQ(ResolvePath(dir.Path() + asked, &folders), ResolvePath(dir.Path() + asked)) << asked;
    EXPECT_EQ(ResolvePath(dir.Path() + "/sub/b.TXT", &folders), dir.Path() + "/Sub/B.TXT");  // first in byte order
    // The root folder, the Sub folder, and the missing "nowhere" only once.
    EXPECT_EQ(folders.ListingCount(), 2u);
    EXPECT_EQ(folders.Match(dir.Path(), "NOWHERE"), std::nullopt);
    EXPECT_EQ(folders.Match(dir.Path() + "/nowhere", "x.txt"), std::nullopt);
    EXPECT_EQ(folders.ListingCount(), 3u) << "a folder that cannot be listed is remembered too";
    EXPECT_EQ(folders.Match(dir.Path() + "/nowhere", "y.txt"), std::nullopt);
    EXPECT_EQ(folders.ListingCount(), 3u);
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

TEST(PodVector, ShrinkingKeepsTheValuesAndGivesBackTheSpareRoom) {
    PodVector<int32_t> small;
    for (int32_t i = 0; i < 5; ++i) small.push_back(i);
    ASSERT_GT(small.capacity(), small.size());
    small.shrink_to_fit();
    EXPECT_EQ(small.capacity(), 5u);
    EXPECT_EQ(small, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    small.push_back(5);  // grows again from there
    EXPECT_EQ(small.back(), 5);
    small.clear();
    small.shrink_to_fit();
    EXPECT_EQ(small.capacity(), 0u);
    EXPECT_EQ(small.data(), nullptr);
}

}  // namespace
}  // namespace pelorus
