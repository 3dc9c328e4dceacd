// The World Properties window over a world book in a temporary folder, with scripted answers in
// place of the dialogs.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>

#include "app/worldwindow.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class ScriptedAsker : public WorldWindowAsker {
public:
    std::deque<std::optional<std::string>> names;
    std::deque<DeleteAnswer> answers;
    std::deque<std::optional<Rgb>> colors;
    std::vector<WorldMessage> questions;  // delete questions asked
    std::vector<WorldMessage> errors;     // error boxes shown
    std::vector<Rgb> colorStarts;
    std::vector<std::string> prompts;

    std::optional<std::string> AskName(QWidget*, std::string_view prompt, std::string_view title) override {
        prompts.push_back(std::string(prompt) + "|" + std::string(title));
        return Next(names, std::optional<std::string>());
    }
    DeleteAnswer AskDelete(QWidget*, const WorldMessage& question) override {
        questions.push_back(question);
        return Next(answers, DeleteAnswer::Cancel);
    }
    void ShowError(QWidget*, const WorldMessage& message) override { errors.push_back(message); }
    std::optional<Rgb> PickColor(QWidget*, Rgb initial) override {
        colorStarts.push_back(initial);
        return Next(colors, std::optional<Rgb>());
    }
    std::optional<std::string> AskFolder(QWidget*, std::string_view, std::string_view start) override {
        folderStarts.emplace_back(start);
        return Next(folders, std::optional<std::string>());
    }
    std::deque<std::optional<std::string>> folders;
    std::vector<std::string> folderStarts;

private:
    template <typename T>
    static T Next(std::deque<T>& queue, T otherwise) {
        if (queue.empty()) return otherwise;
        T front = queue.front();
        queue.pop_front();
        return front;
    }
};

// A world file whose every field differs from the default world.
constexpr std::string_view kWorldA =
    "/objs\nsecret\n1 2.5 -3 10 20 30\n40 50 60 Fog 100 200\nsunset\nclouds\ngrass\n1 2 3";
constexpr std::string_view kWorldB = "\n\n0 -1 0 200 100 0\n5 5 5 NoFog 10 90\nnight\n\nrock\n0 0 40";

std::string Slurp(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? text : std::string("<missing>");
}

Rgb SwatchColor(const QLabel* swatch) {
    const QImage image = swatch->pixmap().toImage();
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

std::vector<std::string> ListItems(const QComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    return items;
}

void Type(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClicks(field, text);
}

// A folder with Worlds.txt, the book started on it and the window over the book.
struct Setup {
    explicit Setup(std::string_view list = {}, std::vector<std::pair<std::string, std::string_view>> files = {}) {
        if (!list.empty()) dir.Write("Worlds.txt", list);
        for (const auto& [name, text] : files) dir.Write(name, text);
        book.Start();
        auto scripted = std::make_unique<ScriptedAsker>();
        asker = scripted.get();
        window = std::make_unique<WorldPropertiesWindow>(book, nullptr, std::move(scripted));
        window->show();
    }
    const WorldPropertiesWindow::Controls& c() const { return window->Widgets(); }

    TempDir dir;
    WorldBook book{dir.Path()};
    ScriptedAsker* asker = nullptr;
    std::unique_ptr<WorldPropertiesWindow> window;
};

Setup TwoWorlds(int current = 0) {
    return Setup(std::to_string(current) + "\nA\nB\n", {{"A.world", kWorldA}, {"B.world", kWorldB}});
}

}  // namespace

