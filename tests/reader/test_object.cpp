// Reading whole scripts: structure, scoping, error lines, and hostile line shapes.

#include <gtest/gtest.h>

#include <string>

#include "platform/errorlog.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::ReadScript;
using Lines = std::vector<std::string>;

const RWXMaterial& FirstMaterial(const TClump& c) {
    return c.Batches().at(0)->Material();
}

TEST(ObjectReader, EmptyAndMissingFiles) {
    LogCapture log;
    auto empty = ReadScript("", log);
    EXPECT_TRUE(empty->Clumps().empty());
    EXPECT_TRUE(log.Lines().empty());

    RWXObject missing("/nonexistent/folder/model.rwx", 0, 0, 0, log);
    EXPECT_EQ(missing.CountTriangles(), 0);
    EXPECT_EQ(log.Lines(), Lines{"Could Not Open File \"/nonexistent/folder/model.rwx\""});
}

TEST(ObjectReader, ScriptWithoutModelBeginIsReadToTheEnd) {
    auto o = ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd");
    ASSERT_EQ(o->Clumps().size(), 1u);
    EXPECT_EQ(o->CountTriangles(), 1);
}

TEST(ObjectReader, LinesAfterModelEndAreNeverRead) {
    LogCapture log;
    auto o = ReadScript("ModelBegin\nModelEnd\nClumpBegin\nClumpEnd\nFrobnicate\n", log);
    EXPECT_TRUE(o->Clumps().empty());
    EXPECT_TRUE(log.Lines().empty());
}

TEST(ObjectReader, StateBeforeAClumpReachesItButNotPastAClumpEnd) {
    auto o = ReadScript(
        "Color 1 0 0\n"
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nColor 0 1 0\nTriangle 1 2 3\nClumpEnd\n"
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    ASSERT_EQ(o->Clumps().size(), 2u);
    EXPECT_EQ(FirstMaterial(*o->Clumps()[0]).color, (RGB{0, 1, 0}));
    EXPECT_EQ(FirstMaterial(*o->Clumps()[1]).color, (RGB{1, 0, 0}));
}

TEST(ObjectReader, ObjectLevelErrorLinesQuoteTheWholeLine) {
    LogCapture log;
    auto o = ReadScript("  ClumpEnd  # stray\nFrobnicate 1 2 3\nProtoEnd\nClumpBegin\nClumpEnd\n", log);
    EXPECT_EQ(o->Clumps().size(), 1u);
    EXPECT_EQ(log.Lines(), (Lines{"Object:Cannot use command here : \"  ClumpEnd  # stray\"",
                                  "Object:Unknown command : \"Frobnicate 1 2 3\"",
                                  "Object:Cannot use command here : \"ProtoEnd\""}));
    EXPECT_EQ(o->ErrorLines(), 3);
}

TEST(ObjectReader, ClumpErrorLinesAreIndentedByDepth) {
    LogCapture log;
    ReadScript(
        "ClumpBegin\n"
        "ModelEnd\n"
        "ClumpBegin\n"
        "Frobnicate 1 2 3\n"
        "ProtoBegin x\n"
        "ProtoEnd\n"  // closes the inner clump
        "ModelBegin\n"
        "ClumpEnd\n"
        "Collision on\nTag 3\nSphere 1 2\nInclude other.rwx\nHints\nTrace\n# comment\n",
        log);
    EXPECT_EQ(log.Lines(), (Lines{"  Clump:Invalid / Unknown command : \"ModelEnd\"",
                                  "      Clump:Invalid / Unknown command : \"Frobnicate 1 2 3\"",
                                  "      Clump:Invalid / Unknown command : \"ProtoBegin x\"",
                                  "  Clump:Invalid / Unknown command : \"ModelBegin\""}));
}

TEST(ObjectReader, IgnoredAndGeometryCommandsOutsideClumpsWriteNothing) {
    LogCapture log;
    auto o =
        ReadScript("Vertex 0 0 0\nTriangle 1 2 3\nInclude a.rwx\nHints\nTrace\nProtoInstance box\n#!\n \t \n", log);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(o->Clumps().empty());
}

TEST(ObjectReader, CommentPrefixesAndLetterCase) {
    auto o = ReadScript(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "#!cOLOR 1 0 0\n#Color 0 1 0\n# Color 0 0 1\n\t  Triangle 1 2 3\nClumpEnd");
    EXPECT_EQ(FirstMaterial(*o->Clumps()[0]).color, (RGB{1, 0, 0}));
}

TEST(ObjectReader, LineEndingsByteOrderMarkAndNulBytes) {
    LogCapture log;
    const std::string text = std::string("\xEF\xBB\xBF") + "ModelBegin\r\nClumpBegin\r\nVertex 0 0 0\r\n" +
                             "Vertex 1 0 0\r\nVertex 0 1 0\r\nTriangle 1 2 3\r\n" + "Color 1 0 0" +
                             std::string(1, '\0') + "junk\r\nClumpEnd\r\nModelEnd";
    auto o = ReadScript(text, log);
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(o->Clumps().size(), 1u);
    EXPECT_EQ(o->CountTriangles(), 1);
}

TEST(ObjectReader, VeryLongLinesDoNotEndReading) {
    std::string text = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n# " + std::string(5000, 'x') +
                       "\nColor 1 0 0 " + std::string(3000, ' ') +
                       "# tail\nTriangle 1 2 3\nClumpEnd\nClumpBegin\nClumpEnd\n";
    auto o = ReadScript(text);
    ASSERT_EQ(o->Clumps().size(), 2u);
    EXPECT_EQ(o->CountTriangles(), 1);
    EXPECT_EQ(FirstMaterial(*o->Clumps()[0]).color, (RGB{1, 0, 0}));
}

TEST(ObjectReader, FileEndingInsideBodiesKeepsWhatWasRead) {
    auto o = ReadScript("ProtoBegin p\nClumpBegin\nClumpBegin\nVertex 0 0 0\n");
    EXPECT_TRUE(o->Clumps().empty());
    ASSERT_EQ(o->Prototypes().size(), 1u);
    EXPECT_EQ(o->Prototypes()[0]->Name(), "p");
    EXPECT_EQ(o->SavedStates(), 0);
}

TEST(ObjectReader, NestingBeyondTheStateStackIsReportedAndReadOn) {
    LogCapture log;
    std::string text = "Color 1 0 0\n";
    for (int i = 0; i < 300; ++i) text += "ClumpBegin\nColor 0 1 0\n";
    for (int i = 0; i < 300; ++i) text += "ClumpEnd\n";
    text += "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";
    auto o = ReadScript(text, log);
    const Lines lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);  // told once, at the first body beyond 256 levels
    // Indented as at level 256: deeper levels do not indent further.
    EXPECT_EQ(lines[0], std::string(4 * 256 - 2, ' ') + "Clump:Nested too deeply, state not saved : \"ClumpBegin\"");
    ASSERT_EQ(o->Clumps().size(), 2u);
    EXPECT_EQ(FirstMaterial(*o->Clumps()[1]).color, (RGB{1, 0, 0}));  // scopes still balanced
    EXPECT_EQ(o->SavedStates(), 0);
}

