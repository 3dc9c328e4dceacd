#include "shell/viewershell.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <type_traits>

#include "platform/paths.h"
#include "platform/version.h"
#include "scene/pick.h"
#include "scene/viewmath.h"
#include "shell/catalogue.h"

namespace pelorus {
namespace {

constexpr MenuItemRow kFileItems[] = {
    {"&Open...", kCmdOpen, false, false, "Ctrl+O"},
    {"&Reload\tR", kCmdReload, false, false, "F5"},
    {"Re&cent", kCmdRecent, false, true},
    {"&Next in Folder\tPgDown", kCmdNextInFolder},
    {"Pre&vious in Folder\tPgUp", kCmdPreviousInFolder},
    {"&Export...", kCmdExport},
    {"Save &Snapshot...", kCmdSaveSnapshot, false, false, "F12"},
    {"-"},
    {"&Properties...\tAlt+Enter", kCmdFileProperties},
    {"&Associations...", kCmdAssociations},
    {"-"},
    {"E&xit\tAlt+F4", kCmdExit, false, false, "Ctrl+Q"},
};

constexpr MenuItemRow kDrawDistanceItems[] = {
    {"&All", kFirstDrawDistanceCommand, true},       {"&50 m", kFirstDrawDistanceCommand + 1, true},
    {"&100 m", kFirstDrawDistanceCommand + 2, true}, {"&200 m", kFirstDrawDistanceCommand + 3, true},
    {"5&00 m", kFirstDrawDistanceCommand + 4, true}, {"1000 &m", kFirstDrawDistanceCommand + 5, true},
};

// The distance in metres that a Draw Distance item chooses; none for other commands.
std::optional<double> DrawDistanceOf(int32_t command) {
    const int32_t i = command - kFirstDrawDistanceCommand;
    if (i < 0 || i >= static_cast<int32_t>(std::size(kDrawDistances))) return std::nullopt;
    return kDrawDistances[i];
}

constexpr MenuItemRow kViewItems[] = {
    {"A&xes\tX", kCmdAxes, true},
    {"&Geometry\tSpace", kCmdGeometry, true},
    {"&Object\tO", kCmdObject, true},
    {"&Normals\tN", kCmdNormals, true},
    {"&Backdrop\tB", kCmdBackdrop, true},
    {"&SkyBox\tS", kCmdSkybox, true},
    {"G&round\tG", kCmdGround, true},
    {"&Fog\tF", kCmdFog, true},
    {"&Lighting\tL", kCmdLighting, true},
    {"&Mark Missing Textures", kCmdMarkMissing, true},
    {"&Pick Mode", kCmdPickMode, true},
    {"&Walk Mode\tCtrl+W", kCmdWalkMode, true},
    {"-"},
    {"&TopMost", kCmdTopMost, true},
    {"&Auto Reload", kCmdAutoReload, true},
    {"&Draw Distance", kCmdDrawDistance, false, true, {}, kDrawDistanceItems},
    {"-"},
    {"F&it to Model", kCmdFitToModel, false, false, "Home"},
};

constexpr MenuItemRow kWorldItems[] = {
    {"-"},
    {"&Properties...\tP", kCmdWorldProperties},
    {"&Texture Folders...", kCmdTextureFolders},
    {"&Go To...\tCtrl+G", kCmdGoTo},
    {"&Import Attributes...", kCmdImportAttributes},
    {"&Empty Cache", kCmdEmptyCache},
};

constexpr MenuItemRow kObjectItems[] = {
    {"-"},
    {"&Properties...\tAlt+Enter", kCmdObjectProperties},
};

constexpr MenuItemRow kHelpItems[] = {
    {"&Online Help\tF1", kCmdOnlineHelp},
    {"-"},
    {"&About", kCmdAbout},
};

constexpr MenuRow kMenuBar[] = {
    {"&File", kFileMenu, kFileItems},       {"&View", kViewMenu, kViewItems}, {"&World", kWorldMenu, kWorldItems},
    {"&Object", kObjectMenu, kObjectItems}, {"&Help", kHelpMenu, kHelpItems},
};

// The key table: what each typed character does.
enum class KeyKind { Toggle, Height, Distance, Reload, WorldProperties };
struct KeyEntry {
    char32_t key;
    KeyKind kind;
    int32_t command = 0;         // Toggle: the view item
    double step = 0;             // Height, Distance: added to the value (times StepScale)
    std::string_view help = {};  // Height, Distance: what the key reference says
};

constexpr KeyEntry kKeys[] = {
    {U' ', KeyKind::Toggle, kCmdGeometry},
    {U'+', KeyKind::Height, 0, 0.02, "Eye and orbit centre up by a step"},
    {U'=', KeyKind::Height, 0, 0.02, "Eye and orbit centre up by a step"},
    {U'-', KeyKind::Height, 0, -0.02, "Eye and orbit centre down by a step"},
    {U'a', KeyKind::Distance, 0, -0.1, "Nearer by a step"},
    {U'z', KeyKind::Distance, 0, 0.1, "Farther by a step"},
    {U'A', KeyKind::Distance, 0, -0.01, "Nearer by a small step"},
    {U'Z', KeyKind::Distance, 0, 0.01, "Farther by a small step"},
    {U'B', KeyKind::Toggle, kCmdBackdrop},
    {U'b', KeyKind::Toggle, kCmdBackdrop},
    {U'C', KeyKind::Toggle, kCmdObject},
    {U'c', KeyKind::Toggle, kCmdObject},
    {U'F', KeyKind::Toggle, kCmdFog},
    {U'f', KeyKind::Toggle, kCmdFog},
    {U'G', KeyKind::Toggle, kCmdGround},
    {U'g', KeyKind::Toggle, kCmdGround},
    {U'L', KeyKind::Toggle, kCmdLighting},
    {U'l', KeyKind::Toggle, kCmdLighting},
    {U'N', KeyKind::Toggle, kCmdNormals},
    {U'n', KeyKind::Toggle, kCmdNormals},
    {U'O', KeyKind::Toggle, kCmdObject},
    {U'o', KeyKind::Toggle, kCmdObject},
    {U'P', KeyKind::WorldProperties},
    {U'p', KeyKind::WorldProperties},
    {U'R', KeyKind::Reload},
    {U'r', KeyKind::Reload},
    {U'S', KeyKind::Toggle, kCmdSkybox},
    {U's', KeyKind::Toggle, kCmdSkybox},
    {U'X', KeyKind::Toggle, kCmdAxes},
    {U'x', KeyKind::Toggle, kCmdAxes},
};

// The keys that walk, and where. The letters and the page keys walk only in Walk Mode, where they
// take the place of what they do otherwise.
struct WalkKeyEntry {
    ViewKey key;
    bool walkModeOnly;
    WalkDirections direction;
    std::string_view name;  // as the key reference names it
};
constexpr WalkKeyEntry kWalkKeys[] = {
    {ViewKey::Up, false, {1, 0, 0}, "Up"},       {ViewKey::W, true, {1, 0, 0}, "W"},
    {ViewKey::Down, false, {-1, 0, 0}, "Down"},  {ViewKey::S, true, {-1, 0, 0}, "S"},
    {ViewKey::Left, false, {0, -1, 0}, "Left"},  {ViewKey::A, true, {0, -1, 0}, "A"},
    {ViewKey::Right, false, {0, 1, 0}, "Right"}, {ViewKey::D, true, {0, 1, 0}, "D"},
    {ViewKey::PageUp, true, {0, 0, 1}, "PgUp"},  {ViewKey::PageDown, true, {0, 0, -1}, "PgDown"},
};
constexpr std::pair<WalkDirections, std::string_view> kWalkHelp[] = {
    {{1, 0, 0}, "Walk forwards, the way the camera looks (the orbit centre moves over the ground)"},
    {{-1, 0, 0}, "Walk back"},
    {{0, -1, 0}, "Walk left"},
    {{0, 1, 0}, "Walk right"},
    {{0, 0, 1}, "Rise"},
    {{0, 0, -1}, "Sink"},
};

const WalkKeyEntry* WalkKeyOf(ViewKey key) {
    for (const WalkKeyEntry& entry : kWalkKeys)
        if (entry.key == key) return &entry;
    return nullptr;
}

uint32_t BitOf(ViewKey key) {
    return uint32_t{1} << static_cast<uint32_t>(key);
}

bool TakenByWalking(std::string_view key) {
    return std::find(std::begin(kWalkModeKeys), std::end(kWalkModeKeys), key) != std::end(kWalkModeKeys);
}

// The mouse, for the key reference.
constexpr std::pair<std::string_view, std::string_view> kMouseHelp[] = {
    {"Left drag", "Turn the view about the orbit centre (pitch within 89 degrees)"},
    {"Right drag", "Nearer or farther in proportion to the distance (up and down), turn (left and right)"},
    {"Middle drag, Shift + left drag", "Pan: the orbit centre moves, the point under the pointer follows it"},
    {"Wheel", "Zoom in or out, in proportion to the distance"},
    {"Ctrl + click (any click in View > Pick Mode)",
     "Pick the face under the pointer: outlined, and shown in Object Properties > Face"},
    {"Double-click", "The point under the pointer becomes the orbit centre"},
    {"Drop a file", "Open it"},
};

constexpr double kWheelNotch = 120.0;
constexpr double kTurnPerPixel = 0.5;
constexpr double kRightTurnPerPixel = 0.25;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string_view MenuPart(std::string_view text) {
    return text.substr(0, text.find('\t'));
}

bool IsLeadingBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::span<const MenuRow> MenuBarTable() {
    return kMenuBar;
}

std::string_view ShownShortcut(std::string_view text) {
    const std::size_t tab = text.find('\t');
    return tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
}

std::vector<std::string> ItemShortcuts(const MenuItemRow& item) {
    std::vector<std::string> keys;
    if (const std::string_view shown = Trim(ShownShortcut(item.text)); !shown.empty()) keys.emplace_back(shown);
    std::string_view rest = item.keys;
    while (!rest.empty()) {
        const std::size_t semicolon = rest.find(';');
        const std::string_view key = Trim(rest.substr(0, semicolon));
        if (!key.empty()) keys.emplace_back(key);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
    return keys;
}

std::vector<std::string> ItemShortcuts(const MenuItemRow& item, bool walkMode) {
    std::vector<std::string> keys = ItemShortcuts(item);
    if (walkMode) std::erase_if(keys, [](const std::string& key) { return TakenByWalking(key); });
    return keys;
}

std::string ShownItemText(const MenuItemRow& item, bool walkMode) {
    if (walkMode && TakenByWalking(Trim(ShownShortcut(item.text)))) return std::string(MenuPart(item.text));
    return std::string(item.text);
}

char32_t MnemonicOf(std::string_view text) {
    const std::string_view menu = MenuPart(text);
    for (std::size_t i = 0; i + 1 < menu.size(); ++i) {
        if (menu[i] != '&') continue;
        if (menu[i + 1] == '&') {
            ++i;
            continue;
        }
        const auto c = static_cast<unsigned char>(menu[i + 1]);
        return c >= 'a' && c <= 'z' ? static_cast<char32_t>(c - 'a' + 'A') : static_cast<char32_t>(c);
    }
    return 0;
}

std::string PlainMenuText(std::string_view text) {
    const std::string_view menu = MenuPart(text);
    std::string out;
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (menu[i] == '&') {
            if (i + 1 < menu.size() && menu[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += menu[i];
    }
    return out;
}

std::string WithoutMnemonic(std::string_view text) {
    const std::string_view menu = MenuPart(text);
    std::string out;
    bool removed = false;
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (menu[i] == '&' && i + 1 < menu.size() && menu[i + 1] == '&') {
            out += "&&";
            ++i;
            continue;
        }
        if (menu[i] == '&' && !removed && i + 1 < menu.size()) {
            removed = true;
            continue;
        }
        out += menu[i];
    }
    out += text.substr(menu.size());
    return out;
}

std::string RecentMenuLabel(std::size_t index, std::string_view path) {
    std::string label;
    if (index < 9)
        label = "&" + std::to_string(index + 1) + " ";
    else if (index == 9)
        label = "1&0 ";
    else
        label = std::to_string(index + 1) + " ";
    for (const char c : path) {
        if (c == '&')
            label += "&&";
        else if (c == '\t')
            label += ' ';
        else
            label += c;
    }
    return label;
}

template <typename Shell>
auto* ViewerShell::FlagOf(Shell& shell, int32_t command) {
    using Flag = std::conditional_t<std::is_const_v<Shell>, const bool, bool>;
    switch (command) {
        case kCmdAxes:
            return static_cast<Flag*>(&shell.flags_.axes);
        case kCmdGeometry:
            return static_cast<Flag*>(&shell.flags_.geometry);
        case kCmdObject:
            return static_cast<Flag*>(&shell.flags_.object);
        case kCmdNormals:
            return static_cast<Flag*>(&shell.flags_.normals);
        case kCmdBackdrop:
            return static_cast<Flag*>(&shell.flags_.backdrop);
        case kCmdSkybox:
            return static_cast<Flag*>(&shell.flags_.skybox);
        case kCmdGround:
            return static_cast<Flag*>(&shell.flags_.ground);
        case kCmdFog:
            return static_cast<Flag*>(&shell.flags_.fog);
        case kCmdLighting:
            return static_cast<Flag*>(&shell.flags_.lighting);
        case kCmdTopMost:
            return static_cast<Flag*>(&shell.flags_.topmost);
        case kCmdAutoReload:
            return static_cast<Flag*>(&shell.autoReload_);
        case kCmdMarkMissing:
            return static_cast<Flag*>(&shell.flags_.missingTextures);
        case kCmdPickMode:
            return static_cast<Flag*>(&shell.pickMode_);
        case kCmdWalkMode:
            return static_cast<Flag*>(&shell.walkMode_);
        default:
            return static_cast<Flag*>(nullptr);
    }
}

void ViewerShell::SetModelBounds(const Bounds& bounds, bool world) {
    bounds_ = bounds;
    world_ = world;
    camera_ = ClampCamera(camera_, MinimumDistance());
}

Camera FramedCamera(const Bounds& bounds, double aspect, double yaw) {
    if (bounds.Empty()) {
        Camera camera;
        camera.yaw = std::isfinite(yaw) ? yaw : 0;
        camera.pitch = kFramePitch;
        return camera;
    }
    return ClampCamera(FrameBounds(bounds, kFieldOfView, aspect, yaw), MinDistance(bounds.Radius()));
}

void ViewerShell::CentreOn(const Vec3& point) {
    camera_ = OrbitCentredOn(camera_, point, MinimumDistance());
}

void ViewerShell::FrameModel(double aspect, double yaw, const TObjectMap* scene) {
    if (!world_ || !scene || !(drawDistanceMetres_ > 0)) {
        camera_ = FramedCamera(bounds_, aspect, yaw);
        return;
    }
    const Location centre = LocationOf(camera_);
    const Bounds near = BoundsNear(*scene, {centre.x, centre.y, centre.z}, drawDistanceMetres_ / kMetresPerUnit);
    if (near.Empty()) {
        Location at = centre;
        at.yaw = 180.0 - (std::isfinite(yaw) ? yaw : 0.0);
        camera_ = ClampCamera(WorldViewAt(at, aspect), MinimumDistance());
        return;
    }
    camera_ = FramedCamera(near, aspect, yaw);
}

void ViewerShell::Opened(const SceneObjects& objects, std::string_view entryPoint, double aspect) {
    StopWalking();
    walkMode_ = world_;
    if (world_)
        camera_ = ClampCamera(WorldOpeningCamera(objects, entryPoint, aspect), MinimumDistance());
    else
        FrameModel(aspect, 0);
}

bool ViewerShell::WalksWith(ViewKey key) const {
    const WalkKeyEntry* entry = WalkKeyOf(key);
    return entry && (walkMode_ || !entry->walkModeOnly);
}

WalkDirections ViewerShell::HeldDirections() const {
    WalkDirections d;
    for (const WalkKeyEntry& entry : kWalkKeys) {
        if (!(held_ & BitOf(entry.key))) continue;
        d.forward += entry.direction.forward;
        d.right += entry.direction.right;
        d.up += entry.direction.up;
    }
    return d;
}

double ViewerShell::WalkSpeedNow(bool shift) const {
    return WalkSpeed(camera_.distance, bounds_.Radius(), shift);
}

ShellAction ViewerShell::KeyDown(ViewKey key, bool shift) {
    if (!WalksWith(key) || (held_ & BitOf(key))) return ShellAction::None;
    if (held_ == 0) walkedAhead_ = kWalkStepSeconds;
    held_ |= BitOf(key);
    camera_ = Walked(camera_, WalkKeyOf(key)->direction, WalkSpeedNow(shift) * kWalkStepSeconds);
    return ShellAction::Walk;
}

void ViewerShell::KeyUp(ViewKey key) {
    if (WalkKeyOf(key)) held_ &= ~BitOf(key);
    if (held_ == 0) walkedAhead_ = 0;
}

void ViewerShell::StopWalking() {
    held_ = 0;
    walkedAhead_ = 0;
}

bool ViewerShell::Walk(double seconds, bool shift) {
    if (!Walking() || !(seconds > 0)) return false;
    seconds = std::min(seconds, kMaxWalkSeconds);
    const double ahead = std::min(walkedAhead_, seconds);
    walkedAhead_ -= ahead;
    seconds -= ahead;
    const WalkDirections directions = HeldDirections();
    if (!(seconds > 0) || directions.None()) return false;
    camera_ = Walked(camera_, directions, WalkSpeedNow(shift) * seconds);
    return true;
}

double ViewerShell::MinimumDistance() const {
    return MinDistance(bounds_.Radius());
}

double ViewerShell::StepScale() const {
    const double radius = bounds_.Radius();
    if (!(radius > kStepRadius) || !std::isfinite(radius)) return 1.0;
    return radius / kStepRadius;
}

DepthRange ViewerShell::Depth() const {
    return SceneDepthRange(camera_, bounds_);
}

void ViewerShell::Turn(double dPitch, double dYaw) {
    camera_.pitch = ClampPitch(camera_.pitch + dPitch);
    camera_.yaw += dYaw;
}

bool ViewerShell::Checked(int32_t command) const {
    if (const std::optional<double> metres = DrawDistanceOf(command)) return *metres == drawDistanceMetres_;
    const bool* flag = FlagOf(*this, command);
    return flag && *flag;
}

ShellAction ViewerShell::Command(int32_t command) {
    if (const std::optional<double> metres = DrawDistanceOf(command)) {
        drawDistanceMetres_ = *metres;
        return ShellAction::Redraw;
    }
    if (bool* flag = FlagOf(*this, command)) {
        *flag = !*flag;
        if (command == kCmdTopMost) return ShellAction::TopMost;
        if (command == kCmdAutoReload) return ShellAction::AutoReload;
        if (command == kCmdWalkMode) {
            StopWalking();
            return ShellAction::WalkMode;
        }
        return ShellAction::Redraw;
    }
    if (command >= kFirstCatalogueCommand) return ShellAction::Catalogue;
    if (command >= kFirstRecentCommand && command < kFirstRecentCommand + kRecentCommandCount)
        return ShellAction::OpenRecent;
    switch (command) {
        case kCmdOpen:
            return ShellAction::OpenDialog;
        case kCmdExport:
            return ShellAction::ExportDialog;
        case kCmdReload:
            return ShellAction::Reload;
        case kCmdFileProperties:
        case kCmdObjectProperties:
            return ShellAction::ObjectProperties;
        case kCmdExit:
            return ShellAction::Exit;
        case kCmdWorldProperties:
            return ShellAction::WorldProperties;
        case kCmdGoTo:
            return ShellAction::GoToDialog;
        case kCmdAbout:
            return ShellAction::About;
        case kCmdOnlineHelp:
            return ShellAction::Help;
        case kCmdFitToModel:
            return ShellAction::Fit;
        case kCmdSaveSnapshot:
            return ShellAction::SaveSnapshot;
        case kCmdAssociations:
            return ShellAction::Associations;
        case kCmdNextInFolder:
            return ShellAction::NextInFolder;
        case kCmdPreviousInFolder:
            return ShellAction::PreviousInFolder;
        default:
            return ShellAction::None;  // Recent and Draw Distance (submenus)
    }
}

ShellAction ViewerShell::Character(char32_t c) {
    for (const KeyEntry& entry : kKeys) {
        if (entry.key != c) continue;
        switch (entry.kind) {
            case KeyKind::Toggle:
                return Command(entry.command);
            case KeyKind::Height:
                camera_.height += entry.step * StepScale();
                return ShellAction::Redraw;
            case KeyKind::Distance:
                camera_.distance = std::max(camera_.distance + entry.step * StepScale(), MinimumDistance());
                return ShellAction::Redraw;
            case KeyKind::Reload:
                return ShellAction::Reload;
            case KeyKind::WorldProperties:
                return ShellAction::WorldProperties;
        }
    }
    return ShellAction::None;
}

namespace {

// The View items kept between runs, by the names they are kept under.
constexpr std::pair<std::string_view, int32_t> kKeptChoices[] = {
    {"axes", kCmdAxes},
    {"geometry", kCmdGeometry},
    {"object", kCmdObject},
    {"normals", kCmdNormals},
    {"backdrop", kCmdBackdrop},
    {"skybox", kCmdSkybox},
    {"ground", kCmdGround},
    {"fog", kCmdFog},
    {"lighting", kCmdLighting},
    {"topmost", kCmdTopMost},
    {"autoReload", kCmdAutoReload},
    {"missingTextures", kCmdMarkMissing},
};
constexpr std::string_view kDrawDistanceChoice = "drawDistance";

}  // namespace

ViewChoices ViewerShell::Choices() const {
    ViewChoices choices;
    for (const auto& [name, command] : kKeptChoices)
        choices.emplace_back(std::string(name), Checked(command) ? "1" : "0");
    choices.emplace_back(std::string(kDrawDistanceChoice), std::to_string(static_cast<int>(drawDistanceMetres_)));
    return choices;
}

void ViewerShell::RestoreChoices(const ViewChoices& kept) {
    for (const auto& [name, value] : kept) {
        if (name == kDrawDistanceChoice) {
            for (const double metres : kDrawDistances)
                if (value == std::to_string(static_cast<int>(metres))) drawDistanceMetres_ = metres;
            continue;
        }
        if (value != "1" && value != "0") continue;
        for (const auto& [known, command] : kKeptChoices)
            if (name == known) *FlagOf(*this, command) = value == "1";
    }
}

void ViewerShell::PointerPressed(int32_t x, int32_t y) {
    lastX_ = x;
    lastY_ = y;
}

bool ViewerShell::PointerMoved(int32_t x, int32_t y, PointerButtons held, int32_t viewportHeight) {
    // Differences in 64 bits: positions far outside the view cannot overflow them.
    auto step = [&](auto&& apply) {
        apply(static_cast<double>(int64_t{x} - lastX_), static_cast<double>(int64_t{y} - lastY_));
        lastX_ = x;
        lastY_ = y;
    };
    const bool pan = held.middle || (held.left && held.shift);
    if (held.left && !held.shift) step([&](double dx, double dy) { Turn(dy * kTurnPerPixel, dx * kTurnPerPixel); });
    if (held.right)
        step([&](double dx, double dy) {
            camera_ = Zoom(camera_, -dy * kRightDragNotches, MinimumDistance());
            camera_.yaw += dx * kRightTurnPerPixel;
        });
    if (pan) step([&](double dx, double dy) { camera_ = Pan(camera_, dx, dy, viewportHeight, kFieldOfView); });
    return held.left || held.right || pan;
}

bool ViewerShell::Wheel(int32_t angleDelta) {
    if (angleDelta == 0) return false;
    camera_ = Zoom(camera_, static_cast<double>(angleDelta) / kWheelNotch, MinimumDistance());
    return true;
}

std::vector<KeyHelpRow> KeyReference() {
    std::vector<KeyHelpRow> rows;
    std::vector<int32_t> commands;  // the menu command of each row, 0 for none
    std::vector<std::string> listed;
    auto add = [&](std::size_t row, const std::string& key) {
        if (std::find(listed.begin(), listed.end(), key) != listed.end()) return;
        listed.push_back(key);
        rows[row].keys += (rows[row].keys.empty() ? "" : ", ") + key;
    };
    for (const MenuRow& menu : MenuBarTable()) {
        for (const MenuItemRow& item : menu.items) {
            const std::vector<std::string> keys = ItemShortcuts(item);
            if (keys.empty()) continue;
            rows.push_back({"", PlainMenuText(menu.text) + " > " + PlainMenuText(item.text) +
                                    (item.checkable ? " (on or off)" : "")});
            commands.push_back(item.command);
            for (const std::string& key : keys) add(rows.size() - 1, key);
            if (rows.back().keys.empty()) {  // every key of it is listed at an earlier item
                rows.pop_back();
                commands.pop_back();
            }
        }
    }
    for (const KeyEntry& entry : kKeys) {
        // Letters act in either case (only the camera keys tell them apart): listed once, as the
        // menus show them.
        const bool letter = entry.key >= U'a' && entry.key <= U'z';
        const char32_t shown = letter && entry.help.empty() ? entry.key - U'a' + U'A' : entry.key;
        const std::string key = shown == U' ' ? std::string("Space") : std::string(1, static_cast<char>(shown));
        int32_t command = entry.command;
        if (entry.kind == KeyKind::Reload) command = kCmdReload;
        if (entry.kind == KeyKind::WorldProperties) command = kCmdWorldProperties;
        std::size_t row = rows.size();
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (entry.help.empty() ? commands[r] == command : rows[r].action == entry.help) row = r;
        if (row == rows.size()) {
            rows.push_back({"", entry.help.empty() ? std::string("?") : std::string(entry.help)});
            commands.push_back(0);
        }
        add(row, key);
    }
    for (const auto& [direction, action] : kWalkHelp) {
        KeyHelpRow row{"", std::string(action)};
        for (const WalkKeyEntry& entry : kWalkKeys) {
            const WalkDirections& d = entry.direction;
            if (d.forward != direction.forward || d.right != direction.right || d.up != direction.up) continue;
            row.keys +=
                (row.keys.empty() ? "" : ", ") + std::string(entry.name) + (entry.walkModeOnly ? " (Walk Mode)" : "");
        }
        rows.push_back(std::move(row));
    }
    rows.push_back(
        {"Shift + a walking key", "Walk " + std::to_string(static_cast<int>(kRunFactor)) + " times as fast"});
    for (const auto& [mouse, action] : kMouseHelp) rows.push_back({std::string(mouse), std::string(action)});
    return rows;
}

std::string KeyReferenceNote() {
    return "Letter keys act in either letter case, except a and z: A and Z take small steps. The steps of the "
           "keys grow with models larger than " +
           std::to_string(static_cast<int>(2 * kStepRadius)) +
           " units across. Walking moves the orbit centre while the key is held, faster the farther the eye "
           "is from it. In Walk Mode (on by itself when a world is opened) W, A, S, D and PgUp, PgDown walk "
           "in place of what they do otherwise: the letters in either case, and the skybox and the models "
           "of the folder are then switched and stepped through from the menus.";
}

std::string CommandLinePath(std::span<const std::string> args) {
    if (!args.empty() && args.front() == "--") args = args.subspan(1);
    std::string text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) text += ' ';
        text += args[i];
    }
    std::size_t start = 0;
    while (start < text.size() && IsLeadingBlank(text[start])) ++start;
    text.erase(0, start);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return text;
}

FirstLoad PlanFirstLoad(std::string_view commandLinePath, std::string_view startFolder) {
    FirstLoad plan;
    if (commandLinePath.empty()) return plan;
    const std::string slashes = ToSlashes(commandLinePath);
    const std::string absolute = slashes.starts_with('/') ? slashes : JoinPath(startFolder, slashes);
    plan.currentFile = ResolvePath(absolute);
    plan.folder = std::string(ParentPart(plan.currentFile));
    return plan;
}

namespace {

// `start` moved as little as needed for [start, start + size) to lie in [low, low + span); `low`
// when it cannot.
int64_t KeepWithin(int64_t start, int64_t size, int64_t low, int64_t span) {
    if (start + size > low + span) start = low + span - size;
    return std::max(start, low);
}

}  // namespace

WindowRect MainWindowRect(const WindowRect& screen) {
    const int64_t sw = std::max(0, screen.width), sh = std::max(0, screen.height);
    const int64_t w = std::min(sw, std::max<int64_t>(kMinMainWidth, sw * 2 / 3));
    const int64_t h = std::min(sh, std::max<int64_t>(kMinMainHeight, sh * 2 / 3));
    return {static_cast<int32_t>(screen.x + (sw - w) / 2), static_cast<int32_t>(screen.y + (sh - h) / 2),
            static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

WindowRect BesideRect(const WindowRect& main, int32_t width, int32_t height, const WindowRect& screen) {
    const int64_t w = std::max(0, width), h = std::max(0, height);
    const int64_t sw = std::max(0, screen.width), sh = std::max(0, screen.height);
    const int64_t right = int64_t{main.x} + std::max(0, main.width);
    const int64_t left = int64_t{main.x} - w;
    int64_t x = 0;
    if (right + w <= int64_t{screen.x} + sw)
        x = right;
    else if (left >= screen.x)
        x = left;
    else
        x = int64_t{screen.x} + sw - w;
    x = KeepWithin(x, w, screen.x, sw);
    const int64_t y = KeepWithin(main.y, h, screen.y, sh);
    return {static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

int64_t MillisecondsToNextAnimationFrame(int64_t nowMs) {
    int64_t into = nowMs % kMillisecondsPerFrame;
    if (into < 0) into += kMillisecondsPerFrame;
    return kMillisecondsPerFrame - into;
}

std::string_view ProgramVersion() {
    return kProgramVersion;
}

std::string AboutTitle() {
    return "About " + std::string(kMainWindowTitle);
}

std::string AboutText(std::span<const LibraryVersion> libraries) {
    std::string text = std::string(kMainWindowTitle) + " " + std::string(ProgramVersion()) +
                       "\n\nA fast and dependable viewer for 3D models written as RenderWare scripts (.rwx).";
    if (!libraries.empty()) {
        text += "\n\nRunning with:";
        for (const LibraryVersion& library : libraries)
            text += "\n" + library.name + (library.version.empty() ? "" : " " + library.version);
    }
    text += "\n\nDistributed under the " + std::string(kLicenceName) + ".";
    return text;
}

void ViewerShell::GoTo(const Location& at) {
    camera_ = CameraAt(camera_, at);
    camera_.distance = std::max(camera_.distance, MinimumDistance());
}

}  // namespace pelorus
