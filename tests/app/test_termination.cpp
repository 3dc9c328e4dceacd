// SIGTERM and SIGINT end the viewer whatever it is doing: in the nested loop of a modal dialog,
// while the fatal message box waits for its OK, and during start-up.

#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/termination.h"
#include "testutil.h"

#ifndef PELORUS_EXECUTABLE
#error "PELORUS_EXECUTABLE must name the program under test"
#endif

namespace pelorus {
namespace {

// The viewer where no OpenGL context can be made (the offscreen platform without an X display):
// it shows the fatal message box and waits for the user.
void StartWithoutOpenGl(QProcess& viewer, const std::string& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    viewer.setProcessEnvironment(env);
    viewer.setWorkingDirectory(QString::fromStdString(home));
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(PELORUS_EXECUTABLE, {});
}

}  // namespace

class TerminationTest : public QObject {
    Q_OBJECT

private slots:
    void theFatalMessageBoxEndsOnEitherSignal() {
        for (const int signal : {SIGTERM, SIGINT}) {
            test::TempDir home;
            QProcess viewer;
            StartWithoutOpenGl(viewer, home.Path());
            QVERIFY(viewer.waitForStarted(10000));
            // Long enough for the box to be up and waiting; it would wait for ever.
            QVERIFY(!viewer.waitForFinished(3000));
            QVERIFY(::kill(static_cast<pid_t>(viewer.processId()), signal) == 0);
            QVERIFY2(viewer.waitForFinished(30000), "the message box held the viewer");
            QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
            QCOMPARE(viewer.exitCode(), 1);  // the failure that showed the box
        }
    }

    void aSignalAtTheStartEndsTheViewer() {
        test::TempDir home;
        QProcess viewer;
        StartWithoutOpenGl(viewer, home.Path());
        QVERIFY(viewer.waitForStarted(10000));
        QTest::qWait(200);  // start-up has begun; the window may not be there yet
        viewer.terminate();
        QVERIFY2(viewer.waitForFinished(30000), "the signal was held during start-up");
    }

    // A window's thread busy with a long load runs no loop: a signal it leaves unread is taken
    // once the grace has passed (before, it waited for the end of the load: 35 s). One it reads in
    // time is left to it.
    void aSignalTheBusyLoopLeavesIsTakenAfterTheGrace() {
        int pipeEnds[2];
        QVERIFY(::pipe(pipeEnds) == 0);
        QVERIFY(::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK) == 0);
        signalfd_siginfo record{};
        record.ssi_signo = SIGTERM;
        std::atomic<int> taken{0};
        {
            BusyWatcher watcher(pipeEnds[0], std::chrono::milliseconds(200), [&](int signal) { taken = signal; });
            QVERIFY(watcher.Watching());
            // Read in time by the loop: the watcher leaves it.
            QCOMPARE(::write(pipeEnds[1], &record, sizeof record), ssize_t(sizeof record));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            signalfd_siginfo read{};
            QCOMPARE(::read(pipeEnds[0], &read, sizeof read), ssize_t(sizeof read));
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            QCOMPARE(taken.load(), 0);
            // Left unread: taken after the grace, not before.
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(::write(pipeEnds[1], &record, sizeof record), ssize_t(sizeof record));
            while (taken == 0 && timer.elapsed() < 20000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            QCOMPARE(taken.load(), SIGTERM);
            QVERIFY(timer.elapsed() >= 150);
        }  // and the watcher stops when it goes
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }

    // Last: the signal ends every loop of this process from then on.
    void aModalDialogEndsOnSigterm() {
        TerminationSignals termination;
        int calls = 0;
        QVERIFY(termination.Listen([&] { ++calls; }));
        QDialog dialog;
        bool shown = false;
        QTimer::singleShot(100, [&] {
            shown = dialog.isVisible();
            ::raise(SIGTERM);  // to this thread, which holds it blocked for the descriptor
        });
        QElapsedTimer timer;
        timer.start();
        const int result = dialog.exec();
        QVERIFY(shown);
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(timer.elapsed() < 20000);
        QVERIFY(termination.Requested());
        QCOMPARE(calls, 1);
        // A dialog opened afterwards, as shut-down might, does not wait either.
        QMessageBox box(QMessageBox::Warning, "After", "the signal", QMessageBox::Ok);
        timer.restart();
        box.exec();
        QVERIFY(timer.elapsed() < 20000);
    }
};

}  // namespace pelorus

QTEST_MAIN(pelorus::TerminationTest)
#include "test_termination.moc"
