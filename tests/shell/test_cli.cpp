// The command-line tools: exit statuses, summary lines and the dump format.

#include <gtest/gtest.h>

#include <sstream>

#include "platform/paths.h"
#include "shell/cli.h"
#include "testutil.h"

namespace pelorus {
namespace {

struct CliRun {
    std::optional<int> status;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun r;
    r.status = RunCommandLine(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

const char* kTriangle = "ClumpBegin\nVertex 0 0 0 UV 0 1\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";

TEST(Cli, UsageErrorsAndHelp) {
    EXPECT_EQ(Cli({"--check"}).status, 2);
    EXPECT_EQ(Cli({"--dump"}).status, 2);
    EXPECT_EQ(Cli({"--dump", "a", "b"}).status, 2);
    EXPECT_EQ(Cli({"--frobnicate"}).status, 2);
    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--check"), std::string::npos);
    EXPECT_EQ(Cli({"--version"}).out.rfind("pelorus ", 0), 0u);
    EXPECT_FALSE(Cli({"model.rwx"}).status.has_value());  // the viewer's job
    EXPECT_FALSE(Cli({}).status.has_value());
}

TEST(Cli, CheckPrintsErrorsThenOneSummaryPerFileAndAFolderTotal) {
    test::TempDir dir;
    const std::string good = dir.Write("models/good.rwx", kTriangle);
    const std::string bad = dir.Write("models/sub/Bad.RWX", "Frobnicate\nClumpBegin\nQuad 1 2 3 4\nClumpEnd\n");
    dir.Write("models/notes.txt", "not a script");

    const CliRun one = Cli({"--check", good});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, good +
                           ": objects 1, clumps 1, prototypes 0, vertices 3, triangles 1, translucent 0, "
                           "textures 0, errors 0\n");

    const CliRun folder = Cli({"--check", dir.Join("models")});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(
        folder.out,
        good + ": objects 1, clumps 1, prototypes 0, vertices 3, triangles 1, translucent 0, textures 0, errors 0\n" +
            bad + ": Object:Unknown command : \"Frobnicate\"\n" + bad +
            ":   Clump:Invalid / Unknown command : \"Quad 1 2 3 4\"\n" + bad +
            ": objects 1, clumps 1, prototypes 0, vertices 0, triangles 0, translucent 0, textures 0, errors 2\n"
            "total: files 2, objects 2, clumps 2, prototypes 0, vertices 3, triangles 1, translucent 0, "
            "textures 0, errors 2\n");
}

TEST(Cli, CheckReadsObjectMapsFromTheirOwnFolder) {
    test::TempDir dir;
    dir.Write("scene/a.rwx", kTriangle);
    const std::string map = dir.Write("scene/map.txt", "a.rwx 0 0 0\nA.RWX 1 0 0\nmissing.rwx 0 0 0\n");
    const CliRun r = Cli({"--check", map});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.out,
        map + ": Could Not Open File \"missing.rwx\"\n" + map +
            ": objects 3, clumps 2, prototypes 0, vertices 6, triangles 2, translucent 0, textures 0, errors 1\n");
}

TEST(Cli, DumpDescribesEverythingRead) {
    test::TempDir dir;
    const std::string path = dir.Write("t.rwx", std::string(kTriangle) + "Bogus\n");
    const CliRun r = Cli({"--dump", path});
    EXPECT_EQ(r.status, 0);
    const std::string expected =
        "{\"errors\": [\"Object:Unknown command : \\\"Bogus\\\"\"],\n"
        " \"objects\": [{\"path\": \"" +
        path +
        "\", \"offset\": [0,0.025,0], \"clumps\": [{\"vertices\": "
        "[[0,0,0,0,1,0,0,1,0,0,0], [1,0,0,0,0,0,0,1,0,0,0], [0,1,0,0,0,0,0,1,0,0,0]], \"batches\": [{\"tag\": 0, "
        "\"material\": "
        "{\"geometry_sampling\": 2, \"axis_alignment\": 0, \"light_sampling\": 1, \"color\": [0,0,0], \"ambient\": "
        "[0,0,0], \"diffuse\": [0,0,0], \"specular\": [0,0,0], \"opacity\": 1, \"texture\": -1, \"frames\": 0, "
        "\"texture_modes\": 7, \"material_modes\": 0, \"mipmapping\": 1, \"mask\": 0, \"address_mode\": 0}, "
        "\"triangles\": [[0,1,2]], \"face_normals\": [[0,0,1]]}], \"children\": []}], \"prototypes\": [], "
        "\"textures\": [], \"triangles\": 1, \"translucent\": 0}]}\n";
    EXPECT_EQ(r.out, expected);
}

TEST(Cli, CheckAndDumpOpenZippedModels) {
    test::TempDir dir;
    const std::string zip = dir.Join("models/Crate.zip");
    ASSERT_TRUE(test::WriteZip(zip, "crate.rwx", kTriangle));
    const CliRun check = Cli({"--check", zip, dir.Join("models/none.zip")});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(
        check.out,
        zip + ": objects 1, clumps 1, prototypes 0, vertices 3, triangles 1, translucent 0, textures 0, errors 0\n" +
            dir.Join("models/none.zip") + ": Couldn't open archive \"none.zip\".\n" + dir.Join("models/none.zip") +
            ": objects 1, clumps 0, prototypes 0, vertices 0, triangles 0, translucent 0, textures 0, errors 1\n"
            "total: files 2, objects 2, clumps 1, prototypes 0, vertices 3, triangles 1, translucent 0, "
            "textures 0, errors 1\n");
    const CliRun dump = Cli({"--dump", zip});
    EXPECT_EQ(dump.out.rfind("{\"errors\": [],\n \"objects\": [{\"path\": \"" + zip + "\", \"offset\": [0,0.025,0]", 0),
              0u)
        << dump.out;
    EXPECT_NE(dump.out.find("\"triangles\": [[0,1,2]]"), std::string::npos);
}

TEST(Cli, DumpNestsChildrenAndNamesPrototypesAndEscapesText) {
    test::TempDir dir;
    const std::string path = dir.Write("n.rwx",
                                       "ProtoBegin \"q\\\nProtoEnd\nClumpBegin\nClumpBegin\nClumpEnd\nClumpBegin\n"
                                       "ClumpBegin\nClumpEnd\nClumpEnd\nClumpEnd\nBad\xff\x01\n");
    const CliRun r = Cli({"--dump", path});
    EXPECT_NE(r.out.find("\"errors\": [\"Object:Unknown command : \\\"Bad\xEF\xBF\xBD\\u0001\\\"\"]"),
              std::string::npos)
        << "a byte that is no UTF-8 becomes U+FFFD";
    EXPECT_NE(r.out.find("\"prototypes\": [{\"name\": \"\\\"q\\\\\", \"vertices\""), std::string::npos);
    EXPECT_NE(r.out.find("\"children\": [{\"vertices\": [], \"batches\": [], \"children\": []}, {\"vertices\": [], "
                         "\"batches\": [], \"children\": [{\"vertices\": [], \"batches\": [], \"children\": []}]}]}]"),
              std::string::npos);
}

TEST(Cli, SpecialFilesEndAtOnceWithTheCouldNotOpenLine) {
    test::TempDir dir;
    const std::string fifo = test::MakeFifo(dir, "pipe.rwx");
    const std::string map = test::MakeFifo(dir, "pipe.txt");
    const std::string device = test::MakeZeroDevice(dir, "zero.rwx");
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "Could Not Open File \"pipe.rwx\""},
        {map, "Unable to open file \"pipe.txt\" as an object map."},
        {"/dev/zero", "Unable to open file \"zero\" as an object map."},
        {device, "Could Not Open File \"zero.rwx\""},
    };
    for (const auto& [path, line] : cases) {
        if (path.empty()) continue;  // no device node without root
        const CliRun r = Cli({"--check", path});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), path + ": " + line);
    }
}

