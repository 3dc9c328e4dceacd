#include "scene/objectmap.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/hugepages.h"
#include "platform/parallel.h"
#include "platform/paths.h"
#include "reader/scenefile.h"

namespace pelorus {

namespace {

// The object's bounding sphere where it is placed.
Sphere PlacedSphereOf(const RWXObject& object) {
    return PlacedSphere(BoundingSphereOf(object), PlacedAt(object.Offset()));
}

SceneObjects OwnObjects(std::vector<std::unique_ptr<RWXObject>> objects) {
    SceneObjects read;
    read.objects.reserve(objects.size());
    for (auto& o : objects) {
        if (!o) continue;
        PlacedObject placed;
        placed.placement = PlacedAt(o->Offset());
        const std::string path = o->Path();
        read.SetText(placed, path);
        placed.model = read.AddModel(std::shared_ptr<const RWXObject>(std::move(o)), path);
        read.objects.push_back(placed);
    }
    return read;
}

// Objects placed on one thread before more are worth starting.
constexpr std::size_t kObjectsPerPart = std::size_t{1} << 16;

// The sphere of each object where it is placed. A model's sphere is found once, however many
// objects share it; a large world's objects are placed on every core.
std::vector<Sphere> PlacedSpheres(const SceneObjects& read) {
    std::vector<Sphere> modelSpheres(read.models.size());
    for (std::size_t m = 0; m < read.models.size(); ++m)
        if (read.models[m]) modelSpheres[m] = BoundingSphereOf(*read.models[m]);
    std::vector<Sphere> spheres;
    spheres.reserve(read.objects.size());
    AdviseHugePages(spheres.data(), spheres.capacity() * sizeof(Sphere));
    spheres.resize(read.objects.size());
    ForEachPart(spheres.size(), kObjectsPerPart, [&](std::size_t, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const PlacedObject& o = read.objects[i];
            if (o.model < modelSpheres.size()) spheres[i] = PlacedSphere(modelSpheres[o.model], o.placement);
        }
    });
    return spheres;
}

}  // namespace

TObjectMap::TObjectMap() = default;

TObjectMap::TObjectMap(SceneObjects objects, ErrorLog* log, const LookOptions& looks) : read_(std::move(objects)) {
    // Models still to come show nothing meanwhile.
    std::shared_ptr<const RWXObject> coming;
    for (auto& model : read_.models) {
        if (model) continue;
        if (!coming) {
            ErrorLog none;
            coming = RWXObject::FromText("", 0.0, 0.0, 0.0, none);
        }
        model = coming;
    }
    // Only what shows a model is the scene's; the rest (other types, models not found) goes.
    std::erase_if(read_.objects, [&](const PlacedObject& o) { return o.type != 0 || !read_.ModelOf(o); });
    if (read_.objects.capacity() - read_.objects.size() > read_.objects.size() / 4) read_.objects.shrink_to_fit();
    if (coming) {
        // The looks of actions depend on the models' faces: they are made once every model is in.
        standIn_ = coming;
        looksLog_ = log;
        lookOptions_ = looks;
    } else {
        looks_ = CarryOutActions(read_, log, looks);
    }
    spheres_ = PlacedSpheres(read_);
}

std::vector<std::shared_ptr<const RWXObject>> TObjectMap::SetModels(
    const std::vector<std::pair<uint32_t, std::shared_ptr<const RWXObject>>>& models) {
    std::vector<std::shared_ptr<const RWXObject>> replaced;
    if (models.empty()) return replaced;
    IndexObjectsByModel();
    // No record may outlive the model it points into; frames make theirs from what they draw.
    translucent_ = {};
    translucentStale_ = true;
    for (const auto& [index, model] : models) {
        if (index >= read_.models.size() || !model) continue;
        replaced.push_back(std::move(read_.models[index]));
        read_.models[index] = model;
        const Sphere sphere = BoundingSphereOf(*model);
        for (uint32_t k = modelStarts_[index]; k < modelStarts_[index + 1]; ++k)
            spheres_[byModel_[k]] = PlacedSphere(sphere, read_.objects[byModel_[k]].placement);
    }
    if (standIn_ && std::none_of(read_.models.begin(), read_.models.end(),
                                 [&](const std::shared_ptr<const RWXObject>& m) { return m == standIn_; })) {
        standIn_.reset();
        looks_ = CarryOutActions(read_, looksLog_, lookOptions_);
        spheres_ = PlacedSpheres(read_);  // actions may have scaled objects
    }
    gridStale_ = true;
    return replaced;
}

