// File > Associations: the launcher, MIME type and default program written under the user's own
// folders (here a temporary folder), keeping whatever else the user's list holds.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/paths.h"
#include "shell/associations.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(Associations, ExecArgumentsAreQuotedAndEscapedAsDesktopEntriesAsk) {
    EXPECT_EQ(ExecArgument("/usr/bin/pelorus"), "/usr/bin/pelorus");
    EXPECT_EQ(ExecArgument("/home/a b/pelorus"), "\"/home/a b/pelorus\"");
    // Inside quotes '"', '`', '$' and '\' take a backslash, and every backslash of the value is
    // written twice.
    EXPECT_EQ(ExecArgument("/x/\"q\"/$HOME/`a`/b\\c"), "\"/x/\\\\\"q\\\\\"/\\\\$HOME/\\\\`a\\\\`/b\\\\\\\\c\"");
    EXPECT_EQ(ExecArgument(""), "\"\"");
}

TEST(Associations, TheLauncherIsTheShippedOneStartingThisProgramByItsPath) {
    const std::string entry = DesktopEntryFor("/opt/my tools/pelorus");
    EXPECT_NE(entry.find("\nExec=\"/opt/my tools/pelorus\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nTryExec=\"/opt/my tools/pelorus\"\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=model/x-rwx;\n"), std::string::npos);
    EXPECT_NE(entry.find("\nStartupWMClass=Pelorus\n"), std::string::npos);
    EXPECT_EQ(entry.find("Exec=pelorus"), std::string::npos);
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n"));
}

TEST(Associations, TheDefaultIsSetAndEverythingElseOfTheListKept) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"",
         "[Default Applications]\nmodel/x-rwx=pelorus.desktop;\n\n[Added "
         "Associations]\nmodel/x-rwx=pelorus.desktop;\n"},
        {"# mine\n[Default Applications]\ntext/plain=gedit.desktop;\n\n[Removed Associations]\nimage/png=x.desktop;\n",
         "# mine\n[Default Applications]\ntext/plain=gedit.desktop;\nmodel/x-rwx=pelorus.desktop;\n\n"
         "[Removed Associations]\nimage/png=x.desktop;\n\n[Added Associations]\nmodel/x-rwx=pelorus.desktop;\n"},
        {"[Added Associations]\nmodel/x-rwx = other.desktop;pelorus.desktop;third.desktop\n"
         "[Default Applications]\nmodel/x-rwx=other.desktop;\n",
         "[Added Associations]\nmodel/x-rwx=pelorus.desktop;other.desktop;third.desktop;\n"
         "[Default Applications]\nmodel/x-rwx=pelorus.desktop;\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithDefaultApplication(c.before, kScriptMimeType, kDesktopId), c.after) << c.before;
        // Doing it twice changes nothing more.
        EXPECT_EQ(WithDefaultApplication(c.after, kScriptMimeType, kDesktopId), c.after) << c.before;
    }
}

TEST(Associations, FilesGoUnderTheUsersFoldersOnlyAndNothingOfAnotherKindIsReplaced) {
    TempDir home;
    const UserPlaces places{home.Join("data"), home.Join("config")};
    home.Write("config/mimeapps.list", "[Default Applications]\ntext/plain=gedit.desktop;\n");
    const AssociationReport report = MakeDefaultForScripts(places, "/opt/pelorus/bin/pelorus", "\x89PNG\r\n\x1A\nicon");
    EXPECT_EQ(report.problem, "");
    EXPECT_EQ(report.written,
              (std::vector<std::string>{
                  home.Join("data/applications/pelorus.desktop"), home.Join("data/mime/packages/pelorus.xml"),
                  home.Join("data/icons/hicolor/256x256/apps/pelorus.png"), home.Join("config/mimeapps.list")}));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(home.Join("data/applications/pelorus.desktop"), text));
    EXPECT_EQ(text, DesktopEntryFor("/opt/pelorus/bin/pelorus"));
    ASSERT_TRUE(ReadWholeFile(home.Join("data/mime/packages/pelorus.xml"), text));
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(test::SourceDir() + "/data/desktop/pelorus-mime.xml", shipped));
    EXPECT_EQ(text, shipped);
    ASSERT_TRUE(ReadWholeFile(home.Join("config/mimeapps.list"), text));
    EXPECT_EQ(text,
              "[Default Applications]\ntext/plain=gedit.desktop;\nmodel/x-rwx=pelorus.desktop;\n\n"
              "[Added Associations]\nmodel/x-rwx=pelorus.desktop;\n");
    EXPECT_NE(AssociationMessage(report, {"update-mime-database"}).find("update-mime-database"), std::string::npos);
    EXPECT_NE(AssociationMessage(report, {}).find(home.Join("config/mimeapps.list")), std::string::npos);

    // A folder where the list should be, or a launcher that is something else, stops it there.
    TempDir other;
    other.Write("data/applications/pelorus.desktop", "#!/bin/sh\necho not a launcher\n");
    const AssociationReport refused =
        MakeDefaultForScripts({other.Join("data"), other.Join("config")}, "/usr/bin/pelorus", "");
    EXPECT_NE(refused.problem.find("pelorus.desktop"), std::string::npos) << refused.problem;
    EXPECT_TRUE(refused.written.empty());
    ASSERT_TRUE(ReadWholeFile(other.Join("data/applications/pelorus.desktop"), text));
    EXPECT_EQ(text, "#!/bin/sh\necho not a launcher\n");
    EXPECT_FALSE(fs::exists(other.Join("config/mimeapps.list")));
    EXPECT_NE(AssociationMessage(refused, {}).find("could not"), std::string::npos);

    EXPECT_FALSE(MakeDefaultForScripts({"", ""}, "/usr/bin/pelorus", "").problem.empty());
}

}  // namespace
}  // namespace pelorus
