// The program's place on the desktop: the launcher, the MIME type of scripts, the thumbnailer
// and what `cmake --install` puts where, including an installed program that draws a thumbnail
// with its own data.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/screenshot.h"
#include "platform/paths.h"
#include "testutil.h"

#ifndef PELORUS_EXECUTABLE
#error "PELORUS_EXECUTABLE must name the program under test"
#endif
#ifndef PELORUS_CMAKE
#error "PELORUS_CMAKE must name the cmake program"
#endif

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

std::string Desktop(std::string_view name) {
    return test::SourceDir() + "/data/desktop/" + std::string(name);
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs `command` through the shell; its exit status, what it wrote (both streams) in `output`.
int RunShell(const std::string& command, std::string& output) {
    const TempDir scratch;
    const int status = std::system((command + " >" + Quote(scratch.Join("out.txt")) + " 2>&1").c_str());
    output.clear();
    ReadWholeFile(scratch.Join("out.txt"), output);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Have(const std::string& tool) {
    std::string ignored;
    return RunShell("command -v " + tool, ignored) == 0;
}

// The groups of a desktop-entry style file, each a map of its keys.
std::map<std::string, std::map<std::string, std::string>> ReadKeyFile(const std::string& path) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, text)) << path;
    std::map<std::string, std::map<std::string, std::string>> groups;
    std::string group;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) lf = text.size();
        const std::string line = text.substr(pos, lf - pos);
        pos = lf + 1;
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            EXPECT_FALSE(groups.contains(group)) << "group " << group << " twice";
            groups[group];
            continue;
        }
        const std::size_t eq = line.find('=');
        EXPECT_NE(eq, std::string::npos) << "not a key: " << line;
        if (eq == std::string::npos) continue;
        EXPECT_FALSE(group.empty()) << "key before any group: " << line;
        EXPECT_FALSE(groups[group].contains(line.substr(0, eq))) << "key twice: " << line;
        groups[group][line.substr(0, eq)] = line.substr(eq + 1);
    }
    return groups;
}

// The type the MIME package defines.
std::string MimeTypeOfPackage() {
    std::string xml;
    EXPECT_TRUE(ReadWholeFile(Desktop("pelorus-mime.xml"), xml));
    const std::string tag = "<mime-type type=\"";
    const std::size_t at = xml.find(tag);
    if (at == std::string::npos) return {};
    const std::size_t end = xml.find('"', at + tag.size());
    return xml.substr(at + tag.size(), end - at - tag.size());
}

// Width and height of a PNG file, from its header; (0, 0) when it is not one.
std::pair<int, int> PngSize(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() < 24 || !bytes.starts_with("\x89PNG\r\n\x1A\n")) return {0, 0};
    const auto number = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {number(16), number(20)};
}

TEST(DesktopEntry, LaunchesTheViewerOnOneScriptWithItsIcon) {
    const auto groups = ReadKeyFile(Desktop("pelorus.desktop"));
    ASSERT_TRUE(groups.contains("Desktop Entry"));
    const auto& entry = groups.at("Desktop Entry");
    EXPECT_EQ(entry.at("Type"), "Application");
    EXPECT_EQ(entry.at("Name"), "Pelorus");
    EXPECT_EQ(entry.at("Exec"), "pelorus %f");  // the viewer takes one path
    EXPECT_EQ(entry.at("TryExec"), "pelorus");
    EXPECT_EQ(entry.at("Icon"), "pelorus");
    EXPECT_EQ(entry.at("MimeType"), MimeTypeOfPackage() + ";");
    EXPECT_EQ(MimeTypeOfPackage(), "model/x-rwx");
    // The class of the viewer's window on X11 is its application name: docks match the two.
    EXPECT_EQ(entry.at("StartupWMClass"), "Pelorus");
}

