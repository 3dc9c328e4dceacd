// The real program on an X server (run under xvfb-run): it opens its window on the sample scene,
// draws it, and shuts down cleanly on SIGTERM. The window's pixels are grabbed from the screen
// and compared with what the headless --screenshot tool draws for the same view.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <cstdlib>

#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

constexpr int kLeft = 100, kTop = 100, kSide = 400;  // where the window asks to be

QImage GrabWindowArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0, kLeft, kTop, kSide, kSide).toImage().convertToFormat(QImage::Format_RGB32)
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

// Waits until the window shows a scene: many colours below its menu bar. Returns the grab and
// the first row of the view (-1 when it never showed).
std::pair<QImage, int> WaitForScene(const QProcess& viewer) {
    QImage shot;
    int top = -1;
    for (int tries = 0; tries < 240 && viewer.state() == QProcess::Running; ++tries) {
        QTest::qWait(500);
        shot = GrabWindowArea();
        top = shot.isNull() ? -1 : ViewTop(shot);
        if (top > 0 && ColourCount(shot, top) > 200) return {shot, top};
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

        // The same frame from the headless tool, at the size of the view.
        const std::string png = home.Join("expected.png");
        const int viewHeight = kSide - top;
        QProcess tool;
        tool.setProcessChannelMode(QProcess::ForwardedChannels);
        tool.start(PELORUS_EXECUTABLE, {"--screenshot", QString::fromStdString(png), "--size",
                                        QString("%1x%2").arg(kSide).arg(viewHeight), QString::fromStdString(scene)});
        QVERIFY(tool.waitForFinished(120000));
        QCOMPARE(tool.exitCode(), 0);
        const QImage expected = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(expected.size(), QSize(kSide, viewHeight));

        int64_t same = 0, total = 0;
        for (int y = 0; y < viewHeight; ++y)
            for (int x = 0; x < kSide; ++x, ++total)
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

    void aStillSceneCostsNoProcessorTime() {
        test::TempDir home;
        QProcess viewer;
        StartViewer(viewer, home.Path(), test::SourceDir() + "/samples/table.rwx");
        QVERIFY(viewer.waitForStarted(10000));
        QVERIFY2(WaitForScene(viewer).second > 0, "the view shows no scene");
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

QTEST_MAIN(pelorus::ViewerOnXTest)
#include "test_viewer_xvfb.moc"
