#include "app/asktextdialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/viewershell.h"

namespace pelorus {

AskTextDialog::AskTextDialog(const QString& prompt, const QString& title, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    // A title bar without close box: the dialog ends through its buttons (or Escape).
    setObjectName("AskTextDlgBox");
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_QuitOnClose, false);
    move(400, 400);
    resize(300, 100);

    auto* label = new QLabel(prompt, this);
    label->setObjectName("prompt");
    label->setAlignment(Qt::AlignCenter);
    field_ = new QLineEdit(this);
    field_->setObjectName("field");
    field_->setMaxLength(kMaxLength);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("okButton");
    ok_->setDefault(true);
    ok_->setEnabled(false);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("cancelButton");
    cancel_->setAutoDefault(false);

    connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(field_);
    layout->addLayout(buttons);
    field_->setFocus();
}

bool AskForText(const QString& prompt, const QString& title, std::string& result, QWidget* owner,
                const FatalReporter& fatal) {
    AskTextDialog dialog(prompt, title, owner);
    dialog.show();
    if (!WindowWasMade(dialog)) {
        fatal(kAskTextError);
        QCoreApplication::exit(1);
        return false;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.Field()->text().isEmpty()) return false;
    result = dialog.Field()->text().toStdString();
    return true;
}

}  // namespace pelorus
