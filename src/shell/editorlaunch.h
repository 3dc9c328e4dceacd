#pragma once
// Showing the place of an error line in the user's editor: which program runs, with what.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"

namespace pelorus {

// The place as the Errors page shows it beside its line: the file's name without its folders
// and the line, "model.rwx:12", "tree.zip:tree.rwx:4" for a script inside an archive; the
// name alone for a place without a line; "" for no file.
std::string ShortPlace(const LogPlace& place);

// What opens a place: a program run with `argv` (argv[0] the program), or, when argv is empty,
// `file` handed to the desktop's default application. Both empty: nothing can be opened.
struct EditorLaunch {
    std::vector<std::string> argv;
    std::string file;
    bool operator==(const EditorLaunch&) const = default;
};

// How to open `place` given the environment's VISUAL and EDITOR (nullopt when unset):
// - a place without a file opens nothing;
// - a script inside an archive cannot be edited where it is: the archive goes to the desktop;
// - otherwise the first of VISUAL and EDITOR that holds more than blanks is run by /bin/sh as a
//   command line of its own (so "code --wait" or a quoted path work as they do for other
//   programs), with "+LINE" (when the place has a line) and the file as separate arguments, never
//   as part of that command line:
//     /bin/sh -c 'EDITOR "$@"' EDITOR +LINE FILE
//   A file name that would read as an option ("-x", "+3") is given as "./NAME";
// - without either, the file goes to the desktop.
EditorLaunch EditorLaunchFor(const LogPlace& place, std::optional<std::string_view> visual,
                             std::optional<std::string_view> editor);

}  // namespace pelorus
