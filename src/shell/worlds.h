#pragma once
// Worlds: the settings drawn around a model (backdrop, skybox, ground, lights, fog), kept one per
// file "<name>.world" and listed in "Worlds.txt". Plain values and pure functions for both file
// formats and for the look a world applies, and the world book that the World Properties window
// drives: the window only shows what the book holds and hands it the user's commands.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/worldlook.h"

namespace pelorus {

class ErrorLog;

// ---------------------------------------------------------------------------------------------
// Settings

// One colour component of a light as its field holds it: the text as typed and the byte in use.
struct ColorField {
    std::string text = "255";
    uint8_t value = 255;
    bool operator==(const ColorField&) const = default;
};

// A typed component. The byte is the first 9 characters read as an integer (leading blanks, an
// optional sign, digits up to the first other character; 0 without digits) with its low 8 bits
// kept: "300" gives 44, "256" 0, "-1" 255, "" and "abc" 0. The text stays as typed.
ColorField ColorFieldFromText(std::string text);
// A picked or loaded component: the byte and its decimal text.
ColorField ColorFieldFromByte(uint8_t value);

// The working copy of one world's settings, as the window's fields hold them. Default values are
// those of the default world (what kDefaultWorldText reads as).
struct WorldSettings {
    std::string objectPath;  // folder holding the "models" folder of skybox, ground and catalogue
    std::string password;    // opens the encrypted archives of the object path ("" for none)
    std::array<std::string, 3> direction{"-0.8", "-0.5", "-0.2"};  // where the light shines to
    std::array<ColorField, 3> directional;                         // directional light r, g, b
    std::array<ColorField, 3> ambient;                             // ambient light r, g, b
    bool fog = false;
    std::string fogMin = "40", fogMax = "150";         // meters; 10 meters are one model unit
    std::string backdrop = "fall_day";                 // backdrop image name
    std::string skybox;                                // model name, without folder or extension
    std::string ground = "fall_gd";                    // model name, without folder or extension
    std::array<uint8_t, 3> backdropColor{30, 9, 200};  // clear colour, and fog colour unless fogColor says

    // Kept after the fields above in the world file (see WorldFileText), so that files without
    // them read as before.
    std::string entryPoint;                          // where the world opens, as FormatLocation writes it; "" for none
    std::optional<std::array<uint8_t, 3>> fogColor;  // the fog's own colour; unset: the backdrop colour
    // How many days a copy fetched from a web object path is used without asking its server again
    // (0: ask on every load, at most kMaxRefreshDays); unset: kDefaultRefreshDays.
    std::optional<uint32_t> refreshDays;
    // Lines after the known ones that this version does not know, kept as they are.
    std::vector<std::string> laterLines;

