#include "shell/cli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <system_error>
#include <unordered_map>

#include "export/gltfexport.h"
#include "export/gltfsave.h"
#include "export/rwxsave.h"
#include "net/webaddress.h"
#include "platform/errorlog.h"
#include "platform/outputfile.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "platform/version.h"
#include "reader/modelimport.h"
#include "reader/scenefile.h"
#include "reader/zippedmodel.h"
#include "scene/actionlooks.h"
#include "scene/framing.h"
#include "scene/modeldemand.h"
#include "scene/objectmap.h"
#include "scene/walk.h"
#include "shell/jsonwriter.h"
#include "shell/picktool.h"
#include "shell/progressline.h"
#include "shell/registry.h"
#include "shell/userfolders.h"
#include "shell/viewershell.h"
#include "shell/viewrequest.h"
#include "shell/worldimport.h"
#include "shell/worlds.h"
#include "world/worldload.h"

namespace pelorus {
namespace {

constexpr std::string_view kUsage =
    "Usage: pelorus [--object-path FOLDER] [--object-password WORD] [--] [FILE]\n"
    "       pelorus --check [--world NAME|FILE] [--] FILE|FOLDER...\n"
    "       pelorus --dump [--world NAME|FILE] [--] FILE\n"
    "       pelorus --screenshot OUT.png [--size WxH] [--fit] [--yaw DEG] [--pitch DEG] [--height H]\n"
    "                            [--distance D] [--world NAME|FILE] [--view LIST] [--time MS]\n"
    "                            [--draw-distance METRES] [--at LOCATION] [--] [FILE]\n"
    "       pelorus --pick X,Y [--size WxH] [--fit] [--yaw DEG] [--pitch DEG] [--height H]\n"
    "                      [--distance D] [--world NAME|FILE] [--time MS] [--draw-distance METRES]\n"
    "                      [--at LOCATION] [--] FILE\n"
    "       pelorus --export OUT.glb|OUT.gltf|OUT.rwx|OUT.zip [--world NAME|FILE] [--at LOCATION]\n"
    "                        [--draw-distance METRES] [--] FILE\n"
    "       pelorus --export-object-path FOLDER [--] FILE...\n"
    "       pelorus --registry [--] FILE|FOLDER...\n"
    "       pelorus --thumbnail IN OUT.png SIZE\n"
    "       pelorus --help | --version\n"
    "\n"
    "FILE is a RenderWare script (.rwx), a zipped model (.zip: the script inside is read, and\n"
    "textures are looked for in the archive first), a glTF 2.0 model (.gltf with its files, or\n"
    ".glb), a Wavefront OBJ model (.obj with its .mtl), an object dump (a file whose first line\n"
    "is \"propdump version N\") or an object map (any other name); glTF and OBJ models are\n"
    "converted as they are read (metres become tenths of a unit; what scripts cannot hold is\n"
    "named in one error line each). \"--\" ends the options: what follows is a FILE even when it\n"
    "starts with \"--\".\n"
    "  --action TEXT  (with the viewer and any command that reads a FILE) carry out TEXT, an\n"
    "            object's action such as 'create color red, scale 2', on a FILE that is one\n"
    "            model, as if a world placed it with that action.\n"
    "  --object-path FOLDER  (with any command) where the models an object dump names are looked\n"
    "            for: FOLDER/models/NAME.zip, FOLDER/rwx/NAME.rwx, FOLDER/models/NAME.rwx, then\n"
    "            the dump's own folder; textures in FOLDER/textures. The window otherwise uses\n"
    "            the object path of its world.\n"
    "  --object-password WORD  (with any command) opens the encrypted zipped models and textures\n"
    "            of the object path, in place of the world's object password.\n"
    "  --world NAME|FILE  a world listed in Worlds.txt, a world file or a world attribute dump\n"
    "            (\"atdump version 1\"). With --check, --dump and --export its object path and\n"
    "            object password are used where --object-path and --object-password are not\n"
    "            given; a relative object path is taken from FILE's folder.\n"
    "  --check   read each file as the viewer does and print its error lines and a summary;\n"
    "            a folder stands for every .rwx file below it. An error line at a line of a\n"
    "            file is printed as compilers print theirs, FILE:LINE: MESSAGE (FILE as given,\n"
    "            the script or map that holds the line, ARCHIVE:SCRIPT inside a zipped model),\n"
    "            others as FILE: MESSAGE. Control characters and bytes that are not UTF-8 are\n"
    "            shown as \\xNN. Exit status 1 when any error line was written. For an object\n"
    "            dump the summary counts its objects, the distinct models they show, the\n"
    "            models not found and the objects of other types. A line after it counts\n"
    "            the commands of the objects' actions that are not carried out, by trigger\n"
    "            and command: \"commands not carried out: create: animate 2; activate:\n"
    "            teleport 5\" (only the first create section is carried out, and of it only\n"
    "            the commands that change how the object looks).\n"
    "  --dump    print everything read from FILE as one JSON document (an object map's or an\n"
    "            object dump's objects name their models by index, which follow, each once).\n"
    "  --screenshot  draw FILE as the viewer would, without a window, into OUT.png (default\n"
    "            400x400, default world and camera; --fit frames the model as the window does\n"
    "            on opening it, and --yaw, --pitch, --height or --distance given with it replace\n"
    "            what it chose; --view +normals,-ground switches view flags; --time fixes the\n"
    "            clock of animated textures; --draw-distance leaves out what is farther;\n"
    "            --at \"2.5N 3W 1.2a 90\" puts the orbit centre at a world's location, with\n"
    "            an optional altitude and the yaw looked in, 0 north, 90 west).\n"
    "            Exit status 1 when no OpenGL context can be made.\n"
    "  --pick    print, as one JSON object, where the face under the pixel X,Y (from the top-left\n"
    "            corner) of the view --screenshot draws with the same options comes from: the file\n"
    "            and line of the command that made it, its clump, prototype instance, material,\n"
    "            texture and mask (as named, and the files read), tag and the object that shows it;\n"
    "            \"null\" when no face of the model is there. Faces hidden behind others, back faces\n"
    "            of single-sided materials and clear texels of masks are not picked.\n"
    "  --export  read FILE as the viewer does and write the model as glTF 2.0: OUT.glb holds\n"
    "            everything; OUT.gltf is written with OUT.bin and its images (OUT_0.jpg, ...)\n"
    "            beside it. OUT.rwx writes a RenderWare script with its textures beside it\n"
    "            (NAME.jpg; cut-outs with a mask NAMEm.zip; NAME.png where alpha is partial);\n"
    "            OUT.zip a zipped model holding OUT.rwx and its textures, for a world's object\n"
    "            path. FILE's error lines are printed to standard error as --check prints\n"
    "            them and give exit status 1 (the model is still written). No output replaces an\n"
    "            input, something that is not a regular file, or a file of another kind; such\n"
    "            outputs, like a wrong name, give exit status 2. Of an object dump, --at and\n"
    "            --draw-distance write only the objects within METRES of LOCATION (of the place\n"
    "            the viewer opens the world at without --at), reading only their models.\n"
    "  --export-object-path  write each FILE as a world server lays models out:\n"
    "            FOLDER/models/NAME.zip (NAME is FILE's name in lower case) and its textures in\n"
    "            FOLDER/textures, where a file of the same name holding something else is never\n"
    "            replaced (the texture takes another name). Statuses as for --export.\n"
    "  --registry  print one line \"NAME 1 MINX MINY MINZ MAXX MAXY MAXZ\" for every model (a\n"
    "            script or a zipped model; a folder stands for every model below it, sorted):\n"
    "            its file name without .rwx or .zip and its bounds in whole centimetres (ten\n"
    "            metres a unit), each minimum rounded down and each maximum rounded up so the\n"
    "            box holds the whole model. Models that cannot be read, or have no vertex, are\n"
    "            named on standard error instead, with exit status 1.\n"
    "  --thumbnail  draw IN framed in the default world, lit, without axes, into a SIZE x SIZE\n"
    "            OUT.png, as file managers ask thumbnailers to (same checks and statuses as\n"
    "            --screenshot); a file that is no model gives exit status 1 and no image.\n";

struct Loaded {
    SceneObjects scene;
    std::vector<std::string> errors;
    std::vector<LogPlace> places;  // of each error line
};

// What the tools that read files are given besides them: --object-path, --object-password,
// --action and --world.
struct ToolInputs {
    std::optional<std::string> objectPath;  // absolute, or a web address
    std::optional<std::string> password;
    std::string action;
    // --world: the world's object path (as the world applies it) and object password stand in for
    // those not given.
    std::optional<WorldSettings> world;
};

// How the tools read `file` as the viewer shows it: with the object path and password given, else
// the world's (a relative object path of the world taken from the file's own folder, as the
// viewer reads a file named on its command line), the action given and the user's disk cache for
// web object paths.
WorldReadOptions ToolReadOptions(const std::string& file, const ToolInputs& inputs) {
    WorldReadOptions options;
    const std::string worldObjectPath = inputs.world ? LookOf(*inputs.world).objectPath : std::string();
    if (inputs.objectPath)
        options.objectPath = *inputs.objectPath;
    else if (!worldObjectPath.empty())
        options.objectPath = IsWebObjectPath(worldObjectPath)
                                 ? worldObjectPath
                                 : InFolder(ParentPart(AbsolutePath(file)), worldObjectPath);
    options.read.archivePassword = inputs.password.value_or(inputs.world ? inputs.world->password : std::string());
    options.action = inputs.action;
    options.cacheRoot = UserCacheRoot(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    return options;
}

// Reads `path` the way the viewer does when it is given that path (see ToolReadOptions), showing
// how far it has come on `err` when that is a terminal.
Loaded LoadAsViewer(const std::string& path, const ToolInputs& inputs, std::ostream& err) {
    ErrorLog log;
    Loaded loaded;
    WorldReadOptions options = ToolReadOptions(path, inputs);
    ProgressLine progress(err, IsTerminalStandardError(err));
    options.progress = progress.Teller();
    loaded.scene = ReadShownAsViewer(path, log, options);
    // Scale and visibility as the actions leave them; their images are the viewer's concern.
    LookOptions looks;
    looks.images = false;
    CarryOutActions(loaded.scene, &log, looks);
    loaded.errors = log.Lines();
    loaded.places.reserve(log.LineCount());
    for (std::size_t i = 0; i < log.LineCount(); ++i) loaded.places.push_back(log.PlaceOf(i));
    return loaded;
}

struct Counts {
    int64_t files = 0, objects = 0, clumps = 0, prototypes = 0, vertices = 0, triangles = 0, translucent = 0,
            textures = 0, errors = 0;
    void Add(const Counts& o) {
        files += o.files;
        objects += o.objects;
        clumps += o.clumps;
        prototypes += o.prototypes;
        vertices += o.vertices;
        triangles += o.triangles;
        translucent += o.translucent;
        textures += o.textures;
        errors += o.errors;
    }
};

Counts CountsOf(const Loaded& loaded) {
    Counts c;
    c.files = 1;
    // Every object that shows a model counts, shared models once for each object placing them;
    // each model is counted once.
    std::unordered_map<const RWXObject*, Counts> byModel;
    for (const PlacedObject& placed : loaded.scene.objects) {
        const RWXObject* model = loaded.scene.ModelOf(placed);
        if (!model) continue;
        ++c.objects;
        auto [it, added] = byModel.try_emplace(model);
        Counts& m = it->second;
        if (added) {
            const RWXObject& object = *model;
            for (const auto& top : object.Clumps())
                ForEachClump(*top, [&](const TClump& clump) {
                    ++m.clumps;
                    m.vertices += clump.VertexCount();
                });
            m.prototypes = static_cast<int64_t>(object.Prototypes().size());
            m.triangles = object.CountTriangles();
            m.translucent = object.CountTranslucentTriangles();
            m.textures = static_cast<int64_t>(object.Textures().size());
        }
        c.clumps += m.clumps;
        c.vertices += m.vertices;
        c.prototypes += m.prototypes;
        c.triangles += m.triangles;
        c.translucent += m.translucent;
        c.textures += m.textures;
    }
    c.errors = static_cast<int64_t>(loaded.errors.size());
    return c;
}

void PrintCounts(std::ostream& out, const Counts& c) {
    out << "objects " << c.objects << ", clumps " << c.clumps << ", prototypes " << c.prototypes << ", vertices "
        << c.vertices << ", triangles " << c.triangles << ", translucent " << c.translucent << ", textures "
        << c.textures << ", errors " << c.errors;
}

bool IsRwxFile(const std::filesystem::path& p) {
    return IsScriptName(p.filename().string());
}

bool IsModelFile(const std::filesystem::path& p) {
    const std::string name = p.filename().string();
    return IsScriptName(name) || IsZipName(name);
}

// The files a --check (or --registry) argument stands for: a folder gives the files below it that
// `wanted` accepts (.rwx files by default), sorted.
std::vector<std::string> Expand(const std::string& arg, std::ostream& err,
                                bool (*wanted)(const std::filesystem::path&) = IsRwxFile) {
    if (!IsDirectory(arg)) return {arg};
    std::vector<std::string> files;
    std::error_code ec;
    namespace fs = std::filesystem;
    fs::recursive_directory_iterator it(ResolvePath(arg), fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        err << "pelorus: cannot read folder \"" << EscapeForTerminal(arg) << "\": " << ec.message() << "\n";
        return files;
    }
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (it->is_regular_file(typeError) && wanted(it->path())) files.push_back(it->path().string());
    }
    if (ec) err << "pelorus: error while reading folder \"" << EscapeForTerminal(arg) << "\": " << ec.message() << "\n";
    std::sort(files.begin(), files.end());
    return files;
}

// The summary of an object dump: its objects (of type 0), the distinct models they show, the
// models not found and the objects of other types.
void PrintDumpCounts(std::ostream& out, const Loaded& loaded) {
    int64_t objects = 0, others = 0;
    for (const PlacedObject& o : loaded.scene.objects) ++(o.type == 0 ? objects : others);
    out << "objects " << objects << ", distinct models " << loaded.scene.models.size() << ", models not found "
        << loaded.scene.missingModels.size() << ", objects of other types " << others << ", errors "
        << loaded.errors.size();
}

// The commands of the objects' actions (objects of type 0) that are accepted and not carried out,
// each distinct action read once.
CommandsNotCarriedOut NotCarriedOut(const SceneObjects& scene) {
    std::unordered_map<std::string_view, int64_t> actions;
    for (const PlacedObject& o : scene.objects)
        if (o.type == 0)
            if (const std::string_view action = scene.Action(o); !action.empty()) ++actions[action];
    CommandsNotCarriedOut counts;
    for (const auto& [action, objects] : actions) counts.Add(ParseAction(action), objects);
    return counts;
}

int Check(const std::vector<std::string>& args, const ToolInputs& inputs, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "pelorus: --check needs at least one file or folder\n" << kUsage;
        return 2;
    }
    Counts total;
    bool folderGiven = false;
    for (const std::string& arg : args) {
        folderGiven = folderGiven || IsDirectory(arg);
        for (const std::string& file : Expand(arg, err)) {
            const Loaded loaded = LoadAsViewer(file, inputs, err);
            // Scripts are anybody's text: nothing of them reaches the terminal unescaped.
            const std::string shown = EscapeForTerminal(file);
            for (std::size_t i = 0; i < loaded.errors.size(); ++i)
                out << TerminalErrorLine(loaded.errors[i], loaded.places[i], file) << "\n";
            const Counts c = CountsOf(loaded);
            out << shown << ": ";
            // A dump of a version that cannot be read is still summed up as a dump.
            if (loaded.scene.dumpVersion > 0 || IsDumpFile(file))
                PrintDumpCounts(out, loaded);
            else
                PrintCounts(out, c);
            out << "\n";
            if (const CommandsNotCarriedOut unused = NotCarriedOut(loaded.scene); unused.Total() > 0)
                out << shown << ": commands not carried out: " << EscapeForTerminal(unused.Text()) << "\n";
            total.Add(c);
        }
    }
    if (folderGiven || args.size() > 1) {
        out << "total: files " << total.files << ", ";
        PrintCounts(out, total);
        out << "\n";
    }
    out.flush();
    return total.errors > 0 ? 1 : 0;
}

void WriteColor(JsonWriter& j, const RGB& c) {
    j.Raw("[").Number(c.r).Raw(",").Number(c.g).Raw(",").Number(c.b).Raw("]");
}

void WriteMaterial(JsonWriter& j, const RWXMaterial& m) {
    j.Raw("{").Key("geometry_sampling").Int(static_cast<int>(m.geometrySampling));
    j.Raw(", ").Key("axis_alignment").Int(static_cast<int>(m.axisAlignment));
    j.Raw(", ").Key("light_sampling").Int(static_cast<int>(m.lightSampling));
    j.Raw(", ").Key("color");
    WriteColor(j, m.color);
    j.Raw(", ").Key("ambient");
    WriteColor(j, m.ambient);
    j.Raw(", ").Key("diffuse");
    WriteColor(j, m.diffuse);
    j.Raw(", ").Key("specular");
    WriteColor(j, m.specular);
    j.Raw(", ").Key("opacity").Number(m.opacity);
    j.Raw(", ").Key("texture").Int(m.TextureIndex());
    j.Raw(", ").Key("frames").Int(m.frameCount);
    j.Raw(", ").Key("texture_modes").Int(m.textureModes);
    j.Raw(", ").Key("material_modes").Int(m.materialModes);
    j.Raw(", ").Key("mipmapping").Int(m.mipmapping);
    j.Raw(", ").Key("mask").Int(m.mask);
    j.Raw(", ").Key("address_mode").Int(static_cast<int>(m.addressMode));
    j.Raw("}");
}

void WriteClumpBody(JsonWriter& j, const TClump& c) {
    j.Key("vertices").Raw("[");
    bool first = true;
    for (const TVertex& v : c.Vertices()) {
        j.Raw(first ? "[" : ", [");
        first = false;
        const double values[11] = {v.x, v.y, v.z, v.u, v.v, v.nx, v.ny, v.nz, v.r, v.g, v.b};
        for (int i = 0; i < 11; ++i) {
            if (i) j.Raw(",");
            j.Number(values[i]);
        }
        j.Raw("]");
    }
    j.Raw("], ").Key("batches").Raw("[");
    first = true;
    for (const auto& batch : c.Batches()) {
        j.Raw(first ? "{" : ", {");
        first = false;
        j.Key("tag").Int(batch->Tag()).Raw(", ");
        j.Key("material");
        WriteMaterial(j, batch->Material());
        j.Raw(", ").Key("triangles").Raw("[");
        bool firstTri = true;
        for (const TTriangle& t : batch->Triangles()) {
            j.Raw(firstTri ? "[" : ", [").Int(t[0]).Raw(",").Int(t[1]).Raw(",").Int(t[2]).Raw("]");
            firstTri = false;
        }
        j.Raw("]");
        if (batch->Material().IsFacet()) {
            j.Raw(", ").Key("face_normals").Raw("[");
            bool firstNormal = true;
            for (const Vec3& n : batch->FaceNormals()) {
                j.Raw(firstNormal ? "[" : ", [").Number(n.x).Raw(",").Number(n.y).Raw(",").Number(n.z).Raw("]");
                firstNormal = false;
            }
            j.Raw("]");
        }
        j.Raw("}");
    }
    j.Raw("], ").Key("children").Raw("[");
}

// Writes a clump and its descendants without recursion; `name` is written first when given.
void WriteClump(JsonWriter& j, const TClump& root, const std::string* name) {
    j.Raw("{");
    if (name) j.Key("name").String(*name).Raw(", ");
    WriteClumpBody(j, root);
    struct Frame {
        const TClump* clump;
        std::size_t next;
    };
    std::vector<Frame> stack{{&root, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.clump->Children().size()) {
            const TClump* child = top.clump->Children()[top.next].get();
            j.Raw(top.next > 0 ? ", {" : "{");
            ++top.next;
            WriteClumpBody(j, *child);
            stack.push_back({child, 0});
        } else {
            j.Raw("]}");
            stack.pop_back();
        }
    }
}

// What is read of one model: its clumps, prototypes, textures and counts, after whatever the
// caller wrote of the object (without the closing brace).
void WriteModelBody(JsonWriter& j, const RWXObject& o) {
    j.Raw(", ").Key("clumps").Raw("[");
    for (std::size_t i = 0; i < o.Clumps().size(); ++i) {
        if (i) j.Raw(", ");
        WriteClump(j, *o.Clumps()[i], nullptr);
    }
    j.Raw("], ").Key("prototypes").Raw("[");
    for (std::size_t i = 0; i < o.Prototypes().size(); ++i) {
        if (i) j.Raw(", ");
        WriteClump(j, *o.Prototypes()[i], &o.Prototypes()[i]->Name());
    }
    j.Raw("], ").Key("textures").Raw("[");
    for (std::size_t i = 0; i < o.Textures().size(); ++i) {
        const TTexture& t = o.Textures()[i];
        if (i) j.Raw(", ");
        j.Raw("{").Key("name").String(t.name);
        j.Raw(", ").Key("width").Int(t.width);
        j.Raw(", ").Key("height").Int(t.height);
        j.Raw(", ").Key("frames").Int(t.frameCount);
        j.Raw(", ").Key("address_mode").Int(static_cast<int>(t.addressMode));
        j.Raw(", ").Key("mipmapped").Int(t.mipmapped);
        j.Raw(", ").Key("mask").Int(t.hasMask);
        j.Raw("}");
    }
    j.Raw("], ").Key("triangles").Int(o.CountTriangles());
    j.Raw(", ").Key("translucent").Int(o.CountTranslucentTriangles());
}

void WriteObject(JsonWriter& j, const RWXObject& o, const std::array<double, 3>& offset, std::string_view shownPath,
                 const std::function<void()>& more = {}) {
    j.Raw("{").Key("path").String(shownPath);
    j.Raw(", ").Key("offset").Raw("[").Number(offset[0]).Raw(",").Number(offset[1]).Raw(",");
    j.Number(offset[2]).Raw("]");
    WriteModelBody(j, o);
    if (more) more();
    j.Raw("}");
}

// "applied" and "ignored": the commands of the object's create section as written.
void WriteActionOutcome(JsonWriter& j, const SceneObjects& scene, const PlacedObject& o) {
    const ActionReport report = ReportAction(scene, o);
    for (const auto& [key, list] : {std::pair{"applied", &report.applied}, std::pair{"ignored", &report.ignored}}) {
        j.Raw(", ").Key(key).Raw("[");
        for (std::size_t i = 0; i < list->size(); ++i) {
            if (i) j.Raw(", ");
            j.String((*list)[i]);
        }
        j.Raw("]");
    }
}

void WriteScaleAndVisible(JsonWriter& j, const PlacedObject& o) {
    const Placement& p = o.placement;
    j.Raw(", ").Key("scale").Raw("[").Float(p.scale[0]).Raw(",").Float(p.scale[1]).Raw(",");
    j.Float(p.scale[2]).Raw("]");
    j.Raw(", ").Key("visible").Raw(o.visible ? "true" : "false");
}

void WriteErrors(JsonWriter& j, const std::vector<std::string>& errors) {
    j.Raw("{").Key("errors").Raw("[");
    for (std::size_t i = 0; i < errors.size(); ++i) {
        if (i) j.Raw(", ");
        j.String(errors[i]);
    }
    j.Raw("]");
}

// An object dump: its objects, each naming its model by index, then each distinct model once.
void WriteDumpScene(JsonWriter& j, const Loaded& loaded, std::ostream& out) {
    const SceneObjects& scene = loaded.scene;
    WriteErrors(j, loaded.errors);
    j.Raw(",\n ").Key("objects").Raw("[");
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const PlacedObject& o = scene.objects[i];
        const Placement& p = o.placement;
        if (i) j.Raw(",\n  ");
        j.Raw("{").Key("line").Int(o.line);
        j.Raw(", ").Key("name").String(scene.Name(o));
        j.Raw(", ").Key("model").Int(o.HasModel() ? static_cast<int64_t>(o.model) : -1);
        j.Raw(", ").Key("position").Raw("[").Number(p.position[0]).Raw(",").Number(p.position[1]).Raw(",");
        j.Number(p.position[2]).Raw("]");
        j.Raw(", ").Key("yaw").Float(p.yaw);
        j.Raw(", ").Key("tilt").Float(p.tilt);
        j.Raw(", ").Key("roll").Float(p.roll);
        WriteScaleAndVisible(j, o);
        j.Raw(", ").Key("type").Int(o.type);
        j.Raw(", ").Key("description").String(scene.Description(o));
        j.Raw(", ").Key("action").String(scene.Action(o));
        if (!scene.Action(o).empty()) WriteActionOutcome(j, scene, o);
        j.Raw("}");
        // Written as it goes: a world's objects are many.
        if (j.Text().size() > (std::size_t{1} << 20)) {
            out << j.Text();
            j.Text().clear();
        }
    }
    j.Raw("],\n ").Key("models").Raw("[");
    for (std::size_t m = 0; m < scene.models.size(); ++m) {
        if (m) j.Raw(",\n  ");
        j.Raw("{").Key("name").String(scene.modelNames[m]);
        j.Raw(", ").Key("path").String(scene.models[m]->File());
        WriteModelBody(j, *scene.models[m]);
        j.Raw("}");
        out << j.Text();
        j.Text().clear();
    }
    j.Raw("]}\n");
    out << j.Text();
    j.Text().clear();
}

