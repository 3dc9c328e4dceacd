// `pelorus --export`: its exit statuses, and the output rules that keep it from replacing
// anything it should not.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "export/gltfsave.h"
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

std::string Contents(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? text : std::string("<missing>");
}

bool Exists(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text);
}

constexpr std::string_view kTriangle =
    "ClumpBegin\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\nTexture wood\nTriangle 1 2 3\n"
    "ClumpEnd\n";

class CliExport : public ::testing::Test {
protected:
    void SetUp() override {
        model_ = dir_.Write("in/model.rwx", kTriangle);
        jpeg_ = test::BandsJpeg(8, 8, {{200, 100, 50}});
        dir_.Write("in/wood.jpg", jpeg_);
    }
    test::TempDir dir_;
    std::string model_;
    std::string jpeg_;
};

TEST_F(CliExport, WritesOneGlbOrAGltfWithItsSideFiles) {
    const CliRun glb = Cli({"--export", dir_.Join("out.glb"), model_});
    EXPECT_EQ(glb.status, 0) << glb.err;
    EXPECT_EQ(glb.err, "");
    EXPECT_EQ(glb.out, dir_.Join("out.glb") +
                           ": entries 1, nodes 3, meshes 1, primitives 1, triangles 1, materials 1, images 1\n");
    EXPECT_EQ(Contents(dir_.Join("out.glb")).substr(0, 4), "glTF");

    const CliRun gltf = Cli({"--export", "--", dir_.Join("out.gltf"), model_});
    EXPECT_EQ(gltf.status, 0) << gltf.err;
    EXPECT_EQ(Contents(dir_.Join("out.gltf")).substr(0, 1), "{");
    EXPECT_TRUE(Exists(dir_.Join("out.bin")));
    EXPECT_EQ(Contents(dir_.Join("out_0.jpg")), jpeg_);

    // Exporting again replaces the earlier export, side files included.
    EXPECT_EQ(Cli({"--export", dir_.Join("out.gltf"), model_}).status, 0);
    EXPECT_EQ(Cli({"--export", dir_.Join("out.glb"), model_}).status, 0);
}

TEST_F(CliExport, ErrorLinesGiveStatus1AndTheModelIsStillWritten) {
    const std::string bad = dir_.Write("in/bad.rwx", "Frobnicate\n" + std::string(kTriangle));
    const CliRun r = Cli({"--export", dir_.Join("bad.glb"), bad});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, bad + ":1: Object:Unknown command : \"Frobnicate\"\n");
    EXPECT_EQ(Contents(dir_.Join("bad.glb")).substr(0, 4), "glTF");
}

// A world of three objects near 0N 0W (two turned) and one far away whose model says what is
// wrong with it when it is read.
class CliExportWorld : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string triangle = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n";
        dir_.Write("op/rwx/a.rwx", triangle + "ClumpEnd\n");
        dir_.Write("op/rwx/b.rwx", triangle + "Color 0 1 0\nTriangle 1 3 2\nClumpEnd\n");
        dir_.Write("op/rwx/c.rwx", triangle + "Oops\nClumpEnd\n");
        world_ = dir_.Write("w.txt",
                            "propdump version 3\n"
                            "1 2 0 0 0 900 0 0 1 0 0 a\n"
                            "1 2 500 0 0 0 300 0 1 0 0 a\n"
                            "1 2 0 0 200 0 0 0 1 0 0 b\n"
                            "1 2 100000 0 0 0 0 0 1 0 0 c\n");
    }
    CliRun Export(const std::string& out, std::vector<std::string> options) {
        std::vector<std::string> args = {"--object-path", dir_.Join("op"), "--export", dir_.Join(out)};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(world_);
        return Cli(args);
    }
    test::TempDir dir_;
    std::string world_;
};