    bool operator==(const WorldSettings&) const = default;
};

// ---------------------------------------------------------------------------------------------
// World files

inline constexpr uint32_t kDefaultRefreshDays = 7;
inline constexpr uint32_t kMaxRefreshDays = 36500;

// What the very first world's file holds.
inline constexpr std::string_view kDefaultWorldText =
    "\n\n-0.8 -0.5 -0.2 255 255 255\n255 255 255 NoFog 40 150\nfall_day\n\nfall_gd\n30 9 200\n";

// Reads a world file's text. Line 1 is the object path, line 2 the password (whole lines; a
// line break is LF or CR LF; a line keeps at most 1023 characters, the rest of it is skipped).
// Then twelve blank-separated words are read regardless of line breaks: direction x, y, z (texts),
// directional r, g, b, ambient r, g, b (numbers), the fog word, fog min and max (texts); the rest
// of the line holding the twelfth word is skipped. Then three whole lines (backdrop, skybox,
// ground) and three numbers (backdrop r, g, b). A number reads like an unsigned integer (optional
// sign, digits up to the first other character) with its low 8 bits kept, 300 giving 44; light
// components take the number's decimal text. The fog word turns fog on when it is "Fog" in any
// letter case, off for any other word.
// Whatever the file lacks (it ends early) keeps its WorldSettings default, and so does a number
// field whose word holds no number; reading never fails.
// The rest of the line of the third backdrop number is skipped; each line after it is a later
// field, a keyword (letter case aside), one blank and its value:
//   EntryPoint 2.5N 3W 1.2a 90     the entry point, the rest of the line
//   FogColor 10 20 30              the fog colour, three numbers read as colour components are
//   RefreshDays 7                  the refresh time: digits alone, 0 to kMaxRefreshDays
// A later field that does not read, and any other line but blank ones, is kept in laterLines.
WorldSettings ParseWorldFile(std::string_view text);

// The world file for `settings`: path and password lines; the direction texts and directional
// texts separated by single blanks; the ambient texts each followed by a blank, "Fog " or
// "NoFog ", min, a blank, max; backdrop, skybox and ground lines; the backdrop colour bytes in
// decimal separated by blanks, with no final line break.
// Every field that reads back as written is written byte for byte as it stands. Fields that
// would break the layout are written so that they cannot shift the fields after them: a
// whole-line field up to its first line break and at most 1023 characters; a word field
// (direction, fog min and max) as its first word, or "0" when it has none; a light component
// whose text would not read back as its byte, as the byte in decimal. These forms apply as the
// fields did.
// The later fields follow only when there are any: a line break after the backdrop colour, then
// "EntryPoint " and the entry point (up to its first line break) when it is not empty, "FogColor "
// and the three bytes when it is set, "RefreshDays " and the days (at most kMaxRefreshDays) when
// they are set, and the kept laterLines, each on a line of its own, with no final line break. A world without them is
// written exactly as readers of the eight lines write it.
std::string WorldFileText(const WorldSettings& settings);

// ---------------------------------------------------------------------------------------------
// The look a world applies

// The applied values of `settings`:
// - object path: the field's first 259 characters with `\` turned into `/`, and a `/` added when
//   it is not empty and does not end with a separator;
// - ground and skybox paths: object path + "models/" + name (first 259 characters) + ".rwx", so
//   an empty name still gives a path and an empty object path a path relative to the current
//   folder;
// - backdrop: the field as it stands;
// - clear colour from the backdrop bytes, directional and ambient light from their bytes, each
//   divided by 255, alpha 1;
// - fog colour: the fog colour when set, else the clear colour;
// - entry point and object password as the fields hold them;
// - refresh time: the refresh days (kDefaultRefreshDays when unset, at most kMaxRefreshDays) in
//   seconds;
// - fog on or off from the check box; start and end from the first 9 characters of Min and Max
//   read as integers (as for ColorFieldFromText, without the 8-bit cut) times 0.1, so 40 and
//   "40.9" both give 4.0;
// - light direction from the first 9 characters of each field read as a real number (leading
//   blanks, optional sign, then digits or a point), 0 when it does not start with a number.
WorldLook LookOf(const WorldSettings& settings);

// ---------------------------------------------------------------------------------------------
// The world list "Worlds.txt"

struct WorldList {
    int32_t current = 0;             // index of the current world; need not name an entry
    std::vector<std::string> names;  // in list order
    bool operator==(const WorldList&) const = default;
};

// Reads the list's text: line 1 is the current index when it holds an integer and nothing else
// but blanks (0 when it does not fit), or nothing but blanks (index 0); every following line is
// one name, the last one included when it has no line break. A first line holding anything else
// is a name too: a list without its index line keeps all its names, with index 0. Line breaks
// are LF or CR LF; a leading byte-order mark is ignored; names are kept whole.
WorldList ParseWorldList(std::string_view text);

// The list's text: the current index in decimal and a line break, then every name followed by a
// line break (a name is written up to its first line break). An empty list with index -1 is the
// single line "-1".
std::string WorldListText(const WorldList& list);

// ---------------------------------------------------------------------------------------------
// The world book

// A message the window shows: text and caption of an error box (or, for the delete question, of
// a Yes / No / Cancel box).
struct WorldMessage {
    std::string text;
    std::string caption;
    bool operator==(const WorldMessage&) const = default;
};

// Texts of the window's dialogs.
inline constexpr std::string_view kNewWorldPrompt = "Enter the name of the new World below:";
inline constexpr std::string_view kNewWorldTitle = "Name new World ";
WorldMessage DeleteWorldQuestion();
WorldMessage DuplicateWorldMessage();
WorldMessage InvalidWorldNameMessage();
// A valid name whose file could not be made: `reason` says why (the system's error text).
WorldMessage WorldNotCreatedMessage(std::string_view name, std::string_view reason);

// Whether `name` can be a world name: not empty, at most 249 bytes (so that "<name>.world" is a
// valid file name), no `/` or `\`, no control character and none of : * ? " < > | (not allowed
// in file names on every system a world folder may be copied to). Only such names ever become
// files, and always inside the book's folder.
bool IsValidWorldName(std::string_view name);

enum class DeleteAnswer { Yes, No, Cancel };

// The world list and the working copy of the current world. All files are found in the folder
// given at construction, made absolute then, so changing the current folder later (opening a
// model does) moves nothing. File names match without regard to letter case when no file is
// spelt exactly so.
//
// After every command the window shows Names(), selects Selection(), fills its fields from
// Shown(), enables its fields only when FieldsEnabled(), and shows the returned messages in
// order. A save that fails is always reported with the system's reason, and the command then
// leaves the list, the current index and the working copy as they were, so no edits are lost
// (the one exception: an entry whose settings can never be saved, see Select). A file that
// already holds exactly what would be written (CR LF counting as LF) is not rewritten, so worlds
// can be browsed in a folder that cannot be written. A world file that exists but cannot be read
// (no regular file, or larger than 1 MiB) is never replaced.
//
// Several viewers may share the folder. Every change of the list (New, Delete, a selection, and
// shut-down) is written at once and merged with what the others wrote since: Worlds.txt is read
// again, this book's change is applied to what it holds (a name added or removed, the current
// index set to this book's current world, found by name), and the result is renamed into place,
// under a lock on the folder where the file system has one. The book then holds the merged list,
// so worlds that another viewer created stay and those it deleted go. A list file that exists but
// cannot be read is never replaced.
class WorldBook {
public:
    // `folder` is the current folder at start-up. A list or world file that is a symbolic link
    // is read through it and saved as a file of its own (the file it pointed to is left as it
    // was), which `log` (when given) is told once (SaveSettingsFile).
    explicit WorldBook(std::string_view folder, ErrorLog* log = nullptr);

