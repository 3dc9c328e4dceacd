// The real program on an X server (run under xvfb-run): it opens its window on the sample scene,
// framed, draws it, and shuts down cleanly on SIGTERM. The window's pixels are grabbed from the
// screen and compared with what the headless --screenshot tool draws for the same view.

#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>

#include "app/mainwindow.h"
#include "platform/paths.h"
#include "shell/viewershell.h"
#include "testutil.h"

namespace pelorus {
namespace {

// Where the window opens on this screen (there is no window manager to move it).
WindowRect WindowArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const QRect free = screen->availableGeometry();
    return MainWindowRect({free.x(), free.y(), free.width(), free.height()});
}

QImage GrabWindowArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const WindowRect area = WindowArea();
    return screen ? screen->grabWindow(0, area.x, area.y, area.width, area.height)
                        .toImage()
                        .convertToFormat(QImage::Format_RGB32)
                  : QImage();
}

int ColourCount(const QImage& image, int top) {
    QSet<QRgb> colours;
    for (int y = top; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

// The first row below the menu bar: where the colour at the right edge leaves the bar's own.
int ViewTop(const QImage& image) {
    const QRgb bar = image.pixel(image.width() - 2, 2);
    for (int y = 3; y < image.height() / 2; ++y)
        if (image.pixel(image.width() - 2, y) != bar) return y;
    return -1;
}

// One past the last row above the status bar: where the colour at the left edge leaves the bar's
// own, going up (the bar's left part holds no text while all is well).
int ViewBottom(const QImage& image) {
    const QRgb bar = image.pixel(1, image.height() - 2);
    for (int y = image.height() - 3; y > image.height() / 2; --y)
        if (image.pixel(1, y) != bar) return y + 1;
    return -1;
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// User and system time the process `pid` has used, in clock ticks; -1 when unknown.
int64_t CpuTicks(qint64 pid) {
    std::string stat;
    if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat)) return -1;
    // Fields after the command name (which ends with the last ')'): state is field 3, utime 14,
    // stime 15.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    const QStringList fields = QString::fromStdString(stat.substr(close + 2)).split(' ');
    if (fields.size() < 13) return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

// The viewer on `file`, from the folder `home`, which is also its user's home, on the X server of
// the test.
void StartViewer(QProcess& viewer, const std::string& home, const std::string& file) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home + "/config"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("EGL_PLATFORM");
    // Mesa unloads its driver when the display closes, before the leak check at exit runs, and
    // the driver's own allocations can then no longer be told from others: keep it loaded.
    if (QFile::exists(PELORUS_MESA_DRIVER)) {
        env.insert("LD_PRELOAD", PELORUS_MESA_DRIVER);
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    }
    viewer.setProcessEnvironment(env);
    viewer.setWorkingDirectory(QString::fromStdString(home));
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(PELORUS_EXECUTABLE, {QString::fromStdString(file)});
}

// Waits until the window shows a scene: at least `colours` colours below its menu bar. Returns
// the grab and the first row of the view (-1 when it never showed).
std::pair<QImage, int> WaitForScene(const QProcess& viewer, int colours = 200) {
    QImage shot;
    int top = -1;
    for (int tries = 0; tries < 240 && viewer.state() == QProcess::Running; ++tries) {
        QTest::qWait(500);
        shot = GrabWindowArea();
        top = shot.isNull() ? -1 : ViewTop(shot);
        if (top > 0 && ColourCount(shot, top) > colours) return {shot, top};
    }
    return {shot, -1};
}

class ViewerOnXTest : public QObject {
    Q_OBJECT

private slots:
    void windowShowsTheSampleSceneAsTheScreenshotToolDrawsIt() {
        test::TempDir home;  // the program's current folder at start, and its user's home
        const std::string scene = test::SourceDir() + "/samples/scene.txt";

        QProcess viewer;
        StartViewer(viewer, home.Path(), scene);
        QVERIFY(viewer.waitForStarted(10000));
        auto [shot, top] = WaitForScene(viewer);
        QVERIFY2(viewer.state() == QProcess::Running, "the viewer ended early");
        QVERIFY2(top > 0 && top < 60, "no scene below a menu bar at the top of the window");
        QTest::qWait(1500);  // later frames only animate the torch's flame
        shot = GrabWindowArea();
        const int bottom = ViewBottom(shot);
        QVERIFY2(bottom > shot.height() - 60, "no status bar at the bottom of the window");

        // The same frame from the headless tool, at the size of the view, framed as the window
        // frames the file it opens.
        const std::string png = home.Join("expected.png");
        const int viewWidth = shot.width(), viewHeight = bottom - top;
        QProcess tool;
        tool.setProcessChannelMode(QProcess::ForwardedChannels);
        tool.start(PELORUS_EXECUTABLE,
                   {"--screenshot", QString::fromStdString(png), "--fit", "--size",
                    QString("%1x%2").arg(viewWidth).arg(viewHeight), QString::fromStdString(scene)});
        QVERIFY(tool.waitForFinished(120000));
        QCOMPARE(tool.exitCode(), 0);
        const QImage expected = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(expected.size(), QSize(viewWidth, viewHeight));

        int64_t same = 0, total = 0;
        for (int y = 0; y < viewHeight; ++y)
            for (int x = 0; x < viewWidth; ++x, ++total)
                if (Near(shot.pixel(x, top + y), expected.pixel(x, y), 24)) ++same;
        const double share = static_cast<double>(same) / static_cast<double>(total);
        QVERIFY2(share > 0.95, qPrintable(QString("only %1 of the pixels match the screenshot").arg(share)));

        // SIGTERM closes the window: shut-down runs and the file is remembered.
        viewer.terminate();
        QVERIFY(viewer.waitForFinished(60000));
        QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(viewer.exitCode(), 0);
        std::string recent;
        QVERIFY(ReadWholeFile(home.Join("config/pelorus/Recent.txt"), recent));
        QCOMPARE(recent, scene + "\n");
    }

    // What docks and task bars read: the window's class names the launcher's StartupWMClass, and
    // the window carries the program's icon although the program is not installed.
    void theWindowGivesTheDesktopItsClassAndIcon() {
        if (QStandardPaths::findExecutable("xprop").isEmpty() || QStandardPaths::findExecutable("xwininfo").isEmpty())
            QSKIP("xprop or xwininfo is not installed");
        test::TempDir home;
        QProcess viewer;
        StartViewer(viewer, home.Path(), test::SourceDir() + "/samples/scene.txt");
        QVERIFY(viewer.waitForStarted(10000));
        QVERIFY(WaitForScene(viewer).second > 0);
        auto run = [](const QString& program, const QStringList& args) {
            QProcess tool;
            tool.start(program, args);
            tool.waitForFinished(30000);
            return QString::fromUtf8(tool.readAllStandardOutput());
        };
        QString id;
        for (const QString& line : run("xwininfo", {"-root", "-tree"}).split('\n'))
            if (line.contains("Pelorus") && line.contains("scene.txt")) id = line.trimmed().section(' ', 0, 0);
        QVERIFY2(!id.isEmpty(), "no window titled after the file");
        const QString props = run("xprop", {"-id", id, "WM_CLASS", "_NET_WM_ICON"});
        QVERIFY2(props.contains("WM_CLASS(STRING) = \"pelorus-gui\", \"Pelorus\""), qPrintable(props.left(300)));
        QVERIFY2(props.contains("_NET_WM_ICON(CARDINAL) = "), qPrintable(props.left(300)));
        viewer.terminate();
        QVERIFY(viewer.waitForFinished(60000));
    }

    void aModelFarFromTheOriginOpensFramed() {
        test::TempDir home;
        // A red box 20 units off the origin, on its own (the default world draws no model).
        std::string box = "ModelBegin\nClumpBegin\nColor 1 0 0\nSurface 1 0 0\nMaterialModes Double\n";
        for (int i = 0; i < 8; ++i)
            box += "Vertex " + std::to_string((i & 1) ? 20.5 : 19.5) + " " + std::to_string((i & 2) ? 1 : 0) + " " +
                   std::to_string((i & 4) ? 0.5 : -0.5) + "\n";
        box +=
            "Quad 1 2 4 3\nQuad 5 6 8 7\nQuad 1 2 6 5\nQuad 3 4 8 7\nQuad 1 3 7 5\nQuad 2 4 8 6\nClumpEnd\nModelEnd\n";
        const std::string file = home.Write("far.rwx", box);

        QProcess viewer;
        StartViewer(viewer, home.Path(), file);
        QVERIFY(viewer.waitForStarted(10000));
        QImage shot;
        int top = -1;
        double red = 0;
        for (int tries = 0; tries < 240 && viewer.state() == QProcess::Running && red < 0.1; ++tries) {
            QTest::qWait(500);
            shot = GrabWindowArea();
            top = shot.isNull() ? -1 : ViewTop(shot);
            if (top <= 0) continue;
            int64_t count = 0, all = 0;
            for (int y = top; y < shot.height(); y += 2)
                for (int x = 0; x < shot.width(); x += 2, ++all) {
                    const QRgb p = shot.pixel(x, y);
                    count += qRed(p) > 200 && qGreen(p) < 40 && qBlue(p) < 40 ? 1 : 0;
                }
            red = static_cast<double>(count) / static_cast<double>(std::max<int64_t>(1, all));
        }
        QVERIFY2(viewer.state() == QProcess::Running, "the viewer ended early");
        QVERIFY2(red >= 0.1, qPrintable(QString("the model covers %1 of the view").arg(red)));
        viewer.terminate();
        QVERIFY(viewer.waitForFinished(60000));
        QCOMPARE(viewer.exitCode(), 0);
    }

    void saveSnapshotWritesTheViewAsTheScreenshotToolDrawsIt() {
        test::TempDir home;
        const std::string samples = test::SourceDir() + "/samples";
        const std::string start = CurrentDirectory();
        SetCurrentDirectory(samples);  // where the default world's backdrop is found
        {
            MainWindowOptions options;
            options.settingsFolder = home.Path();
            MainWindow window(options);
            window.show();
            QTRY_VERIFY_WITH_TIMEOUT(window.View().Ready(), 30000);
            window.OpenFile(samples + "/crate.rwx");
            const std::string shot = home.Join("shot.png");
            QCOMPARE(window.SaveSnapshot(shot), std::string());
            const QImage saved = QImage(QString::fromStdString(shot)).convertToFormat(QImage::Format_RGB32);
            QVERIFY(!saved.isNull());

            const std::string png = home.Join("expected.png");
            QProcess tool;
            tool.setProcessChannelMode(QProcess::ForwardedChannels);
            tool.setWorkingDirectory(QString::fromStdString(samples));
            tool.start(PELORUS_EXECUTABLE, {"--screenshot", QString::fromStdString(png), "--fit", "--size",
                                            QString("%1x%2").arg(saved.width()).arg(saved.height()), "crate.rwx"});
            QVERIFY(tool.waitForFinished(120000));
            QCOMPARE(tool.exitCode(), 0);
            const QImage expected = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
            QCOMPARE(expected.size(), saved.size());
            int64_t same = 0;
            for (int y = 0; y < saved.height(); ++y)
                for (int x = 0; x < saved.width(); ++x)
                    same += Near(saved.pixel(x, y), expected.pixel(x, y), 24) ? 1 : 0;
            const double share = static_cast<double>(same) / (saved.width() * saved.height());
            QVERIFY2(share > 0.95, qPrintable(QString("only %1 of the pixels match the screenshot").arg(share)));
        }
        SetCurrentDirectory(start);
    }

    void aStillSceneCostsNoProcessorTime() {
        test::TempDir home;
        QProcess viewer;
        StartViewer(viewer, home.Path(), test::SourceDir() + "/samples/table.rwx");
        QVERIFY(viewer.waitForStarted(10000));
        // Framed from above, the table, the ground, the sky and the axes: a few flat colours.
        QVERIFY2(WaitForScene(viewer, 6).second > 0, "the view shows no scene");
        QTest::qWait(1000);
        const int64_t before = CpuTicks(viewer.processId());
        QTest::qWait(3000);
        const int64_t after = CpuTicks(viewer.processId());
        QVERIFY(before >= 0 && after >= before);
        // Frames drawn back to back would take all of one processor (about 300 ticks).
        QVERIFY2(after - before < 30, qPrintable(QString("%1 ticks in 3 s").arg(after - before)));
        viewer.terminate();
        QVERIFY(viewer.waitForFinished(60000));
        QCOMPARE(viewer.exitCode(), 0);
    }
};

}  // namespace
}  // namespace pelorus

// The test draws with OpenGL itself too (Save Snapshot): like the viewers it starts, it keeps
// Mesa's driver loaded until the leak check at exit, by running itself again with it preloaded.
int main(int argc, char** argv) {
    if (QFile::exists(PELORUS_MESA_DRIVER) && !std::getenv("PELORUS_MESA_PRELOADED")) {
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
        ::setenv("LD_PRELOAD", PELORUS_MESA_DRIVER, 1);
        ::setenv("PELORUS_MESA_PRELOADED", "1", 1);
        ::execv("/proc/self/exe", argv);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    pelorus::ViewerOnXTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_viewer_xvfb.moc"
