// The whole viewer on the offscreen platform (the stand-in view in place of OpenGL): worlds read
// at start-up and applied to every load, the World Properties window behind World -> Properties,
// the catalogue of the world's zipped models in the Object menu, the temporary folder they are
// extracted to, and shut-down.

#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "app/mainwindow.h"
#include "app/texturefolders.h"
#include "app/viewerapp.h"
#include "app/viewersession.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::string_view kTriangle =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\nModelEnd\n";
constexpr std::string_view kQuad =
    "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nQuad 1 2 3 4\n"
    "ClumpEnd\nModelEnd\n";
// Textured with "wood", which only the catalogue's "textures" folder holds.
constexpr std::string_view kWoodQuad =
    "ModelBegin\nClumpBegin\nTexture wood\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 1 1 0 UV 1 1\n"
    "Vertex 0 1 0 UV 0 1\nQuad 1 2 3 4\nClumpEnd\nModelEnd\n";
constexpr std::string_view kWoodTriangle =
    "ModelBegin\nClumpBegin\nTexture wood\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
    "Triangle 1 2 3\nClumpEnd\nModelEnd\n";

constexpr int kBad = kFirstCatalogueCommand;  // the catalogue lists bad, Box, Locked
constexpr int kBox = kFirstCatalogueCommand + 1;
constexpr int kLocked = kFirstCatalogueCommand + 2;

// A world file with the default lights and fog.
std::string WorldText(const std::string& objectPath, const std::string& password, const std::string& ground) {
    return objectPath + "\n" + password + "\n-0.8 -0.5 -0.2 255 255 255\n255 255 255 NoFog 40 150\nfall_day\n\n" +
           ground + "\n30 9 200";
}

using test::WriteZip;

std::string Slurp(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? text : std::string("<missing>");
}

std::vector<std::string> ScriptsIn(const std::string& folder) {
    std::vector<std::string> scripts;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (QString::fromStdString(entry.path().extension().string()).compare(".rwx", Qt::CaseInsensitive) == 0)
            scripts.push_back(entry.path().filename().string());
    return scripts;
}

std::vector<QString> Texts(const QMenu* menu) {
    std::vector<QString> texts;
    for (const QAction* a : menu->actions()) texts.push_back(a->isSeparator() ? QString("----") : a->text());
    return texts;
}

int64_t Triangles(MainWindow& window) {
    int64_t total = 0;
    for (const RWXObject* object : window.ModelObjects()) total += object->CountTriangles();
    return total;
}

int64_t GroundTriangles(MainWindow& window) {
    const TObjectMap* scene = window.View().Scene();
    return scene && scene->Ground() ? scene->Ground()->CountTriangles() : 0;
}

// The file each texture of the model was read from.
std::vector<std::string> TextureFiles(MainWindow& window) {
    std::vector<std::string> files;
    for (const RWXObject* object : window.ModelObjects())
        for (const TTexture& texture : object->Textures()) files.push_back(texture.fileName);
    return files;
}

// Answers in place of the dialogs; every asker made for one viewer writes to the same record.
struct AskerRecord {
    std::deque<std::string> names;
    std::deque<std::string> folders;
    std::deque<std::string> files;
    std::vector<WorldMessage> errors;
};

class ScriptedAsker : public WorldWindowAsker {
public:
    explicit ScriptedAsker(std::shared_ptr<AskerRecord> record) : record_(std::move(record)) {}
    std::optional<std::string> AskName(QWidget*, std::string_view, std::string_view) override {
        if (record_->names.empty()) return std::nullopt;
        std::string name = record_->names.front();
        record_->names.pop_front();
        return name;
    }
    DeleteAnswer AskDelete(QWidget*, const WorldMessage&) override { return DeleteAnswer::Cancel; }
    void ShowError(QWidget*, const WorldMessage& message) override { record_->errors.push_back(message); }
    std::optional<Rgb> PickColor(QWidget*, Rgb) override { return std::nullopt; }
    std::optional<std::string> AskFolder(QWidget*, std::string_view, std::string_view) override {
        if (record_->folders.empty()) return std::nullopt;
        std::string folder = record_->folders.front();
        record_->folders.pop_front();
        return folder;
    }
    std::optional<std::string> AskFile(QWidget*, std::string_view, std::string_view, std::string_view) override {
        if (record_->files.empty()) return std::nullopt;
        std::string file = record_->files.front();
        record_->files.pop_front();
        return file;
    }

private:
    std::shared_ptr<AskerRecord> record_;
};

class ViewerSessionTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::string previousFolder_;
    std::string start_, objA_, objB_, prog_, config_, run_;
    std::shared_ptr<AskerRecord> record_;
    std::unique_ptr<MainWindow> window_;

    // Starts the viewer from the start folder, as the program would with `args`.
    MainWindow& Start(std::vector<std::string> args = {}, std::string dataFolder = {}) {
        SetCurrentDirectory(start_);
        ViewerOptions options;
        options.glView = false;
        options.programDir = prog_;
        options.settingsFolder = config_;
        options.tempBase = run_;
        options.dataFolder = dataFolder.empty() ? dir_->Join("no-data") : dataFolder;
        options.fatal = [](std::string_view text) { QFAIL(std::string(text).c_str()); };
        options.makeWorldAsker = [record = record_] { return std::make_unique<ScriptedAsker>(record); };
        window_ = StartViewer(args, options);
        if (!window_) qFatal("the viewer did not start");
        return *window_;
    }
    ViewerSession& Session() { return *ViewerSession::Of(*window_); }
    const WorldPropertiesWindow::Controls& Controls() { return Session().WorldWindow().Widgets(); }
    QAction* Entry(int command) { return Session().ObjectCatalogueMenu().EntryAction(command); }
    std::string Temp(std::string_view name) { return Session().TempFolder() + "/" + std::string(name); }

