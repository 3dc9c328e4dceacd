// The command-line tools: exit statuses, summary lines and the dump format.

#include <gtest/gtest.h>

#include <sstream>

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
        "[[0,0,0,0,1,0,0,1,0,0,0], [1,0,0,0,0,0,0,1,0,0,0], [0,1,0,0,0,0,0,1,0,0,0]], \"batches\": [{\"material\": "
        "{\"geometry_sampling\": 2, \"axis_alignment\": 0, \"light_sampling\": 1, \"color\": [0,0,0], \"ambient\": "
        "[0,0,0], \"diffuse\": [0,0,0], \"specular\": [0,0,0], \"opacity\": 1, \"texture\": -1, \"frames\": 0, "
        "\"texture_modes\": 7, \"material_modes\": 0, \"mipmapping\": 1, \"mask\": 0, \"address_mode\": 0}, "
        "\"triangles\": [[0,1,2]], \"face_normals\": [[0,0,1]]}], \"children\": []}], \"prototypes\": [], "
        "\"textures\": [], \"triangles\": 1, \"translucent\": 0}]}\n";
    EXPECT_EQ(r.out, expected);
}

TEST(Cli, DumpNestsChildrenAndNamesPrototypesAndEscapesText) {
    test::TempDir dir;
    const std::string path = dir.Write("n.rwx",
                                       "ProtoBegin \"q\\\nProtoEnd\nClumpBegin\nClumpBegin\nClumpEnd\nClumpBegin\n"
                                       "ClumpBegin\nClumpEnd\nClumpEnd\nClumpEnd\nBad\xff\x01\n");
    const CliRun r = Cli({"--dump", path});
    EXPECT_NE(r.out.find("\"errors\": [\"Object:Unknown command : \\\"Bad\\u00ff\\u0001\\\"\"]"), std::string::npos);
    EXPECT_NE(r.out.find("\"prototypes\": [{\"name\": \"\\\"q\\\\\", \"vertices\""), std::string::npos);
    EXPECT_NE(r.out.find("\"children\": [{\"vertices\": [], \"batches\": [], \"children\": []}, {\"vertices\": [], "
                         "\"batches\": [], \"children\": [{\"vertices\": [], \"batches\": [], \"children\": []}]}]}]"),
              std::string::npos);
}

}  // namespace
}  // namespace pelorus
