#include "app/helpwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/qtext.h"
#include "shell/viewershell.h"

namespace pelorus {

HelpWindow::HelpWindow(QWidget* owner) : QDialog(owner, Qt::Tool) {
    setObjectName("helpWindow");
    setWindowTitle(ToQString(kHelpTitle));
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);

    const std::vector<KeyHelpRow> rows = KeyReference();
    table_ = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    table_->setObjectName("keyTable");
    table_->setHorizontalHeaderLabels({"Keys", "Action"});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setWordWrap(false);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        table_->setItem(r, 0, new QTableWidgetItem(ToQString(rows[static_cast<std::size_t>(r)].keys)));
        table_->setItem(r, 1, new QTableWidgetItem(ToQString(rows[static_cast<std::size_t>(r)].action)));
    }
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->resizeColumnsToContents();

    auto* note = new QLabel(ToQString(KeyReferenceNote()), this);
    note->setObjectName("keyNote");
    note->setWordWrap(true);

    auto* close = new QPushButton("&Close", this);
    close->setObjectName("closeButton");
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(note);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    // Every row in sight without scrolling where the screen allows.
    const int width = table_->horizontalHeader()->length() + table_->frameWidth() * 2 + 40;
    const int height = table_->verticalHeader()->length() + table_->horizontalHeader()->height() + 120;
    resize(std::clamp(width, 480, 900), std::clamp(height, 400, 760));
}

}  // namespace pelorus
