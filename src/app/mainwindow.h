#pragma once
// The main window "NAME — Pelorus": the menu bar with its shortcuts, the view, keys, pointer,
// dropped files, the Open dialog, Reload, Recent and the models beside the file shown, automatic
// reloading of the files shown, the status bar with the summary of the last load, snapshots,
// exports, the file associations, and the Object Properties and help windows. View choices are
// kept between runs. What each command, key and drag means is decided by ViewerShell; this class carries it
// out.

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QRect>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/fatalerror.h"
#include "app/sceneview.h"
#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "scene/modeldemand.h"
#include "scene/pick.h"
#include "scene/worldlook.h"
#include "shell/filewatch.h"
#include "shell/objectinfo.h"
#include "shell/recentfiles.h"
#include "shell/viewershell.h"
#include "world/worldload.h"
#include "world/worldloader.h"

class QLabel;
class QMenu;
class QPushButton;

namespace pelorus {

class HelpWindow;
class ObjectProperties;

// The world applied after every load: its name (shown by Object Properties) and its look.
struct CurrentWorld {
    std::string name;  // "" for the built-in default world
    WorldLook look;
    // Searched after the ReadOptions folders for the backdrop and the ground's and skybox's
    // textures (the program's own data folder).
    std::vector<std::string> textureDirs = {};
};

struct MainWindowOptions {
    // The OpenGL view; without it a PlainView stands in (no OpenGL, for the offscreen platform).
    bool glView = true;
    // The error log every load writes to and Object Properties shows; null gives the window one
    // of its own.
    ErrorLog* log = nullptr;
    // The user's configuration folder: "Recent.txt" and the settings of UserSettings (the folders
    // the dialogs start in, the view choices) are kept there. "" keeps nothing between runs.
    std::string settingsFolder;
    // Where textures are looked for (the base folder of every read is the current folder at
    // the moment of reading).
    ReadOptions readOptions;
    // The object path for the whole run ("--object-path"), in place of the current world's: where
    // the models of object dumps are looked for. Empty: the world's.
    std::optional<std::string> objectPath;
    // --action: the action every file of one model opened is given ("" for none).
    std::string action;
    // The password for the whole run ("--object-password"), in place of the current world's
    // object password: opens encrypted archives of the object path.
    std::optional<std::string> objectPassword;
    // How a failure to make a window is reported.
    FatalReporter fatal = ShowFatalMessage;
    // Where a window goes when it is first shown: a place remembered for the window of that
    // object name ("PELO_GLWindowClass" for the main window, "PELO_OPWindowClass", ...), or
    // nothing for the default place (MainWindowRect, BesideRect). Empty: the default places.
    // The rectangle's corner is the frame's position (QWidget::pos), its size that of the
    // window's inside (QWidget::size), as a window's pos() and size() give them back.
    std::function<std::optional<QRect>(const QString& objectName)> placement;
};

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The window titled "Pelorus" with the program's icon, its menu bar, view and status bar,
    // placed as options.placement says or by MainWindowRect on the primary screen, with the view
    // choices kept in the settings folder (the initial ones the first time); not shown yet, no
    // scene yet.
    explicit MainWindow(MainWindowOptions options = {});
    ~MainWindow() override;

