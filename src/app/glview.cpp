#include "app/glview.h"

#include <QOpenGLContext>
#include <cmath>

#include "render/worldgl.h"
#include "scene/viewmath.h"
#include "shell/viewershell.h"

namespace pelorus {
namespace {

bool HasAnimatedTexture(const RWXObject* object) {
    if (!object) return false;
    for (const TTexture& t : object->Textures())
        if (t.frameCount > 1) return true;
    return false;
}

}  // namespace

GlView::GlView(QWidget* parent) : QOpenGLWidget(parent) {
    setObjectName("view");
    setFormat(Format());
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(1, 1);
    animationTimer_.setSingleShot(true);
    animationTimer_.setTimerType(Qt::PreciseTimer);
    connect(&animationTimer_, &QTimer::timeout, this, [this] { update(); });
}

GlView::~GlView() {
    if (QOpenGLContext* gl = context()) disconnect(gl, nullptr, this, nullptr);
    ReleaseGl();
}

QSurfaceFormat GlView::Format() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(24);
    format.setSwapInterval(1);
    return format;
}

void GlView::ReleaseGl() {
    const bool current = isValid();
    if (current) makeCurrent();
    if (current) renderer_.Release();
    scene_.reset();
    if (current) DeleteBackdrop(applied_.backdrop);
    applied_.backdrop = {};
    if (current) doneCurrent();
}

void GlView::NoteAnimation() {
    animated_ = false;
    if (!scene_) return;
    for (std::size_t i = 0; i < scene_->ObjectCount(); ++i)
        animated_ = animated_ || HasAnimatedTexture(&scene_->Object(i));
    animated_ = animated_ || HasAnimatedTexture(scene_->Ground()) || HasAnimatedTexture(scene_->Skybox());
    if (!animated_) animationTimer_.stop();
}

void GlView::SetScene(std::unique_ptr<TObjectMap> scene) {
    const bool current = isValid();
    if (current) makeCurrent();
    if (current) renderer_.Release();  // what the card holds for the previous scene
    scene_ = std::move(scene);
    outline_.reset();
    if (current) doneCurrent();
    NoteAnimation();
    update();
}

void GlView::AddModels(const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models) {
    if (!scene_ || models.empty()) return;
    const bool current = isValid();
    if (current) makeCurrent();
    // What the card holds for the stand-ins goes with them.
    for (const std::shared_ptr<const RWXObject>& gone : scene_->SetModels(models))
        if (current && gone.use_count() == 1) renderer_.Forget(gone.get());
    if (current) doneCurrent();
    for (const auto& [index, model] : models) animated_ = animated_ || HasAnimatedTexture(model.get());
    update();
}

void GlView::DropModels(const std::vector<uint32_t>& models) {
    if (!scene_ || models.empty()) return;
    const bool current = isValid();
    if (current) makeCurrent();
    {
        const std::vector<std::shared_ptr<const RWXObject>> gone = scene_->DropModels(models);
        if (current)
            for (const std::shared_ptr<const RWXObject>& model : gone)
                if (model.use_count() == 1) renderer_.Forget(model.get());
    }
    if (current) renderer_.ReleaseUnusedTextures();
    if (current) doneCurrent();
    update();
}

void GlView::ApplyWorld(const WorldLook& look, ErrorLog& log, const ReadOptions& options) {
    if (!isValid()) {
        pendingLook_ = look;
        pendingLog_ = &log;
        pendingOptions_ = options;
        return;
    }
    makeCurrent();
    pelorus::ApplyWorld(look, applied_, scene_.get(), renderer_, log, options);
    doneCurrent();
    NoteAnimation();
    update();
}

void GlView::SetOutline(const std::optional<std::array<Vec3, 3>>& corners) {
    outline_ = corners;
    update();
}

void GlView::Redraw(const ViewFlags& flags, const Camera& camera, const DepthRange& depth) {
    context_.flags = flags;
    context_.camera = camera;
    depth_ = depth;
    update();
}

QImage GlView::Snapshot() {
    if (!isValid()) return {};
    return grabFramebuffer();
}

void GlView::initializeGL() {
    // Resources of the scene belong to this context: drop them before it goes.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GlView::ReleaseGl, Qt::DirectConnection);
    if (hadContext_) {
        // A second context: what the first one held is gone and must be read again.
        QMetaObject::invokeMethod(this, &GlView::contextReplaced, Qt::QueuedConnection);
        return;
    }
    hadContext_ = true;
    if (pendingLook_ && pendingLog_) {
        pelorus::ApplyWorld(*pendingLook_, applied_, scene_.get(), renderer_, *pendingLog_, pendingOptions_);
        pendingLook_.reset();
        NoteAnimation();
    }
}

void GlView::resizeGL(int, int) {
    update();
}

void GlView::paintGL() {
    const qreal ratio = devicePixelRatioF();
    Resize(viewport_, static_cast<int32_t>(std::lround(width() * ratio)),
           static_cast<int32_t>(std::lround(height() * ratio)), depth_);
    context_.timeMs = SteadyMilliseconds();
    SetFog(applied_, context_.flags.fog);
    DrawFrame(viewport_, applied_, context_, scene_.get(), renderer_);
    if (outline_) DrawOutline(context_.camera, *outline_);
    if (animated_) animationTimer_.start(static_cast<int>(MillisecondsToNextAnimationFrame(context_.timeMs)));
}

}  // namespace pelorus
