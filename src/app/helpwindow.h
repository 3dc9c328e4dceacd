#pragma once
// Help > Online Help: the reference of every key and mouse action of the main window, as a table
// made from the menu and key tables the window itself uses (KeyReference).

#include <QDialog>

class QTableWidget;

namespace pelorus {

class HelpWindow final : public QDialog {
    Q_OBJECT
public:
    // A modeless window owned by `owner`, titled kHelpTitle, hidden until shown.
    explicit HelpWindow(QWidget* owner);

    QTableWidget* Table() const { return table_; }

private:
    QTableWidget* table_ = nullptr;
};

}  // namespace pelorus
