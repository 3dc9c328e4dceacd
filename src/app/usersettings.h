#pragma once
// The user's own folders as the desktop defines them, and the viewer's small settings kept in
// the configuration folder. Only this layer asks Qt where the folders are; everything below gets
// them as plain strings.

#include <QByteArray>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelorus {

class ErrorLog;

// "$XDG_CONFIG_HOME/pelorus" ("~/.config/pelorus" when the variable is not set), as
// QStandardPaths gives the configuration folder; "" when there is none. Nothing is made.
std::string UserConfigFolder();

// The folder the viewers' temporary folders are made in: $XDG_RUNTIME_DIR, else the system's
// temporary folder ($TMPDIR or /tmp), see TempFolderBase.
std::string UserTempBase();

// The settings file "<folder>/pelorus.conf" (INI): the folders the Open, Export and snapshot
// dialogs show first, the main window's place and size, and the view choices. With an empty
// folder nothing is read or written. Every setter writes the file at once (the folder is made,
// mode 0700, when missing); a file that cannot be written loses the setting silently. A file that
// is a symbolic link is read through it, and replaced by a file of its own before it is first
// written (DetachSettingsLink, which tells `log` when given); the file it pointed to is never
// written.
class UserSettings {
public:
    explicit UserSettings(std::string folder, ErrorLog* log = nullptr) : folder_(std::move(folder)), log_(log) {}

    const std::string& Folder() const { return folder_; }
    std::string FilePath() const;

    // The folder a file was last opened from; "" when none is known.
    std::string LastFolder() const { return DialogFolder(kOpenDialog); }
    void SetLastFolder(std::string_view folder) { SetDialogFolder(kOpenDialog, folder); }
    // The folder the dialog `dialog` was last used in; "" when none is known.
    static constexpr std::string_view kOpenDialog = "OpenDialog";
    static constexpr std::string_view kExportDialog = "ExportDialog";
    static constexpr std::string_view kSnapshotDialog = "SnapshotDialog";
    std::string DialogFolder(std::string_view dialog) const;
    void SetDialogFolder(std::string_view dialog, std::string_view folder);

    // The view choices kept (name and value each, see ViewerShell::Choices); empty when none are.
    std::vector<std::pair<std::string, std::string>> ViewChoices() const;
    void SetViewChoices(const std::vector<std::pair<std::string, std::string>>& choices);

    // QWidget::saveGeometry() of the main window; empty when none is known.
    QByteArray WindowGeometry() const;
    void SetWindowGeometry(const QByteArray& geometry);

private:
    // Readies the file for QSettings to write; false when it must not be written.
    bool Writable() const;

    std::string folder_;
    ErrorLog* log_ = nullptr;
};

}  // namespace pelorus
