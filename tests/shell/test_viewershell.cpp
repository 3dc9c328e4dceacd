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

constexpr PointerButtons kLeft{.left = true};
constexpr PointerButtons kRight{.right = true};
constexpr PointerButtons kBoth{.left = true, .right = true};
constexpr PointerButtons kNone{};

Bounds Box(const Vec3& lo, const Vec3& hi) {
    Bounds b;
    b.Extend(lo.x, lo.y, lo.z);
    b.Extend(hi.x, hi.y, hi.z);
    return b;
}

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
        {U'o', ShellAction::Redraw, &ViewFlags::object, 0, 1.5},
        {U'O', ShellAction::Redraw, &ViewFlags::object, 0, 1.5},
        {U'p', ShellAction::WorldProperties, nullptr, 0, 1.5},
        {U'P', ShellAction::WorldProperties, nullptr, 0, 1.5},
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
    const std::u32string table = U" +=-azAZbBcCfFgGlLnNoOpPrRsSxX";
    for (char32_t c = 1; c < 0x250; ++c) {
        if (table.find(c) != std::u32string::npos) continue;
        ViewerShell shell;
        EXPECT_EQ(shell.Character(c), ShellAction::None) << static_cast<uint32_t>(c);
        EXPECT_EQ(shell.Flags().object, true);
        EXPECT_EQ(shell.CameraValues().distance, 1.5);
    }
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

TEST(ViewerKeys, DistanceKeysStopAtTheSmallestDistanceOfTheModel) {
    ViewerShell shell;
    for (int i = 0; i < 20; ++i) shell.Character(U'a');
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, kMinDistance);
    shell.Character(U'z');
    EXPECT_NEAR(shell.CameraValues().distance, kMinDistance + 0.1, 1e-12);

    // A model of radius 1000 keeps the eye a metre (0.001 of it) away, and says so at once.
    shell.SetModelBounds(Box({-1000, 0, 0}, {1000, 0, 0}));
    EXPECT_DOUBLE_EQ(shell.MinimumDistance(), 1.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.0);
    shell.Character(U'A');
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.0);
}

TEST(ViewerKeys, StepsAreTheKeyTablesForSmallModelsAndGrowWithLargeOnes) {
    struct Case {
        double radius;
        double scale;
    };
    for (const Case c : {Case{0, 1}, Case{0.5, 1}, Case{kStepRadius, 1}, Case{10, 10}, Case{250, 250}}) {
        ViewerShell shell;
        shell.SetModelBounds(Box({0, 0, -c.radius}, {0, 0, c.radius}));
        shell.FrameModel(1.0, 0);
        EXPECT_DOUBLE_EQ(shell.StepScale(), c.scale) << c.radius;
        const Camera before = shell.CameraValues();
        shell.Character(U'z');
        EXPECT_NEAR(shell.CameraValues().distance - before.distance, 0.1 * c.scale, 1e-9 * c.scale) << c.radius;
        shell.Character(U'A');
        EXPECT_NEAR(shell.CameraValues().distance - before.distance, 0.09 * c.scale, 1e-9 * c.scale) << c.radius;
        shell.Character(U'+');
        EXPECT_NEAR(shell.CameraValues().height - before.height, 0.02 * c.scale, 1e-9 * c.scale) << c.radius;
        // The keys move around the orbit centre the framing chose.
        EXPECT_EQ(shell.CameraValues().targetZ, before.targetZ);
    }
}

// ---------------------------------------------------------------------------------------------
// Walking

// Where a step of each walking key takes the orbit centre, seen from yaw 0 (looking south, -z,
// with west, +x, on the right), in units of a step.
struct WalkCase {
    ViewKey key;
    bool walkModeOnly;
    double x, y, z;
};
constexpr WalkCase kWalkCases[] = {
    {ViewKey::Up, false, 0, 0, -1},      {ViewKey::Down, false, 0, 0, 1}, {ViewKey::Left, false, -1, 0, 0},
    {ViewKey::Right, false, 1, 0, 0},    {ViewKey::W, true, 0, 0, -1},    {ViewKey::S, true, 0, 0, 1},
    {ViewKey::A, true, -1, 0, 0},        {ViewKey::D, true, 1, 0, 0},     {ViewKey::PageUp, true, 0, 1, 0},
    {ViewKey::PageDown, true, 0, -1, 0},
};

// A shell showing a world (Walk Mode on) or a model (off), framed as opening it does.
ViewerShell Showing(bool world) {
    ViewerShell shell;
    shell.SetModelBounds(Box({-100, 0, -100}, {100, 5, 100}), world);
    shell.Opened(SceneObjects{}, "", 1);
    return shell;
}

