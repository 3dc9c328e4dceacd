// Object dumps: the fields of every version, the two encodings, line breaks kept inside texts,
// object types, and lines that cannot be read.

#include <gtest/gtest.h>

#include <string>

#include "reader/propdump.h"
#include "testutil.h"

namespace pelorus {
namespace {

struct Read {
    SceneObjects scene;
    DumpReadResult result;
    std::vector<std::string> errors;
};

Read ReadText(const std::string& text) {
    Read r;
    test::LogCapture log;
    r.result = ReadDump(text, "world.txt", log, r.scene);
    r.errors = log.Lines();
    return r;
}

struct Expected {
    uint32_t line;
    std::string name, description, action;
    std::array<double, 3> position;
    float yaw, tilt, roll;
    int type;
};

void ExpectObject(const Read& r, std::size_t i, const Expected& e, const std::string& what) {
    ASSERT_LT(i, r.scene.objects.size()) << what;
    const PlacedObject& o = r.scene.objects[i];
    EXPECT_EQ(o.line, e.line) << what;
    EXPECT_EQ(r.scene.Name(o), e.name) << what;
    EXPECT_EQ(r.scene.Description(o), e.description) << what;
    EXPECT_EQ(r.scene.Action(o), e.action) << what;
    for (std::size_t k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(o.placement.position[k], e.position[k]) << what << " " << k;
    EXPECT_FLOAT_EQ(o.placement.yaw, e.yaw) << what;
    EXPECT_FLOAT_EQ(o.placement.tilt, e.tilt) << what;
    EXPECT_FLOAT_EQ(o.placement.roll, e.roll) << what;
    EXPECT_EQ(o.placement.scale, (std::array<float, 3>{1, 1, 1})) << what;
    EXPECT_TRUE(o.visible) << what;
    EXPECT_FALSE(o.HasModel()) << what;
    EXPECT_EQ(o.type, e.type) << what;
}

// The same object written by each version: centimetres become model units (/ 1000), tenths of
// degrees become degrees; version 2 has no tilt and roll, versions before 4 no type; the object
// data of versions 4 and 5 is passed over.
TEST(PropDump, EachVersionReadsItsFields) {
    struct Case {
        const char* what;
        std::string text;
        Expected e;
    };
    const Case cases[] = {
        {"version 2",
         "propdump version 2\r\n12 99 1500 -250 30 900 4 8 16 treebig birdcreate color red\r\n",
         {2, "tree", "big bird", "create color red", {1.5, -0.25, 0.03}, 90, 0, 0, 0}},
        {"version 3",
         "propdump version 3\r\n12 99 1500 -250 30 900 -45 1800 4 8 16 treebig birdcreate color red\r\n",
         {2, "tree", "big bird", "create color red", {1.5, -0.25, 0.03}, 90, -4.5f, 180, 0}},
        {"version 4",
         "propdump version 4\r\n12 99 1500 -250 30 900 -45 1800 0 4 8 16 2 treebig birdcreate color red0a1b\r\n",
         {2, "tree", "big bird", "create color red", {1.5, -0.25, 0.03}, 90, -4.5f, 180, 0}},
        {"version 5, type",
         "propdump version 5\n12 99 1500 -250 30 900 -45 1800 2 4 8 16 2 treebig birdcreate color red0a1b\n",
         {2, "tree", "big bird", "create color red", {1.5, -0.25, 0.03}, 90, -4.5f, 180, 2}},
        {"data as raw bytes",
         "propdump version 4\n1 2 0 0 0 0 0 0 0 4 0 0 3 treeabc\n",
         {2, "tree", "", "", {0, 0, 0}, 0, 0, 0, 0}},
        {"no text at all", "propdump version 3\n1 2 0 0 0 0 0 0 0 0 0\n", {2, "", "", "", {0, 0, 0}, 0, 0, 0, 0}},
        {"spaces kept inside text",
         "propdump version 2\n1 2 0 0 0 0 2 4 0 a  b c\n",
         {2, "a ", " b c", "", {0, 0, 0}, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const Read r = ReadText(c.text);
        EXPECT_TRUE(r.errors.empty()) << c.what << ": " << (r.errors.empty() ? "" : r.errors[0]);
        ASSERT_EQ(r.scene.objects.size(), 1u) << c.what;
        ExpectObject(r, 0, c.e, c.what);
    }
}

// Windows-1252 up to version 4, UTF-8 in version 5, both shown as UTF-8; 0x80 0x7F is a CR LF and a
// lone 0x7F a LF inside the text (their bytes count in the lengths).
TEST(PropDump, TextIsDecodedAndLineBreaksTurnedBack) {
    struct Case {
        const char* what;
        int version;
        std::string stored;
        std::string shown;
    };
    const Case cases[] = {
        {"1252 letters", 3, "caf\xE9 \x80 \x93quoted\x94", "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D"},
        {"1252 undefined byte", 4, "a\x81z", "a\xC2\x81z"},
        {"1252 line breaks", 2, "one\x80\x7Ftwo\x7Fthree", "one\r\ntwo\nthree"},
        {"1252 euro before a break", 3, "\x80\x80\x7F", "\xE2\x82\xAC\r\n"},
        {"utf-8 letters", 5, "caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"utf-8 line breaks", 5, "one\x80\x7Ftwo\x7Fthree", "one\r\ntwo\nthree"},
        {"utf-8 converted break", 5, "one\xE2\x82\xAC\x7Ftwo", "one\r\ntwo"},
        {"utf-8 bad bytes", 5, "a\xE9z", "a\xEF\xBF\xBDz"},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendDumpText(c.stored, c.version, out);
        EXPECT_EQ(out, c.shown) << c.what;
    }
    // Through a whole line: the lengths are of the stored bytes.
    const std::string desc = "x\x80\x7Fy\xE9";
    const Read r =
        ReadText("propdump version 3\n1 2 0 0 0 0 0 0 1 " + std::to_string(desc.size()) + " 2 t" + desc + "a\x7F\n");
    ASSERT_TRUE(r.errors.empty()) << r.errors[0];
    ExpectObject(r, 0, {2, "t", "x\r\ny\xC3\xA9", "a\n", {0, 0, 0}, 0, 0, 0, 0}, "line");
}

// A line that cannot be read costs one error line naming the dump and the line, and the lines
// after it are read as usual; blank lines count in the numbering but are no objects.
TEST(PropDump, MalformedLinesAreReportedByLineAndSkipped) {
    const std::string text =
        "propdump version 4\r\n"
        "1 2 100 0 0 0 0 0 0 1 0 0 0 a\r\n"                                      // 2: fine
        "1 2 3\r\n"                                                              // 3: too few fields
        "1 2 1x 0 0 0 0 0 0 1 0 0 0 a\r\n"                                       // 4: not a number
        "\r\n"                                                                   // 5: blank
        "1 2 0 0 0 0 0 0 0 5 0 0 0 abc\r\n"                                      // 6: runs past
        "1 2 0 0 0 0 0 0 0 1 0 0 4 ab\r\n"                                       // 7: data runs past
        "1 2 0 0 0 0 0 0 0 1 0 0 0 b\r\n"                                        // 8: fine
        "1 2 0 0 0 0 0 0 0 18446744073709551615 18446744073709551615 1 0 c\r\n"  // 9: lengths beyond any line
        "1 2 0 0 0 nan 0 0 0 1 0 0 0 d\r\n"                                      // 10: not a finite number
        "-1 2 0 0 0 0 0 0 0 1 0 0 0 e\r\n";                                      // 11: citizen numbers are not negative
    const Read r = ReadText(text);
    ASSERT_EQ(r.scene.objects.size(), 2u);
    EXPECT_EQ(r.scene.objects[0].line, 2u);
    EXPECT_EQ(r.scene.objects[1].line, 8u);
    EXPECT_EQ(r.result.malformed, 7u);
    const std::vector<std::string> want = {
        "Object dump \"world.txt\", line 3: too few fields.",
        "Object dump \"world.txt\", line 4: \"1x\" is not a number (x).",
        "Object dump \"world.txt\", line 6: the name, description, action and data (5 bytes) run past the end of the "
        "line.",
        "Object dump \"world.txt\", line 7: the name, description, action and data (5 bytes) run past the end of the "
        "line.",
        "Object dump \"world.txt\", line 9: the name, description, action and data (more than 2^64 bytes) run past "
        "the end of the line.",
        "Object dump \"world.txt\", line 10: \"nan\" is not a number (yaw).",
        "Object dump \"world.txt\", line 11: \"-1\" is not a number (citizen).",
    };
    EXPECT_EQ(r.errors, want);
    const Read v2 = ReadText("propdump version 2\n1 2 0 0 0 0 3 0 0 ab\n");
    ASSERT_EQ(v2.errors.size(), 1u);
    EXPECT_EQ(v2.errors[0],
              "Object dump \"world.txt\", line 2: the name, description and action (3 bytes) run past "
              "the end of the line.");
}

TEST(PropDump, TypesAreCountedAndKept) {
    std::string text = "propdump version 5\n";
    const int types[] = {0, 1, 0, 2, 3, 4, 9, -1, 0};
    for (const int t : types) text += "1 2 0 0 0 0 0 0 " + std::to_string(t) + " 1 0 0 0 x\n";
    const Read r = ReadText(text);
    EXPECT_EQ(r.result.objects, 3u);
    EXPECT_EQ(r.result.otherTypes, 6u);
    EXPECT_EQ(r.result.byType, (std::array<uint64_t, 8>{3, 1, 1, 1, 1, 0, 0, 2}));
    ASSERT_EQ(r.scene.objects.size(), 9u);
    EXPECT_EQ(r.scene.objects[6].type, 9);
}

TEST(PropDump, TheFirstLineDecidesWhatIsRead) {
    struct Case {
        const char* what;
        std::string text;
        std::optional<int> version;
        std::string error;  // "" when it reads
    };
    const Case cases[] = {
        {"version 5", "propdump version 5\r\n", 5, ""},
        {"byte-order mark, case, blanks", "\xEF\xBB\xBFPropDump Version  3 \r\n", 3, ""},
        {"no line end", "propdump version 2", 2, ""},
        {"version 6", "propdump version 6\n1 2 3\n", 6,
         "Object dump \"world.txt\" is of version 6, which cannot be read (versions 2 to 5 can)."},
        {"version 1", "propdump version 1\n", 1,
         "Object dump \"world.txt\" is of version 1, which cannot be read (versions 2 to 5 can)."},
        {"no number", "propdump version five\n", -1,
         "Object dump \"world.txt\" is of version ?, which cannot be read (versions 2 to 5 can)."},
        {"an object map", "tree.rwx 0 0 0\n", std::nullopt,
         "\"world.txt\" is not an object dump (its first line is not \"propdump version N\")."},
        {"words after the number", "propdump version 4 extra\n", -1,
         "Object dump \"world.txt\" is of version ?, which cannot be read (versions 2 to 5 can)."},
        {"no space", "propdump version4\n", std::nullopt,
         "\"world.txt\" is not an object dump (its first line is not \"propdump version N\")."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DumpVersionOf(c.text), c.version) << c.what;
        const Read r = ReadText(c.text);
        if (c.error.empty()) {
            EXPECT_TRUE(r.errors.empty()) << c.what;
            EXPECT_EQ(r.result.version, *c.version) << c.what;
        } else {
            EXPECT_EQ(r.errors, std::vector<std::string>{c.error}) << c.what;
            EXPECT_TRUE(r.scene.objects.empty()) << c.what;
        }
    }
    // A probe that ends inside the first line still tells.
    EXPECT_TRUE(BeginsLikeDump("propdump version 12"));
    EXPECT_FALSE(BeginsLikeDump("propdump versio"));
}

// A file of nothing but bad lines must not flood the log.
TEST(PropDump, ErrorLinesStopAtTheLimitAndAreCounted) {
    std::string text = "propdump version 3\n";
    for (uint64_t i = 0; i < kMaxDumpErrorLines + 5; ++i) text += "x\n";
    const Read r = ReadText(text);
    EXPECT_EQ(r.errors.size(), kMaxDumpErrorLines + 1);
    EXPECT_EQ(r.errors.back(), "Object dump \"world.txt\": 5 more lines could not be read and are not listed.");
    EXPECT_EQ(r.result.malformed, kMaxDumpErrorLines + 5);
}

}  // namespace
}  // namespace pelorus
