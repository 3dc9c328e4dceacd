#include "app/mainwindow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <set>

#include "app/glview.h"
#include "app/helpwindow.h"
#include "app/objectproperties.h"
#include "app/programicon.h"
#include "app/qtext.h"
#include "app/screenshot.h"
#include "app/usersettings.h"
#include "export/gltfsave.h"
#include "net/webaddress.h"
#include "platform/libraries.h"
#include "platform/outputfile.h"
#include "platform/paths.h"
#include "scene/framing.h"
#include "scene/pick.h"
#include "shell/associations.h"
#include "shell/catalogue.h"
#include "shell/filekind.h"
#include "shell/modelfolder.h"
#include "shell/objectinfo.h"
#include "shell/picktool.h"
#include "shell/userfolders.h"

namespace pelorus {
namespace {

// How often a load going on is asked for what it read (and the status bar for how far it came).
constexpr int kLoadPollMs = 40;

QString Text(std::string_view text) {
    return ToQString(text);
}

WindowRect ToRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect AvailableScreen(const QWidget& near) {
    const QScreen* screen = near.screen() ? near.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, kMinMainWidth, kMinMainHeight);
}

// The key sequences of a menu item while Walk Mode is `walkMode`. A key named "Enter" is bound on
// the main keyboard's Return key too, which carries that name on most keyboards.
QList<QKeySequence> ItemKeys(const MenuItemRow& item, bool walkMode) {
    QList<QKeySequence> keys;
    for (const std::string& name : ItemShortcuts(item, walkMode)) {
        const QKeySequence key = QKeySequence::fromString(Text(name), QKeySequence::PortableText);
        if (key.isEmpty()) continue;
        keys << key;
        if (key.count() == 1 && key[0].key() == Qt::Key_Enter)
            keys << QKeySequence(key[0].keyboardModifiers() | Qt::Key_Return);
    }
    return keys;
}

// Why `path` cannot be opened for reading at all; "" when it can.
std::string OpenProblem(const std::string& path) {
    if (path.empty()) return {};
    struct stat st {};
    ReadStatus status = ReadStatus::kOk;
    const int fd = OpenRegularFile(path, st, &status);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    return "Couldn't open \"" + path + "\": " + std::string(ReadStatusText(status)) + ".";
}

// The local file a drop names first; "" when the first item is not a local file.
std::string FirstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty()) return {};
    const QUrl first = data->urls().first();
    return first.isLocalFile() ? first.toLocalFile().toStdString() : std::string();
}

// The key of the view that a key is, by itself, for walking.
ViewKey ViewKeyOf(int key) {
    switch (key) {
        case Qt::Key_Up:
            return ViewKey::Up;
        case Qt::Key_Down:
            return ViewKey::Down;
        case Qt::Key_Left:
            return ViewKey::Left;
        case Qt::Key_Right:
            return ViewKey::Right;
        case Qt::Key_PageUp:
            return ViewKey::PageUp;
        case Qt::Key_PageDown:
            return ViewKey::PageDown;
        case Qt::Key_W:
            return ViewKey::W;
        case Qt::Key_A:
            return ViewKey::A;
        case Qt::Key_S:
            return ViewKey::S;
        case Qt::Key_D:
            return ViewKey::D;
        default:
            return ViewKey::Other;
    }
}

// The same for a key pressed: Other with Ctrl, Alt or Meta held (shortcuts, not walking).
ViewKey ViewKeyOf(const QKeyEvent& event) {
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return ViewKey::Other;
    return ViewKeyOf(event.key());
}

// How often walking moves the view while a key is held: about the screen's refresh rate.
constexpr int kWalkTickMs = 16;

}  // namespace

MainWindow::MainWindow(MainWindowOptions options)
    : options_(std::move(options)), log_(options_.log ? options_.log : &ownLog_) {
    setObjectName("PELO_GLWindowClass");
    setWindowTitle(Text(kMainWindowTitle));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    if (const std::optional<QRect> remembered = options_.placement ? options_.placement(objectName()) : std::nullopt) {
        move(remembered->topLeft());
        resize(remembered->size());
    } else {
        const WindowRect place = MainWindowRect(ToRect(AvailableScreen(*this)));
        move(place.x, place.y);
        resize(place.width, place.height);
    }

    settingsFolder_ = options_.settingsFolder;
    if (!settingsFolder_.empty()) {
        recent_ = LoadRecentFiles(RecentPath());
        shell_.RestoreChoices(UserSettings(settingsFolder_).ViewChoices());
    }
    savedChoices_ = shell_.Choices();

    if (options_.glView) {
        auto* gl = new GlView(this);
        connect(gl, &GlView::contextReplaced, this, &MainWindow::LoadCurrentFile);
        view_ = gl;
    } else {
        view_ = new PlainView(this);
    }
    setCentralWidget(view_->Widget());
    view_->Widget()->setFocus();

    // Over the view while nothing is open; the pointer and drops pass through it.
    hint_ = new QLabel(Text(kEmptyViewHint), view_->Widget());
    hint_->setObjectName("emptyHint");
    hint_->setTextFormat(Qt::PlainText);
    hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    hint_->setStyleSheet(
        "QLabel { color: white; background: rgba(0, 0, 0, 140); border-radius: 8px; padding: 12px 18px; }");
    QFont hintFont = hint_->font();
    hintFont.setPointSizeF(hintFont.pointSizeF() * 1.25);
    hint_->setFont(hintFont);
    auto* overlay = new QVBoxLayout(view_->Widget());
    overlay->addWidget(hint_, 0, Qt::AlignCenter);

    BuildMenus();
    BuildStatusBar();
    RebuildRecentMenu();
    SyncChecks();
    if (shell_.Flags().topmost) ApplyTopMost();

    reloadTimer_.setSingleShot(true);
    reloadTimer_.setTimerType(Qt::PreciseTimer);
    connect(&reloadTimer_, &QTimer::timeout, this, &MainWindow::ReloadTimerFired);
    walkTimer_.setInterval(kWalkTickMs);
    walkTimer_.setTimerType(Qt::PreciseTimer);
    connect(&walkTimer_, &QTimer::timeout, this, &MainWindow::WalkTick);
    loadTimer_.setInterval(kLoadPollMs);
    connect(&loadTimer_, &QTimer::timeout, this, &MainWindow::TakeLoaded);
    feedTimer_.setInterval(kLoadPollMs);
    connect(&feedTimer_, &QTimer::timeout, this, &MainWindow::TakeModels);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &MainWindow::SourcesChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &MainWindow::SourcesChanged);
}