TEST(ViewerWalking, EachKeyStepsItsWayWithShiftFasterAndTheLettersOnlyInWalkMode) {
    for (const WalkCase& c : kWalkCases)
        for (const bool world : {false, true})
            for (const bool shift : {false, true}) {
                const std::string what =
                    std::to_string(static_cast<int>(c.key)) + (world ? " world" : " model") + (shift ? " shift" : "");
                ViewerShell shell = Showing(world);
                EXPECT_EQ(shell.WalkMode(), world) << what;
                Camera start = shell.CameraValues();
                start.yaw = 0;
                shell.GoTo(LocationOf(start));  // facing south
                start = shell.CameraValues();
                const bool walks = world || !c.walkModeOnly;
                EXPECT_EQ(shell.WalksWith(c.key), walks) << what;
                EXPECT_EQ(shell.KeyDown(c.key, shift), walks ? ShellAction::Walk : ShellAction::None) << what;
                const double step = WalkSpeed(start.distance, shell.ModelBounds().Radius(), shift) * kWalkStepSeconds;
                const Camera& now = shell.CameraValues();
                const double moved = walks ? step : 0;
                EXPECT_NEAR(now.targetX - start.targetX, c.x * moved, 1e-9) << what;
                EXPECT_NEAR(now.targetY - start.targetY, c.y * moved, 1e-9) << what;
                EXPECT_NEAR(now.targetZ - start.targetZ, c.z * moved, 1e-9) << what;
                EXPECT_EQ(now.distance, start.distance) << what;
                EXPECT_EQ(shell.Walking(), walks) << what;
                // A walking key switches nothing (the letters' other meanings act outside Walk Mode).
                const ViewFlags initial;
                EXPECT_EQ(std::memcmp(&shell.Flags(), &initial, sizeof initial), 0) << what;
            }
    EXPECT_FALSE(Showing(true).WalksWith(ViewKey::Other));
}

TEST(ViewerWalking, HoldingWalksByTheClockNotByTheKeyboardsRepeats) {
    ViewerShell shell = Showing(true);
    const Camera start = shell.CameraValues();
    const double speed = WalkSpeed(start.distance, shell.ModelBounds().Radius(), false);
    ASSERT_EQ(shell.KeyDown(ViewKey::W, false), ShellAction::Walk);
    // Repeats of a held key change nothing.
    EXPECT_EQ(shell.KeyDown(ViewKey::W, false), ShellAction::None);
    EXPECT_EQ(shell.KeyDown(ViewKey::Up, false), ShellAction::Walk) << "another key walks the same way too";
    shell.KeyUp(ViewKey::Up);
    const double afterSteps =
        std::hypot(shell.CameraValues().targetX - start.targetX, shell.CameraValues().targetZ - start.targetZ);
    EXPECT_NEAR(afterSteps, 2 * speed * kWalkStepSeconds, 1e-9);
    // The first step walked the first tenth of a second already: 0.8 s held walk 0.8 s (and the
    // second key's step).
    EXPECT_FALSE(shell.Walk(0.05, false)) << "still within the first step";
    EXPECT_TRUE(shell.Walk(0.25, false));
    for (int i = 0; i < 10; ++i) shell.Walk(0.05, false);
    const double walked =
        std::hypot(shell.CameraValues().targetX - start.targetX, shell.CameraValues().targetZ - start.targetZ);
    EXPECT_NEAR(walked, speed * (0.8 + kWalkStepSeconds), 1e-9);
    // A stalled frame walks no farther than kMaxWalkSeconds.
    const Camera before = shell.CameraValues();
    shell.Walk(10, false);
    EXPECT_NEAR(
        std::hypot(shell.CameraValues().targetX - before.targetX, shell.CameraValues().targetZ - before.targetZ),
        speed * kMaxWalkSeconds, 1e-9);
    // Shift runs.
    const Camera walking = shell.CameraValues();
    shell.Walk(0.1, true);
    EXPECT_NEAR(
        std::hypot(shell.CameraValues().targetX - walking.targetX, shell.CameraValues().targetZ - walking.targetZ),
        speed * kRunFactor * 0.1, 1e-9);
    // Opposite keys cancel; released keys stop.
    shell.KeyDown(ViewKey::S, false);
    const Camera stuck = shell.CameraValues();
    EXPECT_FALSE(shell.Walk(0.1, false));
    EXPECT_EQ(shell.CameraValues(), stuck);
    shell.KeyUp(ViewKey::S);
    shell.KeyUp(ViewKey::W);
    EXPECT_FALSE(shell.Walking());
    EXPECT_FALSE(shell.Walk(0.1, false));
    // Losing the keyboard, or switching Walk Mode, lets go of every key.
    shell.KeyDown(ViewKey::D, false);
    shell.StopWalking();
    EXPECT_FALSE(shell.Walking());
    shell.KeyDown(ViewKey::PageUp, false);
    EXPECT_EQ(shell.Command(kCmdWalkMode), ShellAction::WalkMode);
    EXPECT_FALSE(shell.Walking());
    EXPECT_FALSE(shell.WalkMode());
    EXPECT_FALSE(shell.Checked(kCmdWalkMode));
    EXPECT_EQ(shell.KeyDown(ViewKey::PageUp, false), ShellAction::None);
}