// WriteDump with what the tool was given, showing how far reading has come on `err` when that is
// a terminal.
void WriteDumpOf(const std::string& path, const ToolInputs& inputs, std::ostream& out, std::ostream& err) {
    const Loaded loaded = LoadAsViewer(path, inputs, err);
    JsonWriter j(out);
    const SceneObjects& scene = loaded.scene;
    if (scene.dumpVersion > 0) {
        WriteDumpScene(j, loaded, out);
        return;
    }
    WriteErrors(j, loaded.errors);
    j.Raw(",\n ").Key("objects").Raw("[");
    if (IsScriptName(path) || IsZipName(path) || ImportFormatOf(path).has_value()) {
        // One object, named by the path given: a script, a zipped model or an imported one.
        bool first = true;
        for (const PlacedObject& o : scene.objects) {
            const RWXObject* model = scene.ModelOf(o);
            if (!model) continue;
            if (!first) j.Raw(",\n  ");
            first = false;
            WriteObject(j, *model, o.placement.position, path, [&] {
                // The object as the action leaves it, after its model.
                if (scene.Action(o).empty()) return;
                j.Raw(", ").Key("action").String(scene.Action(o));
                WriteActionOutcome(j, scene, o);
                WriteScaleAndVisible(j, o);
            });
        }
        j.Raw("]}\n");
        return;
    }
    // An object map: each object names its entry and its model; each model is written once.
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        if (i) j.Raw(",\n  ");
        const PlacedObject& o = scene.objects[i];
        const auto& offset = o.placement.position;
        j.Raw("{").Key("path").String(scene.Name(o));
        j.Raw(", ").Key("offset").Raw("[").Number(offset[0]).Raw(",").Number(offset[1]).Raw(",");
        j.Number(offset[2]).Raw("]");
        j.Raw(", ").Key("model").Int(o.HasModel() ? static_cast<int64_t>(o.model) : -1).Raw("}");
    }
    j.Raw("],\n ").Key("models").Raw("[");
    for (std::size_t m = 0; m < scene.models.size(); ++m) {
        if (m) j.Raw(",\n  ");
        j.Raw("{").Key("name").String(scene.modelNames[m]);
        j.Raw(", ").Key("path").String(scene.models[m]->File());
        WriteModelBody(j, *scene.models[m]);
        j.Raw("}");
    }
    j.Raw("]}\n");
}

}  // namespace

