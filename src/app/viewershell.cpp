#include "app/viewershell.h"

#include <type_traits>

#include "app/catalogue.h"
#include "platform/paths.h"
#include "render/viewmath.h"

#ifndef PELORUS_VERSION
#define PELORUS_VERSION "0.0.0"
#endif

namespace pelorus {
namespace {

constexpr MenuItemRow kFileItems[] = {
    {"&Open...", kCmdOpen},
    {"&Reload\tR", kCmdReload},
    {"&Recent", kCmdRecent, false, true},
    {"-"},
    {"&Properties...\tAlt+Enter", kCmdFileProperties},
    {"&Associations...", kCmdAssociations},
    {"-"},
    {"E&xit\tAlt+F4", kCmdExit},
};

constexpr MenuItemRow kViewItems[] = {
    {"A&xes\tX", kCmdAxes, true},         {"&Geometry\tSpace", kCmdGeometry, true},
    {"&Object\tO", kCmdObject, true},     {"&Normals\tN", kCmdNormals, true},
    {"&Backdrop\tB", kCmdBackdrop, true}, {"&SkyBox\tS", kCmdSkybox, true},
    {"&Ground\tG", kCmdGround, true},     {"&Fog\tF", kCmdFog, true},
    {"&Lighting\tL", kCmdLighting, true}, {"-"},
    {"&TopMost", kCmdTopMost, true},      {"Auto Re&load", kCmdAutoReload, true},
};

constexpr MenuItemRow kWorldItems[] = {
    {"-"},
    {"&Properties...\tP", kCmdWorldProperties},
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
enum class KeyKind { kToggle, kHeight, kDistance, kReload };
struct KeyEntry {
    char32_t key;
    KeyKind kind;
    int32_t command = 0;  // kToggle: the view item
    double step = 0;      // kHeight, kDistance: added to the value
};

constexpr KeyEntry kKeys[] = {
    {U' ', KeyKind::kToggle, kCmdGeometry},
    {U'+', KeyKind::kHeight, 0, 0.02},
    {U'=', KeyKind::kHeight, 0, 0.02},
    {U'-', KeyKind::kHeight, 0, -0.02},
    {U'a', KeyKind::kDistance, 0, -0.1},
    {U'z', KeyKind::kDistance, 0, 0.1},
    {U'A', KeyKind::kDistance, 0, -0.01},
    {U'Z', KeyKind::kDistance, 0, 0.01},
    {U'B', KeyKind::kToggle, kCmdBackdrop},
    {U'b', KeyKind::kToggle, kCmdBackdrop},
    {U'C', KeyKind::kToggle, kCmdObject},
    {U'c', KeyKind::kToggle, kCmdObject},
    {U'F', KeyKind::kToggle, kCmdFog},
    {U'f', KeyKind::kToggle, kCmdFog},
    {U'G', KeyKind::kToggle, kCmdGround},
    {U'g', KeyKind::kToggle, kCmdGround},
    {U'L', KeyKind::kToggle, kCmdLighting},
    {U'l', KeyKind::kToggle, kCmdLighting},
    {U'N', KeyKind::kToggle, kCmdNormals},
    {U'n', KeyKind::kToggle, kCmdNormals},
    {U'R', KeyKind::kReload},
    {U'r', KeyKind::kReload},
    {U'S', KeyKind::kToggle, kCmdSkybox},
    {U's', KeyKind::kToggle, kCmdSkybox},
    {U'X', KeyKind::kToggle, kCmdAxes},
    {U'x', KeyKind::kToggle, kCmdAxes},
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
    const bool* flag = FlagOf(*this, command);
    return flag && *flag;
}

ShellAction ViewerShell::Command(int32_t command) {
    if (bool* flag = FlagOf(*this, command)) {
        *flag = !*flag;
        if (command == kCmdTopMost) return ShellAction::kTopMost;
        if (command == kCmdAutoReload) return ShellAction::kAutoReload;
        return ShellAction::kRedraw;
    }
    if (command >= kFirstCatalogueCommand) return ShellAction::kCatalogue;
    if (command >= kFirstRecentCommand && command < kFirstRecentCommand + kRecentCommandCount)
        return ShellAction::kOpenRecent;
    switch (command) {
        case kCmdOpen:
            return ShellAction::kOpenDialog;
        case kCmdReload:
            return ShellAction::kReload;
        case kCmdFileProperties:
        case kCmdObjectProperties:
            return ShellAction::kObjectProperties;
        case kCmdExit:
            return ShellAction::kExit;
        case kCmdWorldProperties:
            return ShellAction::kWorldProperties;
        case kCmdAbout:
            return ShellAction::kAbout;
        default:
            return ShellAction::kNone;  // Recent (a submenu), Associations, Online Help
    }
}

ShellAction ViewerShell::Character(char32_t c) {
    for (const KeyEntry& entry : kKeys) {
        if (entry.key != c) continue;
        switch (entry.kind) {
            case KeyKind::kToggle:
                return Command(entry.command);
            case KeyKind::kHeight:
                camera_.height += entry.step;
                return ShellAction::kRedraw;
            case KeyKind::kDistance:
                camera_.distance += entry.step;
                return ShellAction::kRedraw;
            case KeyKind::kReload:
                return ShellAction::kReload;
        }
    }
    return ShellAction::kNone;
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
    return PELORUS_VERSION;
}

std::string AboutTitle() {
    return "About " + std::string(kMainWindowTitle);
}

std::string AboutText() {
    return std::string(kMainWindowTitle) + " " + std::string(ProgramVersion()) +
           "\n\nA fast and dependable viewer for 3D models written as RenderWare scripts (.rwx).";
}

}  // namespace pelorus