TEST(ViewerWalking, WalkingFarOutIsFasterAndWalkModeFollowsWhatIsOpened) {
    ViewerShell near = Showing(true), far = Showing(true);
    for (int i = 0; i < 20; ++i) far.Wheel(-120);
    near.KeyDown(ViewKey::Up, false);
    far.KeyDown(ViewKey::Up, false);
    near.Walk(0.5, false);
    far.Walk(0.5, false);
    const double ratio = far.CameraValues().distance / near.CameraValues().distance;
    EXPECT_NEAR(std::abs(far.CameraValues().targetZ - Showing(true).CameraValues().targetZ),
                ratio * std::abs(near.CameraValues().targetZ - Showing(true).CameraValues().targetZ), 1e-6);

    // Walk Mode is the user's to switch within a file, and opening decides it again.
    ViewerShell shell = Showing(true);
    shell.Command(kCmdWalkMode);
    EXPECT_FALSE(shell.WalksWith(ViewKey::A));
    EXPECT_EQ(shell.Character(U'a'), ShellAction::Redraw) << "a brings the eye nearer again";
    shell.SetModelBounds(Box({0, 0, 0}, {1, 1, 1}), true);  // reloaded
    EXPECT_FALSE(shell.WalkMode());
    shell.Opened(SceneObjects{}, "", 1);
    EXPECT_TRUE(shell.WalkMode());
    shell.SetModelBounds(Box({0, 0, 0}, {1, 1, 1}), false);
    shell.Opened(SceneObjects{}, "", 1);
    EXPECT_FALSE(shell.WalkMode());
    EXPECT_EQ(shell.CameraValues(), FramedCamera(Box({0, 0, 0}, {1, 1, 1}), 1, 0)) << "a model opens framed";
}

TEST(ViewerWalking, WalkModeTakesItsKeysFromTheMenusAndTheReferenceSaysSo) {
    std::vector<std::string> shownInWalkMode;
    for (const MenuRow& menu : MenuBarTable())
        for (const MenuItemRow& item : menu.items) {
            if (item.text == "-") continue;
            EXPECT_EQ(ShownItemText(item, false), item.text);
            EXPECT_EQ(ItemShortcuts(item, false), ItemShortcuts(item));
            const std::string text = ShownItemText(item, true);
            const std::vector<std::string> keys = ItemShortcuts(item, true);
            for (const std::string_view taken : kWalkModeKeys) {
                EXPECT_EQ(std::count(keys.begin(), keys.end(), taken), 0) << item.text;
                EXPECT_NE(ShownShortcut(text), taken) << item.text;
            }
            // What a menu shows in Walk Mode is still bound.
            if (!ShownShortcut(text).empty()) {
                EXPECT_EQ(keys.front(), ShownShortcut(text)) << text;
            }
            EXPECT_EQ(PlainMenuText(text), PlainMenuText(item.text));
        }
    const MenuItemRow skybox{"&SkyBox	S", kCmdSkybox, true};
    EXPECT_EQ(ShownItemText(skybox, true), "&SkyBox");
    EXPECT_EQ(ShownItemText(MenuItemRow{"&Next in Folder	PgDown", kCmdNextInFolder}, true), "&Next in Folder");
    EXPECT_EQ(ShownItemText(MenuItemRow{"A&xes	X", kCmdAxes, true}, true), "A&xes	X");

    const std::vector<KeyHelpRow> rows = KeyReference();
    const auto row = [&](std::string_view keysText) {
        for (const KeyHelpRow& r : rows)
            if (r.keys == keysText) return r.action;
        return std::string("(missing)");
    };
    EXPECT_EQ(row("Ctrl+W"), "View > Walk Mode (on or off)");
    EXPECT_NE(row("Up, W (Walk Mode)"), "(missing)");
    EXPECT_NE(row("PgDown (Walk Mode)"), "(missing)");
    EXPECT_EQ(row("S"), "View > SkyBox (on or off)") << "outside Walk Mode S keeps its meaning";
    EXPECT_NE(KeyReferenceNote().find("Walk Mode"), std::string::npos);
}

