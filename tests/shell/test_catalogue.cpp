#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/paths.h"
#include "shell/catalogue.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::TempDir;
namespace fs = std::filesystem;

struct Member {
    Member(std::string n, std::string d, std::string p = {})
        : name(std::move(n)), data(std::move(d)), password(std::move(p)) {}
    std::string name;
    std::string data;
    std::string password;  // "" for none; AES-256 otherwise
};

void WriteZip(const std::string& path, const std::vector<Member>& members) {
    fs::create_directories(fs::path(path).parent_path());
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr) << "zip_open error " << error;
    for (const Member& m : members) {
        zip_source_t* source = zip_source_buffer(zip, m.data.data(), m.data.size(), 0);
        const zip_int64_t index = zip_file_add(zip, m.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0) << zip_strerror(zip);
        if (!m.password.empty()) {
            ASSERT_EQ(
                zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, m.password.c_str()), 0);
        }
    }
    ASSERT_EQ(zip_close(zip), 0) << zip_strerror(zip);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::string> Labels(const std::vector<CatalogueMenuGroup>& menu) {
    std::vector<std::string> labels;
    for (const CatalogueMenuGroup& g : menu) labels.push_back(g.label);
    return labels;
}

// ---- Menu model --------------------------------------------------------------------------------

TEST(CatalogueGroup, FirstCharacterPicksLetterDigitsOrOther) {
    const struct {
        std::string_view name;
        int group;
    } cases[] = {{"apple", 0},   {"Apricot", 0}, {"zed", 25}, {"Zed", 25}, {"3d", 26}, {"0", 26},
                 {"9lives", 26}, {"_x", 27},     {"", 27},    {"@", 27},   {"[", 27},  {"\xC3\xA9t\xC3\xA9", 27}};
    for (const auto& c : cases) EXPECT_EQ(CatalogueGroupOf(c.name), c.group) << c.name;
}

TEST(CatalogueMenu, GroupsComeOtherThenDigitsThenLettersWithTotals) {
    const std::vector<std::string> names{"apple", "_x", "Apricot", "3d"};
    const std::vector<CatalogueMenuGroup> menu = BuildCatalogueMenu(names, "");
    EXPECT_EQ(Labels(menu), (std::vector<std::string>{"&?\t(1)", "&0-9\t(1)", "&A\t(2)"}));
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu[2].total, 2);
    ASSERT_EQ(menu[2].parts.size(), 1u);
    EXPECT_EQ(menu[2].parts[0].label, "");  // small groups list their entries directly
    const auto& a = menu[2].parts[0].entries;
    ASSERT_EQ(a.size(), 2u);
    // Catalogue order within the group, commands by catalogue index.
    EXPECT_EQ(a[0].label, "apple");
    EXPECT_EQ(a[0].command, 2302);
    EXPECT_EQ(a[1].label, "Apricot");
    EXPECT_EQ(a[1].command, 2304);
    EXPECT_EQ(menu[0].parts[0].entries[0].command, 2303);
    EXPECT_EQ(menu[1].parts[0].entries[0].command, 2305);
    EXPECT_TRUE(BuildCatalogueMenu({}, "").empty());
}

