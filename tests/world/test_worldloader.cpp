// Loading off the caller's thread: progress as people read it, models read on several threads
// with the same result and the same log as on one, cancelling between lines and between models,
// and what a WorldLoader hands over and in which order.

#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "dumpgen.h"
#include "scene/objectmap.h"
#include "testutil.h"
#include "world/worldload.h"
#include "world/worldloader.h"

namespace pelorus {
namespace {

using test::TempDir;
using Stage = LoadProgress::Stage;

TEST(LoadProgress, CountsAreWrittenWithThousandsSeparators) {
    const struct {
        LoadProgress progress;
        const char* text;
    } cases[] = {
        {{Stage::Reading, 120000, 1000000}, "Reading 120,000 of 1,000,000 objects"},
        {{Stage::Loading, 40, 300}, "Loading 40 of 300 models"},
        {{Stage::Loading, 0, 0}, "Loading 0 of 0 models"},
        {{Stage::Reading, 1000, 999}, "Reading 999 of 999 objects"},  // never more than all
        {{Stage::Reading, 1, 18446744073709551615ull}, "Reading 1 of 18,446,744,073,709,551,615 objects"},
        {{Stage::Done, 5, 5}, ""},
        {{Stage::Idle, 0, 0}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressText(c.progress), c.text);
    EXPECT_EQ(WithThousands(0), "0");
    EXPECT_EQ(WithThousands(999), "999");
    EXPECT_EQ(WithThousands(1000), "1,000");
    EXPECT_EQ(WithThousands(100000), "100,000");
}

// A world whose models write error lines of their own, with names not found between them.
struct NoisyWorld {
    TempDir dir;
    std::string dump;
    NoisyWorld() {
        std::string text = "propdump version 3\n";
        for (int i = 0; i < 24; ++i) {
            const std::string name = (i % 5 == 3) ? "gone" + std::to_string(i) : "m" + std::to_string(i);
            if (i % 5 != 3)
                dir.Write("op/rwx/" + name + ".rwx",
                          "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
                          "Triangle 1 2 3\nOops" +
                              std::to_string(i) + "\nClumpEnd\n");
            for (int k = 0; k < 3; ++k)
                text += "1 2 " + std::to_string(k * 1000) + " 0 " + std::to_string(i * 1000) + " 0 0 0 " +
                        std::to_string(name.size()) + " 0 0 " + name + "\n";
        }
        dump = dir.Write("world.txt", text);
    }
    WorldReadOptions Options(unsigned threads) const {
        WorldReadOptions options;
        options.read = test::NoTextures();
        options.objectPath = dir.Join("op");
        options.modelThreads = threads;
        return options;
    }
};

std::vector<std::string> LinesWithPlaces(const ErrorLog& log) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        const LogPlace place = log.PlaceOf(i);
        out.push_back(std::string(log.Line(i)) + " @" + place.file + ":" + std::to_string(place.line));
    }
    return out;
}

TEST(LoadDump, ModelsReadOnSeveralThreadsGiveTheSameSceneAndLogAsOnOne) {
    NoisyWorld world;
    ErrorLog one;
    const SceneObjects alone = LoadShownObjects(world.dump, one, world.Options(1));
    ASSERT_EQ(alone.models.size(), 19u);
    ASSERT_EQ(one.LineCount(), 24u);
    for (const unsigned threads : {2u, 3u, 4u}) {
        ErrorLog log;
        const SceneObjects many = LoadShownObjects(world.dump, log, world.Options(threads));
        EXPECT_EQ(LinesWithPlaces(log), LinesWithPlaces(one)) << threads << " threads";
        EXPECT_EQ(many.modelNames, alone.modelNames);
        ASSERT_EQ(many.models.size(), alone.models.size());
        for (std::size_t m = 0; m < many.models.size(); ++m) {
            ASSERT_NE(many.models[m], nullptr);
            EXPECT_EQ(many.models[m]->File(), alone.models[m]->File());
        }
        ASSERT_EQ(many.objects.size(), alone.objects.size());
        for (std::size_t i = 0; i < many.objects.size(); ++i) EXPECT_EQ(many.objects[i].model, alone.objects[i].model);
    }
}

TEST(LoadDump, ProgressCountsEveryLineThenEveryModel) {
    TempDir dir;
    ASSERT_TRUE(dumpgen::WriteObjectPath(dir.Join("op"), {.models = 7, .textures = 0}));
    const dumpgen::GeneratedDump made =
        dumpgen::MakeDump({.objects = 10000, .models = 7, .extras = false, .keepExpected = false});
    ASSERT_TRUE(dumpgen::WriteFile(dir.Join("w.txt"), made.text));
    WorldReadOptions options;
    options.read = test::NoTextures();
    options.objectPath = dir.Join("op");
    std::vector<LoadProgress> told;
    options.progress = [&](const LoadProgress& p) { told.push_back(p); };
    ErrorLog log;
    const SceneObjects scene = LoadShownObjects(dir.Join("w.txt"), log, options);
    ASSERT_EQ(scene.objects.size(), 10000u);
    ASSERT_FALSE(told.empty());
    // Reading counts up to every line, then loading counts from none to every model.
    std::vector<LoadProgress> reading, loading;
    for (const LoadProgress& p : told) (p.stage == Stage::Reading ? reading : loading).push_back(p);
    ASSERT_GE(reading.size(), 2u);
    EXPECT_EQ(reading.back(), (LoadProgress{Stage::Reading, 10000, 10000}));
    for (std::size_t i = 1; i < reading.size(); ++i) EXPECT_GT(reading[i].done, reading[i - 1].done);
    ASSERT_EQ(loading.size(), 8u);
    for (uint64_t i = 0; i < loading.size(); ++i) EXPECT_EQ(loading[i], (LoadProgress{Stage::Loading, i, 7}));
    EXPECT_EQ(told.front().stage, Stage::Reading);
}

TEST(LoadDump, CancellingStopsBetweenLinesAndBetweenModels) {
    TempDir dir;
    ASSERT_TRUE(dumpgen::WriteObjectPath(dir.Join("op"), {.models = 30, .textures = 0}));
    const dumpgen::GeneratedDump made =
        dumpgen::MakeDump({.objects = 20000, .models = 30, .extras = false, .keepExpected = false});
    ASSERT_TRUE(dumpgen::WriteFile(dir.Join("w.txt"), made.text));
    for (const unsigned threads : {1u, 2u}) {
        // While the lines are read: no model is looked for.
        std::atomic<bool> cancel{false};
        WorldReadOptions options;
        options.read = test::NoTextures();
        options.objectPath = dir.Join("op");
        options.modelThreads = threads;
        options.cancel = &cancel;
        options.progress = [&](const LoadProgress& p) {
            if (p.stage == Stage::Reading && p.done >= 8000) cancel = true;
        };
        ErrorLog log;
        SceneObjects scene = LoadShownObjects(dir.Join("w.txt"), log, options);
        EXPECT_LT(scene.objects.size(), 20000u);
        EXPECT_GE(scene.objects.size(), 8000u);
        EXPECT_TRUE(scene.models.empty());

        // Between models: those read stay, the others are null and nothing more is read.
        cancel = false;
        uint64_t loaded = 0;
        options.progress = [&](const LoadProgress& p) {
            if (p.stage == Stage::Loading && p.done == 3) cancel = true;
            if (p.stage == Stage::Loading) loaded = p.done;
        };
        scene = LoadShownObjects(dir.Join("w.txt"), log, options);
        EXPECT_EQ(scene.objects.size(), 20000u);
        ASSERT_EQ(scene.models.size(), 30u);
        EXPECT_EQ(loaded, 3u) << threads << " threads";
        for (std::size_t m = 0; m < scene.models.size(); ++m) EXPECT_EQ(scene.models[m] != nullptr, m < 3) << m;
        // The scene of what was read shows the models still to come as nothing.
        const TObjectMap shown(std::move(scene));
        EXPECT_EQ(shown.ObjectCount(), 20000u);
        EXPECT_EQ(shown.Object(19999).CountTriangles(), 0);
    }
}

// Runs a WorldLoader to its end, keeping every hand-over.
std::vector<LoadHandOver> RunLoader(WorldLoader& loader) {
    std::vector<LoadHandOver> all;
    while (!loader.Finished()) {
        loader.WaitForHandOver();
        all.push_back(loader.Take());
    }
    return all;
}

TEST(WorldLoader, HandsOverTheObjectsFirstThenEachModelOnceInOrderThenTheEnd) {
    NoisyWorld world;
    ErrorLog direct;
    const SceneObjects want = LoadShownObjects(world.dump, direct, world.Options(1));

    WorldLoader loader(world.dump, world.Options(2));
    const std::vector<LoadHandOver> all = RunLoader(loader);
    ASSERT_FALSE(all.empty());
    EXPECT_TRUE(all.back().finished);
    EXPECT_EQ(loader.Progress().stage, Stage::Done);
    ErrorLog lines;
    std::optional<SceneObjects> objects;
    std::vector<uint32_t> order;
    for (const LoadHandOver& h : all) {
        lines.AppendAll(h.lines);
        if (h.objects) {
            ASSERT_FALSE(objects) << "the objects came twice";
            objects = *h.objects;
        }
        if (!h.models.empty()) {
            ASSERT_TRUE(objects) << "a model came before the objects";
        }
        for (const auto& [index, model] : h.models) {
            ASSERT_NE(model, nullptr);
            EXPECT_EQ(objects->models.at(index), nullptr) << "model " << index << " came twice";
            objects->models[index] = model;
            order.push_back(index);
        }
    }
    ASSERT_TRUE(objects);
    EXPECT_EQ(LinesWithPlaces(lines), LinesWithPlaces(direct));
    ASSERT_EQ(order.size(), want.models.size());
    for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
    EXPECT_EQ(objects->objects.size(), want.objects.size());
    EXPECT_EQ(objects->missingModels, want.missingModels);
    EXPECT_EQ(objects->dumpVersion, 3);
}

TEST(WorldLoader, OtherFilesComeWholeAtTheEnd) {
    TempDir dir;
    const std::string script = dir.Write("a.rwx",
                                         "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
                                         "Triangle 1 2 3\nClumpEnd\n");
    WorldReadOptions options;
    options.read = test::NoTextures();
    WorldLoader loader(script, options);
    std::vector<LoadHandOver> all = RunLoader(loader);
    ASSERT_EQ(all.size(), 1u);
    ASSERT_TRUE(all[0].objects);
    EXPECT_TRUE(all[0].finished);
    ASSERT_EQ(all[0].objects->models.size(), 1u);
    EXPECT_EQ(all[0].objects->models[0]->CountTriangles(), 1);

    // A file that is not there says so in the last hand-over.
    WorldLoader missing(dir.Join("nothing.txt"), options);
    all = RunLoader(missing);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].lines.LineCount(), 1u);
}

