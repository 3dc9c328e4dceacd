#include "shell/viewrequest.h"

#include <charconv>
#include <cmath>

#include "platform/paths.h"
#include "platform/text.h"
#include "shell/viewershell.h"
#include "shell/worlds.h"

namespace pelorus {
namespace {

constexpr int32_t kMaxImageSide = 16384;

bool ParseDouble(std::string_view text, double& out) {
    if (text.empty()) return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (*begin == '+') ++begin;
    const auto [next, ec] = std::from_chars(begin, end, out, std::chars_format::general);
    return ec == std::errc{} && next == end && std::isfinite(out);
}

template <typename Int>
bool ParseInt(std::string_view text, Int& out) {
    if (text.empty()) return false;
    const auto [next, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && next == text.data() + text.size();
}

bool ParseSize(std::string_view text, int32_t& width, int32_t& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    int32_t w = 0, h = 0;
    if (!ParseInt(text.substr(0, x), w) || !ParseInt(text.substr(x + 1), h)) return false;
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) return false;
    width = w;
    height = h;
    return true;
}

bool* FlagNamed(std::string_view name, ViewFlags& flags) {
    struct Entry {
        std::string_view name;
        bool ViewFlags::*flag;
    };
    static constexpr Entry kFlags[] = {
        {"axes", &ViewFlags::axes},
        {"geometry", &ViewFlags::geometry},
        {"object", &ViewFlags::object},
        {"normals", &ViewFlags::normals},
        {"backdrop", &ViewFlags::backdrop},
        {"skybox", &ViewFlags::skybox},
        {"ground", &ViewFlags::ground},
        {"fog", &ViewFlags::fog},
        {"lighting", &ViewFlags::lighting},
        {"topmost", &ViewFlags::topmost},
        {"missing-textures", &ViewFlags::missingTextures},
    };
    for (const Entry& e : kFlags)
        if (e.name == name) return &(flags.*e.flag);
    return nullptr;
}

}  // namespace

Camera ScreenshotCamera(const ScreenshotRequest& request, const Bounds& modelBounds, const SceneObjects* world,
                        std::string_view entryPoint) {
    const double aspect = static_cast<double>(request.width) / static_cast<double>(request.height);
    if (world) {
        Camera camera = request.at ? WorldViewAt(*request.at, aspect) : WorldOpeningCamera(*world, entryPoint, aspect);
        if (request.given.yaw && !(request.at && request.at->yaw)) camera.yaw = request.camera.yaw;
        if (request.given.pitch) camera.pitch = request.camera.pitch;
        if (request.given.height) camera.height = request.camera.height;
        if (request.given.distance) camera.distance = request.camera.distance;
        return camera;
    }
    if (!request.fit) return request.at ? CameraAt(request.camera, *request.at) : request.camera;
    Camera camera = FramedCamera(modelBounds, aspect, request.given.yaw ? request.camera.yaw : 0.0);
    if (request.given.pitch) camera.pitch = request.camera.pitch;
    if (request.given.height) camera.height = request.camera.height;
    if (request.given.distance) camera.distance = request.camera.distance;
    return request.at ? CameraAt(camera, *request.at) : camera;
}

std::string WorldFileOfArgument(std::string_view value, std::string_view folder) {
    WorldBook book(folder);
    std::string text;
    if (!ReadWholeFile(book.ListPath(), text, kSmallFileLimit)) return std::string(value);
    const std::vector<std::string> names = ParseWorldList(text).names;
    const std::string* match = nullptr;
    for (const std::string& name : names)
        if (!match && name == value) match = &name;
    for (const std::string& name : names)
        if (!match && EqualsNoCase(name, value)) match = &name;
    if (match)
        if (const std::optional<std::string> path = book.WorldFilePath(*match)) return *path;
    return std::string(value);
}

bool ApplyViewList(std::string_view list, ViewFlags& flags, std::string& error) {
    ViewFlags changed = flags;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t comma = list.find(',', pos);
        if (comma == std::string_view::npos) comma = list.size();
        std::string_view item = list.substr(pos, comma - pos);
        pos = comma + 1;
        bool on = true;
        if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
            on = item[0] == '+';
            item.remove_prefix(1);
        }
        bool* flag = FlagNamed(item, changed);
        if (!flag) {
            error = "unknown view flag \"" + std::string(item) + "\"";
            return false;
        }
        *flag = on;
    }
    flags = changed;
    return true;
}

