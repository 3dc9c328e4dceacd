// Object dumps: the fields of every version, the two encodings, line breaks kept inside texts,
// object types, and lines that cannot be read.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

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

struct Threaded {
    SceneObjects scene;
    DumpReadResult result;
    std::vector<std::string> errors;
};

Threaded ReadOn(const std::string& text, unsigned threads, const DumpLinesHook& onLines = {}) {
    Threaded r;
    test::LogCapture log;
    // Something read before: the dump's objects and texts come after it.
    r.scene.SetText(r.scene.objects.emplace_back(), "before");
    r.result = ReadDump(text, "world.txt", log, r.scene, onLines, threads);
    r.errors = log.Lines();
    return r;
}

// Stretches read on several threads are joined in the order of their lines: the same objects
// with the same line numbers and texts, the same error lines and counts, whatever the number of
// threads and wherever the stretches begin.
TEST(PropDump, ThreadsReadWhatOneThreadReads) {
    std::string text = "propdump version 5\r\n";
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        if (i % 37 == 5)
            text += "1 2 3\r\n";  // too few fields
        else if (i % 41 == 7)
            text += "\r\n";
        else if (i % 43 == 9)
            text += "1 2 0 0 0 0 0 0 0 9 0 0 0 abc\r\n";  // runs past the line
        else
            text += "1 2 " + n + " 0 -" + n + " 1 2 3 " + std::to_string(i % 3) + " " + std::to_string(n.size()) +
                    " 3 2 0 " + n + "d\xC3\xA9\x7F" + "ac\r\n";
    }
    text += "1 2 7 7 7 0 0 0 0 1 0 0 0 z";  // the last line without its line end
    const Threaded one = ReadOn(text, 1);
    ASSERT_GT(one.errors.size(), 5u);
    ASSERT_GT(one.scene.objects.size(), 250u);
    EXPECT_EQ(one.scene.objects.back().line, 302u);
    EXPECT_EQ(one.scene.Name(one.scene.objects.back()), "z");
    EXPECT_EQ(one.scene.Name(one.scene.objects.front()), "before");
    for (const unsigned threads : {2u, 3u, 7u, 8u}) {
        const Threaded many = ReadOn(text, threads);
        EXPECT_EQ(many.errors, one.errors) << threads;
        EXPECT_EQ(many.result.objects, one.result.objects) << threads;
        EXPECT_EQ(many.result.otherTypes, one.result.otherTypes) << threads;
        EXPECT_EQ(many.result.byType, one.result.byType) << threads;
        EXPECT_EQ(many.result.malformed, one.result.malformed) << threads;
        ASSERT_EQ(many.scene.objects.size(), one.scene.objects.size()) << threads;
        for (std::size_t i = 0; i < one.scene.objects.size(); ++i) {
            const PlacedObject &a = one.scene.objects[i], &b = many.scene.objects[i];
            EXPECT_EQ(b.line, a.line) << threads << " " << i;
            EXPECT_EQ(b.placement, a.placement) << threads << " " << i;
            EXPECT_EQ(b.type, a.type) << threads << " " << i;
            EXPECT_EQ(many.scene.Name(b), one.scene.Name(a)) << threads << " " << i;
            EXPECT_EQ(many.scene.Description(b), one.scene.Description(a)) << threads << " " << i;
            EXPECT_EQ(many.scene.Action(b), one.scene.Action(a)) << threads << " " << i;
        }
    }
}

// The limit on error lines counts over the whole dump, not over each thread's part of it.
TEST(PropDump, ErrorLimitHoldsAcrossThreads) {
    std::string text = "propdump version 3\n";
    for (uint64_t i = 0; i < 2 * kMaxDumpErrorLines + 2000; ++i) text += i % 2 ? "x\n" : "1 2 0 0 0 0 0 0 1 0 0 a\n";
    const Threaded one = ReadOn(text, 1);
    const Threaded four = ReadOn(text, 4);
    ASSERT_EQ(one.errors.size(), kMaxDumpErrorLines + 1);
    EXPECT_EQ(one.errors.back(),
              "Object dump \"world.txt\": " + std::to_string(one.result.malformed - kMaxDumpErrorLines) +
                  " more lines could not be read and are not listed.");
    EXPECT_EQ(four.errors, one.errors);
    EXPECT_EQ(four.result.malformed, one.result.malformed);
    EXPECT_EQ(four.scene.objects.size(), one.scene.objects.size());
}

// Progress comes from the calling thread, only grows and ends at every line; answering false
// stops every thread, keeping what was read.
TEST(PropDump, ProgressGrowsOnTheCallingThreadAndCancelStopsEveryThread) {
    std::string text = "propdump version 4\n";
    const uint64_t lines = kDumpLinesPerReport * 6 + 17;
    for (uint64_t i = 0; i < lines; ++i) text += "1 2 0 0 0 0 0 0 0 1 0 0 0 a\n";
    for (const unsigned threads : {1u, 3u}) {
        std::vector<std::pair<uint64_t, uint64_t>> told;
        const std::thread::id caller = std::this_thread::get_id();
        bool elsewhere = false;
        const Threaded all = ReadOn(text, threads, [&](uint64_t read, uint64_t total) {
            elsewhere = elsewhere || std::this_thread::get_id() != caller;
            told.emplace_back(read, total);
            return true;
        });
        EXPECT_FALSE(elsewhere) << threads;
        EXPECT_EQ(all.scene.objects.size(), lines + 1) << threads;
        ASSERT_GE(told.size(), 2u) << threads;
        EXPECT_EQ(told.back(), (std::pair<uint64_t, uint64_t>{lines, lines})) << threads;
        for (std::size_t i = 1; i < told.size(); ++i) EXPECT_GT(told[i].first, told[i - 1].first) << threads;

        const Threaded stopped = ReadOn(text, threads, [&](uint64_t read, uint64_t) { return read < 2; });
        EXPECT_LT(stopped.scene.objects.size(), lines + 1) << threads;
        for (std::size_t i = 1; i < stopped.scene.objects.size(); ++i)
            EXPECT_EQ(stopped.scene.Name(stopped.scene.objects[i]), "a") << threads;
    }
}

}  // namespace
}  // namespace pelorus
