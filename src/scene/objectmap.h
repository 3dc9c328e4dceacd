#pragma once
// The scene: the placed objects, the world's ground and skybox, and the transparent triangles
// that are drawn after everything opaque, back to front. Plain data; drawing it is the render
// layer's.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "reader/scenefile.h"
#include "reader/sceneobjects.h"
#include "scene/actionlooks.h"
#include "scene/culling.h"
#include "scene/spatialgrid.h"
#include "scene/translucent.h"
#include "scene/worldlook.h"
#include "world/worldload.h"

namespace pelorus {

class TObjectMap {
public:
    // An empty scene.
    TObjectMap();
    // A scene of what `objects` places: those of its objects that show a model (of type 0, with a
    // model found), in order, with the create commands of their actions carried out (see
    // CarryOutActions; its error lines go to `log` when given). Objects may share models; hidden
    // ones (not visible) are kept but not drawn. A model that is null (still being read, see
    // DumpStream::placed) is an empty one until SetModels gives it.
    explicit TObjectMap(SceneObjects objects, ErrorLog* log = nullptr, const LookOptions& looks = {});
    // The same for objects of their own, each placed where it was read (its Offset()) and named by
    // its path.
    explicit TObjectMap(std::vector<std::unique_ptr<RWXObject>> objects);
    // The scene the viewer shows for `path` (see LoadShownObjects): one script, an object map or
    // an object dump.
    static std::unique_ptr<TObjectMap> FromFile(std::string_view path, ErrorLog& log, const WorldReadOptions& options);
    static std::unique_ptr<TObjectMap> FromFile(std::string_view path, ErrorLog& log, const ReadOptions& options = {});
    ~TObjectMap();
    TObjectMap(const TObjectMap&) = delete;
    TObjectMap& operator=(const TObjectMap&) = delete;

    // Replaces the ground (skybox); the new one is kept only when it holds at least one triangle
    // (null or empty objects leave the slot empty). The transparent lists follow. The
    // previous one is handed back (null when there was none), so that whoever holds resources
    // made from it can release them before it goes.
    [[nodiscard]] std::unique_ptr<RWXObject> SetGround(std::unique_ptr<RWXObject> ground);
    [[nodiscard]] std::unique_ptr<RWXObject> SetSkybox(std::unique_ptr<RWXObject> skybox);

    // Gives the models of the indices (into Read().models) that were still to come; the spheres of
    // their objects and the transparent lists follow. Indices out of range and null models are
    // passed over. The models replaced are handed back (so that whoever holds resources made from
    // them can release them before they go). When the last model still to come is given, the
    // objects' actions are carried out (see the constructor; its `log` must still exist then).
    // Models that take the place of ones still to come append their objects' transparent
    // triangles to the list (after the ground's) rather than making it again.
    [[nodiscard]] std::vector<std::shared_ptr<const RWXObject>> SetModels(
        const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models);

    // Lets the models of the indices go (when models are read on demand): their objects show
    // nothing, as while a model is still to come, until SetModels gives them again. Indices out
    // of range and models already gone are passed over. The models let go are handed back (see
    // SetModels).
    [[nodiscard]] std::vector<std::shared_ptr<const RWXObject>> DropModels(const std::vector<uint32_t>& indices);

