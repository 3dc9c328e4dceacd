// The catalogue's submenus in the "&Object" menu, and opening an entry from the menu through to
// the model read from the temporary folder.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <set>

#include "app/cataloguemenu.h"
#include "platform/paths.h"
#include "reader/rwxobject.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::string_view kTriangle =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\nModelEnd\n";
constexpr std::string_view kQuad =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nQuad 1 2 3 4\n"
    "ClumpEnd\nModelEnd\n";

using test::WriteZip;

std::vector<std::string> Names(std::initializer_list<const char*> names) {
    return {names.begin(), names.end()};
}

std::vector<QString> Texts(const QMenu* menu) {
    std::vector<QString> texts;
    for (const QAction* a : menu->actions()) texts.push_back(a->isSeparator() ? QString("----") : a->text());
    return texts;
}

QMenu* SubmenuAt(const QMenu* menu, qsizetype index) {
    const QList<QAction*> actions = menu->actions();
    return index < actions.size() ? actions[index]->menu() : nullptr;
}

// The object menu as the main window makes it: a separator and "&Properties...".
struct ObjectMenu {
    ObjectMenu() {
        menu = bar.addMenu("&Object");
        separator = menu->addSeparator();
        properties = menu->addAction("&Properties...\tAlt+Enter");
        properties->setData(301);
    }
    QMenuBar bar;
    QMenu* menu = nullptr;
    QAction* separator = nullptr;
    QAction* properties = nullptr;
};

}  // namespace

