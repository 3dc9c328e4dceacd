// Atomic saving: nothing is written through a symbolic link, a file the user may not write is
// never replaced, and the rules hold again at the moment of the rename.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/atomicfile.h"
#include "platform/errorlog.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Slurp(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? text : std::string("<unreadable>");
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

mode_t Mode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A settings file linking to a private file elsewhere: the link goes, the file stays as it was,
// and the new file is as private as the one it stood for.
TEST(AtomicFile, ASymbolicLinkIsReplacedNeverWrittenThrough) {
    TempDir dir;
    const std::string bashrc = dir.Write("userfiles/bashrc", "export PATH\n");
    ASSERT_EQ(::chmod(bashrc.c_str(), 0600), 0);
    const std::string list = dir.Join("home/Worlds.txt");
    fs::create_directories(dir.Join("home"));
    ASSERT_EQ(::symlink("../userfiles/bashrc", list.c_str()), 0);

    std::string link, error;
    AtomicWriteOptions how;
    how.replacedLink = &link;
    ASSERT_TRUE(WriteFileAtomically(list, "0\nA\n", &error, how)) << error;
    EXPECT_EQ(Slurp(bashrc), "export PATH\n");
    EXPECT_TRUE(S_ISREG(Mode(list)));
    EXPECT_EQ(Slurp(list), "0\nA\n");
    EXPECT_EQ(Mode(list) & 07777, 0600u);
    EXPECT_EQ(link, "../userfiles/bashrc");
    EXPECT_EQ(Entries(dir.Join("home")), std::set<std::string>{"Worlds.txt"});

    // Settings say so in the log, once: afterwards the file is the user's own.
    ErrorLog log;
    ASSERT_EQ(::unlink(list.c_str()), 0);
    ASSERT_EQ(::symlink(bashrc.c_str(), list.c_str()), 0);
    ASSERT_TRUE(SaveSettingsFile(list, "1\n", &error, &log)) << error;
    ASSERT_TRUE(SaveSettingsFile(list, "2\n", &error, &log)) << error;
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ReplacedLinkLine(list, bashrc)});
    EXPECT_EQ(log.Lines()[0], "\"" + list + "\" was a symbolic link to \"" + bashrc +
                                  "\"; it is now a file of its own and \"" + bashrc + "\" is left as it was.");
    EXPECT_EQ(Slurp(bashrc), "export PATH\n");
}

// For settings a library writes itself (following links), the link is made a file of its own
// first, holding what the linked file holds; a link to nothing is not.
TEST(AtomicFile, SettingsLinksAreDetachedBeforeALibraryWritesThem) {
    TempDir dir;
    const std::string real = dir.Write("real.conf", "[a]\nb=1\n");
    const std::string conf = dir.Join("pelorus.conf");
    ASSERT_EQ(::symlink(real.c_str(), conf.c_str()), 0);
    ErrorLog log;
    EXPECT_TRUE(DetachSettingsLink(conf, 1 << 20, &log));
    EXPECT_TRUE(S_ISREG(Mode(conf)));
    EXPECT_EQ(Slurp(conf), "[a]\nb=1\n");
    EXPECT_EQ(log.LineCount(), 1u);
    EXPECT_TRUE(DetachSettingsLink(conf, 1 << 20, &log)) << "a file of its own needs nothing";
    EXPECT_TRUE(DetachSettingsLink(dir.Join("missing.conf"), 1 << 20, &log));
    EXPECT_EQ(log.LineCount(), 1u);

    const std::string dangling = dir.Join("dangling.conf");
    ASSERT_EQ(::symlink(dir.Join("nowhere/x.conf").c_str(), dangling.c_str()), 0);
    EXPECT_FALSE(DetachSettingsLink(dangling, 1 << 20, &log));
    EXPECT_TRUE(S_ISLNK(Mode(dangling)));
}

// What stands at the name is looked at again when the new content is renamed into place: a link
// put there meanwhile is replaced (rename never follows it), anything else that is no regular file
// stops the save, and so does the caller's last check. Nothing is left behind.
TEST(AtomicFile, TheRulesHoldAgainAtTheRename) {
    TempDir dir;
    const std::string victim = dir.Write("victim.png", "precious");
    const std::string out = dir.Join("out.png");
    {
        AtomicFileWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Begin(out, &error)) << error;
        writer.Write("image");
        ASSERT_TRUE(writer.Finish(&error)) << error;
        ASSERT_EQ(::symlink(victim.c_str(), out.c_str()), 0);  // while the image was made
        ASSERT_TRUE(writer.Commit(&error)) << error;
        EXPECT_EQ(writer.ReplacedLink(), victim);
    }
    EXPECT_EQ(Slurp(victim), "precious");
    EXPECT_EQ(Slurp(out), "image");

    ASSERT_EQ(::unlink(out.c_str()), 0);
    {
        std::string error;
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.Begin(out, &error)) << error;
        writer.Write("image");
        ASSERT_EQ(::mkfifo(out.c_str(), 0600), 0);
        EXPECT_FALSE(writer.Commit(&error));
        EXPECT_EQ(error, "it is not a regular file");
        EXPECT_FALSE(writer.Refused());
    }
    EXPECT_TRUE(S_ISFIFO(Mode(out)));

    fs::remove(out);
    int asked = 0;
    bool refused = false;
    std::string error;
    AtomicWriteOptions how;
    how.lastCheck = [&]() -> std::optional<std::string> {
        ++asked;
        return "refusing to write \"out.png\": it is a symbolic link";
    };
    how.refused = &refused;
    EXPECT_FALSE(WriteFileAtomically(out, "image", &error, how));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(refused);
    EXPECT_EQ(error, "refusing to write \"out.png\": it is a symbolic link");
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"victim.png"}) << "no output, no temporary file";
}

// A read-only file of another user in a folder anybody may write: the rename would replace it,
// a direct write would be refused, and so is the save. Run as root, the save runs as nobody.
TEST(AtomicFile, AFileTheUserMayNotWriteIsNotReplaced) {
    TempDir dir;
    const std::string shared = dir.Join("shared");
    fs::create_directories(shared);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0711), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    const std::string shot = dir.Write("shared/shot.png", "theirs");
    ASSERT_EQ(::chmod(shot.c_str(), 0444), 0);

    auto save = [&] {
        std::string error;
        const bool written = WriteFileAtomically(shot, "mine", &error);
        return !written && error == "Permission denied";
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(save());
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
            ::_exit(save() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the file was replaced or another error came; 3: no user nobody";
    }
    EXPECT_EQ(Slurp(shot), "theirs");
    EXPECT_EQ(Entries(shared), std::set<std::string>{"shot.png"});
}

}  // namespace
}  // namespace pelorus
