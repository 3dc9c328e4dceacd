#pragma once
// The OpenGL view of the main window: draws the frame (camera, light, backdrop, scene) when
// something changed and, while animated textures are shown, at each change of animation frame.
// All OpenGL work of the window happens here, with this widget's context current.

#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QTimer>
#include <memory>
#include <optional>

#include "app/sceneview.h"
#include "render/frame.h"
#include "render/modeldraw.h"
#include "render/scenedraw.h"

namespace pelorus {

class GlView final : public QOpenGLWidget, public SceneView {
    Q_OBJECT
public:
    explicit GlView(QWidget* parent = nullptr);
    // Releases the scene and the backdrop with the context current.
    ~GlView() override;

    // Compatibility profile with a depth buffer, double-buffered, synchronised to the display.
    static QSurfaceFormat Format();

    QWidget* Widget() override { return this; }
    void SetScene(std::unique_ptr<TObjectMap> scene) override;
    const TObjectMap* Scene() const override { return scene_.get(); }
    void AddModels(const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models) override;
    void DropModels(const std::vector<uint32_t>& models) override;
    // Before the context exists the world is kept and applied as soon as it does.
    void ApplyWorld(const WorldLook& look, ErrorLog& log, const ReadOptions& options) override;
    void Redraw(const ViewFlags& flags, const Camera& camera, const DepthRange& depth) override;
    // The frame drawn again into the widget's framebuffer and read back.
    QImage Snapshot() override;
    void SetDrawDistance(double units) override { context_.drawDistance = units; }
    std::string BackdropFile() const override { return applied_.backdrop.file; }
    bool Ready() const override { return isValid(); }
    void SetOutline(const std::optional<std::array<Vec3, 3>>& corners) override;
    const std::optional<std::array<Vec3, 3>>& Outline() const override { return outline_; }

signals:
    // The context was replaced (the platform recreated the window): the scene and backdrop went
    // with the old one, so the file must be loaded again.
    void contextReplaced();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    void ReleaseGl();
    void NoteAnimation();

    // The renderer goes after the scene (declared first, destroyed last), its resources released
    // with the context current before either goes.
    SceneRenderer renderer_;
    std::unique_ptr<TObjectMap> scene_;
    AppliedWorld applied_;
    std::optional<WorldLook> pendingLook_;
    ErrorLog* pendingLog_ = nullptr;
    ReadOptions pendingOptions_;
    Viewport viewport_;
    DrawContext context_;
    DepthRange depth_;
    std::optional<std::array<Vec3, 3>> outline_;
    bool animated_ = false;
    bool hadContext_ = false;
    QTimer animationTimer_;
};

}  // namespace pelorus
