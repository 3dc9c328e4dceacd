#include "render/scenedraw.h"

#include <GL/gl.h>

#include <cmath>

#include "render/frame.h"
#include "scene/framing.h"

namespace pelorus {

SceneRenderer::~SceneRenderer() {
    Release();
}

ObjectResources& SceneRenderer::ResourcesOf(const RWXObject& object) {
    Held& held = resources_[&object];
    if (held.serial != object.Serial()) {
        held.resources.Release();  // an object that was at this address before
        held.serial = object.Serial();
    }
    return held.resources;
}

void SceneRenderer::Forget(const RWXObject* object) {
    if (!object) return;
    const auto it = resources_.find(object);
    if (it == resources_.end()) return;
    it->second.resources.Release();
    resources_.erase(it);
}

void SceneRenderer::Release() {
    for (auto& [object, held] : resources_) held.resources.Release();
    resources_.clear();
    textures_.Release();
}

void SceneRenderer::DrawTranslucent(TranslucentList& list, const DrawContext& context, bool groundFlags,
                                    std::span<const uint8_t> drawn) {
    Mat4 modelview{};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    candidates_.clear();
    // Faces OpenGL would cull are left out before sorting (not with lines, which show for every
    // face): fewer triangles, and fewer breaks between neighbours alike.
    Vec3 eye;
    const bool cull = !(context.flags.normals || context.flags.geometry) && EyeOf(modelview, eye);
    ComputeDepthsOf(list, drawn, modelview, context.camera.yaw, candidates_, cull ? &eye : nullptr);
    SortBackToFront(list.records, candidates_, order_);

    DrawContext forced = context;
    forced.flags.object = true;
    // Neighbours in depth order from the same batch are drawn in one call.
    TranslucentPass pass;
    std::size_t i = 0;
    while (i < order_.size()) {
        const TTranslucentTriangle& first = list.records[order_[i]];
        std::size_t end = i + 1;
        // (Objects sharing a model share its batches: the run is of one object.)
        while (end < order_.size() && list.records[order_[end]].batch == first.batch &&
               list.records[order_[end]].source == first.source &&
               list.records[order_[end]].fromGround == first.fromGround)
            ++end;
        const bool ground = groundFlags && first.fromGround;
        const bool known = first.batch && first.clump && first.source >= 0 &&
                           static_cast<std::size_t>(first.source) < list.sources.size() &&
                           list.sources[static_cast<std::size_t>(first.source)].object;
        if (known && !(ground && !context.flags.ground)) {
            const TranslucentSource& source = list.sources[static_cast<std::size_t>(first.source)];
            run_.clear();
            for (std::size_t k = i; k < end; ++k) run_.push_back(list.records[order_[k]].triangle);
            DrawTriangles(*first.clump, *first.batch, run_, *source.object, source.placement, textures_,
                          ground ? forced : context, pass, source.look);
        }
        i = end;
    }
    pass.End();
}

void SceneRenderer::DrawObjectOpaque(const TObjectMap& scene, std::size_t index, const DrawContext& context) {
    const RWXObject& object = scene.Object(index);
    // Objects of one model share its compiled faces, whatever their looks.
    DrawOpaque(object, scene.PlacementOf(index), ResourcesOf(object), textures_, context, compiled_,
               scene.LookOf(index));
}

void SceneRenderer::Draw(TObjectMap& scene, const DrawContext& context) {
    const ViewFlags& flags = context.flags;
    if (scene.Skybox() && flags.skybox) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        // Planes that follow a large scene may have moved the near plane beyond a small skybox.
        if (scene.Skybox()->Serial() != skyboxSerial_) {
            skyboxSerial_ = scene.Skybox()->Serial();
            skyboxDepth_ = AroundEyeDepthRange(ObjectBounds(*scene.Skybox()));
        }
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        const Mat4 projection = ViewerProjection(viewport[2], viewport[3], skyboxDepth_);
        glLoadMatrixd(projection.data());
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        const Mat4 turns = SkyboxMatrix(context.camera);
        glLoadMatrixd(turns.data());
        DrawOpaque(*scene.Skybox(), PlacedAt(scene.Skybox()->Offset()), ResourcesOf(*scene.Skybox()), textures_,
                   context, compiled_);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        sourceDrawn_.assign(scene.SkyboxTranslucent().sources.size(), 1);
        DrawTranslucent(scene.SkyboxTranslucent(), context, false, sourceDrawn_);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopAttrib();
        glClear(GL_DEPTH_BUFFER_BIT);
        glDisable(GL_BLEND);
    }
    glDisable(GL_BLEND);
    if (flags.axes) DrawAxes();
    glEnable(GL_LIGHTING);

    // What can be seen: inside the view volume, within the draw distance, not wholly fogged.
    Mat4 modelview{}, projection{};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    const Frustum frustum = FrustumOf(projection, modelview);
    const Vec3 eye = EyeOf(modelview);
    auto seen = [&](const Sphere& sphere) {
        return frustum.MayHold(sphere) && !IsBeyond(sphere, eye, context.drawDistance) &&
               !IsFoggedOut(sphere, modelview, context.fogEnd);
    };
    const bool groundSeen = scene.Ground() && seen(scene.GroundSphere());
    objectDrawn_.assign(scene.ObjectCount(), 0);
    // Within a draw distance only what is near is looked at; without one, everything.
    near_.clear();
    if (std::isfinite(context.drawDistance) && context.drawDistance > 0) {
        scene.ObjectsNear(eye, context.drawDistance, near_);
    } else {
        near_.resize(scene.ObjectCount());
        for (std::size_t i = 0; i < near_.size(); ++i) near_[i] = static_cast<uint32_t>(i);
    }
    for (const uint32_t i : near_) objectDrawn_[i] = scene.Placed(i).visible && seen(scene.SphereOf(i));

    if (scene.Ground() && flags.ground && groundSeen) {
        DrawContext forced = context;
        forced.flags.object = true;
        DrawOpaque(*scene.Ground(), PlacedAt(scene.Ground()->Offset()), ResourcesOf(*scene.Ground()), textures_, forced,
                   compiled_);
    }
    for (const uint32_t i : near_)
        if (objectDrawn_[i]) DrawObjectOpaque(scene, i, context);

    glPushAttrib(GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The transparent pass of what this frame draws alone, in the scene's order: what lies
    // elsewhere in a large world costs nothing.
    drawnList_.clear();
    for (const uint32_t i : near_)
        if (objectDrawn_[i]) drawnList_.push_back(i);
    scene.TranslucentOf(drawnList_, groundSeen, translucent_);
    sourceDrawn_.assign(translucent_.sources.size(), 1);
    DrawTranslucent(translucent_, context, true, sourceDrawn_);
    scene.TranslucentOf({}, false, translucent_);  // no pointers into the scene outlive the frame
    glPopAttrib();
    glDisable(GL_BLEND);
}

}  // namespace pelorus