TEST(ViewerWalking, HomeInAWorldFramesWhatIsWithinTheDrawDistanceOfTheOrbitCentre) {
    ErrorLog log;
    SceneObjects objects;
    const uint32_t model = objects.AddModel(
        test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n", log),
        "tri");
    for (const double x : {0.0, 3.0, 400.0}) {
        PlacedObject o;
        o.model = model;
        o.placement = PlacedAt({x, 0, 0});
        objects.SetText(o, "tri");
        objects.objects.push_back(o);
    }
    objects.dumpVersion = 3;
    const TObjectMap scene{SceneObjects(objects)};
    Bounds near;
    near.Extend(0, 0, 0);
    near.Extend(4, 1, 0);

    ViewerShell shell;
    shell.SetModelBounds(SceneBounds(scene), true);
    shell.Opened(scene.Read(), "", 1);
    EXPECT_EQ(shell.CameraValues().targetX, 0) << "opened at the object nearest 0N 0W";
    shell.FrameModel(1, 10, &scene);
    EXPECT_EQ(shell.CameraValues(), FramedCamera(SceneBounds(scene), 1, 10)) << "without a draw distance: all";
    shell.Command(kFirstDrawDistanceCommand + 3);  // 200 m
    shell.GoTo({1, 0, 0, std::nullopt});
    shell.FrameModel(1, 10, &scene);
    EXPECT_EQ(shell.CameraValues(), FramedCamera(near, 1, 10));
    // Nothing within reach: the orbit centre stays, seen as a world opens.
    shell.GoTo({200, 0, 50, std::nullopt});
    shell.FrameModel(1, 10, &scene);
    const Camera alone = shell.CameraValues();
    EXPECT_EQ(alone.targetX, 200);
    EXPECT_EQ(alone.targetZ, 50);
    EXPECT_EQ(alone.yaw, 10);
    EXPECT_EQ(alone.distance, WorldViewAt({}, 1).distance);
    // A model that is no world is framed whole.
    shell.SetModelBounds(SceneBounds(scene), false);
    shell.FrameModel(1, 10, &scene);
    EXPECT_EQ(shell.CameraValues(), FramedCamera(SceneBounds(scene), 1, 10));
}

// ---------------------------------------------------------------------------------------------
// Pointer and wheel

TEST(ViewerPointer, LeftDragTurnsByHalfADegreePerPixel) {
    ViewerShell shell;
    shell.PointerPressed(10, 20);
    EXPECT_TRUE(shell.PointerMoved(14, 10, kLeft));
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, -5.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.5);
    // The next move counts from the last position, not from the press.
    shell.PointerMoved(15, 10, kLeft);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.5);
}

TEST(ViewerPointer, RightDragMovesTheEyeAsTheWheelDoesAndTurnsByAQuarterDegree) {
    ViewerShell shell;
    shell.PointerPressed(0, 0);
    shell.PointerMoved(8, 10, kRight);  // dragging down moves the eye away: ten pixels, a notch
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.5 / kZoomStep);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, 0.0);
}

TEST(ViewerPointer, WithBothButtonsOnlyTheLeftStepSeesTheMovement) {
    ViewerShell shell;
    shell.PointerPressed(0, 0);
    shell.PointerMoved(4, 6, kBoth);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 2.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, 3.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, 1.5);
}

TEST(ViewerPointer, MovesWithoutButtonsAndPressesChangeNoCamera) {
    ViewerShell shell;
    shell.PointerPressed(100, 100);
    EXPECT_FALSE(shell.PointerMoved(0, 0, kNone));
    shell.PointerPressed(-5, -5);  // a press only records
    EXPECT_EQ(shell.CameraValues().yaw, 0.0);
    EXPECT_EQ(shell.CameraValues().distance, 1.5);
}

TEST(ViewerPointer, ExtremePositionsDoNotOverflow) {
    ViewerShell shell;
    shell.PointerPressed(INT32_MIN, INT32_MIN);
    shell.PointerMoved(INT32_MAX, INT32_MAX, kLeft);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 0.5 * (double(INT32_MAX) - double(INT32_MIN)));
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, kMaxPitch);
}

TEST(ViewerPointer, PitchStaysWithin89DegreesWhileYawTurnsFreely) {
    ViewerShell shell;
    shell.PointerPressed(0, 0);
    shell.PointerMoved(800, 400, kLeft);  // 200 degrees down
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, 89.0);
    EXPECT_DOUBLE_EQ(shell.CameraValues().yaw, 400.0);
    shell.PointerMoved(800, 399, kLeft);  // at the limit, the way back starts at once
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, 88.5);
    shell.PointerMoved(800, -1000, kLeft);
    EXPECT_DOUBLE_EQ(shell.CameraValues().pitch, -89.0);
}