void TObjectMap::IndexObjectsByModel() {
    if (modelStarts_.size() == read_.models.size() + 1) return;
    modelStarts_.assign(read_.models.size() + 1, 0);
    for (const PlacedObject& o : read_.objects) ++modelStarts_[o.model + 1];
    for (std::size_t m = 1; m < modelStarts_.size(); ++m) modelStarts_[m] += modelStarts_[m - 1];
    byModel_.resize(read_.objects.size());
    std::vector<uint32_t> next(modelStarts_.begin(), modelStarts_.end() - 1);
    for (std::size_t i = 0; i < read_.objects.size(); ++i)
        byModel_[next[read_.objects[i].model]++] = static_cast<uint32_t>(i);
}

std::vector<std::shared_ptr<const RWXObject>> TObjectMap::DropModels(const std::vector<uint32_t>& indices) {
    std::vector<std::shared_ptr<const RWXObject>> dropped;
    if (indices.empty()) return dropped;
    IndexObjectsByModel();
    if (!standIn_) {
        ErrorLog none;
        standIn_ = RWXObject::FromText("", 0.0, 0.0, 0.0, none);
    }
    translucent_ = {};
    for (const uint32_t index : indices) {
        if (index >= read_.models.size() || !read_.models[index] || read_.models[index] == standIn_) continue;
        dropped.push_back(std::move(read_.models[index]));
        read_.models[index] = standIn_;
        for (uint32_t k = modelStarts_[index]; k < modelStarts_[index + 1]; ++k) spheres_[byModel_[k]] = Sphere{};
    }
    translucentStale_ = true;
    gridStale_ = true;
    return dropped;
}

void TObjectMap::ObjectsNear(const Vec3& eye, double distance, std::vector<uint32_t>& out) const {
    if (gridStale_) {
        grid_ = SpatialGrid(spheres_);
        gridStale_ = false;
    }
    grid_.Near(eye, distance, out);
}

TObjectMap::TObjectMap(std::vector<std::unique_ptr<RWXObject>> objects) : TObjectMap(OwnObjects(std::move(objects))) {}

std::unique_ptr<TObjectMap> TObjectMap::FromFile(std::string_view path, ErrorLog& log,
                                                 const WorldReadOptions& options) {
    return std::make_unique<TObjectMap>(LoadShownObjects(path, log, options), &log);
}

std::unique_ptr<TObjectMap> TObjectMap::FromFile(std::string_view path, ErrorLog& log, const ReadOptions& options) {
    WorldReadOptions world;
    world.read = options;
    return FromFile(path, log, world);
}

TObjectMap::~TObjectMap() {
    // No record may outlive what it points into.
    translucent_ = {};
    skyboxTranslucent_ = {};
}

std::unique_ptr<RWXObject> TObjectMap::SetGround(std::unique_ptr<RWXObject> ground) {
    translucent_ = {};
    translucentStale_ = true;
    std::unique_ptr<RWXObject> previous = std::move(ground_);
    if (ground && ground->CountTriangles() > 0) ground_ = std::move(ground);
    groundSphere_ = ground_ ? PlacedSphereOf(*ground_) : Sphere{};
    translucentStale_ = true;
    return previous;
}

std::unique_ptr<RWXObject> TObjectMap::SetSkybox(std::unique_ptr<RWXObject> skybox) {
    skyboxTranslucent_ = {};
    std::unique_ptr<RWXObject> previous = std::move(skybox_);
    if (skybox && skybox->CountTriangles() > 0) skybox_ = std::move(skybox);
    RebuildSkyboxTranslucent();
    return previous;
}

const TranslucentList& TObjectMap::Translucent() const {
    if (translucentStale_) {
        translucent_ = {};
        for (std::size_t i = 0; i < read_.objects.size(); ++i)
            AppendTranslucent(translucent_, Object(i), read_.objects[i].placement, false, static_cast<int32_t>(i),
                              looks_.Of(i));
        if (ground_) AppendTranslucent(translucent_, *ground_, PlacedAt(ground_->Offset()), true);
        translucentStale_ = false;
    }
    return translucent_;
}

void TObjectMap::TranslucentOf(std::span<const uint32_t> objects, bool ground, TranslucentList& out) const {
    out.sources.clear();
    out.firstRecord.clear();
    out.sceneIndex.clear();
    out.records.clear();
    for (const uint32_t i : objects)
        if (i < read_.objects.size())
            AppendTranslucent(out, Object(i), read_.objects[i].placement, false, static_cast<int32_t>(i), looks_.Of(i));
    if (ground && ground_) AppendTranslucent(out, *ground_, PlacedAt(ground_->Offset()), true);
}

void TObjectMap::RebuildSkyboxTranslucent() {
    skyboxTranslucent_ = {};
    if (skybox_) AppendTranslucent(skyboxTranslucent_, *skybox_, PlacedAt(skybox_->Offset()), false);
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
