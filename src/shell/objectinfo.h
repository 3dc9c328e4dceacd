#pragma once
// What the Object Properties window shows: the General page (world, file, faces and triangles),
// the Textures page (one row per texture, found or not) and the Errors page (the run's error log
// with a heading where each load began), and the summary of a load that the status bar shows.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "reader/sceneobjects.h"
#include "scene/framing.h"

namespace pelorus {

// Shown for the world when it has no name (the built-in default world) and for the object when
// no file is open.
inline constexpr std::string_view kDefaultWorldLabel = "(default world)";
inline constexpr std::string_view kNoObjectLabel = "(none)";

// Ten metres make one model unit.
inline constexpr double kCentimetresPerUnit = 1000;

struct GeneralInfo {
    std::string world;      // the world's name, or kDefaultWorldLabel for ""
    std::string object;     // the file name of `currentFile` without its folder, or kNoObjectLabel
    std::string polygons;   // face lines read (Triangle, Quad, Polygon) by all objects, decimal
    std::string triangles;  // triangles of all objects, decimal
    // The bounds of the model (BoundsText), in model units and in centimetres; "" without any
    // vertex.
    std::string boundsUnits;
    std::string boundsCentimetres;
    bool operator==(const GeneralInfo&) const = default;
};

// The General page for the objects of the file shown (the model, without the world's ground and
// skybox). Null entries are skipped. The bounds are those of the model as written: one object's
// in its own coordinates (without the offset a script is placed at), several objects' where the
// object map places them.
GeneralInfo GeneralInfoOf(std::string_view worldName, std::string_view currentFile,
                          std::span<const RWXObject* const> objects);

// The columns of the Textures page, in order.
inline constexpr std::string_view kTextureColumns[] = {"Texture", "FileName",  "Size",       "WxH",
                                                       "Mask",    "Mipmapped", "AddressMode"};
inline constexpr int32_t kTextureColumnWidths[] = {64, 100, 35, 50, 100, 30, 30};

struct TextureRow {
    std::string texture;      // the name looked for ("wood.jpg")
    std::string fileName;     // where it was read from ("<archive>.zip:<member>" for a zipped one)
    std::string size;         // the file's size ("812 B", "12 KB"), "" when it cannot be read now
    std::string wxh;          // the image's width x height in the file, all frames together
    std::string mask;         // the mask's name, "" without one
    std::string mipmapped;    // "Yes" or "No"
    std::string addressMode;  // "Wrap", "Mirror" or "Clamp" ("?" for any other value)
    // A texture that could not be used: fileName says kTextureNotFound or kTextureNotReadable,
    // `note` holds its error line, and only `texture` and `mask` are filled besides.
    bool missing = false;
    std::string note;
    bool operator==(const TextureRow&) const = default;
};
inline constexpr std::string_view kTextureNotFound = "(not found)";
inline constexpr std::string_view kTextureNotReadable = "(not readable)";

// One row per texture of each object, objects in order: each object's textures in the order they
// were loaded, then those it could not use (RWXObject::MissingTextures). Null entries are
// skipped. Reads each file's size from the file system.
std::vector<TextureRow> TextureRowsOf(std::span<const RWXObject* const> objects);
// Every folder the objects looked for textures in, each once, in the order first searched.
std::vector<std::string> TextureFoldersOf(std::span<const RWXObject* const> objects);

// The corners of `bounds` as "(MINX, MINY, MINZ) to (MAXX, MAXY, MAXZ)", each number multiplied by
// `scale` and written with at most `decimals` decimals (trailing zeros and a "-" before zero left
// out); "" for empty bounds.
std::string BoundsText(const Bounds& bounds, double scale, int decimals);
// The size of `bounds` as width (x) x height (y) x depth (z) in metres, ten metres a unit, each to
// the centimetre: "2.5 × 1 × 0.35 m"; "" for empty bounds.
std::string SizeText(const Bounds& bounds);

// "N B" below 1024 bytes, otherwise kilobytes rounded up, "N KB".
std::string FileSizeText(uint64_t bytes);

// The Errors page: the whole error-log text and the number of lines in it.
struct ErrorsInfo {
    std::string text;
    std::string count;
};
ErrorsInfo ErrorsInfoOf(const ErrorLog& log);

// Where a load began in the error log: the Errors page shows a heading there.
struct LoadMark {
    std::size_t firstLine = 0;  // the log's LineCount() when the load began
    std::string file;           // the file loaded, "" for the empty scene
    std::string time;           // when, as the heading shows it ("14:03:21")
    bool reload = false;        // the file shown was read again
    bool operator==(const LoadMark&) const = default;
};
// "TIME  Opened FILE" ("Reloaded" for a reload; kNoObjectLabel for no file).
std::string LoadHeading(const LoadMark& mark);

// How far the Errors page has shown the log. A default value has shown nothing.
struct ErrorsShown {
    bool started = false;       // anything was shown since the page was last cleared
    bool lastOnly = false;      // it shows only the last load
    std::size_t lines = 0;      // log lines up to here are on the page
    std::size_t marks = 0;      // headings of marks up to here are on the page
    std::size_t firstMark = 0;  // the first mark the page shows (the last one with lastOnly)
    bool operator==(const ErrorsShown&) const = default;
};
struct ErrorsPiece {
    bool heading = false;       // a heading (LoadHeading) rather than log text
    std::string text;           // log text: whole lines, each ending with its line feed
    std::size_t firstLine = 0;  // log text: the index of its first line in the log
    bool operator==(const ErrorsPiece&) const = default;
};
// What brings the page up to date with `log` and `marks` (in the order of their lines): with
// `restart` the page is cleared first, then `pieces` are appended in order; `shown` is what it
// shows afterwards and `count` how many log lines. Showing every load after having shown every
// load, or the last load after having shown the same last load, only appends what was added
// since; a change of `lastOnly`, a new last load while showing only the last one, or a log
// shorter than what was shown starts over. Marks beyond the log's end get their heading once
// the log reaches them, so a load is never headed twice.
struct ErrorsUpdate {
    bool restart = false;
    std::vector<ErrorsPiece> pieces;
    ErrorsShown shown;
    std::size_t count = 0;
};
ErrorsUpdate PlanErrorsUpdate(const ErrorLog& log, std::span<const LoadMark> marks, const ErrorsShown& shown,
                              bool lastOnly);

// What the status bar says about the file shown.
struct LoadSummary {
    // "2 objects, 1,234 triangles, 3 textures"; "empty" when the objects have no triangle; ""
    // without objects (nothing is open).
    std::string counts;
    std::string problems;  // "No problems", "1 problem", "12 problems"
    std::string size;      // SizeText of the objects where they are placed
};
// The summary of the objects shown and of `problems` error lines of their load.
LoadSummary LoadSummaryOf(std::span<const RWXObject* const> objects, std::size_t problems);
// The summary of a world (an object dump) `world` and of `problems` error lines of its load:
// counts "1,000,000 objects, 1,000 models" (its objects of type 0 and its distinct models, those
// still to read among them) and WorldSizeText of where its objects stand (each visible object of
// type 0 as the box of its model placed by it; objects without a model read take no room).
LoadSummary WorldSummaryOf(const SceneObjects& world, std::size_t problems);
// The extent of a world as its builders read it: width (x) x height (y) x depth (z) in metres to
// the decimetre ("850 × 12.5 × 300 m") while every side is below a kilometre, else all three in
// kilometres to the ten metres ("12.5 × 0.03 × 8 km"), then the corners it spans in the notation
// of locations, south-east to north-west, each rounded outwards to a tenth of a unit:
// "12.5 × 0.03 × 8 km, 400S 600E to 400N 650W". "" for empty bounds.
std::string WorldSizeText(const Bounds& bounds);
// A whole number with commas between groups of three digits: "1,234,567".
std::string GroupedNumber(uint64_t n);

}  // namespace pelorus
