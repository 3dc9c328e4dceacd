#pragma once
// The program with its window: start-up, the event loop and shut-down.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/fatalerror.h"
#include "app/mainwindow.h"
#include "app/worldwindow.h"
#include "platform/errorlog.h"

namespace pelorus {

struct ViewerOptions {
    // The error log of the run, shown by Object Properties; null gives the window its own.
    ErrorLog* log = nullptr;
    // The OpenGL view (false: the stand-in without OpenGL, for tests on the offscreen platform).
    bool glView = true;
    // Whether an OpenGL context can be made; CanMakeGlContext when empty. Asked only with glView.
    std::function<bool()> glProbe;
    FatalReporter fatal = ShowFatalMessage;
    // The user's configuration folder: Recent.txt, the window's place and size, the folder the
    // Open dialog starts in, the user's TexturesPath.txt, and Worlds.txt with the world files
    // unless the current folder at start-up holds a Worlds.txt (see WorldFolderFor). It is made
    // (mode 0700) at start-up. "" is UserConfigFolder().
    std::string settingsFolder;
    // The folder of the program's own "TexturesPath.txt", read instead of the user's when it is
    // there; "" is the running program's folder.
    std::string programDir;
    // Where the temporary folder for extracted scripts is made; "" is UserTempBase().
    std::string tempBase;
    // The program's data folder with the default world's files; "" looks for it (FindDataFolder
    // from the running program's folder).
    std::string dataFolder;
    // --at: where the camera orbits once the file is open.
    std::optional<Location> at;
    // Makes the askers of the World Properties window and of the shut-down message; the real
    // dialogs when empty.
    std::function<std::unique_ptr<WorldWindowAsker>()> makeWorldAsker;
    // Asked while start-up waits for the window and before the first load: true ends start-up
    // early (the window made so far is returned, without file). Empty: never.
    std::function<bool()> stopRequested;
    // Remembered places of the windows (see MainWindowOptions::placement); empty: the defaults.
    std::function<std::optional<QRect>(const QString& objectName)> placement;
};

// True when an OpenGL context of GlView::Format() can be made and made current.
bool CanMakeGlContext();

// Start-up with a QApplication in place: makes and shows the main window with its view, at the
// place and size it had when the last run ended; reads the world list and makes the World
// Properties window hidden, makes the run's temporary folder (the ViewerSession the window then
// owns); then shows the file that the program's arguments `args` name (see CommandLinePath and
// MainWindow::OpenAtStartup; "--object-path FOLDER" among them sets the object path of the run,
// see TakeObjectPath) in the current world, which also builds the catalogue. When no
// OpenGL context can be made or the window cannot be made, reports kGlWindowError through
// `options.fatal` and returns null.
std::unique_ptr<MainWindow> StartViewer(const std::vector<std::string>& args, const ViewerOptions& options);

// Shut-down of a window that StartViewer made, in this order: the window's place and size are
// saved, the world list is written (a failure is shown through the world asker), the window goes
// with its scene and then its backdrop, and the temporary folder goes with the scripts extracted
// into it. Null does nothing.
void ShutDownViewer(std::unique_ptr<MainWindow> window);

// The whole program with a window: start-up, the event loop until the main window is closed (or
// SIGTERM or SIGINT end it, at any moment from start-up on, modal dialogs and message boxes
// included), then ShutDownViewer. Returns the exit status: 0 (also after a signal), or 1 after a
// fatal failure.
int RunViewer(const std::string& programName, const std::vector<std::string>& args);

}  // namespace pelorus
