#include "app/sceneview.h"

#include <algorithm>

namespace pelorus {

PlainView::PlainView(QWidget* parent) : QWidget(parent) {
    setObjectName("view");
    setFocusPolicy(Qt::StrongFocus);
}

void PlainView::AddModels(const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models) {
    if (scene_) (void)scene_->SetModels(models);
}

void PlainView::DropModels(const std::vector<uint32_t>& models) {
    if (scene_) (void)scene_->DropModels(models);
}

void PlainView::SetScene(std::unique_ptr<TObjectMap> scene) {
    scene_ = std::move(scene);
    outline_.reset();
}

void PlainView::ApplyWorld(const WorldLook& look, ErrorLog& log, const ReadOptions& options) {
    look_ = look;
    if (!scene_) return;
    // The same models as with OpenGL, so that the scene holds what would be drawn.
    (void)SetWorldModels(*scene_, look, log, options);
}

void PlainView::Redraw(const ViewFlags& flags, const Camera& camera, const DepthRange& depth) {
    flags_ = flags;
    camera_ = camera;
    depth_ = depth;
    ++redraws_;
}

QImage PlainView::Snapshot() {
    QImage image(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

}  // namespace pelorus
