#include "scene/objectmap.h"

#include <unordered_map>
#include <unordered_set>

#include "platform/paths.h"
#include "reader/scenefile.h"

namespace pelorus {

namespace {

Sphere Moved(Sphere sphere, const std::array<double, 3>& offset) {
    sphere.centre = {sphere.centre.x + offset[0], sphere.centre.y + offset[1], sphere.centre.z + offset[2]};
    return sphere;
}

// The object's bounding sphere where it is placed.
Sphere PlacedSphereOf(const RWXObject& object) {
    return Moved(BoundingSphereOf(object), object.Offset());
}

}  // namespace

TObjectMap::TObjectMap() = default;

TObjectMap::TObjectMap(std::vector<PlacedObject> objects) {
    objects_.reserve(objects.size());
    for (auto& o : objects)
        if (o.model) objects_.push_back(std::move(o));
    // A model's sphere is found once, however many objects share it.
    std::unordered_map<const RWXObject*, Sphere> spheres;
    spheres_.reserve(objects_.size());
    for (const PlacedObject& o : objects_) {
        auto [it, added] = spheres.try_emplace(o.model.get());
        if (added) it->second = BoundingSphereOf(*o.model);
        spheres_.push_back(Moved(it->second, o.offset));
    }
    RebuildTranslucent();
}

namespace {

std::vector<PlacedObject> PlacedWhereRead(std::vector<std::unique_ptr<RWXObject>> objects) {
    std::vector<PlacedObject> placed;
    placed.reserve(objects.size());
    for (auto& o : objects) {
        if (!o) continue;
        const std::array<double, 3> offset = o->Offset();
        std::string path = o->Path();
        placed.push_back({std::shared_ptr<const RWXObject>(std::move(o)), offset, std::move(path)});
    }
    return placed;
}

}  // namespace

TObjectMap::TObjectMap(std::vector<std::unique_ptr<RWXObject>> objects)
    : TObjectMap(PlacedWhereRead(std::move(objects))) {}

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
        AppendTranslucent(translucent_, *objects_[i].model, objects_[i].offset, false, static_cast<int32_t>(i));
    if (ground_) AppendTranslucent(translucent_, *ground_, ground_->Offset(), true);
}

void TObjectMap::RebuildSkyboxTranslucent() {
    skyboxTranslucent_ = {};
    if (skybox_) AppendTranslucent(skyboxTranslucent_, *skybox_, skybox_->Offset(), false);
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

std::vector<std::string> SceneFilesRead(const TObjectMap& scene) {
    std::vector<std::string> files;
    std::unordered_set<std::string> seen;
    std::unordered_set<const RWXObject*> models;
    auto add = [&](const RWXObject* model) {
        if (!model || !models.insert(model).second) return;
        for (std::string& file : model->FilesRead())
            if (seen.insert(file).second) files.push_back(std::move(file));
    };
    for (std::size_t i = 0; i < scene.ObjectCount(); ++i) add(&scene.Object(i));
    add(scene.Ground());
    add(scene.Skybox());
    return files;
}

}  // namespace pelorus