class WorldWindowTest : public QObject {
    Q_OBJECT

private slots:
    void StartsHiddenShowingTheCurrentWorld() {
        TempDir dir;
        dir.Write("Worlds.txt", "1\nA\nB\n");
        dir.Write("A.world", kWorldA);
        dir.Write("B.world", kWorldB);
        WorldBook book(dir.Path());
        book.Start();
        WorldPropertiesWindow window(book, nullptr, std::make_unique<ScriptedAsker>());
        QVERIFY(!window.isVisible());
        QCOMPARE(window.objectName(), QString("PELO_WPWindowClass"));
        QCOMPARE(window.windowTitle(), QString("World Properties"));
        const auto& c = window.Widgets();
        QCOMPARE(c.worldName->currentText(), QString("B"));
        QCOMPARE(c.backdrop->text(), QString("night"));
        QCOMPARE(c.direction[1]->text(), QString("-1"));
        QVERIFY(c.deleteWorld->isEnabled());
        QCOMPARE(c.password->echoMode(), QLineEdit::Password);
    }

    // Every labelled control can be reached by its mnemonic, and nothing lies outside the window.
    void EveryLabelLeadsToItsControlAndEveryControlFitsTheWindow() {
        Setup s;
        const std::vector<std::pair<QString, QWidget*>> buddies = {
            {"&World Name:", s.c().worldName},
            {"Object Pat&h:", s.c().objectPath},
            {"Ba&ckdrop:", s.c().backdrop},
            {"Gr&ound:", s.c().ground},
            {"S&kybox:", s.c().skybox},
            {"Objec&t Password:", s.c().password},
            {"&Red", s.c().directional[0]},
            {"&Green", s.c().directional[1]},
            {"&Blue", s.c().directional[2]},
            {"Re&d", s.c().ambient[0]},
            {"Gr&een", s.c().ambient[1]},
            {"Bl&ue", s.c().ambient[2]},
            {"&X", s.c().direction[0]},
            {"&Y", s.c().direction[1]},
            {"&Z", s.c().direction[2]},
            {"&Min", s.c().fogMin},
            {"M&ax", s.c().fogMax},
        };
        const QList<QLabel*> labels = s.window->findChildren<QLabel*>();
        for (const auto& [text, control] : buddies) {
            const auto found = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == text; });
            QVERIFY2(found != labels.end(), qPrintable(text));
            QVERIFY2((*found)->buddy() == control, qPrintable(text));
        }
        const QRect client = s.window->rect();
        for (QWidget* w : s.window->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            const QRect inWindow(w->mapTo(s.window.get(), QPoint(0, 0)), w->size());
            QVERIFY2(client.contains(inWindow), qPrintable(w->objectName() + " " + w->metaObject()->className()));
        }
        QCOMPARE(s.window->minimumSize(), s.window->maximumSize());
        QVERIFY(s.c().ok->isDefault());
        QCOMPARE(s.c().ok->geometry(), QRect(173, 442, 75, 23));
    }

    // Alt+letter: each letter that a label, button, box or group of the window underlines picks
    // exactly one of them.
    void EveryMnemonicPicksOneControl() {
        Setup s = TwoWorlds();
        std::map<QChar, QStringList> owners;
        const auto note = [&](const QString& text) {
            for (qsizetype i = 0; i + 1 < text.size(); ++i) {
                if (text[i] != '&') continue;
                if (text[i + 1] != '&') owners[text[i + 1].toUpper()] << text;
                ++i;  // "&&" is an ampersand, not a mnemonic
            }
        };
        for (const QLabel* l : s.window->findChildren<QLabel*>()) note(l->text());
        for (const QAbstractButton* b : s.window->findChildren<QAbstractButton*>()) note(b->text());
        for (const QGroupBox* g : s.window->findChildren<QGroupBox*>()) note(g->title());
        QVERIFY(owners.size() >= 20);
        for (const auto& [letter, texts] : owners)
            QVERIFY2(texts.size() == 1, qPrintable(QString("Alt+") + letter + ": " + texts.join(", ")));
    }

    void WithoutAWorldTheWindowSaysToPressNew() {
        Setup s;
        QVERIFY(s.c().noWorldHint->isVisible());
        QVERIFY(s.c().noWorldHint->text().contains("New"));
        QVERIFY(!s.c().browseObjectPath->isEnabled());
        s.asker->names.push_back("First");
        s.c().newWorld->click();
        QVERIFY(!s.c().noWorldHint->isVisible());
        QVERIFY(s.c().browseObjectPath->isEnabled());
    }

    void BrowseFillsTheObjectPathFromAFolderDialog() {
        Setup s = TwoWorlds();
        s.dir.Write("objects/models/readme.txt", "x");
        s.asker->folders = {std::nullopt, s.dir.Join("objects")};
        s.c().browseObjectPath->click();  // cancelled: nothing changes
        QCOMPARE(s.c().objectPath->text(), QString("/objs"));
        s.c().browseObjectPath->click();
        // "/objs" does not exist: the dialog starts in the worlds' folder.
        QCOMPARE(s.asker->folderStarts, (std::vector<std::string>{s.dir.Path(), s.dir.Path()}));
        QCOMPARE(s.c().objectPath->text(), QString::fromStdString(s.dir.Join("objects")));
        QCOMPARE(s.book.Shown().objectPath, s.dir.Join("objects"));
        QCOMPARE(Slurp(s.dir.Join("A.world")), std::string(kWorldA));  // saved only by OK
        s.asker->folders = {std::nullopt};
        s.c().browseObjectPath->click();
        QCOMPARE(s.asker->folderStarts.back(), s.dir.Join("objects"));  // from the folder the field names
    }

    // The real question: a warning, and Enter answers No (the file is kept).
    void DeleteAsksWithAWarningAndNoAsTheDefault() {
        TempDir dir;
        QWidget owner;
        std::unique_ptr<WorldWindowAsker> asker = MakeDialogAsker();
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
        bool noIsDefault = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            icon = box->icon();
            text = box->text();
            noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(asker->AskDelete(&owner, DeleteWorldQuestion()), DeleteAnswer::No);
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(noIsDefault);
        QCOMPARE(text.toStdString(), DeleteWorldQuestion().text);
    }

    void NewOnAnEmptyListWritesTheDefaultWorldAndEnablesTheFields() {
        Setup s;
        QVERIFY(!s.c().deleteWorld->isEnabled());
        QVERIFY(!s.c().backdrop->isEnabled());
        QVERIFY(!s.c().fog->isEnabled());
        QVERIFY(s.c().newWorld->isEnabled());
        QVERIFY(s.c().ok->isEnabled());

        s.asker->names.push_back("Autumn");
        s.c().newWorld->click();
        QCOMPARE(s.asker->prompts, std::vector<std::string>{"Enter the name of the new World below:|Name new World "});
        QVERIFY(s.asker->errors.empty());
        QCOMPARE(Slurp(s.dir.Join("Autumn.world")), std::string(kDefaultWorldText));
        QCOMPARE(ListItems(s.c().worldName), std::vector<std::string>{"Autumn"});
        QCOMPARE(s.c().worldName->currentIndex(), 0);
        QCOMPARE(s.c().direction[0]->text() + " " + s.c().direction[1]->text() + " " + s.c().direction[2]->text(),
                 QString("-0.8 -0.5 -0.2"));
        QVERIFY(!s.c().fog->isChecked());
        QCOMPARE(s.c().fogMin->text() + "/" + s.c().fogMax->text(), QString("40/150"));
        QCOMPARE(s.c().backdrop->text(), QString("fall_day"));
        QCOMPARE(s.c().ground->text(), QString("fall_gd"));
        QCOMPARE(SwatchColor(s.c().backdropSwatch), (Rgb{30, 9, 200}));
        QCOMPARE(SwatchColor(s.c().directionalSwatch), (Rgb{255, 255, 255}));
        QVERIFY(s.c().deleteWorld->isEnabled());
        QVERIFY(s.c().backdrop->isEnabled());
        QVERIFY(s.c().directional[2]->isEnabled());
        QVERIFY(s.c().fog->isEnabled());
    }

    void NewCopiesTheSettingsShownWithTheirEditsAndLeavesTheShownWorldsFile() {
        Setup s = TwoWorlds();
        Type(s.c().backdrop, "dusk");
        Type(s.c().ambient[1], "7");
        s.asker->names.push_back("C");
        s.c().newWorld->click();
        QVERIFY(s.asker->errors.empty());
        WorldSettings expected = ParseWorldFile(kWorldA);
        expected.backdrop = "dusk";
        expected.ambient[1] = ColorFieldFromText("7");
        QCOMPARE(Slurp(s.dir.Join("C.world")), WorldFileText(expected));
        QCOMPARE(Slurp(s.dir.Join("A.world")), std::string(kWorldA));
        QCOMPARE(ListItems(s.c().worldName), (std::vector<std::string>{"A", "B", "C"}));
        QCOMPARE(s.c().worldName->currentIndex(), 2);
        QCOMPARE(s.c().backdrop->text(), QString("dusk"));
    }

    void CancelledNewChangesNothing() {
        Setup s = TwoWorlds();
        s.asker->names.push_back(std::nullopt);
        s.c().newWorld->click();
        QCOMPARE(ListItems(s.c().worldName), (std::vector<std::string>{"A", "B"}));
        QVERIFY(s.asker->errors.empty());
        const auto files = std::distance(fs::directory_iterator(s.dir.Path()), fs::directory_iterator());
        QCOMPARE(files, decltype(files){3});  // Worlds.txt, A.world, B.world
    }

    // The duplicate check ignores letter case; the existing world is then shown from its own file,
    // and the world left keeps its edits in its own file only.
    void DuplicateNameInOtherLetterCaseShowsTheExistingWorld() {
        Setup s = TwoWorlds(1);
        Type(s.c().skybox, "stars");
        s.asker->names.push_back("a");
        s.c().newWorld->click();
        QCOMPARE(s.asker->errors, std::vector<WorldMessage>{DuplicateWorldMessage()});
        QCOMPARE(s.asker->errors.front().caption, std::string("Error : World Name Already Exists"));
        QCOMPARE(ListItems(s.c().worldName), (std::vector<std::string>{"A", "B"}));
        QCOMPARE(s.c().worldName->currentIndex(), 0);
        QCOMPARE(s.c().backdrop->text(), QString("sunset"));
        QCOMPARE(s.c().skybox->text(), QString("clouds"));
        QCOMPARE(Slurp(s.dir.Join("A.world")), std::string(kWorldA));
        QCOMPARE(ParseWorldFile(Slurp(s.dir.Join("B.world"))).skybox, std::string("stars"));
        QVERIFY(!fs::exists(s.dir.Join("a.world")));
    }

    void UnsafeNameIsRefusedAndNothingIsAdded() {
        Setup s = TwoWorlds();
        s.asker->names.push_back("../escape");
        s.c().newWorld->click();
        QCOMPARE(s.asker->errors, std::vector<WorldMessage>{InvalidWorldNameMessage()});
        QCOMPARE(s.asker->errors.front().caption, std::string("Error: Invalid World name"));
        QCOMPARE(ListItems(s.c().worldName), (std::vector<std::string>{"A", "B"}));
        QVERIFY(!fs::exists(s.dir.Join("../escape.world")));
    }

    void DeleteFollowsTheAnswer_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("removed");       // the entry leaves the list
        QTest::addColumn<QString>("fileAfter");  // "gone", "saved" (with the edit) or "kept"
        QTest::newRow("yes") << static_cast<int>(DeleteAnswer::Yes) << true << "gone";
        QTest::newRow("no") << static_cast<int>(DeleteAnswer::No) << true << "saved";
        QTest::newRow("cancel") << static_cast<int>(DeleteAnswer::Cancel) << false << "kept";
    }
    void DeleteFollowsTheAnswer() {
        QFETCH(int, answer);
        QFETCH(bool, removed);
        QFETCH(QString, fileAfter);
        Setup s = TwoWorlds();
        Type(s.c().ground, "sand");
        s.asker->answers.push_back(static_cast<DeleteAnswer>(answer));
        s.c().deleteWorld->click();

        QCOMPARE(s.asker->questions, std::vector<WorldMessage>{DeleteWorldQuestion()});
        QCOMPARE(s.asker->questions.front().caption, std::string("Confirm file deletion"));
        QVERIFY(s.asker->errors.empty());
        const std::string fileA = s.dir.Join("A.world");
        if (fileAfter == "gone") QVERIFY(!fs::exists(fileA));
        if (fileAfter == "kept") QCOMPARE(Slurp(fileA), std::string(kWorldA));
        if (fileAfter == "saved") QCOMPARE(ParseWorldFile(Slurp(fileA)).ground, std::string("sand"));
        if (removed) {
            QCOMPARE(ListItems(s.c().worldName), std::vector<std::string>{"B"});
            QCOMPARE(s.c().worldName->currentIndex(), 0);
            QCOMPARE(s.c().backdrop->text(), QString("night"));
        } else {
            QCOMPARE(ListItems(s.c().worldName), (std::vector<std::string>{"A", "B"}));
            QCOMPARE(s.c().ground->text(), QString("sand"));
        }
    }

    void DeletingTheLastWorldDisablesTheFields() {
        Setup s("0\nOnly\n", {{"Only.world", kWorldA}});
        s.asker->answers.push_back(DeleteAnswer::Yes);
        s.c().deleteWorld->click();
        QCOMPARE(s.c().worldName->count(), 0);
        QCOMPARE(s.book.Current(), -1);
        QVERIFY(!s.c().deleteWorld->isEnabled());
        QVERIFY(!s.c().objectPath->isEnabled());
        QVERIFY(!s.c().ambientPicker->isEnabled());
        QVERIFY(s.c().newWorld->isEnabled());
    }

    void PickingAWorldSavesTheOneLeftAndShowsThePickedOne() {
        Setup s = TwoWorlds();
        Type(s.c().fogMax, "300");
        s.c().worldName->setCurrentIndex(1);
        QCOMPARE(ParseWorldFile(Slurp(s.dir.Join("A.world"))).fogMax, std::string("300"));
        QCOMPARE(s.c().fogMax->text(), QString("90"));
        QCOMPARE(s.c().backdrop->text(), QString("night"));
        QCOMPARE(SwatchColor(s.c().backdropSwatch), (Rgb{0, 0, 40}));
        QCOMPARE(s.book.Current(), 1);
    }

    void TypedColourKeepsItsLowEightBitsAndRepaintsTheSwatch() {
        Setup s = TwoWorlds();
        Type(s.c().directional[0], "300");
        QCOMPARE(s.book.Shown().directional[0].value, uint8_t{44});
        QCOMPARE(s.c().directional[0]->text(), QString("300"));
        QCOMPARE(SwatchColor(s.c().directionalSwatch), (Rgb{44, 20, 30}));
        Type(s.c().ambient[2], "x");
        QCOMPARE(SwatchColor(s.c().ambientSwatch), (Rgb{40, 50, 0}));
    }

    void PickersStartAtTheColourShownAndUpdateFieldsAndSwatch() {
        Setup s = TwoWorlds();
        s.asker->colors = {Rgb{9, 8, 7}, std::nullopt, Rgb{100, 110, 120}};
        s.c().directionalPicker->click();
        s.c().ambientPicker->click();  // cancelled
        s.c().changeBackdrop->click();
        QCOMPARE(s.asker->colorStarts, (std::vector<Rgb>{{10, 20, 30}, {40, 50, 60}, {1, 2, 3}}));
        QCOMPARE(s.c().directional[0]->text() + s.c().directional[1]->text() + s.c().directional[2]->text(),
                 QString("987"));
        QCOMPARE(SwatchColor(s.c().directionalSwatch), (Rgb{9, 8, 7}));
        QCOMPARE(s.c().ambient[0]->text(), QString("40"));
        QCOMPARE(SwatchColor(s.c().backdropSwatch), (Rgb{100, 110, 120}));
        QCOMPARE(s.book.Shown().backdropColor, (Rgb{100, 110, 120}));
    }

    void OkSavesHidesAndAsksForTheWorldToBeApplied() {
        Setup s = TwoWorlds();
        QSignalSpy accepted(s.window.get(), &WorldPropertiesWindow::worldAccepted);
        Type(s.c().objectPath, "/elsewhere");
        s.c().fog->click();
        s.c().ok->click();
        QCOMPARE(accepted.count(), 1);
        QVERIFY(!s.window->isVisible());
        const WorldSettings saved = ParseWorldFile(Slurp(s.dir.Join("A.world")));
        QCOMPARE(saved.objectPath, std::string("/elsewhere"));
        QVERIFY(!saved.fog);
        QCOMPARE(saved, s.book.Shown());
    }

    // A world that never set a refresh time shows the week and keeps its file as it was; a time
    // typed in is saved, and a world picked shows its own.
    void RefreshDaysShowTheWorldsOwnAndAreSavedOnlyWhenSet() {
        Setup s(std::string_view("0\nA\nB\n"),
                {{"A.world", kWorldA}, {"B.world", std::string(kWorldB) + "\nRefreshDays 0"}});
        QCOMPARE(s.c().refreshDays->value(), 7);
        QVERIFY(s.c().refreshDays->isEnabled());
        s.c().ok->click();
        QCOMPARE(Slurp(s.dir.Join("A.world")), std::string(kWorldA));

        s.c().worldName->setCurrentIndex(1);
        QCOMPARE(s.c().refreshDays->value(), 0);
        QCOMPARE(s.c().refreshDays->text(), QString("each load"));
        s.c().refreshDays->selectAll();
        QTest::keyClicks(s.c().refreshDays, "30");
        s.c().ok->click();
        QCOMPARE(ParseWorldFile(Slurp(s.dir.Join("B.world"))).refreshDays, std::optional<uint32_t>(30));
        QCOMPARE(LookOf(s.book.Saved()).refreshTime, std::chrono::hours(30 * 24));
    }

    // Cancel, the close box and Escape hide the window and drop the edits: nothing is written,
    // and reopening (or the next load) shows the world as its file holds it.
    void CancelCloseBoxAndEscapeDropTheEdits_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("close box") << "close";
        QTest::newRow("escape") << "escape";
    }
    void CancelCloseBoxAndEscapeDropTheEdits() {
        QFETCH(QString, how);
        Setup s = TwoWorlds();
        QSignalSpy accepted(s.window.get(), &WorldPropertiesWindow::worldAccepted);
        Type(s.c().backdrop, "edited");
        Type(s.c().directional[0], "7");
        s.c().fog->click();
        if (how == "cancel") s.c().cancel->click();
        if (how == "close") QVERIFY(s.window->close());
        if (how == "escape") QTest::keyClick(s.c().backdrop, Qt::Key_Escape);
        QVERIFY(!s.window->isVisible());
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(Slurp(s.dir.Join("A.world")), std::string(kWorldA));
        QCOMPARE(s.book.Shown(), ParseWorldFile(kWorldA));
        s.window->show();
        QCOMPARE(s.c().backdrop->text(), QString("sunset"));
        QCOMPARE(s.c().directional[0]->text(), QString("10"));
        QCOMPARE(SwatchColor(s.c().directionalSwatch), (Rgb{10, 20, 30}));
        QVERIFY(s.c().fog->isChecked());
    }

    // A world file that cannot be written is reported and the window stays open with the edits.
    void FailedSaveOnOkKeepsTheWindowOpen() {
        Setup s("0\nA\n");
        fs::create_directory(s.dir.Join("A.world"));
        QSignalSpy accepted(s.window.get(), &WorldPropertiesWindow::worldAccepted);
        Type(s.c().backdrop, "kept");
        s.c().ok->click();
        QCOMPARE(s.asker->errors.size(), std::size_t{1});
        QVERIFY(s.window->isVisible());
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(s.c().backdrop->text(), QString("kept"));
    }
};

}  // namespace pelorus

QTEST_MAIN(pelorus::WorldWindowTest)
#include "test_worldwindow.moc"