TEST(CatalogueMenu, LargeGroupsSplitIntoSubmenusOfFiftyAndKeepEveryEntry) {
    const struct {
        std::size_t count;
        std::vector<std::string> partLabels;
        std::vector<std::size_t> partSizes;
    } cases[] = {
        {50, {""}, {50}},
        {51, {"B 1\u201350", "B 51\u201351"}, {50, 1}},
        {120, {"B 1\u201350", "B 51\u2013100", "B 101\u2013120"}, {50, 50, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<std::string> names{"apple"};
        for (std::size_t i = 0; i < c.count; ++i) names.push_back("b" + std::to_string(i));
        const std::vector<CatalogueMenuGroup> menu = BuildCatalogueMenu(names, "");
        ASSERT_EQ(menu.size(), 2u);
        const CatalogueMenuGroup& b = menu[1];
        EXPECT_EQ(b.label, "&B\t(" + std::to_string(c.count) + ")");
        EXPECT_EQ(b.total, static_cast<int32_t>(c.count));
        ASSERT_EQ(b.parts.size(), c.partLabels.size());
        int32_t next = 2303;
        for (std::size_t p = 0; p < b.parts.size(); ++p) {
            EXPECT_EQ(b.parts[p].label, c.partLabels[p]);
            ASSERT_EQ(b.parts[p].entries.size(), c.partSizes[p]);
            for (const CatalogueMenuEntry& e : b.parts[p].entries) {
                EXPECT_EQ(e.command, next);
                EXPECT_EQ(e.label, names[static_cast<std::size_t>(next - 2302)]);
                ++next;
            }
        }
        EXPECT_EQ(next, 2303 + static_cast<int32_t>(c.count));
    }
}

TEST(CatalogueMenu, OtherAndDigitGroupsSplitWithTheirOwnNames) {
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) names.push_back("_" + std::to_string(i));
    for (int i = 0; i < 60; ++i) names.push_back(std::to_string(i));
    const std::vector<CatalogueMenuGroup> menu = BuildCatalogueMenu(names, "");
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].parts.at(1).label, "? 51\u201360");
    EXPECT_EQ(menu[1].parts.at(0).label, "0-9 1\u201350");
}

TEST(CatalogueMenu, CheckMarkFollowsTheCurrentEntryPreferringTheExactName) {
    const std::vector<std::string> names{"apple", "Apple", "pear"};
    auto checked = [&](std::string_view current) {
        std::vector<std::string> out;
        for (const CatalogueMenuGroup& g : BuildCatalogueMenu(names, current))
            for (const CatalogueMenuPart& p : g.parts)
                for (const CatalogueMenuEntry& e : p.entries)
                    if (e.checked) out.push_back(e.label);
        return out;
    };
    EXPECT_TRUE(checked("").empty());
    EXPECT_EQ(checked("Apple"), std::vector<std::string>{"Apple"});
    EXPECT_EQ(checked("PEAR"), std::vector<std::string>{"pear"});
    EXPECT_EQ(checked("APPLE"), (std::vector<std::string>{"apple", "Apple"}));
    EXPECT_TRUE(checked("plum").empty());
}

TEST(CatalogueMenu, AmpersandInANameShowsAsWritten) {
    const std::vector<std::string> names{"R&D"};
    const std::vector<CatalogueMenuGroup> menu = BuildCatalogueMenu(names, "");
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].parts[0].entries[0].label, "R&&D");
}

// ---- Listing -----------------------------------------------------------------------------------

TEST(CatalogueListing, OnlyZipFilesSortedWithoutRegardToCase) {
    TempDir dir;
    for (const char* file : {"b.zip", "A.ZIP", "apple.Zip", "_x.zip", "notes.txt", "x.zipx", ".zip"})
        dir.Write(std::string("models/") + file, "");
    fs::create_directories(dir.Join("models/folder.zip"));
    fs::create_symlink(dir.Join("models/b.zip"), dir.Join("models/link.zip"));
    fs::create_symlink(dir.Join("models/nowhere"), dir.Join("models/dangling.zip"));
    EXPECT_EQ(ListCatalogueArchives(dir.Join("models")),
              (std::vector<std::string>{"A.ZIP", "apple.Zip", "b.zip", "link.zip", "_x.zip"}));
    EXPECT_TRUE(ListCatalogueArchives(dir.Join("absent")).empty());
}

TEST(Catalogue, RebuildFindsModelsFolderWrittenWithBackslashesInAnyCase) {
    TempDir dir;
    dir.Write("Objects/Models/Car.zip", "");
    dir.Write("Objects/Models/bike.zip", "");
    Catalogue catalogue;
    EXPECT_TRUE(catalogue.Rebuild(dir.Path() + "\\objects\\"));
    EXPECT_EQ(catalogue.Names(), (std::vector<std::string>{"bike", "Car"}));
    EXPECT_EQ(catalogue.ArchivePath(1), dir.Join("Objects/Models/Car.zip"));
    EXPECT_EQ(catalogue.ArchivePath(2), "");
}