void WriteDump(const std::string& path, const std::string& objectPath, std::ostream& out, const std::string& action,
               const std::string& password) {
    ToolInputs inputs;
    inputs.objectPath = objectPath;
    inputs.password = password;
    inputs.action = action;
    WriteDumpOf(path, inputs, out, std::cerr);
}

std::string DumpScene(const std::string& path, const std::string& objectPath, const std::string& action,
                      const std::string& password) {
    std::ostringstream out;
    WriteDump(path, objectPath, out, action, password);
    return std::move(out).str();
}

ObjectPathArgument TakeObjectPath(std::vector<std::string>& args) {
    ObjectPathArgument taken;
    std::vector<std::string> rest;
    rest.reserve(args.size());
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!optionsEnded && args[i] == kActionOption) {
            if (i + 1 >= args.size())
                taken.error = "--action needs an action, such as \"create color red\"";
            else
                taken.action = args[i + 1];
            ++i;
            continue;
        }
        if (!optionsEnded && args[i] == kObjectPasswordOption) {
            if (i + 1 >= args.size())
                taken.error = "--object-password needs a password";
            else
                taken.password = args[++i];
            continue;
        }
        if (optionsEnded || args[i] != kObjectPathOption) {
            optionsEnded = optionsEnded || args[i] == "--";
            rest.push_back(std::move(args[i]));
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            taken.error = "--object-path needs a folder";
            ++i;
            continue;
        }
        // A web address is kept as given; a folder is made absolute.
        ++i;
        taken.folder = IsWebObjectPath(args[i]) ? args[i] : AbsolutePath(args[i]);
    }
    args = std::move(rest);
    return taken;
}

