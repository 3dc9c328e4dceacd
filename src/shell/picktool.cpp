#include "shell/picktool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "net/webaddress.h"
#include "platform/errorlog.h"
#include "platform/paths.h"
#include "platform/textsafety.h"
#include "scene/framing.h"
#include "scene/viewmath.h"
#include "shell/cli.h"
#include "shell/jsonwriter.h"
#include "shell/progressline.h"
#include "shell/userfolders.h"
#include "shell/viewershell.h"
#include "shell/viewrequest.h"
#include "shell/worldimport.h"
#include "shell/worlds.h"
#include "world/worldload.h"

namespace pelorus {
namespace {

std::string_view GeometrySamplingName(GeometrySampling g) {
    switch (g) {
        case GeometrySampling::PointCloud:
            return "pointcloud";
        case GeometrySampling::WireFrame:
            return "wireframe";
        case GeometrySampling::Solid:
            return "solid";
    }
    return "?";
}

std::string_view AxisAlignmentName(AxisAlignment a) {
    switch (a) {
        case AxisAlignment::None:
            return "none";
        case AxisAlignment::ZOrientX:
            return "zorientx";
        case AxisAlignment::ZOrientY:
            return "zorienty";
        case AxisAlignment::XYZ:
            return "xyz";
    }
    return "?";
}

std::string_view AddressModeName(AddressMode a) {
    switch (a) {
        case AddressMode::Wrap:
            return "wrap";
        case AddressMode::Mirror:
            return "mirror";
        case AddressMode::Clamp:
            return "clamp";
    }
    return "?";
}

// The texture modes as the script's words name them.
std::vector<std::string_view> TextureModeNames(uint8_t modes) {
    std::vector<std::string_view> names;
    if (modes & kTextureLit) names.push_back("lit");
    if (modes & kTextureForeshorten) names.push_back("foreshorten");
    if (modes & kTextureFilter) names.push_back("filter");
    return names;
}

std::vector<std::string_view> MaterialModeNames(uint8_t modes) {
    std::vector<std::string_view> names;
    if (modes & kMaterialDouble) names.push_back("double");
    return names;
}

void WriteNames(JsonWriter& j, const std::vector<std::string_view>& names) {
    j.Raw("[");
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) j.Raw(", ");
        j.String(names[i]);
    }
    j.Raw("]");
}

void WriteRgb(JsonWriter& j, const RGB& c) {
    j.Raw("[").Number(c.r).Raw(", ").Number(c.g).Raw(", ").Number(c.b).Raw("]");
}

void WriteLine(JsonWriter& j, uint32_t line) {
    if (line == 0)
        j.Raw("null");
    else
        j.Int(line);
}

std::string Joined(const std::vector<std::string_view>& names) {
    std::string out;
    for (std::string_view n : names) {
        if (!out.empty()) out += ", ";
        out += n;
    }
    return out.empty() ? std::string("none") : out;
}

std::string NumberText(double d) {
    JsonWriter j;
    j.Number(d);
    return j.Text();
}

std::string RgbText(const RGB& c) {
    return NumberText(c.r) + ", " + NumberText(c.g) + ", " + NumberText(c.b);
}

}  // namespace

FaceReport FaceReportOf(const TObjectMap& scene, const FaceHit& hit) {
    FaceReport r;
    const RWXObject& object = scene.Object(hit.object);
    r.file = object.File();
    r.line = hit.line;
    r.clumpPath = hit.clumpPath;
    if (hit.instance) {
        r.prototype = hit.instance->proto;
        r.instanceLine = hit.instance->line;
    }
    r.batch = hit.batchIndex;
    r.triangle = hit.triangle;
    r.point = hit.point;
    // The face as drawn: as the object's action changed it, where it did.
    const std::vector<TTexture>* textures = &object.Textures();
    if (hit.batch) {
        r.material = hit.batch->Material();
        r.tag = hit.batch->Tag();
        const ObjectLook* look = hit.object < scene.ObjectCount() ? scene.LookOf(hit.object) : nullptr;
        if (const FaceLook* face = look ? look->variant.LookOf(*hit.batch) : nullptr) {
            r.material = face->material;
            if (face->image != FaceImage::Model) textures = &look->textures;
        }
    }
    r.textureMissing = r.material.textureMissing != 0;
    const int32_t texture = r.material.TextureIndex();
    if (texture >= 0 && static_cast<std::size_t>(texture) < textures->size()) {
        const TTexture& t = (*textures)[static_cast<std::size_t>(texture)];
        r.texture = t.name;
        r.mask = t.maskName;
        r.textureFile = t.fileName;
        r.maskFile = t.maskFile;
    }
    r.object = hit.object;
    r.objectName = std::string(scene.NameOf(hit.object));
    r.objectLine = scene.Placed(hit.object).line;
    r.description = std::string(scene.DescriptionOf(hit.object));
    r.action = std::string(scene.ActionOf(hit.object));
    if (!r.action.empty() && hit.object < scene.ObjectCount()) {
        ActionReport report = ReportAction(scene.Read(), scene.Placed(hit.object));
        r.applied = std::move(report.applied);
        r.ignored = std::move(report.ignored);
    }
    return r;
}

