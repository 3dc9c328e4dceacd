// Models read on demand: which models an eye wants (each once, nearest first, none held), which
// may go when the budget is passed, the supply reading only what is asked and each model once
// while it is wanted, and a dump loaded so handing its models over only as the eye needs them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "dumpgen.h"
#include "scene/modeldemand.h"
#include "scene/objectmap.h"
#include "testutil.h"
#include "world/worldload.h"
#include "world/worldloader.h"

namespace pelorus {
namespace {

using test::TempDir;

PlacedObject At(double x, double z, uint32_t model, int32_t type = 0) {
    PlacedObject o;
    o.placement.position = {x, 0, z};
    o.model = model;
    o.type = type;
    return o;
}

// Objects along the x axis, one every 10 units from 0 to 90, showing model i % 5 (model 0 at 0
// and 50, model 4 at 40 and 90), and one of another type at 5 that names model 4.
std::vector<PlacedObject> Row() {
    std::vector<PlacedObject> objects;
    for (int i = 0; i < 10; ++i) objects.push_back(At(10.0 * i, 0, static_cast<uint32_t>(i % 5)));
    objects.push_back(At(5, 0, 4, 2));
    objects.push_back(At(7, 0, PlacedObject::kNoModel));
    return objects;
}

TEST(ModelDemand, WantsTheModelsOfObjectsWithinReachNearestFirstEachOnce) {
    const std::vector<PlacedObject> objects = Row();
    ModelDemand demand(objects, 5);
    // From x = 43 with 20 units and the 2-unit margin: objects at 30 (model 3), 40 (4), 50 (0)
    // and 60 (1) are within 22; 20 (model 2) is not. Model 4 comes first (3 away), then 0 (7),
    // then 3 (13, before 1 at 17). Objects of other types or without a model want nothing.
    EXPECT_EQ(demand.Wanted({43, 0, 0}, 20), (std::vector<uint32_t>{4, 0, 3, 1}));
    // Height counts too: 3D distance.
    EXPECT_EQ(demand.Wanted({0, 25, 0}, 20), (std::vector<uint32_t>{}));
    // Equally near: by index. At x = 25 objects at 20 (model 2) and 30 (model 3) are 5 away.
    EXPECT_EQ(demand.Wanted({25, 0, 0}, 4), (std::vector<uint32_t>{2, 3}));
    // Without a draw distance every model is wanted, nearest first.
    for (const double all : {0.0, -1.0, kDrawEverything})
        EXPECT_EQ(demand.Wanted({95, 0, 0}, all), (std::vector<uint32_t>{4, 3, 2, 1, 0})) << all;
}

TEST(ModelDemand, HeldModelsAreNotWantedAgainAndLargeModelsWidenTheReach) {
    const std::vector<PlacedObject> objects = Row();
    ModelDemand demand(objects, 5);
    demand.Arrived(4, 100, 0.5);
    EXPECT_TRUE(demand.Held(4));
    EXPECT_EQ(demand.Wanted({43, 0, 0}, 20), (std::vector<uint32_t>{0, 3, 1}));
    EXPECT_DOUBLE_EQ(demand.Reach(), kDemandMargin);
    // A model reaching 6 units: objects 26 units away may show part of theirs now (model 2 at 20).
    demand.Arrived(0, 100, 6);
    EXPECT_DOUBLE_EQ(demand.Reach(), 6);
    EXPECT_EQ(demand.Wanted({43, 0, 0}, 20), (std::vector<uint32_t>{3, 1, 2}));
    // Scaled objects scale the reach.
    std::vector<PlacedObject> scaled = Row();
    scaled[3].placement.scale = {1, 3, 1};
    ModelDemand big(scaled, 5);
    big.Arrived(1, 1, 4);
    EXPECT_DOUBLE_EQ(big.Reach(), 12);
    // Indices out of range are passed over.
    demand.Arrived(99, 5, 1000);
    EXPECT_DOUBLE_EQ(demand.Reach(), 6);
    EXPECT_EQ(demand.HeldCount(), 2u);
    EXPECT_EQ(demand.HeldBytes(), 200u);
}

TEST(ModelDemand, OnlyModelsNoObjectNearUsesAreLetGoLongestUnusedFirstAndOnlyPastTheBudget) {
    const std::vector<PlacedObject> objects = Row();
    ModelDemand demand(objects, 5);
    for (uint32_t m = 0; m < 5; ++m) demand.Arrived(m, 100, 0);
    // Within budget nothing goes.
    (void)demand.Wanted({0, 0, 0}, 4);
    EXPECT_TRUE(demand.ToDrop(500).empty());
    // With 4 units a model stays while an object within 1.5 x 4 + 2 = 8 shows it.
    (void)demand.Wanted({80, 0, 0}, 4);  // uses model 3 (at 80)
    (void)demand.Wanted({90, 0, 0}, 4);  // uses model 4 (at 90)
    // Down to 200 bytes: three go, the longest unused first: 1 and 2 (unused since they came,
    // by index), then 0 (used from x = 0); 3 was used later and stays, 4 is in use.
    EXPECT_EQ(demand.ToDrop(200), (std::vector<uint32_t>{1, 2, 0}));
    EXPECT_EQ(demand.HeldBytes(), 200u);
    EXPECT_FALSE(demand.Held(0));
    // Models in use stay whatever the budget; the one unused goes.
    EXPECT_EQ(demand.ToDrop(0), (std::vector<uint32_t>{3}));
    EXPECT_TRUE(demand.Held(4));
    // Kept within 1.5 x the draw distance, not only within it: from 97 the object at 90 is 7
    // away, beyond 4 + 2 but within 8.
    (void)demand.Wanted({97, 0, 0}, 4);
    EXPECT_TRUE(demand.ToDrop(0).empty());
    // A model let go is wanted again when the eye comes back.
    EXPECT_EQ(demand.Wanted({0, 0, 0}, 4), (std::vector<uint32_t>{0}));
    // Without a draw distance every model is in use: none goes, however far the eye.
    for (uint32_t m = 0; m < 5; ++m) demand.Arrived(m, 100, 0);
    EXPECT_TRUE(demand.Wanted({5000, 0, 0}, kDrawEverything).empty());
    EXPECT_TRUE(demand.ToDrop(0).empty());
    EXPECT_EQ(demand.HeldCount(), 5u);
}

TEST(ModelDemand, TheExtentHoldsEveryPositionGrownByTheReach) {
    const std::vector<PlacedObject> objects = Row();
    ModelDemand demand(objects, 5);
    const Bounds extent = demand.Extent();
    EXPECT_DOUBLE_EQ(extent.Min().x, -kDemandMargin);
    EXPECT_DOUBLE_EQ(extent.Max().x, 90 + kDemandMargin);
    EXPECT_TRUE(ModelDemand(std::span<const PlacedObject>(), 0).Extent().Empty());
}

TEST(TObjectMap, ModelsComingOneByOneGiveTheTransparentListOfAllAtOnceAndLettingGoTakesTheirsAway) {
    ErrorLog log;
    const std::shared_ptr<const RWXObject> clear = test::ReadScript(
        "ClumpBegin\nOpacity 0.5\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nVertex 1 1 0\n"
        "Triangle 1 2 3\nTriangle 2 4 3\nClumpEnd\n",
        log);
    const std::shared_ptr<const RWXObject> solid =
        test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n", log);
    const std::string ground =
        "ClumpBegin\nOpacity 0.5\nVertex 0 0 0\nVertex 9 0 0\nVertex 0 0 9\nTriangle 1 2 3\nClumpEnd\n";
    auto make = [&](bool coming) {
        SceneObjects read;
        const uint32_t a = read.AddModel(coming ? nullptr : clear, "a");
        const uint32_t b = read.AddModel(coming ? nullptr : solid, "b");
        const uint32_t c = read.AddModel(coming ? nullptr : clear, "c");
        for (int i = 0; i < 6; ++i) {
            PlacedObject o = At(i, 0, i % 3 == 0 ? a : i % 3 == 1 ? b : c);
            read.SetText(o, "x");
            read.objects.push_back(o);
        }
        auto scene = std::make_unique<TObjectMap>(std::move(read));
        (void)scene->SetGround(test::ReadScript(ground, log));
        return scene;
    };
    // Which object each record comes from (-1 the ground), and which triangle, in any order.
    auto records = [](const TObjectMap& scene) {
        std::multiset<std::pair<int32_t, int32_t>> out;
        const TranslucentList& list = scene.Translucent();
        for (const TTranslucentTriangle& r : list.records)
            out.insert({list.sceneIndex.at(static_cast<std::size_t>(r.source)), r.triangle});
        return out;
    };
    const auto whole = make(false);
    const auto coming = make(true);
    EXPECT_EQ(records(*coming).size(), 1u);  // the ground's
    (void)coming->SetModels({{2, clear}});
    (void)coming->SetModels({{1, solid}});
    (void)coming->SetModels({{0, clear}});
    EXPECT_EQ(records(*coming), records(*whole));
    EXPECT_EQ(records(*whole).size(), 9u);  // four clear objects of two triangles, and the ground
    // Letting a model go takes its records with it; it may come again.
    (void)coming->DropModels({0});
    EXPECT_EQ(records(*coming).size(), 5u);
    (void)coming->SetModels({{0, clear}});
    EXPECT_EQ(records(*coming), records(*whole));
    // The same model given twice at once, or one replacing a model held: made again, not doubled.
    (void)coming->SetModels({{2, clear}, {2, clear}});
    EXPECT_EQ(records(*coming), records(*whole));
}

// A world of `models` models named by `objects` objects on a grid, 0.5 units apart.
struct GeneratedWorld {
    TempDir dir;
    std::string dump;
    explicit GeneratedWorld(int models = 12, int objects = 400, int missing = 0, double spacing = 0.5) {
        EXPECT_TRUE(dumpgen::WriteObjectPath(dir.Join("op"), {.models = models, .textures = 0}));
        const dumpgen::GeneratedDump made = dumpgen::MakeDump({.objects = objects,
                                                               .models = models,
                                                               .missingModels = missing,
                                                               .extras = false,
                                                               .spacing = spacing,
                                                               .keepExpected = false});
        dump = dir.Join("w.txt");
        EXPECT_TRUE(dumpgen::WriteFile(dump, made.text));
    }
    WorldReadOptions Options(std::unique_ptr<ModelSupply>* supply, unsigned threads = 2) const {
        WorldReadOptions options;
        options.read = test::NoTextures();
        options.objectPath = dir.Join("op");
        options.modelThreads = threads;
        options.modelsOnDemand = supply;
        return options;
    }
};

TEST(ModelSupply, ReadsOnlyWhatIsAskedEachOnceWhileWantedAndAgainOnceLetGo) {
    GeneratedWorld world;
    std::unique_ptr<ModelSupply> supply;
    ErrorLog log;
    const SceneObjects scene = LoadShownObjects(world.dump, log, world.Options(&supply));
    ASSERT_TRUE(supply);
    ASSERT_EQ(supply->Size(), 12u);
    EXPECT_EQ(supply->Reads(), 0u);
    for (const auto& m : scene.models) EXPECT_EQ(m, nullptr);

    // Asked again and again before taking, with repeats and an index out of range: each read
    // once, and only what was asked.
    for (int i = 0; i < 5; ++i) supply->Ask({3, 1, 3, 99});
    std::vector<uint32_t> indices;
    while (supply->Busy()) {
        supply->Wait();
        for (const auto& [index, model] : supply->Take(log)) {
            ASSERT_NE(model, nullptr);
            EXPECT_GT(model->CountTriangles(), 0);
            indices.push_back(index);
        }
    }
    std::sort(indices.begin(), indices.end());
    EXPECT_EQ(indices, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(supply->Reads(), 2u);
    // Asked for once taken (let go meanwhile): read again.
    supply->Ask({3});
    while (supply->Busy()) {
        supply->Wait();
        for (const auto& [index, model] : supply->Take(log)) EXPECT_EQ(index, 3u);
    }
    EXPECT_EQ(supply->Reads(), 3u);
    // Asking for nothing leaves the supply idle once the reads begun have ended, each model read
    // at most once.
    supply->Ask({5, 6, 7, 8});
    supply->Ask({});
    supply->WaitUntilSettled();
    (void)supply->Take(log);
    EXPECT_FALSE(supply->Busy());
    EXPECT_LE(supply->Reads(), 3u + 4u);
}

TEST(ModelSupply, AModelsErrorLinesComeOnceHoweverOftenItIsRead) {
    TempDir dir;
    dir.Write("op/rwx/noisy.rwx",
              "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nOops\nClumpEnd\n");
    const std::string dump = dir.Write("w.txt", "propdump version 3\n1 2 0 0 0 0 0 0 5 0 0 noisy\n");
    std::unique_ptr<ModelSupply> supply;
    WorldReadOptions options;
    options.read = test::NoTextures();
    options.objectPath = dir.Join("op");
    options.modelsOnDemand = &supply;
    ErrorLog log;
    (void)LoadShownObjects(dump, log, options);
    ASSERT_TRUE(supply);
    EXPECT_EQ(log.LineCount(), 0u);
    for (int round = 0; round < 3; ++round) {
        supply->Ask({0});
        while (supply->Busy()) {
            supply->Wait();
            (void)supply->Take(log);
        }
    }
    EXPECT_EQ(supply->Reads(), 3u);
    ASSERT_EQ(log.LineCount(), 1u);
    EXPECT_NE(log.Line(0).find("Oops"), std::string::npos) << log.Line(0);
}

TEST(LoadDump, OnDemandNamesTheModelsNotFoundOnceInOrderAndReadsNothingElse) {
    GeneratedWorld world(6, 200, 3);
    ErrorLog eager;
    const SceneObjects all = LoadShownObjects(world.dump, eager, world.Options(nullptr));
    std::unique_ptr<ModelSupply> supply;
    ErrorLog lazy;
    const SceneObjects placed = LoadShownObjects(world.dump, lazy, world.Options(&supply));
    ASSERT_TRUE(supply);
    // The same objects and models; the lines of names not found as read whole (these models
    // write none of their own).
    EXPECT_EQ(placed.modelNames, all.modelNames);
    EXPECT_EQ(placed.missingModels, all.missingModels);
    EXPECT_EQ(lazy.Lines(), eager.Lines());
    EXPECT_EQ(lazy.LineCount(), 3u);
    ASSERT_EQ(placed.objects.size(), all.objects.size());
    for (std::size_t i = 0; i < placed.objects.size(); ++i) EXPECT_EQ(placed.objects[i].model, all.objects[i].model);
    EXPECT_EQ(supply->Reads(), 0u);

    // A script is read whole: no supply.
    std::unique_ptr<ModelSupply> none;
    const std::string script = world.dir.Write("tri.rwx",
                                               "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
                                               "Triangle 1 2 3\nClumpEnd\n");
    const SceneObjects one = LoadShownObjects(script, lazy, world.Options(&none));
    EXPECT_EQ(none, nullptr);
    ASSERT_EQ(one.models.size(), 1u);
    EXPECT_NE(one.models[0], nullptr);
}

TEST(WorldLoader, OnDemandHandsTheSupplyOverWithTheObjectsAndEnds) {
    GeneratedWorld world;
    WorldLoader loader(world.dump, world.Options(nullptr), true);
    std::optional<SceneObjects> objects;
    std::unique_ptr<ModelSupply> supply;
    while (!loader.Finished()) {
        loader.WaitForHandOver();
        LoadHandOver h = loader.Take();
        EXPECT_TRUE(h.models.empty());
        if (h.objects) objects = std::move(h.objects);
        if (h.supply) supply = std::move(h.supply);
    }
    ASSERT_TRUE(objects);
    ASSERT_TRUE(supply);
    EXPECT_EQ(supply->Size(), objects->models.size());
}

TEST(ModelFeed, TheSceneGetsTheModelsNearTheEyeAndShowsNothingForThoseLetGo) {
    // 400 objects 2 units apart on a 20 x 20 grid from (-20, -20), models 0 to 11 in turn.
    GeneratedWorld world(12, 400, 0, 2.0);
    std::unique_ptr<ModelSupply> supply;
    ErrorLog log;
    TObjectMap scene(LoadShownObjects(world.dump, log, world.Options(&supply)), &log);
    ModelFeed feed(std::move(supply), scene.Read().objects, scene.Read().models.size());
    const Vec3 corner{-20, 0, -20};
    FeedAndWait(feed, scene, corner, 0.5, log);
    // Every object within the reach of the corner shows its model; those far away nothing.
    const double reach = 0.5 + feed.Demand().Reach();
    std::size_t near = 0, far = 0;
    for (std::size_t i = 0; i < scene.ObjectCount(); ++i) {
        const auto& p = scene.PlacementOf(i).position;
        const double d = std::hypot(p[0] - corner.x, p[1] - corner.y, p[2] - corner.z);
        if (d <= reach) {
            ++near;
            EXPECT_GT(scene.Object(i).CountTriangles(), 0) << i;
        }
        if (d > reach + 15) {
            ++far;
        }
    }
    EXPECT_GT(near, 0u);
    EXPECT_GT(far, 0u);
    const uint64_t reads = feed.Supply().Reads();
    EXPECT_EQ(reads, feed.Demand().HeldCount());
    EXPECT_EQ(reads, 3u);  // the corner's object and its two neighbours 2 units away

    // Looking again from the same place reads nothing more.
    FeedAndWait(feed, scene, corner, 0.5, log);
    EXPECT_EQ(feed.Supply().Reads(), reads);

    // Far away, with no room: what the corner used goes, its objects show nothing and have no
    // sphere; coming back reads them again.
    FeedAndWait(feed, scene, {500, 0, 500}, 0.5, log);
    const std::vector<uint32_t> drop = feed.ToDrop(0);
    EXPECT_EQ(drop.size(), reads);
    const auto dropped = scene.DropModels(drop);
    EXPECT_EQ(dropped.size(), drop.size());
    for (std::size_t i = 0; i < scene.ObjectCount(); ++i) {
        EXPECT_EQ(scene.Object(i).CountTriangles(), 0) << i;
        EXPECT_TRUE(scene.SphereOf(i).Empty()) << i;
    }
    EXPECT_TRUE(scene.DropModels(drop).empty());  // gone already
    FeedAndWait(feed, scene, corner, 0.5, log);
    EXPECT_EQ(feed.Supply().Reads(), 2 * reads);
    std::vector<uint32_t> found;
    scene.ObjectsNear(corner, 0.5, found);
    EXPECT_FALSE(found.empty());
}

}  // namespace
}  // namespace pelorus