    const std::string& Folder() const { return folder_; }
    std::string ListPath() const;
    // The file of world `name`; nullopt when the name is not a valid world name.
    std::optional<std::string> WorldFilePath(std::string_view name) const;

    // Start-up: reads Worlds.txt (a missing or unreadable file gives an empty list that is only
    // written if a world gets created), removes the temporary files that killed saves of the list
    // or of world files left in the folder (those of running processes stay), then loads the
    // selected world into the working copy.
    void Start();
    // Shut-down: when the list exists, writes this book's current world as the current index,
    // merged as above (nothing is written when the file already says so). Returns a message when
    // it cannot be written.
    std::optional<WorldMessage> WriteList();

    const std::vector<std::string>& Names() const { return list_.names; }
    int32_t Current() const { return list_.current; }
    // The current index when it names an entry, otherwise -1 (nothing selected).
    int32_t Selection() const;
    bool ListExists() const { return listExists_; }
    bool FieldsEnabled() const { return !list_.names.empty(); }

    // The working copy; the window writes its fields' edits here. Nothing is applied from it:
    // OK saves it first (see Saved()).
    WorldSettings& Shown() { return shown_; }
    const WorldSettings& Shown() const { return shown_; }

    // Reads entry `index`'s file into the working copy. False, with the working copy unchanged,
    // when `index` names no entry or the file cannot be read.
    bool LoadWorld(int32_t index);
    // Writes the working copy to entry `index`'s file. Nothing happens when `index` names no
    // entry; a message comes back when the file cannot be written, or exists and cannot be read.
    std::optional<WorldMessage> SaveWorld(int32_t index) const;