TEST(Catalogue, MissingModelsFolderGivesNoEntriesEvenWhenTheCurrentFolderHasArchives) {
    TempDir dir;
    dir.Write("stray.zip", "");
    fs::create_directories(dir.Join("world"));
    Catalogue catalogue;
    EXPECT_TRUE(catalogue.Rebuild("world", dir.Path()));
    EXPECT_TRUE(catalogue.Names().empty());
    EXPECT_TRUE(catalogue.Menu().empty());
}

TEST(Catalogue, EmptyObjectPathKeepsThePreviousCatalogue) {
    TempDir dir;
    dir.Write("models/a.zip", "");
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.Rebuild(dir.Path()));
    EXPECT_FALSE(catalogue.Rebuild(""));
    EXPECT_EQ(catalogue.Names(), std::vector<std::string>{"a"});
}

TEST(Catalogue, FourHundredArchivesAllGetEntriesAndCommands) {
    TempDir dir;
    for (int i = 0; i < 401; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "models/m%03d.zip", i);
        dir.Write(name, "");
    }
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.Rebuild(dir.Path()));
    ASSERT_EQ(catalogue.Names().size(), 401u);
    EXPECT_EQ(catalogue.Names()[199], "m199");
    EXPECT_EQ(catalogue.Names()[200], "m200");
    EXPECT_EQ(catalogue.Names()[400], "m400");
    EXPECT_EQ(catalogue.EntryOfCommand(2302 + 199), 199u);
    EXPECT_EQ(catalogue.EntryOfCommand(2302 + 400), 400u);
    EXPECT_EQ(catalogue.EntryOfCommand(2302 + 401), std::nullopt);
    EXPECT_EQ(catalogue.EntryOfCommand(2301), std::nullopt);
    EXPECT_EQ(catalogue.EntryOfCommand(-5), std::nullopt);
    const std::vector<CatalogueMenuGroup> menu = catalogue.Menu();
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].label, "&M\t(401)");
    EXPECT_EQ(menu[0].parts.size(), 9u);
    EXPECT_EQ(menu[0].parts.back().entries.back().command, 2302 + 400);
}

TEST(CatalogueTextures, TexturesFolderBesideModelsInAnyCase) {
    TempDir dir;
    fs::create_directories(dir.Join("objs/Textures"));
    fs::create_directories(dir.Join("bare/models"));
    EXPECT_EQ(CatalogueTextureDirs(dir.Path() + "\\objs\\"), std::vector<std::string>{dir.Join("objs/Textures")});
    EXPECT_TRUE(CatalogueTextureDirs(dir.Join("bare")).empty());
    EXPECT_TRUE(CatalogueTextureDirs("").empty());

    Catalogue catalogue;
    EXPECT_TRUE(catalogue.TextureDirs().empty());
    ASSERT_TRUE(catalogue.Rebuild(dir.Join("objs")));
    EXPECT_EQ(catalogue.TextureDirs(), std::vector<std::string>{dir.Join("objs/Textures")});
}

// ---- Opening and extraction ----------------------------------------------------------------------

TEST(CatalogueOpen, CommandNumberExtractsThatEntryAndChecksIt) {
    ErrorLog log;
    TempDir dir;
    for (const char* n : {"a", "b", "c", "d", "e"})
        WriteZip(dir.Join(std::string("objs/models/") + n + ".zip"),
                 {{std::string(n) + ".rwx", std::string("model ") + n}});
    Catalogue catalogue;
    // A relative object path; opening later must not depend on any folder.
    ASSERT_TRUE(catalogue.Rebuild("objs", dir.Path()));
    const std::string temp = dir.Join("temp");
    const ExtractResult result = catalogue.Open(2305, temp, "", log);
    EXPECT_EQ(result.status, ExtractStatus::Ok);
    EXPECT_EQ(result.scriptPath, temp + "/d.rwx");
    EXPECT_EQ(ReadText(result.scriptPath), "model d");
    EXPECT_EQ(catalogue.CurrentEntry(), "d");
    const std::vector<CatalogueMenuGroup> menu = catalogue.Menu();
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_TRUE(menu[3].parts[0].entries[0].checked);
    EXPECT_FALSE(menu[0].parts[0].entries[0].checked);

    // Still checked after a rebuild; cleared for other loads.
    ASSERT_TRUE(catalogue.Rebuild(dir.Join("objs")));
    EXPECT_TRUE(catalogue.Menu()[3].parts[0].entries[0].checked);
    catalogue.ClearCurrentEntry();
    EXPECT_FALSE(catalogue.Menu()[3].parts[0].entries[0].checked);
}

