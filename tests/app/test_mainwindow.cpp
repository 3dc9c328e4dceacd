// The main window on the offscreen platform, with the stand-in view in place of OpenGL: menus,
// keys, pointer, drops, the Open dialog, Reload, Recent, automatic reloading, start-up from the
// command line and the Object Properties window it opens.

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "app/helpwindow.h"
#include "app/mainwindow.h"
#include "app/objectproperties.h"
#include "app/usersettings.h"
#include "app/viewerapp.h"
#include "platform/atomicfile.h"
#include "platform/errorlog.h"
#include "platform/paths.h"
#include "scene/framing.h"
#include "scene/viewmath.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

constexpr std::string_view kTriangle =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\nModelEnd\n";
// A triangle 20 units off the origin: unframed, it is never seen.
constexpr std::string_view kFarTriangle =
    "ModelBegin\nClumpBegin\nVertex 19.5 0 0\nVertex 20.5 0 0\nVertex 20 1 0\nTriangle 1 2 3\nClumpEnd\n"
    "ModelEnd\n";
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

// Where the vertices of the objects shown land in the view, as the view is told to draw them.
bool EveryVertexIsInView(MainWindow& window) {
    QWidget* view = window.View().Widget();
    const PlainView& plain = Plain(window);
    const Mat4 projection = ViewerProjection(view->width(), view->height(), plain.Depth());
    const Mat4 modelview = CameraMatrix(plain.CameraValues());
    int64_t seen = 0;
    for (const RWXObject* object : window.ModelObjects()) {
        const auto& o = object->Offset();
        for (const auto& clump : object->Clumps())
            for (const TVertex& v : clump->Vertices()) {
                const ScreenPoint p = ProjectToScreen(projection, modelview, v.x + o[0], v.y + o[1], v.z + o[2],
                                                      view->width(), view->height());
                if (!p.visible || p.x < 0 || p.y < 0 || p.x > view->width() || p.y > view->height()) return false;
                ++seen;
            }
    }
    return seen > 0;
}

