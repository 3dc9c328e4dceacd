#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "app/filewatch.h"
#include "app/objectinfo.h"
#include "app/recentfiles.h"
#include "app/viewershell.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Keys

ViewFlags Toggled(ViewFlags flags, bool ViewFlags::*flag) {
    flags.*flag = !(flags.*flag);
    return flags;
}

TEST(ViewerKeys, EachCharacterChangesExactlyWhatTheKeyTableSays) {
    struct Case {
        char32_t key;
        ShellAction action;
        bool ViewFlags::*flag;  // null: no flag changes
        double height, distance;
    };
    const Case cases[] = {
        {U' ', ShellAction::kRedraw, &ViewFlags::geometry, 0, 1.5},
        {U'+', ShellAction::kRedraw, nullptr, 0.02, 1.5},
        {U'=', ShellAction::kRedraw, nullptr, 0.02, 1.5},
        {U'-', ShellAction::kRedraw, nullptr, -0.02, 1.5},
        {U'a', ShellAction::kRedraw, nullptr, 0, 1.4},
        {U'z', ShellAction::kRedraw, nullptr, 0, 1.6},
        {U'A', ShellAction::kRedraw, nullptr, 0, 1.49},
        {U'Z', ShellAction::kRedraw, nullptr, 0, 1.51},
        {U'b', ShellAction::kRedraw, &ViewFlags::backdrop, 0, 1.5},
        {U'B', ShellAction::kRedraw, &ViewFlags::backdrop, 0, 1.5},
        {U'c', ShellAction::kRedraw, &ViewFlags::object, 0, 1.5},
        {U'C', ShellAction::kRedraw, &ViewFlags::object, 0, 1.5},
        {U'f', ShellAction::kRedraw, &ViewFlags::fog, 0, 1.5},
        {U'G', ShellAction::kRedraw, &ViewFlags::ground, 0, 1.5},
        {U'l', ShellAction::kRedraw, &ViewFlags::lighting, 0, 1.5},
        {U'N', ShellAction::kRedraw, &ViewFlags::normals, 0, 1.5},
        {U's', ShellAction::kRedraw, &ViewFlags::skybox, 0, 1.5},
        {U'X', ShellAction::kRedraw, &ViewFlags::axes, 0, 1.5},
        {U'r', ShellAction::kReload, nullptr, 0, 1.5},
        {U'R', ShellAction::kReload, nullptr, 0, 1.5},
    };
    for (const Case& c : cases) {
        ViewerShell shell;
        EXPECT_EQ(shell.Character(c.key), c.action) << static_cast<char>(c.key);
        const ViewFlags expected = c.flag ? Toggled(ViewFlags{}, c.flag) : ViewFlags{};
        EXPECT_EQ(std::memcmp(&shell.Flags(), &expected, sizeof expected), 0) << static_cast<char>(c.key);
        EXPECT_DOUBLE_EQ(shell.CameraValues().height, c.height) << static_cast<char>(c.key);
        EXPECT_DOUBLE_EQ(shell.CameraValues().distance, c.distance) << static_cast<char>(c.key);
        EXPECT_EQ(shell.CameraValues().yaw, 0.0);
        EXPECT_EQ(shell.CameraValues().pitch, 0.0);
    }
}

TEST(ViewerKeys, CharactersOutsideTheTableChangeNothing) {
    const std::u32string table = U" +=-azAZbBcCfFgGlLnNrRsSxX";
    for (char32_t c = 1; c < 0x250; ++c) {
        if (table.find(c) != std::u32string::npos) continue;
        ViewerShell shell;
        EXPECT_EQ(shell.Character(c), ShellAction::kNone) << static_cast<uint32_t>(c);
        EXPECT_EQ(shell.Flags().object, true);
        EXPECT_EQ(shell.CameraValues().distance, 1.5);
    }
    ViewerShell shell;
    EXPECT_EQ(shell.Character(U'O'), ShellAction::kNone);  // the menu says O, the key does nothing
    EXPECT_EQ(shell.Character(U'o'), ShellAction::kNone);
    EXPECT_TRUE(shell.Flags().object);
}

