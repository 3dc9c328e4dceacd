// `pelorus --screenshot`: its arguments, its exit statuses, and reference images of the sample
// scenes. Set PELORUS_UPDATE_REFERENCES=1 to rewrite the reference images after a deliberate
// change of the drawing; on a mismatch the rendered and difference images are written under
// the build folder (tests/screenshot-failures).

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/screenshot.h"
#include "platform/paths.h"
#include "shell/viewershell.h"
#include "testutil.h"

#ifndef PELORUS_EXECUTABLE
#error "PELORUS_EXECUTABLE must name the program under test"
#endif

namespace pelorus::test {
namespace {

namespace fs = std::filesystem;

// ---- Arguments -------------------------------------------------------------------------------

TEST(ScreenshotArgs, ReadsEveryOption) {
    std::string error;
    const auto r = ParseScreenshotArgs(
        {"out.png", "--size", "320x200", "--yaw", "-30", "--pitch", "12.5", "--height", "0.2", "--distance", "3",
         "--world", "w.world", "--view", "+normals,-ground", "--time", "400", "scene.txt"},
        error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->output, "out.png");
    EXPECT_EQ(r->file, "scene.txt");
    EXPECT_EQ(r->width, 320);
    EXPECT_EQ(r->height, 200);
    EXPECT_EQ(r->camera.yaw, -30);
    EXPECT_EQ(r->camera.pitch, 12.5);
    EXPECT_EQ(r->camera.height, 0.2);
    EXPECT_EQ(r->camera.distance, 3);
    EXPECT_EQ(r->world, "w.world");
    EXPECT_EQ(r->timeMs, 400);
    EXPECT_TRUE(r->flags.normals);
    EXPECT_FALSE(r->flags.ground);
    EXPECT_TRUE(r->flags.object) << "flags not named keep their initial values";
}

TEST(ScreenshotArgs, DefaultsAreTheViewersInitialValues) {
    std::string error;
    const auto r = ParseScreenshotArgs({"out.png"}, error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->file, "");
    EXPECT_EQ(r->camera.distance, 1.5);
    EXPECT_EQ(r->width, 400);
    EXPECT_TRUE(r->flags.axes && r->flags.object && r->flags.backdrop && r->flags.fog);
    EXPECT_FALSE(r->flags.lighting || r->flags.normals || r->flags.geometry);
}

TEST(ScreenshotArgs, RefusesWhatDoesNotRead) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--size", "10x10"},
        {"out.png", "--size", "0x10"},
        {"out.png", "--size", "20000x10"},
        {"out.png", "--size", "10"},
        {"out.png", "--yaw"},
        {"out.png", "--yaw", "nan"},
        {"out.png", "--yaw", "inf"},
        {"out.png", "--yaw", "1e999"},
        {"out.png", "--distance", "1,5"},
        {"out.png", "--pitch", "12deg"},
        {"out.png", "--time", "1.5"},
        {"out.png", "--view", "+normals,+wings"},
        {"out.png", "--zoom", "2"},
        {"out.png", "a.rwx", "b.rwx"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(ParseScreenshotArgs(args, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}

TEST(ApplyViewList, SwitchesNamedFlagsAndLeavesThemAloneOnError) {
    ViewFlags flags;
    std::string error;
    ASSERT_TRUE(ApplyViewList("normals,-axes,+lighting,-fog", flags, error)) << error;
    EXPECT_TRUE(flags.normals && flags.lighting);
    EXPECT_FALSE(flags.axes || flags.fog);
    const ViewFlags before = flags;
    EXPECT_FALSE(ApplyViewList("+geometry,Normals", flags, error));
    EXPECT_FALSE(flags.geometry) << "nothing changes when one name is wrong";
    EXPECT_EQ(flags.normals, before.normals);
    ASSERT_TRUE(ApplyViewList("+missing-textures", flags, error)) << error;
    EXPECT_TRUE(flags.missingTextures);
}

TEST(ScreenshotArgs, FitFramesTheModelAndOnlyTheCameraOptionsGivenReplaceWhatItChose) {
    Bounds far;
    far.Extend(19, -1, -1);
    far.Extend(21, 1, 1);
    std::string error;
    const auto fit = ParseScreenshotArgs({"out.png", "--fit", "--size", "300x200", "m.rwx"}, error);
    ASSERT_TRUE(fit) << error;
    EXPECT_TRUE(fit->fit);
    EXPECT_EQ(ScreenshotCamera(*fit, far), FramedCamera(far, 1.5, 0)) << "as the window frames on opening";

    const auto mixed = ParseScreenshotArgs(
        {"out.png", "--pitch", "-10", "--fit", "--yaw", "90", "--distance", "7", "--size", "300x200"}, error);
    ASSERT_TRUE(mixed) << error;
    const Camera camera = ScreenshotCamera(*mixed, far);
    const Camera framed = FramedCamera(far, 1.5, 90);
    EXPECT_EQ(camera.yaw, 90);
    EXPECT_EQ(camera.pitch, -10);
    EXPECT_EQ(camera.distance, 7);
    EXPECT_EQ(camera.height, framed.height) << "not given: as framed";
    EXPECT_EQ(camera.targetX, framed.targetX);

    // Without --fit the options are the camera, around the origin.
    const auto plain = ParseScreenshotArgs({"out.png", "--distance", "7"}, error);
    ASSERT_TRUE(plain) << error;
    EXPECT_FALSE(plain->fit);
    Camera expected;
    expected.distance = 7;
    EXPECT_EQ(ScreenshotCamera(*plain, far), expected);
}

// ---- The program -----------------------------------------------------------------------------

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs the program with `args` from `folder`; returns its exit status, stderr in `err`.
int RunPelorus(const std::string& folder, const std::vector<std::string>& args, std::string& err,
               const std::string& environment = "") {
    const TempDir scratch;
    std::string command = "cd " + Quote(folder) + " && " + environment + " " + Quote(PELORUS_EXECUTABLE);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " 2>" + Quote(scratch.Join("err.txt"));
    const int status = std::system(command.c_str());
    err.clear();
    ReadWholeFile(scratch.Join("err.txt"), err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ScreenshotTool, ExitsWithStatus1WhenNoContextCanBeMade) {
    TempDir dir;
    std::string err;
    const int status = RunPelorus(dir.Path(), {"--screenshot", "out.png"}, err,
                                  "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/vendor.json EGL_PLATFORM=surfaceless");
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("cannot make an OpenGL context"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.Join("out.png")));
}

TEST(ScreenshotTool, ExitsWithStatus2OnBadArguments) {
    TempDir dir;
    std::string err;
    EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", "out.png", "--size", "big"}, err), 2);
    EXPECT_NE(err.find("--size"), std::string::npos) << err;
}

TEST(ScreenshotTool, RefusedOutputExitsWith2AndTouchesNothing) {
    TempDir dir;
    const std::string model = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";
    dir.Write("crate.rwx", model);
    dir.Write("map.png", "crate.rwx 0 0 0\n");  // an object map, whatever its name
    dir.Write("notes.png", "not an image");
    MakeFifo(dir, "fifo.png");
    ASSERT_EQ(::symlink("/dev/full", dir.Join("full.png").c_str()), 0);
    const auto before = [&] {
        std::vector<std::pair<std::string, std::string>> files;
        for (const auto& e : fs::directory_iterator(dir.Path())) {
            std::string text;
            ReadWholeFile(e.path().string(), text);
            files.emplace_back(e.path().filename().string(), text);
        }
        std::sort(files.begin(), files.end());
        return files;
    };
    const auto files = before();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--screenshot", "crate.rwx"}, "\"crate.rwx\": the output must be named *.png"},  // output name forgotten
        {{"--screenshot", "crate.rwx", "crate.rwx"}, "\"crate.rwx\": the output must be named *.png"},
        {{"--screenshot", "map.png", "map.png"}, "\"map.png\": it is the input file"},
        {{"--screenshot", "new.png", "--", "./new.png"}, "\"new.png\": it is the input file"},
        {{"--screenshot", "notes.png", "crate.rwx"}, "\"notes.png\": it exists and is not a PNG image"},
        {{"--screenshot", "fifo.png", "crate.rwx"}, "\"fifo.png\": it is not a regular file"},
        {{"--screenshot", "full.png", "crate.rwx"}, "\"full.png\": it is not a regular file"},
        {{"--screenshot", "/dev/full"}, "\"/dev/full\": the output must be named *.png"},
    };
    for (const auto& [args, why] : cases) {
        std::string err;
        EXPECT_EQ(RunPelorus(dir.Path(), args, err, "EGL_PLATFORM=surfaceless"), 2) << args[1];
        EXPECT_EQ(err, "pelorus: refusing to write " + why + "\n");
    }
    EXPECT_EQ(before(), files);
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// The share of pixels that are pure red, the colour of the models below.
double RedShare(const std::string& png) {
    const QImage image = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return -1;
    int64_t red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 40 && qBlue(p) < 40 ? 1 : 0;
        }
    return static_cast<double>(red) / (image.width() * image.height());
}

TEST(ScreenshotTool, FitShowsModelsTheFixedCameraAndPlanesMiss) {
    // A red box 20 units off the origin, and one 1000 units wide 3000 units away: framed, it is
    // seen only when the far plane follows it.
    const auto box = [](int cx, int half) {
        std::string s = "ModelBegin\nClumpBegin\nColor 1 0 0\nSurface 1 0 0\nMaterialModes Double\n";
        for (int i = 0; i < 8; ++i)
            s += "Vertex " + std::to_string(cx + ((i & 1) ? half : -half)) + " " +
                 std::to_string((i & 2) ? half : -half) + " " + std::to_string((i & 4) ? half : -half) + "\n";
        s += "Quad 1 2 4 3\nQuad 5 6 8 7\nQuad 1 2 6 5\nQuad 3 4 8 7\nQuad 1 3 7 5\nQuad 2 4 8 6\nClumpEnd\nModelEnd\n";
        return s;
    };
    TempDir dir;
    dir.Write("far.rwx", box(20, 1));
    dir.Write("huge.rwx", box(3000, 500));
    for (const char* model : {"far.rwx", "huge.rwx"}) {
        std::string err;
        ASSERT_EQ(
            RunPelorus(dir.Path(), {"--screenshot", "fit.png", "--fit", "--view", "-axes", "--size", "160x120", model},
                       err, "EGL_PLATFORM=surfaceless"),
            0)
            << err;
        ASSERT_EQ(RunPelorus(dir.Path(), {"--screenshot", "fixed.png", "--view", "-axes", "--size", "160x120", model},
                             err, "EGL_PLATFORM=surfaceless"),
                  0)
            << err;
        EXPECT_GT(RedShare(dir.Join("fit.png")), 0.1) << model;
        EXPECT_EQ(RedShare(dir.Join("fixed.png")), 0.0) << model << ": seen without framing";
    }
}

TEST(ScreenshotTool, MissingWorldFileIsAnError) {
    TempDir dir;
    std::string err;
    EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", "out.png", "--world", "nowhere.world"}, err), 1);
    EXPECT_NE(err.find("nowhere.world"), std::string::npos) << err;
}

struct Reference {
    const char* name;  // tests/data/render/<name>.png
    std::vector<std::string> args;
};
void PrintTo(const Reference& r, std::ostream* os) {
    *os << r.name;
}

class ReferenceImage : public ::testing::TestWithParam<Reference> {};

// Pixels whose channels differ by more than kChannelTolerance count as different; a few of those
// (edges can fall either way) are allowed.
constexpr int kChannelTolerance = 10;
constexpr double kDifferentShare = 0.002;

TEST_P(ReferenceImage, MatchesWithinTolerance) {
    const Reference& ref = GetParam();
    const std::string samples = SourceDir() + "/samples";
    const std::string reference = DataDir() + "/render/" + ref.name + ".png";
    const std::string failures = std::string(PELORUS_BINARY_DIR) + "/tests/screenshot-failures";
    TempDir dir;
    const std::string rendered = dir.Join(std::string(ref.name) + ".png");
    std::vector<std::string> args{"--screenshot", rendered};
    args.insert(args.end(), ref.args.begin(), ref.args.end());
    std::string err;
    ASSERT_EQ(RunPelorus(samples, args, err, "EGL_PLATFORM=surfaceless"), 0) << err;

    QImage got(QString::fromStdString(rendered));
    ASSERT_FALSE(got.isNull()) << "no image written";
    got = got.convertToFormat(QImage::Format_RGB888);
    if (const char* update = std::getenv("PELORUS_UPDATE_REFERENCES"); update && std::string(update) == "1") {
        ASSERT_TRUE(got.save(QString::fromStdString(reference), "PNG"));
        GTEST_SKIP() << "reference rewritten: " << reference;
    }
    QImage want(QString::fromStdString(reference));
    ASSERT_FALSE(want.isNull()) << "no reference image " << reference;
    want = want.convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(got.size(), want.size());

    QImage diff(got.size(), QImage::Format_RGB888);
    diff.fill(Qt::black);
    long different = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) {
            const QRgb a = got.pixel(x, y), b = want.pixel(x, y);
            const int d =
                std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            if (d > kChannelTolerance) {
                ++different;
                diff.setPixel(x, y, qRgb(255, 255, 255));
            }
        }
    const long allowed = static_cast<long>(kDifferentShare * got.width() * got.height());
    if (different > allowed) {
        fs::create_directories(failures);
        got.save(QString::fromStdString(failures + "/" + ref.name + ".png"), "PNG");
        diff.save(QString::fromStdString(failures + "/" + ref.name + "-diff.png"), "PNG");
    }
    EXPECT_LE(different, allowed) << different << " pixels differ from " << reference << "; see " << failures;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ReferenceImage,
    ::testing::Values(Reference{"scene_default", {"--size", "320x240", "--time", "0", "scene.txt"}},
                      Reference{"scene_lit_outlines",
                                {"--size", "320x240", "--time", "0", "--yaw", "30", "--pitch", "20", "--distance",
                                 "0.9", "--view", "+lighting,-axes,+geometry,+normals", "scene.txt"}},
                      Reference{"glass_fog_world",
                                {"--size", "160x160", "--time", "0", "--yaw", "-25", "--distance", "0.6", "--world",
                                 DataDir() + "/render/fog.world", "glass.rwx"}},
                      Reference{"empty_axes", {"--size", "96x96", "--yaw", "45", "--pitch", "30"}}),
    [](const ::testing::TestParamInfo<Reference>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace pelorus::test