TEST(CatalogueOpen, CommandBeyondTheCatalogueChangesNothing) {
    TempDir dir;
    WriteZip(dir.Join("models/a.zip"), {{"a.rwx", "x"}});
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.Rebuild(dir.Path()));
    ErrorLog first;
    ASSERT_EQ(catalogue.Open(2302, dir.Join("temp"), "", first).status, ExtractStatus::Ok);
    LogCapture log;
    const ExtractResult result = catalogue.Open(2303, dir.Join("temp"), "", log);
    EXPECT_EQ(result.status, ExtractStatus::NoSuchEntry);
    EXPECT_EQ(result.scriptPath, "");
    EXPECT_EQ(catalogue.CurrentEntry(), "a");
    EXPECT_EQ(log.Lines().size(), 1u);
}

TEST(Extract, PicksTheScriptNamedLikeTheArchiveElseTheFirstScript) {
    const struct {
        const char* what;
        std::vector<Member> members;
        std::string expected;
    } cases[] = {
        {"named member wins, in any case and folder",
         {{"readme.rwx", "first"}, {"sub/CAR.RWX", "named"}, {"car.rwx", "later"}},
         "named"},
        {"first .rwx member otherwise", {{"notes.txt", "n"}, {"body.RWX", "body"}, {"wheel.rwx", "wheel"}}, "body"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteZip(dir.Join("car.zip"), c.members);
        LogCapture log;
        const ExtractResult result = ExtractModelScript(dir.Join("car.zip"), "car", dir.Join("temp"), "", log);
        EXPECT_EQ(result.status, ExtractStatus::Ok);
        EXPECT_EQ(ReadText(dir.Join("temp/car.rwx")), c.expected);
        EXPECT_EQ(FilesIn(dir.Join("temp")), std::set<std::string>{"car.rwx"});
        EXPECT_TRUE(log.Lines().empty());
    }
}

TEST(Extract, FailuresLogOneLineNamingTheArchiveAndLeaveNoStaleScript) {
    TempDir dir;
    WriteZip(dir.Join("noscript.zip"), {{"car.jpg", "jpeg"}});
    dir.Write("notzip.zip", "this is not an archive");
    WriteZip(dir.Join("big.zip"), {{"big.rwx", std::string(5000, 'x')}});
    WriteZip(dir.Join("locked.zip"), {{"locked.rwx", "secret", "sesame"}});
    WriteZip(dir.Join("good.zip"), {{"good.rwx", "ok"}});
    std::string corrupt = ReadText(dir.Join("good.zip"));
    corrupt.resize(corrupt.size() - 10);  // end of the directory cut off
    dir.Write("corrupt.zip", corrupt);
    WriteZip(dir.Join("damaged.zip"), {{"damaged.rwx", std::string(3000, 'd')}});
    std::string damaged = ReadText(dir.Join("damaged.zip"));
    for (std::size_t i = 30 + std::string("damaged.rwx").size(); i < 60; ++i) damaged[i] = '\xFF';
    dir.Write("damaged.zip", damaged);

    const struct {
        const char* archive;
        ExtractStatus expected;
        const char* says;
    } cases[] = {
        {"missing.zip", ExtractStatus::CannotOpen, "Couldn't open archive"},
        {"noscript.zip", ExtractStatus::NoScript, "holds no .rwx model script"},
        {"notzip.zip", ExtractStatus::NotAZip, "is not a zip archive"},
        {"corrupt.zip", ExtractStatus::NotAZip, "is not a zip archive"},
        {"damaged.zip", ExtractStatus::Corrupt, "holds a damaged model script"},
        {"big.zip", ExtractStatus::TooLarge, "larger than 4096 bytes"},
        {"locked.zip", ExtractStatus::NeedsPassword, "password"},
    };
    const std::string temp = dir.Join("temp");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        // A script left by an earlier, successful extraction under the same name.
        const std::string script = ExtractedScriptPath(temp, "model");
        fs::create_directories(temp);
        std::ofstream(script) << "stale";
        LogCapture log;
        const ExtractResult result = ExtractModelScript(dir.Join(c.archive), "model", temp, "", log, 4096);
        EXPECT_EQ(result.status, c.expected);
        EXPECT_EQ(result.scriptPath, script);
        const std::vector<std::string> lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("\"" + dir.Join(c.archive) + "\""), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(c.says), std::string::npos) << lines[0];
        EXPECT_TRUE(FilesIn(temp).empty());
    }
    ErrorLog log;
    EXPECT_EQ(ExtractModelScript(dir.Join("big.zip"), "big", temp, "", log, 5000).status, ExtractStatus::Ok);
}

