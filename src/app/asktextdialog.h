#pragma once
// The ask-for-text dialog: a modal window with a prompt, a one-line field of at most 255
// characters, "OK" (enabled only while the field holds text) and "Cancel". The other windows of
// the program take no input while it is open.

#include <QDialog>
#include <string>

#include "app/fatalerror.h"

class QLineEdit;
class QPushButton;

namespace pelorus {

class AskTextDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 255;

    AskTextDialog(const QString& prompt, const QString& title, QWidget* owner);

    QLineEdit* Field() const { return field_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QLineEdit* field_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Asks for one line of text. Returns true and sets `result` (UTF-8) to the field's text when the
// user confirms with "OK"; returns false and leaves `result` unchanged on "Cancel" or Escape.
// When the window cannot be shown, reports kAskTextError through `fatal`, asks the program to
// end with status 1 and returns false.
bool AskForText(const QString& prompt, const QString& title, std::string& result, QWidget* owner,
                const FatalReporter& fatal = ShowFatalMessage);

}  // namespace pelorus
