#pragma once
// Applying a world to the drawing side: OpenGL light, fog and clear colour, the backdrop
// texture, and the scene's new ground and skybox.

#include <memory>

#include "reader/rwxobject.h"
#include "render/frame.h"
#include "render/objectmap.h"
#include "scene/worldlook.h"

namespace pelorus {

// Where the world's ground and skybox are placed.
constexpr std::array<double, 3> kGroundOffset{0, 0, 0};
constexpr std::array<double, 3> kSkyboxOffset{0, -0.1, 0};

// Reads the script of a ground or skybox. A path whose file-name part is only ".rwx" (the world
// names no model) gives null without reading or logging anything; any other path is read (an
// unreadable one writes the reader's error line and gives an empty object, which the scene drops).
std::unique_ptr<RWXObject> ReadWorldModel(const std::string& path, const std::array<double, 3>& offset,
                                          const ReadOptions& options);

// Applies `look` with a current context: replaces the backdrop texture of `world` (the previous
// one is deleted), sets the clear colour, light 0 (ambient, diffuse and specular = the
// directional colour), the light-model ambient, lighting, texturing, unpack alignment 1, linear
// magnification, normal normalisation and the depth test, linear fog with the backdrop colour
// when the world has fog (off otherwise), and the light direction. When `scene` is given, it
// gets a new ground (placed at kGroundOffset) and skybox (at kSkyboxOffset) read from the look's
// paths, relative paths against the current directory. Textures and the backdrop are found
// through `options`.
void ApplyWorld(const WorldLook& look, AppliedWorld& world, TObjectMap* scene, const ReadOptions& options);

// Switches OpenGL fog as the view wants it: on only when the world asks for fog and `viewFog` is
// set.
void SetFog(const AppliedWorld& world, bool viewFog);

}  // namespace pelorus