TEST(ViewerPointer, MiddleAndShiftLeftDragsPanSoThePointUnderThePointerFollows) {
    for (const PointerButtons held : {PointerButtons{.middle = true}, PointerButtons{.left = true, .shift = true}}) {
        ViewerShell shell;
        shell.SetModelBounds(Box({19, -1, -1}, {21, 1, 1}));
        shell.FrameModel(4.0 / 3.0, 30);
        const Camera before = shell.CameraValues();
        const Mat4 projection = ViewerProjection(400, 300, shell.Depth());
        const ScreenPoint centre =
            ProjectToScreen(projection, CameraMatrix(before), before.targetX, before.targetY, before.targetZ, 400, 300);
        shell.PointerPressed(200, 150);
        EXPECT_TRUE(shell.PointerMoved(230, 110, held, 300));
        const Camera& after = shell.CameraValues();
        EXPECT_EQ(after.yaw, before.yaw);
        EXPECT_EQ(after.pitch, before.pitch);
        EXPECT_EQ(after.distance, before.distance);
        const ScreenPoint moved =
            ProjectToScreen(projection, CameraMatrix(after), before.targetX, before.targetY, before.targetZ, 400, 300);
        EXPECT_NEAR(moved.x - centre.x, 30, 1e-6);
        EXPECT_NEAR(moved.y - centre.y, -40, 1e-6);
    }
    // Without a view height nothing pans.
    ViewerShell shell;
    shell.PointerPressed(0, 0);
    shell.PointerMoved(10, 10, PointerButtons{.middle = true}, 0);
    EXPECT_EQ(shell.CameraValues(), Camera{});
}

TEST(ViewerPointer, WheelZoomsInProportionToTheDistance) {
    for (const double start : {1.5, 150.0}) {
        ViewerShell shell;
        shell.SetModelBounds(Box({-start, 0, 0}, {start, 0, 0}));
        shell.FrameModel(1, 0);
        const double d = shell.CameraValues().distance;
        EXPECT_TRUE(shell.Wheel(120));
        EXPECT_NEAR(shell.CameraValues().distance, d * kZoomStep, 1e-9 * d);
        shell.Wheel(-240);
        EXPECT_NEAR(shell.CameraValues().distance, d / kZoomStep, 1e-9 * d);
        shell.Wheel(60);  // half a notch of a fine wheel
        EXPECT_NEAR(shell.CameraValues().distance, d / kZoomStep * std::sqrt(kZoomStep), 1e-9 * d);
        EXPECT_FALSE(shell.Wheel(0));
    }
    ViewerShell shell;
    for (int i = 0; i < 200; ++i) shell.Wheel(120);
    EXPECT_DOUBLE_EQ(shell.CameraValues().distance, kMinDistance);
}

// A drag of the same length changes the distance by the same ratio near and far, and however far
// it goes up it never passes the orbit centre.
TEST(ViewerPointer, RightDragZoomsInProportionAndNeverPassesTheOrbitCentre) {
    for (const double radius : {0.01, 1.0, 50.0, 5000.0}) {
        ViewerShell shell;
        shell.SetModelBounds(Box({-radius, 0, 0}, {radius, 0, 0}));
        shell.FrameModel(1, 0);
        const double d = shell.CameraValues().distance;
        shell.PointerPressed(0, 0);
        shell.PointerMoved(0, -20, kRight);
        EXPECT_NEAR(shell.CameraValues().distance, d * kZoomStep * kZoomStep, 1e-9 * d) << radius;
        shell.PointerMoved(0, 0, kRight);
        EXPECT_NEAR(shell.CameraValues().distance, d, 1e-9 * d) << radius;
        for (int i = 1; i <= 50; ++i) {
            shell.PointerMoved(0, -1000 * i, kRight);
            ASSERT_GE(shell.CameraValues().distance, shell.MinimumDistance()) << radius;
            ASSERT_GT(shell.CameraValues().distance, 0) << radius;
        }
        EXPECT_DOUBLE_EQ(shell.CameraValues().distance, shell.MinimumDistance());
    }
}

// ---------------------------------------------------------------------------------------------
// Framing

