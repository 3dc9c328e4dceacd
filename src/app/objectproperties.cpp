#include "app/objectproperties.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "app/qtext.h"
#include "shell/editorlaunch.h"

namespace pelorus {
namespace {

QString Text(std::string_view text) {
    return ToQString(text);
}

QLabel* ValueLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// "Label:" followed by its value on one line.
QHBoxLayout* CountLine(const QString& caption, QLabel* value) {
    auto* line = new QHBoxLayout;
    line->addWidget(new QLabel(caption));
    line->addWidget(value, 1);
    return line;
}

// The lines of the error log, each with the file and line of its problem in a margin at its left,
// and a double-click that opens that place. Each block's user state is the index of its log line
// (-1 for headings).
class ErrorsText final : public QPlainTextEdit {
public:
    ErrorsText(const ErrorLog& log, QWidget* parent) : QPlainTextEdit(parent), log_(log), margin_(new Margin(*this)) {
        connect(this, &QPlainTextEdit::updateRequest, margin_, [this](const QRect& rect, int dy) {
            if (dy != 0)
                margin_->scroll(0, dy);
            else
                margin_->update(0, rect.y(), margin_->width(), rect.height());
        });
        SetMarginChars(0);
    }

    // The margin holds labels of up to `chars` characters (at most 24, longer ones lose their
    // start; 0 hides it).
    void SetMarginChars(int chars) {
        chars = std::min(chars, 24);
        const int width = chars == 0 ? 0 : fontMetrics().horizontalAdvance(QString(chars, '0')) + 14;
        if (width == marginWidth_) return;
        marginWidth_ = width;
        setViewportMargins(width, 0, 0, 0);
        LayOutMargin();
        margin_->update();
    }
    int MarginWidth() const { return marginWidth_; }

    std::function<void(int block)> onDoubleClick;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QPlainTextEdit::resizeEvent(event);
        LayOutMargin();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        const int block = cursorForPosition(event->position().toPoint()).blockNumber();
        if (onDoubleClick) onDoubleClick(block);
        QPlainTextEdit::mouseDoubleClickEvent(event);
    }

private:
    class Margin final : public QWidget {
    public:
        explicit Margin(ErrorsText& text) : QWidget(&text), text_(text) {}

    protected:
        void paintEvent(QPaintEvent* event) override { text_.PaintMargin(event->rect()); }

    private:
        ErrorsText& text_;
    };

    void LayOutMargin() {
        const QRect r = contentsRect();
        margin_->setGeometry(r.left(), r.top(), marginWidth_, r.height());
    }

    void PaintMargin(const QRect& area) {
        QPainter painter(margin_);
        painter.fillRect(area, palette().color(QPalette::AlternateBase));
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.setFont(font());
        QTextBlock block = firstVisibleBlock();
        int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
        while (block.isValid() && top <= area.bottom()) {
            const int height = qRound(blockBoundingRect(block).height());
            if (block.isVisible() && top + height >= area.top() && block.userState() >= 0) {
                const QString label = ToQString(ShortPlace(log_.PlaceOf(static_cast<std::size_t>(block.userState()))));
                const QString shown = fontMetrics().elidedText(label, Qt::ElideLeft, marginWidth_ - 12);
                painter.drawText(4, top, marginWidth_ - 12, height, Qt::AlignRight | Qt::AlignVCenter, shown);
            }
            top += height;
            block = block.next();
        }
    }

    const ErrorLog& log_;
    Margin* margin_;
    int marginWidth_ = -1;
};

}  // namespace

void ObjectProperties::OpenInEditor(const LogPlace& place) {
    auto variable = [](const char* name) -> std::optional<std::string_view> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string_view>(value) : std::nullopt;
    };
    const EditorLaunch launch = EditorLaunchFor(place, variable("VISUAL"), variable("EDITOR"));
    if (!launch.argv.empty()) {
        QStringList arguments;
        for (std::size_t i = 1; i < launch.argv.size(); ++i) arguments << ToQString(launch.argv[i]);
        if (QProcess::startDetached(ToQString(launch.argv[0]), arguments)) return;
    }
    const std::string& file = launch.file.empty() ? place.file : launch.file;
    if (!file.empty()) QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(file)));
}