TEST(Extract, PasswordOpensAnEncryptedScript) {
    ErrorLog log;
    TempDir dir;
    WriteZip(dir.Join("locked.zip"), {{"locked.rwx", "modelbegin\nmodelend\n", "sesame"}});
    const ExtractResult result = ExtractModelScript(dir.Join("locked.zip"), "locked", dir.Join("temp"), "sesame", log);
    EXPECT_EQ(result.status, ExtractStatus::Ok);
    EXPECT_EQ(ReadText(result.scriptPath), "modelbegin\nmodelend\n");
}

TEST(Extract, NothingIsWrittenWherePathsInTheArchivePoint) {
    ErrorLog log;
    TempDir dir;
    WriteZip(dir.Join("evil.zip"), {{"../../evil.rwx", "payload"}, {"/abs/evil.rwx", "payload2"}});
    const std::string temp = dir.Join("deep/temp");
    const ExtractResult result = ExtractModelScript(dir.Join("evil.zip"), "evil", temp, "", log);
    EXPECT_EQ(result.status, ExtractStatus::Ok);
    EXPECT_EQ(ReadText(temp + "/evil.rwx"), "payload");
    EXPECT_EQ(FilesIn(temp), std::set<std::string>{"evil.rwx"});
    EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"deep", "evil.zip"}));
    EXPECT_EQ(FilesIn(dir.Join("deep")), std::set<std::string>{"temp"});
}

TEST(Extract, ScriptPathStaysInTheTemporaryFolder) {
    EXPECT_EQ(ExtractedScriptPath("/t", "car"), "/t/car.rwx");
    EXPECT_EQ(ExtractedScriptPath("/t", "a/..\\b"), "/t/a_.._b.rwx");
    EXPECT_EQ(ExtractedScriptPath("", "car"), "");
}

TEST(Extract, WithoutATemporaryFolderNothingIsWrittenAndOneLineIsLogged) {
    TempDir dir;
    WriteZip(dir.Join("car.zip"), {{"car.rwx", "x"}});
    LogCapture log;
    const ExtractResult result = ExtractModelScript(dir.Join("car.zip"), "car", "", "", log);
    EXPECT_EQ(result.status, ExtractStatus::CannotWrite);
    EXPECT_EQ(result.scriptPath, "");
    EXPECT_EQ(log.Lines().size(), 1u);

    dir.Write("file", "");  // a file where the folder should be
    LogCapture log2;
    EXPECT_EQ(ExtractModelScript(dir.Join("car.zip"), "car", dir.Join("file/temp"), "", log2).status,
              ExtractStatus::CannotWrite);
    EXPECT_EQ(log2.Lines().size(), 1u);
}

// ---- Temporary folders --------------------------------------------------------------------------

// No process ever has this number (far above any kernel's pid_max).
constexpr int32_t kNeverAPid = 2147483000;

