#pragma once
// What a viewer run keeps beside its main window: the world book with the World Properties
// window over it, the object catalogue with its part of the "&Object" menu, the temporary folder
// that catalogue entries and zipped models are extracted to, and the Texture Folders dialog. The
// session ties them to the window's signals: every load applies the book's saved world (with the
// program's own default-world files standing in for missing ones), every apply rebuilds the
// catalogue from the world's object path, "OK" applies the world, a chosen entry is extracted
// and shown, and so is a zipped model the window opens.

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/cataloguemenu.h"
#include "app/fatalerror.h"
#include "app/texturefolders.h"
#include "app/worldwindow.h"
#include "shell/catalogue.h"
#include "shell/worlds.h"

namespace pelorus {

class MainWindow;

inline constexpr std::string_view kWorldPropertiesError = "Error creating the World Properties window !";

struct SessionOptions {
    // The folder of "Worlds.txt" and the world files (see WorldFolderFor), fixed at start-up so
    // that later changes of the current folder (opening a model does) move nothing.
    std::string worldFolder;
    // The folder the session's temporary folder is made in (see SessionTempFolder); "" is
    // UserTempBase().
    std::string tempBase;
    // The user's configuration folder, where Texture Folders keeps its TexturesPath.txt; "" leaves
    // the dialog nothing to save to (it says so when asked for).
    std::string configFolder;
    // The disk cache of web object paths (see UserCacheRoot); "" when none is known.
    std::string cacheRoot;
    // The folder of the program's own TexturesPath.txt, which wins over the user's; "" is the
    // running program's folder.
    std::string programDir;
    // The program's data folder with the default world's files (see FindDataFolder); "" for none.
    std::string dataFolder;
    // Makes the askers of the World Properties window and of the shut-down message (called
    // twice); MakeDialogAsker when empty. Tests give scripted ones.
    std::function<std::unique_ptr<WorldWindowAsker>()> makeAsker;
    // How a World Properties window that cannot be shown is reported.
    FatalReporter fatal = ShowFatalMessage;
};

class ViewerSession final : public QObject {
    Q_OBJECT
public:
    // Joins `window`, which owns the session from now on (as its child; the session lives as long
    // as the window) and should not have loaded a file yet: reads the world list, makes the World
    // Properties window (hidden, owned by `window`), makes its own temporary folder (removing
    // those of viewers that are no longer running), and becomes the window's world source and
    // archive opener. The world is applied and the catalogue built by the window's next load.
    ViewerSession(MainWindow& window, SessionOptions options);
    // Removes the temporary folder with the scripts extracted into it.
    ~ViewerSession() override;
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    // The session of `window`; null when it has none.
    static ViewerSession* Of(const MainWindow& window);

    WorldBook& Book() { return book_; }
    WorldPropertiesWindow& WorldWindow() { return *worldWindow_; }
    const Catalogue& ObjectCatalogue() const { return catalogue_; }
    const CatalogueMenu& ObjectCatalogueMenu() const { return menu_; }
    // The folder scripts are extracted to; "" when none could be made (opening an entry then
    // fails with one error line).
    const std::string& TempFolder() const { return tempFolder_->Path(); }
    // The Texture Folders dialog while it is open (made by World > Texture Folders...); null
    // otherwise.
    TextureFoldersDialog* TextureFolders() const { return textureFolders_; }

    // Shut-down's first step: writes "Worlds.txt" when the list exists; a failure is shown
    // through the asker.
    void WriteWorldList();

private:
    void ShowWorldWindow();
    void ShowTextureFolders();
    // World > Empty Cache: removes the copies of the saved world's web object path and says so.
    void EmptyCache();
    // World > Import Attributes...: asks for a world attribute dump, adds the world it describes
    // to the book (WorldBook::Import, named by its name attribute, else by the file's name),
    // selects and applies it. A file that is no readable dump is refused with a message; the
    // problems of one that reads go to the error log.
    void ImportAttributes();
    void RebuildCatalogue();
    void OpenEntry(int command);
    void ForgetEntry();

    MainWindow& window_;
    SessionOptions options_;
    WorldBook book_;
    std::unique_ptr<WorldWindowAsker> asker_;
    // Owned by the main window as its child, and deleted here first: it refers to book_.
    QPointer<WorldPropertiesWindow> worldWindow_;
    QPointer<TextureFoldersDialog> textureFolders_;
    bool worldWindowPlaced_ = false;  // placed beside the main window at its first show
    Catalogue catalogue_;
    CatalogueMenu menu_;
    std::unique_ptr<SessionTempFolder> tempFolder_;
};

}  // namespace pelorus
