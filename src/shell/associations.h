#pragma once
// File > Associations: making the viewer the user's default program for scripts, under the
// user's own folders only (nothing of the system's is touched): the launcher, the MIME type, the
// icon, and the default in mimeapps.list, as `xdg-mime default` keeps it.

#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

inline constexpr std::string_view kDesktopId = "pelorus.desktop";
inline constexpr std::string_view kScriptMimeType = "model/x-rwx";

// The user's folders as the desktop names them: $XDG_DATA_HOME and $XDG_CONFIG_HOME (the caller
// supplies their defaults, ~/.local/share and ~/.config).
struct UserPlaces {
    std::string dataHome;
    std::string configHome;
};

// `path` as a desktop entry's Exec line wants an argument: as it is when it holds only letters,
// digits and "/-_.+,@%:"; otherwise in double quotes with '"', '`', '$' and '\' escaped by a
// backslash. Then, as every value of the file, each backslash doubled.
std::string ExecArgument(std::string_view path);

// The shipped launcher with Exec and TryExec naming the program `command` by its whole path, so
// that it starts whether or not its folder is on PATH.
std::string DesktopEntryFor(std::string_view command);

// `text` (a mimeapps.list) with `desktopId` as the default program of `mimeType` in the group
// [Default Applications] and first in [Added Associations]; each group is made when missing, and
// every other line is kept as it was. A line of `mimeType` whose key has blanks around it counts.
std::string WithDefaultApplication(std::string_view text, std::string_view mimeType, std::string_view desktopId);

// What making the default did: the files written, in order, and what failed ("" when nothing).
struct AssociationReport {
    std::vector<std::string> written;
    std::string problem;
};

// Writes, each atomically and only over a file of its own kind: the launcher
// <dataHome>/applications/pelorus.desktop (DesktopEntryFor `command`), the MIME type
// <dataHome>/mime/packages/pelorus.xml, the icon <dataHome>/icons/hicolor/256x256/apps/pelorus.png
// (`iconPng`; left out when empty) and <configHome>/mimeapps.list (WithDefaultApplication). Stops
// at the first failure. Empty folders are a failure: nothing is written then.
AssociationReport MakeDefaultForScripts(const UserPlaces& places, std::string_view command, std::string_view iconPng);

// The commands that bring the desktop's caches up to date after MakeDefaultForScripts, each as
// its arguments: update-mime-database on <dataHome>/mime and update-desktop-database on
// <dataHome>/applications.
std::vector<std::vector<std::string>> CacheCommands(const UserPlaces& places);

// What the window says afterwards: the files written, and the cache tools that could not be run
// (`missingTools`), or the failure.
std::string AssociationMessage(const AssociationReport& report, const std::vector<std::string>& missingTools);

}  // namespace pelorus
