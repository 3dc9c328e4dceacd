// The ask-for-text dialog and the Object Properties window on the offscreen platform.

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <functional>
#include <memory>

#include "app/asktextdialog.h"
#include "app/objectproperties.h"
#include "platform/errorlog.h"
#include "shell/objectinfo.h"

namespace pelorus {

// Places as QCOMPARE shows them when they differ.
char* toString(const LogPlace& place) {
    return QTest::toString(QString::fromStdString(place.FileName() + ":" + std::to_string(place.line)));
}

namespace {

// Acts on the ask-for-text dialog once it is the modal window (from inside its own loop).
void WhenAsked(std::function<void(AskTextDialog*)> act, bool& seen) {
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, &seen, ticks] {
        if (auto* dialog = qobject_cast<AskTextDialog*>(QApplication::activeModalWidget())) {
            seen = true;
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (++*ticks > 6000) {  // a loaded machine can take seconds to show a dialog
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

QString Value(const ObjectProperties& window, const char* name) {
    return window.findChild<QLabel*>(name)->text();
}

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void okIsEnabledOnlyWhileTheFieldHoldsText() {
        AskTextDialog dialog("Enter the name of the new World below:", "Name new World ", nullptr);
        QCOMPARE(dialog.windowTitle(), QString("Name new World "));
        QCOMPARE(dialog.findChild<QLabel*>("prompt")->text(), QString("Enter the name of the new World below:"));
        QCOMPARE(dialog.OkButton()->text(), QString("OK"));
        QCOMPARE(dialog.CancelButton()->text(), QString("Cancel"));
        QVERIFY(dialog.OkButton()->isDefault());
        QVERIFY(!dialog.OkButton()->isEnabled());
        QTest::keyClick(dialog.Field(), 'w');
        QVERIFY(dialog.OkButton()->isEnabled());
        QTest::keyClick(dialog.Field(), Qt::Key_Backspace);
        QVERIFY(!dialog.OkButton()->isEnabled());
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.windowModality(), Qt::ApplicationModal);
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    }

    void confirmedTextIsExactlyWhatTheFieldShows() {
        std::string result = "unchanged";
        bool seen = false;
        WhenAsked(
            [](AskTextDialog* dialog) {
                QTest::keyClicks(dialog->Field(), QString(250, QChar('w')));
                dialog->Field()->insert(QString(50, QChar(u'\u00e9')));  // more than fits
                QCOMPARE(dialog->Field()->text().size(), qsizetype{255});
                dialog->OkButton()->click();
            },
            seen);
        QVERIFY(AskForText("Name:", "Title", result, nullptr));
        QVERIFY(seen);
        QCOMPARE(QString::fromStdString(result), QString(250, QChar('w')) + QString(5, QChar(u'\u00e9')));
    }

    void cancelOrEscapeLeavesTheResultAlone() {
        std::string result = "unchanged";
        bool seen = false;
        WhenAsked(
            [](AskTextDialog* dialog) {
                QTest::keyClicks(dialog->Field(), "typed");
                dialog->CancelButton()->click();
            },
            seen);
        QVERIFY(!AskForText("Name:", "Title", result, nullptr));
        QVERIFY(seen);
        QCOMPARE(result, std::string("unchanged"));

        seen = false;
        WhenAsked(
            [](AskTextDialog* dialog) {
                QTest::keyClicks(dialog->Field(), "typed");
                QTest::keyClick(dialog, Qt::Key_Escape);
            },
            seen);
        QVERIFY(!AskForText("Name:", "Title", result, nullptr));
        QVERIFY(seen);
        QCOMPARE(result, std::string("unchanged"));

        // Enter presses the default button.
        seen = false;
        WhenAsked(
            [](AskTextDialog* dialog) {
                QTest::keyClicks(dialog->Field(), "Dusk");
                QTest::keyClick(dialog->Field(), Qt::Key_Return);
            },
            seen);
        QVERIFY(AskForText("Name:", "Title", result, nullptr));
        QCOMPARE(result, std::string("Dusk"));
    }

    void otherWindowsTakeNoInputWhileAsking() {
        QWidget owner;
        owner.show();
        std::string result;
        bool seen = false, ownerBlocked = false;
        WhenAsked(
            [&](AskTextDialog* dialog) {
                // An application-modal window blocks input to every other window.
                ownerBlocked = QGuiApplication::modalWindow() == dialog->windowHandle() &&
                               dialog->windowModality() == Qt::ApplicationModal && dialog->parentWidget() == &owner;
                dialog->reject();
            },
            seen);
        AskForText("Name:", "Title", result, &owner);
        QVERIFY(seen);
        QVERIFY(ownerBlocked);
    }

    void propertiesPagesHaveTheirNamesTextsAndColumns() {
        ErrorLog log;
        const std::vector<LoadMark> marks;
        ObjectProperties window(nullptr, log, marks);
        QCOMPARE(window.windowTitle(), QString("Object Properties"));
        QCOMPARE(window.objectName(), QString("PELO_OPWindowClass"));
        QCOMPARE(window.size(), QSize(422, 500));  // placed by the window that owns it
        QTabWidget* tabs = window.Tabs();
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), QString("General"));
        QCOMPARE(tabs->tabText(1), QString("Textures"));
        QCOMPARE(tabs->tabText(2), QString("Errors"));
        QCOMPARE(tabs->tabText(3), QString("Face"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->widget(0)->objectName(), QString("PELO_OPGWindowClass"));
        QCOMPARE(tabs->widget(1)->objectName(), QString("PELO_OPTWindowClass"));
        QCOMPARE(tabs->widget(2)->objectName(), QString("PELO_OPEWindowClass"));
        QStringList labels;
        for (const QLabel* label : tabs->widget(0)->findChildren<QLabel*>())
            if (label->objectName().isEmpty()) labels << label->text();
        QCOMPARE(labels, (QStringList{"World:", "Object:", "Polygons:", "Triangles:", "Bounds:", "In cm:"}));

        auto* list = window.findChild<QTreeWidget*>("textureList");
        QCOMPARE(list->columnCount(), 7);
        const int widths[] = {64, 100, 35, 50, 100, 30, 30};
        const char* names[] = {"Texture", "FileName", "Size", "WxH", "Mask", "Mipmapped", "AddressMode"};
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(list->headerItem()->text(i), QString(names[i]));
            // At least their first widths, and as wide as their headings.
            QVERIFY(list->columnWidth(i) >= widths[i]);
            QVERIFY(list->columnWidth(i) >= list->header()->sectionSizeHint(i));
        }
        // Nothing loaded yet.
        QCOMPARE(Value(window, "worldValue"), QString("(default world)"));
        QCOMPARE(Value(window, "objectValue"), QString("(none)"));
        QCOMPARE(Value(window, "polygonsValue"), QString("0"));
        QCOMPARE(Value(window, "textureCount"), QString("0"));
    }