bool NeedsWindowSystem(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    TakeObjectPath(args);
    if (args.empty()) return true;
    const std::string& first = args[0];
    if (first == "--screenshot" || first == "--thumbnail" || first == kAtOption) return true;
    return !first.starts_with("-") || first == "--" || first == "-";
}

bool TakeLocationArgument(std::vector<std::string>& args, std::optional<Location>& at, std::string& error) {
    if (args.empty() || args[0] != kAtOption) return true;
    if (args.size() < 2) {
        error = "--at needs a location, such as \"2.5N 3W\"";
        return false;
    }
    std::string why;
    at = ParseLocation(args[1], why);
    if (!at) {
        error = "bad location \"" + args[1] + "\" for --at: " + why;
        return false;
    }
    args.erase(args.begin(), args.begin() + 2);
    return true;
}

std::string TerminalErrorLine(std::string_view text, const LogPlace& place, std::string_view argument) {
    if (place.line == 0 || place.file.empty()) return EscapeForTerminal(argument) + ": " + EscapeForTerminal(text);
    std::string file = place.file;
    if (!argument.empty() && file == ResolvePath(AbsolutePath(ToSlashes(argument)))) {
        file = std::string(argument);
    } else {
        std::string here = CurrentDirectory();
        if (!here.empty() && here.back() != '/') here.push_back('/');
        if (here.size() > 1 && file.size() > here.size() && file.starts_with(here)) file.erase(0, here.size());
    }
    if (!place.member.empty()) file += ":" + place.member;
    return EscapeForTerminal(file) + ":" + std::to_string(place.line) + ": " + EscapeForTerminal(text);
}