LogPlace ObjectProperties::PlaceOfBlock(int block) const {
    const QTextBlock found = errors_->document()->findBlockByNumber(block);
    if (!found.isValid() || found.userState() < 0) return {};
    return log_.PlaceOf(static_cast<std::size_t>(found.userState()));
}

ObjectProperties::ObjectProperties(QWidget* owner, const ErrorLog& log, const std::vector<LoadMark>& marks)
    : QDialog(owner, Qt::Tool), log_(log), marks_(marks) {
    setObjectName("PELO_OPWindowClass");
    setWindowTitle("Object Properties");
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(422, 500);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(MakeGeneralPage(), "General");
    tabs_->addTab(MakeTexturesPage(), "Textures");
    tabs_->addTab(MakeErrorsPage(), "Errors");
    tabs_->addTab(MakeFacePage(), "Face");
    tabs_->setCurrentIndex(0);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == kErrorsPage) RefreshErrors();
    });

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    SetContent(GeneralInfoOf("", "", {}), {});
}

QWidget* ObjectProperties::MakeGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName("PELO_OPGWindowClass");
    page->setWindowTitle("Object General Properties");
    world_ = ValueLabel("worldValue", {}, page);
    object_ = ValueLabel("objectValue", {}, page);
    polygons_ = ValueLabel("polygonsValue", {}, page);
    triangles_ = ValueLabel("trianglesValue", {}, page);
    boundsUnits_ = ValueLabel("boundsUnitsValue", {}, page);
    boundsCentimetres_ = ValueLabel("boundsCentimetresValue", {}, page);
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel("World:", page), 0, 0);
    grid->addWidget(world_, 0, 1);
    grid->addWidget(new QLabel("Object:", page), 1, 0);
    grid->addWidget(object_, 1, 1);
    grid->setRowMinimumHeight(2, 30);
    grid->addWidget(new QLabel("Polygons:", page), 3, 0);
    grid->addWidget(polygons_, 3, 1);
    grid->addWidget(new QLabel("Triangles:", page), 4, 0);
    grid->addWidget(triangles_, 4, 1);
    grid->setRowMinimumHeight(5, 30);
    grid->addWidget(new QLabel("Bounds:", page), 6, 0);
    grid->addWidget(boundsUnits_, 6, 1);
    grid->addWidget(new QLabel("In cm:", page), 7, 0);
    grid->addWidget(boundsCentimetres_, 7, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(8, 1);
    return page;
}

QWidget* ObjectProperties::MakeFacePage() {
    auto* page = new QWidget;
    page->setObjectName("facePage");
    auto* layout = new QVBoxLayout(page);
    faceNote_ = new QLabel("No face is picked: Ctrl+click a face in the view.", page);
    faceNote_->setObjectName("faceNote");
    faceNote_->setWordWrap(true);
    layout->addWidget(faceNote_);
    faceGrid_ = new QGridLayout;
    faceGrid_->setColumnStretch(1, 1);
    layout->addLayout(faceGrid_);
    layout->addStretch(1);
    return page;
}

void ObjectProperties::SetFace(const std::vector<std::pair<std::string, std::string>>& rows) {
    faceRows_ = rows;
    while (QLayoutItem* item = faceGrid_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    faceNote_->setVisible(rows.empty());
    QWidget* page = faceNote_->parentWidget();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        faceGrid_->addWidget(new QLabel(Text(rows[i].first), page), row, 0, Qt::AlignTop);
        QLabel* value = ValueLabel("faceValue", Text(rows[i].second), page);
        value->setWordWrap(true);
        faceGrid_->addWidget(value, row, 1);
    }
}

