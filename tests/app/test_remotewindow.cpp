// The window over a dump whose object path is a web server the test starts on 127.0.0.1: a slow
// server does not slow the window, the status bar tells the downloads and, once the server is
// gone, that the world is offline; closing the window while nothing answers returns.

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>
#include <set>

#include "app/mainwindow.h"
#include "dumpgen.h"
#include "objectserver.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

constexpr int kModels = 24;

class RemoteWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> site_, logs_, dir_;
    std::unique_ptr<test::ObjectServer> server_;
    std::string dump_;
    std::unique_ptr<MainWindow> window_;

    // A window whose world fetches from `objectPath`, asking the server again after
    // `refreshTime`, with a cache of its own.
    MainWindow& Make(const std::string& objectPath, std::chrono::seconds refreshTime = std::chrono::hours(1)) {
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        options.objectPath = objectPath;
        window_ = std::make_unique<MainWindow>(options);
        window_->SetWorldSource([refreshTime] {
            CurrentWorld world;
            world.look.groundPath = "models/.rwx";
            world.look.refreshTime = refreshTime;
            return world;
        });
        window_->show();
        return *window_;
    }

    // Every object of the dump shows a model.
    static bool AllModelsIn(MainWindow& window) {
        const TObjectMap* scene = window.View().Scene();
        if (!scene || scene->ObjectCount() == 0) return false;
        for (std::size_t i = 0; i < scene->ObjectCount(); ++i)
            if (scene->Object(i).CountTriangles() == 0) return false;
        return true;
    }

private slots:
    void initTestCase() {
        test::NoProxies();
        site_ = std::make_unique<TempDir>();
        logs_ = std::make_unique<TempDir>();
        dir_ = std::make_unique<TempDir>();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(dir_->Join("cache")));
        QVERIFY(dumpgen::WriteObjectPath(site_->Path(), {.models = kModels, .textures = 3}));
        const dumpgen::GeneratedDump made =
            dumpgen::MakeDump({.objects = 200, .models = kModels, .extras = false, .keepExpected = false});
        dump_ = dir_->Join("world.txt");
        QVERIFY(dumpgen::WriteFile(dump_, made.text));
        server_ = std::make_unique<test::ObjectServer>(site_->Path(), logs_->Path());
        QVERIFY(server_->Port() != 0);
    }
    void cleanupTestCase() {
        window_.reset();
        server_.reset();
        dir_.reset();
    }
    void cleanup() { window_.reset(); }

    // Every answer of the server comes late; the window's own timer keeps firing meanwhile, the
    // status bar counts the files, and every object gets its model. Then, with the server gone
    // and the copies due for a check, the copies stand in and the status bar says so.
    void aSlowServerDoesNotSlowTheWindowAndAGoneOneLeavesItOffline() {
        const std::string slow = server_->Url("slow/150/");
        MainWindow& window = Make(slow);
        int ticks = 0;
        std::set<QString> messages;
        QTimer timer;
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, [&] {
            if (!window.Loading()) return;
            ++ticks;
            messages.insert(window.StatusMessage());
        });
        timer.start();
        QSignalSpy loaded(&window, &MainWindow::sceneLoaded);
        window.ShowChosenFile(dump_);
        QVERIFY(window.Loading());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Loading(), 120000);
        timer.stop();
        QCOMPARE(loaded.count(), 1);
        // Dozens of answers came a seventh of a second late each; the window answered its timer
        // all along.
        QVERIFY2(ticks >= 50, qPrintable(QString::number(ticks)));
        bool counted = false;
        for (const QString& m : messages)
            counted = counted || (m.startsWith("Downloading ") && m.contains(" of ") && m.contains(" files, "));
        QVERIFY2(counted, qPrintable(QStringList(messages.begin(), messages.end()).join(" | ")));
        QVERIFY(AllModelsIn(window));
        QCOMPARE(window.StatusMessage(), QString());
        QCOMPARE(window.LastLoadProblems(), std::size_t{0});

        // The same object path without its server, asked about on every load.
        server_->Stop();
        window_.reset();
        MainWindow& again = Make(slow, std::chrono::seconds(0));
        again.ShowChosenFile(dump_);
        QTRY_VERIFY_WITH_TIMEOUT(!again.Loading(), 60000);
        QVERIFY(AllModelsIn(again));
        QCOMPARE(again.StatusMessage(), QString::fromStdString("Offline: using cached copies of " + slow));
        // Opening a file of this computer is no longer offline.
        dir_->Write("tri.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
        again.ShowChosenFile(dir_->Join("tri.rwx"));
        QCOMPARE(again.StatusMessage(), QString());
    }

    // A server that takes every request and never answers: closing the window in the middle of
    // the load returns (the downloads waited for are given up), and so does opening another file.
    void closingWhileNothingAnswersReturns() {
        TempDir site, logs;
        QVERIFY(dumpgen::WriteObjectPath(site.Path(), {.models = kModels, .textures = 3}));
        test::ObjectServer holding(site.Path(), logs.Path());
        QVERIFY(holding.Port() != 0);
        {
            MainWindow& window = Make(holding.Url("hold/"));
            window.ShowChosenFile(dump_);
            QTRY_VERIFY_WITH_TIMEOUT(!holding.Hits().empty(), 20000);
            QVERIFY(window.Loading());
            window.close();
            QVERIFY(!window.Loading());
            window_.reset();  // returns once the loader's threads are gone
        }
        {
            const std::size_t before = holding.Hits().size();
            MainWindow& window = Make(holding.Url("hold/"));
            window.ShowChosenFile(dump_);
            QTRY_VERIFY_WITH_TIMEOUT(holding.Hits().size() > before, 20000);
            dir_->Write("tri.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
            window.ShowChosenFile(dir_->Join("tri.rwx"));
            QVERIFY(!window.Loading());
            QCOMPARE(window.View().Scene()->ObjectCount(), std::size_t{1});
        }
    }
};

}  // namespace
}  // namespace pelorus

QTEST_MAIN(pelorus::RemoteWindowTest)
#include "test_remotewindow.moc"