    // The list's selection changes to `index`: when it differs from the current index, the world
    // left is saved, `index` becomes current, the list is written (merged) and its file is loaded.
    // An index outside the list is ignored. A failed save of the world left keeps it current,
    // except when its entry can never hold settings (its name is no valid world name, or its file
    // exists but cannot be read): the failure is reported and the selection goes ahead. Failing
    // to write the list's new index is not reported here (worlds can be browsed in a folder that
    // cannot be written); WriteList reports it at shut-down. When another viewer has deleted the
    // picked world meanwhile, the world left stays current in the merged list.
    std::vector<WorldMessage> Select(int32_t index);

    // "&New" with the name the user confirmed. A name already in the list (letter case ignored)
    // gives the duplicate message and then selects that world as Select does, loading its
    // settings. An invalid name gives the invalid-name message; a file that cannot be created, or
    // exists but cannot be read (it is never replaced), gives WorldNotCreatedMessage with the
    // reason; a list that cannot be written gives the list's message; each adds nothing and keeps
    // the working copy. Otherwise an existing file of that name is adopted and loaded; a new file
    // gets the default world text when the list is empty and the shown settings otherwise (the
    // shown world's own file is not saved). The name is appended (unless another viewer already
    // listed it, letter case ignored) and becomes current.
    std::vector<WorldMessage> Create(std::string_view name);

    // World > Import Attributes...: adds a world holding `settings` and makes it current, as
    // "&New" would with those settings. It is named `name` (which must be a valid world name, else
    // the invalid-name message) when no world of the list has that name (letter case aside) and no
    // file of that name exists; otherwise " (2)", " (3)", ... is added to it (the name cut so that
    // it stays valid), so no world or file is ever replaced. The world shown is saved first, as
    // Select saves the world left, with the same failures. A file that cannot be created gives
    // WorldNotCreatedMessage; a list that cannot be written the list's message; each adds nothing.
    // `imported` (when given) receives the name the world was added under, "" when it was not.
    std::vector<WorldMessage> Import(std::string_view name, const WorldSettings& settings,
                                     std::string* imported = nullptr);

    // "Delete", after the window asked DeleteWorldQuestion(); it asks only when Selection() is
    // not -1. Cancel changes nothing. Yes deletes the selected world's file (a file that cannot be
    // deleted is reported and the entry stays), No saves the working copy into it (a failure
    // keeps the entry, unless the entry can never hold settings, as for Select); then the entry
    // leaves the list, which is written (merged; a failure is reported and the entry stays). The
    // same index is selected again, or the last entry when the deleted one was last (-1 for an
    // empty list), becomes current and is loaded. Without a selection only the current index is
    // reset to -1.
    std::vector<WorldMessage> Delete(DeleteAnswer answer);

    // "OK": saves the working copy into the selected world's file, and it becomes Saved(). On
    // success the window hides and the shell applies LookOf(Saved()); on failure the window stays
    // open with the message and nothing changes.
    std::vector<WorldMessage> Ok();

    // "Cancel", Escape and the close box: the edits not saved are dropped. The working copy
    // becomes what the selected world's file holds now, or Saved() when it cannot be read (or
    // nothing is selected). Saving happens only as the commands above say, so the edits dropped
    // are those made since the world was last loaded, picked or saved.
    void Revert();

    // The current world as last read from or written to its file: what loads apply (the working
    // copy may hold edits not saved yet). The default world until a world file has been read.
    const WorldSettings& Saved() const { return saved_; }

private:
    std::optional<std::size_t> Find(std::string_view name) const;
    // SaveWorld; `neverSaveable` tells that the entry's settings can never be saved.
    std::optional<WorldMessage> Save(int32_t index, bool& neverSaveable) const;
    // Re-reads the list file, lets `change` edit what it holds, writes the result back when it
    // differs, and on success holds it as the list. A missing file stands for this book's list.
    std::optional<WorldMessage> MergeList(const std::function<void(WorldList&)>& change);

    std::string folder_;
    ErrorLog* log_ = nullptr;
    WorldList list_;
    bool listExists_ = false;
    WorldSettings shown_;
    WorldSettings saved_;
};

}  // namespace pelorus
