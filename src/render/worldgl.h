#pragma once
// Applying a world to the drawing side: OpenGL light, fog and clear colour, the backdrop
// texture, and the scene's new ground and skybox.

#include <memory>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "render/frame.h"
#include "render/scenedraw.h"
#include "scene/objectmap.h"
#include "scene/worldlook.h"

namespace pelorus {

// Applies `look` with a current context: replaces the backdrop texture of `world` (the previous
// one is deleted), sets the clear colour, light 0 (ambient, diffuse and specular = the
// directional colour), the light-model ambient, lighting, texturing, unpack alignment 1, linear
// magnification, normal normalisation and the depth test, linear fog with the backdrop colour
// when the world has fog (off otherwise), and the light direction. When `scene` is given, it
// gets a new ground and skybox (SetWorldModels), and `renderer` forgets the ones replaced.
// Textures and the backdrop are found through `options`; reading problems go to `log`.
void ApplyWorld(const WorldLook& look, AppliedWorld& world, TObjectMap* scene, SceneRenderer& renderer, ErrorLog& log,
                const ReadOptions& options);

// Switches OpenGL fog as the view wants it: on only when the world asks for fog and `viewFog` is
// set.
void SetFog(const AppliedWorld& world, bool viewFog);

}  // namespace pelorus
