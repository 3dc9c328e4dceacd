#pragma once
// The viewer window's behaviour as plain code: the menu bar as a table, the view flags and camera
// values, the key table, pointer dragging, command dispatch by number, and the rule that turns
// the command line into the first file shown. The Qt window only carries out what this decides.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scene/framing.h"
#include "scene/location.h"
#include "scene/viewstate.h"
#include "scene/walk.h"

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
inline constexpr int32_t kCmdSaveSnapshot = 7;
inline constexpr int32_t kCmdExport = 8;
// The next and the previous model of the current file's folder, in name order (ModelBeside).
inline constexpr int32_t kCmdNextInFolder = 9;
inline constexpr int32_t kCmdPreviousInFolder = 10;
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
inline constexpr int32_t kCmdFitToModel = 112;
inline constexpr int32_t kCmdMarkMissing = 113;
// View > Pick Mode: a plain left click picks the face under the pointer, as Ctrl+click always does.
inline constexpr int32_t kCmdPickMode = 114;
// View > Walk Mode: W A S D and Page Up / Page Down walk (see ViewerShell::WalksWith) instead of
// acting as the letters and the folder keys. On by itself when a world (an object dump) is opened,
// off when anything else is.
inline constexpr int32_t kCmdWalkMode = 115;
// View > Draw Distance: the submenu, then one item per distance of kDrawDistances.
inline constexpr int32_t kCmdDrawDistance = 120;
inline constexpr int32_t kFirstDrawDistanceCommand = 121;
// The draw distances offered, in metres (10 metres are one model unit); 0 draws everything.
inline constexpr double kDrawDistances[] = {0, 50, 100, 200, 500, 1000};
inline constexpr double kMetresPerUnit = 10;
inline constexpr int32_t kCmdWorldProperties = 201;
// Carried out by the viewer's session, which listens to its item; Command() gives None for it.
inline constexpr int32_t kCmdTextureFolders = 202;
// World > Go To...: ask for a location (see ParseLocation) and move the orbit centre there.
inline constexpr int32_t kCmdGoTo = 203;
// World > Import Attributes...: carried out by the viewer's session, as Texture Folders is.
inline constexpr int32_t kCmdImportAttributes = 204;
// World > Empty Cache: removes the cached copies of the world's web object path. Carried out by
// the viewer's session, like Texture Folders.
inline constexpr int32_t kCmdEmptyCache = 205;
inline constexpr int32_t kCmdObjectProperties = 301;
inline constexpr int32_t kCmdOnlineHelp = 401;
inline constexpr int32_t kCmdAbout = 402;
// Entries of the Recent submenu: entry i (0 = newest) has kFirstRecentCommand + i.
inline constexpr int32_t kFirstRecentCommand = 1001;
inline constexpr int32_t kRecentCommandCount = 10;

// ---------------------------------------------------------------------------------------------
// The menu bar

struct MenuItemRow {
    // "-" is a separator. "&" marks the item's mnemonic ("&&" is a plain "&"); the text after
    // "\t" is the shortcut shown, which is also bound (see ItemShortcuts).
    std::string_view text;
    int32_t command = 0;     // 0 for separators
    bool checkable = false;  // shows a check mark that follows ViewerShell::Checked
    bool submenu = false;    // opens a submenu (Recent) instead of acting
    // Further keys that carry the item out, in the portable names of key sequences ("Ctrl+O",
    // "F5"), separated by "; ". An item without shown shortcut shows the first of them.
    std::string_view keys = {};
    std::span<const MenuItemRow> items = {};  // the items of a submenu made from the table
};

struct MenuRow {
    std::string_view text;
    int32_t command = 0;  // the bar item's number: kFileMenu ... kHelpMenu
    std::span<const MenuItemRow> items;
};

// The menus of the bar, left to right, each with its items in order.
std::span<const MenuRow> MenuBarTable();