std::string_view UsageText() {
    return kUsage;
}

namespace {

// The arguments after the tool's name, without the first "--" (which only ends the options).
std::vector<std::string> Operands(const std::vector<std::string>& args) {
    std::vector<std::string> operands(args.begin() + 1, args.end());
    const auto endOfOptions = std::find(operands.begin(), operands.end(), "--");
    if (endOfOptions != operands.end()) operands.erase(endOfOptions);
    return operands;
}

// The kind an export output's name asks for; one that names none refuses every name but those.
OutputKind ExportKindOf(std::string_view output) {
    if (GltfFormOf(output)) return GltfOutput();
    if (output.size() > 4 && EndsWithNoCase(output, ".rwx")) return ScriptOutput();
    if (output.size() > 4 && EndsWithNoCase(output, ".zip")) return ZippedModelOutput();
    return {{".glb", ".gltf", ".rwx", ".zip"}, "a model", [](std::string_view) { return false; }};
}

// Prints `file`'s error lines on `err`, as --check does.
void PrintErrors(const ErrorLog& log, const std::string& file, std::ostream& err) {
    for (std::size_t i = 0; i < log.LineCount(); ++i)
        err << TerminalErrorLine(log.Line(i), log.PlaceOf(i), file) << "\n";
}

void PrintScriptCounts(std::ostream& out, const std::string& written, const ScriptCounts& c) {
    out << EscapeForTerminal(written) << ": entries " << c.entries << ", clumps " << c.clumps << ", vertices "
        << c.vertices << ", triangles " << c.triangles << " (in " << c.quads << " quads), textures " << c.textures
        << "\n";
}

// Takes "--world VALUE" out of a tool's options (args[0] is the tool; up to the "--" that ends
// them), the last one given into `world`. False with `error` set when one comes without a value.
bool TakeWorldOption(std::vector<std::string>& args, std::optional<std::string>& world, std::string& error) {
    for (std::size_t i = 1; i < args.size() && args[i] != "--";) {
        if (args[i] != "--world") {
            ++i;
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1] == "--") {
            error = "--world needs a world name or file";
            return false;
        }
        world = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    }
    return true;
}

