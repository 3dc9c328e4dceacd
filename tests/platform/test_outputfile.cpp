// Output files: the names, kinds and places that may be written, and every other one refused
// with its reason.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/outputfile.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of an image";

std::string Refusal(const std::string& output, std::initializer_list<std::string> inputs = {},
                    const OutputKind& kind = PngOutput()) {
    const std::vector<std::string> in(inputs);
    return CheckOutputFile(output, kind, in).value_or("");
}

TEST(OutputFile, NameMustCarryTheKindsExtensionInAnyCase) {
    TempDir dir;
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    dir.Write("crate.rwx", "ModelBegin\n");
    // The output name forgotten: the model would be the output.
    EXPECT_EQ(Refusal("crate.rwx"), "refusing to write \"crate.rwx\": the output must be named *.png");
    for (const char* name : {"shot.png", "SHOT.PNG", "a.Png"}) EXPECT_EQ(Refusal(name), "") << name;
    // A name that is only the extension names no picture, in any folder.
    for (const char* name : {".png", "dir.png/.png", "sub\\.PNG", "shot.png.rwx", "shot", "shotpng"})
        EXPECT_EQ(Refusal(name), "refusing to write \"" + std::string(name) + "\": the output must be named *.png")
            << name;
    EXPECT_EQ(Refusal("sub/.gltf", {}, GltfOutput()),
              "refusing to write \"sub/.gltf\": the output must be named *.glb or *.gltf");
    EXPECT_EQ(Refusal("m.obj", {}, GltfOutput()),
              "refusing to write \"m.obj\": the output must be named *.glb or *.gltf");
    EXPECT_EQ(Refusal("m.GLB", {}, GltfOutput()), "");
    EXPECT_EQ(Refusal("m.gltf", {}, GltfOutput()), "");
}

TEST(OutputFile, TheInputIsNeverTheOutputByAnyPathOrLink) {
    TempDir dir;
    const std::string input = dir.Write("scene/shot.png", kPng);
    ASSERT_EQ(::symlink(input.c_str(), dir.Join("link.png").c_str()), 0);
    ASSERT_EQ(::link(input.c_str(), dir.Join("hard.png").c_str()), 0);
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    auto expected = [&](const std::string& output) {
        return "refusing to write \"" + output + "\": it is the input file";
    };
    for (const std::string& output : {std::string("scene/shot.png"), dir.Join("scene/../scene/./shot.png"),
                                      std::string("link.png"), std::string("hard.png")})
        EXPECT_EQ(Refusal(output, {"scene/shot.png"}), expected(output)) << output;
    // Inputs are found without regard to letter case, as the readers find them.
    EXPECT_EQ(Refusal("scene/shot.png", {"SCENE\\SHOT.PNG"}), expected("scene/shot.png"));
    // An input that does not exist yet is compared by its path.
    EXPECT_EQ(Refusal("new.png", {"./new.png"}), expected("new.png"));
    EXPECT_EQ(Refusal("new.png", {"", "other.png"}), "");
    // Another world file as second input.
    EXPECT_EQ(Refusal("scene/shot.png", {"", "scene/shot.png"}), expected("scene/shot.png"));
}

TEST(OutputFile, ExistingOutputMustBeARegularFileOfTheKind) {
    TempDir dir;
    dir.Write("old.png", kPng);
    dir.Write("text.png", "not an image");
    dir.Write("empty.png", "");
    dir.Write("folder.png/inside", "x");
    dir.Write("model.gltf", "\r\n  {\"asset\": {}}");
    dir.Write("model.glb", "glTF\x02");
    dir.Write("broken.gltf", "[1]");
    test::MakeFifo(dir, "fifo.png");
    const std::string device = test::MakeZeroDevice(dir, "device.png");
    ASSERT_EQ(::symlink(dir.Join("old.png").c_str(), dir.Join("link.png").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Join("nothing.png").c_str(), dir.Join("dangling.png").c_str()), 0);
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());

    struct Case {
        std::string output;
        std::string why;  // "" when it may be written
        OutputKind kind = PngOutput();
    };
    const Case cases[] = {
        {"old.png", ""},
        {"link.png", "it is a symbolic link"},  // never written through, whatever it points to
        {"new.png", ""},
        {"text.png", "it exists and is not a PNG image"},
        {"empty.png", "it exists and is not a PNG image"},
        {"folder.png", "it is not a regular file"},
        {"fifo.png", "it is not a regular file"},
        {"dangling.png", "it is a symbolic link"},
        {"missing/new.png", "the folder \"" + dir.Path() + "/missing\" does not exist"},
        {"old.png/new.png", "Not a directory"},
        {"model.gltf", "", GltfOutput()},
        {"model.glb", "", GltfOutput()},
        {"broken.gltf", "it exists and is not a glTF model", GltfOutput()},
    };
    for (const Case& c : cases) {
        const std::string got = Refusal(c.output, {}, c.kind);
        EXPECT_EQ(got, c.why.empty() ? "" : "refusing to write \"" + c.output + "\": " + c.why) << c.output;
    }
    if (!device.empty()) {
        EXPECT_EQ(Refusal("device.png"), "refusing to write \"device.png\": it is not a regular file");
    }
    // Nothing was created or changed by looking.
    EXPECT_FALSE(std::filesystem::exists(dir.Join("new.png")));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(dir.Join("text.png"), text));
    EXPECT_EQ(text, "not an image");
}

// `a\b.gltf` was checked as a/b.gltf and written as the literal name: the output is one path,
// resolved once, for the check and the write.
TEST(OutputFile, EitherSeparatorNamesTheSameFileForTheCheckAndTheWrite) {
    TempDir dir;
    dir.Write("sub/notes.png", "not an image");
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    EXPECT_EQ(OutputPath("sub\\x.png"), dir.Join("sub/x.png"));
    EXPECT_EQ(OutputPath(dir.Join("a.png")), dir.Join("a.png"));
    EXPECT_EQ(Refusal("sub\\notes.png"), "refusing to write \"sub\\notes.png\": it exists and is not a PNG image");
    EXPECT_EQ(Refusal("sub\\new.png"), "");
    EXPECT_EQ(Refusal("nowhere\\new.png"),
              "refusing to write \"nowhere\\new.png\": the folder \"" + dir.Join("nowhere") + "\" does not exist");
}

// Killed writes leave ".NAME.PID.N.tmp" beside their output; the next write into the folder
// removes those of its kind whose process is gone.
TEST(OutputFile, TemporariesOfKilledWritesOfTheKindAreRemoved) {
    TempDir dir;
    const pid_t dead = [] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }();
    const std::string gone = std::to_string(dead), alive = std::to_string(::getpid());
    for (const std::string& name :
         {".shot.png." + gone + ".0.tmp", ".m.GLTF." + gone + ".3.tmp", ".shot.png." + alive + ".0.tmp",
          ".notes.txt." + gone + ".0.tmp", std::string("shot.png")})
        dir.Write(name, "x");
    const std::string extensions[] = {".png", ".gltf"};
    EXPECT_EQ(RemoveLeftoverOutputs(dir.Path(), extensions), 2);
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{".shot.png." + alive + ".0.tmp", ".notes.txt." + gone + ".0.tmp",
                                           std::string("shot.png")}));
}

}  // namespace
}  // namespace pelorus
