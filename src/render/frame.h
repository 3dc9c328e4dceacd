#pragma once
// One frame of the view: projection, camera, light, the backdrop strip fixed to the horizon,
// then the scene (or the axes alone); and the loader of the backdrop image.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "render/modeldraw.h"
#include "render/scenedraw.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"

namespace pelorus {

// The drawing surface's size in pixels, 0 x 0 until the first resize.
struct Viewport {
    int32_t width = 0;
    int32_t height = 0;
};

// The backdrop as uploaded: an OpenGL texture (0 for none) and the image's size in pixels.
struct Backdrop {
    uint32_t texture = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string file;  // the image file read, also one that could not be used; "" for none
};

// What applying a world leaves for the frames that follow.
struct AppliedWorld {
    std::string objectPath;
    Backdrop backdrop;
    double lightX = 0, lightY = 0, lightZ = 0;  // the direction the light shines towards
    bool fog = false;                           // the world asks for fog
    double fogStart = 0, fogEnd = 0;            // model units
};

// Records the size, sets the viewport and the viewer's projection with the planes of `depth`
// (identity for a height of 0 or less) and leaves the modelview matrix current. Negative sizes
// count as 0. Planes that follow the scene change with the camera: call it before every frame.
void Resize(Viewport& viewport, int32_t width, int32_t height, const DepthRange& depth = {});

// Draws one frame into the current context (the caller presents it): camera, clear, light,
// backdrop (when there is one, the viewport has a width and the backdrop flag is on), then the
// scene through `renderer`, or the axes alone when `scene` is null whatever the axes flag says.
void DrawFrame(const Viewport& viewport, const AppliedWorld& world, const DrawContext& context, TObjectMap* scene,
               SceneRenderer& renderer);

// The triangle `corners` (world coordinates) outlined in yellow over everything drawn, seen by
// `camera` with the projection set by Resize; the depth test and lighting are left as they were.
void DrawOutline(const Camera& camera, const std::array<Vec3, 3>& corners);

// The axes in model units: x blue, y green, z red, one unit long, with letters and arrowheads.
// Leaves lighting and texturing on; lines stay 2 pixels wide afterwards.
void DrawAxes();

// Draws the backdrop strip (see BackdropQuad) without depth test; does nothing for a backdrop
// without texture or size, or an empty viewport.
void DrawBackdrop(const Viewport& viewport, const Backdrop& backdrop, const Camera& camera);

// Reads the backdrop (see ReadBackdropImage) and uploads it as a mipmapped RGB texture; a
// Backdrop without texture when it cannot be read (its `file` still names a file that was read).
// Needs a current context.
Backdrop LoadBackdrop(std::string_view name, ErrorLog& log, const ReadOptions& options);
// Deletes the backdrop's texture (if any) and empties it.
void DeleteBackdrop(Backdrop& backdrop);

}  // namespace pelorus
