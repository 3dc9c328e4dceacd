#include "app/screenshot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "net/webaddress.h"
#include "platform/atomicfile.h"
#include "platform/errorlog.h"
#include "platform/outputfile.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "platform/version.h"
#include "reader/scenefile.h"
#include "render/frame.h"
#include "render/headless.h"
#include "render/scenedraw.h"
#include "render/worldgl.h"
#include "scene/framing.h"
#include "scene/modeldemand.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "shell/cli.h"
#include "shell/filekind.h"
#include "shell/progressline.h"
#include "shell/userfolders.h"
#include "shell/viewershell.h"
#include "shell/worldimport.h"
#include "shell/worlds.h"
#include "world/worldload.h"

namespace pelorus {
namespace {

// Prints the lines of `log`, each after the name of the file drawn, escaped for a terminal.
void PrintErrors(const ErrorLog& log, const std::string& file, std::ostream& err) {
    for (std::size_t i = 0; i < log.LineCount(); ++i)
        err << TerminalErrorLine(log.Line(i), log.PlaceOf(i), file.empty() ? std::string("pelorus") : file) << "\n";
}

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgba, int32_t width, int32_t height,
              std::string& error, const AtomicWriteOptions& how) {
    const QImage view(rgba.data(), width, height, width * 4, QImage::Format_RGBA8888);
    return WritePngAtomically(path, view, error, how);
}

}  // namespace

bool WritePngAtomically(const std::string& path, const QImage& source, std::string& error,
                        const AtomicWriteOptions& how) {
    if (source.isNull()) {
        error = "there is no image to write";
        return false;
    }
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        error = "the image could not be encoded";
        return false;
    }
    return WriteFileAtomically(path, std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())),
                               &error, how);
}