private slots:
    void init() {
        previousFolder_ = CurrentDirectory();
        dir_ = std::make_unique<TempDir>();
        record_ = std::make_shared<AskerRecord>();
        start_ = dir_->Join("start");
        objA_ = dir_->Join("objA");
        objB_ = dir_->Join("objB");
        prog_ = dir_->Join("prog");
        config_ = dir_->Join("config/pelorus");
        run_ = dir_->Join("run");
        dir_->Write("start/Worlds.txt", "0\nPlain\nShop\nBare\n");
        dir_->Write("start/Plain.world", WorldText(objA_, "", "flat"));
        dir_->Write("start/Shop.world", WorldText(objB_, "pw", "big"));
        dir_->Write("start/Bare.world", WorldText("", "", "flat"));
        dir_->Write("start/scene/model.rwx", kQuad);
        dir_->Write("start/scene/wood.rwx", kWoodQuad);
        dir_->Write("objA/models/flat.rwx", kTriangle);
        dir_->Write("objA/models/big.rwx", kQuad);
        dir_->Write("objB/models/big.rwx", kQuad);
        QVERIFY(WriteZip(objB_ + "/models/Box.zip", "box.rwx", kWoodQuad));
        QVERIFY(WriteZip(objB_ + "/models/Locked.zip", "locked.rwx", kTriangle, "pw"));
        dir_->Write("objB/models/bad.zip", "PK\3\4 this is no zip archive");
        dir_->Write("objB/textures/wood.jpg", Slurp(test::SourceDir() + "/samples/crate.jpg"));
        fs::create_directories(prog_);
    }

    void cleanup() {
        window_.reset();
        SetCurrentDirectory(previousFolder_);
        dir_.reset();
    }

    void startAppliesTheListedWorldAndTheListIsWrittenWhereItWasRead() {
        MainWindow& window = Start({"scene/model.rwx"});
        QCOMPARE(CurrentDirectory(), start_ + "/scene");
        QCOMPARE(Triangles(window), int64_t{2});
        QCOMPARE(GroundTriangles(window), int64_t{1});  // objA's flat, found by the absolute object path
        QVERIFY(!Session().WorldWindow().isVisible());
        QCOMPARE(Controls().worldName->currentText(), QString("Plain"));
        // objA's models folder holds no archive: the Object menu keeps only its own items.
        QCOMPARE(Texts(window.ObjectMenu()), (std::vector<QString>{"----", "&Properties...\tAlt+Enter"}));

        QVERIFY(Session().Book().Select(1).empty());
        QCOMPARE(Slurp(start_ + "/Worlds.txt"), std::string("1\nPlain\nShop\nBare\n"));  // at once
        ShutDownViewer(std::move(window_));
        QCOMPARE(Slurp(start_ + "/Worlds.txt"), std::string("1\nPlain\nShop\nBare\n"));
        QVERIFY(!fs::exists(start_ + "/scene/Worlds.txt"));
        QVERIFY(record_->errors.empty());
    }

    void okAppliesThePickedWorldAndRebuildsTheCatalogue() {
        MainWindow& window = Start({"scene/model.rwx"});
        window.Action(kCmdWorldProperties)->trigger();
        QVERIFY(Session().WorldWindow().isVisible());

        Controls().worldName->setCurrentIndex(1);
        QCOMPARE(GroundTriangles(window), int64_t{1});  // nothing applied before "OK"
        Controls().ok->click();
        QVERIFY(!Session().WorldWindow().isVisible());
        QCOMPARE(GroundTriangles(window), int64_t{2});  // objB's big
        QCOMPARE(dynamic_cast<PlainView&>(window.View()).Look().objectPath, objB_ + "/");
        const std::vector<QString> shop{"&B\t(2)", "&L\t(1)", "----", "&Properties...\tAlt+Enter"};
        QCOMPARE(Texts(window.ObjectMenu()), shop);
        QCOMPARE(Session().ObjectCatalogue().Names(), (std::vector<std::string>{"bad", "Box", "Locked"}));

        // A world without an object path keeps the catalogue it found.
        window.Dispatch(kCmdWorldProperties);
        Controls().worldName->setCurrentIndex(2);
        Controls().ok->click();
        QCOMPARE(Texts(window.ObjectMenu()), shop);
        QVERIFY(Entry(kBox));
    }

    // Edits are applied by OK only: a load while the window is open, or after it was closed,
    // shows the world as saved.
    void editsThatWereNotSavedAreNeverApplied() {
        MainWindow& window = Start({"scene/model.rwx"});
        window.Dispatch(kCmdWorldProperties);
        Controls().ground->selectAll();
        QTest::keyClicks(Controls().ground, "big");
        window.Dispatch(kCmdReload);
        QCOMPARE(GroundTriangles(window), int64_t{1});
        QVERIFY(Session().WorldWindow().close());
        QVERIFY(!Session().WorldWindow().isVisible());
        QCOMPARE(Slurp(start_ + "/Plain.world"), WorldText(objA_, "", "flat"));  // nothing saved
        window.Dispatch(kCmdReload);
        QCOMPARE(GroundTriangles(window), int64_t{1});
        window.Dispatch(kCmdWorldProperties);
        QCOMPARE(Controls().ground->text(), QString("flat"));

        Controls().ground->selectAll();
        QTest::keyClicks(Controls().ground, "big");
        Controls().ok->click();
        QCOMPARE(GroundTriangles(window), int64_t{2});
    }

    // The whole road of an entry: the world's archives in the menu, the chosen one extracted and
    // shown checked with its textures, Reload, the password of the world, and another file
    // ending it all.
    void aChosenEntryShowsCheckedWithItsTexturesUntilAnotherFileIsOpened() {
        dir_->Write("start/Worlds.txt", "1\nPlain\nShop\n");
        MainWindow& window = Start();  // no file: the world and its catalogue still come
        QCOMPARE(window.ModelObjects().size(), std::size_t{0});
        QVERIFY(Entry(kBox));

        const std::size_t mark = window.Log().LineCount();
        Entry(kBox)->trigger();
        QCOMPARE(window.CurrentFile(), Temp("Box.rwx"));
        QCOMPARE(Triangles(window), int64_t{2});
        QCOMPARE(TextureFiles(window), std::vector<std::string>{objB_ + "/textures/wood.jpg"});
        QVERIFY(Entry(kBox)->isChecked());
        QVERIFY(!Entry(kLocked)->isChecked());
        QCOMPARE(GroundTriangles(window), int64_t{2});

        // Reload reads the extracted script again, with the textures folder.
        std::ofstream(Temp("Box.rwx"), std::ios::binary | std::ios::trunc) << kWoodTriangle;
        window.Dispatch(kCmdReload);
        QCOMPARE(Triangles(window), int64_t{1});
        QCOMPARE(TextureFiles(window), std::vector<std::string>{objB_ + "/textures/wood.jpg"});
        QCOMPARE(window.Log().LinesSince(mark), std::vector<std::string>{});

        Entry(kLocked)->trigger();  // encrypted with the world's password
        QCOMPARE(window.CurrentFile(), Temp("Locked.rwx"));
        QCOMPARE(Triangles(window), int64_t{1});
        QVERIFY(Entry(kLocked)->isChecked());
        QVERIFY(!Entry(kBox)->isChecked());
        QCOMPARE(window.Log().LinesSince(mark), std::vector<std::string>{});
        QVERIFY(window.Recent().Paths().empty());  // extracted scripts do not outlive the run

        // Another file: no entry checked, and the catalogue's textures are not searched.
        window.OpenFile(start_ + "/scene/wood.rwx");
        for (QAction* entry : Session().ObjectCatalogueMenu().EntryActions()) QVERIFY(!entry->isChecked());
        QCOMPARE(Session().ObjectCatalogue().CurrentEntry(), std::string());
        QVERIFY(TextureFiles(window).empty());
        QCOMPARE(window.Log().LinesSince(mark), std::vector<std::string>{"Couldn't open texture \"wood.jpg\"."});
    }

    // A model zip that carries its own textures shows them, before the world's textures folder,
    // and again after a reload.
    void anEntrysTexturesInsideItsArchiveAreFoundFirst() {
        dir_->Write("start/Worlds.txt", "1\nPlain\nShop\n");
        QVERIFY(test::WriteZipMembers(objB_ + "/models/Crate.zip",
                                      {{"crate.rwx", std::string(kWoodQuad), ""},
                                       {"images/Wood.JPG", Slurp(test::SourceDir() + "/samples/tiles.jpg"), ""}}));
        MainWindow& window = Start();
        const int crate = kFirstCatalogueCommand + 2;  // bad, Box, Crate, Locked
        QVERIFY(Entry(crate));
        const std::size_t mark = window.Log().LineCount();
        Entry(crate)->trigger();
        const std::vector<std::string> inside{objB_ + "/models/Crate.zip:images/Wood.JPG"};
        QCOMPARE(TextureFiles(window), inside);
        window.Dispatch(kCmdReload);
        QCOMPARE(TextureFiles(window), inside);
        QCOMPARE(window.Log().LinesSince(mark), std::vector<std::string>{});
        // Another entry: its archive has no textures, the textures folder serves.
        Entry(kBox)->trigger();
        QCOMPARE(TextureFiles(window), std::vector<std::string>{objB_ + "/textures/wood.jpg"});
    }

    void aCorruptArchiveWritesOneLineAndShowsAnEmptyObject() {
        dir_->Write("start/Worlds.txt", "1\nPlain\nShop\n");
        MainWindow& window = Start({"scene/model.rwx"});
        Entry(kBox)->trigger();
        QCOMPARE(Triangles(window), int64_t{2});

        const std::size_t mark = window.Log().LineCount();
        Entry(kBad)->trigger();
        const std::vector<std::string> lines = window.Log().LinesSince(mark);
        QCOMPARE(lines.size(), std::size_t{1});
        QVERIFY2(lines[0].find(objB_ + "/models/bad.zip") != std::string::npos, lines[0].c_str());
        QCOMPARE(window.ModelObjects().size(), std::size_t{1});
        QCOMPARE(Triangles(window), int64_t{0});
        QVERIFY(!fs::exists(Temp("bad.rwx")));
        QVERIFY(Entry(kBad)->isChecked());
        QCOMPARE(GroundTriangles(window), int64_t{2});  // the world is still applied
    }

    // Each viewer extracts into a private folder of its own, which goes with it; a folder that a
    // viewer still running uses is never touched, one left by a viewer that ended is removed.
    void eachViewerHasItsOwnTemporaryFolder() {
        dir_->Write("start/Worlds.txt", "1\nPlain\nShop\n");
        const std::string live = run_ + "/pelorus-" + std::to_string(::getppid()) + "-Ab12Cd";
        const std::string ended = run_ + "/pelorus-2147483000-Ab12Cd";
        dir_->Write("run/" + std::string(FileNamePart(live)) + "/Box.rwx", kTriangle);
        dir_->Write("run/" + std::string(FileNamePart(ended)) + "/Box.rwx", kTriangle);
        dir_->Write("run/notes.txt", "kept");
        Start();
        const std::string own = Session().TempFolder();
        QCOMPARE(std::string(ParentPart(own)), run_);
        QVERIFY(own.starts_with(run_ + "/pelorus-" + std::to_string(::getpid()) + "-"));
        QVERIFY(!fs::exists(ended));
        QCOMPARE(Slurp(live + "/Box.rwx"), std::string(kTriangle));
        QCOMPARE(ScriptsIn(own), std::vector<std::string>{});
        Entry(kBox)->trigger();
        QCOMPARE(ScriptsIn(own), std::vector<std::string>{"Box.rwx"});
        QCOMPARE(Slurp(live + "/Box.rwx"), std::string(kTriangle));  // the other viewer's is its own

        // A second viewer at the same time: another folder; its end leaves the first one alone.
        std::unique_ptr<MainWindow> first = std::move(window_);
        Start();
        const std::string second = Session().TempFolder();
        QVERIFY(second != own);
        ShutDownViewer(std::move(window_));
        QVERIFY(!fs::exists(second));
        QCOMPARE(ScriptsIn(own), std::vector<std::string>{"Box.rwx"});
        first->Dispatch(kCmdReload);
        QCOMPARE(Triangles(*first), int64_t{2});

        ShutDownViewer(std::move(first));
        QVERIFY(!fs::exists(own));
        QCOMPARE(Slurp(live + "/Box.rwx"), std::string(kTriangle));
        QCOMPARE(Slurp(run_ + "/notes.txt"), std::string("kept"));
    }

    // Started from a folder without a world list, the viewer keeps everything in the user's
    // configuration folder and writes nothing where it was started.
    void withoutAWorldListHereEverythingGoesToTheConfigurationFolder() {
        fs::remove_all(start_);
        dir_->Write("start/scene/model.rwx", kQuad);
        MainWindow& window = Start({"scene/model.rwx"});
        record_->names.push_back("Mine");
        window.Dispatch(kCmdWorldProperties);
        Controls().newWorld->click();
        QVERIFY(record_->errors.empty());
        window.resize(640, 480);
        ShutDownViewer(std::move(window_));
        QCOMPARE(Slurp(config_ + "/Worlds.txt"), std::string("0\nMine\n"));
        QCOMPARE(Slurp(config_ + "/Mine.world"), std::string(kDefaultWorldText));
        QCOMPARE(Slurp(config_ + "/Recent.txt"), start_ + "/scene/model.rwx\n");
        std::vector<std::string> written;
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(start_))
            written.push_back(e.path().string());
        std::sort(written.begin(), written.end());
        QCOMPARE(written, (std::vector<std::string>{start_ + "/scene", start_ + "/scene/model.rwx"}));

        // The next run finds its worlds there, and its window as it was.
        MainWindow& next = Start();
        QCOMPARE(Session().Book().Names(), std::vector<std::string>{"Mine"});
        QCOMPARE(next.size(), QSize(640, 480));
    }

    // The default world looks right anywhere: its backdrop and ground come from the program's
    // data folder when the world's places hold none, without a complaint.
    void theDefaultWorldsFilesComeFromTheDataFolder() {
        fs::remove_all(start_);
        dir_->Write("start/model.rwx", kQuad);
        MainWindow& window = Start({"model.rwx"}, test::SourceDir() + "/data");
        QCOMPARE(window.Log().Lines(), std::vector<std::string>{});
        QVERIFY(GroundTriangles(window) > 0);
        QCOMPARE(dynamic_cast<PlainView&>(window.View()).Look().groundPath,
                 test::SourceDir() + "/data/models/fall_gd.rwx");

        // A world naming files of its own that exist nowhere is reported as before.
        ShutDownViewer(std::move(window_));
        dir_->Write("start/Worlds.txt", "0\nOwn\n");
        dir_->Write("start/Own.world", WorldText("", "", "meadow"));
        MainWindow& own = Start({"model.rwx"}, test::SourceDir() + "/data");
        QCOMPARE(own.Log().Lines().size(), std::size_t{1});
        QVERIFY2(own.Log().Lines()[0].find("meadow") != std::string::npos, own.Log().Lines()[0].c_str());
    }

    // A zipped model dropped or opened is extracted into the viewer's folder and shown with the
    // textures beside it; Recent remembers the archive.
    // A zipped model is read straight from its archive, like a script: it becomes the file shown
    // and the one Recent remembers.
    void aZippedModelIsShownFromItsArchive() {
        dir_->Write("start/Worlds.txt", "0\nPlain\n");
        QVERIFY(WriteZip(dir_->Join("downloads/crate.zip"), "Crate.rwx", kWoodQuad));
        dir_->Write("downloads/wood.jpg", Slurp(test::SourceDir() + "/samples/crate.jpg"));
        QVERIFY(WriteZip(dir_->Join("other/crate.zip"), "crate.rwx", kTriangle));
        MainWindow& window = Start();
        const std::size_t mark = window.Log().LineCount();
        SetCurrentDirectory(dir_->Join("downloads"));  // as the Open dialog leaves it
        window.ShowChosenFile(dir_->Join("downloads/crate.zip"));
        QCOMPARE(window.CurrentFile(), dir_->Join("downloads/crate.zip"));
        QCOMPARE(Triangles(window), int64_t{2});
        QCOMPARE(TextureFiles(window), std::vector<std::string>{dir_->Join("downloads/wood.jpg")});
        QCOMPARE(window.Recent().Paths(), std::vector<std::string>{dir_->Join("downloads/crate.zip")});

        window.ShowChosenFile(dir_->Join("other/crate.zip"));
        QCOMPARE(window.CurrentFile(), dir_->Join("other/crate.zip"));
        QCOMPARE(Triangles(window), int64_t{1});
        window.RecentMenu()->actions()[1]->trigger();
        QCOMPARE(window.CurrentFile(), dir_->Join("downloads/crate.zip"));
        QCOMPARE(Triangles(window), int64_t{2});
        const std::vector<std::string> lines = window.Log().LinesSince(mark);
        QVERIFY2(lines.empty(), lines.empty() ? "" : lines.front().c_str());

        // Named on the command line too.
        ShutDownViewer(std::move(window_));
        MainWindow& next = Start({dir_->Join("other/crate.zip")});
        QCOMPARE(next.CurrentFile(), dir_->Join("other/crate.zip"));
        QCOMPARE(Triangles(next), int64_t{1});
        QCOMPARE(CurrentDirectory(), dir_->Join("other"));
    }

    // World > Texture Folders... edits the user's TexturesPath.txt; OK saves it and the file shown
    // is read again with the new folders.
    void textureFoldersAreEditedAndUsedAtOnce() {
        dir_->Write("start/Worlds.txt", "0\nBare\n");
        dir_->Write("wood/wood.jpg", Slurp(test::SourceDir() + "/samples/crate.jpg"));
        MainWindow& window = Start({"scene/wood.rwx"});
        QVERIFY(TextureFiles(window).empty());
        window.Action(kCmdTextureFolders)->trigger();
        TextureFoldersDialog* dialog = Session().TextureFolders();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->Widgets().note->text().contains(QString::fromStdString(config_ + "/TexturesPath.txt")));
        record_->folders = {dir_->Join("elsewhere"), dir_->Join("wood")};
        dialog->Widgets().add->click();
        dialog->Widgets().add->click();
        dialog->Widgets().up->click();  // wood first
        QCOMPARE(dialog->Folders(), (std::vector<std::string>{dir_->Join("wood"), dir_->Join("elsewhere")}));
        dialog->Widgets().ok->click();
        QCOMPARE(Slurp(config_ + "/TexturesPath.txt"), dir_->Join("wood") + "\n" + dir_->Join("elsewhere"));
        QCOMPARE(TextureFiles(window), std::vector<std::string>{dir_->Join("wood/wood.jpg")});
        QTRY_VERIFY(!Session().TextureFolders());

        // Cancel keeps the file as it was.
        window.Action(kCmdTextureFolders)->trigger();
        dialog = Session().TextureFolders();
        QCOMPARE(dialog->Folders(), (std::vector<std::string>{dir_->Join("wood"), dir_->Join("elsewhere")}));
        dialog->Widgets().list->setCurrentRow(0);
        dialog->Widgets().remove->click();
        dialog->Widgets().cancel->click();
        QCOMPARE(Slurp(config_ + "/TexturesPath.txt"), dir_->Join("wood") + "\n" + dir_->Join("elsewhere"));

        // The program's own list wins; the dialog says so.
        dir_->Write("prog/TexturesPath.txt", ".");
        ShutDownViewer(std::move(window_));
        MainWindow& next = Start({"scene/wood.rwx"});
        QVERIFY(TextureFiles(next).empty());
        next.Action(kCmdTextureFolders)->trigger();
        QVERIFY(Session().TextureFolders()->Widgets().note->text().contains(
            QString::fromStdString(prog_ + "/TexturesPath.txt")));
    }

    // World > Import Attributes... makes a world of a dump, named by it without replacing the
    // world of that name, and applies it; a file that is no dump is refused with a message.
    void importedAttributesBecomeTheCurrentWorld() {
        dir_->Write("start/atshop.txt", "atdump version 1\r\n0 Plain\r\n3 " + objB_ +
                                            "\r\n61 big\r\n69 1N 2W\r\nx\r\n500 kept\r\n500 again\r\n");
        dir_->Write("start/bad.txt", "propdump version 4\n");
        MainWindow& window = Start({"scene/model.rwx"});
        QCOMPARE(GroundTriangles(window), int64_t{1});
        record_->files = {dir_->Join("start/bad.txt"), dir_->Join("start/atshop.txt")};
        window.Action(kCmdImportAttributes)->trigger();
        QCOMPARE(record_->errors.size(), std::size_t{1});
        QCOMPARE(record_->errors[0].caption, std::string("Error : World Attributes Not Imported"));
        QVERIFY(record_->errors[0].text.find("is not a world attribute dump") != std::string::npos);
        QCOMPARE(Session().Book().Names().size(), std::size_t{3});

        window.Action(kCmdImportAttributes)->trigger();
        QCOMPARE(record_->errors.size(), std::size_t{1});
        QCOMPARE(Session().Book().Names(), (std::vector<std::string>{"Plain", "Shop", "Bare", "Plain (2)"}));
        QCOMPARE(Controls().worldName->currentText(), QString("Plain (2)"));
        QCOMPARE(window.statusBar()->currentMessage(),
                 QString("Imported the world \"Plain (2)\": 4 attributes used, 1 other ignored."));
        QCOMPARE(Controls().objectPath->text(), QString::fromStdString(objB_));
        QCOMPARE(Session().Book().Saved().entryPoint, std::string("1N 2W"));
        QCOMPARE(ParseWorldFile(Slurp(start_ + "/Plain (2).world")), Session().Book().Saved());
        QCOMPARE(ParseWorldFile(Slurp(start_ + "/Plain.world")).objectPath, objA_);
        // Applied: no ground is named, and the skybox comes from the dump's object path.
        QCOMPARE(GroundTriangles(window), int64_t{0});
        QCOMPARE(window.View().Scene()->Skybox()->CountTriangles(), int64_t{2});
        QVERIFY(window.Log().Text().find("atshop.txt\", line 6: \"x\" is not an attribute number.") !=
                std::string::npos);
    }

    void aWorldListThatCannotBeWrittenIsReportedWhenAWorldIsAdded() {
        fs::remove(start_ + "/Worlds.txt");
        fs::create_directory(start_ + "/Worlds.txt");  // in the way of the list
        Start();
        QVERIFY(Session().Book().Names().empty());
        record_->names.push_back("Fresh");
        window_->Dispatch(kCmdWorldProperties);
        Controls().newWorld->click();
        QCOMPARE(record_->errors.size(), std::size_t{1});
        QCOMPARE(record_->errors[0].caption, std::string("Error : World List Not Saved"));
        QVERIFY(Session().Book().Names().empty());

        ShutDownViewer(std::move(window_));
        QCOMPARE(record_->errors.size(), std::size_t{1});
        QVERIFY(fs::is_directory(start_ + "/Worlds.txt"));
    }
};

}  // namespace
}  // namespace pelorus

QTEST_MAIN(pelorus::ViewerSessionTest)
#include "test_viewersession.moc"
