#pragma once
// The object catalogue: the zipped models in the "models" folder of a world's object path,
// offered as menu entries grouped by the first character of their names, and the extraction of
// a chosen model's script into the temporary folder, where the viewer reads it like any script.
// Plain code: the menu is described as values that a window turns into menus item for item.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errorlog.h"

namespace pelorus {

// Command number of catalogue entry 0; entry i has kFirstCatalogueCommand + i.
inline constexpr int32_t kFirstCatalogueCommand = 2302;
// At most this many entries are listed in one (sub)menu.
inline constexpr std::size_t kCatalogueEntriesPerMenu = 50;
// Extraction stops with TooLarge beyond this many bytes of script.
inline constexpr uint64_t kMaxExtractedScriptBytes = uint64_t{256} << 20;

// Groups of names: 0 to 25 for the letters A to Z, then digits, then everything else.
inline constexpr int kCatalogueDigitGroup = 26;
inline constexpr int kCatalogueOtherGroup = 27;
inline constexpr int kCatalogueGroupCount = 28;

// The group of `name` by its first byte: 'a'-'z' and 'A'-'Z' give 0-25, '0'-'9' give 26, any
// other byte (including those of non-ASCII letters) and the empty name give 27.
int CatalogueGroupOf(std::string_view name);

// One menu item that opens an entry.
struct CatalogueMenuEntry {
    std::string label;  // the name, '&' doubled so it shows as written (UTF-8 if the name is)
    int32_t command = 0;
    bool checked = false;
};

// A run of at most kCatalogueEntriesPerMenu entries of one group, in catalogue order.
struct CatalogueMenuPart {
    // "" when the group fits one menu: the entries then go straight into the group's menu.
    // Otherwise the part is a submenu of the group's menu labelled "<group> <first>–<last>"
    // (1-based positions within the group, an en dash between), e.g. "B 1–50", "B 101–120",
    // "0-9 1–50", "? 51–60".
    std::string label;
    std::vector<CatalogueMenuEntry> entries;
};

// One item of the object menu that opens a group's menu.
struct CatalogueMenuGroup {
    // "&?\t(n)" for other characters, "&0-9\t(n)" for digits, "&A\t(n)" ... "&Z\t(n)" for
    // letters, n the number of entries in the group.
    std::string label;
    int32_t total = 0;
    std::vector<CatalogueMenuPart> parts;  // never empty
};

// The group items of the object menu, in menu order ("&?", "&0-9", then the letters that occur,
// A to Z), above the menu's separator. Only groups holding at least one name appear. Entry i of
// `names` gets command kFirstCatalogueCommand + i (`names` must hold fewer than
// INT32_MAX - kFirstCatalogueCommand names). An entry is checked when `current` is not empty
// and equals its name; when no name equals `current` exactly, those equal to it without regard
// to letter case are checked instead.
std::vector<CatalogueMenuGroup> BuildCatalogueMenu(std::span<const std::string> names, std::string_view current);

// The file names of the archives in `modelsFolder` (either separator, any letter case): regular
// files, or links to them, whose names end in ".zip" in any letter case and are longer than
// that. Sorted without regard to letter case (ASCII), then byte by byte. A folder that does not
// exist or cannot be read gives none.
std::vector<std::string> ListCatalogueArchives(std::string_view modelsFolder);

// The folders, beyond those of TexturesPath.txt, where the textures and masks of catalogue
// models are looked for: "<objectPath>/textures" (either separator, any letter case) resolved,
// when it is an existing folder; otherwise none. Textures there may also be zipped, one image
// per archive (see ReadZippedFile).
std::vector<std::string> CatalogueTextureDirs(std::string_view objectPath);

// ---- Extraction -----------------------------------------------------------------------------

enum class ExtractStatus {
    Ok,
    NoSuchEntry,    // the command number names no catalogue entry
    CannotOpen,     // the archive cannot be opened
    NotAZip,        // not a zip archive, or a damaged one
    NoScript,       // the archive holds no member ending in ".rwx"
    Corrupt,        // the script's data is damaged
    Unsupported,    // the script is compressed by a method that is not supported
    TooLarge,       // the script would be larger than the limit
    NeedsPassword,  // the script is encrypted and the password is missing or wrong
    CannotWrite,    // the temporary folder cannot be made or written
};

struct ExtractResult {
    ExtractStatus status = ExtractStatus::NoSuchEntry;
    // Where the script is put: "<tempFolder>/<name>.rwx". Set whatever the status (except
    // NoSuchEntry), so it can become the current file that Reload reads again.
    std::string scriptPath;
    bool Ok() const { return status == ExtractStatus::Ok; }
};

// "<tempFolder>/<name>.rwx", every '/' and '\' of `name` replaced by '_' so the script always
// lands directly in `tempFolder`.
std::string ExtractedScriptPath(std::string_view tempFolder, std::string_view name);

// Extracts the model script of the archive at `archivePath` to ExtractedScriptPath(tempFolder,
// name). The script is the first member whose file name (after its folders) is "<name>.rwx" in
// any letter case, else the member FindModelScript takes (the first script in alphabetical
// order). No other
// member is extracted and no path from the archive is ever used. `password` ("" for none)
// opens encrypted members. At most `maxBytes` are written, whatever the archive claims.
// `tempFolder` is created (with its parents) when missing. The script is written to a fresh
// temporary file in `tempFolder` (named ".extract-XXXXXX.rwx") and renamed over the target,
// so the target is either the old file or the complete new one.
// On failure exactly one error line naming the archive is written to `log`, the temporary file is
// removed and so is any earlier script at the target path, so that reading it yields the
// empty object rather than a stale model.
ExtractResult ExtractModelScript(std::string_view archivePath, std::string_view name, std::string_view tempFolder,
                                 const std::string& password, ErrorLog& log,
                                 uint64_t maxBytes = kMaxExtractedScriptBytes);

// ---- Temporary folders ------------------------------------------------------------------------
//
// Every running viewer extracts into a folder of its own, "<base>/pelorus-<pid>-XXXXXX" (<pid>
// its process number, XXXXXX six letters and digits as mkdtemp picks them), private to the user
// (mode 0700) and removed with everything in it when the viewer ends. A folder left by a viewer
// that did not end cleanly is removed by the next one that starts, once no process of that
// number runs; the folders of viewers still running are never touched.

inline constexpr std::string_view kTempFolderPrefix = "pelorus-";

// The folder viewers make their folders in: `runtimeDir` (the user's runtime folder,
// $XDG_RUNTIME_DIR) when it is an absolute path of an existing folder this process can write,
// else `systemTemp` (the system's temporary folder) under the same conditions, else "/tmp".
std::string TempFolderBase(std::string_view runtimeDir, std::string_view systemTemp);

// The process number in a folder name "pelorus-<pid>-XXXXXX": <pid> decimal digits without sign
// or leading zero, from 1 to INT32_MAX, and XXXXXX exactly six ASCII letters or digits. nullopt
// for every other name.
std::optional<int32_t> TempFolderProcess(std::string_view name);

// Whether a process numbered `pid` exists (of any user). False for 0 and negative numbers.
bool ProcessIsRunning(int32_t pid);

// Removes the folder `folder` with everything in it, never following a symbolic link: links are
// removed as links, wherever they point. `folder` itself must be a folder, not a link to one
// (which is left alone, and so is anything else that is not a folder). True when nothing of that
// name is left (also when there was none); what could not be removed stays.
bool RemoveFolderTree(std::string_view folder);

// The start-up clean-up of `base`: removes, as RemoveFolderTree does, each entry directly in
// `base` whose name TempFolderProcess reads, that is a folder (not a link to one) owned by this
// process's user, and whose process `isRunning` says has ended. Nothing else in `base` is
// removed, opened or followed. Returns how many folders were removed.
int RemoveStaleTempFolders(std::string_view base, const std::function<bool(int32_t)>& isRunning = ProcessIsRunning);

// This viewer's temporary folder, made at construction and removed when the object goes.
class SessionTempFolder {
public:
    // Removes the stale folders of `base` (RemoveStaleTempFolders), then makes
    // "<base>/pelorus-<pid>-XXXXXX" with mode 0700 (`base` and its missing parents are made
    // first, mode 0700). When it cannot be made, Path() is "" and one error line naming `base`
    // goes to `log`.
    SessionTempFolder(std::string_view base, ErrorLog& log);
    // Removes the folder with everything in it (RemoveFolderTree).
    ~SessionTempFolder();
    SessionTempFolder(const SessionTempFolder&) = delete;
    SessionTempFolder& operator=(const SessionTempFolder&) = delete;