std::string FaceJson(const FaceReport& r) {
    JsonWriter j;
    j.Raw("{").Key("file").String(r.file);
    j.Raw(", ").Key("line");
    WriteLine(j, r.line);
    j.Raw(", ").Key("clump").Raw("[");
    for (std::size_t i = 0; i < r.clumpPath.size(); ++i) {
        if (i) j.Raw(", ");
        j.Int(r.clumpPath[i]);
    }
    j.Raw("], ").Key("prototype");
    if (r.prototype.empty()) {
        j.Raw("null");
    } else {
        j.Raw("{").Key("name").String(r.prototype).Raw(", ").Key("line");
        WriteLine(j, r.instanceLine);
        j.Raw("}");
    }
    j.Raw(", ").Key("batch").Int(r.batch);
    j.Raw(", ").Key("triangle").Int(r.triangle);
    j.Raw(", ").Key("point").Raw("[").Number(r.point.x).Raw(", ").Number(r.point.y).Raw(", ").Number(r.point.z);
    j.Raw("]");
    const RWXMaterial& m = r.material;
    j.Raw(", ").Key("material").Raw("{").Key("color");
    WriteRgb(j, m.color);
    j.Raw(", ").Key("ambient");
    WriteRgb(j, m.ambient);
    j.Raw(", ").Key("diffuse");
    WriteRgb(j, m.diffuse);
    j.Raw(", ").Key("specular");
    WriteRgb(j, m.specular);
    j.Raw(", ").Key("opacity").Number(m.opacity);
    j.Raw(", ").Key("texture_modes");
    WriteNames(j, TextureModeNames(m.textureModes));
    j.Raw(", ").Key("material_modes");
    WriteNames(j, MaterialModeNames(m.materialModes));
    j.Raw(", ").Key("light_sampling").String(m.IsFacet() ? "facet" : "vertex");
    j.Raw(", ").Key("geometry_sampling").String(GeometrySamplingName(m.geometrySampling));
    j.Raw(", ").Key("axis_alignment").String(AxisAlignmentName(m.axisAlignment));
    j.Raw(", ").Key("address_mode").String(AddressModeName(m.addressMode));
    j.Raw("}, ").Key("tag").Int(r.tag);
    j.Raw(", ").Key("texture");
    if (r.texture.empty()) {
        j.Raw("null");
    } else {
        j.Raw("{").Key("name").String(r.texture);
        j.Raw(", ").Key("mask").String(r.mask);
        j.Raw(", ").Key("file").String(r.textureFile);
        j.Raw(", ").Key("mask_file").String(r.maskFile);
        j.Raw("}");
    }
    j.Raw(", ").Key("texture_missing").Raw(r.textureMissing ? "true" : "false");
    j.Raw(", ").Key("object").Raw("{").Key("index").Int(static_cast<int64_t>(r.object));
    j.Raw(", ").Key("name").String(r.objectName);
    j.Raw(", ").Key("line");
    WriteLine(j, r.objectLine);
    j.Raw(", ").Key("description").String(r.description);
    j.Raw(", ").Key("action").String(r.action);
    j.Raw("}}");
    return j.Text();
}

std::vector<std::pair<std::string, std::string>> FaceRows(const FaceReport& r) {
    std::vector<std::pair<std::string, std::string>> rows;
    rows.emplace_back("File:", r.file);
    rows.emplace_back("Line:", r.line ? std::to_string(r.line) : std::string("(none)"));
    std::string path;
    for (int32_t i : r.clumpPath) path += (path.empty() ? "" : " > ") + std::to_string(i + 1);
    rows.emplace_back("Clump:", path);
    rows.emplace_back("Prototype:", r.prototype.empty()
                                        ? std::string("(none)")
                                        : r.prototype + " (instanced on line " + std::to_string(r.instanceLine) + ")");
    rows.emplace_back("Face:",
                      "triangle " + std::to_string(r.triangle + 1) + " of batch " + std::to_string(r.batch + 1));
    rows.emplace_back("Point:", NumberText(r.point.x) + ", " + NumberText(r.point.y) + ", " + NumberText(r.point.z));
    const RWXMaterial& m = r.material;
    rows.emplace_back("Color:", RgbText(m.color));
    rows.emplace_back("Surface:", RgbText(m.ambient) + " / " + RgbText(m.diffuse) + " / " + RgbText(m.specular));
    rows.emplace_back("Opacity:", NumberText(m.opacity));
    rows.emplace_back("Modes:", "texture " + Joined(TextureModeNames(m.textureModes)) + "; material " +
                                    Joined(MaterialModeNames(m.materialModes)));
    rows.emplace_back("Sampling:", std::string(m.IsFacet() ? "facet" : "vertex") + " light, " +
                                       std::string(GeometrySamplingName(m.geometrySampling)) + " geometry");
    std::string texture = r.texture.empty() ? std::string(r.textureMissing ? "(could not be used)" : "(none)")
                                            : r.texture + " (" + r.textureFile + ")";
    rows.emplace_back("Texture:", texture);
    rows.emplace_back("Mask:", r.mask.empty() ? std::string("(none)") : r.mask + " (" + r.maskFile + ")");
    rows.emplace_back("Tag:", std::to_string(r.tag));
    rows.emplace_back("Object:", r.objectName + (r.objectLine ? " (line " + std::to_string(r.objectLine) + ")" : ""));
    rows.emplace_back("Description:", r.description);
    rows.emplace_back("Action:", r.action);
    if (!r.action.empty()) {
        auto list = [](const std::vector<std::string>& commands) {
            std::string text;
            for (const std::string& c : commands) text += (text.empty() ? "" : "; ") + c;
            return text.empty() ? std::string("(none)") : text;
        };
        rows.emplace_back("Applied:", list(r.applied));
        rows.emplace_back("Ignored:", list(r.ignored));
    }
    return rows;
}