    void texturesPageListsOneRowPerTexture() {
        ErrorLog log;
        const std::vector<LoadMark> marks;
        ObjectProperties window(nullptr, log, marks);
        const std::vector<TextureRow> rows = {
            {"wood.jpg", "/t/wood.jpg", "12 KB", "64x64", "", "Yes", "Wrap", false, ""},
            {"fire.jpg", "/t/fire.zip:fire.jpg", "", "32x128", "firem.bmp", "No", "Clamp", false, ""},
        };
        window.SetContent(GeneralInfo{"W", "a.rwx", "4", "8", "", ""}, rows);
        auto* list = window.findChild<QTreeWidget*>("textureList");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(1)->text(0), QString("fire.jpg"));
        QCOMPARE(list->topLevelItem(1)->text(1), QString("/t/fire.zip:fire.jpg"));
        QCOMPARE(list->topLevelItem(1)->text(4), QString("firem.bmp"));
        QCOMPARE(list->topLevelItem(1)->text(6), QString("Clamp"));
        QCOMPARE(list->topLevelItem(0)->text(2), QString("12 KB"));
        // Columns take the width of what they show.
        QVERIFY(list->columnWidth(1) >= list->fontMetrics().horizontalAdvance("/t/fire.zip:fire.jpg"));
        QCOMPARE(Value(window, "textureCount"), QString("2"));
        QCOMPARE(Value(window, "trianglesValue"), QString("8"));
        // A new content replaces the rows.
        window.SetContent(GeneralInfo{"W", "b.rwx", "0", "0", "", ""}, {});
        QCOMPARE(list->topLevelItemCount(), 0);
    }

    void errorsPageShowsTheWholeLogEachTimeItIsShown() {
        ErrorLog log;
        const std::vector<LoadMark> marks;
        ObjectProperties window(nullptr, log, marks);
        log.Append("first problem of the run");
        window.show();
        auto* text = window.findChild<QPlainTextEdit*>("errorText");
        QVERIFY(text->toPlainText().contains("first problem of the run"));
        QCOMPARE(Value(window, "errorCount"), QString::number(log.LineCount()));

        window.Tabs()->setCurrentIndex(2);
        log.Append("logged while shown");
        QVERIFY(!text->toPlainText().contains("logged while shown"));
        window.Tabs()->setCurrentIndex(0);
        window.Tabs()->setCurrentIndex(2);  // choosing the page again refreshes it
        QVERIFY(text->toPlainText().contains("logged while shown"));

        window.hide();
        log.Append("logged while hidden");
        window.show();  // showing the window again refreshes it too, on the page left open
        QCOMPARE(window.Tabs()->currentIndex(), 2);
        QVERIFY(text->toPlainText().contains("logged while hidden"));
        QCOMPARE(Value(window, "errorCount"), QString::number(log.LineCount()));
        QCOMPARE(text->toPlainText().count('\n') + 1, static_cast<qsizetype>(log.LineCount()));
    }

