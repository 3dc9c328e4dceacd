#pragma once
// The viewer window's behaviour as plain code: the menu bar as a table, the view flags and camera
// values, the key table, pointer dragging, command dispatch by number, and the rule that turns
// the command line into the first file shown. The Qt window only carries out what this decides.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/viewstate.h"

namespace pelorus {

// ---------------------------------------------------------------------------------------------
// Command numbers

// Menu-bar items (they only open their menus).
inline constexpr int32_t kFileMenu = 0;
inline constexpr int32_t kViewMenu = 100;
inline constexpr int32_t kWorldMenu = 200;
inline constexpr int32_t kObjectMenu = 300;
inline constexpr int32_t kHelpMenu = 400;

inline constexpr int32_t kCmdOpen = 1;
inline constexpr int32_t kCmdReload = 2;
inline constexpr int32_t kCmdRecent = 3;
inline constexpr int32_t kCmdFileProperties = 4;
inline constexpr int32_t kCmdAssociations = 5;
inline constexpr int32_t kCmdExit = 6;
inline constexpr int32_t kCmdExport = 7;
inline constexpr int32_t kCmdAxes = 101;
inline constexpr int32_t kCmdGeometry = 102;
inline constexpr int32_t kCmdObject = 103;
inline constexpr int32_t kCmdNormals = 104;
inline constexpr int32_t kCmdBackdrop = 105;
inline constexpr int32_t kCmdSkybox = 106;
inline constexpr int32_t kCmdGround = 107;
inline constexpr int32_t kCmdFog = 108;
inline constexpr int32_t kCmdLighting = 109;
inline constexpr int32_t kCmdTopMost = 110;
inline constexpr int32_t kCmdAutoReload = 111;
// View > Draw Distance: the submenu, then one item per distance of kDrawDistances.
inline constexpr int32_t kCmdDrawDistance = 120;
inline constexpr int32_t kFirstDrawDistanceCommand = 121;
// The draw distances offered, in metres (10 metres are one model unit); 0 draws everything.
inline constexpr double kDrawDistances[] = {0, 50, 100, 200, 500, 1000};
inline constexpr double kMetresPerUnit = 10;
inline constexpr int32_t kCmdWorldProperties = 201;
// Carried out by the viewer's session, which listens to its item; Command() gives None for it.
inline constexpr int32_t kCmdTextureFolders = 202;
inline constexpr int32_t kCmdObjectProperties = 301;
inline constexpr int32_t kCmdOnlineHelp = 401;
inline constexpr int32_t kCmdAbout = 402;
// Entries of the Recent submenu: entry i (0 = newest) has kFirstRecentCommand + i.
inline constexpr int32_t kFirstRecentCommand = 1001;
inline constexpr int32_t kRecentCommandCount = 10;

// ---------------------------------------------------------------------------------------------
// The menu bar

struct MenuItemRow {
    std::string_view text;   // "-" is a separator; text after "\t" is a shortcut shown, not bound
    int32_t command = 0;     // 0 for separators
    bool checkable = false;  // shows a check mark that follows ViewerShell::Checked
    bool submenu = false;    // opens a submenu instead of acting: Recent (filled later) or `items`
    std::span<const MenuItemRow> items = {};
};

struct MenuRow {
    std::string_view text;
    int32_t command = 0;  // the bar item's number: kFileMenu ... kHelpMenu
    std::span<const MenuItemRow> items;
};

// The menus of the bar, left to right, each with its items in order.
std::span<const MenuRow> MenuBarTable();

// The label of Recent entry `index` (0-based): "&1 " ... "&9 ", then "1&0 ", followed by the
// path with every '&' doubled (so it shows as written) and tabs shown as blanks.
std::string RecentMenuLabel(std::size_t index, std::string_view path);

// ---------------------------------------------------------------------------------------------
// What the window does after the shell handled a command, key or pointer event

enum class ShellAction {
    None,              // nothing changed
    Redraw,            // a view flag or camera value changed: show it (checks follow the flags)
    OpenDialog,        // ask for a file to open
    ExportDialog,      // ask for a glTF file to export what is shown to
    Reload,            // load the current file again
    OpenRecent,        // open Recent entry (command - kFirstRecentCommand)
    ObjectProperties,  // show the Object Properties window
    WorldProperties,   // show the World Properties window
    Exit,              // close the main window, which ends the program
    TopMost,           // keep the window above others, or not, as Flags().topmost says
    AutoReload,        // start or stop watching the shown files, as AutoReload() says
    About,             // show the program's name and version
    Catalogue,         // open a catalogue entry (command >= kFirstCatalogueCommand)
};

// The view flags, camera values and pointer state of the main window.
class ViewerShell {
public:
    const ViewFlags& Flags() const { return flags_; }
    const Camera& CameraValues() const { return camera_; }
    bool AutoReload() const { return autoReload_; }
    // The draw distance chosen in View > Draw Distance, in metres; 0 for all (the default).
    double DrawDistanceMetres() const { return drawDistanceMetres_; }

