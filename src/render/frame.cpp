#include "render/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "reader/backdrop.h"
#include "scene/viewmath.h"

namespace pelorus {

void Resize(Viewport& viewport, int32_t width, int32_t height, const DepthRange& depth) {
    viewport.width = width > 0 ? width : 0;
    viewport.height = height > 0 ? height : 0;
    glViewport(0, 0, viewport.width, viewport.height);
    glMatrixMode(GL_PROJECTION);
    const Mat4 projection = ViewerProjection(viewport.width, viewport.height, depth);
    glLoadMatrixd(projection.data());
    glMatrixMode(GL_MODELVIEW);
}

void DrawFrame(const Viewport& viewport, const AppliedWorld& world, const DrawContext& context, TObjectMap* scene,
               SceneRenderer& renderer) {
    glMatrixMode(GL_MODELVIEW);
    const Mat4 camera = CameraMatrix(context.camera);
    glLoadMatrixd(camera.data());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLdouble position[4] = {-world.lightX, -world.lightY, -world.lightZ, 0.0};
    GLfloat light[4];
    for (int i = 0; i < 4; ++i) light[i] = static_cast<GLfloat>(std::clamp(position[i], -1e30, 1e30));
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    if (context.flags.backdrop) DrawBackdrop(viewport, world.backdrop, context.camera);
    if (scene) {
        // What the fog hides wholly need not be drawn.
        DrawContext seen = context;
        seen.fogEnd = world.fog && context.flags.fog ? world.fogEnd : 0;
        renderer.Draw(*scene, seen);
    } else
        DrawAxes();
}

void DrawBackdrop(const Viewport& viewport, const Backdrop& backdrop, const Camera& camera) {
    if (backdrop.texture == 0 || backdrop.width <= 0 || backdrop.height <= 0 || viewport.width <= 0) return;
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-viewport.width / 2.0, viewport.width / 2.0, -viewport.height / 2.0, viewport.height / 2.0, -1, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, backdrop.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    for (const BackdropCorner& c :
         BackdropQuad(viewport.width, viewport.height, backdrop.width, backdrop.height, camera.yaw, camera.pitch)) {
        glTexCoord2d(c.s, c.t);
        glVertex3d(c.x, c.y, 0);
    }
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}

void DrawOutline(const Camera& camera, const std::array<Vec3, 3>& corners) {
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT | GL_POLYGON_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    const Mat4 view = CameraMatrix(camera);
    glLoadMatrixd(view.data());
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glLineWidth(3.0f);
    glColor3f(1.0f, 0.9f, 0.0f);
    glBegin(GL_LINE_LOOP);
    for (const Vec3& c : corners) glVertex3d(c.x, c.y, c.z);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

void DrawAxes() {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glColor3d(0, 0, 1);
    glVertex3d(0, 0, 0);
    glVertex3d(1, 0, 0);
    glVertex3d(1, 0.01, 0);
    glVertex3d(1.02, -0.01, 0);
    glVertex3d(1.02, 0.01, 0);
    glVertex3d(1, -0.01, 0);
    glColor3d(0, 1, 0);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 1, 0);
    glVertex3d(0, 1.03, -0.01);
    glVertex3d(0, 1.02, 0);
    glVertex3d(0, 1.03, 0.01);
    glVertex3d(0, 1.02, 0);
    glVertex3d(0, 1.02, 0);
    glVertex3d(0, 1.01, 0);
    glColor3d(1, 0, 0);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 0, 1);
    glVertex3d(0, 0.01, 1.02);
    glVertex3d(0, 0.01, 1);
    glVertex3d(0, 0.01, 1);
    glVertex3d(0, -0.01, 1.02);
    glVertex3d(0, -0.01, 1.02);
    glVertex3d(0, -0.01, 1);
    glEnd();

    glColor3d(0, 0, 1);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(1, 0, 0);
    glVertex3d(0.95, 0.01, 0.01);
    glVertex3d(0.95, -0.01, 0.01);
    glVertex3d(0.95, -0.01, -0.01);
    glVertex3d(0.95, 0.01, -0.01);
    glVertex3d(0.95, 0.01, 0.01);
    glEnd();
    glColor3d(0, 1, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(0, 1, 0);
    glVertex3d(0.01, 0.95, 0.01);
    glVertex3d(0.01, 0.95, -0.01);
    glVertex3d(-0.01, 0.95, -0.01);
    glVertex3d(-0.01, 0.95, 0.01);
    glVertex3d(0.01, 0.95, 0.01);
    glEnd();
    glColor3d(1, 0, 0);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(0, 0, 1);
    glVertex3d(0.01, 0.01, 0.95);
    glVertex3d(-0.01, 0.01, 0.95);
    glVertex3d(-0.01, -0.01, 0.95);
    glVertex3d(0.01, -0.01, 0.95);
    glVertex3d(0.01, 0.01, 0.95);
    glEnd();
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
}

// ---- The backdrop image ---------------------------------------------------------------------

Backdrop LoadBackdrop(std::string_view name, ErrorLog& log, const ReadOptions& options) {
    Backdrop out;
    const std::optional<RgbaImage> image = ReadBackdropImage(name, log, options, &out.file);
    if (!image) return out;
    glGenTextures(1, &out.texture);
    glBindTexture(GL_TEXTURE_2D, out.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Stored without alpha: the backdrop covers the clear colour whatever its image carries.
    if (gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image->width, image->height, GL_RGBA, GL_UNSIGNED_BYTE,
                          image->pixels.data()) != 0) {
        log.Append("Couldn't read texture backdrop \"" + BackdropFileName(name) + "\".");
        std::string file = std::move(out.file);
        DeleteBackdrop(out);
        out.file = std::move(file);
        return out;
    }
    out.width = image->width;
    out.height = image->height;
    return out;
}

void DeleteBackdrop(Backdrop& backdrop) {
    if (backdrop.texture != 0) glDeleteTextures(1, &backdrop.texture);
    backdrop = {};
}

}  // namespace pelorus
