#pragma once
// "Texture Folders...": edits the list of folders where textures and backdrops are looked for,
// kept as TexturesPath.txt in the user's configuration folder. Folders can be added, replaced
// (Browse...), typed over (double-click), removed and moved up and down; OK saves the list
// atomically, Cancel and the close box drop the edits.

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace pelorus {

class ErrorLog;
class WorldWindowAsker;

class TextureFoldersDialog : public QDialog {
    Q_OBJECT
public:
    // The list of "<configFolder>/TexturesPath.txt" (empty when it is missing). `programList` is
    // the path of the program's own TexturesPath.txt when it exists ("" otherwise): that one is
    // read instead of this list, which the dialog says. Folders are asked for and failures shown
    // through `asker`, which must outlive the dialog.
    TextureFoldersDialog(std::string configFolder, std::string programList, WorldWindowAsker& asker,
                         QWidget* owner = nullptr);

    // The folders as the list shows them now, in order.
    std::vector<std::string> Folders() const;
    // Where saving says that a list that was a symbolic link became a file of its own.
    void SetLog(ErrorLog* log) { log_ = log; }

    struct Controls {
        QListWidget* list = nullptr;
        QPushButton* add = nullptr;
        QPushButton* browse = nullptr;
        QPushButton* remove = nullptr;
        QPushButton* up = nullptr;
        QPushButton* down = nullptr;
        QPushButton* ok = nullptr;
        QPushButton* cancel = nullptr;
        QLabel* note = nullptr;  // which file the viewer reads
    };
    const Controls& Widgets() const { return c_; }

signals:
    // OK wrote the list: loads from now on search these folders.
    void saved();

private:
    void Accept();
    void Add();
    void Browse();
    void Move(int by);
    void UpdateButtons();

    std::string configFolder_;
    WorldWindowAsker& asker_;
    ErrorLog* log_ = nullptr;
    Controls c_;
};

}  // namespace pelorus
