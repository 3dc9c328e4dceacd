#include "app/viewerapp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <cstdlib>
#include <iostream>

#include "app/glview.h"
#include "app/programicon.h"
#include "app/qtext.h"
#include "app/termination.h"
#include "app/usersettings.h"
#include "app/viewersession.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/version.h"
#include "shell/cli.h"
#include "shell/userfolders.h"

namespace pelorus {
namespace {

constexpr qint64 kContextWaitMs = 3000;

}  // namespace

bool CanMakeGlContext() {
    QOpenGLContext context;
    context.setFormat(GlView::Format());
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
    context.doneCurrent();
    return true;
}

std::unique_ptr<MainWindow> StartViewer(const std::vector<std::string>& args, const ViewerOptions& options) {
    if (options.glView && !(options.glProbe ? options.glProbe() : CanMakeGlContext())) {
        options.fatal(kGlWindowError);
        return nullptr;
    }
    const std::string configFolder = options.settingsFolder.empty() ? UserConfigFolder() : options.settingsFolder;
    if (!configFolder.empty()) MakeFolders(configFolder, 0700);
    // "--object-path FOLDER" sets the object path for the run; the rest names the file.
    std::vector<std::string> fileArgs = args;
    MainWindowOptions windowOptions;
    {
        ObjectPathArgument given = TakeObjectPath(fileArgs);
        windowOptions.objectPath = given.folder;
        windowOptions.action = given.action.value_or(std::string());
        windowOptions.objectPassword = given.password;
    }
    std::optional<Location> at = options.at;
    {
        std::optional<Location> given;
        std::string error;
        if (TakeLocationArgument(fileArgs, given, error) && given) at = given;
    }
    windowOptions.glView = options.glView;
    windowOptions.log = options.log;
    windowOptions.settingsFolder = configFolder;
    windowOptions.readOptions.programDir = TexturesPathFolder(options.programDir, configFolder);
    windowOptions.fatal = options.fatal;
    windowOptions.placement = options.placement;
    auto window = std::make_unique<MainWindow>(std::move(windowOptions));
    const QByteArray geometry = UserSettings(configFolder).WindowGeometry();
    if (!geometry.isEmpty()) window->restoreGeometry(geometry);
    window->show();
    // The view makes its context once the platform has shown the window.
    QElapsedTimer waited;
    waited.start();
    auto stopped = [&] { return options.stopRequested && options.stopRequested(); };
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    } while (!window->View().Ready() && waited.elapsed() < kContextWaitMs && !stopped());
    if (stopped()) return window;
    if (!WindowWasMade(*window) || !window->View().Ready()) {
        window.reset();
        options.fatal(kGlWindowError);
        return nullptr;
    }
    SessionOptions session;
    // Worlds.txt and the world files stay where they were found, whatever folder the model
    // makes current.
    session.worldFolder = WorldFolderFor(CurrentDirectory(), configFolder);
    session.tempBase = options.tempBase;
    session.configFolder = configFolder;
    session.cacheRoot = UserCacheRoot(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    session.programDir = options.programDir;
    session.dataFolder =
        options.dataFolder.empty() ? FindDataFolder(ProgramDirectory(), kInstalledDataFolder) : options.dataFolder;
    session.makeAsker = options.makeWorldAsker;
    session.fatal = options.fatal;
    new ViewerSession(*window, std::move(session));  // owned by the window
    if (stopped()) return window;
    window->OpenAtStartup(CommandLinePath(fileArgs));
    if (at) window->GoTo(*at);
    return window;
}

void ShutDownViewer(std::unique_ptr<MainWindow> window) {
    if (!window) return;
    UserSettings(window->SettingsFolder(), &window->Log()).SetWindowGeometry(window->saveGeometry());
    if (ViewerSession* session = ViewerSession::Of(*window)) session->WriteWorldList();
    window.reset();  // the session goes with it, and with the session its temporary folder
}

int RunViewer(const std::string& programName, const std::vector<std::string>& args) {
    std::vector<std::string> fileArgs = args;
    if (const ObjectPathArgument objectPath = TakeObjectPath(fileArgs); !objectPath.error.empty()) {
        std::cerr << "pelorus: " << objectPath.error << "\n" << UsageText();
        return 2;
    }
    std::optional<Location> at;
    {
        std::string error;
        if (!TakeLocationArgument(fileArgs, at, error)) {
            std::cerr << "pelorus: " << error << "\n" << UsageText();
            return 2;
        }
    }
    TerminationSignals termination;  // before QApplication starts its threads
    // Only the program name goes to Qt: the arguments are one path, whatever they look like.
    std::string name = programName;
    int argc = 1;
    char* argv[] = {name.data(), nullptr};
    QApplication app(argc, argv);
    // The name is the class of the window on X11, which the launcher's StartupWMClass names.
    QApplication::setApplicationName("Pelorus");
    QApplication::setApplicationVersion(ToQString(ProgramVersion()));
    QApplication::setDesktopFileName("pelorus");
    QApplication::setWindowIcon(ProgramIcon());

    // From here on SIGTERM and SIGINT end the program, in any loop: start-up's wait for the
    // window, a fatal message box, a modal dialog, the main loop, shut-down's messages.
    std::unique_ptr<MainWindow> window;
    termination.Listen([&window] {
        if (window) window->close();
    });

    // The one log of the run: every load writes to it and Object Properties shows it.
    ErrorLog log;
    ViewerOptions options;
    options.log = &log;
    options.stopRequested = [&termination] { return termination.Requested(); };
    options.at = at;
    window = StartViewer(args, options);
    if (!window) return 1;
    // A signal during start-up: the main loop would forget that it was asked to end.
    const int status = termination.Requested() ? 0 : QApplication::exec();
    ShutDownViewer(std::move(window));
    return status;
}

}  // namespace pelorus
