#include "app/viewersession.h"

#include <QAction>
#include <QCoreApplication>
#include <QMessageBox>
#include <QStatusBar>

#include "app/mainwindow.h"
#include "app/texturefolders.h"
#include "app/usersettings.h"
#include "net/webaddress.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/text.h"
#include "shell/userfolders.h"
#include "shell/worldimport.h"
#include "world/remoteobjectpath.h"

namespace pelorus {
namespace {

std::unique_ptr<WorldWindowAsker> MakeAsker(const SessionOptions& options) {
    std::unique_ptr<WorldWindowAsker> asker = options.makeAsker ? options.makeAsker() : nullptr;
    return asker ? std::move(asker) : MakeDialogAsker();
}

}  // namespace

ViewerSession::ViewerSession(MainWindow& window, SessionOptions options)
    : QObject(&window),
      window_(window),
      options_(std::move(options)),
      book_(options_.worldFolder, &window.Log()),
      asker_(MakeAsker(options_)),
      menu_(window.ObjectMenu(), window.ObjectMenuSeparator()) {
    setObjectName("viewerSession");
    book_.Start();
    worldWindow_ = new WorldPropertiesWindow(book_, &window, MakeAsker(options_));
    tempFolder_ = std::make_unique<SessionTempFolder>(options_.tempBase.empty() ? UserTempBase() : options_.tempBase,
                                                      window.Log());

    window.SetWorldSource([this] {
        const int32_t selected = book_.Selection();
        const std::vector<std::string>& names = book_.Names();
        CurrentWorld world;
        if (selected >= 0 && static_cast<std::size_t>(selected) < names.size())
            world.name = names[static_cast<std::size_t>(selected)];
        LookWithData applied = WithShippedFiles(LookOf(book_.Saved()), options_.dataFolder, CurrentDirectory());
        world.look = std::move(applied.look);
        world.textureDirs = std::move(applied.textureDirs);
        return world;
    });
    connect(&window, &MainWindow::worldPropertiesRequested, this, &ViewerSession::ShowWorldWindow);
    connect(worldWindow_.data(), &WorldPropertiesWindow::worldAccepted, this, [this] { window_.ApplyCurrentWorld(); });
    connect(&window, &MainWindow::worldApplied, this, &ViewerSession::RebuildCatalogue);
    connect(&window, &MainWindow::catalogueRequested, this, &ViewerSession::OpenEntry);
    connect(&window, &MainWindow::fileChosen, this, &ViewerSession::ForgetEntry);
    if (QAction* textureFolders = window.Action(kCmdTextureFolders))
        connect(textureFolders, &QAction::triggered, this, &ViewerSession::ShowTextureFolders);
    if (QAction* emptyCache = window.Action(kCmdEmptyCache))
        connect(emptyCache, &QAction::triggered, this, &ViewerSession::EmptyCache);
    if (QAction* import = window.Action(kCmdImportAttributes))
        connect(import, &QAction::triggered, this, &ViewerSession::ImportAttributes);
}

ViewerSession::~ViewerSession() {
    // The windows are the main window's children too; whichever goes first, they go before the
    // book and the asker they use.
    delete textureFolders_.data();
    delete worldWindow_.data();
}

ViewerSession* ViewerSession::Of(const MainWindow& window) {
    return window.findChild<ViewerSession*>(QString(), Qt::FindDirectChildrenOnly);
}

void ViewerSession::WriteWorldList() {
    if (const std::optional<WorldMessage> failed = book_.WriteList()) asker_->ShowError(&window_, *failed);
}

void ViewerSession::ShowWorldWindow() {
    if (!worldWindow_) return;
    if (!worldWindowPlaced_) {
        window_.PlaceBeside(*worldWindow_);
        worldWindowPlaced_ = true;
    }
    worldWindow_->show();
    worldWindow_->raise();
    worldWindow_->activateWindow();
    if (!WindowWasMade(*worldWindow_)) {
        options_.fatal(kWorldPropertiesError);
        QCoreApplication::exit(1);
    }
}

void ViewerSession::EmptyCache() {
    const CacheEmptied emptied = EmptyObjectPathCache(LookOf(book_.Saved()).objectPath, options_.cacheRoot);
    if (emptied.ok)
        QMessageBox::information(&window_, "Empty Cache", QString::fromStdString(emptied.message));
    else
        QMessageBox::warning(&window_, "Empty Cache", QString::fromStdString(emptied.message));
    RebuildCatalogue();
}

void ViewerSession::ShowTextureFolders() {
    if (textureFolders_ && textureFolders_->isVisible()) {
        textureFolders_->raise();
        textureFolders_->activateWindow();
        return;
    }
    delete textureFolders_.data();
    if (options_.configFolder.empty()) {
        asker_->ShowError(&window_, {"Error : There is no configuration folder to keep the texture folders in.",
                                     "Error : Texture Folders"});
        return;
    }
    // The list beside the program, when there is one, is read instead of the user's.
    const std::string read = TexturesPathFolder(options_.programDir, options_.configFolder);
    const std::string programList =
        read == options_.configFolder ? std::string() : ResolvePath(JoinPath(read, kTexturesPathFileName));
    textureFolders_ = new TextureFoldersDialog(options_.configFolder, programList, *asker_, &window_);
    textureFolders_->SetLog(&window_.Log());
    textureFolders_->setAttribute(Qt::WA_DeleteOnClose);
    // The folders are read at every load: show the file again with them.
    connect(textureFolders_.data(), &TextureFoldersDialog::saved, this, [this] { window_.LoadCurrentFile(); });
    textureFolders_->show();
}

void ViewerSession::ImportAttributes() {
    const std::optional<std::string> file = asker_->AskFile(&window_, "Import World Attributes", CurrentDirectory(),
                                                            "World attribute dumps (*.txt *.TXT);;All files (*)");
    if (!file) return;
    const auto refuse = [this](const std::string& why) {
        asker_->ShowError(&window_, {"Error : The world attributes could not be imported.\n" + why,
                                     "Error : World Attributes Not Imported"});
    };
    std::string text;
    const ReadStatus read = ReadFileStatus(*file, text, kSmallFileLimit);
    if (read != ReadStatus::kOk) {
        refuse("\"" + *file + "\" " + std::string(ReadStatusText(read)) + ".");
        return;
    }
    if (!BeginsLikeAttributeDump(std::string_view(text).substr(0, kAttributeDumpProbeBytes))) {
        refuse("\"" + *file + "\" is not a world attribute dump (its first line is not \"atdump version 1\").");
        return;
    }
    ErrorLog problems;
    std::string name;
    AttributeCounts counts;
    const std::optional<WorldSettings> settings = WorldOfFileText(text, *file, problems, &name, &counts);
    if (!settings) {
        refuse(problems.Empty() ? std::string() : problems.Lines().front());
        return;
    }
    window_.Log().AppendAll(problems);
    std::string stem(FileNamePart(*file));
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    std::string imported;
    const std::vector<WorldMessage> messages = book_.Import(ValidWorldName(name, stem), *settings, &imported);
    if (worldWindow_) worldWindow_->Refresh();
    for (const WorldMessage& m : messages) asker_->ShowError(&window_, m);
    if (imported.empty()) return;
    window_.ApplyCurrentWorld();
    window_.statusBar()->showMessage(
        QString::fromStdString("Imported the world \"" + imported + "\": " + AttributeCountsText(counts) + "."), 10000);
}

void ViewerSession::RebuildCatalogue() {
    // A world without an object path keeps the catalogue it found. A web object path lists the
    // models already in its cache: nothing is asked of the server.
    std::string objectPath = LookOf(book_.Saved()).objectPath;
    if (IsWebObjectPath(objectPath)) {
        const std::string cached = CachedFilesFolder(objectPath, options_.cacheRoot);
        objectPath = cached.empty() ? std::string() : cached + "/";
    }
    if (catalogue_.Rebuild(objectPath, CurrentDirectory())) menu_.Rebuild(catalogue_.Menu());
}

void ViewerSession::OpenEntry(int command) {
    const ExtractResult result = catalogue_.Open(command, TempFolder(), book_.Saved().password, window_.Log());
    if (result.status == ExtractStatus::NoSuchEntry) return;  // logged; the scene stays
    // The entry's own archive is searched for its textures first.
    const std::optional<std::size_t> entry = catalogue_.EntryOfCommand(command);
    window_.OpenCatalogueScript(result.scriptPath, catalogue_.TextureDirs(), result.Ok(),
                                entry ? catalogue_.ArchivePath(*entry) : std::string());
    // The load rebuilt the menu only when the world has an object path; the entry shows checked.
    menu_.Rebuild(catalogue_.Menu());
}

void ViewerSession::ForgetEntry() {
    if (catalogue_.CurrentEntry().empty()) return;
    catalogue_.ClearCurrentEntry();
    menu_.Rebuild(catalogue_.Menu());
}

}  // namespace pelorus