// The shortcut a menu text shows: what follows its first "\t", "" without one.
std::string_view ShownShortcut(std::string_view text);
// Every key of an item: the shown shortcut first (when there is one), then its further keys, in
// order, blanks around each trimmed and empty ones left out.
std::vector<std::string> ItemShortcuts(const MenuItemRow& item);
// The keys of an item while Walk Mode is `walkMode`: in it, without those walking takes
// (kWalkModeKeys); otherwise all of them.
std::vector<std::string> ItemShortcuts(const MenuItemRow& item, bool walkMode);
// The item's text as its menu shows it while Walk Mode is `walkMode`: without the shortcut part
// when walking takes that key, otherwise as written.
std::string ShownItemText(const MenuItemRow& item, bool walkMode);
// The mnemonic of a menu text: the character after its first single "&" before any "\t", upper
// case for ASCII letters; 0 when there is none ("&&" is a plain "&", and a "&" at the end or
// before the tab marks nothing).
char32_t MnemonicOf(std::string_view text);
// The text as the user reads it: without the shortcut part, with "&" marks removed and "&&"
// shown as "&".
std::string PlainMenuText(std::string_view text);
// The text with its mnemonic mark removed ("&&" stays), the shortcut part kept.
std::string WithoutMnemonic(std::string_view text);

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
    About,             // show the program's name, version, libraries and licence
    Catalogue,         // open a catalogue entry (command >= kFirstCatalogueCommand)
    Fit,               // frame the model again (FrameModel with the current yaw)
    Help,              // show the reference of keys and mouse actions
    SaveSnapshot,      // ask for a PNG file and write the view to it
    Associations,      // make the viewer the user's default for scripts, and say what was done
    NextInFolder,      // open the next model of the current file's folder
    PreviousInFolder,  // open the previous one
    GoToDialog,        // ask for a location and move there (GoTo)
    Walk,              // a walking key went down and moved a step: show it, and walk on while it is held
    WalkMode,          // Walk Mode was switched: its check and the keys the menus bind follow
};

// Keys beyond the characters of the key table, in the window's terms: those that walk.
enum class ViewKey { Other, Up, Down, Left, Right, PageUp, PageDown, W, A, S, D };
// The menu keys (in the portable names of ItemShortcuts) that Walk Mode takes for walking.
inline constexpr std::string_view kWalkModeKeys[] = {"W", "A", "S", "D", "PgUp", "PgDown"};
// A key pressed and released within this time still walks this far: one step.
inline constexpr double kWalkStepSeconds = 0.1;
// The longest time one walking step covers: a frame slower than this walks less far.
inline constexpr double kMaxWalkSeconds = 0.25;

// Mouse buttons held during a move, and whether Shift is held.
struct PointerButtons {
    bool left = false;
    bool right = false;
    bool middle = false;
    bool shift = false;
};

// How far the keys move the camera: the steps of the key table for a
// model whose bounding sphere has a radius of at most kStepRadius, grown in proportion to the
// radius for larger models (see ViewerShell::StepScale).
inline constexpr double kStepRadius = 1.0;
// How far a right-button drag zooms: this much of a wheel notch per pixel.
inline constexpr double kRightDragNotches = 0.1;

// The camera that frames a model of `bounds` in a view of `aspect` (width / height) seen from
// `yaw` degrees, as opening a file and Fit to Model make it: FrameBounds with kFieldOfView, the
// distance kept above MinDistance of the radius. Empty bounds (nothing open) give the initial
// camera raised to kFramePitch above the ground, so the ground is seen from above rather than
// edge-on, turned to `yaw` (0 for a yaw that is not finite).
Camera FramedCamera(const Bounds& bounds, double aspect, double yaw);

// The view choices kept between runs, each as a name and a value: one per checkable View item
// ("axes", "geometry", "object", "normals", "backdrop", "skybox", "ground", "fog", "lighting",
// "topmost", "autoReload", "missingTextures": "1" or "0") and "drawDistance" (the metres of
// kDrawDistances, "0" for all).
using ViewChoices = std::vector<std::pair<std::string, std::string>>;

// The view flags, camera values and pointer state of the main window, and the bounds of the
// model shown, which give the camera its limits and its steps.
class ViewerShell {
public:
    const ViewFlags& Flags() const { return flags_; }
    const Camera& CameraValues() const { return camera_; }
    bool AutoReload() const { return autoReload_; }
    // View > Pick Mode (off at first, not remembered).
    bool PickMode() const { return pickMode_; }
    // Whether a left click with Ctrl held (`control`) or without picks a face.
    bool ClickPicks(bool control) const { return control || pickMode_; }
    // The camera orbits `point` from now on, seen from where it stands (OrbitCentredOn, never
    // nearer than MinimumDistance).
    void CentreOn(const Vec3& point);
    // The draw distance chosen in View > Draw Distance, in metres; 0 for all (the default).
    double DrawDistanceMetres() const { return drawDistanceMetres_; }