TEST_F(CliExportWorld, WritesOnlyWhatLiesWithinTheDrawDistanceOfAtReadingOnlyItsModels) {
    // 20 m of 0N 0W: the three near objects, two meshes (one per model, shared by the objects
    // of a, whose triangles count once), and c is never read.
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--at", "0N 0W", "--draw-distance", "20"},
          std::vector<std::string>{"--draw-distance", "20"}}) {  // where the world opens: a at 0N 0W
        const CliRun near = Export("near.gltf", options);
        EXPECT_EQ(near.status, 0) << near.err;
        EXPECT_EQ(near.err, "");
        EXPECT_EQ(near.out, dir_.Join("near.gltf") +
                                ": entries 3, nodes 7, meshes 2, primitives 3, triangles 3, materials 2, images 0\n");
        // Each turned object's node carries its turn: a by 90 degrees of yaw, a by 30 of tilt.
        const std::string gltf = Contents(dir_.Join("near.gltf"));
        std::size_t turns = 0;
        for (std::size_t at = gltf.find("\"rotation\""); at != std::string::npos;
             at = gltf.find("\"rotation\"", at + 1))
            ++turns;
        EXPECT_EQ(turns, 2u);
    }
    // Elsewhere with 20 m: only the far object.
    const CliRun far = Export("far.glb", {"--at", "0N 100W", "--draw-distance", "20"});
    EXPECT_EQ(far.status, 1);
    EXPECT_NE(far.err.find("Oops"), std::string::npos);
    EXPECT_EQ(far.out.substr(far.out.find(": ") + 2, 10), "entries 1,");
    // Without a draw distance (with --at or not) everything, each model read.
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--at", "0N 0W"}}) {
        const CliRun all = Export("all.glb", options);
        EXPECT_EQ(all.status, 1);
        EXPECT_NE(all.err.find("Oops"), std::string::npos);
        EXPECT_EQ(all.out, dir_.Join("all.glb") +
                               ": entries 4, nodes 9, meshes 3, primitives 4, triangles 4, materials 2, images 0\n");
    }
}

TEST_F(CliExportWorld, BadWorldOptionsAreUsageErrors) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--at", "nowhere"}, std::vector<std::string>{"--draw-distance", "0"},
          std::vector<std::string>{"--draw-distance", "-5"}, std::vector<std::string>{"--draw-distance", "1,5"}}) {
        const CliRun bad = Export("bad.glb", options);
        EXPECT_EQ(bad.status, 2) << options[1];
        EXPECT_FALSE(Exists(dir_.Join("bad.glb")));
    }
}

TEST_F(CliExport, UsageErrorsGiveStatus2) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--export"}, {"--export", "a.glb"}, {"--export", "a.glb", "b.rwx", "c.rwx"}}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
    EXPECT_NE(Cli({"--help"}).out.find("--export OUT.glb|OUT.gltf|OUT.rwx|OUT.zip"), std::string::npos);
}