// The arguments of --export: "--at LOCATION" and "--draw-distance METRES" before "--" are taken
// out; the rest, without the first "--", are its operands. False with `error` set for an option
// without a value or with one that does not read.
struct ExportArgs {
    std::vector<std::string> operands;
    std::optional<Location> at;
    double drawDistanceMetres = 0;  // 0: all
};
bool ReadExportArgs(const std::vector<std::string>& args, ExportArgs& read, std::string& error) {
    bool ended = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!ended && a == "--") {
            ended = true;
            continue;
        }
        if (ended || (a != kAtOption && a != "--draw-distance")) {
            read.operands.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (a == kAtOption) {
            std::string why;
            read.at = ParseLocation(value, why);
            if (!read.at) {
                error = "bad location \"" + EscapeForTerminal(value) + "\" for --at: " + why;
                return false;
            }
            continue;
        }
        double metres = 0;
        const char* end = value.data() + value.size();
        const auto [next, ec] = std::from_chars(value.data(), end, metres);
        if (ec != std::errc{} || next != end || !(metres > 0) || !std::isfinite(metres)) {
            error = "--draw-distance needs a distance in metres above 0, not \"" + EscapeForTerminal(value) + "\"";
            return false;
        }
        read.drawDistanceMetres = metres;
    }
    return true;
}