QWidget* ObjectProperties::MakeTexturesPage() {
    auto* page = new QWidget;
    page->setObjectName("PELO_OPTWindowClass");
    page->setWindowTitle("Object General Properties");
    textureCount_ = ValueLabel("textureCount", "0", page);
    textureList_ = new QTreeWidget(page);
    textureList_->setObjectName("textureList");
    textureList_->setRootIsDecorated(false);
    textureList_->setUniformRowHeights(true);
    QStringList headers;
    for (const std::string_view column : kTextureColumns) headers << Text(column);
    textureList_->setHeaderLabels(headers);
    for (int i = 0; i < headers.size(); ++i) textureList_->setColumnWidth(i, kTextureColumnWidths[i]);
    textureFolders_ = ValueLabel("textureFolders", {}, page);
    textureFolders_->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(CountLine("Textures:", textureCount_));
    layout->addWidget(textureList_, 1);
    layout->addWidget(textureFolders_);
    return page;
}

QWidget* ObjectProperties::MakeErrorsPage() {
    auto* page = new QWidget;
    page->setObjectName("PELO_OPEWindowClass");
    page->setWindowTitle("Object Error Properties");
    errorCount_ = ValueLabel("errorCount", "0", page);
    auto* errors = new ErrorsText(log_, page);
    errors->onDoubleClick = [this](int block) {
        const LogPlace place = PlaceOfBlock(block);
        if (!place.file.empty() && openPlace_) openPlace_(place);
    };
    errors_ = errors;
    errors_->setObjectName("errorText");
    errors_->setReadOnly(true);
    errors_->setLineWrapMode(QPlainTextEdit::NoWrap);
    errors_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Long runs of reloads must not slow the page down: the document is only ever appended to.
    errors_->setUndoRedoEnabled(false);
    lastLoadOnly_ = new QCheckBox("Show only the &last load", page);
    lastLoadOnly_->setObjectName("lastLoadOnly");
    connect(lastLoadOnly_, &QCheckBox::toggled, this, &ObjectProperties::RefreshErrors);
    auto* layout = new QVBoxLayout(page);
    auto* top = CountLine("Errors:", errorCount_);
    top->addWidget(lastLoadOnly_);
    layout->addLayout(top);
    layout->addWidget(errors_, 1);
    return page;
}

void ObjectProperties::SetContent(const GeneralInfo& general, const std::vector<TextureRow>& textures,
                                  const std::vector<std::string>& folders) {
    world_->setText(Text(general.world));
    object_->setText(Text(general.object));
    polygons_->setText(Text(general.polygons));
    triangles_->setText(Text(general.triangles));
    // Model units, ten metres each; then the same in centimetres, as world servers count.
    boundsUnits_->setText(general.boundsUnits.empty() ? QString("none") : Text(general.boundsUnits + " units"));
    boundsCentimetres_->setText(general.boundsCentimetres.empty() ? QString("none")
                                                                  : Text(general.boundsCentimetres + " cm"));

    int64_t found = 0;
    for (const TextureRow& row : textures) found += row.missing ? 0 : 1;
    const auto missing = static_cast<int64_t>(textures.size()) - found;
    textureCount_->setText(missing == 0 ? QString::number(found) : QString("%1 (%2 missing)").arg(found).arg(missing));
    textureList_->clear();
    QList<QTreeWidgetItem*> items;
    for (const TextureRow& row : textures) {
        auto* item =
            new QTreeWidgetItem(QStringList{Text(row.texture), Text(row.fileName), Text(row.size), Text(row.wxh),
                                            Text(row.mask), Text(row.mipmapped), Text(row.addressMode)});
        if (row.missing) {
            for (int column = 0; column < item->columnCount(); ++column) {
                item->setToolTip(column, Text(row.note));
                item->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
            }
        }
        items << item;
    }
    textureList_->addTopLevelItems(items);
    // Columns as wide as their contents, never narrower than they first were.
    for (int i = 0; i < textureList_->columnCount(); ++i) {
        textureList_->resizeColumnToContents(i);
        if (textureList_->columnWidth(i) < kTextureColumnWidths[i])
            textureList_->setColumnWidth(i, kTextureColumnWidths[i]);
    }

    QStringList lines;
    for (const std::string& folder : folders) lines << Text(folder);
    textureFolders_->setText(lines.isEmpty() ? QString() : "Folders searched:\n" + lines.join('\n'));
    textureFolders_->setVisible(!lines.isEmpty());
}