TEST(TempFolder, BaseIsTheRuntimeFolderElseTheSystemsElseTmp) {
    TempDir dir;
    fs::create_directories(dir.Join("run"));
    fs::create_directories(dir.Join("tmp"));
    dir.Write("file", "x");
    EXPECT_EQ(TempFolderBase(dir.Join("run"), dir.Join("tmp")), dir.Join("run"));
    EXPECT_EQ(TempFolderBase("", dir.Join("tmp")), dir.Join("tmp"));
    EXPECT_EQ(TempFolderBase(dir.Join("missing"), dir.Join("tmp")), dir.Join("tmp"));
    EXPECT_EQ(TempFolderBase(dir.Join("file"), dir.Join("tmp")), dir.Join("tmp"));
    EXPECT_EQ(TempFolderBase("run", dir.Join("tmp")), dir.Join("tmp"));  // relative: not the user's
    EXPECT_EQ(TempFolderBase("", ""), "/tmp");
}

TEST(TempFolder, OnlyViewerFolderNamesCarryAProcess) {
    EXPECT_EQ(TempFolderProcess("pelorus-1234-Ab12Cd"), 1234);
    EXPECT_EQ(TempFolderProcess("pelorus-2147483647-zzzzzz"), 2147483647);
    for (const char* name : {"pelorus-1234-Ab12C", "pelorus-1234-Ab12Cd7", "pelorus--Ab12Cd", "pelorus-0-Ab12Cd",
                             "pelorus-012-Ab12Cd", "pelorus-+12-Ab12Cd", "pelorus-12a-Ab12Cd", "pelorus-1234-Ab.2Cd",
                             "pelorus-2147483648-Ab12Cd", "Pelorus-1234-Ab12Cd", "pelorus-1234", "temp", ""})
        EXPECT_EQ(TempFolderProcess(name), std::nullopt) << name;
}

TEST(TempFolder, RunningProcessesAreTold) {
    EXPECT_TRUE(ProcessIsRunning(static_cast<int32_t>(::getpid())));
    EXPECT_TRUE(ProcessIsRunning(1));  // another user's
    EXPECT_FALSE(ProcessIsRunning(kNeverAPid));
    EXPECT_FALSE(ProcessIsRunning(0));
    EXPECT_FALSE(ProcessIsRunning(-1));
}

