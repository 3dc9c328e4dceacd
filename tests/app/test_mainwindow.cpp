// The main window on the offscreen platform, with the stand-in view in place of OpenGL: menus,
// keys, pointer, drops, the Open dialog, Reload, Recent, automatic reloading, start-up from the
// command line and the Object Properties window it opens.

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "app/mainwindow.h"
#include "app/objectproperties.h"
#include "app/viewerapp.h"
#include "platform/errorlog.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

constexpr std::string_view kTriangle =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\nModelEnd\n";
constexpr std::string_view kQuad =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nQuad 1 2 3 4\n"
    "ClumpEnd\nModelEnd\n";

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int64_t Triangles(const MainWindow& window) {
    int64_t total = 0;
    for (const RWXObject* object : const_cast<MainWindow&>(window).ModelObjects()) total += object->CountTriangles();
    return total;
}

PlainView& Plain(MainWindow& window) {
    return dynamic_cast<PlainView&>(window.View());
}

// Acts on the next modal widget of type T as soon as it shows (from inside its own loop); gives
// up after five seconds. Returns a flag that tells whether it was seen.
template <typename T>
std::shared_ptr<bool> WhenModal(std::function<void(T*)> act) {
    auto seen = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, seen, ticks] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            *seen = true;
            timer->stop();
            timer->deleteLater();
            act(widget);
            // A dialog the action failed to close must fail the test, not hang it.
            QPointer<QWidget> left(widget);
            QTimer::singleShot(30000, [left] {
                if (left && left->isVisible()) static_cast<QDialog*>(left.data())->reject();
            });
        } else if (++*ticks > 6000) {  // a loaded machine can take seconds to show a dialog
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
    return seen;
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::string startFolder_;
    std::unique_ptr<MainWindow> window_;

    MainWindow& Make() {
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        return *window_;
    }

private slots:
    void init() {
        startFolder_ = CurrentDirectory();
        dir_ = std::make_unique<TempDir>();
        dir_->Write("tri.rwx", kTriangle);
        dir_->Write("quad.rwx", kQuad);
        dir_->Write("sub/map.txt", "../tri.rwx 0 0 0\n../quad.rwx 1 0 0\n");
        // Where an object map's relative entries resolve (only start-up and the Open dialog
        // change the folder).
        SetCurrentDirectory(dir_->Join("sub"));
    }

    void cleanup() {
        window_.reset();
        SetCurrentDirectory(startFolder_);
        dir_.reset();
    }

    void menuBarHoldsEveryItemWithItsNumberTextAndCheck() {
        MainWindow& window = Make();
        struct Item {
            const char* text;
            int command;
            bool checkable, checked;
        };
        const std::vector<std::pair<const char*, std::vector<Item>>> menus = {
            {"&File",
             {{"&Open...", 1, false, false},
              {"&Reload\tR", 2, false, false},
              {"&Recent", 3, false, false},
              {"&Export...", 7, false, false},
              {"", 0, false, false},
              {"&Properties...\tAlt+Enter", 4, false, false},
              {"&Associations...", 5, false, false},
              {"", 0, false, false},
              {"E&xit\tAlt+F4", 6, false, false}}},
            {"&View",
             {{"A&xes\tX", 101, true, true},
              {"&Geometry\tSpace", 102, true, false},
              {"&Object\tO", 103, true, true},
              {"&Normals\tN", 104, true, false},
              {"&Backdrop\tB", 105, true, true},
              {"&SkyBox\tS", 106, true, true},
              {"&Ground\tG", 107, true, true},
              {"&Fog\tF", 108, true, true},
              {"&Lighting\tL", 109, true, false},
              {"", 0, false, false},
              {"&TopMost", 110, true, false},
              {"Auto Re&load", 111, true, true},
              {"&Draw Distance", 120, false, false}}},
            {"&World",
             {{"", 0, false, false},
              {"&Properties...\tP", 201, false, false},
              {"&Texture Folders...", 202, false, false}}},
            {"&Object", {{"", 0, false, false}, {"&Properties...\tAlt+Enter", 301, false, false}}},
            {"&Help", {{"&Online Help\tF1", 401, false, false}, {"", 0, false, false}, {"&About", 402, false, false}}},
        };
        const QList<QAction*> bar = window.menuBar()->actions();
        QCOMPARE(bar.size(), static_cast<qsizetype>(menus.size()));
        for (std::size_t m = 0; m < menus.size(); ++m) {
            QAction* barItem = bar[static_cast<qsizetype>(m)];
            QCOMPARE(barItem->text(), QString(menus[m].first));
            QCOMPARE(barItem->data().toInt(), static_cast<int>(m) * 100);
            const QList<QAction*> items = barItem->menu()->actions();
            QCOMPARE(items.size(), static_cast<qsizetype>(menus[m].second.size()));
            for (qsizetype i = 0; i < items.size(); ++i) {
                const Item& want = menus[m].second[static_cast<std::size_t>(i)];
                QAction* got = items[i];
                if (want.command == 0) {
                    QVERIFY(got->isSeparator());
                    continue;
                }
                QCOMPARE(got->text(), QString(want.text));
                QCOMPARE(got->data().toInt(), want.command);
                QCOMPARE(got->isCheckable(), want.checkable);
                QCOMPARE(got->isChecked(), want.checked);
                QCOMPARE(window.Action(want.command), got);
            }
        }
        QVERIFY(window.Action(3)->menu() == window.RecentMenu());
        QCOMPARE(window.windowTitle(), QString("Pelorus"));
        QCOMPARE(window.objectName(), QString("PELO_GLWindowClass"));
        QCOMPARE(window.pos(), QPoint(100, 100));
        QCOMPARE(window.size(), QSize(400, 400));
    }

    void drawDistanceIsChosenFromItsSubmenuOneAtATime() {
        MainWindow& window = Make();
        auto* view = dynamic_cast<PlainView*>(&window.View());
        QVERIFY(view);
        const QList<QAction*> items = window.Action(kCmdDrawDistance)->menu()->actions();
        QStringList texts;
        for (const QAction* item : items) texts << item->text();
        QCOMPARE(texts, (QStringList{"&All", "&50 m", "&100 m", "&200 m", "5&00 m", "1000 &m"}));
        QVERIFY(window.Action(kFirstDrawDistanceCommand)->isChecked());
        QCOMPARE(view->DrawDistance(), kDrawEverything);

        window.Action(kFirstDrawDistanceCommand + 3)->trigger();  // 200 m: 20 model units
        QCOMPARE(view->DrawDistance(), 20.0);
        for (int i = 0; i < 6; ++i) QCOMPARE(window.Action(kFirstDrawDistanceCommand + i)->isChecked(), i == 3);
        window.Action(kFirstDrawDistanceCommand + 3)->trigger();  // choosing it again keeps it
        QVERIFY(window.Action(kFirstDrawDistanceCommand + 3)->isChecked());
        window.Action(kFirstDrawDistanceCommand)->trigger();
        QCOMPARE(view->DrawDistance(), kDrawEverything);
        QVERIFY(!window.Action(kFirstDrawDistanceCommand + 3)->isChecked());
    }

    void viewFlagsAlwaysEqualTheirChecks() {
        MainWindow& window = Make();
        QWidget* view = window.View().Widget();
        QTest::keyClicks(view, "xS gcNbfL");
        window.Action(kCmdGround)->trigger();
        window.Action(kCmdTopMost)->trigger();
        window.Dispatch(kCmdAxes);
        QTest::keyClick(view, 'O');  // the menu says O; the key does nothing
        for (int command = kCmdAxes; command <= kCmdAutoReload; ++command)
            QCOMPARE(window.Action(command)->isChecked(), window.Shell().Checked(command));
        const ViewFlags& flags = window.Shell().Flags();
        QVERIFY(flags.axes && !flags.skybox && flags.geometry && flags.ground && !flags.object);
        QVERIFY(flags.normals && !flags.backdrop && !flags.fog && flags.lighting && flags.topmost);
        // The view is told what to show.
        QCOMPARE(std::memcmp(&Plain(window).Flags(), &flags, sizeof flags), 0);
    }

    void keysMoveTheCameraAndLetterCaseMatters() {
        MainWindow& window = Make();
        QWidget* view = window.View().Widget();
        const int64_t before = Plain(window).RedrawRequests();
        QTest::keyClicks(view, "aaA+=-Z");
        const Camera& camera = window.Shell().CameraValues();
        QVERIFY(std::abs(camera.distance - (1.5 - 0.2 - 0.01 + 0.01)) < 1e-12);
        QVERIFY(std::abs(camera.height - 0.02) < 1e-12);
        QVERIFY(Plain(window).RedrawRequests() > before);
        QCOMPARE(Plain(window).CameraValues().distance, camera.distance);
        // Keys held with Ctrl or Alt are shortcuts, not characters of the key table.
        QTest::keyClick(view, 'x', Qt::ControlModifier);
        QTest::keyClick(view, 'x', Qt::AltModifier);
        QVERIFY(window.Shell().Flags().axes);
    }

    void dragsTurnAndZoomByTheirFactors() {
        MainWindow& window = Make();
        QWidget* view = window.View().Widget();
        SendMouse(view, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseMove, {60, 40}, Qt::NoButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseButtonRelease, {60, 40}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(window.Shell().CameraValues().yaw, 5.0);
        QCOMPARE(window.Shell().CameraValues().pitch, -5.0);

        SendMouse(view, QEvent::MouseButtonPress, {0, 0}, Qt::RightButton, Qt::RightButton);
        SendMouse(view, QEvent::MouseMove, {-8, 20}, Qt::NoButton, Qt::RightButton);  // beyond the view
        SendMouse(view, QEvent::MouseButtonRelease, {-8, 20}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(window.Shell().CameraValues().yaw, 3.0);
        QVERIFY(std::abs(window.Shell().CameraValues().distance - 3.5) < 1e-12);
        QCOMPARE(window.Shell().CameraValues().pitch, -5.0);

        // The wheel zooms as the a and z keys do (a wheel event made here is not passed on from
        // the view as the platform's are: it goes to the window itself).
        QWheelEvent wheel(QPointF(10, 30), QPointF(window.mapToGlobal(QPoint(10, 30))), QPoint(), QPoint(0, 240),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&window, &wheel);
        QVERIFY(std::abs(window.Shell().CameraValues().distance - 3.3) < 1e-12);
        QCOMPARE(Plain(window).CameraValues().distance, window.Shell().CameraValues().distance);
    }

    void droppedFilesLoadOnlyTheFirst() {
        MainWindow& window = Make();
        const std::string quad = dir_->Join("quad.rwx");
        Drop(&window, {QUrl::fromLocalFile(Q(quad)), QUrl::fromLocalFile(Q(dir_->Join("tri.rwx"))),
                       QUrl::fromLocalFile(Q(dir_->Join("sub/map.txt")))});
        QCOMPARE(window.CurrentFile(), quad);
        QCOMPARE(window.ModelObjects().size(), std::size_t{1});
        QCOMPARE(Triangles(window), int64_t{2});
        // Something that is not a local file is not taken.
        Drop(&window, {QUrl("https://example.org/x.rwx")});
        QCOMPARE(window.CurrentFile(), quad);
    }

    // A photo dropped by mistake is refused with a message, not read as an object map; the file
    // shown stays.
    void droppedFilesThatAreNoModelAreRefusedWithAMessage() {
        MainWindow& window = Make();
        const std::string quad = dir_->Join("quad.rwx");
        window.OpenFile(quad);
        const TObjectMap* scene = window.View().Scene();
        const std::size_t lines = window.Log().LineCount();
        dir_->Write("photo.JPG", test::BandsJpeg(16, 8, {{10, 200, 10}}));
        dir_->Write("notes", "just some words\n");
        for (const char* name : {"photo.JPG", "notes"}) {
            QString shown;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
                shown = box->text();
                icon = box->icon();
                box->accept();
            });
            Drop(&window, {QUrl::fromLocalFile(Q(dir_->Join(name)))});
            QTRY_VERIFY(*seen);
            QVERIFY2(shown.startsWith(QString::fromUtf8("\u201C") + name + QString::fromUtf8("\u201D ")),
                     qPrintable(shown));
            QCOMPARE(icon, QMessageBox::Warning);
            QCOMPARE(window.CurrentFile(), quad);
            QCOMPARE(window.View().Scene(), scene);
            QCOMPARE(window.Log().LineCount(), lines);
        }
        // An object map without the .txt extension is still taken when it begins with an entry.
        dir_->Write("sub/layout", "../tri.rwx 0 0 0\n");
        Drop(&window, {QUrl::fromLocalFile(Q(dir_->Join("sub/layout")))});
        QCOMPARE(window.CurrentFile(), dir_->Join("sub/layout"));
        QCOMPARE(Triangles(window), int64_t{1});
    }

    // The Open dialog starts where a file was last opened from, also in a later run.
    void theOpenDialogStartsInTheFolderLastOpenedFrom() {
        {
            MainWindow& window = Make();
            window.SetFileChooser([&](QWidget*) -> std::optional<std::string> { return dir_->Join("sub/map.txt"); });
            window.Dispatch(kCmdOpen);
        }
        window_.reset();
        SetCurrentDirectory("/");
        MainWindow& next = Make();
        QString start;
        auto seen = WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            start = dialog->directory().absolutePath();
            dialog->reject();
        });
        next.Dispatch(kCmdOpen);
        QVERIFY(*seen);
        QCOMPARE(start, Q(dir_->Join("sub")));
        QVERIFY(QFileInfo::exists(Q(dir_->Join("pelorus.conf"))));
    }

    void cancellingTheOpenDialogChangesNothing() {
        MainWindow& window = Make();
        window.OpenFile(dir_->Join("quad.rwx"));
        const TObjectMap* scene = window.View().Scene();
        QStringList filters, listed;
        QString title;
        auto seen = WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            title = dialog->windowTitle();
            // "*.RWX" lists scripts named in lower case too.
            dialog->setDirectory(Q(dir_->Path()));
            auto* files = dialog->findChild<QListView*>("listView");
            for (int tries = 0; files && tries < 3000 && listed.size() < 4; ++tries) {
                QTest::qWait(10);
                listed.clear();
                for (int row = 0; row < files->model()->rowCount(files->rootIndex()); ++row)
                    listed << files->model()->index(row, 0, files->rootIndex()).data().toString();
            }
            dialog->reject();
        });
        window.Action(kCmdOpen)->trigger();
        QVERIFY(*seen);
        QCOMPARE(title, QString("Open an RWX File"));
        QCOMPARE(filters, (QStringList{"All Supported Files (*.rwx *.RWX *.zip *.ZIP *.txt *.TXT)",
                                       "RenderWare Scripts (*.RWX)", "Object Maps (*.TXT)", "All Files (*.*)"}));
        listed.sort();
        // All supported files, in any letter case: scripts, archives and text.
        QCOMPARE(listed, (QStringList{"Recent.txt", "quad.rwx", "sub", "tri.rwx"}));
        QCOMPARE(window.View().Scene(), scene);
        QCOMPARE(window.CurrentFile(), dir_->Join("quad.rwx"));
        QCOMPARE(Triangles(window), int64_t{2});
    }

    void theOpenDialogLoadsTheChosenFileFromItsFolder() {
        MainWindow& window = Make();
        const std::string map = dir_->Join("sub/map.txt");
        SetCurrentDirectory(dir_->Path());
        bool asked = false;
        window.SetFileChooser([&](QWidget*) -> std::optional<std::string> {
            asked = true;
            return map;
        });
        window.Dispatch(kCmdOpen);
        QVERIFY(asked);
        QCOMPARE(window.CurrentFile(), map);
        QCOMPARE(CurrentDirectory(), dir_->Join("sub"));  // the map's relative entries resolve there
        QCOMPARE(window.ModelObjects().size(), std::size_t{2});
        QCOMPARE(Triangles(window), int64_t{3});
    }

    void reloadReadsTheFileAgain() {
        MainWindow& window = Make();
        window.Dispatch(kCmdAutoReload);  // only the explicit reloads here
        window.OpenFile(dir_->Join("tri.rwx"));
        dir_->Write("tri.rwx", kQuad);
        QTest::keyClick(window.View().Widget(), 'r');
        QCOMPARE(Triangles(window), int64_t{2});
        dir_->Write("tri.rwx", kTriangle);
        window.Action(kCmdReload)->trigger();
        QCOMPARE(Triangles(window), int64_t{1});
        dir_->Write("tri.rwx", kQuad);
        QTest::keyClick(window.View().Widget(), 'R');
        QCOMPARE(Triangles(window), int64_t{2});
    }

    void startUpTakesOnePathAndReloadFindsItFromAnyFolder() {
        SetCurrentDirectory(dir_->Path());
        ViewerOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        std::unique_ptr<MainWindow> window = StartViewer({"\"sub/MAP.txt\""}, options);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->CurrentFile(), dir_->Join("sub/map.txt"));
        QCOMPARE(CurrentDirectory(), dir_->Join("sub"));
        QCOMPARE(Triangles(*window), int64_t{3});
        QCOMPARE(window->Recent().Paths(), std::vector<std::string>{dir_->Join("sub/map.txt")});
        // Reloading does not depend on the folder that is current now.
        SetCurrentDirectory(dir_->Path());
        window->Dispatch(kCmdReload);
        QCOMPARE(window->ModelObjects().size(), std::size_t{2});
        SetCurrentDirectory(dir_->Join("sub"));
        window->Dispatch(kCmdReload);
        QCOMPARE(Triangles(*window), int64_t{3});

        // No argument: the empty scene, and nothing remembered.
        std::unique_ptr<MainWindow> empty = StartViewer({}, options);
        QVERIFY(empty);
        QVERIFY(empty->View().Scene());
        QCOMPARE(empty->ModelObjects().size(), std::size_t{0});
        QCOMPARE(empty->CurrentFile(), std::string());
    }

    void startUpWithoutOpenGLReportsTheFatalErrorAndMakesNoWindow() {
        std::vector<std::string> reported;
        ViewerOptions options;
        options.glView = true;
        options.glProbe = [] { return false; };
        options.fatal = [&](std::string_view text) { reported.emplace_back(text); };
        options.settingsFolder = dir_->Path();
        QVERIFY(!StartViewer({dir_->Join("tri.rwx")}, options));
        QCOMPARE(reported, std::vector<std::string>{"Error creating the GL window !"});
        QCOMPARE(kFatalCaption, std::string_view("Fatal error, program will now exit."));
    }

    void topMostKeepsTheWindowAboveOthersWithoutMovingIt() {
        MainWindow& window = Make();
        const QRect before = window.geometry();
        window.Dispatch(kCmdTopMost);
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        QCOMPARE(window.geometry(), before);
        window.Dispatch(kCmdTopMost);
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void exitClosesTheWindow() {
        MainWindow& window = Make();
        QVERIFY(window.isVisible());
        window.Action(kCmdExit)->trigger();
        QVERIFY(!window.isVisible());
    }

    void recentListsOpenedFilesNewestFirstAcrossRuns() {
        {
            MainWindow& window = Make();
            QCOMPARE(window.RecentMenu()->actions().size(), qsizetype{0});
            window.OpenFile(dir_->Join("tri.rwx"));
            window.OpenFile(dir_->Join("quad.rwx"));
            window.OpenFile(dir_->Join("tri.rwx"));
            const QList<QAction*> items = window.RecentMenu()->actions();
            QCOMPARE(items.size(), qsizetype{2});
            QCOMPARE(items[0]->text(), Q("&1 " + dir_->Join("tri.rwx")));
            QCOMPARE(items[1]->text(), Q("&2 " + dir_->Join("quad.rwx")));
            QCOMPARE(items[1]->data().toInt(), kFirstRecentCommand + 1);
        }
        MainWindow& next = Make();  // a new run reads the list back
        QCOMPARE(next.RecentMenu()->actions().size(), qsizetype{2});
        SetCurrentDirectory("/");
        next.RecentMenu()->actions()[1]->trigger();
        QCOMPARE(next.CurrentFile(), dir_->Join("quad.rwx"));
        QCOMPARE(Triangles(next), int64_t{2});
        QCOMPARE(CurrentDirectory(), dir_->Path());
        QCOMPARE(next.RecentMenu()->actions()[0]->text(), Q("&1 " + dir_->Join("quad.rwx")));
        std::string text;
        QVERIFY(ReadWholeFile(dir_->Join("Recent.txt"), text));
        QCOMPARE(text, dir_->Join("quad.rwx") + "\n" + dir_->Join("tri.rwx") + "\n");
    }

    void aSavedScriptIsShownByItself() {
        MainWindow& window = Make();
        window.OpenFile(dir_->Join("sub/map.txt"));
        QCOMPARE(Triangles(window), int64_t{3});
        QSignalSpy loads(&window, &MainWindow::sceneLoaded);
        // A script of the map, saved by writing a new file and renaming it over the old one.
        const std::string fresh = dir_->Write("quad.rwx.tmp", kTriangle);
        QVERIFY(std::rename(fresh.c_str(), dir_->Join("quad.rwx").c_str()) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(Triangles(window), int64_t{2}, 30000);
        // Saved in place.
        dir_->Write("tri.rwx", kQuad);
        QTRY_COMPARE_WITH_TIMEOUT(Triangles(window), int64_t{3}, 30000);
        const qsizetype reloads = loads.size();
        QVERIFY(reloads >= 2);

        // Switched off: saves are not shown until asked for.
        window.Action(kCmdAutoReload)->trigger();
        QVERIFY(!window.Action(kCmdAutoReload)->isChecked());
        dir_->Write("tri.rwx", kTriangle);
        QTest::qWait(800);
        QCOMPARE(Triangles(window), int64_t{3});
        QCOMPARE(loads.size(), reloads);
    }

    void objectMenuPassesCatalogueCommandsFromSubmenusAboveItsSeparator() {
        MainWindow& window = Make();
        QMenu first("&A"), second("&B");
        window.ObjectMenu()->insertMenu(window.ObjectMenuSeparator(), &first);
        window.ObjectMenu()->insertMenu(window.ObjectMenuSeparator(), &second);
        QList<QAction*> items = window.ObjectMenu()->actions();
        QCOMPARE(items.size(), qsizetype{4});
        QCOMPARE(items[0]->menu(), &first);
        QCOMPARE(items[1]->menu(), &second);
        QCOMPARE(items[2], window.ObjectMenuSeparator());
        QCOMPARE(items[3]->data().toInt(), kCmdObjectProperties);

        QSignalSpy catalogue(&window, &MainWindow::catalogueRequested);
        QAction* entry = first.addAction("chair");
        entry->setData(2305);
        emit window.menuBar()->triggered(entry);
        window.Dispatch(2302);
        QCOMPARE(catalogue.size(), qsizetype{2});
        QCOMPARE(catalogue[0][0].toInt(), 2305);
        QCOMPARE(catalogue[1][0].toInt(), 2302);

        QSignalSpy world(&window, &MainWindow::worldPropertiesRequested);
        window.Action(kCmdWorldProperties)->trigger();
        QCOMPARE(world.size(), qsizetype{1});

        window.ObjectMenu()->removeAction(first.menuAction());
        window.ObjectMenu()->removeAction(second.menuAction());
        QCOMPARE(window.ObjectMenu()->actions().size(), qsizetype{2});
    }

    void aboutNamesTheProgramAndItsVersion() {
        MainWindow& window = Make();
        QString text;
        auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            box->accept();
        });
        window.Action(kCmdAbout)->trigger();
        QVERIFY(*seen);
        QVERIFY(text.contains("Pelorus"));
        QVERIFY(text.contains(Q(ProgramVersion())));
    }

    void propertiesShowTheFileTheWorldAndTheirCounts() {
        MainWindow& window = Make();
        window.SetWorldSource([] { return CurrentWorld{"Autumn", WorldLook{}}; });
        window.OpenFile(dir_->Join("sub/map.txt"));
        window.Action(kCmdFileProperties)->trigger();
        ObjectProperties* properties = window.Properties();
        QVERIFY(properties);
        QVERIFY(properties->isVisible());
        QCOMPARE(properties->windowTitle(), QString("Object Properties"));
        auto value = [&](const char* name) { return properties->findChild<QLabel*>(name)->text(); };
        QCOMPARE(value("worldValue"), QString("Autumn"));
        QCOMPARE(value("objectValue"), QString("map.txt"));
        QCOMPARE(value("polygonsValue"), QString("2"));
        QCOMPARE(value("trianglesValue"), QString("3"));

        // Later loads show through, whichever Properties item opens the window.
        properties->hide();
        window.OpenFile(dir_->Join("quad.rwx"));
        window.Action(kCmdObjectProperties)->trigger();
        QCOMPARE(window.Properties(), properties);
        QCOMPARE(value("objectValue"), QString("quad.rwx"));
        QCOMPARE(value("trianglesValue"), QString("2"));

        // A missing texture read while the Errors page is on display shows at once.
        properties->Tabs()->setCurrentIndex(2);
        const std::size_t lines = window.Log().LineCount();
        dir_->Write("tex.rwx", "ModelBegin\nTexture nowhere_to_be_found\nModelEnd\n");
        window.OpenFile(dir_->Join("tex.rwx"));
        auto* errors = properties->findChild<QPlainTextEdit*>("errorText");
        QVERIFY(errors->toPlainText().contains("Couldn't open texture \"nowhere_to_be_found.jpg\"."));
        QVERIFY(window.Log().LineCount() > lines);
        QCOMPARE(value("errorCount"), QString::number(window.Log().LineCount()));
    }
};

}  // namespace
}  // namespace pelorus

QTEST_MAIN(pelorus::MainWindowTest)
#include "test_mainwindow.moc"