namespace {

// Ends the process when drawing takes longer than its budget, unless Stop is called first:
// drawing cannot be interrupted, so a thumbnail that would take too long is given up whole. The
// line `said` is written to standard error first, and nothing is written to the output.
class DrawingWatchdog {
public:
    DrawingWatchdog(int64_t budgetMs, std::string said) : said_(std::move(said)) {
        if (budgetMs <= 0) return;
        thread_ = std::thread([this, budgetMs] {
            std::unique_lock lock(mutex_);
            if (stopped_.wait_for(lock, std::chrono::milliseconds(budgetMs), [this] { return stop_; })) return;
            // Still under the lock, so that Stop cannot return while the process ends.
            for (std::size_t done = 0; done < said_.size();) {
                const ssize_t n = ::write(STDERR_FILENO, said_.data() + done, said_.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            ::_exit(1);
        });
    }
    ~DrawingWatchdog() { Stop(); }
    DrawingWatchdog(const DrawingWatchdog&) = delete;
    DrawingWatchdog& operator=(const DrawingWatchdog&) = delete;

    void Stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
        thread_.join();
    }

private:
    std::string said_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

// Draws `request` and writes the image: the whole tool once its arguments are read.
int DrawScreenshot(const ScreenshotRequest& request, std::ostream& out, std::ostream& err) {
    std::string error;
    // The output is resolved once: the file checked is the file written.
    const std::string output = OutputPath(request.output);
    const std::string worldFile = request.world ? WorldFileOfArgument(*request.world, CurrentDirectory()) : "";

    // Before anything is drawn: a forgotten or mistyped output name must not cost a file.
    std::vector<std::string> inputs = {request.file, worldFile};
    auto refusal = [&] { return CheckOutputFile(request.output, PngOutput(), inputs); };
    if (const std::optional<std::string> refused = refusal()) {
        err << "pelorus: " << EscapeForTerminal(*refused) << "\n";
        return 2;
    }
    if (!request.file.empty()) {
        struct stat st {};
        ReadStatus why = ReadStatus::kOk;
        const int fd = OpenRegularFile(request.file, st, &why);
        if (fd < 0) {
            err << "pelorus: cannot read \"" << EscapeForTerminal(request.file) << "\": " << ReadStatusText(why)
                << "\n";
            return 1;
        }
        ::close(fd);
    }

    if (request.modelRequired)
        if (const std::optional<std::string> notModel = NotAModel(request.file)) {
            err << "pelorus: " << EscapeForTerminal(request.file) << ": " << EscapeForTerminal(*notModel) << "\n";
            return 1;
        }

    WorldLook look;
    if (request.world) {
        // A world file or a world attribute dump; the problems of a dump that reads are shown.
        ErrorLog worldLog;
        const std::optional<WorldSettings> settings =
            ReadWorldArgument(*request.world, CurrentDirectory(), worldLog, error);
        if (!settings) {
            err << "pelorus: " << error << "\n";
            return 1;
        }
        for (const std::string& line : worldLog.Lines()) err << "pelorus: " << EscapeForTerminal(line) << "\n";
        look = LookOf(*settings);
    }

    HeadlessStatus status = HeadlessStatus::Ok;
    std::unique_ptr<HeadlessGL> gl = HeadlessGL::Create(request.width, request.height, &status, &error);
    if (!gl) {
        err << "pelorus: cannot make an OpenGL context: " << error << "\n";
        return 1;
    }

    std::vector<uint8_t> pixels;
    {
        // As the viewer does with a file named on its command line: read it from its own folder,
        // where relative object paths of the world then resolve too.
        ErrorLog log;
        ReadOptions options;
        if (!request.file.empty()) {
            const std::string absolute = AbsolutePath(request.file);
            const std::string_view folder = ParentPart(absolute);
            options.baseFolder = folder.empty() ? std::string(".") : std::string(folder);
        }
        WorldReadOptions read;
        if (request.objectPath)
            read.objectPath = *request.objectPath;
        else if (!look.objectPath.empty())
            read.objectPath =
                IsWebObjectPath(look.objectPath) ? look.objectPath : InFolder(options.baseFolder, look.objectPath);
        read.cacheRoot = UserCacheRoot(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
        read.refreshTime = look.refreshTime;
        read.action = request.action;
        read.read.archivePassword = request.objectPassword.value_or(look.objectPassword);
        ProgressLine progress(err, IsTerminalStandardError(err));
        read.progress = progress.Teller();
        // With a draw distance, a dump's models are read only for what is drawn (below).
        std::unique_ptr<ModelSupply> supply;
        if (request.drawDistanceMetres > 0) read.modelsOnDemand = &supply;
        auto scene = std::make_unique<TObjectMap>(ReadShownAsViewer(request.file, log, read), &log);
        progress.Erase();
        if (request.modelRequired) {
            int64_t triangles = 0;
            for (std::size_t i = 0; i < scene->ObjectCount(); ++i) triangles += scene->Object(i).CountTriangles();
            if (triangles == 0) {
                PrintErrors(log, request.file, err);
                err << "pelorus: " << EscapeForTerminal(request.file) << ": there is nothing to draw\n";
                return 1;
            }
        }
        SceneRenderer renderer;

        // The model alone, as the window frames it and sets its planes.
        Bounds bounds = SceneBounds(*scene);
        const SceneObjects& shown = scene->Read();
        const Camera camera =
            ScreenshotCamera(request, bounds, shown.dumpVersion > 0 ? &shown : nullptr, look.entryPoint);
        if (supply) {
            // The models of what lies within the draw distance of the eye.
            ModelFeed feed(std::move(supply), shown.objects, shown.models.size());
            FeedAndWait(feed, *scene, EyeOf(CameraMatrix(camera)), request.drawDistanceMetres / kMetresPerUnit, log);
            bounds = SceneBounds(*scene);
        }

        Viewport viewport;
        Resize(viewport, request.width, request.height, SceneDepthRange(camera, bounds));
        // The program's own default-world files stand in for those the world's places lack.
        LookWithData applied =
            WithShippedFiles(look, FindDataFolder(ProgramDirectory(), kInstalledDataFolder), options.baseFolder);
        ReadOptions worldOptions = options;
        worldOptions.extraTextureDirs = std::move(applied.textureDirs);
        AppliedWorld world;
        ApplyWorld(applied.look, world, scene.get(), renderer, log, worldOptions);
        SetFog(world, request.flags.fog);

        // Nothing the drawing read may be replaced by it: the scripts, their textures and masks,
        // the archives, the backdrop, the ground and the skybox.
        for (std::string& file : SceneFilesRead(*scene)) inputs.push_back(std::move(file));
        if (!world.backdrop.file.empty()) inputs.push_back(world.backdrop.file);
        if (const std::optional<std::string> refused = refusal()) {
            err << "pelorus: " << EscapeForTerminal(*refused) << "\n";
            return 2;
        }
        PrintErrors(log, request.file, err);

        DrawContext context;
        context.flags = request.flags;
        context.camera = camera;
        context.timeMs = request.timeMs ? *request.timeMs : SteadyMilliseconds();
        if (request.drawDistanceMetres > 0) context.drawDistance = request.drawDistanceMetres / kMetresPerUnit;
        DrawingWatchdog watchdog(request.drawBudgetMs,
                                 "pelorus: drawing \"" + EscapeForTerminal(request.file) + "\" takes longer than " +
                                     std::to_string(request.drawBudgetMs) + " ms; nothing was written\n");
        DrawFrame(viewport, world, context, scene.get(), renderer);
        pixels = gl->ReadPixels();
        watchdog.Stop();
        renderer.Release();
        scene.reset();
        DeleteBackdrop(world.backdrop);
    }
    gl.reset();

    // What killed writes left beside the output goes first.
    const std::string extensions[] = {".png"};
    RemoveLeftoverOutputs(ParentPart(output), extensions);
    bool refused = false;
    AtomicWriteOptions how;
    how.lastCheck = refusal;  // a link or an input put at the name while the model was drawn
    how.refused = &refused;
    if (!WritePng(output, pixels, request.width, request.height, error, how)) {
        if (refused) {
            err << "pelorus: " << EscapeForTerminal(error) << "\n";
            return 2;
        }
        err << "pelorus: cannot write \"" << EscapeForTerminal(request.output) << "\": " << EscapeForTerminal(error)
            << "\n";
        return 1;
    }
    out.flush();
    return 0;
}

}  // namespace

namespace {

// A drawing may take long, and nothing of it is lost when it is stopped (the image is written
// atomically at the end): SIGINT and SIGTERM end it, also when the process was started ignoring
// them (as a non-interactive shell starts its background jobs).
void LetSignalsEndTheRun() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

// The arguments after the tool's name, and the object path given anywhere among them.
struct ToolArguments {
    std::vector<std::string> rest;
    std::optional<std::string> objectPath;
    std::string action;
    std::optional<std::string> password;
    std::string error;
};

ToolArguments SplitToolArguments(const std::vector<std::string>& args) {
    ToolArguments split;
    std::vector<std::string> all = args;
    const ObjectPathArgument objectPath = TakeObjectPath(all);
    split.objectPath = objectPath.folder;
    split.action = objectPath.action.value_or(std::string());
    split.password = objectPath.password;
    split.error = objectPath.error;
    if (!all.empty()) split.rest.assign(all.begin() + 1, all.end());
    return split;
}

}  // namespace

std::optional<std::string> NotAModel(const std::string& file) {
    const std::string absolute = AbsolutePath(file);
    const ShownFileVerdict verdict = ClassifyShownFile(absolute);
    if (verdict.kind == ShownFileKind::Refused) return verdict.reason;
    struct stat st {};
    ReadStatus status = ReadStatus::kOk;
    const int fd = OpenRegularFile(absolute, st, &status);
    if (fd < 0) return "cannot be opened: " + std::string(ReadStatusText(status));
    ::close(fd);
    return std::nullopt;
}

int RunScreenshot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    LetSignalsEndTheRun();
    std::string error;
    const ToolArguments split = SplitToolArguments(args);
    std::optional<ScreenshotRequest> request;
    if (split.error.empty())
        request = ParseScreenshotArgs(split.rest, error);
    else
        error = split.error;
    if (!request) {
        err << "pelorus: " << error << "\n" << UsageText();
        return 2;
    }
    request->objectPath = split.objectPath;
    request->action = split.action;
    request->objectPassword = split.password;
    return DrawScreenshot(*request, out, err);
}

int RunThumbnail(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    LetSignalsEndTheRun();
    std::string error;
    const ToolArguments split = SplitToolArguments(args);
    std::optional<ScreenshotRequest> request;
    if (split.error.empty())
        request = ParseThumbnailArgs(split.rest, error);
    else
        error = split.error;
    if (!request) {
        err << "pelorus: " << error << "\n" << UsageText();
        return 2;
    }
    request->objectPath = split.objectPath;
    request->action = split.action;
    request->objectPassword = split.password;
    return DrawScreenshot(*request, out, err);
}

}  // namespace pelorus