TEST_F(CliExport, RefusesOutputsThatWouldCostAFileAndWritesNothing) {
    const std::string map = dir_.Write("in/scene.gltf", "model.rwx 0 0 0\n");
    dir_.Write("notes.glb", "my notes");
    const std::string fifo = test::MakeFifo(dir_, "pipe.glb");
    const struct {
        const char* name;
        std::string output;
        std::string input;
        const char* reason;
    } cases[] = {
        {"a text file's name", dir_.Join("model.txt"), model_,
         "the output must be named *.glb or *.gltf or *.rwx or *.zip"},
        {"the input itself", map, map, "it is the input file"},
        {"a FIFO", fifo, model_, "it is not a regular file"},
        {"a file of another kind", dir_.Join("notes.glb"), model_, "it exists and is not a glTF model"},
        {"a missing folder", dir_.Join("nowhere/out.glb"), model_, "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Cli({"--export", c.output, c.input});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Contents(map), "model.rwx 0 0 0\n");
    EXPECT_EQ(Contents(dir_.Join("notes.glb")), "my notes");
    EXPECT_EQ(Contents(model_), kTriangle);
}

TEST_F(CliExport, SideFilesNeverReplaceOtherFilesOrTheTexturesRead) {
    const struct {
        const char* name;
        std::string output;
        std::string sideFile;  // written first, must stay
        std::string content;
        const char* reason;
    } cases[] = {
        {"a .bin of something else", dir_.Join("x.gltf"), dir_.Join("x.bin"), "firmware",
         "it exists and is not a file that \"x.gltf\" names"},
        {"an image no export named", dir_.Join("y.gltf"), dir_.Join("y_0.jpg"), jpeg_,
         "it exists and is not a JPEG image that \"y.gltf\" names"},
        // The image's name is the texture's own: the texture read is an input.
        {"the texture read", dir_.Join("in/wood.gltf"), dir_.Join("in/wood_0.jpg"), jpeg_, "it is the input file"},
    };
    std::string script(kTriangle);
    script.replace(script.find("Texture wood"), 12, "Texture wood_0");
    const std::string model = dir_.Write("in/side.rwx", script);
    dir_.Write("in/wood_0.jpg", jpeg_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.Write(c.sideFile.substr(dir_.Path().size() + 1), c.content);
        const CliRun r = Cli({"--export", c.output, model});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(Contents(c.sideFile), c.content);
        EXPECT_FALSE(Exists(c.output));  // nothing written at all
    }
}

// An empty name (an unset shell variable) names no file: it was read as an empty model.
TEST_F(CliExport, EmptyFileNamesAreUsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--check", ""},
                                               {"--check", model_, ""},
                                               {"--dump", ""},
                                               {"--dump", "--", ""},
                                               {"--export", dir_.Join("x.glb"), ""},
                                               {"--export", "", model_}}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << args.size();
        EXPECT_EQ(r.err.rfind("pelorus: " + args[0] + " was given an empty file name\n", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(Exists(dir_.Join("x.glb")));
}

// `--export 'a\b.gltf'` was checked as a/b.gltf but written as a file named "a\b.gltf" beside
// side files in a/. One name, resolved once, is checked and written.
TEST_F(CliExport, EitherSeparatorNamesTheFolderOfTheOutputAndItsSideFiles) {
    ScopedCurrentDirectory cd(dir_.Path());
    ASSERT_TRUE(cd.Changed());
    dir_.Write("a/keep", "");
    const CliRun r = Cli({"--export", "a\\b.gltf", model_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Contents(dir_.Join("a/b.gltf")).substr(0, 1), "{");
    EXPECT_TRUE(Exists(dir_.Join("a/b.bin")));
    EXPECT_EQ(Contents(dir_.Join("a/b_0.jpg")), jpeg_);
    EXPECT_FALSE(std::filesystem::exists(dir_.Join("a\\b.gltf")));  // not the literal name
    const CliRun bare = Cli({"--export", "a/.gltf", model_});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.err, "pelorus: refusing to write \"a/.gltf\": the output must be named *.glb or *.gltf\n");
}

// A re-export that failed half-way (a full disk) left the new .bin beside the old .gltf. Every
// file is written in full first and renamed only when all were: the previous set stays whole.
TEST_F(CliExport, AFailedReExportLeavesThePreviousExportWhole) {
    std::vector<uint8_t> noise(128 * 128 * 3);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const std::string bigJpeg = test::EncodeJpeg(128, 128, noise);  // far larger than the .gltf
    dir_.Write("in/wood.jpg", bigJpeg);
    const std::string out = dir_.Join("out/x.gltf");
    dir_.Write("out/keep", "");
    ASSERT_EQ(Cli({"--export", out, model_}).status, 0);
    const std::string files[] = {"x.gltf", "x.bin", "x_0.jpg"};
    std::vector<std::string> before;
    for (const std::string& f : files) before.push_back(Contents(dir_.Join("out/" + f)));
    ASSERT_LT(before[0].size() * 2, bigJpeg.size());

    // The same model moved: a new .bin and .gltf, the same image, which no longer fits.
    std::string moved(kTriangle);
    moved.replace(moved.find("Vertex 0 0 0"), 12, "Vertex 0 0 5");
    dir_.Write("in/model.rwx", moved);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{bigJpeg.size() - 1, bigJpeg.size() - 1};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        const CliRun r = Cli({"--export", out, model_});
        ::_exit(r.status.value_or(9) == 1 && r.err.find(std::strerror(EFBIG)) != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the export did not fail as it should";
    for (std::size_t i = 0; i < std::size(files); ++i)
        EXPECT_EQ(Contents(dir_.Join("out/" + files[i])), before[i]) << files[i];
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Join("out")))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"keep", "x.gltf", "x.bin", "x_0.jpg"})) << "no temporary file left";

    // Without the limit the whole new set replaces the old.
    ASSERT_EQ(Cli({"--export", out, model_}).status, 0);
    EXPECT_NE(Contents(dir_.Join("out/x.bin")), before[1]);
}

// What killed exports left beside the output goes at the next export into that folder, as long
// as their process is gone; other files stay.
TEST_F(CliExport, LeftoversOfKilledExportsGo) {
    const pid_t dead = [] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }();
    const std::string gone = std::to_string(dead);
    for (const std::string& name : {".x.bin." + gone + ".0.tmp", ".x.gltf." + gone + ".1.tmp",
                                    ".x_0.jpg." + gone + ".0.tmp", ".x.rwx." + gone + ".0.tmp"})
        dir_.Write("out/" + name, "half");
    ASSERT_EQ(Cli({"--export", dir_.Join("out/x.glb"), model_}).status, 0);
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Join("out")))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"x.glb", ".x.rwx." + gone + ".0.tmp"}));
}

}  // namespace
}  // namespace pelorus
