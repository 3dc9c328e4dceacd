#include "app/sceneview.h"

namespace pelorus {

PlainView::PlainView(QWidget* parent) : QWidget(parent) {
    setObjectName("view");
    setFocusPolicy(Qt::StrongFocus);
}

void PlainView::SetScene(std::unique_ptr<TObjectMap> scene) {
    scene_ = std::move(scene);
}

void PlainView::ApplyWorld(const WorldLook& look, ErrorLog& log, const ReadOptions& options) {
    look_ = look;
    if (!scene_) return;
    // The same models as with OpenGL, so that the scene holds what would be drawn.
    (void)SetWorldModels(*scene_, look, log, options);
}

void PlainView::Redraw(const ViewFlags& flags, const Camera& camera) {
    flags_ = flags;
    camera_ = camera;
    ++redraws_;
}

}  // namespace pelorus