    // The model shown (its objects without ground and skybox; see ObjectsBounds), and whether it
    // is a world (an object dump). The camera is kept, raised to the new smallest distance when it
    // is nearer.
    void SetModelBounds(const Bounds& bounds, bool world = false);
    const Bounds& ModelBounds() const { return bounds_; }
    bool WorldShown() const { return world_; }
    // The camera becomes FramedCamera of the model bounds. For a world with a draw distance and
    // its `scene`, only the objects within the draw distance of the orbit centre are framed
    // (BoundsNear); with none there, the orbit centre is shown as a world opens (WorldViewAt).
    void FrameModel(double aspect, double yaw, const TObjectMap* scene = nullptr);
    // A file was opened and SetModelBounds told of it: a world (`objects` of an object dump) opens
    // at WorldOpeningCamera with `entryPoint`, anything else framed from yaw 0 (FrameModel). Walk
    // Mode is on for a world and off otherwise; no walking key stays held.
    void Opened(const SceneObjects& objects, std::string_view entryPoint, double aspect);
    // The smallest distance of the camera: MinDistance of the model's radius.
    double MinimumDistance() const;
    // What the key steps are multiplied by: 1 for a model of radius
    // kStepRadius or less (and without model), the radius / kStepRadius above.
    double StepScale() const;
    // The near and far planes for the camera and the model (SceneDepthRange).
    DepthRange Depth() const;

    // The check state that the menu item `command` shows: its view flag (101 to 110, 113), Auto
    // Reload (111) or a Draw Distance entry; false for every other number.
    bool Checked(int32_t command) const;

    // The choices of the View menu now (see ViewChoices), and taking back those kept. Names that
    // are not known, values other than "1" and "0", and distances that are not offered are
    // skipped; choices missing from `kept` keep their present values.
    ViewChoices Choices() const;
    void RestoreChoices(const ViewChoices& kept);

    // A menu command by number. Checkable items flip their flag first. Unknown numbers, the
    // Recent submenu item itself and the items without an action (Associations) give kNone.
    ShellAction Command(int32_t command);

    // A character typed in the view; letter case matters (see the key table in the .cpp). Every
    // character without a meaning gives kNone. The distance keys never bring the eye nearer
    // than MinimumDistance; steps are multiplied by StepScale.
    ShellAction Character(char32_t c);

    // Pointer, in the view's pixel coordinates (negative or beyond the view while a button is
    // held). A press records the position. A move with the left button held (without Shift)
    // turns by 0.5 degree per pixel (pitch by y, kept within +-kMaxPitch, yaw by x); then with
    // the right button held it zooms in proportion to the distance as the wheel does,
    // kRightDragNotches of a wheel notch per pixel of y (down moves away; never nearer than
    // MinimumDistance, so never past the orbit centre), and turns yaw by 0.25 degree per pixel
    // of x. With the middle button, or the left one with Shift, it pans: the point under the
    // pointer at the orbit centre's depth follows it, in a view `viewportHeight` pixels high
    // (nothing pans for 0 or less). The position is recorded after each step, so with several
    // buttons held only the first step sees the movement. Returns true when the camera may have
    // changed.
    void PointerPressed(int32_t x, int32_t y);
    bool PointerMoved(int32_t x, int32_t y, PointerButtons held, int32_t viewportHeight = 0);

    // The wheel: `angleDelta` in eighths of a degree (120 per notch, positive away from the
    // user) zooms in by one kZoomStep per notch, in proportion to the distance; finer wheels
    // zoom proportionally less. Never nearer than MinimumDistance.
    bool Wheel(int32_t angleDelta);

    // Moves the orbit centre to `at` (CameraAt: turned to its yaw when it has one), keeping pitch
    // and distance; the distance is raised to MinimumDistance when nearer.
    void GoTo(const Location& at);

    // Walking. View > Walk Mode (Checked(kCmdWalkMode)).
    bool WalkMode() const { return walkMode_; }
    // Whether `key` walks now: the arrow keys always (forwards, back, left, right), W S A D and
    // Page Up / Page Down (up, down) in Walk Mode.
    bool WalksWith(ViewKey key) const;
    // A key went down. One that walks and was not held yet moves the orbit centre one step
    // (kWalkStepSeconds at WalkSpeed, faster with `shift`), is held from now on and gives Walk;
    // anything else (a held key pressed again, as auto-repeat does) gives None and changes nothing.
    ShellAction KeyDown(ViewKey key, bool shift);
    // A key went up: it is held no longer.
    void KeyUp(ViewKey key);
    // Whether any walking key is held.
    bool Walking() const { return held_ != 0; }
    // `seconds` of walking in the directions of the keys held (opposite keys cancel), at WalkSpeed
    // for the camera's distance and the model, faster with `shift`. The first kWalkStepSeconds after
    // a first key went down were walked by its step already; at most kMaxWalkSeconds count. True
    // when the camera moved.
    bool Walk(double seconds, bool shift);
    // Every walking key counts as released (the window lost the keyboard).
    void StopWalking();

private:
    // The flag that menu item `command` shows; null for items without one.
    template <typename Shell>
    static auto* FlagOf(Shell& shell, int32_t command);
    void Turn(double dPitch, double dYaw);
    WalkDirections HeldDirections() const;
    double WalkSpeedNow(bool shift) const;