TEST(TempFolder, EachSessionHasItsOwnPrivateFolderRemovedWithItsContents) {
    TempDir dir;
    LogCapture log;
    std::string first, second;
    {
        SessionTempFolder a(dir.Join("run"), log);  // the base is made when missing
        SessionTempFolder b(dir.Join("run"), log);
        first = a.Path();
        second = b.Path();
        ASSERT_FALSE(first.empty());
        EXPECT_NE(first, second);
        EXPECT_EQ(TempFolderProcess(std::string(FileNamePart(first))), static_cast<int32_t>(::getpid()));
        EXPECT_EQ(std::string(ParentPart(first)), dir.Join("run"));
        struct stat st {};
        ASSERT_EQ(::stat(first.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        const std::string own = "run/" + std::string(FileNamePart(first));
        dir.Write(own + "/Box.rwx", "x");
        dir.Write(own + "/archive-1/chair.rwx", "x");
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(fs::is_directory(dir.Join("run")));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(TempFolder, StartUpRemovesOnlyFoldersOfEndedViewers) {
    TempDir dir;
    const std::string run = dir.Join("run");
    const std::string ended = "pelorus-" + std::to_string(kNeverAPid) + "-Ab12Cd";
    const std::string live = "pelorus-" + std::to_string(::getppid()) + "-Xy34Zw";
    dir.Write("run/" + ended + "/Box.rwx", "stale");
    dir.Write("run/" + ended + "/sub/deep.rwx", "stale");
    dir.Write("run/" + live + "/Box.rwx", "shown by another viewer");
    dir.Write("run/pelorus-notes.txt", "not a viewer's");
    dir.Write("run/pelorus-" + std::to_string(kNeverAPid) + "-Qq11Qq", "a file of a viewer's name");
    fs::create_directories(dir.Join("run/other-" + std::to_string(kNeverAPid) + "-Ab12Cd"));

    LogCapture log;
    {
        SessionTempFolder session(run, log);
        EXPECT_FALSE(fs::exists(run + "/" + ended));
        EXPECT_EQ(ReadText(run + "/" + live + "/Box.rwx"), "shown by another viewer");
        EXPECT_TRUE(fs::exists(run + "/pelorus-notes.txt"));
        EXPECT_TRUE(fs::exists(run + "/pelorus-" + std::to_string(kNeverAPid) + "-Qq11Qq"));
        EXPECT_TRUE(fs::exists(dir.Join("run/other-" + std::to_string(kNeverAPid) + "-Ab12Cd")));
    }
    EXPECT_EQ(FilesIn(run).size(), 4u);  // all but the stale folder and this session's own
}

TEST(TempFolder, LinksAreRemovedNeverFollowed) {
    TempDir dir;
    const std::string run = dir.Join("run");
    dir.Write("precious/model.rwx", "kept");
    const std::string stale = run + "/pelorus-" + std::to_string(kNeverAPid) + "-Ab12Cd";
    const std::string linked = run + "/pelorus-" + std::to_string(kNeverAPid) + "-Lnk000";
    fs::create_directories(stale);
    fs::create_directory_symlink(dir.Join("precious"), stale + "/into");  // a link inside a stale folder
    fs::create_symlink(dir.Join("precious/model.rwx"), stale + "/model.rwx");
    fs::create_directory_symlink(dir.Join("precious"), linked);  // a stale name that is a link

    EXPECT_EQ(RemoveStaleTempFolders(run, [](int32_t) { return false; }), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    EXPECT_TRUE(fs::is_symlink(linked));
    EXPECT_EQ(ReadText(dir.Join("precious/model.rwx")), "kept");

    // Removing a tree by hand does the same, and refuses a link in place of the folder.
    fs::create_directories(dir.Join("tree/a/b"));
    fs::create_directory_symlink(dir.Join("precious"), dir.Join("tree/a/b/up"));
    fs::create_directory_symlink(dir.Join("tree"), dir.Join("tree-link"));
    EXPECT_FALSE(RemoveFolderTree(dir.Join("tree-link")));
    EXPECT_TRUE(fs::exists(dir.Join("tree/a/b")));
    EXPECT_TRUE(RemoveFolderTree(dir.Join("tree/")));
    EXPECT_FALSE(fs::exists(dir.Join("tree")));
    EXPECT_TRUE(RemoveFolderTree(dir.Join("tree")));  // nothing there any more
    EXPECT_EQ(ReadText(dir.Join("precious/model.rwx")), "kept");
}

TEST(TempFolder, LivenessIsAskedOnlyForViewerFolders) {
    TempDir dir;
    const std::string run = dir.Join("run");
    fs::create_directories(run + "/pelorus-11-Ab12Cd");
    fs::create_directories(run + "/pelorus-22-Ab12Cd");
    fs::create_directories(run + "/pelorus-33-Ab12Cd");
    fs::create_directories(run + "/unrelated");
    std::set<int32_t> asked;
    EXPECT_EQ(RemoveStaleTempFolders(run,
                                     [&](int32_t pid) {
                                         asked.insert(pid);
                                         return pid == 22;
                                     }),
              2);
    EXPECT_EQ(asked, (std::set<int32_t>{11, 22, 33}));
    EXPECT_EQ(FilesIn(run), (std::set<std::string>{"pelorus-22-Ab12Cd", "unrelated"}));
}

TEST(TempFolder, AFolderThatCannotBeMadeIsReportedOnce) {
    TempDir dir;
    dir.Write("file", "in the way");
    LogCapture log;
    SessionTempFolder session(dir.Join("file/run"), log);
    EXPECT_EQ(session.Path(), "");
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find(dir.Join("file/run")), std::string::npos) << log.Lines()[0];
}

}  // namespace
}  // namespace pelorus