TEST(ViewerFraming, AFarModelIsFramedAroundItsCentreFromAbove) {
    ViewerShell shell;
    const Bounds far = Box({19.5, 0, -0.5}, {20.5, 1, 0.5});
    shell.SetModelBounds(far);
    EXPECT_EQ(shell.CameraValues(), Camera{}) << "bounds alone keep the camera";
    shell.FrameModel(4.0 / 3.0, 0);
    const Camera& camera = shell.CameraValues();
    EXPECT_EQ(camera, FramedCamera(far, 4.0 / 3.0, 0));
    EXPECT_DOUBLE_EQ(camera.targetX, 20);
    EXPECT_DOUBLE_EQ(camera.targetY, 0.5);
    EXPECT_DOUBLE_EQ(camera.pitch, kFramePitch);
    const Mat4 projection = ViewerProjection(400, 300, shell.Depth());
    for (int i = 0; i < 8; ++i) {
        const Vec3 p{(i & 1) ? 20.5 : 19.5, (i & 2) ? 1.0 : 0.0, (i & 4) ? 0.5 : -0.5};
        const ScreenPoint s = ProjectToScreen(projection, CameraMatrix(camera), p.x, p.y, p.z, 400, 300);
        EXPECT_TRUE(s.visible && s.x > 0 && s.x < 400 && s.y > 0 && s.y < 300) << i;
    }
}

TEST(ViewerFraming, NoModelLooksDownOnTheGroundAndAHugeOneGetsFarPlanesThatHoldIt) {
    ViewerShell shell;
    shell.FrameModel(1, 45);
    Camera turned;
    turned.yaw = 45;
    turned.pitch = kFramePitch;
    EXPECT_EQ(shell.CameraValues(), turned);
    EXPECT_GT(EyePosition(shell.CameraValues()).y, 0.5) << "the eye is above the ground, not level with it";
    EXPECT_EQ(shell.Depth(), DepthRange{});

    shell.SetModelBounds(Box({-5000, -5000, -5000}, {5000, 5000, 5000}));
    shell.FrameModel(1, 0);
    const DepthRange depth = shell.Depth();
    EXPECT_GT(depth.zFar, shell.CameraValues().distance + 5000 * std::sqrt(3.0));
    EXPECT_LT(depth.zNear, shell.MinimumDistance()) << "the orbit centre is never clipped";
}

// ---------------------------------------------------------------------------------------------
// View choices kept between runs

TEST(ViewerChoices, EveryChoiceComesBackInANewShellAndTheFirstRunKeepsTheInitialOnes) {
    ViewerShell first;
    const ViewChoices initial = first.Choices();
    ViewerShell untouched;
    untouched.RestoreChoices({});
    EXPECT_EQ(untouched.Choices(), initial);
    EXPECT_EQ(std::memcmp(&untouched.Flags(), &first.Flags(), sizeof(ViewFlags)), 0);

    // Every checkable item and a draw distance changed, then taken over by a new shell.
    for (const int32_t command : {kCmdAxes, kCmdGeometry, kCmdObject, kCmdNormals, kCmdBackdrop, kCmdSkybox, kCmdGround,
                                  kCmdFog, kCmdLighting, kCmdTopMost, kCmdAutoReload, kCmdMarkMissing})
        first.Command(command);
    first.Command(kFirstDrawDistanceCommand + 3);  // 200 m
    ViewerShell next;
    next.RestoreChoices(first.Choices());
    EXPECT_EQ(next.Choices(), first.Choices());
    EXPECT_FALSE(next.Flags().axes);
    EXPECT_TRUE(next.Flags().lighting);
    EXPECT_TRUE(next.Flags().missingTextures);
    EXPECT_FALSE(next.AutoReload());
    EXPECT_EQ(next.DrawDistanceMetres(), 200);
    EXPECT_TRUE(next.Checked(kFirstDrawDistanceCommand + 3));
}