TEST(ViewerKeys, TogglingTwiceRestoresAndTheMenuCheckFollows) {
    ViewerShell shell;
    EXPECT_TRUE(shell.Checked(kCmdSkybox));
    shell.Character(U'S');
    EXPECT_FALSE(shell.Flags().skybox);
    EXPECT_FALSE(shell.Checked(kCmdSkybox));
    shell.Character(U's');
    EXPECT_TRUE(shell.Flags().skybox);
    EXPECT_TRUE(shell.Checked(kCmdSkybox));
}

TEST(ViewerKeys, DistanceIsNeverClamped) {
    ViewerShell shell;
    for (int i = 0; i < 15; ++i) shell.Character(U'a');
    EXPECT_NEAR(shell.CameraValues().distance, 0.0, 1e-9);
    shell.Character(U'a');
    EXPECT_NEAR(shell.CameraValues().distance, -0.1, 1e-9);
}

// ---------------------------------------------------------------------------------------------
// Pointer and wheel

TEST(ViewerPointer, LeftDragTurnsByHalfADegreePerPixel) {
    ViewerShell shell;
    shell.PointerPressed(10, 20);
    EXPECT_TRUE(shell.PointerMoved(14, 10, true, false));
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, -5.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.5);
    // The next move counts from the last position, not from the press.
    shell.PointerMoved(15, 10, true, false);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.5);
}

TEST(ViewerPointer, RightDragMovesTheEyeAndTurnsByAQuarterDegree) {
    ViewerShell shell;
    shell.PointerPressed(0, 0);
    shell.PointerMoved(8, 10, false, true);  // dragging down moves the eye away
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 2.5);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, 0.0);
}

TEST(ViewerPointer, WithBothButtonsOnlyTheLeftStepSeesTheMovement) {
    ViewerShell shell;
    shell.PointerPressed(0, 0);
    shell.PointerMoved(4, 6, true, true);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, 3.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.5);
}

TEST(ViewerPointer, MovesWithoutButtonsAndPressesChangeNoCamera) {
    ViewerShell shell;
    shell.PointerPressed(100, 100);
    EXPECT_FALSE(shell.PointerMoved(0, 0, false, false));
    shell.PointerPressed(-5, -5);  // a press only records
    EXPECT_EQ(shell.CameraValues().yaw, 0.0);
    EXPECT_EQ(shell.CameraValues().distance, 1.5);
}

TEST(ViewerPointer, ExtremePositionsDoNotOverflow) {
    ViewerShell shell;
    shell.PointerPressed(INT32_MIN, INT32_MIN);
    shell.PointerMoved(INT32_MAX, INT32_MAX, true, false);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 0.5 * (double(INT32_MAX) - double(INT32_MIN)));
}

TEST(ViewerPointer, WheelZoomsLikeTheAAndZKeys) {
    ViewerShell shell;
    EXPECT_TRUE(shell.Wheel(120));
    EXPECT_NEAR(shell.CameraValues().distance, 1.4, 1e-12);
    shell.Wheel(-240);
    EXPECT_NEAR(shell.CameraValues().distance, 1.6, 1e-12);
    shell.Wheel(60);  // half a notch of a fine wheel
    EXPECT_NEAR(shell.CameraValues().distance, 1.55, 1e-12);
    EXPECT_FALSE(shell.Wheel(0));
}

// ---------------------------------------------------------------------------------------------
// Commands and menus

