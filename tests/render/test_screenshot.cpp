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
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/screenshot.h"
#include "platform/paths.h"
#include "shell/cli.h"
#include "shell/viewershell.h"
#include "shell/worlds.h"
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

// --at puts the orbit centre where a world's location says, framed or not; its yaw, when it has
// one, is the direction looked in.
TEST(ScreenshotArgs, AtPutsTheOrbitCentreAtTheLocation) {
    Bounds box;
    box.Extend(-1, -1, -1);
    box.Extend(1, 1, 1);
    std::string error;
    const auto plain = ParseScreenshotArgs({"out.png", "--at", "2.5N 3W 1.2a 90", "--distance", "7", "w.txt"}, error);
    ASSERT_TRUE(plain) << error;
    const Camera camera = ScreenshotCamera(*plain, box);
    EXPECT_EQ(camera.targetX, 3);
    EXPECT_EQ(camera.targetY, 1.2);
    EXPECT_EQ(camera.targetZ, 2.5);
    EXPECT_EQ(camera.height, 0);
    EXPECT_EQ(camera.yaw, 90) << "looking west";
    EXPECT_EQ(camera.distance, 7);

    const auto framed = ParseScreenshotArgs({"out.png", "--fit", "--yaw", "30", "--at", "1S 1E", "w.txt"}, error);
    ASSERT_TRUE(framed) << error;
    const Camera fit = ScreenshotCamera(*framed, box);
    EXPECT_EQ(fit.targetX, -1);
    EXPECT_EQ(fit.targetZ, -1);
    EXPECT_EQ(fit.yaw, 30) << "a location without a yaw keeps --yaw";
    EXPECT_EQ(fit.distance, FramedCamera(box, 1, 30).distance);

    EXPECT_FALSE(ParseScreenshotArgs({"out.png", "--at", "2.5N", "w.txt"}, error));
    EXPECT_NE(error.find("--at"), std::string::npos) << error;
}

// A dump is seen as the window opens it, --fit or not: at the world's entry point, else at the
// object nearest 0N 0W, or at --at; camera options given still replace what that chose.
TEST(ScreenshotArgs, ADumpIsSeenAsTheWindowOpensIt) {
    SceneObjects dump;
    dump.dumpVersion = 4;
    ErrorLog log;
    const uint32_t model = dump.AddModel(test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
                                                          "Triangle 1 2 3\nClumpEnd\n",
                                                          log),
                                         "tri");
    for (const double x : {30.0, -4.0}) {
        PlacedObject o;
        o.model = model;
        o.placement = PlacedAt({x, 0, 1});
        dump.objects.push_back(o);
    }
    Bounds all;
    all.Extend(-4, 0, 1);
    all.Extend(31, 1, 1);
    std::string error;
    for (const bool fit : {false, true}) {
        std::vector<std::string> args = {"out.png", "--size", "300x200", "w.txt"};
        if (fit) args.push_back("--fit");
        const auto request = ParseScreenshotArgs(args, error);
        ASSERT_TRUE(request) << error;
        EXPECT_EQ(ScreenshotCamera(*request, all, &dump), WorldOpeningCamera(dump, "", 1.5)) << fit;
        EXPECT_EQ(ScreenshotCamera(*request, all, &dump, "2N 2W 90"), WorldViewAt({2, 0, 2, 90.0}, 1.5)) << fit;
    }
    EXPECT_EQ(WorldOpeningCamera(dump, "", 1.5).targetX, -4) << "the object nearest the origin";

    const auto at = ParseScreenshotArgs({"out.png", "--at", "1S 3E", "--pitch", "60", "w.txt"}, error);
    ASSERT_TRUE(at) << error;
    Camera expected = WorldViewAt({-3, 0, -1, std::nullopt}, 1);
    expected.pitch = 60;
    EXPECT_EQ(ScreenshotCamera(*at, all, &dump, "2N 2W"), expected) << "--at wins over the entry point";
    const auto turned = ParseScreenshotArgs({"out.png", "--yaw", "30", "--distance", "2", "w.txt"}, error);
    ASSERT_TRUE(turned) << error;
    const Camera camera = ScreenshotCamera(*turned, all, &dump);
    EXPECT_EQ(camera.yaw, 30);
    EXPECT_EQ(camera.distance, 2);
    EXPECT_EQ(camera.targetX, -4);
    // Anything else keeps the request's own camera.
    EXPECT_EQ(ScreenshotCamera(*turned, all), turned->camera);
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
        {{"--screenshot", "full.png", "crate.rwx"}, "\"full.png\": it is a symbolic link"},
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