MainWindow::~MainWindow() {
    loader_.reset();  // its thread stops before anything it could hand over to goes
    feed_.reset();
}

void MainWindow::BuildMenus() {
    for (const MenuRow& bar : MenuBarTable()) {
        QMenu* menu = menuBar()->addMenu(Text(bar.text));
        menu->menuAction()->setData(bar.command);
        actions_[bar.command] = menu->menuAction();
        for (const MenuItemRow& item : bar.items) {
            if (item.text == "-") {
                QAction* separator = menu->addSeparator();
                if (bar.command == kObjectMenu) objectSeparator_ = separator;
                continue;
            }
            QAction* action = nullptr;
            if (item.submenu) {
                QMenu* sub = menu->addMenu(Text(item.text));
                action = sub->menuAction();
                if (item.command == kCmdRecent) recentMenu_ = sub;
                for (const MenuItemRow& subItem : item.items) {
                    QAction* entry = sub->addAction(Text(subItem.text));
                    const int32_t command = subItem.command;
                    connect(entry, &QAction::triggered, this, [this, command] { Dispatch(command); });
                    entry->setData(command);
                    entry->setCheckable(subItem.checkable);
                    actions_[command] = entry;
                }
            } else {
                action = menu->addAction(Text(item.text));
                const int32_t command = item.command;
                connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
            }
            action->setData(item.command);
            action->setCheckable(item.checkable);
            actions_[item.command] = action;
        }
        if (bar.command == kObjectMenu) objectMenu_ = menu;
    }
    // Catalogue entries live in submenus made elsewhere; their triggers pass through the bar.
    connect(menuBar(), &QMenuBar::triggered, this, [this](QAction* action) {
        bool ok = false;
        const int command = action->data().toInt(&ok);
        if (ok && command >= kFirstCatalogueCommand) Dispatch(command);
    });
    SyncShortcuts();
}

void MainWindow::SyncShortcuts() {
    const bool walkMode = shell_.WalkMode();
    if (shortcutsWalkMode_ == walkMode) return;
    shortcutsWalkMode_ = walkMode;
    // A key acts for the first item that shows or names it (both Properties items show
    // Alt+Enter; one shortcut for two actions would make Qt ignore the key).
    std::set<QString> bound;
    for (const MenuRow& bar : MenuBarTable())
        for (const MenuItemRow& item : bar.items) {
            QAction* action = item.text == "-" || item.submenu ? nullptr : Action(item.command);
            if (!action) continue;
            action->setText(Text(ShownItemText(item, walkMode)));
            QList<QKeySequence> keys;
            for (const QKeySequence& key : ItemKeys(item, walkMode))
                if (bound.insert(key.toString(QKeySequence::PortableText)).second) keys << key;
            action->setShortcuts(keys);
        }
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    statusMessage_ = new QLabel(bar);
    statusMessage_->setObjectName("statusMessage");
    statusMessage_->setTextFormat(Qt::PlainText);  // a file name is never markup
    statusCounts_ = new QLabel(bar);
    statusCounts_->setObjectName("statusCounts");
    statusLocation_ = new QLabel(bar);
    statusLocation_->setObjectName("statusLocation");
    statusLocation_->setToolTip(
        "The orbit centre: north or south, west or east (ten metres a unit), altitude, and "
        "the direction looked in (World > Go To..., Ctrl+G)");
    statusSize_ = new QLabel(bar);
    statusSize_->setObjectName("statusSize");
    statusSize_->setToolTip("Width \u00D7 height \u00D7 depth of what is shown (ten metres a unit)");
    problems_ = new QPushButton(bar);
    problems_->setObjectName("problemsButton");
    problems_->setFlat(true);
    problems_->setFocusPolicy(Qt::NoFocus);
    problems_->setCursor(Qt::PointingHandCursor);
    problems_->setToolTip("Show the problems of the last load (Object Properties, Errors page)");
    connect(problems_, &QPushButton::clicked, this, [this] { ShowProperties(ObjectProperties::kErrorsPage); });
    bar->addWidget(statusMessage_, 1);
    bar->addPermanentWidget(statusLocation_);
    bar->addPermanentWidget(statusCounts_);
    bar->addPermanentWidget(statusSize_);
    bar->addPermanentWidget(problems_);
    UpdateStatus();
}

