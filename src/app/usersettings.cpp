#include "app/usersettings.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include "app/qtext.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "shell/catalogue.h"
#include "shell/userfolders.h"

namespace pelorus {
namespace {

constexpr const char* kGeometryKey = "MainWindow/geometry";
constexpr const char* kViewGroup = "View";

QString FolderKey(std::string_view dialog) {
    return ToQString(dialog) + "/lastFolder";
}

}  // namespace

std::string UserConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) return {};
    return JoinPath(base.toStdString(), kProgramFolderName);
}

std::string UserTempBase() {
    return TempFolderBase(qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString(), QDir::tempPath().toStdString());
}

std::string UserSettings::FilePath() const {
    return folder_.empty() ? std::string() : JoinPath(folder_, "pelorus.conf");
}

std::string UserSettings::DialogFolder(std::string_view dialog) const {
    if (folder_.empty()) return {};
    const QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    return settings.value(FolderKey(dialog)).toString().toStdString();
}

bool UserSettings::Writable() const {
    return !folder_.empty() && MakeFolders(folder_, 0700) && DetachSettingsLink(FilePath(), kSmallFileLimit, log_);
}

void UserSettings::SetDialogFolder(std::string_view dialog, std::string_view folder) {
    if (!Writable()) return;
    QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    settings.setValue(FolderKey(dialog), ToQString(folder));
}

std::vector<std::pair<std::string, std::string>> UserSettings::ViewChoices() const {
    std::vector<std::pair<std::string, std::string>> choices;
    if (folder_.empty()) return choices;
    QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    settings.beginGroup(kViewGroup);
    for (const QString& key : settings.childKeys())
        choices.emplace_back(key.toStdString(), settings.value(key).toString().toStdString());
    settings.endGroup();
    return choices;
}

void UserSettings::SetViewChoices(const std::vector<std::pair<std::string, std::string>>& choices) {
    if (!Writable()) return;
    QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    settings.beginGroup(kViewGroup);
    for (const auto& [name, value] : choices) settings.setValue(ToQString(name), ToQString(value));
    settings.endGroup();
}

QByteArray UserSettings::WindowGeometry() const {
    if (folder_.empty()) return {};
    const QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    return settings.value(kGeometryKey).toByteArray();
}

void UserSettings::SetWindowGeometry(const QByteArray& geometry) {
    if (!Writable()) return;
    QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    settings.setValue(kGeometryKey, geometry);
}

}  // namespace pelorus
