// The window while an object dump of many objects is read: its thread keeps answering events,
// the status bar tells how far the load has come, objects are shown before the last model came,
// and closing the window or opening another file in the middle ends the load at once.

#include <QApplication>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <memory>
#include <set>
#include <thread>

#include "app/mainwindow.h"
#include "dumpgen.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

class WindowLoadTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;
    std::string dump_;
    std::unique_ptr<MainWindow> window_;

    MainWindow& Make() {
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        options.objectPath = dir_->Join("op");
        window_ = std::make_unique<MainWindow>(options);
        window_->SetWorldSource([] {
            CurrentWorld world;
            world.look.groundPath = "models/.rwx";
            return world;
        });
        window_->show();
        return *window_;
    }

private slots:
    void initTestCase() {
        dir_ = std::make_unique<TempDir>();
        QVERIFY(dumpgen::WriteObjectPath(dir_->Join("op"), {.models = 150, .textures = 3}));
        const dumpgen::GeneratedDump made = dumpgen::MakeDump(
            {.objects = 120000, .models = 150, .missingModels = 3, .badLines = 2, .keepExpected = false});
        dump_ = dir_->Join("world.txt");
        QVERIFY(dumpgen::WriteFile(dump_, made.text));
    }
    void cleanupTestCase() { dir_.reset(); }
    void cleanup() { window_.reset(); }

    void theWindowAnswersEventsWhileADumpIsRead() {
        MainWindow& window = Make();
        int ticks = 0;
        bool sawObjectsEarly = false;
        std::set<QString> messages;
        QTimer timer;
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, [&] {
            if (!window.Loading()) return;
            ++ticks;
            messages.insert(window.StatusMessage());
            if (window.View().Scene() && window.View().Scene()->ObjectCount() > 0) sawObjectsEarly = true;
        });
        timer.start();
        QSignalSpy loaded(&window, &MainWindow::sceneLoaded);
        window.ShowChosenFile(dump_);
        QVERIFY(window.Loading());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Loading(), 240000);
        timer.stop();
        QCOMPARE(loaded.count(), 1);
        // The timer kept firing while the dump was read, and the status bar said how far it was.
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        bool reading = false, loading = false;
        for (const QString& m : messages) {
            reading = reading || (m.startsWith("Reading ") && m.endsWith(" of 120,005 objects"));
            loading = loading || (m.startsWith("Loading ") && m.endsWith(" of 150 models"));
        }
        // (Either may pass between two looks on a fast machine, not both.)
        QVERIFY(reading || loading);
        QVERIFY(sawObjectsEarly);
        // Done: every object shows its model, the problems of the load are counted, the message
        // is gone.
        QCOMPARE(window.View().Scene()->ObjectCount(), std::size_t{120000});
        QCOMPARE(window.View().Scene()->Object(119999).CountTriangles() > 0, true);
        QCOMPARE(window.LastLoadProblems(), std::size_t{5});
        QCOMPARE(window.StatusMessage(), QString());
    }

    void withADrawDistanceOnlyTheModelsNearTheEyeAreRead() {
        // Objects 5 units apart over 225 units, each of 100 models standing in 20 places.
        const std::string folder = dir_->Join("spread");
        QVERIFY(dumpgen::WriteObjectPath(folder + "/op", {.models = 100, .textures = 2}));
        const dumpgen::GeneratedDump made = dumpgen::MakeDump(
            {.objects = 2000, .models = 100, .missingModels = 2, .extras = false, .spacing = 5, .keepExpected = false});
        QVERIFY(dumpgen::WriteFile(folder + "/w.txt", made.text));
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        options.objectPath = folder + "/op";
        window_ = std::make_unique<MainWindow>(options);
        MainWindow& window = *window_;
        window.SetWorldSource([] {
            CurrentWorld world;
            world.look.groundPath = "models/.rwx";
            return world;
        });
        window.show();
        window.Dispatch(kFirstDrawDistanceCommand + 1);  // 50 m
        QSignalSpy loaded(&window, &MainWindow::sceneLoaded);
        window.ShowChosenFile(folder + "/w.txt");
        QTRY_VERIFY_WITH_TIMEOUT(!window.Loading(), 60000);
        QCOMPARE(loaded.count(), 1);
        // The two names not found are told at once.
        QCOMPARE(window.LastLoadProblems(), std::size_t{2});
        const TObjectMap& scene = *window.View().Scene();
        QCOMPARE(scene.ObjectCount(), std::size_t{2000});
        auto shown = [&](double x, double z, double within) {
            std::size_t models = 0, objects = 0;
            for (std::size_t i = 0; i < scene.ObjectCount(); ++i) {
                const auto& p = scene.PlacementOf(i).position;
                if (std::hypot(p[0] - x, p[2] - z) > within) continue;
                ++objects;
                if (scene.Object(i).CountTriangles() > 0) ++models;
            }
            return std::make_pair(models, objects);
        };
        // The objects around where the world opened get their models; those far away none.
        const Camera opened = window.Shell().CameraValues();
        QTRY_VERIFY_WITH_TIMEOUT(shown(opened.targetX, opened.targetZ, 2).first > 0, 60000);
        const auto near = shown(opened.targetX, opened.targetZ, 2);
        QCOMPARE(near.first, near.second);
        auto modelsIn = [&] {
            std::size_t n = 0;
            for (const auto& model : scene.Read().models) n += model && model->CountTriangles() > 0;
            return n;
        };
        // (A handful of objects stand within the draw distance; far objects of other models show
        // nothing.)
        QVERIFY2(modelsIn() <= 12, qPrintable(QString::number(modelsIn())));
        QVERIFY(shown(opened.targetX + 80, opened.targetZ + 80, 40).first <
                shown(opened.targetX + 80, opened.targetZ + 80, 40).second);
        // Walking there brings theirs.
        window.GoTo({opened.targetX + 80, 0, opened.targetZ + 80, std::nullopt});
        QTRY_VERIFY_WITH_TIMEOUT(shown(opened.targetX + 80, opened.targetZ + 80, 2).first > 0, 60000);
        const auto there = shown(opened.targetX + 80, opened.targetZ + 80, 2);
        QCOMPARE(there.first, there.second);
        QCOMPARE(window.LastLoadProblems(), std::size_t{2});
    }

    // A world that changes its object path while a dump is read makes the window read it again;
    // the load that handed over its objects and its end at once must not end the new one.
    void aWorldChangedDuringTheLoadIsReadAgainToTheEnd() {
        const std::string folder = dir_->Join("changed");
        QVERIFY(dumpgen::WriteObjectPath(folder + "/op", {.models = 4, .textures = 1}));
        const dumpgen::GeneratedDump made =
            dumpgen::MakeDump({.objects = 40, .models = 4, .extras = false, .keepExpected = false});
        QVERIFY(dumpgen::WriteFile(folder + "/w.txt", made.text));
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = folder;  // every model read: no draw distance of earlier tests
        window_ = std::make_unique<MainWindow>(options);
        MainWindow& window = *window_;
        std::string objectPath = folder + "/nowhere";
        window.SetWorldSource([&objectPath] {
            CurrentWorld world;
            world.look.groundPath = "models/.rwx";
            world.look.objectPath = objectPath;
            return world;
        });
        window.show();
        window.ShowChosenFile(folder + "/w.txt");
        objectPath = folder + "/op";
        // The whole first load is read before the window looks: one hand-over, ended.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QTRY_VERIFY_WITH_TIMEOUT(!window.Loading(), 60000);
        const TObjectMap& scene = *window.View().Scene();
        QCOMPARE(scene.ObjectCount(), std::size_t{40});
        for (std::size_t i = 0; i < scene.ObjectCount(); ++i)
            QVERIFY2(scene.Object(i).CountTriangles() > 0, std::string(scene.NameOf(i)).c_str());
        QCOMPARE(window.LastLoadProblems(), std::size_t{0});
    }

    void closingOrOpeningAnotherFileEndsTheLoad() {
        {
            MainWindow& window = Make();
            window.ShowChosenFile(dump_);
            QTRY_VERIFY(window.View().Scene() && window.View().Scene()->ObjectCount() > 0);
            window.close();
            QVERIFY(!window.Loading());
            window_.reset();  // returns once the loader's threads are gone
        }
        {
            MainWindow& window = Make();
            window.ShowChosenFile(dump_);
            dir_->Write("tri.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
            window.ShowChosenFile(dir_->Join("tri.rwx"));
            QVERIFY(!window.Loading());
            QCOMPARE(window.View().Scene()->ObjectCount(), std::size_t{1});
            // Nothing of the dump comes after.
            QTest::qWait(100);
            QCOMPARE(window.View().Scene()->ObjectCount(), std::size_t{1});
            QCOMPARE(window.CurrentFile(), dir_->Join("tri.rwx"));
        }
    }
};

}  // namespace
}  // namespace pelorus

QTEST_MAIN(pelorus::WindowLoadTest)
#include "test_windowload.moc"
