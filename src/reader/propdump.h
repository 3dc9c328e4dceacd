#pragma once
// Object dumps: the text files in which world servers keep the objects placed in a world. The
// first line is "propdump version N" (N from 2 to 5); each further line is one object:
//   version 2:    citizen time x y z yaw nameLen descLen actionLen text
//   version 3:    citizen time x y z yaw tilt roll nameLen descLen actionLen text
//   versions 4-5: citizen time x y z yaw tilt roll type nameLen descLen actionLen dataLen text
// with the numbers separated by single spaces and `text` holding the model name, the description
// and the action one after the other, of the byte lengths given (then, in versions 4 and 5, the
// object data, which is not read). Positions are in centimetres, angles in tenths of degrees.
// Lines end in CR LF or LF. Text is Windows-1252 up to version 4 and UTF-8 in version 5; line
// breaks inside a description or action are kept as the bytes 0x80 0x7F (CR LF) or a lone 0x7F
// (LF).
//
// This is the parser alone: finding the models that the objects name is the world's business.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errorlog.h"
#include "reader/sceneobjects.h"

namespace pelorus {

inline constexpr int kMinDumpVersion = 2;
inline constexpr int kMaxDumpVersion = 5;

// The N of a text whose first line is `header` ("propdump version", "atdump version"), letter
// case aside, then blanks and N (after an optional UTF-8 byte-order mark, with nothing but blanks
// after N); nullopt for any other text, -1 when N is not a whole number of at most nine digits.
std::optional<int> HeaderVersionOf(std::string_view text, std::string_view header);

// The N of a text whose first line is "propdump version N" (after an optional UTF-8 byte-order
// mark, with nothing but blanks after N); nullopt for any other text. N may be a version this
// parser cannot read, or -1 when it is not a whole number of at most nine digits.
std::optional<int> DumpVersionOf(std::string_view text);

// Only this much of a dump's text is needed to tell it is one (see DumpVersionOf).
inline constexpr std::size_t kDumpHeaderProbeBytes = 64;

// True when `head`, the first bytes of a file, begins like a dump: DumpVersionOf gives a version
// for it, or would once the first line is ended (a probe that stops inside the first line).
bool BeginsLikeDump(std::string_view head);

// One model unit is ten metres; positions are in centimetres.
inline constexpr double kDumpUnitsPerModelUnit = 1000.0;

// What reading a dump found.
struct DumpReadResult {
    int version = 0;                   // 0 when the text is no dump of a readable version
    uint64_t objects = 0;              // lines read into objects of type 0
    uint64_t otherTypes = 0;           // lines read into objects of other types
    std::array<uint64_t, 8> byType{};  // objects of types 0 to 6, and of all other types in [7]
    uint64_t malformed = 0;            // lines that gave an error line (listed or not)
};

// Reads the objects of the dump `text` into `out`: one PlacedObject per readable line, in order,
// with its line number, its placement (position / 1000 in model units; yaw, tilt and roll in
// degrees; scale 1, visible), its type (0 before version 4), and its name, description and action
// (as UTF-8, line breaks turned back into CR LF and LF) kept in out.text; no model is set. Blank
// lines are passed over. A line that cannot be read (too few fields, a number that is not one, or
// lengths that run past the end of the line) writes one error line to `log` naming `dumpName` and
// the line number,
//   Object dump "D", line N: too few fields.
//   Object dump "D", line N: "W" is not a number (F).
//   Object dump "D", line N: the name, description and action (L bytes) run past the end of the line.
// (with ", action and data" from version 4 on), and reading goes on with the next line; after
// kMaxDumpErrorLines such lines the others are only counted, and one last line says how many. A
// text that is not a dump, or a dump of a version other than 2 to 5, writes one error line and
// reads nothing:
//   "D" is not an object dump (its first line is not "propdump version N").
//   Object dump "D" is of version N, which cannot be read (versions 2 to 5 can).
// The name, description and action of one object are cut at 4 GiB each.
// `onLines`, when given, is told how many lines after the first were read and how many there are,
// on the calling thread, with counts that only grow: about every kDumpLinesPerReport lines and
// once at the end. When it answers false reading stops soon after, keeping the objects read so far
// (a cancelled load; on more than one thread they need not be the first lines).
// The lines are read on `threads` threads (the calling one among them), each a stretch of whole
// lines; 0 takes the machine's cores, one for each kDumpBytesPerThread of text, at most
// kMaxDumpThreads. Objects, line numbers and error lines come out the same whatever the number.
using DumpLinesHook = std::function<bool(uint64_t linesRead, uint64_t lines)>;
DumpReadResult ReadDump(std::string_view text, std::string_view dumpName, ErrorLog& log, SceneObjects& out,
                        const DumpLinesHook& onLines = {}, unsigned threads = 0);

inline constexpr uint64_t kDumpLinesPerReport = 4096;
inline constexpr unsigned kMaxDumpThreads = 8;
inline constexpr std::size_t kDumpBytesPerThread = std::size_t{1} << 20;

inline constexpr uint64_t kMaxDumpErrorLines = 10000;

// Text of a dump field as UTF-8 (exposed for tests): Windows-1252 bytes for versions 2 to 4
// (undefined bytes become the C1 control of the same number), UTF-8 for version 5 (bytes that are
// not part of well-formed UTF-8 become U+FFFD); before decoding, 0x80 0x7F becomes CR LF and a
// lone 0x7F becomes LF (in version 5 also the UTF-8 form of "€" followed by 0x7F, which converters
// make of 0x80 0x7F). Appended to `out`.
void AppendDumpText(std::string_view field, int version, std::string& out);

}  // namespace pelorus