TEST(ScreenshotTool, ADrawDistanceReadsOnlyTheModelsOfADumpThatLieWithinIt) {
    // A red box at 0N 0W where the world opens, and far away a model that says what is wrong
    // with it when it is read.
    TempDir dir;
    dir.Write("op/rwx/red.rwx",
              "ModelBegin\nClumpBegin\nColor 1 0 0\nSurface 1 0 0\nMaterialModes Double\n"
              "Vertex -1 0 -1\nVertex 1 0 -1\nVertex -1 2 -1\nVertex 1 2 -1\n"
              "Vertex -1 0 1\nVertex 1 0 1\nVertex -1 2 1\nVertex 1 2 1\n"
              "Quad 1 2 4 3\nQuad 5 6 8 7\nQuad 1 2 6 5\nQuad 3 4 8 7\nQuad 1 3 7 5\nQuad 2 4 8 6\n"
              "ClumpEnd\nModelEnd\n");
    dir.Write("op/rwx/noisy.rwx",
              "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nOops\nClumpEnd\n");
    dir.Write("w.txt", "propdump version 3\n1 2 0 0 0 0 0 0 3 0 0 red\n1 2 100000 0 0 0 0 0 5 0 0 noisy\n");
    const std::vector<std::string> common = {"--object-path", "op",     "--screenshot", "out.png", "--view",
                                             "-axes,-ground", "--size", "160x120"};
    for (const bool limited : {true, false}) {
        std::vector<std::string> args = common;
        if (limited) args.insert(args.end(), {"--draw-distance", "200"});
        args.push_back("w.txt");
        std::string err;
        ASSERT_EQ(RunPelorus(dir.Path(), args, err, "EGL_PLATFORM=surfaceless"), 0) << err;
        EXPECT_EQ(err.find("Oops") != std::string::npos, !limited) << err;
        EXPECT_GT(RedShare(dir.Join("out.png")), 0.05) << limited;
    }
}

TEST(PickTool, AgreesWithWhatTheScreenshotDraws) {
    // A red square, before it a green one seen from behind in part (its back culled), and a blue
    // pane instanced from a prototype, seen turned and from above in a view that is not square.
    TempDir dir;
    dir.Write("scene.rwx",
              "ModelBegin\nProtoBegin pane\nColor 0 0 1\nSurface 1 0 0\n"
              "Vertex 0 0 0\nVertex 0.4 0 0\nVertex 0.4 0.4 0\nVertex 0 0.4 0\nQuad 1 2 3 4\nProtoEnd\n"
              "ClumpBegin\nSurface 1 0 0\nColor 1 0 0\n"
              "Vertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4\n"
              "Color 0 1 0\nVertex -0.6 -0.6 0.4\nVertex 0.3 -0.6 0.4\nVertex 0.3 0.3 0.4\nVertex -0.6 0.3 0.4\n"
              "Quad 8 7 6 5\nTriangle 5 6 7\nTranslate 0.2 -0.8 0.7\nProtoInstance pane\n"
              "ClumpEnd\nModelEnd\n");
    const std::vector<std::string> view = {"--size", "64x48", "--fit", "--yaw", "25", "--pitch", "-15"};
    std::vector<std::string> shot = {"--screenshot", "shot.png", "--view", "-axes,-ground,-skybox,-backdrop,-fog"};
    shot.insert(shot.end(), view.begin(), view.end());
    shot.push_back("scene.rwx");
    std::string err;
    ASSERT_EQ(RunPelorus(dir.Path(), shot, err, "EGL_PLATFORM=surfaceless"), 0) << err;
    const QImage image = QImage(QString::fromStdString(dir.Join("shot.png"))).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(64, 48));
    int samples = 0, disagree = 0, hits = 0;
    for (int y = 1; y < 48; y += 3)
        for (int x = 1; x < 64; x += 3) {
            std::vector<std::string> args = {"--pick", std::to_string(x) + "," + std::to_string(y)};
            args.insert(args.end(), view.begin(), view.end());
            args.push_back(dir.Join("scene.rwx"));
            std::ostringstream out, errors;
            ASSERT_EQ(RunCommandLine(args, out, errors), 0) << errors.str();
            const QRgb p = image.pixel(x, y);
            const std::string json = out.str();
            const std::size_t colour = json.find("\"color\": [");
            // What the pick says is there: a pure colour, or nothing (then no colour of the model).
            const std::string said = colour == std::string::npos ? "" : json.substr(colour + 9, 9);
            const bool red = qRed(p) > 200 && qGreen(p) < 40 && qBlue(p) < 40;
            const bool green = qGreen(p) > 200 && qRed(p) < 40 && qBlue(p) < 40;
            const bool blue = qBlue(p) > 200 && qRed(p) < 40 && qGreen(p) < 40;
            const std::string seen = red ? "[1, 0, 0]" : green ? "[0, 1, 0]" : blue ? "[0, 0, 1]" : "";
            ++samples;
            hits += said.empty() ? 0 : 1;
            if (said != seen) ++disagree;
        }
    // Pixels on an edge may go either way; a pick that looked elsewhere would miss by far more.
    EXPECT_GT(hits, samples / 8);
    EXPECT_LE(disagree, samples / 50) << disagree << " of " << samples;
}

