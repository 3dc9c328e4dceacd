#pragma once
// What the tools that show a model as the viewer would (--screenshot, --thumbnail, --pick) are
// asked for: the file, the view's size, camera and flags, and how their arguments read. Plain
// logic without any window system.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/framing.h"
#include "scene/location.h"
#include "scene/viewstate.h"
#include "scene/walk.h"

namespace pelorus {

struct ScreenshotRequest {
    std::string output;                // the PNG to write
    std::string file;                  // script or object map; "" draws the empty scene
    std::optional<std::string> world;  // world name or file; the default world without one
    // --object-path: where an object dump's models are looked for, in place of the world's object
    // path (absolute).
    std::optional<std::string> objectPath;
    // --action: the action a file of one model is given ("" for none).
    std::string action;
    // --object-password: opens encrypted archives of the object path, in place of the world's
    // object password.
    std::optional<std::string> objectPassword;
    int32_t width = 400, height = 400;
    Camera camera;
    // --fit: the camera frames the model as the window does on opening it (FramedCamera), and
    // only the camera options given as well (`given`) replace the values it chose.
    bool fit = false;
    struct {
        bool yaw = false, pitch = false, height = false, distance = false;
    } given;
    ViewFlags flags;
    std::optional<int64_t> timeMs;  // the clock of texture animation; the steady clock without it
    double drawDistanceMetres = 0;  // objects farther are not drawn; 0 draws all
    // --at: the orbit centre, and the direction looked in when the location has a yaw (replacing
    // --yaw), whether the camera is framed or not.
    std::optional<Location> at;
    // The longest the drawing may take; past it the process ends with status 1 and a line on
    // standard error, and nothing is written. 0: no limit.
    int64_t drawBudgetMs = 0;
    // Nothing is drawn or written (exit status 1) when `file` is no model (NotAModel) or has no
    // triangle to draw.
    bool modelRequired = false;
};

// Reads the arguments that follow "--screenshot": OUT.png first, then the options in any order
// and at most one FILE ("--fit" takes no value, every other option one; "--object-path" is taken
// out before, see TakeObjectPath). "--" ends the options:
// every argument after it is OUT.png (when it comes first) or FILE, whatever it looks like.
// Numbers must be finite and written whole ("1.5", "-20"); the size is WxH with each side 1 to
// 16384. Returns nothing and sets `error` for anything else.
std::optional<ScreenshotRequest> ParseScreenshotArgs(const std::vector<std::string>& args, std::string& error);

// What `pelorus --pick` asks for: the pixel (x, y) of the view `view` would draw (its output is
// unused).
struct PickRequest {
    int32_t x = 0, y = 0;
    ScreenshotRequest view;
};
// Reads the arguments that follow "--pick": the pixel as "X,Y" first (whole numbers from 0, within
// the view's size), then the options of --screenshot in any order and one FILE, which must be
// given ("--" as for --screenshot). Returns nothing and sets `error` for anything else.
std::optional<PickRequest> ParsePickArgs(const std::vector<std::string>& args, std::string& error);

// Switches view flags from a comma-separated list of names (axes, geometry, object, normals,
// backdrop, skybox, ground, fog, lighting, topmost), each with "+" (on, also without sign) or
// "-" (off) in front. False and `error` set for an unknown name; `flags` is then unchanged.
bool ApplyViewList(std::string_view list, ViewFlags& flags, std::string& error);

// The world file that "--world VALUE" means, with `folder` the current folder: the file of the
// world VALUE when the folder's Worlds.txt lists it (an exact name first, else one that differs
// only in letter case), otherwise VALUE itself as a path.
std::string WorldFileOfArgument(std::string_view value, std::string_view folder);

// The camera of a request for the objects of its file (without ground and skybox): the request's
// own camera, or with --fit the framed one with the given options in place of what it chose.
// An object dump (`world`, its objects, with the world's `entryPoint`) is seen as the window opens
// it, with --fit or without: WorldOpeningCamera, or WorldViewAt --at when it is given, with the
// given options in place of what it chose.
Camera ScreenshotCamera(const ScreenshotRequest& request, const Bounds& modelBounds,
                        const SceneObjects* world = nullptr, std::string_view entryPoint = {});

// How long a thumbnail may take to draw: file managers ask for one for every model they list.
inline constexpr int64_t kThumbnailDrawBudgetMs = 2000;

// The arguments that follow "--thumbnail", as a file manager passes them to a thumbnailer: the
// model IN, the image OUT and the size SIZE (1 to 16384). The request draws IN in the default
// world, SIZE x SIZE pixels, framed, lit, without axes, at animation time 0, within
// kThumbnailDrawBudgetMs of drawing, and requires a model. Anything else gives nothing and sets
// `error`.
std::optional<ScreenshotRequest> ParseThumbnailArgs(const std::vector<std::string>& args, std::string& error);

}  // namespace pelorus