TEST(ViewerCommands, EachNumberLeadsToItsAction) {
    const std::pair<int32_t, ShellAction> cases[] = {
        {kCmdOpen, ShellAction::kOpenDialog},
        {kCmdReload, ShellAction::kReload},
        {kCmdRecent, ShellAction::kNone},
        {kCmdFileProperties, ShellAction::kObjectProperties},
        {kCmdAssociations, ShellAction::kNone},
        {kCmdExit, ShellAction::kExit},
        {kCmdGeometry, ShellAction::kRedraw},
        {kCmdTopMost, ShellAction::kTopMost},
        {kCmdAutoReload, ShellAction::kAutoReload},
        {kCmdWorldProperties, ShellAction::kWorldProperties},
        {kCmdObjectProperties, ShellAction::kObjectProperties},
        {kCmdOnlineHelp, ShellAction::kNone},
        {kCmdAbout, ShellAction::kAbout},
        {kFirstRecentCommand, ShellAction::kOpenRecent},
        {kFirstRecentCommand + 9, ShellAction::kOpenRecent},
        {kFirstRecentCommand + 10, ShellAction::kNone},
        {2302, ShellAction::kCatalogue},
        {kViewMenu, ShellAction::kNone},
        {0, ShellAction::kNone},
        {-1, ShellAction::kNone},
        {112, ShellAction::kNone},
    };
    for (const auto& [command, action] : cases) {
        ViewerShell shell;
        EXPECT_EQ(shell.Command(command), action) << command;
    }
}

TEST(ViewerCommands, CommandsWithoutActionLeaveEveryFlag) {
    for (const int32_t command : {kCmdRecent, kCmdAssociations, kCmdOnlineHelp, kCmdAbout, kCmdOpen}) {
        ViewerShell shell;
        shell.Command(command);
        const ViewFlags initial;
        EXPECT_EQ(std::memcmp(&shell.Flags(), &initial, sizeof initial), 0) << command;
        EXPECT_TRUE(shell.AutoReload());
    }
}

TEST(ViewerMenus, ChecksStartAsTheViewFlagsAndEveryNumberIsUnique) {
    ViewerShell shell;
    std::set<int32_t> numbers;
    int checkable = 0;
    for (const MenuRow& menu : MenuBarTable()) {
        EXPECT_TRUE(numbers.insert(menu.command).second) << menu.command;
        for (const MenuItemRow& item : menu.items) {
            if (item.text == "-") {
                EXPECT_EQ(item.command, 0);
                continue;
            }
            EXPECT_TRUE(numbers.insert(item.command).second) << item.command;
            if (item.checkable) {
                ++checkable;
            } else {
                EXPECT_FALSE(shell.Checked(item.command)) << item.text;
            }
        }
    }
    EXPECT_EQ(checkable, 11);
    const bool initial[] = {true, false, true, false, true, true, true, true, false, false, true};
    for (int32_t i = 0; i < 11; ++i) EXPECT_EQ(shell.Checked(kCmdAxes + i), initial[i]) << kCmdAxes + i;
    // Toggling flips exactly one check.
    shell.Command(kCmdFog);
    EXPECT_FALSE(shell.Checked(kCmdFog));
    EXPECT_FALSE(shell.Flags().fog);
    shell.Command(kCmdAutoReload);
    EXPECT_FALSE(shell.AutoReload());
}

TEST(ViewerMenus, RecentLabelsShowPathsAsWritten) {
    EXPECT_EQ(RecentMenuLabel(0, "/m/a&b.rwx"), "&1 /m/a&&b.rwx");
    EXPECT_EQ(RecentMenuLabel(8, "/x"), "&9 /x");
    EXPECT_EQ(RecentMenuLabel(9, "/x"), "1&0 /x");
    EXPECT_EQ(RecentMenuLabel(1, "/a\tb"), "&2 /a b");  // a tab would start the shortcut text
}

// ---------------------------------------------------------------------------------------------
// The command line

