#include "render/worldgl.h"

#include <GL/gl.h>

#include <algorithm>

namespace pelorus {

void ApplyWorld(const WorldLook& look, AppliedWorld& world, TObjectMap* scene, SceneRenderer& renderer, ErrorLog& log,
                const ReadOptions& options) {
    world.objectPath = look.objectPath;
    DeleteBackdrop(world.backdrop);
    // A world that names no backdrop has none; there is no file to complain about.
    if (!look.backdrop.empty()) world.backdrop = LoadBackdrop(look.backdrop, log, options);

    glClearColor(look.clearColor[0], look.clearColor[1], look.clearColor[2], look.clearColor[3]);
    if (scene) {
        const ReplacedWorldModels replaced = SetWorldModels(*scene, look, log, options);
        renderer.Forget(replaced.ground.get());
        renderer.Forget(replaced.skybox.get());
    }

    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, look.ambient.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, look.directional.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, look.directional.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, look.directional.data());
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);

    world.fogStart = look.fogStart;
    world.fogEnd = look.fogEnd;
    world.lightX = look.lightX;
    world.lightY = look.lightY;
    world.lightZ = look.lightZ;
    world.fog = look.fog;
    if (look.fog) {
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, static_cast<GLfloat>(std::clamp(look.fogStart, -1e30, 1e30)));
        glFogf(GL_FOG_END, static_cast<GLfloat>(std::clamp(look.fogEnd, -1e30, 1e30)));
        const std::array<float, 4>& fog = look.fogColor ? *look.fogColor : look.clearColor;
        const GLfloat color[4] = {fog[0], fog[1], fog[2], 1.0f};
        glFogfv(GL_FOG_COLOR, color);
        glEnable(GL_FOG);
    } else {
        glDisable(GL_FOG);
    }
}

void SetFog(const AppliedWorld& world, bool viewFog) {
    if (world.fog && viewFog)
        glEnable(GL_FOG);
    else
        glDisable(GL_FOG);
}

}  // namespace pelorus