TEST(ScreenshotTool, UnreadableWorldFileIsAnErrorThatSaysWhy) {
    TempDir dir;
    std::string err;
    EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", "out.png", "--world", "nowhere.world"}, err), 1);
    EXPECT_EQ(err, "pelorus: cannot read the world file \"nowhere.world\": does not exist\n");
    dir.Write("big.world", std::string((1 << 20) + 1, '\n'));
    EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", "out.png", "--world", "big.world"}, err), 1);
    EXPECT_EQ(err, "pelorus: cannot read the world file \"big.world\": is too large (at most 1 MiB)\n");
    EXPECT_FALSE(fs::exists(dir.Join("out.png")));
}

// ---- Hostile runs ----------------------------------------------------------------------------

// The program started from `folder` with its standard error on a pipe, optionally ignoring SIGINT
// as the background jobs of a non-interactive shell do.
class Running {
public:
    Running(const std::string& folder, const std::vector<std::string>& args, bool ignoreInterrupt = false) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        std::vector<std::string> argv{PELORUS_EXECUTABLE};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDERR_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            if (ignoreInterrupt) std::signal(SIGINT, SIG_IGN);
            ::setenv("EGL_PLATFORM", "surfaceless", 1);
            if (::chdir(folder.c_str()) == 0) ::execv(pointers[0], pointers.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        err_ = fds[0];
    }
    ~Running() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (err_ >= 0) ::close(err_);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    // Waits for the first whole line on standard error (without its line feed); "" when the
    // program ends first.
    std::string FirstLine() {
        while (text_.find('\n') == std::string::npos && Read()) {
        }
        const std::size_t lf = text_.find('\n');
        return lf == std::string::npos ? std::string() : text_.substr(0, lf);
    }
    // Waits for the end, at most `seconds` (then the program is killed and -1 returned); the wait
    // status otherwise. Standard error is read to its end.
    int Wait(int seconds) {
        int status = -1;
        for (int tenths = 0; tenths < seconds * 10; ++tenths) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                while (Read()) {
                }
                return status;
            }
            ::usleep(100'000);
        }
        return -1;
    }
    const std::string& Errors() const { return text_; }
    pid_t Pid() const { return pid_; }

private:
    bool Read() {
        char buffer[4096];
        const ssize_t n = ::read(err_, buffer, sizeof buffer);
        if (n <= 0) return false;
        text_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    pid_t pid_ = -1;
    int err_ = -1;
    std::string text_;
};

// A model of `count` x 12 faces that cover the whole view over each other (prototypes nested
// `levels` deep, ten instances each): a few hundred bytes that take long to draw. Its missing
// texture writes one error line once it is read.
// The line number of the (first) Texture line of `script`.
std::string TextureLine(const std::string& script) {
    const auto before = script.begin() + static_cast<std::ptrdiff_t>(script.find("Texture "));
    return std::to_string(1 + std::count(script.begin(), before, '\n'));
}