    // The first load: `commandLinePath` (see CommandLinePath) is planned by PlanFirstLoad; the
    // file's folder becomes the current folder and the file is opened as OpenFile does (an empty
    // path gives the empty scene). A file that the Open dialog would refuse (ClassifyShownFile)
    // is refused with the same message, and nothing is open.
    void OpenAtStartup(std::string_view commandLinePath);
    // Makes `path` (made absolute against the current folder) the current file, loads it, frames
    // it (ViewerShell::FrameModel from yaw 0 for the view's aspect) and remembers it in Recent.
    // The current folder stays. A file that cannot be opened at all (missing, a folder, not
    // readable) is no success: its error line is logged and the status bar says why, but nothing
    // is open afterwards (no current file, the empty scene, the title "Pelorus", nothing added to
    // Recent).
    void OpenFile(const std::string& path);
    // A file the user chose (Open, Recent, a drop): opened (see OpenFile) when it is a script,
    // a zipped model, an object map or an object dump; anything else is refused with a message
    // (ClassifyShownFile) and nothing changes.
    void ShowChosenFile(const std::string& path);
    // Shows a catalogue entry's script, extracted to `path`: it becomes the current file (made
    // absolute; "" gives the empty scene) and is read as a script with `textureDirs` searched
    // after the ReadOptions folders and the members of `archive` (the entry's zip, "" for none)
    // searched before any folder, now and at every reload, until another file is opened.
    // With `extracted` false the extraction failed and said so: the scene shows an empty object
    // without reading the file (a reload reads it). Not remembered in Recent: extracted scripts
    // are deleted at every start and exit.
    void OpenCatalogueScript(const std::string& path, std::vector<std::string> textureDirs, bool extracted,
                             const std::string& archive = {});
    // Loads the current file again into a new scene (the empty scene when there is none), then
    // applies the current world. The camera stays (within the limits of the model read).
    // An object dump is read on a thread of its own (see WorldLoader): the scene shown stays until
    // its objects are placed, its models then appear as they are read, the status bar tells how
    // far it has come, and the load ends (framed, the world applied, sceneLoaded emitted) when
    // the last model came. Opening another file, reloading or closing the window cancels it.
    void LoadCurrentFile();
    // True while an object dump is being read.
    bool Loading() const { return loader_ != nullptr; }
    // Waits for the load going on to end, taking in everything it hands over (for tests and for
    // tools that need the whole scene before they go on).
    void WaitForLoad();

    // Where the world comes from; by default the built-in default world. Then applies it when a
    // scene is shown (before the first load there is nothing to apply it to: the load will).
    void SetWorldSource(std::function<CurrentWorld()> source);
    // Applies the current world to the scene (ground, skybox, light, fog, backdrop), redraws and
    // emits worldApplied.
    void ApplyCurrentWorld();

    // The Object menu and its separator, for menus that manage their own items there. Items
    // whose command number (QAction::data) is kFirstCatalogueCommand or above, anywhere below
    // the menu bar, are dispatched when triggered.
    QMenu* ObjectMenu() const { return objectMenu_; }
    QAction* ObjectMenuSeparator() const { return objectSeparator_; }

    // Carries out the menu command `command` (as choosing the item does).
    void Dispatch(int32_t command);

    const ViewerShell& Shell() const { return shell_; }
    // The log every load writes to.
    ErrorLog& Log() const { return *log_; }
    const std::string& CurrentFile() const { return currentFile_; }
    SceneView& View() { return *view_; }
    // The objects of the file shown (without ground and skybox).
    std::vector<const RWXObject*> ModelObjects() const;
    // The menu item of `command` (bar items by their numbers 0, 100, ... too); null when none.
    QAction* Action(int32_t command) const;
    QMenu* RecentMenu() const { return recentMenu_; }
    // The Object Properties window; null until it was first shown.
    ObjectProperties* Properties() const { return properties_; }
    // Shows the Object Properties window on page `page` (ObjectProperties::kGeneralPage ...).
    void ShowProperties(int page);
    // Picks the face under the point (x, y) of the view (its own coordinates): outlines it and
    // shows where it comes from on the Face page of Object Properties. Nothing under it drops the
    // outline. True when a face was picked.
    bool PickAt(const QPoint& viewPoint);
    // Makes the point of the face under (x, y) of the view the orbit centre; false (the camera
    // kept) when no face is there.
    bool CentreAt(const QPoint& viewPoint);
    // The key reference window; null until it was first shown.
    HelpWindow* Help() const { return help_; }
    // Where each load began in the log, oldest first (one mark per load, reloads too).
    const std::vector<LoadMark>& LoadMarks() const { return marks_; }
    // The error lines of the last load so far (the whole log before the first load).
    std::size_t LastLoadProblems() const;
    // What the status bar says: the counts of the last load, the size of what is shown, its
    // problems (a button that opens the Errors page: a warning icon and a link-styled count when
    // there are any) and a message ("" when all is well).
    QString StatusCounts() const;
    QString StatusSize() const;
    // Where the camera orbits, as worlds write locations ("2.5N 3W 90", see FormatLocation).
    QString StatusLocation() const;
    // Moves the orbit centre to `at` (ViewerShell::GoTo) and shows it.
    void GoTo(const Location& at);
    // World > Go To...: asks for a location, starting from the present one; one that does not
    // read is refused with its reason and asked for again.
    void GoToWithDialog();
    QPushButton* ProblemsButton() const { return problems_; }
    QString StatusMessage() const;
    // The hint the view shows while nothing is open (kEmptyViewHint).
    QLabel* EmptyHint() const { return hint_; }
    // Places a window that belongs to this one (a Properties window) beside it, as
    // options.placement says or by BesideRect, before its first show.
    void PlaceBeside(QWidget& window) const;
    const RecentFiles& Recent() const { return recent_; }
    // "" when the window keeps no settings.
    std::string RecentPath() const;
    const std::string& SettingsFolder() const { return settingsFolder_; }