TEST(DesktopEntry, PassesTheDesktopFileValidator) {
    if (!Have("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    std::string output;
    EXPECT_EQ(RunShell("desktop-file-validate " + Quote(Desktop("pelorus.desktop")), output), 0) << output;
    EXPECT_EQ(output, "");  // no warnings or hints either
}

TEST(Thumbnailer, AsksForThePicturesOfScriptsAsTheSpecificationSays) {
    const auto groups = ReadKeyFile(Desktop("pelorus.thumbnailer"));
    ASSERT_EQ(groups.size(), 1u);
    const auto& entry = groups.at("Thumbnailer Entry");
    EXPECT_EQ(entry.at("TryExec"), "pelorus");
    EXPECT_EQ(entry.at("Exec"), "pelorus --thumbnail %i %o %s");
    EXPECT_EQ(entry.at("MimeType"), MimeTypeOfPackage() + ";");
}

// The package as the shared MIME database reads it: scripts are known by their name in any
// letter case, and by their first command.
TEST(MimeType, TheDatabaseKnowsScriptsByNameAndContent) {
    if (!Have("xmllint") || !Have("update-mime-database")) GTEST_SKIP() << "xmllint or update-mime-database missing";
    std::string output;
    EXPECT_EQ(RunShell("xmllint --noout " + Quote(Desktop("pelorus-mime.xml")), output), 0) << output;
    TempDir dir;
    fs::create_directories(dir.Join("mime/packages"));
    fs::copy_file(Desktop("pelorus-mime.xml"), dir.Join("mime/packages/pelorus.xml"));
    ASSERT_EQ(RunShell("update-mime-database " + Quote(dir.Join("mime")), output), 0) << output;
    EXPECT_EQ(output.find("rror"), std::string::npos) << output;
    std::string globs, magic, types;
    ASSERT_TRUE(ReadWholeFile(dir.Join("mime/globs2"), globs));
    EXPECT_NE(globs.find(":model/x-rwx:*.rwx"), std::string::npos) << globs;
    ASSERT_TRUE(ReadWholeFile(dir.Join("mime/magic"), magic));
    EXPECT_NE(magic.find("model/x-rwx"), std::string::npos);
    EXPECT_NE(magic.find("ModelBegin"), std::string::npos);
    ASSERT_TRUE(ReadWholeFile(dir.Join("mime/subclasses"), types));
    EXPECT_NE(types.find("model/x-rwx text/plain"), std::string::npos) << types;
}

TEST(Thumbnail, ArgumentsAreTheModelTheImageAndOneSide) {
    std::string error;
    const std::optional<ScreenshotRequest> r = ParseThumbnailArgs({"in.rwx", "out.png", "128"}, error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->file, "in.rwx");
    EXPECT_EQ(r->output, "out.png");
    EXPECT_EQ(r->width, 128);
    EXPECT_EQ(r->height, 128);
    EXPECT_TRUE(r->fit);
    EXPECT_FALSE(r->world.has_value());  // the default world
    EXPECT_FALSE(r->flags.axes);
    EXPECT_TRUE(r->flags.lighting);  // shaded, so the shape shows
    EXPECT_TRUE(r->modelRequired);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"in.rwx", "out.png"},
                                               {"in.rwx", "out.png", "0"},
                                               {"in.rwx", "out.png", "16385"},
                                               {"in.rwx", "out.png", "12x12"},
                                               {"in.rwx", "out.png", "128", "extra"},
                                               {"", "out.png", "128"}}) {
        EXPECT_FALSE(ParseThumbnailArgs(bad, error)) << bad.size();
        EXPECT_FALSE(error.empty());
    }
}

TEST(Thumbnail, TheOutputRulesOfScreenshotsHold) {
    TempDir dir;
    const std::string model = dir.Write("crate.rwx",
                                        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
                                        "Triangle 1 2 3\nClumpEnd\n");
    std::string output;
    const std::string program = Quote(PELORUS_EXECUTABLE) + " --thumbnail ";
    EXPECT_EQ(RunShell(program + Quote(model) + " " + Quote(model) + " 32", output), 2) << output;
    EXPECT_NE(output.find("refusing to write"), std::string::npos) << output;
    EXPECT_EQ(RunShell(program + Quote(model) + " " + Quote(dir.Join("out.jpg")) + " 32", output), 2) << output;
    EXPECT_EQ(RunShell(program + Quote(model) + " " + Quote(dir.Join("out.png")) + " big", output), 2) << output;
    EXPECT_FALSE(fs::exists(dir.Join("out.png")));
    std::string script;
    ASSERT_TRUE(ReadWholeFile(model, script));
    EXPECT_NE(script.find("Triangle"), std::string::npos);  // untouched
}