std::string Overdrawn(int levels) {
    std::string s = "ModelBegin\nProtoBegin p0\nVertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\n";
    for (int i = 0; i < 6; ++i) s += "Triangle 1 2 3\nTriangle 1 3 4\n";
    s += "ProtoEnd\n";
    for (int k = 1; k <= levels; ++k) {
        s += "ProtoBegin p" + std::to_string(k) + "\n";
        for (int i = 0; i < 10; ++i) s += "ProtoInstance p" + std::to_string(k - 1) + "\n";
        s += "ProtoEnd\n";
    }
    return s + "ClumpBegin\nTexture nowhere\nColor 1 0 0\nProtoInstance p" + std::to_string(levels) +
           "\nClumpEnd\nModelEnd\n";
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

std::string Png(int side) {
    PngFile layout;
    layout.width = layout.height = side;
    layout.colour = PngFile::Rgb;
    layout.rows.assign(static_cast<std::size_t>(side), std::vector<uint8_t>(static_cast<std::size_t>(side) * 3, 200));
    const std::vector<uint8_t> bytes = WritePng(layout);
    return std::string(bytes.begin(), bytes.end());
}

// `pelorus --screenshot tex.png model.rwx` replaced the model's own texture. Every file the
// drawing reads is an input: the textures of the model and of the ground, the backdrop.
TEST(ScreenshotTool, NeverReplacesAFileTheDrawingRead) {
    TempDir dir;
    const std::string png = Png(8);
    dir.Write("tex.png", png);
    dir.Write("gtex.png", png);
    dir.Write("sky.png", png);
    dir.Write("model.rwx",
              "ClumpBegin\nTexture tex.png\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
              "ClumpEnd\n");
    dir.Write("models/g.rwx",
              "ClumpBegin\nTexture gtex.png\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
              "Triangle 1 2 3\nClumpEnd\n");
    WorldSettings world;
    world.backdrop = "sky.png";
    world.ground = "g";
    dir.Write("w.world", WorldFileText(world));
    for (const char* output : {"tex.png", "gtex.png", "sky.png"}) {
        std::string err;
        EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", output, "--world", "w.world", "model.rwx"}, err,
                             "EGL_PLATFORM=surfaceless"),
                  2)
            << output;
        EXPECT_EQ(err, "pelorus: refusing to write \"" + std::string(output) + "\": it is the input file\n");
        std::string now;
        EXPECT_TRUE(ReadWholeFile(dir.Join(output), now));
        EXPECT_EQ(now, png) << output;
    }
    std::string err;
    EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", "shot.png", "--world", "w.world", "model.rwx"}, err,
                         "EGL_PLATFORM=surfaceless"),
              0)
        << err;
    EXPECT_EQ(err, "") << "every file the world names was read";
}

// The output was checked before drawing only: a link put at its name while a slow model drew
// received the image. It is checked again when the image is renamed into place.
TEST(ScreenshotTool, ALinkPutAtTheOutputWhileDrawingReceivesNothing) {
    TempDir dir;
    dir.Write("model.rwx", Overdrawn(4));
    const std::string victim = dir.Write("victim.png", Png(4));
    Running run(dir.Path(), {"--screenshot", "out.png", "--size", "64x64", "model.rwx"});
    EXPECT_EQ(run.FirstLine(), "model.rwx:" + TextureLine(Overdrawn(4)) + ": Couldn't open texture \"nowhere.jpg\".");
    ASSERT_EQ(::symlink(victim.c_str(), dir.Join("out.png").c_str()), 0);  // while it draws
    const int status = run.Wait(300);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(run.Errors().find("pelorus: refusing to write \"out.png\": it is a symbolic link\n"), std::string::npos)
        << run.Errors();
    std::string now;
    EXPECT_TRUE(ReadWholeFile(victim, now));
    EXPECT_EQ(now, Png(4));
    EXPECT_TRUE(fs::is_symlink(dir.Join("out.png")));
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"model.rwx", "out.png", "victim.png"}));
}