TEST(ObjectReader, HundredThousandNestedClumpsNeitherCrashNorRecurse) {
    const int depth = 100000;
    std::string text;
    text.reserve(depth * 20);
    for (int i = 0; i < depth; ++i) text += "ClumpBegin\n";
    for (int i = 0; i < depth; ++i) text += "ClumpEnd\n";
    LogCapture log;
    auto o = ReadScript(text, log);
    ASSERT_EQ(o->Clumps().size(), 1u);
    EXPECT_EQ(o->CountTriangles(), 0);
    EXPECT_EQ(log.Lines().size(), 1u);
    o.reset();  // destroying the deep tree must not recurse either
}

TEST(ObjectReader, ErrorFloodIsCappedWithACountingLine) {
    std::string text = "ClumpBegin\n";
    for (int i = 0; i < 10005; ++i) text += "Bogus\n";
    LogCapture log;
    auto o = ReadScript(text, log);
    const Lines lines = log.Lines();
    ASSERT_EQ(lines.size(), 10001u);
    EXPECT_EQ(lines.back(), "Object:Too many errors, 5 more not listed : \"test.rwx\"");
    EXPECT_EQ(o->ErrorLines(), 10001);
}

// A state command with missing, non-number or extra numbers writes one line, of the level it is
// at, and changes nothing: the faces after it keep the colour before it.
TEST(ObjectReader, MalformedStateCommandsAreReportedAtTheirLevelAndChangeNothing) {
    const char* malformed[] = {"Color red green blue",
                               "Color 1 2 3 4",
                               "Color 0 1",
                               "Transform 1 0 0 0 0 1 0 0 0 0 1 0 2 0 0",
                               "Scale 2 2",
                               "Rotate 0 1 0",
                               "Opacity",
                               "Surface 0.1 0.2 0.3 0.4",
                               "Ambient 0.5 0.5"};
    const std::string triangle = "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n";
    for (const char* line : malformed) {
        struct Level {
            std::string script;
            std::string error;
        };
        const Level levels[] = {
            {"Color 1 0 0\n" + std::string(line) + "\nClumpBegin\n" + triangle + "ClumpEnd\n",
             "Object:Invalid command : \"" + std::string(line) + "\""},
            {"ClumpBegin\nColor 1 0 0\n" + std::string(line) + "\n" + triangle + "ClumpEnd\n",
             "  Clump:Invalid / Unknown command : \"" + std::string(line) + "\""},
            {"ClumpBegin\nClumpBegin\nColor 1 0 0\n  " + std::string(line) + "\n" + triangle + "ClumpEnd\nClumpEnd\n",
             "      Clump:Invalid / Unknown command : \"  " + std::string(line) + "\""},
        };
        for (const Level& level : levels) {
            LogCapture log;
            const auto o = ReadScript(level.script, log);
            EXPECT_EQ(log.Lines(), Lines{level.error}) << level.script;
            ASSERT_EQ(o->CountTriangles(), 1) << level.script;
            const TClump& top = *o->Clumps().at(0);
            const TClump& faces = top.Children().empty() ? top : *top.Children()[0];
            const RWXMaterial& m = FirstMaterial(faces);
            EXPECT_EQ(m.color, (RGB{1, 0, 0})) << level.script;
            EXPECT_EQ(m.opacity, 1.0) << level.script;
            EXPECT_EQ(m.ambient, RWXMaterial{}.ambient) << level.script;
            EXPECT_EQ(faces.GetVertex(1)->x, 1) << level.script;  // no transform changed
        }
    }
    // Comments and value words are no extra numbers; words a command does not take are no fault.
    LogCapture log;
    ReadScript(
        "Color 1 0 0 # red\nTextureModes Lit Filter\nLightSampling Flat\nClumpBegin\nOpacity 0.5 # half\n"
        "Translate 0 0 1 tag 2\nMaterialModes Bogus\nClumpEnd\n",
        log);
    EXPECT_TRUE(log.Lines().empty());
}

