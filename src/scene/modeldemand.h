#pragma once
// Which models of a world the eye needs when models are read on demand: those of the objects
// within the draw distance, nearest first, each once; and which of the models held may go because
// no object near enough uses them. ModelDemand is plain data over where the objects stand;
// ModelFeed joins it to the threads of a ModelSupply for whoever shows the world.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/errorlog.h"
#include "reader/rwxobject.h"
#include "reader/sceneobjects.h"
#include "scene/culling.h"
#include "scene/framing.h"
#include "scene/objectmap.h"
#include "scene/spatialgrid.h"
#include "world/modelsupply.h"

namespace pelorus {

// How far a model is taken to reach from where its object stands before any model is known, in
// model units (20 m); models that reach farther raise it as they come.
inline constexpr double kDemandMargin = 2.0;
// Models stay while an object within this many draw distances uses them.
inline constexpr double kKeepFactor = 1.5;
// What the models held may take (as ModelBytes counts) before those no longer used are let go.
inline constexpr uint64_t kDefaultModelBudgetBytes = uint64_t{256} << 20;

// About how many bytes `model` takes in memory, and as much again on the graphics side: its
// vertices, triangles and texture images.
uint64_t ModelBytes(const RWXObject& model);
// How far the farthest point of `model` lies from its origin (0 for a model without vertices).
double ModelReach(const RWXObject& model);

class ModelDemand {
public:
    // Over `objects` (model indices below `modelCount`; objects of other types or without a
    // model, and indices beyond, are passed over). The objects must not change while it is used.
    ModelDemand(std::span<const PlacedObject> objects, std::size_t modelCount);
    ModelDemand(const ModelDemand&) = delete;
    ModelDemand& operator=(const ModelDemand&) = delete;

    // The models not held whose objects stand within `distance` + Reach() of `eye` (model units;
    // a distance that is not finite or not above 0 takes every object), each once, the one with
    // the nearest object first (equally near ones by index). Held models with an object within
    // kKeepFactor x `distance` + Reach() count as used now.
    std::vector<uint32_t> Wanted(const Vec3& eye, double distance);
    // Model `m` is held from now on (and used now), taking `bytes` and reaching `reach` from
    // its origin (see ModelReach; the objects' largest scale is applied). Out of range: nothing.
    void Arrived(uint32_t m, uint64_t bytes, double reach);
    // The held models to let go so that those held take at most `budgetBytes`: among those not
    // used at the last Wanted, the longest unused first (none after a Wanted without a draw
    // distance, which uses them all). They count as not held from now on.
    std::vector<uint32_t> ToDrop(uint64_t budgetBytes);

    // max(kDemandMargin, the largest reach of a model that arrived).
    double Reach() const { return reach_; }
    bool Held(uint32_t m) const { return m < held_.size() && held_[m]; }
    uint64_t HeldBytes() const { return heldBytes_; }
    std::size_t HeldCount() const { return heldCount_; }
    // The box around where the objects stand, grown by Reach(): the world's extent before its
    // models are known. Empty without objects.
    Bounds Extent() const;

private:
    std::vector<Sphere> points_;  // one per object: where it stands (empty when passed over)
    std::vector<uint32_t> modelOf_;
    SpatialGrid grid_;
    std::vector<uint8_t> held_;
    std::vector<uint64_t> bytes_;
    std::vector<uint64_t> lastUse_;
    uint64_t tick_ = 0;
    uint64_t heldBytes_ = 0;
    std::size_t heldCount_ = 0;
    bool wantedAll_ = false;
    double reach_ = kDemandMargin;
    double largestScale_ = 1;
    Bounds positions_;
    std::vector<uint32_t> near_;   // scratch
    std::vector<double> nearest_;  // scratch, one per model
};

// The models of a world read on demand, for whoever shows it: asks the supply for what the eye
// needs, takes in what was read, and says which models to let go. Used on one thread.
class ModelFeed {
public:
    // `objects` as ModelDemand takes them; the supply reads the models they name.
    ModelFeed(std::unique_ptr<ModelSupply> supply, std::span<const PlacedObject> objects, std::size_t modelCount);

    // Asks for the models the eye at `eye` needs with `distance` (see ModelDemand::Wanted).
    void Look(const Vec3& eye, double distance);
    // The models read since the last call (see ModelSupply::Take), now counted as held.
    ModelSupply::Delivered Take(ErrorLog& log);
    // The models to let go to stay within `budgetBytes` (see ModelDemand::ToDrop).
    std::vector<uint32_t> ToDrop(uint64_t budgetBytes) { return demand_.ToDrop(budgetBytes); }
    // True while anything asked for has not been taken.
    bool Busy() const { return supply_->Busy(); }
    // Waits until there is something to take or nothing asked is left (see ModelSupply::Wait).
    void Wait() { supply_->Wait(); }
    void WaitUntilSettled() { supply_->WaitUntilSettled(); }
    const ModelDemand& Demand() const { return demand_; }
    const ModelSupply& Supply() const { return *supply_; }

private:
    std::unique_ptr<ModelSupply> supply_;
    ModelDemand demand_;
};

// Reads, through `feed`, the models `eye` needs with `distance` and gives them to `scene` (whose
// objects the feed was made over), waiting for the last; their error lines go to `log` in the
// order of the models' indices (the order they were first named), whatever the threads did.
void FeedAndWait(ModelFeed& feed, TObjectMap& scene, const Vec3& eye, double distance, ErrorLog& log);

}  // namespace pelorus