TEST(Cli, CheckEscapesControlBytesOfScriptsForTheTerminal) {
    test::TempDir dir;
    const std::string path = dir.Write("esc.rwx", "Bad\x1b[2J\tcmd\xff\x7f\n");
    const CliRun r = Cli({"--check", path});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), path + ": Object:Unknown command : \"Bad\\x1B[2J\tcmd\\xFF\\x7F\"");
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

TEST(Cli, DoubleDashEndsTheOptions) {
    test::TempDir dir;
    const std::string path = dir.Write("--check.rwx", kTriangle);
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    const CliRun check = Cli({"--check", "--", "--check.rwx"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(check.out.rfind("--check.rwx: objects 1, clumps 1", 0), 0u) << check.out;
    const CliRun dump = Cli({"--dump", "--", "--check.rwx"});
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(dump.out.find("\"triangles\": 1"), std::string::npos);
    EXPECT_EQ(Cli({"--dump", "--", "a", "b"}).status, 2);
    EXPECT_FALSE(Cli({"--", "--check"}).status.has_value()) << "the viewer is asked for, with a FILE \"--check\"";
}

TEST(Cli, OnlyTheViewerScreenshotsAndThumbnailsNeedTheWindowSystem) {
    const struct {
        std::vector<std::string> args;
        bool window;
    } cases[] = {
        {{}, true},
        {{"model.rwx"}, true},
        {{"--", "--odd.rwx"}, true},
        {{"--screenshot", "out.png", "model.rwx"}, true},
        {{"--thumbnail", "in.rwx", "out.png", "128"}, true},
        {{"--check", "model.rwx"}, false},
        {{"--dump", "model.rwx"}, false},
        {{"--version"}, false},
        {{"--help"}, false},
        {{"--frobnicate"}, false},  // refused by the tools, without starting the window system
    };
    for (const auto& c : cases) EXPECT_EQ(NeedsWindowSystem(c.args), c.window) << (c.args.empty() ? "" : c.args[0]);
}

}  // namespace
}  // namespace pelorus