TEST(ViewerCommandLine, OnePathWithSurroundingQuotesRemoved) {
    using Args = std::vector<std::string>;
    const std::pair<Args, std::string> cases[] = {
        {{}, ""},
        {{"\"C:\\dir\\a.rwx\""}, "C:\\dir\\a.rwx"},
        {{"\"C:\\dir\\a.rwx"}, "\"C:\\dir\\a.rwx"},  // no closing quote: unchanged
        {{"a.rwx\""}, "a.rwx\""},
        {{"\""}, "\""},
        {{"\"\""}, ""},
        {{"my", "model.rwx"}, "my model.rwx"},
        {{"\"my", "model.rwx\""}, "my model.rwx"},
        {{"  \t lead.rwx"}, "lead.rwx"},
        {{"--", "--odd.rwx"}, "--odd.rwx"},  // "--" only ends the options
        {{"--"}, ""},
    };
    for (const auto& [args, path] : cases) EXPECT_EQ(CommandLinePath(args), path) << (args.empty() ? "" : args[0]);
}

TEST(ViewerCommandLine, RelativePathStaysReloadableAfterTheFolderChanges) {
    const FirstLoad plan = PlanFirstLoad("samples/scene.txt", "/home/u");
    EXPECT_EQ(plan.currentFile, "/home/u/samples/scene.txt");
    EXPECT_EQ(plan.folder, "/home/u/samples");
    EXPECT_EQ(PlanFirstLoad("", "/home/u").currentFile, "");
    EXPECT_EQ(PlanFirstLoad("", "/home/u").folder, "");
    const FirstLoad root = PlanFirstLoad("/a.rwx", "/x");
    EXPECT_EQ(root.currentFile, "/a.rwx");
    EXPECT_EQ(root.folder, "/");
}

TEST(ViewerCommandLine, BackslashesAndLetterCaseAreResolved) {
    TempDir dir;
    dir.Write("Models/Chair.RWX", "ModelBegin\nModelEnd\n");
    const FirstLoad plan = PlanFirstLoad("models\\chair.rwx", dir.Path());
    EXPECT_EQ(plan.currentFile, dir.Path() + "/Models/Chair.RWX");
    EXPECT_EQ(plan.folder, dir.Path() + "/Models");
    // A file that does not exist keeps its name as written.
    EXPECT_EQ(PlanFirstLoad("none\\x.rwx", dir.Path()).currentFile, dir.Path() + "/none/x.rwx");
}

TEST(ViewerAnimation, RedrawComesAtTheNextFrameChange) {
    const std::pair<int64_t, int64_t> cases[] = {{0, 200},    {1, 199}, {199, 1},   {200, 200},
                                                 {12345, 55}, {-1, 1},  {-200, 200}};
    for (const auto& [now, wait] : cases) EXPECT_EQ(MillisecondsToNextAnimationFrame(now), wait) << now;
}

// ---------------------------------------------------------------------------------------------
// Recent files

TEST(RecentFiles, ParseSkipsBlankRepeatedAndExcessLines) {
    std::string text = "/a.rwx\r\n\n/b.rwx\n/a.rwx\n";
    for (int i = 0; i < 12; ++i) text += "/f" + std::to_string(i) + ".rwx\n";
    const RecentFiles list = RecentFiles::Parse(text);
    ASSERT_EQ(list.Paths().size(), kRecentFileLimit);
    EXPECT_EQ(list.Paths()[0], "/a.rwx");
    EXPECT_EQ(list.Paths()[1], "/b.rwx");
    EXPECT_EQ(list.Paths()[2], "/f0.rwx");
    EXPECT_EQ(list.Paths().back(), "/f7.rwx");
    EXPECT_EQ(RecentFiles::Parse("/last-without-break").Paths(), std::vector<std::string>{"/last-without-break"});
}

TEST(RecentFiles, AddPutsNewestFirstWithoutRepeatsAndKeepsTen) {
    RecentFiles list;
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(list.Add("/f" + std::to_string(i)));
    ASSERT_EQ(list.Paths().size(), 10u);
    EXPECT_EQ(list.Paths().front(), "/f11");
    EXPECT_EQ(list.Paths().back(), "/f2");
    EXPECT_TRUE(list.Add("/f5"));
    EXPECT_EQ(list.Paths().front(), "/f5");
    EXPECT_EQ(std::count(list.Paths().begin(), list.Paths().end(), "/f5"), 1);
    EXPECT_EQ(list.Paths().size(), 10u);
    EXPECT_FALSE(list.Add("/f5"));  // already first
}

