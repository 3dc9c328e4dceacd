#pragma once
// `pelorus --screenshot`: one frame drawn as the viewer draws it, without any window system,
// written as a PNG image.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomicfile.h"
#include "scene/framing.h"
#include "scene/location.h"
#include "scene/viewstate.h"

class QImage;

namespace pelorus {

struct ScreenshotRequest {
    std::string output;                // the PNG to write
    std::string file;                  // script or object map; "" draws the empty scene
    std::optional<std::string> world;  // world name or file; the default world without one
    // --object-path: where an object dump's models are looked for, in place of the world's object
    // path (absolute).
    std::optional<std::string> objectPath;
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

// How long a thumbnail may take to draw: file managers ask for one for every model they list.
inline constexpr int64_t kThumbnailDrawBudgetMs = 2000;

// Reads the arguments that follow "--screenshot": OUT.png first, then the options in any order
// and at most one FILE ("--fit" takes no value, every other option one; "--object-path" is taken
// out before, see TakeObjectPath). "--" ends the options:
// every argument after it is OUT.png (when it comes first) or FILE, whatever it looks like.
// Numbers must be finite and written whole ("1.5", "-20"); the size is WxH with each side 1 to
// 16384. Returns nothing and sets `error` for anything else.
std::optional<ScreenshotRequest> ParseScreenshotArgs(const std::vector<std::string>& args, std::string& error);

// Switches view flags from a comma-separated list of names (axes, geometry, object, normals,
// backdrop, skybox, ground, fog, lighting, topmost), each with "+" (on, also without sign) or
// "-" (off) in front. False and `error` set for an unknown name; `flags` is then unchanged.
bool ApplyViewList(std::string_view list, ViewFlags& flags, std::string& error);

// The world file that "--world VALUE" means, with `folder` the current folder: the file of the
// world VALUE when the folder's Worlds.txt lists it (an exact name first, else one that differs
// only in letter case), otherwise VALUE itself as a path.
std::string WorldFileOfArgument(std::string_view value, std::string_view folder);

// The arguments that follow "--thumbnail", as a file manager passes them to a thumbnailer: the
// model IN, the image OUT and the size SIZE (1 to 16384). The request draws IN in the default
// world, SIZE x SIZE pixels, framed, lit, without axes, at animation time 0, within
// kThumbnailDrawBudgetMs of drawing, and requires a model. Anything else gives nothing and sets
// `error`.
std::optional<ScreenshotRequest> ParseThumbnailArgs(const std::vector<std::string>& args, std::string& error);

// Runs the tool for `args` (beginning with "--screenshot" once any "--object-path FOLDER" is taken
// out of them). FILE may be an object dump, whose models are found through --object-path or else
// the world's object path (a relative one from FILE's folder). Exit status: 0 when the image was
// written; 1 when FILE cannot be read (missing, no regular file, unreadable), no OpenGL context
// can be made, the world file cannot be read (each said with its reason), the drawing passed its
// budget or the image cannot be written ("cannot write "OUT": REASON"); 2 for arguments that do
// not read and for an output that CheckOutputFile refuses as a PNG. The output is checked three
// times, each refusal being one line on `err` and nothing written: against FILE and the world
// file before anything is read; against every file the drawing read (scripts, textures, masks,
// archives, backdrop, ground and skybox) before anything is drawn; and once more at the moment
// the image is renamed into place. Temporary files that killed runs left beside the output are
// removed before it is written. Reading problems of the scene are printed on `err` (after the
// second check) and do not change the status. SIGINT and SIGTERM end the run with their default
// action, also when they were ignored when the process started.
int RunScreenshot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Why `file` is no model to draw: refused as the window refuses it (ClassifyShownFile: an image, a
// program, text that is no object map), or not a file that opens; nothing otherwise.
std::optional<std::string> NotAModel(const std::string& file);

// `pelorus --thumbnail IN OUT SIZE` (`args` beginning with "--thumbnail"): ParseThumbnailArgs,
// then drawn and written as RunScreenshot does, with the same output checks and exit statuses;
// a file that is no model (NotAModel), or has no triangle, gives exit status 1 and no image.
int RunThumbnail(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The camera of a request for the objects of its file (without ground and skybox): the request's
// own camera, or with --fit the framed one with the given options in place of what it chose.
Camera ScreenshotCamera(const ScreenshotRequest& request, const Bounds& modelBounds);

// Writes `image` as a PNG file at `path` atomically (see WriteFileAtomically, which `how` is
// passed to): an existing file is replaced whole or not at all. False with `error` set (a few
// words, without the path) when it cannot be encoded or written.
bool WritePngAtomically(const std::string& path, const QImage& image, std::string& error,
                        const AtomicWriteOptions& how = {});

}  // namespace pelorus