    ViewFlags flags_;
    Camera camera_;
    Bounds bounds_;
    bool autoReload_ = true;
    bool pickMode_ = false;
    double drawDistanceMetres_ = 0;
    int32_t lastX_ = 0, lastY_ = 0;
    bool world_ = false;
    bool walkMode_ = false;
    uint32_t held_ = 0;       // a bit per ViewKey held
    double walkedAhead_ = 0;  // seconds of walking the first step took ahead of the clock
};

// ---------------------------------------------------------------------------------------------
// The reference of keys and mouse actions

struct KeyHelpRow {
    std::string keys;    // "Ctrl+O", "R, F5", "Middle drag"
    std::string action;  // "File > Open...", "Nearer by a step"
    bool operator==(const KeyHelpRow&) const = default;
};
// Every key and mouse action of the main window: the menu items with keys (their menu and item
// as "Menu > Item", "(on or off)" added for checkable ones; each key listed once, at its first
// item, letters of the key table with the item they act as), then the camera keys of the key
// table, then the mouse.
std::vector<KeyHelpRow> KeyReference();
// What the reference says below its rows about letter case and step sizes.
std::string KeyReferenceNote();

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
// Where windows open

struct WindowRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const WindowRect&) const = default;
};
// The main window's first place on a screen whose free area is `screen`: two thirds of its
// width and of its height, at least kMinMainWidth x kMinMainHeight but never larger than the
// screen, centred on it. Sizes of 0 or less count as 0.
inline constexpr int32_t kMinMainWidth = 800;
inline constexpr int32_t kMinMainHeight = 600;
WindowRect MainWindowRect(const WindowRect& screen);
// Where a window of `width` x `height` opens beside the main window's frame `main`: right of it
// when it fits on `screen` there, else left of it, else against the screen's right edge; its top
// level with the main window's, both moved as little as needed to keep it on the screen (its
// top-left corner stays on the screen when it is larger).
WindowRect BesideRect(const WindowRect& main, int32_t width, int32_t height, const WindowRect& screen);

// ---------------------------------------------------------------------------------------------
// Texture animation

// Milliseconds from `nowMs` (steady clock) to the next change of animation frame: 1 to the
// frame length (200), so a redraw then shows the next frame.
int64_t MillisecondsToNextAnimationFrame(int64_t nowMs);

// ---------------------------------------------------------------------------------------------
// Fixed texts

inline constexpr std::string_view kMainWindowTitle = "Pelorus";
// What the view says while nothing is open.
inline constexpr std::string_view kEmptyViewHint = "Open a model (Ctrl+O) or drop a file here";
inline constexpr std::string_view kOpenDialogTitle = "Open an RWX File";
inline constexpr std::string_view kOpenDialogFilters[] = {
    "All Supported Files (*.rwx *.RWX *.zip *.ZIP *.txt *.TXT *.gltf *.GLTF *.glb *.GLB *.obj *.OBJ)",
    "RenderWare Scripts (*.RWX)",
    "glTF and OBJ Models (*.gltf *.GLTF *.glb *.GLB *.obj *.OBJ)",
    "Object Maps (*.TXT)",
    "All Files (*.*)",
};
inline constexpr std::string_view kFatalCaption = "Fatal error, program will now exit.";
inline constexpr std::string_view kGlWindowError = "Error creating the GL window !";
inline constexpr std::string_view kObjectPropertiesError = "Error creating the Object Properties window !";
inline constexpr std::string_view kAskTextError = "Error creating the Ask For Text window !";

inline constexpr std::string_view kHelpTitle = "Keys and Mouse";
// The licence the program is distributed under, as the About box names it.
inline constexpr std::string_view kLicenceName = "MIT License";

// The program's version ("0.1.0").
std::string_view ProgramVersion();

// A library the program runs with, and its version ("" when it cannot be told).
struct LibraryVersion {
    std::string name;
    std::string version;
};
// The About box: title and text naming the program, its version, `libraries` (one line each,
// "name version", or the name alone without version) and the licence.
std::string AboutTitle();
std::string AboutText(std::span<const LibraryVersion> libraries = {});

}  // namespace pelorus
