// The Errors page while a script with 10,000 error lines is reloaded again and again: time per
// reload with the page on display, and the peak memory of the process. Runs on the offscreen
// platform without OpenGL: `QT_QPA_PLATFORM=offscreen errorspage_bench [RELOADS] [hidden]`; with
// "hidden" the page is never shown, which leaves the cost of reading and logging alone.

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/mainwindow.h"
#include "app/objectproperties.h"
#include "platform/paths.h"

namespace {

// The largest resident size of this process so far, in MiB, from /proc.
double PeakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int reloads = argc > 1 ? std::stoi(argv[1]) : 60;
    const bool hidden = argc > 2 && std::string(argv[2]) == "hidden";
    char folder[] = "/tmp/pelorus-errors-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string script = std::string(folder) + "/errors.rwx";
    {
        std::ofstream out(script);
        out << "ModelBegin\n";
        for (int i = 0; i < 10000; ++i) out << "Frobnicate " << i << "\n";
        out << "ModelEnd\n";
    }

    pelorus::MainWindowOptions options;
    options.glView = false;
    options.settingsFolder = folder;
    pelorus::MainWindow window(options);
    window.show();
    window.OpenFile(script);
    if (!hidden) {
        window.Dispatch(pelorus::kCmdFileProperties);
        window.Properties()->Tabs()->setCurrentIndex(2);
    }
    QApplication::processEvents();

    QElapsedTimer total;
    total.start();
    qint64 slowest = 0;
    for (int i = 0; i < reloads; ++i) {
        QElapsedTimer one;
        one.start();
        window.Dispatch(pelorus::kCmdReload);
        QApplication::processEvents();
        slowest = std::max(slowest, one.elapsed());
    }
    const double ms = static_cast<double>(total.elapsed());
    std::printf(
        "%d reloads of 10,000 error lines with the Errors page %s: %.0f ms, %.1f ms per reload (slowest "
        "%lld ms), %zu log lines, peak memory %.0f MiB\n",
        reloads, hidden ? "hidden" : "shown", ms, ms / reloads, static_cast<long long>(slowest),
        window.Log().LineCount(), PeakMiB());
    std::remove(script.c_str());
    std::remove((std::string(folder) + "/Recent.txt").c_str());
    ::rmdir(folder);
    return 0;
}