int RunPick(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> rest = args;
    const ObjectPathArgument objectPath = TakeObjectPath(rest);
    std::string error = objectPath.error;
    std::optional<PickRequest> request;
    if (error.empty()) {
        if (!rest.empty()) rest.erase(rest.begin());
        request = ParsePickArgs(rest, error);
    }
    if (!request) {
        err << "pelorus: " << error << "\n" << UsageText();
        return 2;
    }
    const ScreenshotRequest& view = request->view;
    {
        struct stat st {};
        ReadStatus why = ReadStatus::kOk;
        const int fd = OpenRegularFile(view.file, st, &why);
        if (fd < 0) {
            err << "pelorus: cannot read \"" << EscapeForTerminal(view.file) << "\": " << ReadStatusText(why) << "\n";
            return 1;
        }
        ::close(fd);
    }
    std::string worldObjectPath, worldPassword;
    WorldLook worldLook;
    if (view.world) {
        ErrorLog worldLog;
        std::string why;
        const std::optional<WorldSettings> settings = ReadWorldArgument(*view.world, CurrentDirectory(), worldLog, why);
        if (!settings) {
            err << "pelorus: " << why << "\n";
            return 1;
        }
        for (const std::string& line : worldLog.Lines()) err << "pelorus: " << EscapeForTerminal(line) << "\n";
        worldLook = LookOf(*settings);
        worldObjectPath = worldLook.objectPath;
        worldPassword = settings->password;
    }

    // Read as --screenshot reads it: from the file's own folder.
    ErrorLog log;
    WorldReadOptions read;
    const std::string absolute = AbsolutePath(view.file);
    const std::string_view folder = ParentPart(absolute);
    read.read.baseFolder = folder.empty() ? std::string(".") : std::string(folder);
    if (objectPath.folder)
        read.objectPath = *objectPath.folder;
    else if (!worldObjectPath.empty())
        read.objectPath =
            IsWebObjectPath(worldObjectPath) ? worldObjectPath : InFolder(read.read.baseFolder, worldObjectPath);
    read.cacheRoot = UserCacheRoot(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    read.refreshTime = worldLook.refreshTime;
    read.action = objectPath.action.value_or(std::string());
    read.read.archivePassword = objectPath.password.value_or(worldPassword);
    ProgressLine progress(err, IsTerminalStandardError(err));
    read.progress = progress.Teller();
    const TObjectMap scene(ReadShownAsViewer(view.file, log, read), &log);
    progress.Erase();
    // As --check prints them: FILE:LINE: for a line placed at a line of a file.
    for (std::size_t i = 0; i < log.LineCount(); ++i)
        err << TerminalErrorLine(log.Line(i), log.PlaceOf(i), view.file) << "\n";

    const Bounds bounds = SceneBounds(scene);
    const Camera camera =
        ScreenshotCamera(view, bounds, scene.Read().dumpVersion > 0 ? &scene.Read() : nullptr, worldLook.entryPoint);
    PickOptions options;
    if (view.drawDistanceMetres > 0) options.drawDistance = view.drawDistanceMetres / kMetresPerUnit;
    options.timeMs = view.timeMs ? *view.timeMs : SteadyMilliseconds();
    std::optional<FaceHit> hit;
    if (const std::optional<PickRay> ray =
            RayThroughPixel(camera, view.width, view.height, request->x, request->y, SceneDepthRange(camera, bounds)))
        hit = PickFace(scene, *ray, camera.yaw, options);
    out << (hit ? FaceJson(FaceReportOf(scene, *hit)) : std::string("null")) << "\n";
    out.flush();
    return 0;
}

}  // namespace pelorus
