#include "shell/viewershell.h"

#include <iterator>
#include <optional>
#include <type_traits>

#include "platform/paths.h"
#include "platform/version.h"
#include "scene/viewmath.h"
#include "shell/catalogue.h"

namespace pelorus {
namespace {

constexpr MenuItemRow kFileItems[] = {
    {"&Open...", kCmdOpen},
    {"&Reload\tR", kCmdReload},
    {"&Recent", kCmdRecent, false, true},
    {"&Export...", kCmdExport},
    {"-"},
    {"&Properties...\tAlt+Enter", kCmdFileProperties},
    {"&Associations...", kCmdAssociations},
    {"-"},
    {"E&xit\tAlt+F4", kCmdExit},
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
    {"&Ground\tG", kCmdGround, true},
    {"&Fog\tF", kCmdFog, true},
    {"&Lighting\tL", kCmdLighting, true},
    {"-"},
    {"&TopMost", kCmdTopMost, true},
    {"Auto Re&load", kCmdAutoReload, true},
    {"&Draw Distance", kCmdDrawDistance, false, true, kDrawDistanceItems},
};

constexpr MenuItemRow kWorldItems[] = {
    {"-"},
    {"&Properties...\tP", kCmdWorldProperties},
    {"&Texture Folders...", kCmdTextureFolders},
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
enum class KeyKind { Toggle, Height, Distance, Reload };
struct KeyEntry {
    char32_t key;
    KeyKind kind;
    int32_t command = 0;  // Toggle: the view item
    double step = 0;      // Height, Distance: added to the value
};

constexpr KeyEntry kKeys[] = {
    {U' ', KeyKind::Toggle, kCmdGeometry},
    {U'+', KeyKind::Height, 0, 0.02},
    {U'=', KeyKind::Height, 0, 0.02},
    {U'-', KeyKind::Height, 0, -0.02},
    {U'a', KeyKind::Distance, 0, -0.1},
    {U'z', KeyKind::Distance, 0, 0.1},
    {U'A', KeyKind::Distance, 0, -0.01},
    {U'Z', KeyKind::Distance, 0, 0.01},
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
    {U'R', KeyKind::Reload},
    {U'r', KeyKind::Reload},
    {U'S', KeyKind::Toggle, kCmdSkybox},
    {U's', KeyKind::Toggle, kCmdSkybox},
    {U'X', KeyKind::Toggle, kCmdAxes},
    {U'x', KeyKind::Toggle, kCmdAxes},
};

constexpr double kWheelNotch = 120.0;
constexpr double kWheelStep = 0.1;

bool IsLeadingBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::span<const MenuRow> MenuBarTable() {
    return kMenuBar;
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
        default:
            return static_cast<Flag*>(nullptr);
    }
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
        case kCmdAbout:
            return ShellAction::About;
        default:
            return ShellAction::None;  // Recent (a submenu), Associations, Online Help
    }
}

ShellAction ViewerShell::Character(char32_t c) {
    for (const KeyEntry& entry : kKeys) {
        if (entry.key != c) continue;
        switch (entry.kind) {
            case KeyKind::Toggle:
                return Command(entry.command);
            case KeyKind::Height:
                camera_.height += entry.step;
                return ShellAction::Redraw;
            case KeyKind::Distance:
                camera_.distance += entry.step;
                return ShellAction::Redraw;
            case KeyKind::Reload:
                return ShellAction::Reload;
        }
    }
    return ShellAction::None;
}

void ViewerShell::PointerPressed(int32_t x, int32_t y) {
    lastX_ = x;
    lastY_ = y;
}

bool ViewerShell::PointerMoved(int32_t x, int32_t y, bool leftHeld, bool rightHeld) {
    // Differences in 64 bits: positions far outside the view cannot overflow them.
    if (leftHeld) {
        camera_.pitch += static_cast<double>(int64_t{y} - lastY_) * 0.5;
        camera_.yaw += static_cast<double>(int64_t{x} - lastX_) * 0.5;
        lastX_ = x;
        lastY_ = y;
    }
    if (rightHeld) {
        camera_.distance += static_cast<double>(int64_t{y} - lastY_) * 0.1;
        camera_.yaw += static_cast<double>(int64_t{x} - lastX_) * 0.25;
        lastX_ = x;
        lastY_ = y;
    }
    return leftHeld || rightHeld;
}

bool ViewerShell::Wheel(int32_t angleDelta) {
    if (angleDelta == 0) return false;
    camera_.distance -= kWheelStep * static_cast<double>(angleDelta) / kWheelNotch;
    return true;
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

std::string AboutText() {
    return std::string(kMainWindowTitle) + " " + std::string(ProgramVersion()) +
           "\n\nA fast and dependable viewer for 3D models written as RenderWare scripts (.rwx).";
}

}  // namespace pelorus
