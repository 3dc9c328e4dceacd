// Every error line of a script knows the file and line it comes from, however the script was
// reached: inside prototypes and nested clumps, through object-map entries, inside archives, and
// whichever way its lines were read. The text of the lines stays what it always was.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "reader/scenefile.h"
#include "testutil.h"

namespace pelorus {

void PrintTo(const LogPlace& place, std::ostream* out) {
    *out << '"' << place.FileName() << "\" line " << place.line;
}

namespace {

using test::LogCapture;
using Lines = std::vector<std::string>;

// Each line of `log` as "LINE: TEXT", the line 0 when it has none.
std::vector<std::string> Numbered(const ErrorLog& log) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < log.LineCount(); ++i)
        out.push_back(std::to_string(log.PlaceOf(i).line) + ": " + std::string(log.Line(i)));
    return out;
}

TEST(ErrorLogPlaces, LinesKeepTheirPlacesBesideTheTextAndCopyWithThem) {
    ErrorLog log;
    log.Append("first", LogPlace{"/a/b.rwx", {}, 3});
    log.Append("second");
    log.Append("third", LogPlace{"/a/c.zip", "c.rwx", 9});
    log.Append("fourth", LogPlace{"/a/b.rwx", {}, 12});
    EXPECT_EQ(log.Text(), "first\nsecond\nthird\nfourth\n");
    EXPECT_EQ(log.PlaceOf(0), (LogPlace{"/a/b.rwx", {}, 3}));
    EXPECT_FALSE(log.PlaceOf(1).Known());
    EXPECT_EQ(log.PlaceOf(2).FileName(), "/a/c.zip:c.rwx");
    EXPECT_EQ(log.PlaceOf(3), (LogPlace{"/a/b.rwx", {}, 12}));
    EXPECT_FALSE(log.PlaceOf(4).Known());  // beyond the end
    EXPECT_EQ(log.Line(4), "");

    ErrorLog copy;
    copy.Append("before");
    copy.AppendAll(log);
    EXPECT_EQ(copy.Lines(), (Lines{"before", "first", "second", "third", "fourth"}));
    EXPECT_EQ(copy.PlaceOf(3), log.PlaceOf(2));
    EXPECT_EQ(copy.PlaceOf(4), log.PlaceOf(3));
    EXPECT_FALSE(copy.PlaceOf(2).Known());
}

// One script with a problem at each level: object, prototype, clump, nested clump, and a face
// after an instance (whose lines must not shift the count).
const char kScript[] =
    "ModelBegin\n"         // 1
    "Frobnicate\n"         // 2
    "ProtoBegin box\n"     // 3
    "Vertex 0 0 0\n"       // 4
    "Triangle 1 2 3\n"     // 5
    "ProtoEnd\n"           // 6
    "ClumpBegin\n"         // 7
    "\n"                   // 8
    "# a comment\n"        // 9
    "ProtoInstance box\n"  // 10
    "Vertex 1 2\n"         // 11
    "ClumpBegin\n"         // 12
    "Vertex 0 0 0\n"       // 13
    "Quad 1 1 1\n"         // 14
    "ClumpEnd\n"           // 15
    "Polygon 3 1 1 9\n"    // 16
    "ClumpEnd\n"           // 17
    "ClumpEnd\n"           // 18
    "ModelEnd\n";          // 19

const Lines kExpected = {
    "2: Object:Unknown command : \"Frobnicate\"",
    "5:   Clump:Invalid / Unknown command : \"Triangle 1 2 3\" (vertex 2 does not exist: the clump has 1)",
    "11:   Clump:Invalid / Unknown command : \"Vertex 1 2\" (3 numbers needed, 2 given)",
    "14:       Clump:Invalid / Unknown command : \"Quad 1 1 1\" (4 vertex numbers needed, 3 given)",
    "16:   Clump:Invalid / Unknown command : \"Polygon 3 1 1 9\" (vertex 9 does not exist: the clump has 1)",
    "18: Object:Cannot use command here : \"ClumpEnd\"",
};

TEST(ScriptPlaces, EveryErrorLineOfAScriptHasItsLineOnEveryReadingPath) {
    test::TempDir dir;
    const std::string path = dir.Write("model.rwx", kScript);
    struct Way {
        const char* name;
        bool ahead;
        std::size_t parallelFrom;
    };
    const Way ways[] = {{"line by line", false, SIZE_MAX}, {"lexed", true, SIZE_MAX}, {"on a second thread", true, 1}};
    for (const Way& way : ways) {
        ReadOptions options = test::NoTextures();
        options.plainLinesAhead = way.ahead;
        options.parallelFrom = way.parallelFrom;
        LogCapture log;
        RWXObject object(path, 0, 0, 0, log, options);
        EXPECT_EQ(Numbered(log), kExpected) << way.name;
        for (std::size_t i = 0; i < log.LineCount(); ++i) EXPECT_EQ(log.PlaceOf(i).file, path) << way.name;
    }
}

