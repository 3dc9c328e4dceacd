#pragma once
// The World Properties window: shows the world book's working copy in its controls, writes the
// user's edits back into it and hands the book the window's commands (pick, "&New", "Delete",
// "OK", "Cancel"). Every decision is the book's; the window only shows what the book holds
// afterwards and the messages it returns. Closing the window hides it and drops the edits that
// were not saved.

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/worlds.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace pelorus {

using Rgb = std::array<uint8_t, 3>;

// The questions the window asks the user. The window's own asker shows the usual dialogs; tests
// give scripted answers instead.
class WorldWindowAsker {
public:
    virtual ~WorldWindowAsker() = default;
    // The name of a new world; nullopt when the user cancels.
    virtual std::optional<std::string> AskName(QWidget* owner, std::string_view prompt, std::string_view title) = 0;
    // DeleteWorldQuestion() with Yes, No and Cancel.
    virtual DeleteAnswer AskDelete(QWidget* owner, const WorldMessage& question) = 0;
    // An error box with the message's text and caption.
    virtual void ShowError(QWidget* owner, const WorldMessage& message) = 0;
    // A colour, starting at `initial`; nullopt when the user cancels.
    virtual std::optional<Rgb> PickColor(QWidget* owner, Rgb initial) = 0;
    // A folder, the dialog starting in `start` ("" for the current folder); nullopt when the user
    // cancels. The asker without dialogs answers nullopt.
    virtual std::optional<std::string> AskFolder(QWidget* owner, std::string_view title, std::string_view start);
    // An existing file to read, the dialog starting in `start` and offering `filter` (as Qt's file
    // dialogs write filters); nullopt when the user cancels. The asker without dialogs answers
    // nullopt.
    virtual std::optional<std::string> AskFile(QWidget* owner, std::string_view title, std::string_view start,
                                               std::string_view filter);
};

// The asker with the real dialogs: a modal ask-for-text dialog (names of at most 255
// characters), the delete question with the warning icon and No as its default button, error
// boxes with the error icon, the colour dialog with 16 custom colours, all black at first, that
// every pick of this asker shares, and a folder dialog.
std::unique_ptr<WorldWindowAsker> MakeDialogAsker();

class WorldPropertiesWindow : public QDialog {
    Q_OBJECT

public:
    // The window over `book`, which must outlive it and is shown as it stands (call Start() on it
    // first). `owner` keeps the window above it; `asker` defaults to MakeDialogAsker(). The window
    // is created hidden, at (200, 100) with a fixed size.
    explicit WorldPropertiesWindow(WorldBook& book, QWidget* owner = nullptr,
                                   std::unique_ptr<WorldWindowAsker> asker = nullptr);
    ~WorldPropertiesWindow() override;

    WorldBook& Book() { return book_; }

    // Shows the book again: the list and its selection, every field, the swatches and which
    // controls are enabled. For callers that changed the book behind the window's back.
    void Refresh();

    // The window's controls, for the shell and the tests.
    struct Controls {
        QComboBox* worldName = nullptr;
        QPushButton* newWorld = nullptr;
        QPushButton* deleteWorld = nullptr;
        QLineEdit* objectPath = nullptr;
        QPushButton* browseObjectPath = nullptr;
        QLineEdit* backdrop = nullptr;
        QLineEdit* ground = nullptr;
        QLineEdit* skybox = nullptr;
        QLabel* backdropSwatch = nullptr;
        QPushButton* changeBackdrop = nullptr;
        QLineEdit* password = nullptr;
        QSpinBox* refreshDays = nullptr;          // the world's refresh time
        std::array<QLineEdit*, 3> directional{};  // Red, Green, Blue
        QLabel* directionalSwatch = nullptr;
        QPushButton* directionalPicker = nullptr;
        std::array<QLineEdit*, 3> direction{};  // X, Y, Z
        std::array<QLineEdit*, 3> ambient{};    // Red, Green, Blue
        QLabel* ambientSwatch = nullptr;
        QPushButton* ambientPicker = nullptr;
        QCheckBox* fog = nullptr;
        QLineEdit* fogMin = nullptr;
        QLineEdit* fogMax = nullptr;
        QPushButton* ok = nullptr;
        QPushButton* cancel = nullptr;
        QLabel* noWorldHint = nullptr;  // shown while the list is empty
    };
    const Controls& Widgets() const { return c_; }

signals:
    // "OK" saved the world: the shell applies LookOf(Book().Shown()) now.
    void worldAccepted();

protected:
    // "Cancel", the close box and Escape: the edits not saved are dropped (WorldBook::Revert) and
    // the window hides; nothing is saved or applied.
    void reject() override;

private:
    void Build();
    void Pick(int index);
    void NewWorld();
    void DeleteWorld();
    void Accept();
    void BrowseObjectPath();
    void PickLightColor(std::array<ColorField, 3> WorldSettings::*light);
    void ShowMessages(const std::vector<WorldMessage>& messages);
    void PaintSwatches();

    WorldBook& book_;
    std::unique_ptr<WorldWindowAsker> asker_;
    Controls c_;
    bool refreshing_ = false;
};

}  // namespace pelorus
