#pragma once
// World attribute dumps: the text files in which world servers keep a world's settings. The first
// line is "atdump version 1"; each further line is one attribute, "NUMBER VALUE": the attribute's
// number, one space, and its value, the rest of the line (it may be empty). Lines end in CR LF or
// LF; text is Windows-1252.
//
// The attributes that make a world here, with their values as the servers write them:
//    0 name            text
//    3 object path     text (a folder or a web address)
//   11-13 fog colour   red, green, blue: whole numbers 0 to 255
//   41-43 light        x, y, z of the direction the light shines towards, in the world's axes
//   44-46 light colour red, green, blue
//   47-49 ambient      red, green, blue
//   51 fog on          "Y" or "N"
//   52-53 fog          start and end, metres from the eye
//   61 skybox          model name
//   69 entry point     a location: "2.5N 3W 1.2a 90"
//   70-72 sky colour   red, green, blue: the clear colour where no backdrop image is drawn
// Every other attribute is kept and counted, and means nothing here.
//
// This is the parser alone: turning the values into a world's settings is the shell's business.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errorlog.h"

namespace pelorus {

// The N of a text whose first line is "atdump version N" (letter case aside, after an optional
// UTF-8 byte-order mark, with nothing but blanks after N); nullopt for any other text, -1 when N
// is not a whole number of at most nine digits.
std::optional<int> AttributeDumpVersionOf(std::string_view text);

// True when `head`, the first bytes of a file, begins like an attribute dump: its version reads,
// or would once the first line is ended (a probe that stops inside the first line).
bool BeginsLikeAttributeDump(std::string_view head);

// Only this much of a file is needed to tell it is an attribute dump.
inline constexpr std::size_t kAttributeDumpProbeBytes = 64;

// One attribute as the dump gives it.
struct AttributeValue {
    std::string text;   // as UTF-8, without the line's end
    uint32_t line = 0;  // its line in the dump
};

// The numbers of the attributes that make a world.
enum WorldAttribute : int32_t {
    kAttrName = 0,
    kAttrObjectPath = 3,
    kAttrFogRed = 11,
    kAttrLightX = 41,
    kAttrLightRed = 44,
    kAttrAmbientRed = 47,
    kAttrFogOn = 51,
    kAttrFogStart = 52,
    kAttrFogEnd = 53,
    kAttrSkybox = 61,
    kAttrEntryPoint = 69,
    kAttrSkyRed = 70,
};

// What the world attributes of a dump say. A field is unset when the dump does not give it, or
// gives a value that does not read (which wrote an error line).
struct DumpedWorld {
    std::string name;                       // "" when not given
    std::optional<std::string> objectPath;  // as written
    std::optional<std::array<uint8_t, 3>> fogColor, lightColor, ambientColor, skyColor;
    std::optional<std::array<double, 3>> lightDirection;
    std::optional<bool> fog;
    std::optional<double> fogStart, fogEnd;  // metres
    std::optional<std::string> skybox;
    std::string entryPoint;       // as written; "" when not given
    uint32_t entryPointLine = 0;  // its line in the dump, for messages
};

struct AttributeDump {
    int version = 0;  // 0 when the text is no readable attribute dump
    // Every attribute read, by number; a number given twice keeps its last value.
    std::map<int32_t, AttributeValue> values;
    uint64_t malformed = 0;  // lines and values that wrote an error line
    uint64_t others = 0;     // attributes given that are not among those of DumpedWorld
    DumpedWorld world;
};

// Reads the attribute dump `text`. Blank lines are passed over. A line that does not begin with
// a whole number (0 to 2^31 - 1) followed by a space or its end writes one error line naming
// `dumpName` and the line, and reading goes on; so does a world value that does not read:
//   Attribute dump "D", line N: "W" is not an attribute number.
//   Attribute dump "D", line N: attribute A "V" is not a colour component (0 to 255).
//   Attribute dump "D", line N: attribute A "V" is not a number.
//   Attribute dump "D", line N: attribute A "V" is neither Y nor N.
// Colour components are whole numbers from 0 to 255; a number beyond either end is taken as that
// end. Numbers are written "1.5", "-2", "1e3" (finite). A colour or direction is used only when
// all three of its values read; a missing one counts as not given. A text that is not an
// attribute dump, or one of another version, writes one error line and reads nothing:
//   "D" is not a world attribute dump (its first line is not "atdump version 1").
//   World attribute dump "D" is of version N, which cannot be read (version 1 can).
// After kMaxAttributeErrorLines error lines the others are only counted, and one last line says
// how many.
AttributeDump ReadAttributeDump(std::string_view text, std::string_view dumpName, ErrorLog& log);

inline constexpr uint64_t kMaxAttributeErrorLines = 1000;

}  // namespace pelorus
