// Reading object dumps with their models: each model read once, one error line per name that is
// not found, what is drawn and what is only counted, and generated dumps of every kind read back.

#include <gtest/gtest.h>

#include "dumpgen.h"
#include "platform/paths.h"
#include "testutil.h"
#include "world/worldload.h"

namespace pelorus {
namespace {

using test::TempDir;

const char* kTriangle = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";

struct Loaded {
    SceneObjects scene;
    std::vector<std::string> errors;
};

Loaded Load(const std::string& path, const std::string& objectPath) {
    Loaded l;
    test::LogCapture log;
    WorldReadOptions options;
    options.read = test::NoTextures();
    options.objectPath = objectPath;
    l.scene = LoadShownObjects(path, log, options);
    l.errors = log.Lines();
    return l;
}

std::string Line(const std::string& name, int type = 0) {
    return "1 2 0 0 0 0 0 0 " + std::to_string(type) + " " + std::to_string(name.size()) + " 0 0 0 " + name + "\n";
}

TEST(LoadDump, EachModelIsReadOnceAndEachMissingNameSaidOnce) {
    TempDir dir;
    ASSERT_TRUE(test::WriteZip(dir.Join("op/models/tree.zip"), "tree.rwx", std::string(kTriangle) + "Frobnicate\n"));
    dir.Write("op/rwx/rock.rwx", kTriangle);
    const std::string dump = dir.Write(
        "world.txt", "propdump version 4\n" + Line("tree") + Line("TREE.RWX") + Line("gone") + Line("rock.zip") +
                         Line("tree.zip") + Line("Gone.rwx") + Line("../x") + Line("gone", 1) + Line("../x"));
    const Loaded l = Load(dump, dir.Join("op"));
    ASSERT_EQ(l.scene.objects.size(), 9u);
    EXPECT_EQ(l.scene.dumpVersion, 4);
    ASSERT_EQ(l.scene.models.size(), 2u);
    EXPECT_EQ(l.scene.modelNames, (std::vector<std::string>{"tree", "rock.zip"}));
    EXPECT_EQ(l.scene.models[0]->File(), dir.Join("op/models/tree.zip"));
    const uint32_t none = PlacedObject::kNoModel;
    std::vector<uint32_t> models;
    for (const PlacedObject& o : l.scene.objects) models.push_back(o.model);
    EXPECT_EQ(models, (std::vector<uint32_t>{0, 0, none, 1, 0, none, none, none, none}));
    EXPECT_EQ(l.scene.missingModels, (std::vector<std::string>{"gone", "../x"}));
    // The model's own error line once, however many objects show it; one line for each name not
    // found, none for the object of another type.
    const std::vector<std::string> want = {
        "Object:Unknown command : \"Frobnicate\"",
        "Couldn't find model \"gone\" in the object path \"" + dir.Join("op") + "\" and the dump's folder \"" +
            dir.Path() + "\".",
        "Model name \"../x\" leads out of the object path; it is not read.",
    };
    EXPECT_EQ(l.errors, want);
}

// Whatever the name: a dump is told by its first line; scripts and zipped models by their names.
TEST(LoadDump, DumpsAreToldByTheirFirstLine) {
    TempDir dir;
    dir.Write("tree.rwx", kTriangle);
    dir.Write("world.dat", "propdump version 3\n1 2 1000 0 0 900 0 0 4 0 0 tree\n");
    dir.Write("map.txt", "tree.rwx 1 0 0\n");
    dir.Write("odd.rwx", "propdump version 3\n");
    const Loaded dump = Load(dir.Join("world.dat"), "");
    ASSERT_EQ(dump.scene.objects.size(), 1u);
    EXPECT_EQ(dump.scene.dumpVersion, 3);
    EXPECT_TRUE(dump.errors.empty()) << dump.errors[0];
    EXPECT_EQ(dump.scene.objects[0].placement.position, (std::array<double, 3>{1, 0, 0}));
    EXPECT_EQ(dump.scene.objects[0].placement.yaw, 90.0f);
    EXPECT_TRUE(dump.scene.objects[0].HasModel());  // found beside the dump
    const Loaded map = Load(dir.Join("map.txt"), "");
    EXPECT_EQ(map.scene.dumpVersion, 0);
    EXPECT_EQ(map.scene.Name(map.scene.objects.at(0)), "tree.rwx");
    EXPECT_EQ(map.scene.objects.at(0).line, 1u);
    EXPECT_EQ(Load(dir.Join("odd.rwx"), "").scene.dumpVersion, 0);  // read as a script
    EXPECT_TRUE(IsDumpFile(dir.Join("world.dat")));
    EXPECT_FALSE(IsDumpFile(dir.Join("odd.rwx")));
    EXPECT_FALSE(IsDumpFile(dir.Join("missing.txt")));
}

// A relative object path is taken from the folder reads start in, which the viewer makes the
// dump's own folder.
TEST(LoadDump, RelativeObjectPathsStartWhereTheDumpIs) {
    TempDir dir;
    dir.Write("w/objects/rwx/tree.rwx", kTriangle);
    dir.Write("w/world.txt", "propdump version 2\n1 2 0 0 0 0 4 0 0 tree\n");
    test::LogCapture log;
    WorldReadOptions options;
    options.read = test::NoTextures();
    options.objectPath = "objects";
    ScopedCurrentDirectory cd(dir.Join("w"));
    ASSERT_TRUE(cd.Changed());
    const SceneObjects scene = ReadShownAsViewer(dir.Join("w/world.txt"), log, options);
    ASSERT_EQ(scene.models.size(), 1u) << (log.Lines().empty() ? "" : log.Lines()[0]);
    EXPECT_EQ(scene.models[0]->File(), dir.Join("w/objects/rwx/tree.rwx"));
}

// Object paths of other kinds plug in: every model is asked of them.
TEST(LoadDump, AnotherObjectPathCanStandIn) {
    struct Remote final : ObjectPath {
        std::string file;
        std::vector<std::string> asked;
        ModelLookup Find(std::string_view name) override {
            asked.emplace_back(name);
            ModelLookup l;
            l.status = name == "far" ? ModelLookupStatus::Found : ModelLookupStatus::NotFound;
            l.location.file = file;
            return l;
        }
        std::string Where() const override { return "the remote object path"; }
    };
    TempDir dir;
    Remote remote;
    remote.file = dir.Write("cache/far.rwx", kTriangle);
    dir.Write("far.rwx", "");  // beside the dump, but not asked for
    test::LogCapture log;
    WorldReadOptions options;
    options.read = test::NoTextures();
    options.source = &remote;
    const SceneObjects scene =
        LoadDump("propdump version 2\n1 2 0 0 0 0 3 0 0 far\n1 2 0 0 0 0 4 0 0 near\n1 2 0 0 0 0 3 0 0 FAR\n",
                 dir.Join("world.txt"), log, options);
    EXPECT_EQ(remote.asked, (std::vector<std::string>{"far", "near"}));
    ASSERT_EQ(scene.models.size(), 1u);
    EXPECT_EQ(scene.models[0]->CountTriangles(), 1);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Couldn't find model \"near\" in the remote object path."});
}

// Generated dumps of every version and both line ends read back to what was written, with their
// models from an object path of every layout and their bad lines reported by number.
TEST(LoadDump, GeneratedDumpsReadBackWhole) {
    TempDir dir;
    dumpgen::ObjectPathSpec path;
    path.models = 6;
    path.textures = 3;
    std::string error;
    ASSERT_TRUE(dumpgen::WriteObjectPath(dir.Join("objects"), path, &error)) << error;
    for (int version = 2; version <= 5; ++version)
        for (const bool crlf : {true, false}) {
            const std::string what = "version " + std::to_string(version) + (crlf ? " CR LF" : " LF");
            dumpgen::DumpSpec recipe;
            recipe.version = version;
            recipe.crlf = crlf;
            recipe.objects = 24;
            recipe.models = 6;
            recipe.missingModels = 2;
            recipe.otherTypes = 5;
            recipe.badLines = 4;
            const dumpgen::GeneratedDump generated = dumpgen::MakeDump(recipe);
            const std::string file =
                dir.Write("world" + std::to_string(version) + (crlf ? "w" : "u") + ".txt", generated.text);
            test::LogCapture log;
            WorldReadOptions options;
            options.read.programDir = dir.Path();  // no TexturesPath.txt there
            options.objectPath = dir.Join("objects");
            const SceneObjects scene = LoadShownObjects(file, log, options);
            ASSERT_EQ(scene.objects.size(), generated.objects.size()) << what;
            for (std::size_t i = 0; i < scene.objects.size(); ++i) {
                const PlacedObject& o = scene.objects[i];
                const dumpgen::ExpectedObject& e = generated.objects[i];
                EXPECT_EQ(o.line, e.line) << what << " object " << i;
                EXPECT_EQ(scene.Name(o), e.name) << what << " object " << i;
                EXPECT_EQ(scene.Description(o), e.description) << what << " object " << i;
                EXPECT_EQ(scene.Action(o), e.action) << what << " object " << i;
                for (std::size_t k = 0; k < 3; ++k)
                    EXPECT_NEAR(o.placement.position[k], e.position[k], 1e-12) << what << " object " << i;
                EXPECT_EQ(o.placement.yaw, e.yaw) << what << " object " << i;
                EXPECT_EQ(o.placement.tilt, e.tilt) << what << " object " << i;
                EXPECT_EQ(o.placement.roll, e.roll) << what << " object " << i;
                EXPECT_EQ(o.type, e.type) << what << " object " << i;
                EXPECT_EQ(o.HasModel(), e.type == 0 && e.name.rfind("gone", 0) != 0) << what << " object " << i;
            }
            EXPECT_EQ(scene.models.size(), 6u) << what;
            EXPECT_EQ(scene.missingModels, (std::vector<std::string>{"gone0", "gone1"})) << what;
            // One line per bad line (by its number) and per missing model; the models and their
            // textures (zipped masks too) read without complaint.
            const std::vector<std::string> lines = log.Lines();
            ASSERT_EQ(lines.size(), generated.badLines.size() + 2) << what << ": " << log.Text();
            for (std::size_t b = 0; b < generated.badLines.size(); ++b)
                EXPECT_NE(lines[b].find(", line " + std::to_string(generated.badLines[b]) + ":"), std::string::npos)
                    << what << ": " << lines[b];
            bool masked = false;
            for (const auto& model : scene.models) {
                EXPECT_EQ(model->Textures().size(), 1u) << what << " " << model->File();
                for (const TTexture& t : model->Textures()) masked = masked || t.hasMask == 1;
            }
            EXPECT_TRUE(masked) << what;
        }
}

}  // namespace
}  // namespace pelorus