TEST(ViewerChoices, WhatIsNotAChoiceIsSkippedAndTheRestStays) {
    ViewerShell shell;
    shell.RestoreChoices({{"lighting", "1"},
                          {"axes", "yes"},
                          {"fog", ""},
                          {"drawDistance", "300"},
                          {"drawDistance", "-50"},
                          {"nonsense", "1"},
                          {"Ground", "0"}});
    ViewerShell initial;
    EXPECT_TRUE(shell.Flags().lighting);
    EXPECT_TRUE(shell.Flags().axes);
    EXPECT_TRUE(shell.Flags().fog);
    EXPECT_TRUE(shell.Flags().ground) << "names are exact";
    EXPECT_EQ(shell.DrawDistanceMetres(), 0) << "only the distances offered";
    shell.RestoreChoices({{"drawDistance", "50"}, {"lighting", "0"}});
    EXPECT_EQ(shell.DrawDistanceMetres(), 50);
    EXPECT_EQ(shell.Choices(), [&] {
        initial.Command(kFirstDrawDistanceCommand + 1);
        return initial.Choices();
    }());
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
        {kCmdAssociations, ShellAction::Associations},
        {kCmdNextInFolder, ShellAction::NextInFolder},
        {kCmdPreviousInFolder, ShellAction::PreviousInFolder},
        {kCmdMarkMissing, ShellAction::Redraw},
        {kCmdPickMode, ShellAction::Redraw},
        {kCmdDrawDistance, ShellAction::None},
        {kCmdExit, ShellAction::Exit},
        {kCmdGeometry, ShellAction::Redraw},
        {kCmdTopMost, ShellAction::TopMost},
        {kCmdAutoReload, ShellAction::AutoReload},
        {kCmdWorldProperties, ShellAction::WorldProperties},
        {kCmdObjectProperties, ShellAction::ObjectProperties},
        {kCmdOnlineHelp, ShellAction::Help},
        {kCmdFitToModel, ShellAction::Fit},
        {kCmdSaveSnapshot, ShellAction::SaveSnapshot},
        {kCmdAbout, ShellAction::About},
        {kFirstRecentCommand, ShellAction::OpenRecent},
        {kFirstRecentCommand + 9, ShellAction::OpenRecent},
        {kFirstRecentCommand + 10, ShellAction::None},
        {2302, ShellAction::Catalogue},
        {kViewMenu, ShellAction::None},
        {0, ShellAction::None},
        {-1, ShellAction::None},
        {kCmdWalkMode, ShellAction::WalkMode},
        {116, ShellAction::None},
    };
    for (const auto& [command, action] : cases) {
        ViewerShell shell;
        EXPECT_EQ(shell.Command(command), action) << command;
    }
}

TEST(ViewerCommands, CommandsWithoutActionLeaveEveryFlag) {
    for (const int32_t command :
         {kCmdRecent, kCmdAssociations, kCmdOnlineHelp, kCmdAbout, kCmdOpen, kCmdNextInFolder}) {
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
    EXPECT_EQ(checkable, 14);
    // Axes ... TopMost, Auto Reload, then Fit to Model (no check), Mark Missing Textures, Pick
    // Mode and Walk Mode.
    const bool initial[] = {true,  false, true, false, true,  true,  true, true,
                            false, false, true, false, false, false, false};
    for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(shell.Checked(kCmdAxes + i), initial[i]) << kCmdAxes + i;
    // Toggling flips exactly one check.
    shell.Command(kCmdFog);
    EXPECT_FALSE(shell.Checked(kCmdFog));
    EXPECT_FALSE(shell.Flags().fog);
    shell.Command(kCmdAutoReload);
    EXPECT_FALSE(shell.AutoReload());
}

TEST(ViewerMenus, EachMenuGivesEachLetterToOneItemAndShowsKeysItBinds) {
    std::set<char32_t> bar;
    for (const MenuRow& menu : MenuBarTable()) {
        EXPECT_TRUE(bar.insert(MnemonicOf(menu.text)).second) << menu.text;
        std::set<char32_t> letters;
        for (const MenuItemRow& item : menu.items) {
            if (item.text == "-") continue;
            const char32_t letter = MnemonicOf(item.text);
            EXPECT_NE(letter, 0u) << item.text;
            EXPECT_TRUE(letters.insert(letter).second) << menu.text << ": " << item.text;
            const std::string_view shown = ShownShortcut(item.text);
            const std::vector<std::string> keys = ItemShortcuts(item);
            if (!shown.empty()) {
                ASSERT_FALSE(keys.empty());
                EXPECT_EQ(keys.front(), shown) << item.text;
            }
        }
    }
    // The menus' words stay as they were; only new items and letters shared before moved.
    const std::pair<int32_t, std::string_view> texts[] = {
        {kCmdReload, "&Reload\tR"},        {kCmdRecent, "Re&cent"},
        {kCmdGround, "G&round\tG"},        {kCmdObject, "&Object\tO"},
        {kCmdAutoReload, "&Auto Reload"},  {kCmdOnlineHelp, "&Online Help\tF1"},
        {kCmdFitToModel, "F&it to Model"}, {kCmdSaveSnapshot, "Save &Snapshot..."},
    };
    for (const auto& [command, text] : texts) {
        bool found = false;
        for (const MenuRow& menu : MenuBarTable())
            for (const MenuItemRow& item : menu.items) found = found || (item.command == command && item.text == text);
        EXPECT_TRUE(found) << text;
    }
}

TEST(ViewerMenus, MnemonicsAndPlainTextReadTheMarks) {
    struct Case {
        std::string_view text;
        char32_t mnemonic;
        std::string_view plain, without;
    };
    const Case cases[] = {
        {"&Open...", U'O', "Open...", "Open..."},
        {"E&xit\tAlt+F4", U'X', "Exit", "Exit\tAlt+F4"},
        {"R&&D &tools", U'T', "R&D tools", "R&&D tools"},
        {"&&only", 0, "&only", "&&only"},
        {"end&", 0, "end", "end&"},
        {"&P\t(3)", U'P', "P", "P\t(3)"},
        {"a\t&b", 0, "a", "a\t&b"},
        {"&0-9", U'0', "0-9", "0-9"},
        {"", 0, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MnemonicOf(c.text), c.mnemonic) << c.text;
        EXPECT_EQ(PlainMenuText(c.text), c.plain) << c.text;
        EXPECT_EQ(WithoutMnemonic(c.text), c.without) << c.text;
    }
    const MenuItemRow item{"&Reload\tR", kCmdReload, false, false, " F5 ;; Ctrl+R"};
    EXPECT_EQ(ItemShortcuts(item), (std::vector<std::string>{"R", "F5", "Ctrl+R"}));
    EXPECT_EQ(ItemShortcuts(MenuItemRow{"&About"}), std::vector<std::string>{});
}

TEST(ViewerHelp, TheReferenceNamesEveryKeyOnceAndTheMouse) {
    const std::vector<KeyHelpRow> rows = KeyReference();
    std::vector<std::string> keys;
    for (const KeyHelpRow& row : rows) {
        std::string_view rest = row.keys;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(", ");
            keys.emplace_back(rest.substr(0, comma));
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
        }
    }
    for (const MenuRow& menu : MenuBarTable())
        for (const MenuItemRow& item : menu.items)
            for (const std::string& key : ItemShortcuts(item))
                EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 1) << key;
    for (const char* key : {"a", "z", "A", "Z", "+", "=", "-", "C", "Ctrl+O", "F12", "Home", "Alt+Enter", "F1", "P"})
        EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 1) << key;
    const auto row = [&](std::string_view keysText) {
        for (const KeyHelpRow& r : rows)
            if (r.keys == keysText) return r.action;
        return std::string("(missing)");
    };
    EXPECT_EQ(row("R, F5"), "File > Reload");
    EXPECT_EQ(row("O, C"), "View > Object (on or off)");  // both letters that toggle it, each once
    EXPECT_EQ(row("+, ="), "Eye and orbit centre up by a step");
    EXPECT_EQ(row("Alt+Enter"), "File > Properties...");
    EXPECT_NE(row("Middle drag, Shift + left drag"), "(missing)");
    EXPECT_NE(row("Wheel"), "(missing)");
}