// Every menu below `menu` (itself included).
void CollectMenus(QMenu* menu, QList<QMenu*>& out) {
    out << menu;
    for (QAction* action : menu->actions())
        if (action->menu()) CollectMenus(action->menu(), out);
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
        // A world without ground: its model would be looked for, and missed, at every load.
        window_->SetWorldSource([] {
            CurrentWorld world;
            world.look.groundPath = "models/.rwx";
            return world;
        });
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
              {"Re&cent", 3, false, false},
              {"&Next in Folder\tPgDown", 9, false, false},
              {"Pre&vious in Folder\tPgUp", 10, false, false},
              {"&Export...", 8, false, false},
              {"Save &Snapshot...", 7, false, false},
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
              {"G&round\tG", 107, true, true},
              {"&Fog\tF", 108, true, true},
              {"&Lighting\tL", 109, true, false},
              {"&Mark Missing Textures", 113, true, false},
              {"&Pick Mode", 114, true, false},
              {"&Walk Mode\tCtrl+W", 115, true, false},
              {"", 0, false, false},
              {"&TopMost", 110, true, false},
              {"&Auto Reload", 111, true, true},
              {"&Draw Distance", 120, false, false},
              {"", 0, false, false},
              {"F&it to Model", 112, false, false}}},
            {"&World",
             {{"", 0, false, false},
              {"&Properties...\tP", 201, false, false},
              {"&Texture Folders...", 202, false, false},
              {"&Go To...\tCtrl+G", 203, false, false},
              {"&Import Attributes...", 204, false, false},
              {"&Empty Cache", 205, false, false}}},
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
        const QRect screen = window.screen()->availableGeometry();
        const WindowRect want = MainWindowRect({screen.x(), screen.y(), screen.width(), screen.height()});
        QCOMPARE(window.pos(), QPoint(want.x, want.y));
        QCOMPARE(window.size(), QSize(want.width, want.height));
        QVERIFY(window.width() >= std::min(800, screen.width()) && window.height() >= std::min(600, screen.height()));
    }

    void aRememberedPlaceIsTakenForTheWindowAndItsPropertiesWindow() {
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        QStringList asked;
        options.placement = [&](const QString& name) -> std::optional<QRect> {
            asked << name;
            if (name == "PELO_GLWindowClass") return QRect(30, 40, 700, 500);
            return std::nullopt;
        };
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        QCOMPARE(window_->pos(), QPoint(30, 40));
        QCOMPARE(window_->size(), QSize(700, 500));
        window_->ShowProperties(ObjectProperties::kGeneralPage);
        QCOMPARE(asked, (QStringList{"PELO_GLWindowClass", "PELO_OPWindowClass"}));
        // Not remembered: beside the main window, as far as the screen allows.
        const QRect screen = window_->screen()->availableGeometry();
        const QRect main = window_->frameGeometry();
        const WindowRect want =
            BesideRect({main.x(), main.y(), main.width(), main.height()}, window_->Properties()->width(),
                       window_->Properties()->height(), {screen.x(), screen.y(), screen.width(), screen.height()});
        QCOMPARE(window_->Properties()->pos(), QPoint(want.x, want.y));
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

    // A dump opens like any file; its models come from the world's object path (or the run's),
    // and a world with another object path shows the dump read from there.
    void objectDumpsFindTheirModelsThroughTheObjectPathInEffect() {
        dir_->Write("objects/rwx/tree.rwx", kTriangle);
        dir_->Write("other/models/tree.rwx", kQuad);
        const std::string dump = dir_->Write("worlds/world.txt",
                                             "propdump version 3\r\n1 2 0 0 0 0 0 0 4 0 0 tree\r\n"
                                             "1 2 3000 0 0 900 0 0 4 0 0 TREE\r\n1 2 0 0 3000 0 0 0 4 0 0 tree\r\n");
        std::string objectPath = dir_->Join("objects");
        auto make = [&](MainWindowOptions options) -> MainWindow& {
            options.glView = false;
            options.settingsFolder = dir_->Path();
            window_ = std::make_unique<MainWindow>(options);
            window_->SetWorldSource([&objectPath] {
                CurrentWorld world;
                world.look.groundPath = "models/.rwx";
                world.look.objectPath = objectPath;
                return world;
            });
            window_->show();
            return *window_;
        };
        MainWindow& window = make({});
        window.ShowChosenFile(dump);
        QVERIFY(window.Loading());  // read on a thread of its own
        window.WaitForLoad();
        QVERIFY(!window.Loading());
        QCOMPARE(window.ModelObjects().size(), std::size_t{3});
        QCOMPARE(Triangles(window), int64_t{3});
        QCOMPARE(window.Log().LineCount(), std::size_t{0});
        objectPath = dir_->Join("other");
        window.ApplyCurrentWorld();
        window.WaitForLoad();
        QCOMPARE(Triangles(window), int64_t{6});
        QCOMPARE(window.View().Scene()->PlacementOf(1).yaw, 90.0f);
        objectPath = dir_->Join("nowhere");
        window.Dispatch(kCmdReload);
        window.WaitForLoad();
        QCOMPARE(window.ModelObjects().size(), std::size_t{0});
        QCOMPARE(window.Log().LinesSince(window.Log().LineCount() - 1).at(0).rfind("Couldn't find model \"tree\"", 0),
                 std::size_t{0});

        // The run's object path stands, whatever the world says.
        MainWindowOptions fixed;
        fixed.objectPath = dir_->Join("objects");
        MainWindow& second = make(fixed);
        second.ShowChosenFile(dump);
        second.WaitForLoad();
        QCOMPARE(Triangles(second), int64_t{3});
    }

    void viewFlagsAlwaysEqualTheirChecks() {
        MainWindow& window = Make();
        QWidget* view = window.View().Widget();
        QTest::keyClicks(view, "xS gcNbfL");
        window.Action(kCmdGround)->trigger();
        window.Action(kCmdTopMost)->trigger();
        window.Dispatch(kCmdAxes);
        QTest::keyClick(view, 'O');  // the menu says O: it toggles the object as C does
        for (int command = kCmdAxes; command <= kCmdAutoReload; ++command)
            QCOMPARE(window.Action(command)->isChecked(), window.Shell().Checked(command));
        const ViewFlags& flags = window.Shell().Flags();
        QVERIFY(flags.axes && !flags.skybox && flags.geometry && flags.ground && flags.object);
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
        // Twenty pixels down: two wheel notches farther, in proportion to the distance.
        QVERIFY(std::abs(window.Shell().CameraValues().distance - 1.5 / (kZoomStep * kZoomStep)) < 1e-12);
        QCOMPARE(window.Shell().CameraValues().pitch, -5.0);

        // The wheel zooms in proportion to the distance (a wheel event made here is not passed
        // on from the view as the platform's are: it goes to the window itself).
        QWheelEvent wheel(QPointF(10, 30), QPointF(window.mapToGlobal(QPoint(10, 30))), QPoint(), QPoint(0, 240),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&window, &wheel);
        QVERIFY(std::abs(window.Shell().CameraValues().distance - 1.5) < 1e-12);
        QCOMPARE(Plain(window).CameraValues().distance, window.Shell().CameraValues().distance);

        // The middle button pans: the orbit centre moves, nothing turns.
        const Camera before = window.Shell().CameraValues();
        SendMouse(view, QEvent::MouseButtonPress, {50, 50}, Qt::MiddleButton, Qt::MiddleButton);
        SendMouse(view, QEvent::MouseMove, {70, 50}, Qt::NoButton, Qt::MiddleButton);
        SendMouse(view, QEvent::MouseButtonRelease, {70, 50}, Qt::MiddleButton, Qt::NoButton);
        const Camera& after = window.Shell().CameraValues();
        QVERIFY(after.targetX != before.targetX || after.targetZ != before.targetZ);
        QCOMPARE(after.yaw, before.yaw);
        QCOMPARE(after.pitch, before.pitch);
        QCOMPARE(after.distance, before.distance);
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
        QCOMPARE(
            filters,
            (QStringList{"All Supported Files (*.rwx *.RWX *.zip *.ZIP *.txt *.TXT *.gltf *.GLTF *.glb *.GLB "
                         "*.obj *.OBJ)",
                         "RenderWare Scripts (*.RWX)", "glTF and OBJ Models (*.gltf *.GLTF *.glb *.GLB *.obj *.OBJ)",
                         "Object Maps (*.TXT)", "All Files (*.*)"}));
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

        // No argument: the empty scene, and nothing remembered; a remembered place is taken.
        options.placement = [](const QString& name) -> std::optional<QRect> {
            if (name == "PELO_GLWindowClass") return QRect(20, 30, 640, 480);
            return std::nullopt;
        };
        std::unique_ptr<MainWindow> empty = StartViewer({}, options);
        QVERIFY(empty);
        QCOMPARE(QRect(empty->pos(), empty->size()), QRect(20, 30, 640, 480));
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

    void ctrlClickPicksAFaceAndADoubleClickOrbitsThePickedPoint() {
        MainWindow& window = Make();
        window.OpenFile(dir_->Join("quad.rwx"));
        QWidget* view = window.View().Widget();
        // Where the middle of the quad (the script stands 0.025 up) is drawn.
        const auto whereDrawn = [&](const Vec3& p) {
            const ScreenPoint s = ProjectToScreen(
                ViewerProjection(view->width(), view->height(), Plain(window).Depth()),
                CameraMatrix(Plain(window).CameraValues()), p.x, p.y, p.z, view->width(), view->height());
            return QPoint(static_cast<int>(s.x), static_cast<int>(s.y));
        };
        const Vec3 middle{0.6, 0.5 + 0.025, 0};
        const QPoint onQuad = whereDrawn(middle);
        const QPoint beside(2, 2);

        // A plain click only turns; Ctrl+click picks and outlines the face.
        SendMouse(view, QEvent::MouseButtonPress, beside, Qt::LeftButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseButtonRelease, beside, Qt::LeftButton, Qt::NoButton);
        QVERIFY(!Plain(window).Outline());
        QMouseEvent ctrlPress(QEvent::MouseButtonPress, QPointF(onQuad), QPointF(view->mapToGlobal(onQuad)),
                              Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(view, &ctrlPress);
        SendMouse(view, QEvent::MouseButtonRelease, onQuad, Qt::LeftButton, Qt::NoButton);
        QVERIFY(Plain(window).Outline());
        ObjectProperties* properties = window.Properties();
        QVERIFY(properties);
        QCOMPARE(properties->Tabs()->currentIndex(), ObjectProperties::kFacePage);
        const auto& rows = properties->FaceShown();
        QVERIFY(std::find(rows.begin(), rows.end(), std::pair<std::string, std::string>("Line:", "7")) != rows.end());
        QVERIFY(std::find(rows.begin(), rows.end(),
                          std::pair<std::string, std::string>("File:", dir_->Join("quad.rwx"))) != rows.end());

        // In Pick Mode a plain click picks too: beside the model, nothing, and the outline goes.
        window.Dispatch(kCmdPickMode);
        QVERIFY(window.Action(kCmdPickMode)->isChecked());
        SendMouse(view, QEvent::MouseButtonPress, beside, Qt::LeftButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseButtonRelease, beside, Qt::LeftButton, Qt::NoButton);
        QVERIFY(!Plain(window).Outline());

        // A double-click makes the point under the pointer the orbit centre: drawn in the middle
        // of the view, from as far as it was.
        const Camera before = window.Shell().CameraValues();
        SendMouse(view, QEvent::MouseButtonDblClick, onQuad, Qt::LeftButton, Qt::LeftButton);
        const Camera centred = window.Shell().CameraValues();
        QCOMPARE(Plain(window).CameraValues(), centred);
        QCOMPARE(centred.yaw, before.yaw);
        QCOMPARE(centred.pitch, before.pitch);
        const Vec3 orbit{centred.targetX, centred.targetY + centred.height, centred.targetZ};
        const QPoint drawn = whereDrawn(orbit);
        QVERIFY(std::abs(drawn.x() - view->width() / 2) <= 1);
        QVERIFY(std::abs(drawn.y() - view->height() / 2) <= 1);
        QVERIFY(std::abs(orbit.z) < 1e-9);  // on the quad's plane
        // Beside the model a double-click keeps the camera.
        SendMouse(view, QEvent::MouseButtonDblClick, beside, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(window.Shell().CameraValues(), centred);

        // Another file drops the pick.
        window.OpenFile(dir_->Join("tri.rwx"));
        QVERIFY(!Plain(window).Outline());
        QVERIFY(properties->FaceShown().empty());
    }

    void aFarModelIsFramedOnOpenAndReloadsKeepTheCameraUntilHomeFramesAgain() {
        MainWindow& window = Make();
        dir_->Write("far.rwx", kFarTriangle);
        window.OpenFile(dir_->Join("far.rwx"));
        const Camera framed = window.Shell().CameraValues();
        QCOMPARE(framed.pitch, kFramePitch);
        QVERIFY(std::abs(framed.targetX - 20) < 1e-9);
        QCOMPARE(Plain(window).CameraValues(), framed);
        QVERIFY(EveryVertexIsInView(window));

        // The user turns and pans; a reload, by hand or on a save, keeps that view.
        QWidget* view = window.View().Widget();
        SendMouse(view, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseMove, {90, 60}, Qt::NoButton, Qt::LeftButton);
        SendMouse(view, QEvent::MouseButtonRelease, {90, 60}, Qt::LeftButton, Qt::NoButton);
        const Camera turned = window.Shell().CameraValues();
        QCOMPARE(turned.yaw, framed.yaw + 20);
        window.Dispatch(kCmdReload);
        QCOMPARE(window.Shell().CameraValues(), turned);
        QSignalSpy loads(&window, &MainWindow::sceneLoaded);
        dir_->Write("far.rwx", std::string(kFarTriangle) + "\n");
        QTRY_VERIFY_WITH_TIMEOUT(loads.size() > 0, 30000);
        QCOMPARE(window.Shell().CameraValues(), turned);

        // Fit to Model (Home) frames again, from where the user turned to.
        window.Dispatch(kCmdFitToModel);
        const Camera refitted = window.Shell().CameraValues();
        QCOMPARE(refitted.yaw, turned.yaw);
        QCOMPARE(refitted.pitch, kFramePitch);
        QCOMPARE(refitted.distance, framed.distance);
        QCOMPARE(Plain(window).CameraValues(), refitted);
        QVERIFY(EveryVertexIsInView(window));

        // Another file is framed from the front.
        window.OpenFile(dir_->Join("tri.rwx"));
        QCOMPARE(window.Shell().CameraValues().yaw, 0.0);
        QVERIFY(std::abs(window.Shell().CameraValues().targetX - 0.5) < 1e-9);
        QVERIFY(EveryVertexIsInView(window));
    }

    void titleAndStatusBarNameTheFileItsCountsAndItsProblems() {
        MainWindow& window = Make();
        QCOMPARE(window.windowTitle(), QString("Pelorus"));
        window.OpenFile(dir_->Join("sub/map.txt"));
        QCOMPARE(window.windowTitle(), QString::fromUtf8("map.txt \u2014 Pelorus"));
        QCOMPARE(window.StatusCounts(), QString("2 objects, 3 triangles, 0 textures"));
        QCOMPARE(window.ProblemsButton()->text(), QString("No problems"));
        QCOMPARE(window.StatusMessage(), QString());

        dir_->Write("tex.rwx", "ModelBegin\nTexture nowhere\nTexture nothing\nTexture nowhere\nModelEnd\n");
        window.OpenFile(dir_->Join("tex.rwx"));
        QCOMPARE(window.ProblemsButton()->text(), QString("3 problems"));
        QCOMPARE(window.LastLoadProblems(), std::size_t{3});
        // Clicking the problems shows them.
        QTest::mouseClick(window.ProblemsButton(), Qt::LeftButton);
        QVERIFY(window.Properties() && window.Properties()->isVisible());
        QCOMPARE(window.Properties()->Tabs()->currentIndex(), ObjectProperties::kErrorsPage);
        window.Properties()->hide();

        // A file that cannot be opened at all says so, and is not shown as open: the title names
        // no file, nothing is shown, and it does not go into Recent.
        const std::vector<std::string> recent = window.Recent().Paths();
        window.OpenFile(dir_->Join("none.rwx"));
        QCOMPARE(window.windowTitle(), QString("Pelorus"));
        QCOMPARE(window.CurrentFile(), std::string());
        QCOMPARE(window.StatusMessage(), Q("Couldn't open \"" + dir_->Join("none.rwx") + "\": does not exist."));
        QCOMPARE(window.ProblemsButton()->text(), QString("1 problem"));
        QCOMPARE(window.StatusCounts(), QString());
        QCOMPARE(window.ModelObjects().size(), std::size_t{0});
        QVERIFY(window.EmptyHint()->isVisibleTo(&window));
        QCOMPARE(window.Recent().Paths(), recent);
        dir_->Write("dir.rwx/x", "");
        window.OpenFile(dir_->Join("dir.rwx"));
        QVERIFY2(window.StatusMessage().startsWith(Q("Couldn't open \"" + dir_->Join("dir.rwx") + "\": ")),
                 qPrintable(window.StatusMessage()));
        QCOMPARE(window.windowTitle(), QString("Pelorus"));
        QCOMPARE(window.Recent().Paths(), recent);
        window.OpenFile(dir_->Join("quad.rwx"));
        QCOMPARE(window.StatusMessage(), QString());
        QCOMPARE(window.StatusCounts(), QString("1 object, 2 triangles, 0 textures"));
        QVERIFY(!window.EmptyHint()->isVisibleTo(&window));
        // A script without faces opens, and says that it is empty.
        dir_->Write("empty.rwx", "ModelBegin\nModelEnd\n");
        window.OpenFile(dir_->Join("empty.rwx"));
        QCOMPARE(window.windowTitle(), QString::fromUtf8("empty.rwx \u2014 Pelorus"));
        QCOMPARE(window.StatusCounts(), QString("empty"));
        QCOMPARE(window.StatusSize(), QString());
    }

    // World > Go To... moves the orbit centre to a location as worlds write them, and the status
    // bar says where the camera orbits; what does not read is refused and asked for again.
    void goToMovesTheOrbitCentreAndTheStatusBarSaysWhere() {
        MainWindow& window = Make();
        dir_->Write("block.rwx", "ClumpBegin\nBlock 0.25 0.1 0.035\nClumpEnd\n");
        window.OpenFile(dir_->Join("block.rwx"));
        window.GoTo({-3, 0.5, 2.5, 90.0});
        QCOMPARE(window.StatusLocation(), QString("2.5N 3E 0.5a 90"));
        QCOMPARE(window.findChild<QLabel*>("statusLocation")->text(), window.StatusLocation());
        // The dialog: a wrong location first, then one that reads.
        int asked = 0;
        std::function<void()> answer = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                QTimer::singleShot(20, answer);
                return;
            }
            ++asked;
            if (auto* input = qobject_cast<QInputDialog*>(modal)) {
                input->setTextValue(asked == 1 ? "north" : "1S 2W");
                input->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                QVERIFY(box->text().contains("no location"));
                box->accept();
            }
            if (asked < 3) QTimer::singleShot(20, answer);
        };
        QTimer::singleShot(20, answer);
        window.Dispatch(kCmdGoTo);
        QCOMPARE(asked, 3);
        QCOMPARE(window.StatusLocation(), QString("1S 2W 90"));
    }

    // The count of problems looks like what it is: a warning icon and a link to the lines; the size
    // of what is shown stands beside the counts.
    void theStatusBarShowsTheSizeAndProblemsAsAWarningLink() {
        MainWindow& window = Make();
        dir_->Write("block.rwx", "ClumpBegin\nBlock 0.25 0.1 0.035\nClumpEnd\n");
        window.OpenFile(dir_->Join("block.rwx"));
        QCOMPARE(window.StatusSize(), QString::fromUtf8("2.5 \u00D7 1 \u00D7 0.35 m"));
        QPushButton* problems = window.ProblemsButton();
        QVERIFY(problems->icon().isNull());
        QVERIFY(!problems->font().underline());
        dir_->Write("bad.rwx", "ClumpBegin\nBlock 0.25 0.1 0.035\nFrobnicate\nClumpEnd\n");
        window.OpenFile(dir_->Join("bad.rwx"));
        QCOMPARE(problems->text(), QString("1 problem"));
        QVERIFY(!problems->icon().isNull());
        QVERIFY(problems->font().underline());
        QCOMPARE(problems->palette().color(QPalette::ButtonText), window.palette().color(QPalette::Link));
        QCOMPARE(problems->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(problems, Qt::LeftButton);
        QTRY_VERIFY(window.Properties() && window.Properties()->isVisible());
        QCOMPARE(window.Properties()->Tabs()->currentIndex(), ObjectProperties::kErrorsPage);
        window.Properties()->hide();
        window.OpenFile(dir_->Join("block.rwx"));
        QVERIFY(problems->icon().isNull());
        QVERIFY(!problems->font().underline());
    }

    // Nothing open: the view asks for a model and looks down on the ground from above.
    void nothingOpenShowsTheHintAndACameraAboveTheGround() {
        MainWindow& window = Make();
        window.OpenAtStartup("");
        QVERIFY(window.EmptyHint()->isVisibleTo(&window));
        QCOMPARE(window.EmptyHint()->text(), QString("Open a model (Ctrl+O) or drop a file here"));
        QCOMPARE(window.EmptyHint()->parentWidget(), window.View().Widget());
        QCOMPARE(Plain(window).CameraValues().pitch, kFramePitch);
        QVERIFY(EyePosition(Plain(window).CameraValues()).y > 0.5);
        QCOMPARE(window.StatusCounts(), QString());
        window.OpenFile(dir_->Join("tri.rwx"));
        QVERIFY(!window.EmptyHint()->isVisibleTo(&window));
        window.OpenFile(dir_->Join("gone.rwx"));
        QVERIFY(window.EmptyHint()->isVisibleTo(&window));
        QCOMPARE(Plain(window).CameraValues().pitch, kFramePitch);
    }

    // What a drop or the Open dialog refuses, the command line refuses with the same message.
    void startUpRefusesWhatTheOpenDialogRefusesWithTheSameMessage() {
        dir_->Write("photo.jpg", test::BandsJpeg(16, 8, {{10, 200, 10}}));
        QString dropped;
        {
            MainWindow& window = Make();
            auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
                dropped = box->text();
                box->accept();
            });
            Drop(&window, {QUrl::fromLocalFile(Q(dir_->Join("photo.jpg")))});
            QTRY_VERIFY(*seen);
        }
        ViewerOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        QString started;
        auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
            started = box->text();
            box->accept();
        });
        std::unique_ptr<MainWindow> window = StartViewer({dir_->Join("photo.jpg")}, options);
        QVERIFY(window);
        QTRY_VERIFY(*seen);
        QCOMPARE(started, dropped);
        QVERIFY(started.contains("is a JPEG image"));
        QCOMPARE(window->CurrentFile(), std::string());
        QCOMPARE(window->windowTitle(), QString("Pelorus"));
        QVERIFY(window->Recent().Paths().empty());
        QVERIFY(window->EmptyHint()->isVisibleTo(window.get()));
        QCOMPARE(window->ModelObjects().size(), std::size_t{0});
    }

    // The View menu's choices come back in the next run; the first run has the initial ones.
    void viewChoicesAreKeptBetweenRuns() {
        {
            MainWindow& window = Make();
            QVERIFY(!window.Action(kCmdMarkMissing)->isChecked());
            QVERIFY(!window.Action(kCmdLighting)->isChecked());
            QVERIFY(window.Action(kCmdAxes)->isChecked());
            QTest::keyClick(window.View().Widget(), Qt::Key_L);
            window.Action(kCmdMarkMissing)->trigger();
            window.Action(kCmdAxes)->trigger();
            window.Dispatch(kFirstDrawDistanceCommand + 4);  // 500 m
            QVERIFY(Plain(window).Flags().missingTextures);
        }
        MainWindow& next = Make();
        QVERIFY(next.Action(kCmdLighting)->isChecked());
        QVERIFY(next.Action(kCmdMarkMissing)->isChecked());
        QVERIFY(!next.Action(kCmdAxes)->isChecked());
        QVERIFY(next.Action(kFirstDrawDistanceCommand + 4)->isChecked());
        QCOMPARE(next.Shell().DrawDistanceMetres(), 500.0);
        next.OpenFile(dir_->Join("tri.rwx"));
        QVERIFY(Plain(next).Flags().lighting && Plain(next).Flags().missingTextures && !Plain(next).Flags().axes);
        // A window that keeps no settings starts as the first run does.
        MainWindowOptions options;
        options.glView = false;
        MainWindow bare(options);
        QVERIFY(!bare.Action(kCmdLighting)->isChecked());
        QVERIFY(bare.Action(kCmdAxes)->isChecked());
    }

    // The next and previous model of the file's folder, in name order, round from the last to the
    // first; other files are skipped.
    void pageKeysStepThroughTheModelsOfTheFolderInNameOrder() {
        TempDir folder;
        for (const char* name : {"post10.rwx", "post2.rwx", "Post1.rwx"}) folder.Write(name, kTriangle);
        folder.Write("notes.txt", "post1.rwx 0 0 0\n");
        MainWindow& window = Make();
        window.OpenFile(folder.Join("post2.rwx"));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.View().Widget(), Qt::Key_PageDown);
        QCOMPARE(window.CurrentFile(), folder.Join("post10.rwx"));
        QTest::keyClick(window.View().Widget(), Qt::Key_PageDown);
        QCOMPARE(window.CurrentFile(), folder.Join("Post1.rwx"));
        QTest::keyClick(window.View().Widget(), Qt::Key_PageUp);
        QCOMPARE(window.CurrentFile(), folder.Join("post10.rwx"));
        window.Dispatch(kCmdPreviousInFolder);
        QCOMPARE(window.CurrentFile(), folder.Join("post2.rwx"));
        // The file shown was deleted: the step counts from where it was.
        QVERIFY(std::remove(folder.Join("post2.rwx").c_str()) == 0);
        window.Dispatch(kCmdNextInFolder);
        QCOMPARE(window.CurrentFile(), folder.Join("post10.rwx"));
        QCOMPARE(window.Recent().Paths().front(), folder.Join("post10.rwx"));
    }

    // A world opens at the object nearest 0N 0W (or its entry point) in Walk Mode: held keys walk
    // by the clock, W A S D and the page keys walk instead of their other meanings, and the menus
    // show only the keys that still act. Home frames what is within the draw distance.
    void aWorldOpensInWalkModeAndHeldKeysWalk() {
        dir_->Write("objects/rwx/tree.rwx", kTriangle);
        const std::string dump = dir_->Write("worlds/world.txt",
                                             "propdump version 3\r\n1 2 20000 0 0 0 0 0 4 0 0 tree\r\n"
                                             "1 2 3000 0 0 0 0 0 4 0 0 tree\r\n");
        std::string entryPoint;
        MainWindow& window = Make();
        window.SetWorldSource([&] {
            CurrentWorld world;
            world.look.groundPath = "models/.rwx";
            world.look.objectPath = dir_->Join("objects");
            world.look.entryPoint = entryPoint;
            return world;
        });
        window.ShowChosenFile(dump);
        window.WaitForLoad();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const Camera opened = window.Shell().CameraValues();
        QCOMPARE(opened.targetX, 3.0);
        QCOMPARE(opened.pitch, kFramePitch);
        QCOMPARE(window.StatusLocation(), QString("0N 3W 0"));
        // Counted and measured as a world, not as its one model.
        QCOMPARE(window.StatusCounts(), QString("2 objects, 1 model"));
        QCOMPARE(window.StatusSize(), QString::fromUtf8("180 \u00D7 10 \u00D7 0 m, 0N 3W to 0N 21W"));
        QVERIFY(window.Action(kCmdWalkMode)->isChecked());
        QCOMPARE(window.Action(kCmdSkybox)->text(), QString("&SkyBox"));
        QVERIFY(window.Action(kCmdNextInFolder)->shortcuts().isEmpty());

        // Looking north: W walks north a step at once, then on while it is held.
        QWidget* view = window.View().Widget();
        QTest::keyPress(view, Qt::Key_W);
        const double step = window.Shell().CameraValues().targetZ;
        QVERIFY(step > 0);
        QTRY_VERIFY(window.Shell().CameraValues().targetZ > 2 * step);
        QTest::keyRelease(view, Qt::Key_W);
        QVERIFY(!window.Shell().Walking());
        const double stopped = window.Shell().CameraValues().targetZ;
        QTest::qWait(50);
        QCOMPARE(window.Shell().CameraValues().targetZ, stopped);
        QCOMPARE(Plain(window).CameraValues(), window.Shell().CameraValues());
        QCOMPARE(window.StatusLocation(), Q(FormatLocation(LocationOf(window.Shell().CameraValues()))));
        // S walks back rather than hiding the skybox; Page Up rises rather than opening another file.
        QTest::keyClick(view, Qt::Key_S);
        QVERIFY(window.Shell().Flags().skybox);
        QVERIFY(window.Shell().CameraValues().targetZ < stopped);
        QTest::keyClick(view, Qt::Key_PageUp);
        QVERIFY(window.Shell().CameraValues().targetY > 0);
        QCOMPARE(window.CurrentFile(), dump);

        // Ctrl+W leaves Walk Mode: the letters and page keys are theirs again.
        QTest::keyClick(view, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!window.Action(kCmdWalkMode)->isChecked());
        QCOMPARE(window.Action(kCmdSkybox)->text(), QString("&SkyBox\tS"));
        QTest::keyClick(view, Qt::Key_S);
        QVERIFY(!window.Shell().Flags().skybox);
        // The arrows walk all the same.
        const double before = window.Shell().CameraValues().targetX;
        QTest::keyClick(view, Qt::Key_Left);
        QVERIFY2(window.Shell().CameraValues().targetX > before, "looking north, left is west");

        // Home with a draw distance of 50 m frames the tree near the orbit centre, not the world.
        window.Dispatch(kFirstDrawDistanceCommand + 1);
        window.GoTo({3, 0, 0, std::nullopt});
        window.Dispatch(kCmdFitToModel);
        QVERIFY(std::abs(window.Shell().CameraValues().targetX - 3.5) < 1e-9);
        window.Dispatch(kFirstDrawDistanceCommand);
        window.Dispatch(kCmdFitToModel);
        QVERIFY(std::abs(window.Shell().CameraValues().targetX - 12) < 1e-9);

        // An entry point is where the world opens; a model opens framed, out of Walk Mode.
        entryPoint = "10N 5W 90";
        window.ShowChosenFile(dump);
        window.WaitForLoad();
        QCOMPARE(window.StatusLocation(), QString("10N 5W 90"));
        QVERIFY(window.Action(kCmdWalkMode)->isChecked());
        window.OpenFile(dir_->Join("tri.rwx"));
        QVERIFY(!window.Action(kCmdWalkMode)->isChecked());
        QCOMPARE(window.Action(kCmdNextInFolder)->text(), QString("&Next in Folder\tPgDown"));
        QCOMPARE(window.Shell().CameraValues().pitch, kFramePitch);
    }

    void theWindowHasTheProgramsIconAtEverySize() {
        MainWindow& window = Make();
        const QList<QSize> sizes = window.windowIcon().availableSizes();
        for (const int side : {16, 32, 48, 256})
            QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
    }

    // File > Associations writes under the user's folders (here, folders of the test) and says what
    // it wrote.
    void associationsMakeTheViewerTheDefaultAndSayWhatWasWritten() {
        TempDir home;
        const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.Join("data")));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Join("config")));
        MainWindow& window = Make();
        QString said;
        auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
            said = box->text();
            box->accept();
        });
        window.Action(kCmdAssociations)->trigger();
        qputenv("XDG_DATA_HOME", oldData);
        qputenv("XDG_CONFIG_HOME", oldConfig);
        QVERIFY(*seen);
        for (const std::string& file :
             {home.Join("data/applications/pelorus.desktop"), home.Join("data/mime/packages/pelorus.xml"),
              home.Join("config/mimeapps.list"), home.Join("data/icons/hicolor/256x256/apps/pelorus.png")}) {
            QVERIFY2(std::filesystem::is_regular_file(file), file.c_str());
            QVERIFY2(said.contains(Q(file)), qPrintable(said));
        }
        std::string list;
        QVERIFY(ReadWholeFile(home.Join("config/mimeapps.list"), list));
        QVERIFY(list.find("model/x-rwx=pelorus.desktop;") != std::string::npos);
        QVERIFY(window.statusBar()->currentMessage().contains("default program"));
        QVERIFY(QImage(Q(home.Join("data/icons/hicolor/256x256/apps/pelorus.png"))).size() == QSize(256, 256));
    }

    void everyShortcutShownWorksAndEachMenuGivesALetterToOneItem() {
        MainWindow& window = Make();
        window.SetFileChooser([](QWidget*) { return std::optional<std::string>(); });
        window.SetLocationAsker([](QWidget*, const std::string&) { return std::optional<std::string>(); });
        window.SetSnapshotChooser([](QWidget*, const std::string&) { return std::optional<std::string>(); });
        window.OpenFile(dir_->Join("tri.rwx"));

        QList<QMenu*> menus;
        std::set<QChar> barLetters;
        for (QAction* barItem : window.menuBar()->actions()) {
            QVERIFY(barLetters.insert(QChar(QKeySequence::mnemonic(barItem->text())[0].key())).second);
            CollectMenus(barItem->menu(), menus);
        }
        QList<QAction*> all;
        for (QMenu* menu : menus) {
            std::set<int> letters;
            for (QAction* action : menu->actions()) {
                all << action;
                const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
                if (mnemonic.isEmpty()) continue;
                QVERIFY2(letters.insert(mnemonic[0].key()).second, qPrintable(menu->title() + ": " + action->text()));
            }
        }

        // Each shortcut shown belongs to one action, which does what the item showing it does.
        std::vector<std::pair<QAction*, QKeySequence>> presses;
        QStringList shown;
        for (QAction* action : all) {
            if (action->isSeparator() || action->menu()) continue;
            const qsizetype tab = action->text().indexOf('\t');
            const QKeySequence key =
                tab >= 0 ? QKeySequence::fromString(action->text().mid(tab + 1)) : action->shortcut();
            if (key.isEmpty()) continue;
            shown << key.toString();
            QList<QAction*> owners;
            for (QAction* other : all)
                if (other->shortcuts().contains(key)) owners << other;
            QVERIFY2(owners.size() == 1, qPrintable(action->text()));
            ViewerShell a, b;
            QCOMPARE(a.Command(owners[0]->data().toInt()), b.Command(action->data().toInt()));
            if (owners[0] == action) presses.emplace_back(action, key);
        }
        for (const char* key : {"Alt+Enter", "P", "F1", "O", "R", "Space", "Alt+F4", "X", "N", "B", "S", "G", "F", "L",
                                "Ctrl+O", "F12", "Home", "PgDown", "PgUp"})
            QVERIFY2(shown.contains(key), key);
        presses.emplace_back(window.Action(kCmdReload), QKeySequence("F5"));
        presses.emplace_back(window.Action(kCmdExit), QKeySequence("Ctrl+Q"));
        presses.emplace_back(window.Action(kCmdFileProperties), QKeySequence(Qt::ALT | Qt::Key_Return));

        // The windows it opens give each of their letters to one control too.
        window.ShowProperties(ObjectProperties::kGeneralPage);
        window.Dispatch(kCmdOnlineHelp);
        for (QWidget* owned : {static_cast<QWidget*>(window.Properties()), static_cast<QWidget*>(window.Help())}) {
            std::set<int> letters;
            for (const QAbstractButton* button : owned->findChildren<QAbstractButton*>()) {
                const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
                if (!mnemonic.isEmpty()) QVERIFY2(letters.insert(mnemonic[0].key()).second, qPrintable(button->text()));
            }
            owned->hide();
        }

        // Pressing each works.
        for (const auto& [action, key] : presses) {
            if (!window.isVisible()) window.show();
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QSignalSpy triggered(action, &QAction::triggered);
            QTest::keySequence(window.View().Widget(), key);
            QVERIFY2(triggered.size() == 1, qPrintable(key.toString()));
            if (window.Properties()) window.Properties()->hide();
            if (window.Help()) window.Help()->hide();
        }
    }

    void helpListsEveryKeyAndAboutNamesTheLibrariesAndLicence() {
        MainWindow& window = Make();
        window.Dispatch(kCmdOnlineHelp);
        HelpWindow* help = window.Help();
        QVERIFY(help && help->isVisible());
        const std::vector<KeyHelpRow> rows = KeyReference();
        QCOMPARE(help->Table()->rowCount(), static_cast<int>(rows.size()));
        for (int r = 0; r < help->Table()->rowCount(); ++r) {
            QCOMPARE(help->Table()->item(r, 0)->text(), Q(rows[static_cast<std::size_t>(r)].keys));
            QCOMPARE(help->Table()->item(r, 1)->text(), Q(rows[static_cast<std::size_t>(r)].action));
        }
        window.Dispatch(kCmdOnlineHelp);
        QCOMPARE(window.Help(), help);  // one window, shown again

        QString text;
        auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            box->accept();
        });
        window.Action(kCmdAbout)->trigger();
        QVERIFY(*seen);
        for (const QString& part :
             {Q("Pelorus " + std::string(ProgramVersion())), QString("Qt ") + qVersion(), QString("libjpeg-turbo"),
              QString("libpng 1."), QString("libzip 1."), Q(kLicenceName)})
            QVERIFY2(text.contains(part), qPrintable(part));
    }

    void theErrorsPageHeadsEachLoadAppendsAndCanShowTheLastOnly() {
        MainWindow& window = Make();
        dir_->Write("tex.rwx", "ModelBegin\nTexture nowhere\nModelEnd\n");
        window.OpenFile(dir_->Join("tex.rwx"));
        window.Dispatch(kCmdReload);
        window.ShowProperties(ObjectProperties::kErrorsPage);
        auto* errors = window.Properties()->findChild<QPlainTextEdit*>("errorText");
        auto* count = window.Properties()->findChild<QLabel*>("errorCount");
        QStringList blocks = errors->toPlainText().split('\n');
        const QString opened = Q("Opened " + dir_->Join("tex.rwx"));
        const QString reloaded = Q("Reloaded " + dir_->Join("tex.rwx"));
        QCOMPARE(blocks.size(), qsizetype{4});
        QVERIFY(blocks[0].endsWith(opened));
        QVERIFY(blocks[2].endsWith(reloaded));
        QCOMPARE(blocks[1], QString("Couldn't open texture \"nowhere.jpg\"."));
        QCOMPARE(blocks[3], blocks[1]);
        QCOMPARE(count->text(), QString("2"));  // log lines, not headings
        // Headings are headings, not lines of the log.
        const QTextBlock heading = errors->document()->findBlockByNumber(2);
        QCOMPARE(heading.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(errors->document()->findBlockByNumber(3).begin().fragment().charFormat().fontWeight(),
                 int(QFont::Normal));
        QVERIFY(window.Log().Text().find("Opened") == std::string::npos);

        // Loads while the page is shown only add to the end of it.
        int removed = 0, before = -1;
        QObject::connect(errors->document(), &QTextDocument::contentsChange, [&](int position, int gone, int) {
            removed += gone;
            if (before < 0 || position < before) before = position;
        });
        const int length = errors->document()->characterCount();
        for (int i = 0; i < 3; ++i) window.Dispatch(kCmdReload);
        QCOMPARE(removed, 0);
        QVERIFY(before >= length - 1);
        QCOMPARE(errors->toPlainText().split('\n').size(), qsizetype{10});
        QCOMPARE(count->text(), QString("5"));

        // Only the last load: its heading and its line.
        auto* lastOnly = window.Properties()->findChild<QCheckBox*>("lastLoadOnly");
        QVERIFY(lastOnly);
        QCOMPARE(lastOnly->text(), QString("Show only the &last load"));
        lastOnly->setChecked(true);
        blocks = errors->toPlainText().split('\n');
        QCOMPARE(blocks.size(), qsizetype{2});
        QVERIFY(blocks[0].endsWith(reloaded));
        QCOMPARE(count->text(), QString("1"));
        window.OpenFile(dir_->Join("tri.rwx"));
        blocks = errors->toPlainText().split('\n');
        QCOMPARE(blocks.size(), qsizetype{1});
        QVERIFY(blocks[0].endsWith(Q("Opened " + dir_->Join("tri.rwx"))));
        QCOMPARE(count->text(), QString("0"));
        lastOnly->setChecked(false);
        QCOMPARE(errors->toPlainText().split('\n').size(), qsizetype{11});
    }

    void theTexturesPageListsMissingTexturesAndTheFoldersSearched() {
        TempDir textures;
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        options.readOptions.programDir = dir_->Path();
        options.readOptions.extraTextureDirs = {textures.Path()};
        window_ = std::make_unique<MainWindow>(options);
        window_->show();
        dir_->Write("tex.rwx", "ModelBegin\nTexture a_rather_long_texture_name_that_needs_room\nModelEnd\n");
        window_->OpenFile(dir_->Join("tex.rwx"));
        window_->ShowProperties(ObjectProperties::kTexturesPage);
        auto* list = window_->Properties()->findChild<QTreeWidget*>("textureList");
        QCOMPARE(list->topLevelItemCount(), 1);
        QTreeWidgetItem* row = list->topLevelItem(0);
        QCOMPARE(row->text(0), QString("a_rather_long_texture_name_that_needs_room.jpg"));
        QCOMPARE(row->text(1), Q(kTextureNotFound));
        QVERIFY(row->toolTip(0).startsWith("Couldn't open texture"));
        QVERIFY(list->columnWidth(0) >= list->fontMetrics().horizontalAdvance(row->text(0)));
        QCOMPARE(window_->Properties()->findChild<QLabel*>("textureCount")->text(), QString("0 (1 missing)"));
        const QString folders = window_->Properties()->findChild<QLabel*>("textureFolders")->text();
        QVERIFY2(folders.startsWith("Folders searched:") && folders.contains(Q(textures.Path())), qPrintable(folders));
    }

    void saveSnapshotWritesAPngThroughTheChooserAndRefusesToReplaceAnythingElse() {
        MainWindow& window = Make();
        window.OpenFile(dir_->Join("tri.rwx"));
        std::string suggested, answer = dir_->Join("shot.png");
        window.SetSnapshotChooser([&](QWidget*, const std::string& offered) -> std::optional<std::string> {
            suggested = offered;
            return answer;
        });
        window.Dispatch(kCmdSaveSnapshot);
        QCOMPARE(suggested, dir_->Join("tri.png"));
        QCOMPARE(window.statusBar()->currentMessage(), Q("Snapshot saved as " + answer));
        const QImage shot(Q(answer));
        QCOMPARE(shot.size(), window.View().Widget()->size());
        std::string bytes;
        QVERIFY(ReadWholeFile(answer, bytes));
        QVERIFY(bytes.starts_with("\x89PNG"));
        // Saved again over its own PNG: fine.
        QCOMPARE(window.SaveSnapshot(answer), std::string());

        // The model, a file that is no PNG and a name without .png are refused and left alone.
        dir_->Write("notes.png", "my notes");
        for (const std::string& refused : {dir_->Join("tri.rwx"), dir_->Join("notes.png"), dir_->Join("shot")}) {
            const std::string why = window.SaveSnapshot(refused);
            QVERIFY2(why.starts_with("refusing to write"), why.c_str());
        }
        std::string text;
        QVERIFY(ReadWholeFile(dir_->Join("tri.rwx"), text));
        QCOMPARE(text, std::string(kTriangle));
        QVERIFY(ReadWholeFile(dir_->Join("notes.png"), text));
        QCOMPARE(text, std::string("my notes"));

        // Through the command, a refusal is shown.
        answer = dir_->Join("tri.rwx");
        QString message;
        auto seen = WhenModal<QMessageBox>([&](QMessageBox* box) {
            message = box->text();
            box->accept();
        });
        window.Dispatch(kCmdSaveSnapshot);
        QVERIFY(*seen);
        QVERIFY2(message.contains("must be named *.png"), qPrintable(message));

        // The next snapshot starts in the folder the last one went to, also in a later run.
        answer = dir_->Join("sub/shot2.png");
        window.Dispatch(kCmdSaveSnapshot);
        QCOMPARE(window.statusBar()->currentMessage(), Q("Snapshot saved as " + answer));
        window.Dispatch(kCmdSaveSnapshot);
        QCOMPARE(suggested, dir_->Join("sub/tri.png"));
        MainWindow& next = Make();
        next.OpenFile(dir_->Join("quad.rwx"));
        next.SetSnapshotChooser([&](QWidget*, const std::string& offered) -> std::optional<std::string> {
            suggested = offered;
            return std::nullopt;
        });
        next.Dispatch(kCmdSaveSnapshot);
        QCOMPARE(suggested, dir_->Join("sub/quad.png"));
    }

    // The snapshot never replaces a file the view read: the model's texture and the ground's.
    void saveSnapshotNeverReplacesTheTexturesOfTheModelOrOfTheGround() {
        MainWindow& window = Make();
        test::PngFile layout;
        layout.width = layout.height = 2;
        layout.rows.assign(2, std::vector<uint8_t>(6, 90));
        const std::vector<uint8_t> bytes = test::WritePng(layout);
        const std::string png(bytes.begin(), bytes.end());
        // Textures are looked for in the current folder.
        dir_->Write("sub/skin.png", png);
        dir_->Write("sub/grass.png", png);
        dir_->Write("skinned.rwx",
                    std::string(kTriangle).replace(std::string(kTriangle).find("Triangle"), 0, "Texture skin.png\n"));
        dir_->Write("models/g.rwx",
                    std::string(kTriangle).replace(std::string(kTriangle).find("Triangle"), 0, "Texture grass.png\n"));
        window.SetWorldSource([&] {
            CurrentWorld world;
            world.look.groundPath = dir_->Join("models/g.rwx");
            return world;
        });
        window.OpenFile(dir_->Join("skinned.rwx"));
        QVERIFY(window.View().Scene() && window.View().Scene()->Ground());
        for (const char* texture : {"sub/skin.png", "sub/grass.png"}) {
            const std::string why = window.SaveSnapshot(dir_->Join(texture));
            QVERIFY2(why == "refusing to write \"" + dir_->Join(texture) + "\": it is the input file", texture);
            std::string now;
            QVERIFY(ReadWholeFile(dir_->Join(texture), now));
            QCOMPARE(now, png);
        }
        QCOMPARE(window.SaveSnapshot(dir_->Join("shot.png")), std::string());
    }

    // pelorus.conf linked elsewhere: QSettings would write through the link. It is made a file
    // of its own first, and the log says so once.
    void aLinkedSettingsFileBecomesAFileOfItsOwnBeforeItIsWritten() {
        const std::string elsewhere = dir_->Write("userfiles/settings.ini", "[OpenDialog]\nlastFolder=/kept\n");
        QVERIFY(::symlink("userfiles/settings.ini", dir_->Join("pelorus.conf").c_str()) == 0);
        ErrorLog log;
        UserSettings settings(dir_->Path(), &log);
        QCOMPARE(settings.LastFolder(), std::string("/kept"));
        settings.SetLastFolder("/new");
        settings.SetLastFolder("/newer");
        QCOMPARE(settings.LastFolder(), std::string("/newer"));
        std::string text;
        QVERIFY(ReadWholeFile(elsewhere, text));
        QCOMPARE(text, std::string("[OpenDialog]\nlastFolder=/kept\n"));
        QVERIFY(!QFileInfo(Q(dir_->Join("pelorus.conf"))).isSymLink());
        QCOMPARE(log.Lines(),
                 std::vector<std::string>{ReplacedLinkLine(dir_->Join("pelorus.conf"), "userfiles/settings.ini")});
    }

    void aFileThatKeepsChangingIsReloadedWhileItChangesAndAfterItsLastChange() {
        MainWindow& window = Make();
        window.OpenFile(dir_->Join("tri.rwx"));
        QSignalSpy loads(&window, &MainWindow::sceneLoaded);
        QElapsedTimer burst;
        burst.start();
        // A save every 100 ms for 2.5 s: waiting for a quiet moment would never reload.
        for (int i = 0; burst.elapsed() < 2500; ++i) {
            dir_->Write("tri.rwx", (i % 2 ? kTriangle : kQuad));
            QTest::qWait(100);
        }
        const qsizetype during = loads.size();
        QVERIFY2(during >= 2, qPrintable(QString("%1 reloads while the file kept changing").arg(during)));
        dir_->Write("tri.rwx", kQuad);
        QTRY_COMPARE_WITH_TIMEOUT(Triangles(window), int64_t{2}, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(loads.size() > during, 30000);
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
        // Where the map places its triangle and quad: x 0 to 2.
        QCOMPARE(value("boundsUnitsValue"), QString("(0, 0, 0) to (2, 1, 0) units"));
        QCOMPARE(value("boundsCentimetresValue"), QString("(0, 0, 0) to (2000, 1000, 0) cm"));

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