    // What the Open command asks for a file with: the Open dialog unless replaced (tests replace
    // it to choose without a dialog). Nothing chosen changes nothing.
    using FileChooser = std::function<std::optional<std::string>(QWidget* owner)>;
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // What Save Snapshot and Export ask for the file to write with: a save dialog starting at
    // `suggested` unless replaced (tests replace it). Nothing chosen writes nothing. Each dialog
    // starts in the folder it was last used in (kept between runs), else the model's folder.
    using SaveChooser = std::function<std::optional<std::string>(QWidget* owner, const std::string& suggested)>;
    // What the Export command asks for the glTF file to write with (.glb, or .gltf with its side
    // files). The models shown, not ground or skybox, are exported and the status bar names the
    // file written; an output that the output rules refuse, or a failed write, is told through
    // the export notice (a warning box unless replaced).
    void SetExportChooser(SaveChooser chooser) { exportChooser_ = std::move(chooser); }
    using ExportNotice = std::function<void(QWidget* owner, const std::string& message)>;
    void SetExportNotice(ExportNotice notice) { exportNotice_ = std::move(notice); }
    // What Save Snapshot asks for a PNG file with; the status bar names the file written.
    void SetSnapshotChooser(SaveChooser chooser) { snapshotChooser_ = std::move(chooser); }
    // What Go To asks for a location with, starting from `current`: an input dialog unless
    // replaced (tests replace it). Nothing given moves nothing.
    using LocationAsker = std::function<std::optional<std::string>(QWidget* owner, const std::string& current)>;
    void SetLocationAsker(LocationAsker asker) { locationAsker_ = std::move(asker); }
    // Writes the view as drawn now to `path` as a PNG, with the rules of every output
    // (CheckOutputFile against the files shown and their textures, then an atomic write). Returns
    // "" when written, else the reason, which the Save Snapshot command also shows in a message
    // box.
    std::string SaveSnapshot(const std::string& path);

signals:
    // "&Properties...\tP" of the World menu.
    void worldPropertiesRequested();
    // A catalogue entry's command (kFirstCatalogueCommand or above).
    void catalogueRequested(int command);
    // After every load of the current file, the world applied.
    void sceneLoaded();
    // At the end of every ApplyCurrentWorld (so after every load too).
    void worldApplied();
    // Open, Recent, a drop or the command line chose a file (not a catalogue entry, not a
    // reload); emitted before it is loaded.
    void fileChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    // The menus' texts and shortcuts as Walk Mode has them (ShownItemText, ItemShortcuts).
    void SyncShortcuts();
    // One pass of walking while a key is held: as far as the time since the last one goes.
    void WalkTick();
    CurrentWorld CurrentWorldNow() const;
    WorldLook CurrentLook() const;
    void BuildStatusBar();
    void Carry(ShellAction action, int32_t command);
    void SyncChecks();
    void RequestRedraw();
    void OpenWithDialog();
    std::optional<std::string> ChooseWithDialog();
    std::optional<std::string> ChooseSnapshotWithDialog(const std::string& suggested);
    void SaveSnapshotWithDialog();
    void ShowHelp();
    void ShowAbout();
    void MakeDefaultForScripts();
    void OpenBeside(int step);
    void ShowRefusal(const std::string& message);
    std::string DialogStart(std::string_view dialog, std::string_view name) const;
    void SaveChoices();
    FileChooser chooser_;
    void ExportWithDialog();
    std::optional<std::string> ChooseExportFile(const std::string& suggested);
    SaveChooser exportChooser_;
    ExportNotice exportNotice_;
    SaveChooser snapshotChooser_;
    void OpenRecent(std::size_t index);
    // How the current file is read: ReadOptions of the window with the current folder as the base
    // folder, and the object path in effect (ObjectPathInEffect).
    WorldReadOptions ModelReadOptions() const;
    // The run's object path when one was given, else that of the current world.
    std::string ObjectPathInEffect() const;
    // Starts a load: its mark in the log, the check that the file can be opened at all, and the
    // end of any pending automatic reload.
    void BeginLoad(bool reload);
    void ShowScene(std::unique_ptr<TObjectMap> scene, bool frame);
    // Reads the current file (BeginLoad was called): an object dump through a WorldLoader, any
    // other file at once.
    void ReadCurrentFile(bool frame);
    // Takes in what the load going on handed over, and shows how far it has come.
    void TakeLoaded();
    // The end of every load, whatever read it: bounds, framing, title, world, watched sources.
    void LoadFinished(bool frame);
    // Asks for the models the eye needs now (models read on demand), and takes in those read.
    void LookForModels();
    void TakeModels();
    void Frame(double yaw);
    double ViewAspect() const;
    void UpdateTitle();
    void UpdateStatus();
    void RefreshProperties();
    void ApplyTopMost();
    void Remember(const std::string& path);
    void RebuildRecentMenu();
    void WatchSources();
    void ArmWatcher();
    void SourcesChanged();
    void ReloadTimerFired();
    void CheckSources();
    QPoint ViewPoint(const QPointF& windowPoint) const;
    // The face of the scene shown under a point of the view, picked as it is drawn now.
    std::optional<FaceHit> FaceUnder(const QPoint& viewPoint) const;

