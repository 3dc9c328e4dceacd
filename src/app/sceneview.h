#pragma once
// The drawing surface of the main window: it owns the scene and the applied world and shows
// them. GlView (glview.h) draws with OpenGL; PlainView stands in where no OpenGL window can be
// shown (the offscreen platform of the widget tests) and only keeps the scene.

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "scene/culling.h"
#include "scene/objectmap.h"
#include "scene/viewmath.h"
#include "scene/viewstate.h"
#include "scene/worldlook.h"

namespace pelorus {

class SceneView {
public:
    virtual ~SceneView() = default;

    virtual QWidget* Widget() = 0;

    // Replaces the scene; the previous one is destroyed with the resources it holds.
    virtual void SetScene(std::unique_ptr<TObjectMap> scene) = 0;
    // The scene shown; null before the first SetScene.
    virtual const TObjectMap* Scene() const = 0;
    // Gives the scene shown the models that arrived (TObjectMap::SetModels) and redraws; nothing
    // without a scene.
    virtual void AddModels(const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models) = 0;
    // Lets the models of the indices go (TObjectMap::DropModels), with what the graphics card
    // holds for them, and redraws; nothing without a scene.
    virtual void DropModels(const std::vector<uint32_t>& models) = 0;

    // Applies a world to what is shown: the scene gets a new ground and skybox read from the
    // look's paths; with OpenGL also the backdrop, lights, fog and clear colour. Reading problems
    // go to `log`.
    virtual void ApplyWorld(const WorldLook& look, ErrorLog& log, const ReadOptions& options) = 0;

    // Shows the view with these flags, camera and near and far planes: a redraw is scheduled
    // (several requests before it is drawn give one frame).
    virtual void Redraw(const ViewFlags& flags, const Camera& camera, const DepthRange& depth) = 0;

    // The view as it is drawn now, at its size in device pixels; a null image when it cannot be
    // drawn.
    virtual QImage Snapshot() = 0;
    // How far objects are drawn from the next redraw on, in model units (kDrawEverything: all).
    virtual void SetDrawDistance(double units) = 0;
    // The backdrop image file the applied world read ("" for none).
    virtual std::string BackdropFile() const = 0;

    // False when the surface could not be made ready to draw (no OpenGL context).
    virtual bool Ready() const = 0;

    // The picked face, outlined over what is drawn (corners in world coordinates); nothing for
    // none. A new scene drops it.
    virtual void SetOutline(const std::optional<std::array<Vec3, 3>>& corners) = 0;
    virtual const std::optional<std::array<Vec3, 3>>& Outline() const = 0;
};

// The stand-in without OpenGL: keeps the scene and what it would draw, draws nothing.
class PlainView final : public QWidget, public SceneView {
public:
    explicit PlainView(QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    void SetScene(std::unique_ptr<TObjectMap> scene) override;
    const TObjectMap* Scene() const override { return scene_.get(); }
    void AddModels(const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models) override;
    void DropModels(const std::vector<uint32_t>& models) override;
    void ApplyWorld(const WorldLook& look, ErrorLog& log, const ReadOptions& options) override;
    void Redraw(const ViewFlags& flags, const Camera& camera, const DepthRange& depth) override;
    // An image of the view's size filled with black (nothing is drawn without OpenGL).
    QImage Snapshot() override;
    void SetDrawDistance(double units) override { drawDistance_ = units; }
    std::string BackdropFile() const override { return {}; }  // no backdrop is read without OpenGL
    bool Ready() const override { return true; }
    void SetOutline(const std::optional<std::array<Vec3, 3>>& corners) override { outline_ = corners; }
    const std::optional<std::array<Vec3, 3>>& Outline() const override { return outline_; }
    double DrawDistance() const { return drawDistance_; }

    // What the last Redraw asked to show, and how many redraws were asked for.
    const ViewFlags& Flags() const { return flags_; }
    const Camera& CameraValues() const { return camera_; }
    const DepthRange& Depth() const { return depth_; }
    int64_t RedrawRequests() const { return redraws_; }
    const WorldLook& Look() const { return look_; }

private:
    std::unique_ptr<TObjectMap> scene_;
    WorldLook look_;
    ViewFlags flags_;
    Camera camera_;
    DepthRange depth_;
    int64_t redraws_ = 0;
    double drawDistance_ = kDrawEverything;
    std::optional<std::array<Vec3, 3>> outline_;
};

}  // namespace pelorus