// The world "--world VALUE" names, for a tool that reads files: nullopt, with the reason on
// `err`, when it cannot be read. The problems of an attribute dump that reads are shown on `err`.
std::optional<WorldSettings> ReadToolWorld(const std::string& value, std::ostream& err) {
    ErrorLog log;
    std::string error;
    std::optional<WorldSettings> settings = ReadWorldArgument(value, CurrentDirectory(), log, error);
    if (!settings) {
        err << "pelorus: " << error << "\n";
        return std::nullopt;
    }
    for (const std::string& line : log.Lines()) err << "pelorus: " << EscapeForTerminal(line) << "\n";
    return settings;
}

int Export(const std::vector<std::string>& args, ToolInputs inputs, const std::optional<std::string>& world,
           std::ostream& out, std::ostream& err) {
    ExportArgs exportArgs;
    std::string argError;
    if (!ReadExportArgs(args, exportArgs, argError)) {
        err << "pelorus: " << argError << "\n" << kUsage;
        return 2;
    }
    const std::vector<std::string>& operands = exportArgs.operands;
    if (operands.size() != 2) {
        err << "pelorus: --export needs the name of the file to write and one FILE\n" << kUsage;
        return 2;
    }
    const std::string& output = operands[0];
    const std::string& file = operands[1];
    // Before anything is read: a forgotten or mistyped output name must not cost a file.
    std::vector<std::string> given = {file};
    if (world) given.push_back(WorldFileOfArgument(*world, CurrentDirectory()));
    if (const std::optional<std::string> refused = CheckOutputFile(output, ExportKindOf(output), given)) {
        err << "pelorus: " << EscapeForTerminal(*refused) << "\n";
        return 2;
    }
    if (world && !(inputs.world = ReadToolWorld(*world, err))) return 1;
    ErrorLog log;
    WorldReadOptions options = ToolReadOptions(file, inputs);
    ProgressLine progress(err, IsTerminalStandardError(err));
    options.progress = progress.Teller();
    // Of a world with a draw distance, only the models of what is written are read.
    std::unique_ptr<ModelSupply> supply;
    const double distance = exportArgs.drawDistanceMetres / kMetresPerUnit;
    if (distance > 0) options.modelsOnDemand = &supply;
    TObjectMap scene(ReadShownAsViewer(file, log, options), &log);
    progress.Erase();
    std::vector<ExportEntry> entries;
    const SceneObjects& read = scene.Read();
    if (read.dumpVersion > 0 && distance > 0) {
        const Camera opening = WorldOpeningCamera(read, {}, 1.0);
        const Vec3 centre = exportArgs.at ? Vec3{exportArgs.at->x, exportArgs.at->y, exportArgs.at->z}
                                          : Vec3{opening.targetX, opening.targetY, opening.targetZ};
        if (supply) {
            ModelFeed feed(std::move(supply), read.objects, read.models.size());
            FeedAndWait(feed, scene, centre, distance, log);
        }
        entries = SceneEntriesNear(scene, centre, distance);
    } else {
        entries = SceneEntries(scene);
    }
    PrintErrors(log, file, err);
    std::optional<SaveProblem> problem;
    if (GltfFormOf(output)) {
        const ExportResult result = ExportToFile(output, entries, file);
        problem = result.problem;
        if (!problem) {
            const GltfCounts& c = result.counts;
            out << EscapeForTerminal(output) << ": entries " << c.entries << ", nodes " << c.nodes << ", meshes "
                << c.meshes << ", primitives " << c.primitives << ", triangles " << c.triangles << ", materials "
                << c.materials << ", images " << c.images << "\n";
        }
    } else {
        const bool zipped = EndsWithNoCase(output, ".zip");
        const ScriptResult result = zipped ? SaveZippedModel(output, entries, file) : SaveScript(output, entries, file);
        problem = result.problem;
        if (!problem) {
            for (const std::string& note : result.notes) err << "pelorus: " << EscapeForTerminal(note) << "\n";
            PrintScriptCounts(out, output, result.counts);
        }
    }
    out.flush();
    err.flush();
    if (problem) {
        err << "pelorus: " << EscapeForTerminal(problem->message) << "\n";
        return problem->refused ? 2 : 1;
    }
    return log.Lines().empty() ? 0 : 1;
}

