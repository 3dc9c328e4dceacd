#include "app/viewerapp.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSocketNotifier>

#include "app/glview.h"
#include "app/qtext.h"
#include "app/usersettings.h"
#include "app/viewersession.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/version.h"
#include "shell/userfolders.h"

namespace pelorus {
namespace {

constexpr qint64 kContextWaitMs = 3000;

// SIGTERM and SIGINT, taken as events of the loop (they are blocked for every thread and read
// from a signal descriptor), close the main window so that shut-down runs as usual.
class TerminationSignals {
public:
    // Blocks the signals; must run before any thread is started (QApplication starts some).
    TerminationSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGTERM);
        sigaddset(&set_, SIGINT);
        blocked_ = pthread_sigmask(SIG_BLOCK, &set_, &previous_) == 0;
    }
    ~TerminationSignals() {
        notifier_.reset();
        if (fd_ >= 0) ::close(fd_);
        if (blocked_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Calls `onSignal` from the event loop for each signal received.
    void Listen(std::function<void()> onSignal) {
        if (!blocked_) return;
        fd_ = signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
        if (fd_ < 0) return;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, onSignal = std::move(onSignal)] {
            signalfd_siginfo info{};
            while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) onSignal();
        });
    }

private:
    sigset_t set_{};
    sigset_t previous_{};
    bool blocked_ = false;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

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
    MainWindowOptions windowOptions;
    windowOptions.glView = options.glView;
    windowOptions.log = options.log;
    windowOptions.settingsFolder = configFolder;
    windowOptions.readOptions.programDir = TexturesPathFolder(options.programDir, configFolder);
    windowOptions.fatal = options.fatal;
    auto window = std::make_unique<MainWindow>(std::move(windowOptions));
    const QByteArray geometry = UserSettings(configFolder).WindowGeometry();
    if (!geometry.isEmpty()) window->restoreGeometry(geometry);
    window->show();
    // The view makes its context once the platform has shown the window.
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    } while (!window->View().Ready() && waited.elapsed() < kContextWaitMs);
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
    session.programDir = options.programDir;
    session.dataFolder =
        options.dataFolder.empty() ? FindDataFolder(ProgramDirectory(), kInstalledDataFolder) : options.dataFolder;
    session.makeAsker = options.makeWorldAsker;
    session.fatal = options.fatal;
    new ViewerSession(*window, std::move(session));  // owned by the window
    window->OpenAtStartup(CommandLinePath(args));
    return window;
}

void ShutDownViewer(std::unique_ptr<MainWindow> window) {
    if (!window) return;
    UserSettings(window->SettingsFolder()).SetWindowGeometry(window->saveGeometry());
    if (ViewerSession* session = ViewerSession::Of(*window)) session->WriteWorldList();
    window.reset();  // the session goes with it, and with the session its temporary folder
}

int RunViewer(const std::string& programName, const std::vector<std::string>& args) {
    TerminationSignals termination;
    // Only the program name goes to Qt: the arguments are one path, whatever they look like.
    std::string name = programName;
    int argc = 1;
    char* argv[] = {name.data(), nullptr};
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pelorus");
    QApplication::setApplicationVersion(ToQString(ProgramVersion()));

    // The one log of the run: every load writes to it and Object Properties shows it.
    ErrorLog log;
    ViewerOptions options;
    options.log = &log;
    std::unique_ptr<MainWindow> window = StartViewer(args, options);
    if (!window) return 1;
    termination.Listen([&window] {
        if (window) window->close();
    });
    const int status = QApplication::exec();
    ShutDownViewer(std::move(window));
    return status;
}

}  // namespace pelorus
