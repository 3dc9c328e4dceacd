#include "app/viewersession.h"

#include <QCoreApplication>

#include "app/mainwindow.h"
#include "platform/paths.h"

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
      book_(options_.worldFolder),
      asker_(MakeAsker(options_)),
      menu_(window.ObjectMenu(), window.ObjectMenuSeparator()) {
    setObjectName("viewerSession");
    book_.Start();
    worldWindow_ = new WorldPropertiesWindow(book_, &window, MakeAsker(options_));

    // Scripts extracted by an earlier run are not needed any more.
    tempFolder_ = PrepareTempFolder(options_.programDir, window.Log());
    CleanTempFolder(tempFolder_);

    window.SetWorldSource([this] {
        const int32_t selected = book_.Selection();
        const std::vector<std::string>& names = book_.Names();
        CurrentWorld world;
        if (selected >= 0 && static_cast<std::size_t>(selected) < names.size())
            world.name = names[static_cast<std::size_t>(selected)];
        world.look = LookOf(book_.Shown());
        return world;
    });
    connect(&window, &MainWindow::worldPropertiesRequested, this, &ViewerSession::ShowWorldWindow);
    connect(worldWindow_.data(), &WorldPropertiesWindow::worldAccepted, this, [this] { window_.ApplyCurrentWorld(); });
    connect(&window, &MainWindow::worldApplied, this, &ViewerSession::RebuildCatalogue);
    connect(&window, &MainWindow::catalogueRequested, this, &ViewerSession::OpenEntry);
    connect(&window, &MainWindow::fileChosen, this, &ViewerSession::ForgetEntry);
}

ViewerSession::~ViewerSession() {
    // The window is the main window's child too; whichever goes first, it goes before the book.
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

void ViewerSession::RebuildCatalogue() {
    // A world without an object path keeps the catalogue it found.
    if (catalogue_.Rebuild(LookOf(book_.Shown()).objectPath, CurrentDirectory())) menu_.Rebuild(catalogue_.Menu());
}

void ViewerSession::OpenEntry(int command) {
    const ExtractResult result = catalogue_.Open(command, tempFolder_, book_.Shown().password, window_.Log());
    if (result.status == ExtractStatus::NoSuchEntry) return;  // logged; the scene stays
    window_.OpenCatalogueScript(result.scriptPath, catalogue_.TextureDirs(), result.Ok());
    // The load rebuilt the menu only when the world has an object path; the entry shows checked.
    menu_.Rebuild(catalogue_.Menu());
}

void ViewerSession::ForgetEntry() {
    if (catalogue_.CurrentEntry().empty()) return;
    catalogue_.ClearCurrentEntry();
    menu_.Rebuild(catalogue_.Menu());
}

}  // namespace pelorus