    std::size_t ObjectCount() const { return read_.objects.size(); }
    // The model of object `index`, and how it is placed. Objects may share models: the model's
    // own Offset() is not its place.
    const RWXObject& Object(std::size_t index) const { return *read_.models.at(read_.objects.at(index).model); }
    const Placement& PlacementOf(std::size_t index) const { return read_.objects.at(index).placement; }
    const PlacedObject& Placed(std::size_t index) const { return read_.objects.at(index); }
    // Its name as the file that placed it wrote it (a script's path, an entry's path, a dump's
    // model name), its description and its action.
    std::string_view NameOf(std::size_t index) const { return read_.Name(read_.objects.at(index)); }
    std::string_view DescriptionOf(std::size_t index) const { return read_.Description(read_.objects.at(index)); }
    std::string_view ActionOf(std::size_t index) const { return read_.Action(read_.objects.at(index)); }
    // How object `index` looks where its action changes its model's faces; null where it does not.
    const ObjectLook* LookOf(std::size_t index) const { return looks_.Of(index); }
    const ObjectLooks& Looks() const { return looks_; }
    // Everything as read: the distinct models, the objects' texts, and for a dump its version and
    // the models that were not found.
    const SceneObjects& Read() const { return read_; }
    // The sphere around everything object `index` draws, where it is placed (empty for an object
    // without vertices); the same for the ground.
    const Sphere& SphereOf(std::size_t index) const { return spheres_.at(index); }
    const Sphere& GroundSphere() const { return groundSphere_; }
    // Sets `out` to the objects whose sphere comes within `distance` of `eye` (SpatialGrid::Near
    // over the objects' spheres, made again on the first call after they changed), in ascending
    // order: what is near costs, not how many objects there are.
    void ObjectsNear(const Vec3& eye, double distance, std::vector<uint32_t>& out) const;
    const RWXObject* Ground() const { return ground_.get(); }
    const RWXObject* Skybox() const { return skybox_.get(); }
    // The transparent pass of the whole scene: every object's transparent triangles, objects in
    // order, then the ground's. Made on the first call after the models or the ground changed (a
    // world of a million objects never needs it whole: see TranslucentOf).
    const TranslucentList& Translucent() const;
    // Replaces `out` with the transparent pass of the objects `objects` names (indices below
    // ObjectCount(), ascending; others are passed over), then of the ground when `ground` is true:
    // the records Translucent() holds for them, in the same order.
    void TranslucentOf(std::span<const uint32_t> objects, bool ground, TranslucentList& out) const;
    // The skybox's transparent pass; its depths are for the drawing side to set.
    const TranslucentList& SkyboxTranslucent() const { return skyboxTranslucent_; }
    TranslucentList& SkyboxTranslucent() { return skyboxTranslucent_; }

private:
    void RebuildSkyboxTranslucent();
    void IndexObjectsByModel();

    SceneObjects read_;  // its objects are the scene's objects
    ObjectLooks looks_;  // of read_.objects
    // While models are still to come: the empty model standing in for them, and how the looks are
    // made once the last one is in (SetModels).
    std::shared_ptr<const RWXObject> standIn_;
    ErrorLog* looksLog_ = nullptr;
    LookOptions lookOptions_;
    std::vector<Sphere> spheres_;  // one per object
    // The objects of each model, model by model (built on the first SetModels): those of model m
    // are byModel_[modelStarts_[m] .. modelStarts_[m + 1]).
    std::vector<uint32_t> modelStarts_;
    std::vector<uint32_t> byModel_;
    // The grid over spheres_, made when first asked after they changed.
    mutable SpatialGrid grid_;
    mutable bool gridStale_ = true;
    std::unique_ptr<RWXObject> ground_;
    Sphere groundSphere_;
    std::unique_ptr<RWXObject> skybox_;
    // The whole scene's transparent pass, made when first asked after the models or ground changed.
    mutable TranslucentList translucent_;
    mutable bool translucentStale_ = true;
    TranslucentList skyboxTranslucent_;
};

// Where the world's ground and skybox are placed.
inline constexpr std::array<double, 3> kGroundOffset{0, 0, 0};
inline constexpr std::array<double, 3> kSkyboxOffset{0, -0.1, 0};

// Reads the script of a ground or skybox. A path whose file-name part is only ".rwx" (the world
// names no model) gives null without reading or logging anything; any other path is read, a
// relative one from options.baseFolder (an unreadable one writes the reader's error line and
// gives an empty object, which the scene drops).
std::unique_ptr<RWXObject> ReadWorldModel(const std::string& path, const std::array<double, 3>& offset, ErrorLog& log,
                                          const ReadOptions& options);

// The ground and skybox a world look replaced: what SetGround and SetSkybox handed back.
struct ReplacedWorldModels {
    std::unique_ptr<RWXObject> ground;
    std::unique_ptr<RWXObject> skybox;
};
// Gives `scene` the ground and skybox of `look` (ReadWorldModel of its paths).
[[nodiscard]] ReplacedWorldModels SetWorldModels(TObjectMap& scene, const WorldLook& look, ErrorLog& log,
                                                 const ReadOptions& options);

// Every file reading the scene opened (RWXObject::FilesRead): those of its objects' models, then
// of the ground and the skybox, each path once.
std::vector<std::string> SceneFilesRead(const TObjectMap& scene);

}  // namespace pelorus