TEST(WorldLoader, GoingAwayInTheMiddleCancelsAndWaitsForItsThread) {
    TempDir dir;
    ASSERT_TRUE(dumpgen::WriteObjectPath(dir.Join("op"), {.models = 40, .textures = 2}));
    const dumpgen::GeneratedDump made =
        dumpgen::MakeDump({.objects = 50000, .models = 40, .extras = false, .keepExpected = false});
    ASSERT_TRUE(dumpgen::WriteFile(dir.Join("w.txt"), made.text));
    WorldReadOptions options;
    options.objectPath = dir.Join("op");
    for (int round = 0; round < 3; ++round) {
        // Gone at once, gone after the first hand-over, cancelled and run to the end.
        auto loader = std::make_unique<WorldLoader>(dir.Join("w.txt"), options);
        if (round == 1) loader->WaitForHandOver();
        if (round == 2) {
            loader->Cancel();
            const std::vector<LoadHandOver> all = RunLoader(*loader);
            EXPECT_TRUE(all.back().finished);
            std::size_t models = 0;
            for (const LoadHandOver& h : all) models += h.models.size();
            EXPECT_LT(models, 40u);
        }
        loader.reset();
    }
}

TEST(TObjectMap, ModelsThatArriveLaterTakeTheirPlaceAndSpheres) {
    SceneObjects read;
    const uint32_t a = read.AddModel(nullptr, "a");
    const uint32_t b = read.AddModel(nullptr, "b");
    for (int i = 0; i < 4; ++i) {
        PlacedObject o;
        o.placement.position = {double(i) * 10, 0, 0};
        o.model = i % 2 == 0 ? a : b;
        read.SetText(o, "x");
        read.objects.push_back(o);
    }
    TObjectMap scene(std::move(read));
    ASSERT_EQ(scene.ObjectCount(), 4u);
    EXPECT_EQ(scene.Object(1).CountTriangles(), 0);
    ErrorLog log;
    std::shared_ptr<const RWXObject> tri =
        test::ReadScript("ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n", log);
    const auto replaced = scene.SetModels({{b, tri}, {99, tri}, {a, nullptr}});
    EXPECT_EQ(replaced.size(), 1u);
    EXPECT_EQ(&scene.Object(1), tri.get());
    EXPECT_EQ(&scene.Object(3), tri.get());
    EXPECT_EQ(scene.Object(0).CountTriangles(), 0);
    // Each object of the model has its sphere where it stands.
    EXPECT_NEAR(scene.SphereOf(3).centre.x, 30.5, 1e-9);
    EXPECT_GT(scene.SphereOf(3).radius, 0);
    EXPECT_TRUE(scene.SphereOf(0).Empty());
}

}  // namespace
}  // namespace pelorus
