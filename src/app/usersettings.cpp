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

constexpr const char* kLastFolderKey = "OpenDialog/lastFolder";
constexpr const char* kGeometryKey = "MainWindow/geometry";

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

std::string UserSettings::LastFolder() const {
    if (folder_.empty()) return {};
    const QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    return settings.value(kLastFolderKey).toString().toStdString();
}

bool UserSettings::Writable() const {
    return !folder_.empty() && MakeFolders(folder_, 0700) && DetachSettingsLink(FilePath(), kSmallFileLimit, log_);
}

void UserSettings::SetLastFolder(std::string_view folder) {
    if (!Writable()) return;
    QSettings settings(ToQString(FilePath()), QSettings::IniFormat);
    settings.setValue(kLastFolderKey, ToQString(folder));
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