void ObjectProperties::RefreshErrors() {
    const ErrorsUpdate update = PlanErrorsUpdate(log_, marks_, shown_, lastLoadOnly_->isChecked());
    if (update.restart) {
        errors_->clear();
        cut_ = false;
        marginChars_ = 0;
        static_cast<ErrorsText*>(errors_)->SetMarginChars(0);
    }
    if (!update.pieces.empty()) {
        QTextCharFormat plain;
        plain.setFontWeight(QFont::Normal);
        QTextCharFormat heading;
        heading.setFontWeight(QFont::Bold);
        QTextCursor cursor(errors_->document());
        cursor.beginEditBlock();
        cursor.movePosition(QTextCursor::End);
        // The page holds one block per line: a heading, or a line of the log, which keeps the
        // index of its line. The document starts with one empty block, used by the first line
        // written.
        bool empty = errors_->document()->isEmpty();
        int firstNew = empty ? 0 : errors_->document()->blockCount();
        for (const ErrorsPiece& piece : update.pieces) {
            std::string_view text = piece.text;
            if (!piece.heading && text.ends_with('\n')) text.remove_suffix(1);
            if (!empty) cursor.insertBlock();
            empty = false;
            const int before = cursor.blockNumber();
            cursor.insertText(Text(text), piece.heading ? heading : plain);
            if (piece.heading) {
                cursor.block().setUserState(-1);
                continue;
            }
            // Beside each line, where its problem is.
            std::size_t line = piece.firstLine;
            for (QTextBlock b = errors_->document()->findBlockByNumber(before); b.isValid(); b = b.next(), ++line) {
                b.setUserState(line <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(line) : -1);
                marginChars_ = std::max<int>(marginChars_, static_cast<int>(ShortPlace(log_.PlaceOf(line)).size()));
            }
        }
        // Dropping the oldest lines one by one at every load would cost more than the load.
        QTextDocument* document = errors_->document();
        if (document->blockCount() > kErrorsPageLines + kErrorsPageLines / 2) {
            QTextCursor first(document);
            first.setPosition(document->findBlockByNumber(document->blockCount() - kErrorsPageLines).position(),
                              QTextCursor::KeepAnchor);
            const int removed = document->blockCount() - kErrorsPageLines;
            first.removeSelectedText();
            firstNew = std::max(0, firstNew - removed);
            cut_ = true;
        }
        cursor.endEditBlock();
        static_cast<ErrorsText*>(errors_)->SetMarginChars(marginChars_);
        // The page shows the first of the lines it had not shown before at its top.
        QTextCursor start(errors_->document()->findBlockByNumber(firstNew));
        errors_->setTextCursor(start);
        errors_->verticalScrollBar()->setValue(firstNew);
    }
    shown_ = update.shown;
    errorCount_->setText(cut_ ? QString("%1 (the last %2 lines shown)").arg(update.count).arg(kErrorsPageLines)
                              : QString::number(update.count));
}

void ObjectProperties::ShowPage(int index) {
    tabs_->setCurrentIndex(index);
}

void ObjectProperties::showEvent(QShowEvent* event) {
    RefreshErrors();
    QDialog::showEvent(event);
}

}  // namespace pelorus