int ExportObjectPath(const std::vector<std::string>& operands, const ToolInputs& inputs, std::ostream& out,
                     std::ostream& err) {
    if (operands.size() < 2) {
        err << "pelorus: --export-object-path needs a folder and at least one FILE\n" << kUsage;
        return 2;
    }
    const std::string& folder = operands[0];
    if (!IsDirectory(folder)) {
        err << "pelorus: refusing to write into \"" << EscapeForTerminal(folder) << "\": it is not a folder\n";
        return 2;
    }
    int status = 0;
    std::set<std::string> names;
    for (std::size_t i = 1; i < operands.size(); ++i) {
        const std::string& file = operands[i];
        std::string stem(FileNamePart(ToSlashes(file)));
        if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
        const std::string base = ScriptName(stem, kMaxTextureBaseName);
        std::string name = base;
        for (int n = 2; names.contains(name); ++n) name = base + "_" + std::to_string(n);
        names.insert(name);
        ErrorLog log;
        WorldReadOptions options = ToolReadOptions(file, inputs);
        ProgressLine progress(err, IsTerminalStandardError(err));
        options.progress = progress.Teller();
        const TObjectMap scene(ReadShownAsViewer(file, log, options), &log);
        progress.Erase();
        PrintErrors(log, file, err);
        if (!log.Lines().empty()) status = std::max(status, 1);
        const std::vector<ExportEntry> entries = SceneEntries(scene);
        const ScriptResult result = SaveToObjectPath(folder, name, entries, file);
        if (result.problem) {
            err << "pelorus: " << EscapeForTerminal(result.problem->message) << "\n";
            status = std::max(status, result.problem->refused ? 2 : 1);
            continue;
        }
        for (const std::string& note : result.notes) err << "pelorus: " << EscapeForTerminal(note) << "\n";
        PrintScriptCounts(out, JoinPath(JoinPath(folder, "models"), name + ".zip"), result.counts);
    }
    out.flush();
    err.flush();
    return status;
}

int Registry(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "pelorus: --registry needs at least one model or folder\n" << kUsage;
        return 2;
    }
    bool failed = false;
    for (const std::string& arg : args) {
        for (const std::string& file : Expand(arg, err, IsModelFile)) {
            const std::string shown = EscapeForTerminal(file);
            if (!IsModelFile(file)) {
                err << "pelorus: " << shown << ": not a model (a script .rwx or a zipped model .zip)\n";
                failed = true;
                continue;
            }
            ErrorLog log;
            const SceneObjects scene = ReadAsViewer(file, log);
            const RWXObject* model = scene.objects.size() == 1 ? scene.ModelOf(scene.objects[0]) : nullptr;
            // The model as written: a script's placement offset is no part of its size.
            const Bounds bounds = model ? ObjectBounds(*model, {0, 0, 0}) : Bounds{};
            const std::optional<std::string> line = RegistryLine(EscapeForTerminal(RegistryName(file)), bounds);
            if (line) {
                out << *line << "\n";
                continue;
            }
            failed = true;
            err << "pelorus: " << shown << ": ";
            if (!log.Lines().empty() && bounds.Empty())
                err << EscapeForTerminal(log.Lines().front()) << "\n";
            else if (bounds.Empty())
                err << "no vertex to measure\n";
            else
                err << "too large for a registry line\n";
        }
    }
    out.flush();
    return failed ? 1 : 0;
}

}  // namespace

std::optional<int> RunCommandLine(const std::vector<std::string>& given, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = given;
    const ObjectPathArgument objectPathArgument = TakeObjectPath(args);
    if (!objectPathArgument.error.empty()) {
        err << "pelorus: " << objectPathArgument.error << "\n" << kUsage;
        return 2;
    }
    if (args.empty()) return std::nullopt;
    ToolInputs inputs;
    inputs.objectPath = objectPathArgument.folder;
    inputs.password = objectPathArgument.password;
    inputs.action = objectPathArgument.action.value_or(std::string());
    const std::string first = args[0];
    if (first == "--") return std::nullopt;       // the viewer's FILE follows, whatever it looks like
    if (first == kAtOption) return std::nullopt;  // the viewer, at a location
    std::optional<std::string> world;
    if (first == "--check" || first == "--dump" || first == "--export") {
        std::string error;
        if (!TakeWorldOption(args, world, error)) {
            err << "pelorus: " << error << "\n" << kUsage;
            return 2;
        }
        // An empty name names no file: a slip of the shell (an unset variable), not an empty model.
        const std::vector<std::string> operands = Operands(args);
        if (std::find(operands.begin(), operands.end(), std::string()) != operands.end()) {
            err << "pelorus: " << first << " was given an empty file name\n" << kUsage;
            return 2;
        }
    }
    if (first == "--help" || first == "-h") {
        out << kUsage;
        return 0;
    }
    if (first == "--version") {
        out << "pelorus " << kProgramVersion << "\n";
        return 0;
    }
    if (first == "--check") {
        const std::vector<std::string> files = Operands(args);
        if (world && !files.empty() && !(inputs.world = ReadToolWorld(*world, err))) return 1;
        return Check(files, inputs, out, err);
    }
    if (first == "--dump") {
        const std::vector<std::string> files = Operands(args);
        if (files.size() != 1) {
            err << "pelorus: --dump needs exactly one file\n" << kUsage;
            return 2;
        }
        if (world && !(inputs.world = ReadToolWorld(*world, err))) return 1;
        WriteDumpOf(files[0], inputs, out, err);
        out.flush();
        if (!out) {
            err << "pelorus: the dump could not be written\n";
            return 1;
        }
        return 0;
    }
    if (first == "--export") return Export(args, inputs, world, out, err);
    if (first == "--export-object-path") return ExportObjectPath(Operands(args), inputs, out, err);
    if (first == "--registry") return Registry(Operands(args), out, err);
    if (first == "--pick") return RunPick(given, out, err);
    if (first.starts_with("--")) {
        err << "pelorus: unknown option " << EscapeForTerminal(first) << "\n" << kUsage;
        return 2;
    }
    return std::nullopt;
}

}  // namespace pelorus