// A file manager asks for pictures of every file of the type: a file that is no model, or has
// nothing to draw, gets none (exit status 1, no file), so the file manager shows its own icon.
TEST(Thumbnail, WhatIsNoModelGetsNoPictureAndAFailingStatus) {
    TempDir dir;
    dir.Write("photo.rwx.jpg", std::string("\xFF\xD8\xFF\xE0") + std::string(64, 'x'));
    dir.Write("empty.rwx", "ModelBegin\nModelEnd\n");
    dir.Write("notes.txt.rwx", "");
    dir.Write("binary", std::string("\x7F"
                                    "ELF\x02\x01",
                                    6) +
                            std::string(32, '\0'));
    const std::string program = Quote(PELORUS_EXECUTABLE) + " --thumbnail ";
    std::string output;
    for (const char* name : {"photo.rwx.jpg", "empty.rwx", "notes.txt.rwx", "binary", "missing.rwx"}) {
        const std::string png = dir.Join(std::string(name) + ".png");
        EXPECT_EQ(RunShell(program + Quote(dir.Join(name)) + " " + Quote(png) + " 32", output), 1) << name << output;
        EXPECT_FALSE(fs::exists(png)) << name;
        EXPECT_NE(output.find(name), std::string::npos) << output;
    }
    dir.Write("tri.rwx", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n");
    EXPECT_EQ(RunShell(program + Quote(dir.Join("tri.rwx")) + " " + Quote(dir.Join("tri.png")) + " 32", output), 0)
        << output;
    EXPECT_EQ(PngSize(dir.Join("tri.png")), std::make_pair(32, 32));
}

// `cmake --install` into a fresh prefix: every file where the desktop looks for it, and the
// installed program draws a thumbnail of a model in a folder of its own without a complaint,
// its default world found in its own share folder.
TEST(Install, PutsEveryFileInPlaceAndTheInstalledProgramFindsItsData) {
    TempDir prefix;
    std::string output;
    ASSERT_EQ(
        RunShell(Quote(PELORUS_CMAKE) + " --install " + Quote(PELORUS_BINARY_DIR) + " --prefix " + Quote(prefix.Path()),
                 output),
        0)
        << output;
    for (const char* file : {"bin/pelorus", "share/pelorus/fall_day.jpg", "share/pelorus/models/fall_gd.rwx",
                             "share/applications/pelorus.desktop", "share/mime/packages/pelorus.xml",
                             "share/thumbnailers/pelorus.thumbnailer", "share/icons/hicolor/scalable/apps/pelorus.svg"})
        EXPECT_TRUE(fs::is_regular_file(prefix.Join(file))) << file;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        EXPECT_EQ(PngSize(prefix.Join("share/icons/hicolor/" + side + "x" + side + "/apps/pelorus.png")),
                  std::make_pair(size, size))
            << size;
    }
    if (Have("xmllint")) {
        EXPECT_EQ(
            RunShell("xmllint --noout " + Quote(prefix.Join("share/icons/hicolor/scalable/apps/pelorus.svg")), output),
            0)
            << output;
    }

    TempDir elsewhere;
    const std::string model = elsewhere.Write("table.rwx", [] {
        std::string text;
        EXPECT_TRUE(ReadWholeFile(test::SourceDir() + "/samples/table.rwx", text));
        return text;
    }());
    const std::string png = elsewhere.Join("thumb.png");
    EXPECT_EQ(RunShell("cd " + Quote(elsewhere.Path()) + " && " + Quote(prefix.Join("bin/pelorus")) + " --thumbnail " +
                           Quote(model) + " " + Quote(png) + " 96",
                       output),
              0)
        << output;
    EXPECT_EQ(output, "");  // the default world's backdrop and ground were found
    EXPECT_EQ(PngSize(png), std::make_pair(96, 96));
}

}  // namespace
}  // namespace pelorus