TEST(ScriptPlaces, LinesAreCountedAsEditorsCountThemWhateverTheLineEnds) {
    for (const char* end : {"\n", "\r\n", "\r"}) {
        std::string text;
        for (const char* line : {"ModelBegin", "", "ClumpBegin", "Vertex 1", "", "Triangle 1 2 3", "ClumpEnd"})
            text += std::string(line) + end;
        LogCapture log;
        test::ReadScript(text, log);
        ASSERT_EQ(log.LineCount(), 2u);
        EXPECT_EQ(log.PlaceOf(0).line, 4u);
        EXPECT_EQ(log.PlaceOf(1).line, 6u);
    }
    // A byte-order mark is no line of its own.
    LogCapture log;
    test::ReadScript("\xEF\xBB\xBFModelBegin\nFrobnicate\n", log);
    EXPECT_EQ(Numbered(log), (Lines{"2: Object:Unknown command : \"Frobnicate\""}));
}

TEST(ScriptPlaces, TextureProblemsArePlacedAtTheLineThatAskedEachTime) {
    test::TempDir dir;
    const std::string path = dir.Write("tex.rwx", "ClumpBegin\nTexture gone\nVertex 0 0 0\nTexture gone\nClumpEnd\n");
    LogCapture log;
    RWXObject object(path, 0, 0, 0, log, test::TexturesFrom(dir.Path()));
    EXPECT_EQ(Numbered(log),
              (Lines{"2: Couldn't open texture \"gone.jpg\".", "4: Couldn't open texture \"gone.jpg\"."}));
}

TEST(ScriptPlaces, LinesOfAFileAsAWholeHaveNoPlace) {
    test::TempDir dir;
    LogCapture log;
    RWXObject missing(dir.Join("missing.rwx"), 0, 0, 0, log, test::NoTextures());
    ASSERT_EQ(log.LineCount(), 1u);
    EXPECT_FALSE(log.PlaceOf(0).Known());
    // The closing line of an object that wrote too many has none either.
    std::string text = "ClumpBegin\n";
    for (int64_t i = 0; i < kMaxErrorLines + 5; ++i) text += "Frobnicate\n";
    LogCapture many;
    test::ReadScript(text, many);
    ASSERT_EQ(many.LineCount(), static_cast<std::size_t>(kMaxErrorLines + 1));
    EXPECT_EQ(many.PlaceOf(static_cast<std::size_t>(kMaxErrorLines) - 1).line,
              static_cast<uint64_t>(kMaxErrorLines) + 1);
    EXPECT_FALSE(many.PlaceOf(static_cast<std::size_t>(kMaxErrorLines)).Known());
}

TEST(ScriptPlaces, AZippedModelsLinesNameTheArchiveAndTheScriptInside) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteZipMembers(
        dir.Join("Tree.zip"), {{"readme.txt", "hello", ""}, {"parts/tree.rwx", "ClumpBegin\nBlock 1 2\n", ""}}));
    LogCapture log;
    RWXObject object(dir.Join("tree.zip"), 0, 0, 0, log, test::NoTextures());
    ASSERT_EQ(log.LineCount(), 1u);
    // The file as it was found, whatever letter case named it.
    EXPECT_EQ(log.PlaceOf(0), (LogPlace{dir.Join("Tree.zip"), "parts/tree.rwx", 2}));
    EXPECT_EQ(log.Line(0), "  Clump:Invalid / Unknown command : \"Block 1 2\" (3 numbers needed, 2 given)");
}

TEST(MapPlaces, MapLinesAndTheScriptsTheyNameArePlacedInTheirOwnFiles) {
    test::TempDir dir;
    dir.Write("sub/Bad.rwx", "ModelBegin\nClumpBegin\nTriangle 1 2 3\n");
    ASSERT_TRUE(test::WriteZip(dir.Join("empty.zip"), "notes.txt", "no model here"));
    dir.Write("scene.txt",
              "sub/bad.rwx 0 0 0\n"    // 1: its script's own line 3
              "not an entry\n"         // 2: the map's line
              "missing.rwx 1 0 0\n"    // 3: a file that is not there
              "empty.zip 2 0 0\n"      // 4: an archive without a script: the entry's line
              "SUB/BAD.RWX 3 0 0\n");  // 5: read once, nothing more
    ReadOptions options = test::NoTextures();
    options.baseFolder = dir.Path();
    LogCapture log;
    LoadSceneObjects("scene.txt", log, options);
    const std::string map = dir.Join("scene.txt");
    ASSERT_EQ(log.LineCount(), 4u);
    // The map is read before the scripts it names.
    EXPECT_EQ(log.PlaceOf(0), (LogPlace{map, {}, 2}));
    EXPECT_EQ(log.PlaceOf(1), (LogPlace{dir.Join("sub/Bad.rwx"), {}, 3}));
    EXPECT_EQ(log.PlaceOf(2), (LogPlace{map, {}, 3}));
    EXPECT_EQ(log.PlaceOf(3), (LogPlace{map, {}, 4}));
    // The texts are what they were.
    EXPECT_EQ(log.Lines(),
              (Lines{"Invalid object map entry \"not an entry\" in \"scene.txt\".",
                     "  Clump:Invalid / Unknown command : \"Triangle 1 2 3\" (vertex 1 does not exist: "
                     "the clump has none)",
                     "Could Not Open File \"missing.rwx\"", "Archive \"empty.zip\" holds no .rwx model script."}));
}

}  // namespace
}  // namespace pelorus
