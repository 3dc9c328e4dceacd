#pragma once
// The program with its window: start-up, the event loop and shut-down.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/fatalerror.h"
#include "app/mainwindow.h"

namespace pelorus {

struct ViewerOptions {
    // The OpenGL view (false: the stand-in without OpenGL, for tests on the offscreen platform).
    bool glView = true;
    // Whether an OpenGL context can be made; CanMakeGlContext when empty. Asked only with glView.
    std::function<bool()> glProbe;
    FatalReporter fatal = ShowFatalMessage;
    // The folder of "Recent.txt"; "" is the current folder at start-up.
    std::string settingsFolder;
};

// True when an OpenGL context of GlView::Format() can be made and made current.
bool CanMakeGlContext();

// Start-up with a QApplication in place: makes and shows the main window with its view, then
// shows the file that the program's arguments `args` name (see CommandLinePath and
// MainWindow::OpenAtStartup) in the current world. When no OpenGL context can be made or the
// window cannot be made, reports kGlWindowError through `options.fatal` and returns null.
std::unique_ptr<MainWindow> StartViewer(const std::vector<std::string>& args, const ViewerOptions& options);

// The whole program with a window: start-up, the event loop until the main window is closed (or
// SIGTERM or SIGINT close it), then shut-down: the scene and the backdrop are released and
// scripts left in the temporary folder deleted. Returns the exit status: 0, or 1 after a fatal
// failure.
int RunViewer(const std::string& programName, const std::vector<std::string>& args);

}  // namespace pelorus
