#include "app/texturefolders.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qtext.h"
#include "app/worldwindow.h"
#include "platform/paths.h"
#include "platform/searchpath.h"

namespace pelorus {
namespace {

QListWidgetItem* MakeItem(const QString& text) {
    auto* item = new QListWidgetItem(text);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

QPushButton* MakeButton(const char* text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TextureFoldersDialog::TextureFoldersDialog(std::string configFolder, std::string programList, WorldWindowAsker& asker,
                                           QWidget* owner)
    : QDialog(owner), configFolder_(std::move(configFolder)), asker_(asker) {
    setObjectName("textureFolders");
    setWindowTitle("Texture Folders");

    const std::string listPath = JoinPath(configFolder_, kTexturesPathFileName);
    c_.note = new QLabel(this);
    c_.note->setObjectName("note");
    c_.note->setWordWrap(true);
    c_.note->setTextFormat(Qt::PlainText);
    c_.note->setText(programList.empty()
                         ? ToQString("Textures and backdrops are looked for in these folders, in this order (kept in " +
                                     listPath + "):")
                         : ToQString("The program's own " + programList +
                                     " is read instead of this list; the list is used once that file is gone (kept "
                                     "in " +
                                     listPath + "):"));

    c_.list = new QListWidget(this);
    c_.list->setObjectName("folders");
    c_.list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    std::string text;
    if (ReadWholeFile(listPath, text, kSmallFileLimit))
        for (const std::string& folder : ParseTexturesPath(text))
            if (!folder.empty()) c_.list->addItem(MakeItem(ToQString(folder)));

    c_.add = MakeButton("&Add...", "add", this);
    c_.browse = MakeButton("&Browse...", "browse", this);
    c_.remove = MakeButton("&Remove", "remove", this);
    c_.up = MakeButton("Move &Up", "up", this);
    c_.down = MakeButton("Move &Down", "down", this);
    c_.ok = new QPushButton("OK", this);
    c_.ok->setObjectName("ok");
    c_.ok->setDefault(true);
    c_.cancel = MakeButton("Cancel", "cancel", this);

    auto* side = new QVBoxLayout;
    for (QPushButton* b : {c_.add, c_.browse, c_.remove, c_.up, c_.down}) side->addWidget(b);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(c_.list, 1);
    middle->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(c_.ok);
    bottom->addWidget(c_.cancel);
    auto* all = new QVBoxLayout(this);
    all->addWidget(c_.note);
    all->addLayout(middle, 1);
    all->addLayout(bottom);
    resize(520, 320);

    connect(c_.add, &QPushButton::clicked, this, &TextureFoldersDialog::Add);
    connect(c_.browse, &QPushButton::clicked, this, &TextureFoldersDialog::Browse);
    connect(c_.remove, &QPushButton::clicked, this, [this] {
        delete c_.list->currentItem();
        UpdateButtons();
    });
    connect(c_.up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(c_.down, &QPushButton::clicked, this, [this] { Move(1); });
    connect(c_.ok, &QPushButton::clicked, this, &TextureFoldersDialog::Accept);
    connect(c_.cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(c_.list, &QListWidget::currentRowChanged, this, &TextureFoldersDialog::UpdateButtons);
    if (c_.list->count() > 0) c_.list->setCurrentRow(0);
    UpdateButtons();
}

std::vector<std::string> TextureFoldersDialog::Folders() const {
    std::vector<std::string> folders;
    for (int i = 0; i < c_.list->count(); ++i) folders.push_back(c_.list->item(i)->text().toStdString());
    return folders;
}

void TextureFoldersDialog::UpdateButtons() {
    const int row = c_.list->currentRow();
    const bool selected = row >= 0 && row < c_.list->count();
    c_.browse->setEnabled(selected);
    c_.remove->setEnabled(selected);
    c_.up->setEnabled(selected && row > 0);
    c_.down->setEnabled(selected && row + 1 < c_.list->count());
}

void TextureFoldersDialog::Add() {
    const std::optional<std::string> folder = asker_.AskFolder(this, "Add a Texture Folder", CurrentDirectory());
    if (!folder) return;
    const int row = c_.list->currentRow() + 1;  // below the selection; at the end without one
    c_.list->insertItem(row > 0 ? row : c_.list->count(), MakeItem(ToQString(*folder)));
    c_.list->setCurrentRow(row > 0 ? row : c_.list->count() - 1);
    UpdateButtons();
}

void TextureFoldersDialog::Browse() {
    QListWidgetItem* item = c_.list->currentItem();
    if (!item) return;
    const std::optional<std::string> folder = asker_.AskFolder(this, "Texture Folder", item->text().toStdString());
    if (folder) item->setText(ToQString(*folder));
}

void TextureFoldersDialog::Move(int by) {
    const int row = c_.list->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= c_.list->count()) return;
    QListWidgetItem* item = c_.list->takeItem(row);
    c_.list->insertItem(to, item);
    c_.list->setCurrentRow(to);
    UpdateButtons();
}

void TextureFoldersDialog::Accept() {
    std::string error;
    if (!SaveTexturesPath(configFolder_, Folders(), &error, log_)) {
        asker_.ShowError(this, {"Error : The texture folders could not be saved in \"" +
                                    JoinPath(configFolder_, kTexturesPathFileName) + "\".\n" + error,
                                "Error : Texture Folders Not Saved"});
        return;
    }
    emit saved();
    accept();
}

}  // namespace pelorus