// A thumbnail of 1.2 million faces over each other took seconds (a screenshot half a minute):
// file managers ask for one for every model they list. The thumbnail gives up after its budget.
TEST(ThumbnailTool, GivesUpADrawingThatPassesItsBudget) {
    TempDir dir;
    dir.Write("hostile.rwx", Overdrawn(5));
    std::string err;
    EXPECT_EQ(
        RunPelorus(dir.Path(), {"--thumbnail", "hostile.rwx", "out.png", "1024"}, err, "EGL_PLATFORM=surfaceless"), 1);
    EXPECT_NE(err.find("pelorus: drawing \"hostile.rwx\" takes longer than 2000 ms; nothing was written\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"hostile.rwx"});
}

// The screenshot stays exact however long it takes, but SIGINT ends it, also when the program
// was started ignoring it (as a script's background job is).
TEST(ScreenshotTool, InterruptEndsALongDrawing) {
    TempDir dir;
    dir.Write("hostile.rwx", Overdrawn(5));
    Running run(dir.Path(), {"--screenshot", "out.png", "--size", "1024x1024", "hostile.rwx"}, true);
    EXPECT_EQ(run.FirstLine(), "hostile.rwx:" + TextureLine(Overdrawn(5)) + ": Couldn't open texture \"nowhere.jpg\".");
    ASSERT_EQ(::kill(run.Pid(), SIGINT), 0);
    const int status = run.Wait(120);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"hostile.rwx"});
}

// An empty FILE is a slip (an unset variable), and a FILE that cannot be read draws no empty
// scene: nothing is written either way.
TEST(ScreenshotTool, EmptyOrUnreadableFileWritesNothing) {
    TempDir dir;
    dir.Write("folder.rwx/inside", "x");
    MakeFifo(dir, "fifo.txt");
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--screenshot", "out.png", ""}, 2},
        {{"--screenshot", "out.png", "--", ""}, 2},
        {{"--screenshot", "out.png", "missing.rwx"}, 1},
        {{"--screenshot", "out.png", "folder.rwx"}, 1},
        {{"--screenshot", "out.png", "fifo.txt"}, 1},
    };
    const std::string why[] = {"the name of the FILE to draw is empty", "the name of the FILE to draw is empty",
                               "cannot read \"missing.rwx\": does not exist",
                               "cannot read \"folder.rwx\": is not a regular file",
                               "cannot read \"fifo.txt\": is not a regular file"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string err;
        EXPECT_EQ(RunPelorus(dir.Path(), cases[i].first, err, "EGL_PLATFORM=surfaceless"), cases[i].second) << why[i];
        EXPECT_EQ(err.rfind("pelorus: " + why[i] + "\n", 0), 0u) << err;
    }
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"fifo.txt", "folder.rwx"}));
}

// `sub\x.png` was checked as sub/x.png and written as a file of that literal name. And what
// killed runs left beside the output goes, as long as their process is gone.
TEST(ScreenshotTool, BackslashNamesTheFolderAndLeftoversOfKilledRunsGo) {
    TempDir dir;
    dir.Write("model.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    const pid_t dead = [] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }();
    const std::string gone = std::to_string(dead), alive = std::to_string(::getpid());
    for (const std::string& name : {".x.png." + gone + ".0.tmp", ".old.png." + gone + ".2.tmp",
                                    ".x.png." + alive + ".0.tmp", ".a.txt." + gone + ".0.tmp"})
        dir.Write("sub/" + name, "half");
    std::string err;
    ASSERT_EQ(RunPelorus(dir.Path(), {"--screenshot", "sub\\x.png", "model.rwx"}, err, "EGL_PLATFORM=surfaceless"), 0)
        << err;
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"model.rwx", "sub"}));
    EXPECT_EQ(Entries(dir.Join("sub")),
              (std::set<std::string>{"x.png", ".x.png." + alive + ".0.tmp", ".a.txt." + gone + ".0.tmp"}));
}

// A write that fails (a full disk; here a file-size limit) says so once, with the reason, and
// leaves nothing behind.
TEST(ScreenshotTool, AFailedWriteIsSaidOnceWithItsReason) {
    TempDir dir;
    dir.Write("model.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    std::string err;
    EXPECT_EQ(RunPelorus(dir.Path(), {"--screenshot", "out.png", "model.rwx"}, err,
                         "ulimit -f 2 && trap '' XFSZ && EGL_PLATFORM=surfaceless"),
              1);
    EXPECT_EQ(err, "pelorus: cannot write \"out.png\": " + std::string(std::strerror(EFBIG)) + "\n");
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"model.rwx"});
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
