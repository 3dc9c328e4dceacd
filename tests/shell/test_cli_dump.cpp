// The command-line tools on object dumps: --check's lines and summary, --dump's objects and
// models, and --object-path wherever it is given.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "dumpgen.h"
#include "platform/paths.h"
#include "shell/cli.h"
#include "testutil.h"

namespace pelorus {
namespace {

using json = nlohmann::json;

struct CliRun {
    std::optional<int> status;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun r;
    r.status = RunCommandLine(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

const char* kTriangle = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";

// A small world: two models in an object path, a dump naming them, one model that is not there,
// a camera and two bad lines.
struct World {
    test::TempDir dir;
    std::string dump;
    World() {
        dir.Write("objects/rwx/tree.rwx", kTriangle);
        EXPECT_TRUE(test::WriteZip(dir.Join("objects/models/rock.zip"), "rock.rwx", kTriangle));
        dump = dir.Write("worlds/world.txt",
                         "propdump version 4\r\n"
                         "7 99 1234 50 -2000 1234 -300 50 0 4 9 5 0 treeold \x80\x7Fmapoc\xE9 x\r\n"
                         "7 99 0 0 0 0 0 0 0 8 0 0 0 ROCK.RWX\r\n"
                         "7 99 0 0 0 0 0 0 0 4 0 0 0 gone\r\n"
                         "7 99 0 0 0 0 0 0 1 3 0 0 0 cam\r\n"
                         "7 99 0 0\r\n"
                         "7 99 0 0 0 0 0 0 0 4 0 0 0 tree\r\n"
                         "7 99 0 q 0 0 0 0 0 4 0 0 0 tree\r\n");
    }
};

TEST(CliDump, CheckListsDumpLinesThenTheWorldsSummary) {
    World w;
    const CliRun r = Cli({"--check", "--object-path", w.dir.Join("objects"), w.dump});
    EXPECT_EQ(r.status, 1);
    const std::string shown = w.dump + ": ";
    EXPECT_EQ(r.out, shown + "Object dump \"world.txt\", line 6: too few fields.\n" + shown +
                         "Object dump \"world.txt\", line 8: \"q\" is not a number (y).\n" + w.dump +
                         ":4: Couldn't find model \"gone\" in the object path \"" + w.dir.Join("objects") +
                         "\" and the dump's folder \"" + w.dir.Join("worlds") + "\".\n" + w.dump +
                         ":2: Couldn't read the action of the object on line 2, character 1: expected create, "
                         "activate, bump or adone, not \"oc\xC3\xA9\".\n" +
                         shown +
                         "objects 4, distinct models 2, models not found 1, objects of other types 1, errors 4\n");
    // A dump of a version that cannot be read is summed up as an empty dump after its line.
    const std::string later = w.dir.Write("later.txt", "propdump version 7\r\n1 2 3\r\n");
    EXPECT_EQ(Cli({"--check", later}).out,
              later + ": Object dump \"later.txt\" is of version 7, which cannot be read (versions 2 to 5 can).\n" +
                  later + ": objects 0, distinct models 0, models not found 0, objects of other types 0, errors 1\n");
    // Without the object path the models are not found either.
    const CliRun bare = Cli({"--check", w.dump});
    EXPECT_NE(bare.out.find("objects 4, distinct models 0, models not found 3, objects of other types 1, errors 6"),
              std::string::npos)
        << bare.out;
}

TEST(CliDump, DumpWritesObjectsNamingTheirModelsAndEachModelOnce) {
    World w;
    const CliRun r = Cli({"--dump", w.dump, "--object-path", w.dir.Join("objects")});
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    ASSERT_EQ(doc["errors"].size(), 4u);  // the first object's action cannot be read
    ASSERT_EQ(doc["objects"].size(), 5u);
    const json& tree = doc["objects"][0];
    EXPECT_EQ(tree["line"], 2);
    EXPECT_EQ(tree["name"], "tree");
    EXPECT_EQ(tree["model"], 0);
    EXPECT_EQ(tree["position"], json::array({1.234, 0.05, -2}));
    EXPECT_EQ(tree["yaw"], 123.4);
    EXPECT_EQ(tree["tilt"], -30);
    EXPECT_EQ(tree["roll"], 5);
    EXPECT_EQ(tree["scale"], json::array({1, 1, 1}));
    EXPECT_EQ(tree["visible"], true);
    EXPECT_EQ(tree["type"], 0);
    EXPECT_EQ(tree["description"], "old \r\nmap");
    EXPECT_EQ(tree["action"], "oc\xC3\xA9 x");
    EXPECT_EQ(doc["objects"][1]["model"], 1);
    EXPECT_EQ(doc["objects"][2]["model"], -1);  // not found
    EXPECT_EQ(doc["objects"][3]["type"], 1);
    EXPECT_EQ(doc["objects"][3]["model"], -1);  // other types show no model
    EXPECT_EQ(doc["objects"][4]["line"], 7);
    EXPECT_EQ(doc["objects"][4]["model"], 0);
    ASSERT_EQ(doc["models"].size(), 2u);
    EXPECT_EQ(doc["models"][0]["name"], "tree");
    EXPECT_EQ(doc["models"][0]["path"], w.dir.Join("objects/rwx/tree.rwx"));
    EXPECT_EQ(doc["models"][0]["triangles"], 1);
    EXPECT_EQ(doc["models"][0]["clumps"].size(), 1u);
    EXPECT_EQ(doc["models"][1]["name"], "ROCK.RWX");
    EXPECT_EQ(doc["models"][1]["path"], w.dir.Join("objects/models/rock.zip"));
}

// A generated world of each version through both tools: every readable line an object, every bad
// line one error line.
TEST(CliDump, GeneratedWorldsOfEveryVersion) {
    test::TempDir dir;
    dumpgen::ObjectPathSpec path;
    path.models = 4;
    path.textures = 2;
    ASSERT_TRUE(dumpgen::WriteObjectPath(dir.Join("objects"), path));
    for (int version = 2; version <= 5; ++version) {
        dumpgen::DumpSpec recipe;
        recipe.version = version;
        recipe.crlf = version % 2 == 0;
        recipe.objects = 12;
        recipe.models = 4;
        recipe.otherTypes = 3;
        recipe.badLines = 2;
        const dumpgen::GeneratedDump generated = dumpgen::MakeDump(recipe);
        const std::string file = dir.Write("w" + std::to_string(version) + ".txt", generated.text);
        const CliRun check = Cli({"--object-path", dir.Join("objects"), "--check", file});
        const int others = version >= 4 ? 3 : 0;
        EXPECT_NE(check.out.find(file + ": objects 12, distinct models 4, models not found 0, objects of other types " +
                                 std::to_string(others) + ", errors 2\n"),
                  std::string::npos)
            << check.out;
        const CliRun dump = Cli({"--dump", "--object-path", dir.Join("objects"), file});
        const json doc = json::parse(dump.out);
        EXPECT_EQ(doc["objects"].size(), generated.objects.size()) << version;
        EXPECT_EQ(doc["models"].size(), 4u) << version;
        EXPECT_EQ(doc["objects"][0]["description"], generated.objects[0].description) << version;
    }
}

TEST(CliDump, ObjectPathArguments) {
    std::vector<std::string> args = {"--object-path", "a", "--check", "x", "--object-path", "/b", "--",
                                     "--object-path", "c"};
    const ObjectPathArgument taken = TakeObjectPath(args);
    EXPECT_EQ(taken.folder, "/b");  // the last one before "--"
    EXPECT_TRUE(taken.error.empty());
    EXPECT_EQ(args, (std::vector<std::string>{"--check", "x", "--", "--object-path", "c"}));
    std::vector<std::string> relative = {"--object-path", "objs"};
    EXPECT_EQ(TakeObjectPath(relative).folder, AbsolutePath("objs"));

    const CliRun missing = Cli({"--check", "w.txt", "--object-path"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err.rfind("pelorus: --object-path needs a folder\n", 0), 0u) << missing.err;
    EXPECT_FALSE(Cli({"--object-path", "/x", "world.txt"}).status.has_value());  // the viewer's
    EXPECT_TRUE(NeedsWindowSystem({"--object-path", "/x", "world.txt"}));
    EXPECT_TRUE(NeedsWindowSystem({"--object-path", "/x", "--screenshot", "o.png", "w.txt"}));
    EXPECT_FALSE(NeedsWindowSystem({"--object-path", "/x", "--check", "w.txt"}));
}

// --world gives --check, --dump and --export the world's object path (a relative one from the
// dump's folder) and its object password, as --screenshot has them; what is given on the command
// line wins.
TEST(CliDump, WorldArgumentGivesTheReadingToolsItsObjectPathAndPassword) {
    World w;
    ASSERT_TRUE(test::WriteZip(w.dir.Join("locked/models/tree.zip"), "tree.rwx", kTriangle, "secret"));
    const std::string relative = w.dir.Write("relative.world", "../objects\n\n");
    const std::string locked = w.dir.Write("locked.world", w.dir.Join("locked") + "\nsecret\n");
    const std::string dumped =
        w.dir.Write("at.txt", "atdump version 1\r\n0 Dumped\r\n3 " + w.dir.Join("objects") + "\r\n");
    const std::string summary =
        "objects 4, distinct models 2, models not found 1, objects of other types 1, errors 4\n";
    const std::string found = w.dump + ": " + summary;
    EXPECT_NE(Cli({"--check", "--world", relative, w.dump}).out.find(found), std::string::npos);
    EXPECT_NE(Cli({"--check", w.dump, "--world", dumped}).out.find(found), std::string::npos);
    const CliRun overridden = Cli({"--check", "--world", relative, "--object-path", w.dir.Join("worlds"), w.dump});
    EXPECT_NE(overridden.out.find("distinct models 0, models not found 3"), std::string::npos) << overridden.out;

    // The world's password opens its archives; --object-password replaces it.
    const CliRun open = Cli({"--dump", "--world", locked, w.dump});
    ASSERT_EQ(open.status, 0) << open.err;
    const json doc = json::parse(open.out);
    ASSERT_EQ(doc["models"].size(), 1u);
    EXPECT_EQ(doc["models"][0]["path"], w.dir.Join("locked/models/tree.zip"));
    EXPECT_EQ(doc["models"][0]["triangles"], 1);
    const json wrong = json::parse(Cli({"--dump", "--world", locked, "--object-password", "guess", w.dump}).out);
    EXPECT_EQ(wrong["models"][0]["triangles"], 0);

    const std::string out = w.dir.Join("world.glb");
    const CliRun exported = Cli({"--export", out, "--world", relative, w.dump});
    EXPECT_NE(exported.out.find("entries 3"), std::string::npos) << exported.out << exported.err;

    // A world that cannot be read stops the tool before it reads anything; one without its name
    // is a usage error.
    const CliRun gone = Cli({"--check", "--world", w.dir.Join("gone.world"), w.dump});
    EXPECT_EQ(gone.status, 1);
    EXPECT_EQ(gone.out, "");
    EXPECT_EQ(gone.err.rfind("pelorus: cannot read the world file \"" + w.dir.Join("gone.world") + "\"", 0), 0u)
        << gone.err;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--dump", w.dump, "--world"},
                                                 std::vector<std::string>{"--check", "--world", "--", w.dump}}) {
        const CliRun missing = Cli(args);
        EXPECT_EQ(missing.status, 2);
        EXPECT_EQ(missing.err.rfind("pelorus: --world needs a world name or file\n", 0), 0u) << missing.err;
    }
    // After "--" it is a file like any other.
    EXPECT_NE(Cli({"--check", "--", "--world"}).out.find("--world: "), std::string::npos);
}

// Objects' actions: what each create command came to, and the scale and visibility they leave.
TEST(CliDump, DumpShowsWhatActionsApplied) {
    test::TempDir dir;
    dir.Write("objects/rwx/tree.rwx", kTriangle);
    const std::string first = "create color red, scale 2, sign, animate me, color blue name=x; activate visible no";
    const std::string second = "create visible no";
    const std::string dump =
        dir.Write("world.txt", "propdump version 4\r\n7 99 0 0 0 0 0 0 0 4 0 " + std::to_string(first.size()) +
                                   " 0 tree" + first + "\r\n7 99 0 0 0 0 0 0 0 4 0 " + std::to_string(second.size()) +
                                   " 0 tree" + second + "\r\n7 99 0 0 0 0 0 0 0 4 0 5 0 treecreat\r\n");
    const CliRun r = Cli({"--dump", "--object-path", dir.Join("objects"), dump});
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    ASSERT_EQ(doc["objects"].size(), 3u);
    const json& a = doc["objects"][0];
    EXPECT_EQ(a["applied"], json::array({"color red", "scale 2"}));
    EXPECT_EQ(a["ignored"], json::array({"sign", "animate me", "color blue name=x"}));  // no sign faces
    EXPECT_EQ(a["scale"], json::array({2, 2, 2}));
    EXPECT_EQ(a["visible"], true);
    EXPECT_EQ(doc["objects"][1]["applied"], json::array({"visible no"}));
    EXPECT_EQ(doc["objects"][1]["visible"], false);
    // An action that cannot be read: one error line at its line, and nothing applied.
    EXPECT_EQ(doc["objects"][2]["applied"], json::array());
    ASSERT_EQ(doc["errors"].size(), 1u);
    EXPECT_EQ(doc["errors"][0].get<std::string>().rfind("Couldn't read the action of the object on line 4, ", 0), 0u)
        << doc["errors"][0];
}

// After a dump's summary, --check counts the commands of its objects' actions that are accepted
// and not carried out; an action that cannot be read is an error line at its dump line, with the
// character it fails at, and counts nothing.
TEST(CliDump, CheckCountsCommandsNotCarriedOut) {
    test::TempDir dir;
    dir.Write("objects/rwx/tree.rwx", kTriangle);
    auto line = [](const std::string& action) {
        return "7 99 0 0 0 0 0 0 0 4 0 " + std::to_string(action.size()) + " 0 tree" + action + "\r\n";
    };
    const std::string dump = dir.Write(
        "world.txt", "propdump version 4\r\n" + line("create animate me . 5, color red; activate teleport 1n 1w") +
                         line("create animate me . 5, color red; activate teleport 1n 1w") +
                         line("create sound a.wav; bump warp 2n 2w") + line("create scale") + line("") +
                         "7 99 0 0 0 0 0 0 2 4 0 12 0 treecreate noise\r\n");
    const CliRun r = Cli({"--check", "--object-path", dir.Join("objects"), dump});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              dump +
                  ":5: Couldn't read the action of the object on line 5, character 8: scale needs one to "
                  "three factors.\n" +
                  dump + ": objects 5, distinct models 1, models not found 0, objects of other types 1, errors 1\n" +
                  dump +
                  ": commands not carried out: create: animate 2, sound 1; activate: teleport 2; bump: warp 1\n");

