#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/paths.h"
#include "shell/viewershell.h"
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
        {U' ', ShellAction::Redraw, &ViewFlags::geometry, 0, 1.5},
        {U'+', ShellAction::Redraw, nullptr, 0.02, 1.5},
        {U'=', ShellAction::Redraw, nullptr, 0.02, 1.5},
        {U'-', ShellAction::Redraw, nullptr, -0.02, 1.5},
        {U'a', ShellAction::Redraw, nullptr, 0, 1.4},
        {U'z', ShellAction::Redraw, nullptr, 0, 1.6},
        {U'A', ShellAction::Redraw, nullptr, 0, 1.49},
        {U'Z', ShellAction::Redraw, nullptr, 0, 1.51},
        {U'b', ShellAction::Redraw, &ViewFlags::backdrop, 0, 1.5},
        {U'B', ShellAction::Redraw, &ViewFlags::backdrop, 0, 1.5},
        {U'c', ShellAction::Redraw, &ViewFlags::object, 0, 1.5},
        {U'C', ShellAction::Redraw, &ViewFlags::object, 0, 1.5},
        {U'f', ShellAction::Redraw, &ViewFlags::fog, 0, 1.5},
        {U'G', ShellAction::Redraw, &ViewFlags::ground, 0, 1.5},
        {U'l', ShellAction::Redraw, &ViewFlags::lighting, 0, 1.5},
        {U'N', ShellAction::Redraw, &ViewFlags::normals, 0, 1.5},
        {U's', ShellAction::Redraw, &ViewFlags::skybox, 0, 1.5},
        {U'X', ShellAction::Redraw, &ViewFlags::axes, 0, 1.5},
        {U'r', ShellAction::Reload, nullptr, 0, 1.5},
        {U'R', ShellAction::Reload, nullptr, 0, 1.5},
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
        EXPECT_EQ(shell.Character(c), ShellAction::None) << static_cast<uint32_t>(c);
        EXPECT_EQ(shell.Flags().object, true);
        EXPECT_EQ(shell.CameraValues().distance, 1.5);
    }
    ViewerShell shell;
    EXPECT_EQ(shell.Character(U'O'), ShellAction::None);  // the menu says O, the key does nothing
    EXPECT_EQ(shell.Character(U'o'), ShellAction::None);
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
        {kCmdOpen, ShellAction::OpenDialog},
        {kCmdExport, ShellAction::ExportDialog},
        {kCmdReload, ShellAction::Reload},
        {kCmdRecent, ShellAction::None},
        {kCmdFileProperties, ShellAction::ObjectProperties},
        {kCmdAssociations, ShellAction::None},
        {kCmdExit, ShellAction::Exit},
        {kCmdGeometry, ShellAction::Redraw},
        {kCmdTopMost, ShellAction::TopMost},
        {kCmdAutoReload, ShellAction::AutoReload},
        {kCmdWorldProperties, ShellAction::WorldProperties},
        {kCmdObjectProperties, ShellAction::ObjectProperties},
        {kCmdOnlineHelp, ShellAction::None},
        {kCmdAbout, ShellAction::About},
        {kFirstRecentCommand, ShellAction::OpenRecent},
        {kFirstRecentCommand + 9, ShellAction::OpenRecent},
        {kFirstRecentCommand + 10, ShellAction::None},
        {2302, ShellAction::Catalogue},
        {kViewMenu, ShellAction::None},
        {0, ShellAction::None},
        {-1, ShellAction::None},
        {112, ShellAction::None},
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

}  // namespace
}  // namespace pelorus