QAction* MainWindow::Action(int32_t command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

std::string MainWindow::RecentPath() const {
    return settingsFolder_.empty() ? std::string() : JoinPath(settingsFolder_, kRecentFileName);
}

void MainWindow::SyncChecks() {
    for (const auto& [command, action] : actions_)
        if (action->isCheckable()) action->setChecked(shell_.Checked(command));
}

void MainWindow::RequestRedraw() {
    const double metres = shell_.DrawDistanceMetres();
    view_->SetDrawDistance(metres > 0 ? metres / kMetresPerUnit : kDrawEverything);
    view_->Redraw(shell_.Flags(), shell_.CameraValues(), shell_.Depth());
    if (statusLocation_) statusLocation_->setText(StatusLocation());
    LookForModels();
}

void MainWindow::LookForModels() {
    if (!feed_) return;
    const double metres = shell_.DrawDistanceMetres();
    feed_->Look(EyeOf(CameraMatrix(shell_.CameraValues())), metres > 0 ? metres / kMetresPerUnit : kDrawEverything);
    if (feed_->Busy() && !feedTimer_.isActive()) feedTimer_.start();
}

void MainWindow::TakeModels() {
    if (!feed_) {
        feedTimer_.stop();
        return;
    }
    view_->AddModels(feed_->Take(*log_));
    // Past the budget, models no object near uses go (a draw distance of all keeps everything).
    if (shell_.DrawDistanceMetres() > 0) view_->DropModels(feed_->ToDrop(kDefaultModelBudgetBytes));
    if (!feed_->Busy()) {
        feedTimer_.stop();
        UpdateStatus();
    }
}

QString MainWindow::StatusLocation() const {
    return Text(FormatLocation(LocationOf(shell_.CameraValues())));
}

void MainWindow::GoTo(const Location& at) {
    shell_.GoTo(at);
    RequestRedraw();
}

void MainWindow::GoToWithDialog() {
    std::string text = StatusLocation().toStdString();
    for (;;) {
        std::optional<std::string> given;
        if (locationAsker_) {
            given = locationAsker_(this, text);
        } else {
            bool ok = false;
            const QString answer = QInputDialog::getText(
                this, "Go To", "Location (such as 2.5N 3W, 2.5N 3W 1.2a 90):", QLineEdit::Normal, Text(text), &ok);
            if (ok) given = answer.toStdString();
        }
        if (!given) return;
        text = *given;
        std::string why;
        if (const std::optional<Location> at = ParseLocation(text, why)) {
            GoTo(*at);
            return;
        }
        QMessageBox::warning(this, "Go To", "This is no location: " + Text(why) + ".");
    }
}

void MainWindow::Dispatch(int32_t command) {
    Carry(shell_.Command(command), command);
}

void MainWindow::SaveChoices() {
    const ViewChoices now = shell_.Choices();
    if (now == savedChoices_) return;
    savedChoices_ = now;
    UserSettings(settingsFolder_).SetViewChoices(now);
}

void MainWindow::Carry(ShellAction action, int32_t command) {
    SaveChoices();
    switch (action) {
        case ShellAction::None:
            break;
        case ShellAction::Redraw:
            SyncChecks();
            RequestRedraw();
            break;
        case ShellAction::OpenDialog:
            OpenWithDialog();
            break;
        case ShellAction::ExportDialog:
            ExportWithDialog();
            break;
        case ShellAction::Reload:
            LoadCurrentFile();
            break;
        case ShellAction::OpenRecent:
            OpenRecent(static_cast<std::size_t>(command - kFirstRecentCommand));
            break;
        case ShellAction::ObjectProperties:
            ShowProperties(properties_ ? properties_->Tabs()->currentIndex() : ObjectProperties::kGeneralPage);
            break;
        case ShellAction::WorldProperties:
            emit worldPropertiesRequested();
            break;
        case ShellAction::GoToDialog:
            GoToWithDialog();
            break;
        case ShellAction::Exit:
            close();
            break;
        case ShellAction::TopMost:
            SyncChecks();
            ApplyTopMost();
            break;
        case ShellAction::AutoReload:
            SyncChecks();
            WatchSources();
            break;
        case ShellAction::About:
            ShowAbout();
            break;
        case ShellAction::Catalogue:
            emit catalogueRequested(command);
            break;
        case ShellAction::Fit:
            Frame(shell_.CameraValues().yaw);
            break;
        case ShellAction::Help:
            ShowHelp();
            break;
        case ShellAction::SaveSnapshot:
            SaveSnapshotWithDialog();
            break;
        case ShellAction::Associations:
            MakeDefaultForScripts();
            break;
        case ShellAction::NextInFolder:
            OpenBeside(1);
            break;
        case ShellAction::PreviousInFolder:
            OpenBeside(-1);
            break;
        case ShellAction::Walk:
            RequestRedraw();
            if (!walkTimer_.isActive()) {
                walkClock_.start();
                walkTimer_.start();
            }
            break;
        case ShellAction::WalkMode:
            walkTimer_.stop();
            SyncChecks();
            SyncShortcuts();
            break;
    }
}

// ---- Loading ---------------------------------------------------------------------------------

void MainWindow::OpenAtStartup(std::string_view commandLinePath) {
    const FirstLoad plan = PlanFirstLoad(commandLinePath, CurrentDirectory());
    // The model's folder becomes current: relative names in an object map, and a relative
    // object path of the world, are found there. The file itself is known by its whole path, so
    // reloading finds it whatever the current folder.
    if (!plan.folder.empty()) SetCurrentDirectory(plan.folder);
    if (!plan.currentFile.empty()) {
        // As the Open dialog and a drop refuse it: an image or a program is never read as a map.
        const ShownFileVerdict verdict = ClassifyShownFile(plan.currentFile);
        if (verdict.kind == ShownFileKind::Refused) {
            ShowRefusal(RefusedFileMessage(plan.currentFile, verdict));
            lastChosen_ = plan.currentFile;
            OpenFile({});
            return;
        }
    }
    OpenFile(plan.currentFile);
}

void MainWindow::OpenFile(const std::string& path) {
    // Known by its whole path, so that reloading does not depend on the current folder.
    currentFile_ = path.empty() ? std::string() : AbsolutePath(ToSlashes(path));
    if (!currentFile_.empty()) lastChosen_ = currentFile_;
    entryTextureDirs_.clear();
    entryArchive_.clear();
    emit fileChosen();
    BeginLoad(false);
    if (!openProblem_.empty()) {
        // Its error line is in the log and the status bar says why: nothing is open.
        (void)TObjectMap::FromFile(currentFile_, *log_, ModelReadOptions());
        currentFile_.clear();
        ShowScene(std::make_unique<TObjectMap>(), true);
        return;
    }
    ReadCurrentFile(true);
    if (!currentFile_.empty()) Remember(currentFile_);
}

void MainWindow::OpenBeside(int step) {
    // Catalogue entries live in a temporary folder of extracted scripts: they have no neighbours.
    if (!entryArchive_.empty() || !entryTextureDirs_.empty()) return;
    const std::string& from = currentFile_.empty() ? lastChosen_ : currentFile_;
    if (from.empty()) return;
    const std::string folder(ParentPart(from));
    const std::string next = ModelBeside(FileNamePart(from), ModelsInFolder(folder), step);
    if (next.empty()) {
        statusBar()->showMessage("No other model in " + Text(folder), 5000);
        return;
    }
    ShowChosenFile(JoinPath(folder, next));
}

void MainWindow::OpenCatalogueScript(const std::string& path, std::vector<std::string> textureDirs, bool extracted,
                                     const std::string& archive) {
    currentFile_ = path.empty() ? std::string() : AbsolutePath(ToSlashes(path));
    entryTextureDirs_ = std::move(textureDirs);
    entryArchive_ = archive.empty() ? std::string() : AbsolutePath(ToSlashes(archive));
    BeginLoad(false);
    if (extracted || currentFile_.empty()) {
        ShowScene(currentFile_.empty() ? std::make_unique<TObjectMap>()
                                       : TObjectMap::FromFile(currentFile_, *log_, ModelReadOptions()),
                  true);
        return;
    }
    // The extraction has written its error line; reading the missing script would add a second.
    std::vector<std::unique_ptr<RWXObject>> objects;
    objects.push_back(RWXObject::FromText("", 0.0, 0.025, 0.0, *log_, ModelReadOptions().read, currentFile_));
    ShowScene(std::make_unique<TObjectMap>(std::move(objects)), true);
}

WorldReadOptions MainWindow::ModelReadOptions() const {
    WorldReadOptions world;
    ReadOptions& options = world.read;
    options = options_.readOptions;
    options.baseFolder = CurrentDirectory();
    options.extraTextureDirs.insert(options.extraTextureDirs.end(), entryTextureDirs_.begin(), entryTextureDirs_.end());
    if (!entryArchive_.empty()) options.textureArchives.insert(options.textureArchives.begin(), entryArchive_);
    world.objectPath = ObjectPathInEffect();
    world.cacheRoot = UserCacheRoot(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    if (worldSource_) world.refreshTime = worldSource_().look.refreshTime;
    world.action = options_.action;
    if (options_.objectPassword)
        options.archivePassword = *options_.objectPassword;
    else if (worldSource_)
        options.archivePassword = worldSource_().look.objectPassword;
    return world;
}

std::string MainWindow::ObjectPathInEffect() const {
    if (options_.objectPath) return *options_.objectPath;
    return worldSource_ ? worldSource_().look.objectPath : std::string();
}

void MainWindow::LoadCurrentFile() {
    BeginLoad(true);
    ReadCurrentFile(false);
}

void MainWindow::ReadCurrentFile(bool frame) {
    if (currentFile_.empty() || !openProblem_.empty() || !IsDumpFile(currentFile_)) {
        ShowScene(currentFile_.empty() ? std::make_unique<TObjectMap>()
                                       : TObjectMap::FromFile(currentFile_, *log_, ModelReadOptions()),
                  frame);
        return;
    }
    // The scene shown stays until the dump's objects are placed.
    sceneObjectPath_ = ObjectPathInEffect();
    loadFrames_ = frame;
    loader_ = std::make_unique<WorldLoader>(currentFile_, ModelReadOptions(), shell_.DrawDistanceMetres() > 0);
    loadTimer_.start();
    statusMessage_->setText(Text(LoadStatusText(loader_->Progress(), sceneObjectPath_)));
}

void MainWindow::TakeLoaded() {
    if (!loader_) return;
    LoadHandOver got = loader_->Take();
    const uint64_t load = loadsBegun_;
    log_->AppendAll(got.lines);
    if (got.objects) {
        view_->SetScene(std::make_unique<TObjectMap>(std::move(*got.objects), log_));
        if (got.supply) {
            const SceneObjects& read = view_->Scene()->Read();
            feed_ = std::make_unique<ModelFeed>(std::move(got.supply), read.objects, read.models.size());
        }
        if (properties_) properties_->SetFace({});
        shell_.SetModelBounds({}, true);
        // The opening view needs only where the objects stand: it is taken now, so that the
        // models arrive where the user looks, and a user who moves meanwhile is not moved back.
        if (loadFrames_) {
            shell_.Opened(view_->Scene()->Read(), CurrentLook().entryPoint, ViewAspect());
            walkTimer_.stop();
            SyncChecks();
            SyncShortcuts();
            loadFrames_ = false;
        }
        UpdateTitle();
        ApplyCurrentWorld();
        // The world asked for another load: what this one handed over is of no use any more.
        if (!loader_ || loadsBegun_ != load) return;
    }
    view_->AddModels(got.models);
    const LoadProgress progress = loader_->Progress();
    if (progress.offline) offlinePath_ = sceneObjectPath_;
    if (!got.finished) {
        statusMessage_->setText(Text(LoadStatusText(progress, sceneObjectPath_)));
        return;
    }
    loadTimer_.stop();
    loader_.reset();
    LoadFinished(loadFrames_);
}

void MainWindow::WaitForLoad() {
    while (loader_) {
        loader_->WaitForHandOver();
        TakeLoaded();
    }
}

void MainWindow::BeginLoad(bool reload) {
    // A load going on is of no use any more, nor the models of the scene it replaces.
    ++loadsBegun_;
    loader_.reset();
    loadTimer_.stop();
    feed_.reset();
    feedTimer_.stop();
    // Whatever changed before is read now.
    reloadSchedule_.Cancel();
    reloadTimer_.stop();
    marks_.push_back(
        {log_->LineCount(), currentFile_, QDateTime::currentDateTime().toString("HH:mm:ss").toStdString(), reload});
    openProblem_ = OpenProblem(currentFile_);
    offlinePath_.clear();
}

void MainWindow::ShowScene(std::unique_ptr<TObjectMap> scene, bool frame) {
    sceneObjectPath_ = ObjectPathInEffect();
    view_->SetScene(std::move(scene));
    if (properties_) properties_->SetFace({});  // the face picked belonged to the scene before
    LoadFinished(frame);
}

void MainWindow::LoadFinished(bool frame) {
    const TObjectMap* shown = view_->Scene();
    // Models read on demand are not all known: the world's extent is where its objects stand.
    const Bounds bounds = feed_ ? feed_->Demand().Extent() : shown ? SceneBounds(*shown) : Bounds{};
    shell_.SetModelBounds(bounds, shown && shown->Read().dumpVersion > 0);
    if (frame) {
        shell_.Opened(shown ? shown->Read() : SceneObjects{}, CurrentLook().entryPoint, ViewAspect());
        walkTimer_.stop();
        SyncChecks();
        SyncShortcuts();
    }
    UpdateTitle();
    ApplyCurrentWorld();
    WatchSources();
    emit sceneLoaded();
}

double MainWindow::ViewAspect() const {
    const QWidget* view = view_->Widget();
    return view->height() > 0 ? static_cast<double>(view->width()) / view->height() : 1.0;
}

void MainWindow::Frame(double yaw) {
    shell_.FrameModel(ViewAspect(), yaw, view_->Scene());
    RequestRedraw();
}

void MainWindow::UpdateTitle() {
    const std::string_view name = FileNamePart(currentFile_);
    setWindowTitle(name.empty() ? Text(kMainWindowTitle)
                                : Text(name) + QString::fromUtf8(" \u2014 ") + Text(kMainWindowTitle));
    hint_->setVisible(currentFile_.empty());
}

std::size_t MainWindow::LastLoadProblems() const {
    const std::size_t lines = log_->LineCount();
    return marks_.empty() ? lines : lines - std::min(lines, marks_.back().firstLine);
}

void MainWindow::UpdateStatus() {
    if (!statusCounts_) return;
    const std::size_t problems = LastLoadProblems();
    // A world is counted in objects and models, and measured where its objects stand.
    const TObjectMap* scene = view_->Scene();
    const LoadSummary summary = scene && scene->Read().dumpVersion > 0 ? WorldSummaryOf(scene->Read(), problems)
                                                                       : LoadSummaryOf(ModelObjects(), problems);
    statusCounts_->setText(Text(summary.counts));
    statusSize_->setText(Text(summary.size));
    problems_->setText(Text(summary.problems));
    // Problems look like what they are: a warning, and a link to the lines.
    problems_->setIcon(problems > 0 ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    QFont font = problems_->font();
    font.setUnderline(problems > 0);
    problems_->setFont(font);
    QPalette colours = palette();
    if (problems > 0) colours.setColor(QPalette::ButtonText, colours.color(QPalette::Link));
    problems_->setPalette(colours);
    LoadProgress offline;
    offline.offline = !offlinePath_.empty();
    statusMessage_->setText(Text(openProblem_.empty() ? LoadStatusText(offline, offlinePath_) : openProblem_));
}

QString MainWindow::StatusCounts() const {
    return statusCounts_->text();
}

QString MainWindow::StatusSize() const {
    return statusSize_->text();
}

QString MainWindow::StatusMessage() const {
    return statusMessage_->text();
}

void MainWindow::SetWorldSource(std::function<CurrentWorld()> source) {
    worldSource_ = std::move(source);
    if (view_->Scene()) ApplyCurrentWorld();
}

void MainWindow::ApplyCurrentWorld() {
    // An object dump finds its models through the object path: a world with another one shows
    // the dump read again (which applies the world once more).
    const TObjectMap* shown = view_->Scene();
    if (((shown && shown->Read().dumpVersion > 0) || loader_) && ObjectPathInEffect() != sceneObjectPath_) {
        LoadCurrentFile();
        return;
    }
    const CurrentWorld world = CurrentWorldNow();
    worldName_ = world.name;
    ReadOptions options = options_.readOptions;
    options.baseFolder = CurrentDirectory();
    options.extraTextureDirs.insert(options.extraTextureDirs.end(), world.textureDirs.begin(), world.textureDirs.end());
    view_->ApplyWorld(world.look, *log_, options);
    RefreshProperties();
    UpdateStatus();
    RequestRedraw();
    emit worldApplied();
}

CurrentWorld MainWindow::CurrentWorldNow() const {
    return worldSource_ ? worldSource_() : CurrentWorld{};
}

WorldLook MainWindow::CurrentLook() const {
    return CurrentWorldNow().look;
}

std::vector<const RWXObject*> MainWindow::ModelObjects() const {
    std::vector<const RWXObject*> objects;
    if (const TObjectMap* scene = view_->Scene())
        for (std::size_t i = 0; i < scene->ObjectCount(); ++i) objects.push_back(&scene->Object(i));
    return objects;
}

void MainWindow::OpenWithDialog() {
    const std::optional<std::string> path = chooser_ ? chooser_(this) : ChooseWithDialog();
    if (!path || path->empty()) return;  // cancelling changes nothing
    // As with a file-open dialog that does not keep the current folder: the folder browsed to
    // stays current, and relative names of the world resolve there. The next dialog starts there.
    const std::string folder(ParentPart(AbsolutePath(*path)));
    SetCurrentDirectory(folder);
    UserSettings(settingsFolder_, log_).SetLastFolder(folder);
    ShowChosenFile(*path);
}

void MainWindow::ShowChosenFile(const std::string& path) {
    const std::string absolute = path.empty() ? std::string() : AbsolutePath(ToSlashes(path));
    const ShownFileVerdict verdict = ClassifyShownFile(absolute);
    if (verdict.kind == ShownFileKind::Refused) {
        lastChosen_ = absolute;
        ShowRefusal(RefusedFileMessage(absolute, verdict));
        return;
    }
    // Scripts, object maps and zipped models alike: the reader opens a zip's script itself.
    OpenFile(absolute);
}

void MainWindow::ShowRefusal(const std::string& message) {
    // After the drop is done: a dialog inside it would hold up the program it came from.
    const QString text = Text(message);
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            QMessageBox box(QMessageBox::Warning, Text(kMainWindowTitle), text, QMessageBox::Ok, this);
            box.setObjectName("refusedFile");
            box.exec();
        },
        Qt::QueuedConnection);
}

std::optional<std::string> MainWindow::ChooseWithDialog() {
    QFileDialog dialog(this, Text(kOpenDialogTitle));
    dialog.setObjectName("openDialog");
    // Qt's own dialog: its filters match names in any letter case, so "*.RWX" lists "a.rwx".
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const std::string_view filter : kOpenDialogFilters) filters << Text(filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    const std::string last = UserSettings(settingsFolder_).LastFolder();
    if (!last.empty() && IsDirectory(last)) dialog.setDirectory(Text(last));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

std::string MainWindow::DialogStart(std::string_view dialog, std::string_view name) const {
    std::string folder = UserSettings(settingsFolder_).DialogFolder(dialog);
    if (folder.empty() || !IsDirectory(folder))
        folder = currentFile_.empty() ? CurrentDirectory() : std::string(ParentPart(currentFile_));
    return JoinPath(folder, name);
}

namespace {

// The file name of the model shown without its extension; `fallback` when nothing is shown.
std::string StemOf(const std::string& file, std::string_view fallback) {
    std::string stem(FileNamePart(file));
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    return stem.empty() ? std::string(fallback) : stem;
}

}  // namespace

void MainWindow::ExportWithDialog() {
    const std::string suggested = DialogStart(UserSettings::kExportDialog, StemOf(currentFile_, "model") + ".glb");
    const std::optional<std::string> chosen =
        exportChooser_ ? exportChooser_(this, suggested) : ChooseExportFile(suggested);
    if (!chosen || chosen->empty()) return;
    const std::string path = AbsolutePath(*chosen);
    const TObjectMap* scene = view_->Scene();
    const std::vector<ExportEntry> entries = scene ? SceneEntries(*scene) : std::vector<ExportEntry>();
    const ExportResult result = ExportToFile(path, entries, currentFile_);
    UserSettings(settingsFolder_).SetDialogFolder(UserSettings::kExportDialog, ParentPart(path));
    if (!result.problem) {
        statusBar()->showMessage("Exported to " + Text(path), 10000);
        return;
    }
    if (exportNotice_)
        exportNotice_(this, result.problem->message);
    else
        QMessageBox::warning(this, Text("Export"), Text(result.problem->message));
}

std::optional<std::string> MainWindow::ChooseExportFile(const std::string& suggested) {
    QFileDialog dialog(this, Text("Export as glTF"));
    dialog.setObjectName("exportDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({Text("glTF Binary (*.glb)"), Text("glTF with Side Files (*.gltf)")});
    dialog.setDefaultSuffix(Text("glb"));
    dialog.selectFile(Text(suggested));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

void MainWindow::OpenRecent(std::size_t index) {
    if (index >= recent_.Paths().size()) return;
    const std::string path = recent_.Paths()[index];
    // Like a file chosen in the Open dialog: its folder becomes current.
    const std::string_view folder = ParentPart(path);
    if (!folder.empty()) SetCurrentDirectory(folder);
    ShowChosenFile(path);
}

// ---- Recent files ----------------------------------------------------------------------------

void MainWindow::Remember(const std::string& path) {
    if (!recent_.Add(path)) return;
    std::string error;
    if (!settingsFolder_.empty() && !SaveRecentFiles(RecentPath(), recent_, &error, log_))
        log_->Append("Couldn't save the list of recent files \"" + RecentPath() + "\": " + error + ".");
    RebuildRecentMenu();
}

void MainWindow::RebuildRecentMenu() {
    for (QAction* action : recentMenu_->actions()) {
        actions_.erase(action->data().toInt());
        recentMenu_->removeAction(action);
        delete action;
    }
    const std::vector<std::string>& paths = recent_.Paths();
    for (std::size_t i = 0; i < paths.size() && i < static_cast<std::size_t>(kRecentCommandCount); ++i) {
        const int32_t command = kFirstRecentCommand + static_cast<int32_t>(i);
        QAction* action = recentMenu_->addAction(Text(RecentMenuLabel(i, paths[i])));
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
        actions_[command] = action;
    }
}

// ---- Reloading files that change -------------------------------------------------------------

void MainWindow::WatchSources() {
    if (shell_.AutoReload() && !currentFile_.empty())
        sources_.Watch(SourceFilesOf(currentFile_, ModelObjects()));
    else
        sources_.Clear();
    ArmWatcher();
}

void MainWindow::ArmWatcher() {
    // Editors often save by writing a new file and renaming it over the old one, which ends the
    // watch on the file: watch the folders too and look at the stamps.
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    QStringList paths;
    for (const std::string& file : sources_.Paths()) {
        paths << Text(file);
        const QString folder = Text(ParentPart(file));
        if (!folder.isEmpty() && !paths.contains(folder)) paths << folder;
    }
    if (!paths.isEmpty()) watcher_.addPaths(paths);  // missing paths are skipped
}

void MainWindow::SourcesChanged() {
    if (!shell_.AutoReload()) return;
    const int64_t now = SteadyMilliseconds();
    reloadSchedule_.Changed(now);
    // Quiet for a moment, but never later than the longest wait after the burst's first change.
    reloadTimer_.start(static_cast<int>(std::max<int64_t>(0, reloadSchedule_.DueIn(now))));
}

void MainWindow::ReloadTimerFired() {
    const int64_t now = SteadyMilliseconds();
    if (reloadSchedule_.TakeDue(now)) {
        CheckSources();
    } else if (reloadSchedule_.Pending()) {
        reloadTimer_.start(static_cast<int>(std::max<int64_t>(1, reloadSchedule_.DueIn(now))));
    }
}

void MainWindow::CheckSources() {
    if (!shell_.AutoReload()) return;
    if (sources_.TakeChange())
        LoadCurrentFile();
    else
        ArmWatcher();
}

// ---- Object Properties -----------------------------------------------------------------------

void MainWindow::ShowProperties(int page) {
    const bool first = !properties_;
    if (first) {
        properties_ = new ObjectProperties(this, *log_, marks_);
        PlaceBeside(*properties_);
    }
    RefreshProperties();
    properties_->ShowPage(page);
    properties_->show();
    properties_->raise();
    properties_->activateWindow();
    if (!WindowWasMade(*properties_)) {
        options_.fatal(kObjectPropertiesError);
        QCoreApplication::exit(1);
    }
}

void MainWindow::RefreshProperties() {
    if (!properties_) return;
    const std::vector<const RWXObject*> objects = ModelObjects();
    properties_->SetContent(GeneralInfoOf(worldName_, currentFile_, objects), TextureRowsOf(objects),
                            TextureFoldersOf(objects));
    if (properties_->isVisible()) properties_->RefreshErrors();
}

void MainWindow::PlaceBeside(QWidget& window) const {
    if (const std::optional<QRect> remembered =
            options_.placement ? options_.placement(window.objectName()) : std::nullopt) {
        window.move(remembered->topLeft());
        window.resize(remembered->size());
        return;
    }
    const WindowRect place =
        BesideRect(ToRect(frameGeometry()), window.width(), window.height(), ToRect(AvailableScreen(*this)));
    window.move(place.x, place.y);
}

// ---- Help, About, snapshots -----------------------------------------------------------------

void MainWindow::ShowHelp() {
    if (!help_) {
        help_ = new HelpWindow(this);
        PlaceBeside(*help_);
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainWindow::MakeDefaultForScripts() {
    UserPlaces places;
    places.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
    places.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
    // The command beside this program, which starts in a moment (no Qt for the reading tools); this
    // program itself when it stands alone.
    std::string command = JoinPath(ProgramDirectory(), "pelorus");
    if (::access(command.c_str(), X_OK) != 0) command = QCoreApplication::applicationFilePath().toStdString();
    const QByteArray icon = ProgramIconPng(256);
    const AssociationReport report = pelorus::MakeDefaultForScripts(
        places, command, std::string_view(icon.constData(), static_cast<std::size_t>(icon.size())));
    std::vector<std::string> missing;
    if (report.problem.empty()) {
        for (const std::vector<std::string>& args : CacheCommands(places)) {
            if (QStandardPaths::findExecutable(Text(args[0])).isEmpty()) {
                missing.push_back(args[0]);
                continue;
            }
            QStringList rest;
            for (std::size_t i = 1; i < args.size(); ++i) rest << Text(args[i]);
            QProcess tool;
            tool.start(Text(args[0]), rest);
            if (!tool.waitForFinished(30000)) tool.kill();
        }
    }
    const QString text = Text(AssociationMessage(report, missing));
    statusBar()->showMessage(report.problem.empty() ? "Pelorus is now the default program for scripts (.rwx)"
                                                    : "Pelorus could not be made the default program for scripts",
                             10000);
    QMessageBox box(report.problem.empty() ? QMessageBox::Information : QMessageBox::Warning, "Associations", text,
                    QMessageBox::Ok, this);
    box.setObjectName("associations");
    box.exec();
}

void MainWindow::ShowAbout() {
    std::vector<LibraryVersion> libraries{{"Qt", qVersion()}};
    for (auto& [name, version] : ImageAndArchiveLibraries()) libraries.push_back({name, version});
    QMessageBox::about(this, Text(AboutTitle()), Text(AboutText(libraries)));
}

std::string MainWindow::SaveSnapshot(const std::string& path) {
    // Nothing that is shown may be replaced: the files read, the images of their textures and
    // masks, the ground, the skybox and the backdrop.
    std::vector<std::string> inputs = SourceFilesOf(currentFile_, ModelObjects());
    if (const TObjectMap* scene = view_->Scene())
        for (std::string& file : SceneFilesRead(*scene)) inputs.push_back(std::move(file));
    inputs.push_back(view_->BackdropFile());
    auto refusal = [&] { return CheckOutputFile(path, PngOutput(), inputs); };
    if (const std::optional<std::string> refused = refusal()) return *refused;
    const std::string output = OutputPath(path);
    const std::string extensions[] = {".png"};
    RemoveLeftoverOutputs(ParentPart(output), extensions);
    std::string error;
    AtomicWriteOptions how;
    bool refused = false;
    how.lastCheck = refusal;
    how.refused = &refused;
    if (!WritePngAtomically(output, view_->Snapshot(), error, how))
        return refused ? error : "Couldn't write \"" + path + "\": " + error + ".";
    return {};
}

void MainWindow::SaveSnapshotWithDialog() {
    const std::string suggested = DialogStart(UserSettings::kSnapshotDialog, StemOf(currentFile_, "snapshot") + ".png");
    const std::optional<std::string> chosen =
        snapshotChooser_ ? snapshotChooser_(this, suggested) : ChooseSnapshotWithDialog(suggested);
    if (!chosen || chosen->empty()) return;
    const std::string path = AbsolutePath(*chosen);
    const std::string failed = SaveSnapshot(path);
    UserSettings(settingsFolder_).SetDialogFolder(UserSettings::kSnapshotDialog, ParentPart(path));
    if (failed.empty()) {
        statusBar()->showMessage("Snapshot saved as " + Text(path), 10000);
        return;
    }
    QMessageBox box(QMessageBox::Warning, "Save Snapshot", Text(failed), QMessageBox::Ok, this);
    box.setObjectName("snapshotError");
    box.exec();
}

std::optional<std::string> MainWindow::ChooseSnapshotWithDialog(const std::string& suggested) {
    QFileDialog dialog(this, "Save Snapshot");
    dialog.setObjectName("snapshotDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({"PNG Images (*.png)"});
    dialog.setDefaultSuffix("png");
    dialog.selectFile(Text(suggested));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

// ---- Window and input ------------------------------------------------------------------------

void MainWindow::ApplyTopMost() {
    const bool on = shell_.Flags().topmost;
    if (QWindow* native = windowHandle()) {
        // On the existing window: recreating it would replace the OpenGL context.
        overrideWindowFlags(windowFlags().setFlag(Qt::WindowStaysOnTopHint, on));
        native->setFlag(Qt::WindowStaysOnTopHint, on);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, on);
    }
}

QPoint MainWindow::ViewPoint(const QPointF& windowPoint) const {
    return view_->Widget()->mapFrom(
        this, QPoint(static_cast<int>(std::lround(windowPoint.x())), static_cast<int>(std::lround(windowPoint.y()))));
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const ViewKey key = ViewKeyOf(*event);
    if (shell_.WalksWith(key)) {
        // Held keys walk by the clock (WalkTick), not by the keyboard's repeat rate.
        if (!event->isAutoRepeat()) Carry(shell_.KeyDown(key, event->modifiers() & Qt::ShiftModifier), 0);
        return;
    }
    const QString text = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (command || text.size() != 1) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    const ShellAction action = shell_.Character(text.front().unicode());
    if (action == ShellAction::None) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    Carry(action, 0);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    // By the key alone: Ctrl or Alt pressed while walking must not leave the key held.
    const ViewKey key = ViewKeyOf(event->key());
    if (key == ViewKey::Other) {
        QMainWindow::keyReleaseEvent(event);
        return;
    }
    shell_.KeyUp(key);
    if (!shell_.Walking()) walkTimer_.stop();
}

void MainWindow::WalkTick() {
    // A key released while a menu or a dialog had the keyboard never comes back (another window
    // taking it ends walking by changeEvent). The window itself need not be active: without a
    // window manager, keys reach the window under the pointer, which never becomes active.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) {
        shell_.StopWalking();
        walkTimer_.stop();
        return;
    }
    const double seconds = static_cast<double>(walkClock_.restart()) / 1000.0;
    if (shell_.Walk(seconds, QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)) RequestRedraw();
    if (!shell_.Walking()) walkTimer_.stop();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        shell_.StopWalking();
        walkTimer_.stop();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton &&
        event->button() != Qt::MiddleButton) {
        QMainWindow::mousePressEvent(event);
        return;
    }
    const QPoint p = ViewPoint(event->position());
    shell_.PointerPressed(p.x(), p.y());
    if (event->button() == Qt::LeftButton && shell_.ClickPicks(event->modifiers() & Qt::ControlModifier) &&
        view_->Widget()->rect().contains(p))
        PickAt(p);
}

std::optional<FaceHit> MainWindow::FaceUnder(const QPoint& viewPoint) const {
    const TObjectMap* scene = view_->Scene();
    if (!scene) return std::nullopt;
    const QWidget* widget = view_->Widget();
    const Camera& camera = shell_.CameraValues();
    const std::optional<PickRay> ray =
        RayThroughPixel(camera, widget->width(), widget->height(), viewPoint.x(), viewPoint.y(), shell_.Depth());
    if (!ray) return std::nullopt;
    PickOptions options;
    const double metres = shell_.DrawDistanceMetres();
    if (metres > 0) options.drawDistance = metres / kMetresPerUnit;
    options.timeMs = SteadyMilliseconds();
    return PickFace(*scene, *ray, camera.yaw, options);
}

bool MainWindow::PickAt(const QPoint& viewPoint) {
    const std::optional<FaceHit> hit = FaceUnder(viewPoint);
    if (!hit) {
        view_->SetOutline(std::nullopt);
        statusBar()->showMessage("No face under the pointer", 3000);
        return false;
    }
    view_->SetOutline(FaceCorners(*view_->Scene(), *hit, shell_.CameraValues().yaw));
    const FaceReport report = FaceReportOf(*view_->Scene(), *hit);
    ShowProperties(ObjectProperties::kFacePage);
    properties_->SetFace(FaceRows(report));
    return true;
}

bool MainWindow::CentreAt(const QPoint& viewPoint) {
    const std::optional<FaceHit> hit = FaceUnder(viewPoint);
    if (!hit) return false;
    shell_.CentreOn(hit->point);
    RequestRedraw();
    return true;
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QMainWindow::mouseDoubleClickEvent(event);
        return;
    }
    const QPoint p = ViewPoint(event->position());
    if (!view_->Widget()->rect().contains(p)) return;
    shell_.PointerPressed(p.x(), p.y());
    CentreAt(p);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = ViewPoint(event->position());
    PointerButtons held;
    held.left = event->buttons() & Qt::LeftButton;
    held.right = event->buttons() & Qt::RightButton;
    held.middle = event->buttons() & Qt::MiddleButton;
    held.shift = event->modifiers() & Qt::ShiftModifier;
    if (shell_.PointerMoved(p.x(), p.y(), held, view_->Widget()->height())) RequestRedraw();
}

void MainWindow::wheelEvent(QWheelEvent* event) {
    if (shell_.Wheel(event->angleDelta().y())) RequestRedraw();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstDroppedFile(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::string path = FirstDroppedFile(event->mimeData());
    if (path.empty()) return;
    event->acceptProposedAction();
    ShowChosenFile(path);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    reloadTimer_.stop();
    // A load going on stops now: nothing is waited for beyond the model being read.
    loader_.reset();
    loadTimer_.stop();
    if (properties_) properties_->hide();
    if (help_) help_->hide();
    event->accept();
}

}  // namespace pelorus