    // The check state that the menu item `command` shows: its view flag (101 to 110) or Auto
    // Reload (111); false for every other number.
    bool Checked(int32_t command) const;

    // A menu command by number. Checkable items flip their flag first. Unknown numbers, the
    // Recent submenu item itself and the items without an action (Associations, Online Help)
    // give kNone.
    ShellAction Command(int32_t command);

    // A character typed in the view; letter case matters (see the key table in the .cpp). Every
    // character without a meaning gives kNone.
    ShellAction Character(char32_t c);

    // Pointer, in the view's pixel coordinates (negative or beyond the view while a button is
    // held). A left or right press records the position; a move with the left button held turns
    // by 0.5 degree per pixel (pitch by y, yaw by x), then with the right button held moves the
    // eye by 0.1 unit per pixel of y and turns yaw by 0.25 degree per pixel of x. The position is
    // recorded after each step, so with both buttons held the right step sees no movement.
    // Returns true when the camera changed.
    void PointerPressed(int32_t x, int32_t y);
    bool PointerMoved(int32_t x, int32_t y, bool leftHeld, bool rightHeld);

    // The wheel: `angleDelta` in eighths of a degree (120 per notch, positive away from the
    // user) brings the eye 0.1 unit closer per notch, as the a key does; finer wheels move
    // proportionally less.
    bool Wheel(int32_t angleDelta);

private:
    // The flag that menu item `command` shows; null for items without one.
    template <typename Shell>
    static auto* FlagOf(Shell& shell, int32_t command);

    ViewFlags flags_;
    Camera camera_;
    bool autoReload_ = true;
    double drawDistanceMetres_ = 0;
    int32_t lastX_ = 0, lastY_ = 0;
};

// ---------------------------------------------------------------------------------------------
// The command line

// The path that the program's arguments name: the arguments joined by single blanks (a path
// with blanks may come split), leading blanks skipped, and a pair of double quotes removed when
// the text is at least two characters long and begins and ends with one. Anything else is used
// unchanged; no arguments give "". A first argument "--" only ends the options and is dropped.
std::string CommandLinePath(std::span<const std::string> args);

// How the first file is shown. `currentFile` is the path in slash form, made absolute against
// the start-up folder and resolved without regard to letter case, so that reloading finds it
// again after the current folder has changed; `folder` is its folder, which becomes the current
// folder. Both are "" for an empty path.
struct FirstLoad {
    std::string currentFile;
    std::string folder;
};
FirstLoad PlanFirstLoad(std::string_view commandLinePath, std::string_view startFolder);

// ---------------------------------------------------------------------------------------------
// Texture animation

// Milliseconds from `nowMs` (steady clock) to the next change of animation frame: 1 to the
// frame length (200), so a redraw then shows the next frame.
int64_t MillisecondsToNextAnimationFrame(int64_t nowMs);

// ---------------------------------------------------------------------------------------------
// Fixed texts

inline constexpr std::string_view kMainWindowTitle = "Pelorus";
inline constexpr std::string_view kOpenDialogTitle = "Open an RWX File";
inline constexpr std::string_view kOpenDialogFilters[] = {
    "All Supported Files (*.rwx *.RWX *.zip *.ZIP *.txt *.TXT)",
    "RenderWare Scripts (*.RWX)",
    "Object Maps (*.TXT)",
    "All Files (*.*)",
};
inline constexpr std::string_view kFatalCaption = "Fatal error, program will now exit.";
inline constexpr std::string_view kGlWindowError = "Error creating the GL window !";
inline constexpr std::string_view kObjectPropertiesError = "Error creating the Object Properties window !";
inline constexpr std::string_view kAskTextError = "Error creating the Ask For Text window !";

// The program's version ("0.1.0").
std::string_view ProgramVersion();
// The About box: title and text naming the program and its version.
std::string AboutTitle();
std::string AboutText();

}  // namespace pelorus