    // One model with --action: the same line, and nothing more without such commands.
    const std::string model = dir.Join("objects/rwx/tree.rwx");
    const CliRun tried = Cli({"--check", "--action", "create color red, url x", model});
    EXPECT_EQ(tried.status, 0) << tried.out;
    EXPECT_NE(tried.out.find(model + ": commands not carried out: create: url 1\n"), std::string::npos) << tried.out;
    EXPECT_EQ(Cli({"--check", "--action", "create color red", model}).out.find("not carried out"), std::string::npos);
    const CliRun unread = Cli({"--check", "--action", "create zz, 9", model});
    EXPECT_EQ(unread.status, 1);
    EXPECT_NE(unread.out.find("Couldn't read the action of the object, character 12: "), std::string::npos)
        << unread.out;
}

TEST(CliDump, ActionOptionTriesAnActionOnOneModel) {
    test::TempDir dir;
    const std::string model = dir.Write("box.rwx", kTriangle);
    const CliRun r = Cli({"--action", "create scale 3, opacity 0.5, url x", "--dump", model});
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    ASSERT_EQ(doc["objects"].size(), 1u);
    const json& o = doc["objects"][0];
    EXPECT_EQ(o["action"], "create scale 3, opacity 0.5, url x");
    EXPECT_EQ(o["applied"], json::array({"scale 3", "opacity 0.5"}));
    EXPECT_EQ(o["ignored"], json::array({"url x"}));
    EXPECT_EQ(o["scale"], json::array({3, 3, 3}));
    EXPECT_EQ(o["triangles"], 1);

    // Exported as drawn: the scale on the object's node, the colour in its material.
    const std::string out = dir.Join("box.gltf");
    const CliRun exported = Cli({"--export", out, "--action", "create color red, scale 2", model});
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::string text;
    ASSERT_EQ(ReadFileStatus(out, text), ReadStatus::kOk);
    const json gltf = json::parse(text);
    EXPECT_EQ(gltf["nodes"][1]["scale"], json::array({2, 2, 2}));
    EXPECT_EQ(gltf["materials"][0]["pbrMetallicRoughness"]["baseColorFactor"], json::array({1, 0, 0, 1}));

    // Hidden objects are left out of the export.
    const CliRun hidden = Cli({"--export", out, "--action", "create visible no", model});
    EXPECT_NE(hidden.out.find("entries 0"), std::string::npos) << hidden.out << hidden.err;

    const CliRun missing = Cli({"--dump", model, "--action"});
    EXPECT_EQ(missing.status, 2);
}

}  // namespace
}  // namespace pelorus
