#include "scene/objectmap.h"

#include "platform/paths.h"
#include "reader/scenefile.h"

namespace pelorus {

namespace {

// The object's bounding sphere where it is placed.
Sphere PlacedSphereOf(const RWXObject& object) {
    Sphere sphere = BoundingSphereOf(object);
    const auto& offset = object.Offset();
    sphere.centre = {sphere.centre.x + offset[0], sphere.centre.y + offset[1], sphere.centre.z + offset[2]};
    return sphere;
}

}  // namespace

TObjectMap::TObjectMap() = default;

TObjectMap::TObjectMap(std::vector<std::unique_ptr<RWXObject>> objects) {
    objects_.reserve(objects.size());
    for (auto& o : objects)
        if (o) objects_.push_back(std::move(o));
    spheres_.reserve(objects_.size());
    for (const auto& o : objects_) spheres_.push_back(PlacedSphereOf(*o));
    RebuildTranslucent();
}

std::unique_ptr<TObjectMap> TObjectMap::FromFile(std::string_view path, ErrorLog& log, const ReadOptions& options) {
    return std::make_unique<TObjectMap>(LoadSceneObjects(path, log, options));
}

TObjectMap::~TObjectMap() {
    // No record may outlive what it points into.
    translucent_ = {};
    skyboxTranslucent_ = {};
}

std::unique_ptr<RWXObject> TObjectMap::SetGround(std::unique_ptr<RWXObject> ground) {
    translucent_ = {};
    std::unique_ptr<RWXObject> previous = std::move(ground_);
    if (ground && ground->CountTriangles() > 0) ground_ = std::move(ground);
    groundSphere_ = ground_ ? PlacedSphereOf(*ground_) : Sphere{};
    RebuildTranslucent();
    return previous;
}

std::unique_ptr<RWXObject> TObjectMap::SetSkybox(std::unique_ptr<RWXObject> skybox) {
    skyboxTranslucent_ = {};
    std::unique_ptr<RWXObject> previous = std::move(skybox_);
    if (skybox && skybox->CountTriangles() > 0) skybox_ = std::move(skybox);
    RebuildSkyboxTranslucent();
    return previous;
}

void TObjectMap::RebuildTranslucent() {
    translucent_ = {};
    for (std::size_t i = 0; i < objects_.size(); ++i)
        AppendTranslucent(translucent_, *objects_[i], false, static_cast<int32_t>(i));
    if (ground_) AppendTranslucent(translucent_, *ground_, true);
}

void TObjectMap::RebuildSkyboxTranslucent() {
    skyboxTranslucent_ = {};
    if (skybox_) AppendTranslucent(skyboxTranslucent_, *skybox_, false);
}

std::unique_ptr<RWXObject> ReadWorldModel(const std::string& path, const std::array<double, 3>& offset, ErrorLog& log,
                                          const ReadOptions& options) {
    if (FileNamePart(path) == ".rwx") return nullptr;
    return std::make_unique<RWXObject>(path, offset[0], offset[1], offset[2], log, options);
}

ReplacedWorldModels SetWorldModels(TObjectMap& scene, const WorldLook& look, ErrorLog& log,
                                   const ReadOptions& options) {
    ReplacedWorldModels replaced;
    replaced.ground = scene.SetGround(ReadWorldModel(look.groundPath, kGroundOffset, log, options));
    replaced.skybox = scene.SetSkybox(ReadWorldModel(look.skyboxPath, kSkyboxOffset, log, options));
    return replaced;
}

}  // namespace pelorus