// However long a line is, an error line quotes its first 2047 characters and "...".
TEST(ObjectReader, ErrorLinesQuoteABoundedPartOfALongLine) {
    const std::string huge(3'000'000, 'x');
    const std::string shown = std::string(2047, 'x') + "...";
    struct Case {
        std::string script;
        std::string error;
    };
    const Case cases[] = {
        {"Frobnicate " + huge + "\n", "Object:Unknown command : \"Frobnicate " + shown.substr(11) + "\""},
        {"ClumpBegin\nFrobnicate" + huge + "\nClumpEnd\n",
         "  Clump:Invalid / Unknown command : \"Frobnicate" + shown.substr(10) + "\""},
        {"Color 1 0 " + huge + "\n", "Object:Invalid command : \"Color 1 0 " + shown.substr(10) + "\""},
        {"ClumpEnd " + huge + "\n", "Object:Cannot use command here : \"ClumpEnd " + shown.substr(9) + "\""},
        {"Frobnicate\n", "Object:Unknown command : \"Frobnicate\""},  // short lines stay whole
        {"# " + std::string(2045, 'y') + "\nFrobnicate" + std::string(2037, 'z') + "\n",
         "Object:Unknown command : \"Frobnicate" + std::string(2037, 'z') + "\""},  // exactly 2047
    };
    for (const Case& c : cases) {
        LogCapture log;
        ReadScript(c.script, log);
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0], c.error);
        EXPECT_LT(log.Text().size(), 2200u);
    }
    // A cut that would split a character moves back to before it.
    LogCapture log;
    ReadScript("Frobnicate" + std::string(2036, 'x') + "\xC3\xA9tail\n", log);
    EXPECT_EQ(log.Lines(), Lines{"Object:Unknown command : \"Frobnicate" + std::string(2036, 'x') + "...\""});
}

TEST(ObjectReader, PrototypeNamesAreTruncatedAndCaseBlind) {
    const std::string longName(150, 'N');
    auto o = ReadScript("ProtoBegin " + longName +
                        "\nVertex 0 0 0\nProtoEnd\nProtoBegin Box\nProtoEnd\nProtoBegin BOX\nProtoEnd\n");
    ASSERT_EQ(o->Prototypes().size(), 3u);
    EXPECT_EQ(o->Prototypes()[0]->Name().size(), 99u);
    EXPECT_EQ(o->FindProto(longName), o->Prototypes()[0].get());
    EXPECT_EQ(o->FindProto("box"), o->Prototypes()[1].get());  // the first of equal names
    EXPECT_EQ(o->FindProto("crate"), nullptr);
}

}  // namespace
}  // namespace pelorus
