// The command-line tools: exit statuses, summary lines and the dump format.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/paths.h"
#include "shell/cli.h"
#include "testutil.h"

namespace pelorus {
namespace {

using nlohmann::json;

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

// An object map's dump names each entry and its model, and writes each model once: before, every
// entry carried its whole model (a 336-byte map gave 1.9 GB of JSON).
TEST(Cli, DumpOfAnObjectMapWritesEachModelOnce) {
    test::TempDir dir;
    dir.Write("scene/a.rwx", std::string(kTriangle) + "Bogus\n");
    dir.Write("scene/b.rwx", "ClumpBegin\nClumpEnd\n");
    dir.Write("scene/sub/c.rwx", "");
    const std::string map =
        dir.Write("scene/map.txt", "a.rwx 1 2 3\nb.rwx 0 0 0\nsub/../A.RWX 4 5 6\nnone.rwx 0 0 0\nnot.rwx 0 0 0\n");
    const CliRun r = Cli({"--dump", map});
    EXPECT_EQ(r.status, 0);
    const json dump = json::parse(r.out);
    EXPECT_EQ(dump["errors"], json::array({"Object:Unknown command : \"Bogus\"", "Could Not Open File \"none.rwx\"",
                                           "Could Not Open File \"not.rwx\""}));
    const json objects = dump["objects"];
    ASSERT_EQ(objects.size(), 5u);
    EXPECT_EQ(objects[0], json::parse(R"({"path": "a.rwx", "offset": [1, 2, 3], "model": 0})"));
    EXPECT_EQ(objects[1]["model"], 1);
    EXPECT_EQ(objects[2], json::parse(R"({"path": "sub/../A.RWX", "offset": [4, 5, 6], "model": 0})"));
    EXPECT_EQ(objects[3]["model"], 2);
    EXPECT_EQ(objects[4]["model"], 2);
    const json models = dump["models"];
    ASSERT_EQ(models.size(), 3u);
    EXPECT_EQ(models[0]["name"], "a.rwx");
    EXPECT_EQ(models[0]["path"], dir.Join("scene/a.rwx"));
    EXPECT_EQ(models[0]["triangles"], 1);
    EXPECT_EQ(models[0]["clumps"][0]["batches"][0]["triangles"], json::parse("[[0, 1, 2]]"));
    EXPECT_EQ(models[1]["name"], "b.rwx");
    EXPECT_EQ(models[1]["clumps"].size(), 1u);
    EXPECT_EQ(models[2]["name"], "");  // the files that could not be opened
    EXPECT_EQ(models[2]["clumps"].size(), 0u);
    // A model's part is what the dump of its script says of it.
    const json alone = json::parse(Cli({"--dump", dir.Join("scene/a.rwx")}).out)["objects"][0];
    for (const char* key : {"clumps", "prototypes", "textures", "triangles", "translucent"})
        EXPECT_EQ(models[0][key], alone[key]) << key;
}

// A stream that records how much each write to it held.
class WriteSizes : public std::streambuf {
public:
    std::size_t total = 0, largest = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        total += static_cast<std::size_t>(n);
        largest = std::max(largest, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override { return xsputn(nullptr, 1) == 1 ? c : traits_type::eof(); }
};

// The dump goes out as it is made, in pieces, rather than being built whole first.
TEST(Cli, DumpIsWrittenAsItGoes) {
    test::TempDir dir;
    std::string script = "ClumpBegin\n";
    for (int i = 0; i < 20'000; ++i) script += "Vertex " + std::to_string(i) + " 0 0\n";
    const std::string path = dir.Write("big.rwx", script + "ClumpEnd\n");
    WriteSizes sizes;
    std::ostream out(&sizes);
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine({"--dump", path}, out, err), 0);
    EXPECT_GT(sizes.total, std::size_t{512} << 10);
    EXPECT_LE(sizes.largest, std::size_t{128} << 10);
}

// The dump names a texture by the file read: "checker.png" when only that was found for "checker".
TEST(Cli, DumpNamesTexturesByTheFileRead) {
    test::TempDir dir;
    test::PngFile png;
    png.width = png.height = 2;
    png.colour = test::PngFile::Rgb;
    png.rows.assign(2, std::vector<uint8_t>(6, 90));
    const std::vector<uint8_t> bytes = test::WritePng(png);
    dir.Write("checker.png", std::string(bytes.begin(), bytes.end()));
    const std::string path = dir.Write("t.rwx", std::string("Texture checker\n") + kTriangle);
    // Textures are looked for in the current folder, as the viewer started there would.
    const std::string start = CurrentDirectory();
    SetCurrentDirectory(dir.Path());
    const CliRun r = Cli({"--dump", path});
    SetCurrentDirectory(start);
    EXPECT_NE(r.out.find("\"textures\": [{\"name\": \"checker.png\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("checker.jpg"), std::string::npos) << r.out;
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
        {map, "Unable to open file \"" + map + "\" as an object map: it is not a regular file."},
        {"/dev/zero", "Unable to open file \"/dev/zero\" as an object map: it is not a regular file."},
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
