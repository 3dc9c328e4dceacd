#include "app/objectproperties.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qtext.h"

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

}  // namespace

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
    errors_ = new QPlainTextEdit(page);
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
    }
    if (!update.pieces.empty()) {
        QTextCharFormat plain;
        plain.setFontWeight(QFont::Normal);
        QTextCharFormat heading;
        heading.setFontWeight(QFont::Bold);
        QTextCursor cursor(errors_->document());
        cursor.beginEditBlock();
        cursor.movePosition(QTextCursor::End);
        // The page holds one block per line: a heading, or a line of the log. The document starts
        // with one empty block, used by the first line written.
        bool empty = errors_->document()->isEmpty();
        for (const ErrorsPiece& piece : update.pieces) {
            std::string_view text = piece.text;
            if (!piece.heading && text.ends_with('\n')) text.remove_suffix(1);
            if (!empty) cursor.insertBlock();
            empty = false;
            cursor.insertText(Text(text), piece.heading ? heading : plain);
        }
        // Dropping the oldest lines one by one at every load would cost more than the load.
        QTextDocument* document = errors_->document();
        if (document->blockCount() > kErrorsPageLines + kErrorsPageLines / 2) {
            QTextCursor first(document);
            first.setPosition(document->findBlockByNumber(document->blockCount() - kErrorsPageLines).position(),
                              QTextCursor::KeepAnchor);
            first.removeSelectedText();
            cut_ = true;
        }
        cursor.endEditBlock();
        errors_->moveCursor(QTextCursor::End);
        errors_->verticalScrollBar()->setValue(errors_->verticalScrollBar()->maximum());
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