TEST(RecentFiles, PathsThatWouldBreakTheFileAreRefused) {
    RecentFiles list;
    EXPECT_FALSE(list.Add(""));
    EXPECT_FALSE(list.Add("/a\nb.rwx"));
    EXPECT_FALSE(list.Add("/a\rb.rwx"));
    EXPECT_FALSE(list.Add(std::string_view("/a\0b", 4)));
    EXPECT_TRUE(list.Paths().empty());
    EXPECT_EQ(RecentFiles::Parse(list.Text()).Paths(), list.Paths());
}

TEST(RecentFiles, SavedListReadsBackAndAFailedSaveKeepsTheOldFile) {
    TempDir dir;
    RecentFiles list;
    list.Add("/one.rwx");
    list.Add("/two words.txt");
    const std::string path = dir.Join("Recent.txt");
    ASSERT_TRUE(SaveRecentFiles(path, list, nullptr));
    EXPECT_EQ(LoadRecentFiles(path).Paths(), list.Paths());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "/two words.txt\n/one.rwx\n");

    std::string error;
    EXPECT_FALSE(SaveRecentFiles(dir.Join("missing/Recent.txt"), list, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(LoadRecentFiles(dir.Join("missing/Recent.txt")).Paths().empty());
    // Nothing but the list itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}), 1);
}

// ---------------------------------------------------------------------------------------------
// Object Properties pages

constexpr std::string_view kQuadAndPentagon =
    "ModelBegin\nClumpBegin\n"
    "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nVertex 0.5 1.5 0\n"
    "Quad 1 2 3 4\nPolygon 5 1 2 3 5 4\n"
    "ClumpEnd\nModelEnd\n";

TEST(ObjectInfo, GeneralPageCountsFacesAndTrianglesOfAllObjects) {
    const auto a = test::ReadScript(kQuadAndPentagon);
    const auto b = test::ReadScript(
        "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "Triangle 1 2 3\nClumpEnd\nModelEnd\n");
    const RWXObject* objects[] = {a.get(), nullptr, b.get()};
    const GeneralInfo info = GeneralInfoOf("Autumn", "/models/dir/chair.rwx", objects);
    EXPECT_EQ(info.world, "Autumn");
    EXPECT_EQ(info.object, "chair.rwx");
    EXPECT_EQ(info.polygons, "3");   // a quad, a pentagon, a triangle
    EXPECT_EQ(info.triangles, "6");  // 2 + 3 + 1
}

TEST(ObjectInfo, GeneralPageWithoutWorldNameOrFileSaysSo) {
    const GeneralInfo info = GeneralInfoOf("", "", {});
    EXPECT_EQ(info.world, kDefaultWorldLabel);
    EXPECT_EQ(info.object, kNoObjectLabel);
    EXPECT_EQ(info.polygons, "0");
    EXPECT_EQ(info.triangles, "0");
}

TEST(ObjectInfo, TexturesPageListsEveryLoadedTextureWithItsFacts) {
    TempDir program;  // no TexturesPath.txt there: only the extra folder holds textures
    ReadOptions options;
    options.programDir = program.Path();
    options.extraTextureDirs = {test::DataDir() + "/realworld/cube"};
    const std::string script =
        "ModelBegin\nClumpBegin\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
        "Texture droplet\nTriangle 1 2 3\n"
        "TextureAddressMode Mirror\nTextureMipmapState Off\nTexture DROPLET.JPG Mask dropletm\nTriangle 1 2 3\n"
        "Texture missing\nTriangle 1 2 3\n"
        "ClumpEnd\nModelEnd\n";
    const auto object = test::ReadScript(script, options);
    const RWXObject* objects[] = {object.get()};
    const std::vector<TextureRow> rows = TextureRowsOf(objects);
    ASSERT_EQ(rows.size(), 1u);  // the same file once per object; a missing one is not listed
    const TextureRow& row = rows[0];
    EXPECT_EQ(row.texture, "droplet.jpg");
    EXPECT_EQ(row.fileName, test::DataDir() + "/realworld/cube/droplet.jpg");
    EXPECT_EQ(row.size, "3 KB");   // 2302 bytes
    EXPECT_EQ(row.wxh, "32x128");  // a strip of four 32 x 32 frames
    EXPECT_EQ(row.mask, "");
    EXPECT_EQ(row.mipmapped, "Yes");
    EXPECT_EQ(row.addressMode, "Wrap");

    const auto mirrored = test::ReadScript(
        "ModelBegin\nClumpBegin\nTextureAddressMode Mirror\nTextureMipmapState Off\nTexture droplet\n"
        "ClumpEnd\nModelEnd\n",
        options);
    const RWXObject* both[] = {object.get(), mirrored.get()};
    const std::vector<TextureRow> two = TextureRowsOf(both);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].wxh, "32x128");  // as the file holds it, not the doubled mirror image
    EXPECT_EQ(two[1].mipmapped, "No");
    EXPECT_EQ(two[1].addressMode, "Mirror");
}

