#pragma once
// Worlds made of world attribute dumps: the settings a dump's attributes give, and the world
// named after it. What the World > Import Attributes... command and "--world FILE" read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errorlog.h"
#include "reader/attributedump.h"
#include "shell/worlds.h"

namespace pelorus {

// The settings of the world that `dumped` describes. It starts from the default world without
// its backdrop image and ground model (a dump names neither), and takes what the dump gives:
// - object path and skybox as written;
// - light, ambient and fog colours as their components (the fog colour kept apart from the
//   clear colour); the sky colour becomes the backdrop colour, which is the clear colour;
// - the light direction as three short decimal texts of the vector made one unit long (a vector
//   of length 0 as "0 0 0");
// - fog on or off, its start and end rounded to whole metres (within the 9 digits a field reads);
// - the entry point as FormatLocation writes what ParseLocation reads of it. One that does not
//   read is left out with one error line naming `dumpName` and its line:
//     Attribute dump "D", line N: the entry point "V" is not a location (WHY).
WorldSettings SettingsOfDumpedWorld(const DumpedWorld& dumped, std::string_view dumpName, ErrorLog& log);

// How many of an attribute dump's attributes made the world and how many were kept and not used
// (each number once, however often it was given). Both 0 for a world file.
struct AttributeCounts {
    uint64_t used = 0;
    uint64_t ignored = 0;
};

// The world a file's text describes, for `--world FILE` and imports: a world attribute dump (see
// BeginsLikeAttributeDump) is read with ReadAttributeDump and SettingsOfDumpedWorld (its error
// lines go to `log`); any other text is a world file (ParseWorldFile). nullopt only for an
// attribute dump of a version that cannot be read (its error line written). `name` (when given)
// receives the world's name: attribute 0 of a dump, "" otherwise; `counts` (when given) what
// became of the dump's attributes.
std::optional<WorldSettings> WorldOfFileText(std::string_view text, std::string_view path, ErrorLog& log,
                                             std::string* name = nullptr, AttributeCounts* counts = nullptr);

// What an import says of the attributes it read, e.g. "4 attributes used, 1 other ignored".
std::string AttributeCountsText(const AttributeCounts& counts);

// The world that "--world VALUE" names (WorldFileOfArgument, from the folder `folder`), read
// with WorldOfFileText: a world file or a world attribute dump. nullopt, with `error` saying why
// (without "pelorus: " or a line end), when the file cannot be read:
//   cannot read the world file "F" of the world "V": REASON (at most 1 MiB)
// ("of the world" only when VALUE named a listed world, the limit only for a file too large), or
// is an attribute dump of a version that cannot be read (its error line). The error lines of a
// dump that reads go to `log`. `file` (when given) receives the file read.
std::optional<WorldSettings> ReadWorldArgument(std::string_view value, std::string_view folder, ErrorLog& log,
                                               std::string& error, std::string* file = nullptr);

// A world name for a world imported under `wanted`: with every character that IsValidWorldName
// refuses turned into "_", blanks at either end taken away and cut to at most 249 bytes (at a
// whole UTF-8 character). When that leaves nothing, `fallback` made valid the same way, then
// "Imported world".
std::string ValidWorldName(std::string_view wanted, std::string_view fallback);

}  // namespace pelorus