TEST(ViewerHelp, AboutNamesVersionLibrariesAndLicence) {
    const std::vector<LibraryVersion> libraries{{"Qt", "6.4.2"}, {"libjpeg-turbo", ""}};
    const std::string text = AboutText(libraries);
    EXPECT_NE(text.find("Pelorus " + std::string(ProgramVersion())), std::string::npos);
    EXPECT_NE(text.find("\nQt 6.4.2"), std::string::npos);
    EXPECT_NE(text.find("\nlibjpeg-turbo\n"), std::string::npos) << "a library without version is named alone";
    EXPECT_NE(text.find(kLicenceName), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Where windows open

TEST(ViewerWindows, TheMainWindowTakesTwoThirdsOfTheScreenAtLeast800By600) {
    const std::pair<WindowRect, WindowRect> cases[] = {
        {{0, 0, 1920, 1080}, {320, 180, 1280, 720}},
        {{0, 0, 1024, 768}, {112, 84, 800, 600}},
        {{100, 30, 2400, 1500}, {500, 280, 1600, 1000}},  // a second screen, a panel above
        {{0, 0, 640, 480}, {0, 0, 640, 480}},             // never larger than the screen
        {{0, 0, 0, -5}, {0, 0, 0, 0}},
    };
    for (const auto& [screen, want] : cases) EXPECT_EQ(MainWindowRect(screen), want) << screen.width;
}

TEST(ViewerWindows, PropertiesOpenBesideTheMainWindowAndStayOnTheScreen) {
    const WindowRect screen{0, 0, 1920, 1080};
    struct Case {
        WindowRect main;
        int32_t w, h;
        WindowRect want;
    };
    const Case cases[] = {
        {{100, 100, 800, 600}, 400, 500, {900, 100, 400, 500}},    // right of it
        {{1000, 100, 800, 600}, 400, 500, {600, 100, 400, 500}},   // no room right: left of it
        {{200, 100, 1600, 900}, 400, 500, {1520, 100, 400, 500}},  // neither: at the right edge
        {{100, 900, 800, 600}, 400, 500, {900, 580, 400, 500}},    // moved up to stay on screen
        {{100, 100, 800, 600}, 3000, 2000, {0, 0, 3000, 2000}},    // larger than the screen
    };
    for (const Case& c : cases) EXPECT_EQ(BesideRect(c.main, c.w, c.h, screen), c.want) << c.main.x;
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