    // The folder, absolute; "" when none could be made.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// ---- The catalogue ----------------------------------------------------------------------------

// The catalogue of the object path last applied with one, and the entry opened last.
class Catalogue {
public:
    // A world with an empty `objectPath` keeps the previous catalogue: nothing changes and the
    // result is false. Otherwise the catalogue becomes the archives of "<objectPath>/models"
    // (ListCatalogueArchives; a relative path resolves against `baseFolder`, or the process's
    // current folder when that is empty, now, and later opening depends on neither) and the
    // result is true.
    bool Rebuild(std::string_view objectPath, std::string_view baseFolder = {});

    // Entry names: archive file names without their ".zip", in catalogue order.
    const std::vector<std::string>& Names() const { return names_; }
    // The entry that `command` opens; none when it names no entry.
    std::optional<std::size_t> EntryOfCommand(int32_t command) const;
    // The archive of entry `index` (absolute); "" when there is no such entry.
    std::string ArchivePath(std::size_t index) const;
    // The folders for this catalogue's textures (CatalogueTextureDirs of its object path).
    std::vector<std::string> TextureDirs() const;

    // The group items of the object menu (BuildCatalogueMenu with the current entry).
    std::vector<CatalogueMenuGroup> Menu() const;

    // The name of the entry opened last; "" at first and after ClearCurrentEntry. It outlives
    // rebuilds, so the same model in another world's catalogue shows checked too.
    const std::string& CurrentEntry() const { return current_; }
    // For loads that show something other than a catalogue entry.
    void ClearCurrentEntry() { current_.clear(); }

    // Extracts the script of the entry `command` opens into `tempFolder` (ExtractModelScript)
    // and makes that entry the current one, whether or not the extraction works. A command
    // that names no entry changes nothing, writes one line to `log` and gives NoSuchEntry with
    // no path.
    ExtractResult Open(int32_t command, std::string_view tempFolder, const std::string& password, ErrorLog& log,
                       uint64_t maxBytes = kMaxExtractedScriptBytes);

private:
    std::string objectPath_;    // absolute, as it was when the catalogue was built
    std::string modelsFolder_;  // absolute and resolved
    std::vector<std::string> files_;
    std::vector<std::string> names_;
    std::string current_;
};

}  // namespace pelorus