    void aVeryLongLogKeepsOnlyItsLastLinesOnThePage() {
        ErrorLog log;
        const std::vector<LoadMark> marks;
        ObjectProperties window(nullptr, log, marks);
        window.show();
        window.ShowPage(ObjectProperties::kErrorsPage);
        auto* text = window.findChild<QPlainTextEdit*>("errorText");
        const int limit = ObjectProperties::kErrorsPageLines;
        int line = 0;
        while (line < limit + limit / 2 + 10) {
            for (int i = 0; i < 10000; ++i) log.Append("line " + std::to_string(line++));
            window.RefreshErrors();
            QVERIFY(text->document()->blockCount() <= limit + limit / 2);
        }
        QCOMPARE(text->document()->lastBlock().text(), QString("line %1").arg(line - 1));
        QCOMPARE(text->document()->blockCount(), limit);  // 160,000 lines cut back to the limit
        QCOMPARE(Value(window, "errorCount"), QString("%1 (the last %2 lines shown)").arg(line).arg(limit));
    }

    void errorsPageGivesEachLineItsPlaceAndOpensItOnADoubleClick() {
        ErrorLog log;
        std::vector<LoadMark> marks{{0, "/models/a.rwx", "12:00:00", false}};
        log.Append("placed", LogPlace{"/models/a.rwx", {}, 7});
        log.Append("nowhere");
        log.Append("zipped", LogPlace{"/models/tree.zip", "parts/tree.rwx", 3});
        ObjectProperties window(nullptr, log, marks);
        std::vector<LogPlace> opened;
        window.SetPlaceOpener([&](const LogPlace& place) { opened.push_back(place); });
        window.show();
        window.ShowPage(ObjectProperties::kErrorsPage);
        auto* text = window.findChild<QPlainTextEdit*>("errorText");
        // Block 0 is the heading; the text of each line is the log's, unchanged.
        QCOMPARE(text->document()->findBlockByNumber(1).text(), QString("placed"));
        QVERIFY(!window.PlaceOfBlock(0).Known());
        QCOMPARE(window.PlaceOfBlock(1), (LogPlace{"/models/a.rwx", {}, 7}));
        QVERIFY(!window.PlaceOfBlock(2).Known());
        QCOMPARE(window.PlaceOfBlock(3).FileName(), std::string("/models/tree.zip:parts/tree.rwx"));
        QVERIFY(!window.PlaceOfBlock(4).Known());
        // The places take a margin beside the lines.
        QVERIFY(text->viewport()->geometry().left() > text->contentsRect().left() + 20);

        auto doubleClick = [&](int block) {
            QTextCursor cursor(text->document()->findBlockByNumber(block));
            QTest::mouseDClick(text->viewport(), Qt::LeftButton, {}, text->cursorRect(cursor).center());
        };
        doubleClick(1);
        doubleClick(0);  // a heading opens nothing
        doubleClick(2);  // nor does a line without a place
        QCOMPARE(opened, (std::vector<LogPlace>{{"/models/a.rwx", {}, 7}}));
    }

    void errorsPageOpensAtTheFirstLinesItHadNotShown() {
        ErrorLog log;
        std::vector<LoadMark> marks;
        ObjectProperties window(nullptr, log, marks);
        for (int i = 0; i < 500; ++i) log.Append("first load " + std::to_string(i), LogPlace{"/a.rwx", {}, 1});
        window.show();
        window.ShowPage(ObjectProperties::kErrorsPage);
        auto* text = window.findChild<QPlainTextEdit*>("errorText");
        QCOMPARE(text->verticalScrollBar()->value(), 0);
        auto topBlock = [text] { return text->cursorForPosition(QPoint(2, 2)).block(); };
        QCOMPARE(topBlock().blockNumber(), 0);

        marks.push_back({log.LineCount(), "/b.rwx", "12:00:01", false});
        for (int i = 0; i < 500; ++i) log.Append("second load " + std::to_string(i));
        window.RefreshErrors();
        // The new load's heading heads the view.
        QCOMPARE(topBlock().blockNumber(), 500);
        QVERIFY(topBlock().text().endsWith("Opened /b.rwx"));
    }

    void okAndEscapeOnlyHideTheWindow() {
        ErrorLog log;
        const std::vector<LoadMark> marks;
        ObjectProperties window(nullptr, log, marks);
        window.show();
        window.findChild<QPushButton*>("okButton")->click();
        QVERIFY(!window.isVisible());
        window.show();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        window.show();
        window.close();
        QVERIFY(!window.isVisible());
        window.show();
        QVERIFY(window.isVisible());
    }
};

}  // namespace
}  // namespace pelorus

QTEST_MAIN(pelorus::DialogsTest)
#include "test_dialogs.moc"
