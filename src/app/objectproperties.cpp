#include "app/objectproperties.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qtext.h"

namespace pelorus {
namespace {

constexpr int kErrorsTab = 2;

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

ObjectProperties::ObjectProperties(QWidget* owner, const ErrorLog& log) : QDialog(owner, Qt::Tool), log_(log) {
    setObjectName("PELO_OPWindowClass");
    setWindowTitle("Object Properties");
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);
    move(200, 100);
    resize(422, 500);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(MakeGeneralPage(), "General");
    tabs_->addTab(MakeTexturesPage(), "Textures");
    tabs_->addTab(MakeErrorsPage(), "Errors");
    tabs_->setCurrentIndex(0);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == kErrorsTab) RefreshErrors();
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
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    return page;
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
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(CountLine("Textures:", textureCount_));
    layout->addWidget(textureList_, 1);
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
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(CountLine("Errors:", errorCount_));
    layout->addWidget(errors_, 1);
    return page;
}

void ObjectProperties::SetContent(const GeneralInfo& general, const std::vector<TextureRow>& textures) {
    world_->setText(Text(general.world));
    object_->setText(Text(general.object));
    polygons_->setText(Text(general.polygons));
    triangles_->setText(Text(general.triangles));

    textureCount_->setText(QString::number(textures.size()));
    textureList_->clear();
    QList<QTreeWidgetItem*> items;
    for (const TextureRow& row : textures) {
        items << new QTreeWidgetItem(QStringList{Text(row.texture), Text(row.fileName), Text(row.size), Text(row.wxh),
                                                 Text(row.mask), Text(row.mipmapped), Text(row.addressMode)});
    }
    textureList_->addTopLevelItems(items);
}

void ObjectProperties::RefreshErrors() {
    const ErrorsInfo info = ErrorsInfoOf(log_);
    errors_->setPlainText(Text(info.text));
    errorCount_->setText(Text(info.count));
    errors_->moveCursor(QTextCursor::End);
}

void ObjectProperties::showEvent(QShowEvent* event) {
    RefreshErrors();
    QDialog::showEvent(event);
}

}  // namespace pelorus