namespace {

// Reads the options and FILE of a view from args[i] on into `request`; `optionsEnded` when a "--"
// came before them. False with `error` set for anything that does not read.
bool ParseViewArgs(const std::vector<std::string>& args, std::size_t i, bool optionsEnded, ScreenshotRequest& request,
                   std::string& error) {
    bool haveFile = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !a.starts_with("--")) {
            if (a.empty()) {
                error = "the name of the FILE to draw is empty";
                return false;
            }
            if (haveFile) {
                error = "only one FILE can be drawn (\"" + request.file + "\", \"" + a + "\")";
                return false;
            }
            request.file = a;
            haveFile = true;
            continue;
        }
        if (a == "--fit") {
            request.fit = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (a == "--size") {
            ok = ParseSize(value, request.width, request.height);
        } else if (a == "--yaw") {
            ok = ParseDouble(value, request.camera.yaw);
            request.given.yaw = true;
        } else if (a == "--pitch") {
            ok = ParseDouble(value, request.camera.pitch);
            request.given.pitch = true;
        } else if (a == "--height") {
            ok = ParseDouble(value, request.camera.height);
            request.given.height = true;
        } else if (a == "--distance") {
            ok = ParseDouble(value, request.camera.distance);
            request.given.distance = true;
        } else if (a == "--at") {
            std::string why;
            request.at = ParseLocation(value, why);
            if (!request.at) {
                error = "bad location \"" + value + "\" for --at: " + why;
                return false;
            }
        } else if (a == "--world") {
            request.world = value;
        } else if (a == "--time") {
            int64_t ms = 0;
            ok = ParseInt(value, ms);
            request.timeMs = ms;
        } else if (a == "--draw-distance") {
            ok = ParseDouble(value, request.drawDistanceMetres) && request.drawDistanceMetres > 0;
        } else if (a == "--view") {
            if (!ApplyViewList(value, request.flags, error)) return false;
        } else {
            error = "unknown option " + a;
            return false;
        }
        if (!ok) {
            error = "bad value \"" + value + "\" for " + a;
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<ScreenshotRequest> ParseScreenshotArgs(const std::vector<std::string>& args, std::string& error) {
    ScreenshotRequest request;
    // "--" ends the options: what follows is OUT.png (when it has not come yet) and FILE.
    const bool optionsEnded = !args.empty() && args[0] == "--";
    const std::size_t i = optionsEnded ? 1 : 0;
    if (i >= args.size() || args[i].empty() || (!optionsEnded && args[i].starts_with("--"))) {
        error = "--screenshot needs the name of the PNG file to write";
        return std::nullopt;
    }
    request.output = args[i];
    if (!ParseViewArgs(args, i + 1, optionsEnded, request, error)) return std::nullopt;
    return request;
}

std::optional<PickRequest> ParsePickArgs(const std::vector<std::string>& args, std::string& error) {
    PickRequest pick;
    const bool optionsEnded = !args.empty() && args[0] == "--";
    const std::size_t i = optionsEnded ? 1 : 0;
    const std::string_view pixel = i < args.size() ? std::string_view(args[i]) : std::string_view();
    const std::size_t comma = pixel.find(',');
    if (comma == std::string_view::npos || !ParseInt(pixel.substr(0, comma), pick.x) ||
        !ParseInt(pixel.substr(comma + 1), pick.y) || pick.x < 0 || pick.y < 0) {
        error = "--pick needs the pixel as X,Y (whole numbers from 0)";
        return std::nullopt;
    }
    if (!ParseViewArgs(args, i + 1, optionsEnded, pick.view, error)) return std::nullopt;
    if (pick.view.file.empty()) {
        error = "--pick needs the FILE to look at";
        return std::nullopt;
    }
    if (pick.x >= pick.view.width || pick.y >= pick.view.height) {
        error = "the pixel " + std::to_string(pick.x) + "," + std::to_string(pick.y) + " lies outside the " +
                std::to_string(pick.view.width) + "x" + std::to_string(pick.view.height) + " view";
        return std::nullopt;
    }
    return pick;
}

std::optional<ScreenshotRequest> ParseThumbnailArgs(const std::vector<std::string>& args, std::string& error) {
    if (args.size() != 3) {
        error = "--thumbnail needs the model, the PNG file to write and the size in pixels";
        return std::nullopt;
    }
    ScreenshotRequest request;
    request.file = args[0];
    request.output = args[1];
    int32_t size = 0;
    if (!ParseInt(args[2], size) || size < 1 || size > kMaxImageSide) {
        error = "bad size \"" + args[2] + "\" for --thumbnail (1 to " + std::to_string(kMaxImageSide) + ")";
        return std::nullopt;
    }
    if (request.file.empty() || request.output.empty()) {
        error = "--thumbnail needs the model, the PNG file to write and the size in pixels";
        return std::nullopt;
    }
    request.width = request.height = size;
    request.flags.axes = false;     // a picture of the model, not of the viewer's aids
    request.flags.lighting = true;  // shaded, so that its shape shows at a glance
    request.fit = true;             // framed as the window frames a model it opens
    request.timeMs = 0;             // animated textures show their first frame
    request.drawBudgetMs = kThumbnailDrawBudgetMs;
    // A file manager asks for every file of the type: what is no model gets no picture, so that
    // the file manager shows its own icon for it.
    request.modelRequired = true;
    return request;
}

}  // namespace pelorus