TEST(ObjectInfo, FileSizesInBytesThenKilobytesRoundedUp) {
    const std::pair<uint64_t, const char*> cases[] = {{0, "0 B"},     {1023, "1023 B"}, {1024, "1 KB"},
                                                      {1025, "2 KB"}, {2302, "3 KB"},   {1048576, "1024 KB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(FileSizeText(bytes), text) << bytes;
}

// ---------------------------------------------------------------------------------------------
// Noticing changed files

TEST(FileWatch, EachKindOfSaveIsNoticedOnce) {
    TempDir dir;
    const std::string path = dir.Write("m.rwx", "ModelBegin\n");
    ChangeWatch watch;
    watch.Watch({path});
    EXPECT_FALSE(watch.TakeChange());

    dir.Write("m.rwx", "ModelBegin\nModelEnd\n");  // written in place
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());

    // Written to a new file and renamed over the old one (same size and maybe the same time).
    const std::string fresh = dir.Write("m.rwx.new", "ModelBegin\nModelEnd\n");
    ASSERT_EQ(::rename(fresh.c_str(), path.c_str()), 0);
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());
}

TEST(FileWatch, AFileMissingForAMomentIsReportedWhenItIsBack) {
    TempDir dir;
    const std::string path = dir.Write("m.rwx", "one");
    ChangeWatch watch;
    watch.Watch({path});
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(watch.TakeChange());  // nothing to read now: keep showing what was read
    dir.Write("m.rwx", "two!");
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(ChangeWatch().TakeChange());  // watching nothing
}

TEST(FileWatch, ScriptsOfAnObjectMapAreWatchedToo) {
    TempDir dir;
    dir.Write("a.rwx", "ModelBegin\nModelEnd\n");
    ScopedCurrentDirectory cd(dir.Path());
    ASSERT_TRUE(cd.Changed());
    const auto a = std::make_unique<RWXObject>("A.RWX", 0, 0, 0, test::NoTextures());
    const auto again = std::make_unique<RWXObject>("a.rwx", 1, 0, 0, test::NoTextures());
    const RWXObject* objects[] = {a.get(), again.get(), nullptr};
    const std::vector<std::string> files = SourceFilesOf("map.txt", objects);
    EXPECT_EQ(files, (std::vector<std::string>{dir.Path() + "/map.txt", dir.Path() + "/a.rwx"}));

    ChangeWatch watch;
    dir.Write("map.txt", "a.rwx 0 0 0\n");
    watch.Watch(files);
    dir.Write("a.rwx", "ModelBegin\nClumpBegin\nClumpEnd\nModelEnd\n");
    EXPECT_TRUE(watch.TakeChange());
}

}  // namespace
}  // namespace pelorus