    MainWindowOptions options_;
    ErrorLog ownLog_;
    ErrorLog* log_ = nullptr;
    ViewerShell shell_;
    SceneView* view_ = nullptr;
    std::string currentFile_;
    // Texture folders of the catalogue entry shown; empty for other files.
    std::vector<std::string> entryTextureDirs_;
    std::string entryArchive_;
    std::function<CurrentWorld()> worldSource_;
    LocationAsker locationAsker_;
    std::string worldName_;
    // The object path the shown scene was read with (see ApplyCurrentWorld: a dump is read again
    // when the world's object path changes).
    std::string sceneObjectPath_;
    std::map<int32_t, QAction*> actions_;
    QMenu* recentMenu_ = nullptr;
    QMenu* objectMenu_ = nullptr;
    QAction* objectSeparator_ = nullptr;
    ObjectProperties* properties_ = nullptr;
    HelpWindow* help_ = nullptr;
    QLabel* statusMessage_ = nullptr;
    QLabel* statusCounts_ = nullptr;
    QLabel* statusSize_ = nullptr;
    QLabel* statusLocation_ = nullptr;
    QPushButton* problems_ = nullptr;
    QLabel* hint_ = nullptr;
    // The file the last open asked for, opened or not: the models beside it are stepped through.
    std::string lastChosen_;
    ViewChoices savedChoices_;
    std::vector<LoadMark> marks_;
    std::string openProblem_;  // why the current file cannot be opened, "" when it can
    std::string offlinePath_;  // the web object path found unreachable by the last load, "" when none was
    std::string settingsFolder_;
    RecentFiles recent_;
    ChangeWatch sources_;
    QFileSystemWatcher watcher_;
    ReloadSchedule reloadSchedule_;
    QTimer reloadTimer_;
    QTimer walkTimer_;
    QElapsedTimer walkClock_;
    std::optional<bool> shortcutsWalkMode_;  // the Walk Mode the menus' shortcuts were set for
    // The load of an object dump going on, and whether its scene is framed when it ends.
    std::unique_ptr<WorldLoader> loader_;
    bool loadFrames_ = false;
    uint64_t loadsBegun_ = 0;  // counts BeginLoad: a hand-over knows whether another load began since
    QTimer loadTimer_;
    // With a draw distance, the models of the dump shown come as the eye needs them: asked for
    // at every redraw, taken in by the timer while any are on their way.
    std::unique_ptr<ModelFeed> feed_;
    QTimer feedTimer_;
};

}  // namespace pelorus
