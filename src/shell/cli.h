#pragma once
// The command-line tools: checking, dumping and exporting models without any window or OpenGL.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"
#include "scene/location.h"

namespace pelorus {

// Runs the tool that `args` (without the program name) ask for and returns its exit status
// ("--object-path FOLDER" may come anywhere before "--" and sets the object path of the tool);
// std::nullopt when they ask for the viewer window instead (no arguments, a first argument that
// is no option, or a first "--", after which comes the viewer's FILE). The first "--" after
// --check, --dump or --export ends their options: what follows is a file even when it starts
// with "--"; an empty name among their operands is a usage error (status 2) before anything is
// read. Error lines that --check and --export print quote scripts with control bytes
// escaped (EscapeForTerminal). --export OUT FILE checks OUT before reading anything (see
// CheckOutputFile), reads FILE as the viewer does and writes it by OUT's name: glTF with
// ExportToFile, a script with SaveScript, a zipped model with SaveZippedModel, each export's notes
// on `err`: 0 when written from a file without error lines, 1 when FILE had error lines (still
// written) or writing failed, 2 for usage errors and refused outputs. --export-object-path FOLDER
// FILE... writes each FILE with SaveToObjectPath under its name (ScriptName of its file name,
// made unique within the run), with the same statuses (the worst of all files).
// --check, --dump and --export take "--world NAME|FILE" among their options (ReadWorldArgument):
// the world's object path (a relative one taken from each FILE's folder) and object password are
// used where --object-path and --object-password are not given, as --screenshot uses them; a
// world that cannot be read gives status 1 before any FILE is read (--export checks OUT first,
// and never writes over the world's file).
std::optional<int> RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// True when `args` (without the program name, "--object-path FOLDER" aside) ask for something
// that needs a window system or OpenGL: the viewer (no tool option), --screenshot or --thumbnail.
bool NeedsWindowSystem(const std::vector<std::string>& args);

// An error line as the command-line tools print it, as compilers do: "FILE:LINE: TEXT" for a
// line placed at a line of a file (see LogPlace), otherwise "ARGUMENT: TEXT", where ARGUMENT is
// the file named on the command line. FILE is `argument` as it was given when the place is in
// the file it names, else the place's path relative to the current folder when it lies below it,
// else its whole path; a script inside an archive is "ARCHIVE:MEMBER". Control characters and
// bytes that are not UTF-8 are escaped (EscapeForTerminal); no line feed ends it.
std::string TerminalErrorLine(std::string_view text, const LogPlace& place, std::string_view argument);

// The usage text of every command-line tool.
std::string_view UsageText();

// Writes the JSON description of what reading `path` gives (the --dump format), with `objectPath`
// as the world's object path, to `out` as it goes: the text is never held whole. It is one object:
//   {"errors": [the error lines of the load],
//    "objects": [...]}
// For a script, a zipped or an imported model "objects" holds the one object read, its "path" (as
// given), "offset" and what the model holds: "clumps" (each with "vertices", "batches" and
// "children"), "prototypes" (clumps with a "name"), "textures", "triangles" and "translucent".
// For an object map each object names its entry ("path" as written, "offset") and its model
// ("model", an index into "models"), and a third member follows:
//    "models": [each model once: "name" (the path it was first named by), "path" (the file
//               read), then what it holds, as above]
// Entries naming the same file share one model; entries whose file could not be opened share an
// empty one (named "", from "").
// For an object dump each object has "line", "name", "model" (an index into "models", -1 when it
// shows none), "position" (model units), "yaw", "tilt", "roll" (degrees), "scale", "visible",
// "type", "description" and "action", and "models" follows as for an object map.
// Each object with an action also has "applied" and "ignored" (the commands of its create section
// as written: carried out, or not); "scale" and "visible" are as its action leaves them. `action`
// is given to a FILE that is one model (see WorldReadOptions::action), which is then written with
// "action", "applied", "ignored", "scale" and "visible" too. `password` opens encrypted archives
// of the object path ("" for none).
void WriteDump(const std::string& path, const std::string& objectPath, std::ostream& out,
               const std::string& action = {}, const std::string& password = {});
// The same document as one string.
std::string DumpScene(const std::string& path, const std::string& objectPath = {}, const std::string& action = {},
                      const std::string& password = {});

// "--object-path FOLDER" and "--object-password WORD", given with any command.
inline constexpr std::string_view kObjectPathOption = "--object-path";
// "--action TEXT", given with any command that reads a FILE: the action a FILE that is one model
// is given (see WorldReadOptions::action).
inline constexpr std::string_view kActionOption = "--action";
inline constexpr std::string_view kObjectPasswordOption = "--object-password";
struct ObjectPathArgument {
    std::optional<std::string> folder;  // the last one given, made absolute against the current folder
    std::string error;                  // "" unless one came without its value
    std::optional<std::string> action;  // the last --action given
    // The last password given: opens encrypted archives of the object path in place of the
    // world's object password ("" opens none).
    std::optional<std::string> password;
};
// Takes every "--object-path FOLDER", "--action TEXT" and "--object-password WORD" out of `args`
// (not after a "--" that ends the options), leaving the other arguments in order.
ObjectPathArgument TakeObjectPath(std::vector<std::string>& args);

// "--at LOCATION" before the viewer's FILE: where the window's camera orbits once FILE is open.
inline constexpr std::string_view kAtOption = "--at";
// When `args` begin with "--at", takes it and its location out of them into `at`; false (with
// `error` set and `args` unchanged) when the location is missing or does not read
// (ParseLocation). Arguments that do not begin with it are left as they are.
bool TakeLocationArgument(std::vector<std::string>& args, std::optional<Location>& at, std::string& error);

}  // namespace pelorus