class CatalogueMenuTest : public QObject {
    Q_OBJECT

private slots:
    void aGroupSharingALetterWithTheMenusOwnItemGoesWithoutIt() {
        ObjectMenu object;
        CatalogueMenu catalogue(object.menu, object.separator);
        catalogue.Rebuild(BuildCatalogueMenu(Names({"pine", "oak", "Palm"}), ""));
        QCOMPARE(Texts(object.menu), (std::vector<QString>{"&O\t(1)", "P\t(2)", "----", "&Properties...\tAlt+Enter"}));
        std::set<QChar> letters;
        for (const QAction* action : object.menu->actions()) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
            if (!mnemonic.isEmpty())
                QVERIFY2(letters.insert(QChar(mnemonic[0].key())).second, qPrintable(action->text()));
        }
        // A rebuild sees only the menu's own items, not the groups it made before.
        catalogue.Rebuild(BuildCatalogueMenu(Names({"oak"}), ""));
        QCOMPARE(Texts(object.menu), (std::vector<QString>{"&O\t(1)", "----", "&Properties...\tAlt+Enter"}));
    }

    void GroupsGoAboveTheSeparatorInMenuOrder() {
        ObjectMenu object;
        CatalogueMenu catalogue(object.menu, object.separator);
        const std::vector<std::string> names = Names({"apple", "Apricot", "3d", "_x"});
        catalogue.Rebuild(BuildCatalogueMenu(names, ""));
        QCOMPARE(Texts(object.menu),
                 (std::vector<QString>{"&?\t(1)", "&0-9\t(1)", "&A\t(2)", "----", "&Properties...\tAlt+Enter"}));
        const QMenu* a = SubmenuAt(object.menu, 2);
        QVERIFY(a);
        QCOMPARE(Texts(a), (std::vector<QString>{"apple", "Apricot"}));
        QCOMPARE(a->actions()[0]->data().toInt(), 2302);
        QCOMPARE(a->actions()[1]->data().toInt(), 2303);
        QCOMPARE(SubmenuAt(object.menu, 0)->actions()[0]->data().toInt(), 2305);
        for (const QAction* entry : catalogue.EntryActions()) {
            QVERIFY(entry->isCheckable());
            QVERIFY(!entry->isChecked());
        }
        QCOMPARE(catalogue.EntryActions().size(), std::size_t{4});
    }

    void RebuildReplacesOnlyWhatItInsertedBefore() {
        ObjectMenu object;
        CatalogueMenu catalogue(object.menu, object.separator);
        catalogue.Rebuild(BuildCatalogueMenu(Names({"apple", "bear", "cat"}), ""));
        QPointer<QMenu> oldGroup = SubmenuAt(object.menu, 0);
        catalogue.Rebuild(BuildCatalogueMenu(Names({"zebra"}), ""));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(oldGroup.isNull());
        QCOMPARE(Texts(object.menu), (std::vector<QString>{"&Z\t(1)", "----", "&Properties...\tAlt+Enter"}));
        QCOMPARE(catalogue.EntryAction(2302)->text(), QString("zebra"));
        QVERIFY(!catalogue.EntryAction(2303));
        catalogue.Rebuild({});
        QCOMPARE(Texts(object.menu), (std::vector<QString>{"----", "&Properties...\tAlt+Enter"}));
        QCOMPARE(object.menu->actions()[1], object.properties);
    }

    // Linux menus have no column breaks: a large group opens one submenu per run of 50.
    void LargeGroupOpensSubmenusOfFiftyHoldingEveryEntry() {
        ObjectMenu object;
        CatalogueMenu catalogue(object.menu, object.separator);
        std::vector<std::string> names;
        for (int i = 0; i < 120; ++i) names.push_back("b" + std::to_string(1000 + i));
        catalogue.Rebuild(BuildCatalogueMenu(names, ""));
        QCOMPARE(object.menu->actions()[0]->text(), QString("&B\t(120)"));
        const QMenu* b = SubmenuAt(object.menu, 0);
        QCOMPARE(Texts(b), (std::vector<QString>{QString::fromUtf8("B 1–50"), QString::fromUtf8("B 51–100"),
                                                 QString::fromUtf8("B 101–120")}));
        QCOMPARE(SubmenuAt(b, 0)->actions().size(), 50);
        QCOMPARE(SubmenuAt(b, 2)->actions().size(), 20);
        QCOMPARE(SubmenuAt(b, 1)->actions()[0]->text(), QString("b1050"));
        std::set<int> commands;
        for (const QAction* entry : catalogue.EntryActions()) commands.insert(entry->data().toInt());
        QCOMPARE(commands.size(), std::size_t{120});
        QCOMPARE(*commands.begin(), 2302);
        QCOMPARE(*commands.rbegin(), 2302 + 119);
    }

    // A triggered entry reaches the menus above it, where the shell reads its command number.
    void TriggeredEntryReachesTheObjectMenuAndTheMenuBar() {
        ObjectMenu object;
        CatalogueMenu catalogue(object.menu, object.separator);
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i) names.push_back("m" + std::to_string(100 + i));
        catalogue.Rebuild(BuildCatalogueMenu(names, ""));
        QSignalSpy fromMenu(object.menu, &QMenu::triggered);
        QSignalSpy fromBar(&object.bar, &QMenuBar::triggered);
        QAction* entry = catalogue.EntryAction(2302 + 55);
        QVERIFY(entry);
        entry->trigger();
        QCOMPARE(fromMenu.count(), 1);
        QCOMPARE(fromBar.count(), 1);
        QCOMPARE(fromMenu.at(0).at(0).value<QAction*>()->data().toInt(), 2357);
    }

    // The whole road: the world's models folder, the menu, a chosen entry extracted and read, the
    // menu rebuilt with that entry checked, Reload reading the same script, and the clean-up.
    void ChosenEntryIsExtractedReadAndShownChecked() {
        TempDir dir;
        const std::string objects = dir.Join("Objects");
        QVERIFY(WriteZip(objects + "/Models/Box.zip", "box.rwx", kQuad));
        QVERIFY(WriteZip(objects + "/Models/tri.zip", "textures/readme.txt", "not a script"));
        QVERIFY(WriteZip(objects + "/Models/locked.zip", "locked.rwx", kTriangle, "pw"));
        const std::string temp = dir.Join("temp");

        Catalogue catalogue;
        QVERIFY(catalogue.Rebuild(objects));
        ObjectMenu object;
        CatalogueMenu menu(object.menu, object.separator);
        menu.Rebuild(catalogue.Menu());

        std::string shown;
        int64_t triangles = -1;
        std::string password = "pw";
        ErrorLog log;
        QObject::connect(&object.bar, &QMenuBar::triggered, [&](QAction* action) {
            const int command = action->data().toInt();
            if (!catalogue.EntryOfCommand(command)) return;
            const ExtractResult result = catalogue.Open(command, temp, password, log);
            shown = result.scriptPath;
            triangles = RWXObject(shown, 0, 0.025, 0, log, test::NoTextures()).CountTriangles();
            menu.Rebuild(catalogue.Menu());
        });

        QCOMPARE(catalogue.Names(), Names({"Box", "locked", "tri"}));
        menu.EntryAction(2302)->trigger();
        QCOMPARE(shown, temp + "/Box.rwx");
        QCOMPARE(triangles, int64_t{2});
        QVERIFY(menu.EntryAction(2302)->isChecked());
        QVERIFY(!menu.EntryAction(2303)->isChecked());
        QCOMPARE(RWXObject(shown, 0, 0.025, 0, log, test::NoTextures()).CountTriangles(), int64_t{2});  // Reload

        menu.EntryAction(2303)->trigger();  // password-protected
        QCOMPARE(triangles, int64_t{1});
        QVERIFY(menu.EntryAction(2303)->isChecked());
        QVERIFY(!menu.EntryAction(2302)->isChecked());

        const std::size_t before = log.LineCount();
        menu.EntryAction(2304)->trigger();  // holds no script: an empty model and one line
        QCOMPARE(triangles, int64_t{0});
        QVERIFY(log.LineCount() > before);

        QVERIFY(RemoveFolderTree(temp));
    }
};

}  // namespace pelorus

QTEST_MAIN(pelorus::CatalogueMenuTest)
#include "test_cataloguemenu.moc"
