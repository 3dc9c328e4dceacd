#include "scene/actionlooks.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "geometry/mat4.h"
#include "platform/lettering.h"
#include "platform/paths.h"
#include "platform/textsafety.h"
#include "platform/ziparchive.h"
#include "reader/textureload.h"

namespace pelorus {
namespace {

Vec3 Scaled(const Vec3& a, double f) {
    return {a.x * f, a.y * f, a.z * f};
}

// The scale and visibility the first create section gives (the last command of each kind wins).
void ScaleAndVisibility(const Action& action, std::array<float, 3>& scale, bool& visible) {
    scale = {1, 1, 1};
    visible = true;
    const ActionSection* create = action.Create();
    if (!create) return;
    for (const ActionCommand& c : create->commands) {
        if (!c.target.empty()) continue;
        if (const auto* s = std::get_if<ScaleArgs>(&c.args))
            for (std::size_t i = 0; i < 3; ++i) scale[i] = static_cast<float>(s->factors[i]);
        if (const auto* v = std::get_if<VisibleArgs>(&c.args)) visible = v->visible;
    }
}

// A sign of the first create section takes its text from the description.
bool SignUsesDescription(const Action& action) {
    const ActionSection* create = action.Create();
    if (!create) return false;
    return std::any_of(create->commands.begin(), create->commands.end(), [](const ActionCommand& c) {
        const auto* s = std::get_if<SignArgs>(&c.args);
        return s && c.target.empty() && !s->text;
    });
}

struct Parsed {
    Action action;
    std::string key;  // VariantKey without description (see byDescription)
    bool byDescription = false;
    std::array<float, 3> scale{1, 1, 1};
    bool visible = true;
};

// Finds the images of the looks made in one CarryOutActions.
class ImageFinder {
public:
    ImageFinder(const SceneObjects& objects, ErrorLog* log, const LookOptions& options)
        : objects_(objects), log_(log), options_(options) {}

    void Find(ObjectLook& look, const RWXObject& model, uint32_t modelIndex, uint32_t line) {
        for (ObjectVariant::Change& change : look.variant.changes) {
            FaceLook& face = change.look;
            switch (face.image) {
                case FaceImage::Named:
                    Give(face, look, Texture(face, model, modelIndex, line));
                    break;
                case FaceImage::Sign:
                    if (look.variant.sign) SignOn(face, look, *look.variant.sign, line);
                    break;
                case FaceImage::Picture:
                    Give(face, look, Picture(look.variant.picture, line));
                    break;
                case FaceImage::Model:
                case FaceImage::None:
                    break;
            }
        }
    }

private:
    void Log(const std::string& text, uint32_t line) {
        if (log_) log_->Append(text, LogPlace{objects_.file, {}, line});
    }

    // Makes `face` show `texture` (kept once in the look); untextured and marked missing without.
    static void Give(FaceLook& face, ObjectLook& look, const std::optional<TTexture>& texture) {
        RWXMaterial& m = face.material;
        if (!texture) {
            m.textureMissing = 1;
            return;
        }
        int32_t index = -1;
        for (std::size_t i = 0; i < look.textures.size(); ++i)
            if (look.textures[i].pixels == texture->pixels && look.textures[i].name == texture->name)
                index = int32_t(i);
        if (index < 0) {
            index = static_cast<int32_t>(look.textures.size());
            look.textures.push_back(*texture);
        }
        const int32_t frames = std::clamp(texture->frameCount, 1, kMaxTextureFrames);
        m.textureFrames.fill(0);
        for (int32_t f = 0; f < frames; ++f) m.textureFrames[static_cast<std::size_t>(f)] = TextureFrameKey(index, f);
        m.frameCount = frames;
        m.textureMissing = 0;
    }

    std::optional<TTexture> Texture(const FaceLook& face, const RWXObject& model, uint32_t modelIndex, uint32_t line) {
        TextureRequest request;
        request.fileName = TextureFileName(face.texture);
        request.fallbackFileName = TextureFallbackFileName(face.texture);
        request.maskFileName = face.mask.empty() ? std::string() : MaskFileName(face.mask);
        request.addressMode = face.material.addressMode;
        request.mipmapped = face.material.mipmapping != 0;
        if (!model.Options().loadTextures || !IsLoadableTextureName(request.fileName)) return std::nullopt;
        const std::string key = std::to_string(modelIndex) + '\0' + request.fileName + '\0' + request.maskFileName +
                                '\0' + std::to_string(int(request.addressMode)) + (request.mipmapped ? "m" : "");
        if (const auto it = textures_.find(key); it != textures_.end()) return it->second;

        Sources& sources = SourcesOf(model, modelIndex);
        std::vector<std::string> errors;
        std::optional<TTexture> texture = LoadTextureImage(request, sources.sources, &budget_, errors);
        // One line per name however many models ask for it.
        if (!errors.empty() && reported_.insert(request.fileName + '\0' + request.maskFileName).second)
            for (const std::string& e : errors) Log(e, line);
        textures_.emplace(key, texture);
        return texture;
    }

    std::optional<TTexture> Picture(const std::string& name, uint32_t line) {
        if (const auto it = pictures_.find(name); it != pictures_.end()) return it->second;
        std::optional<TTexture> picture;
        TextureRequest request;
        request.fileName = name;
        std::vector<std::string> errors;
        const auto fetched = std::find_if(objects_.pictureFiles.begin(), objects_.pictureFiles.end(),
                                          [&](const auto& entry) { return entry.first == name; });
        if (fetched != objects_.pictureFiles.end()) {
            // The copy of a picture on a web server, by the name its folder keeps it under.
            request.fileName = std::string(FileNamePart(fetched->second));
            TextureSources sources;
            sources.dirs.emplace_back(ParentPart(fetched->second));
            if (IsLoadableTextureName(request.fileName)) picture = LoadTextureImage(request, sources, &budget_, errors);
        } else if (name.find("://") == std::string::npos && IsLoadableTextureName(request.fileName)) {
            TextureSources sources;
            sources.dirs = objects_.pictureFolders;
            sources.folders = &folders_;
            picture = LoadTextureImage(request, sources, &budget_, errors);
        }
        if (!picture) Log("Couldn't open picture \"" + BoundedQuote(name) + "\".", line);
        pictures_.emplace(name, picture);
        return picture;
    }

    void SignOn(FaceLook& face, ObjectLook& look, const SignLook& sign, uint32_t line) {
        RWXMaterial& m = face.material;
        m.color = {sign.background.r / 255.0, sign.background.g / 255.0, sign.background.b / 255.0};
        if (!lettering_ && !fontTried_) {
            fontTried_ = true;
            std::string why;
            lettering_ = SignLettering::Open(&why, options_.fontFile);
            if (!lettering_) Log("No font for signs: " + why, line);
        }
        if (!lettering_) return;
        const double aspect = look.signPlanes ? look.signPlanes->aspect : 1;
        const auto [w, h] = SignImageSize(aspect);
        RgbaImage image = lettering_->Draw(sign.text, w, h, {sign.color.r, sign.color.g, sign.color.b},
                                           {sign.background.r, sign.background.g, sign.background.b});
        if (image.width <= 0 || image.height <= 0) return;
        TTexture texture;
        texture.name = "sign";
        texture.fileName = "sign";
        texture.width = image.width;
        texture.height = image.height;
        texture.addressMode = AddressMode::Clamp;
        texture.pixels = std::make_shared<const std::vector<uint8_t>>(std::move(image.pixels));
        Give(face, look, texture);
        m.addressMode = AddressMode::Clamp;
    }

    struct Sources {
        std::vector<std::unique_ptr<ZipArchive>> archives;
        TextureSources sources;
    };
    Sources& SourcesOf(const RWXObject& model, uint32_t modelIndex) {
        auto [it, added] = sources_.try_emplace(modelIndex);
        if (added) {
            RWXObject::TextureSearch search = model.TextureSearchPlaces(&folders_);
            it->second.sources.dirs = std::move(search.dirs);
            it->second.sources.folders = &folders_;
            for (std::string& file : search.archives) {
                std::unique_ptr<ZipArchive> archive = ZipArchive::Open(file, nullptr, &folders_);
                if (!archive) continue;
                it->second.sources.archives.push_back({archive.get(), std::move(file)});
                it->second.archives.push_back(std::move(archive));
            }
        }
        return it->second;
    }

    const SceneObjects& objects_;
    ErrorLog* log_;
    const LookOptions& options_;
    FolderListingCache folders_;
    ImageBudget budget_;
    std::unordered_map<uint32_t, Sources> sources_;
    std::unordered_map<std::string, std::optional<TTexture>> textures_;
    std::unordered_map<std::string, std::optional<TTexture>> pictures_;
    std::unordered_set<std::string> reported_;
    std::unique_ptr<SignLettering> lettering_;
    bool fontTried_ = false;
};

}  // namespace

std::optional<ImagePlanes> ImagePlanesOf(const RWXObject& model, int32_t tag) {
    // The largest face gives the plane.
    double largest = -1;
    Vec3 normal{0, 0, 1};
    std::vector<Vec3> corners;
    for (const auto& top : model.Clumps())
        ForEachClump(*top, [&](const TClump& clump) {
            for (const auto& batch : clump.Batches()) {
                if (batch->Tag() != tag) continue;
                for (const TTriangle& t : batch->Triangles()) {
                    const TVertex* v[3] = {clump.GetVertex(t[0]), clump.GetVertex(t[1]), clump.GetVertex(t[2])};
                    if (!v[0] || !v[1] || !v[2]) continue;
                    Vec3 p[3];
                    for (int i = 0; i < 3; ++i) {
                        p[i] = {v[i]->x, v[i]->y, v[i]->z};
                        corners.push_back(p[i]);
                    }
                    const Vec3 n = Cross(Sub(p[1], p[0]), Sub(p[2], p[0]));
                    const double area = Length(n);
                    if (area > largest) {
                        largest = area;
                        if (area > 0) normal = Scaled(n, 1 / area);
                    }
                }
            }
        });
    if (corners.empty()) return std::nullopt;
    // Right and up as seen from the front of the face.
    const Vec3 up = std::abs(normal.y) > 0.99 ? Vec3{0, 0, normal.y > 0 ? -1.0 : 1.0} : Vec3{0, 1, 0};
    Vec3 right = Cross(up, normal);
    right = Scaled(right, 1 / Length(right));
    const Vec3 top = Cross(normal, right);
    double r0 = INFINITY, r1 = -INFINITY, u0 = INFINITY, u1 = -INFINITY;
    for (const Vec3& p : corners) {
        r0 = std::min(r0, Dot(p, right));
        r1 = std::max(r1, Dot(p, right));
        u0 = std::min(u0, Dot(p, top));
        u1 = std::max(u1, Dot(p, top));
    }
    const double width = r1 - r0 > 0 ? r1 - r0 : 1;
    const double height = u1 - u0 > 0 ? u1 - u0 : 1;
    ImagePlanes planes;
    planes.s = {right.x / width, right.y / width, right.z / width, -r0 / width};
    planes.t = {-top.x / height, -top.y / height, -top.z / height, u1 / height};
    planes.aspect = width / height;
    return planes;
}

ObjectLooks CarryOutActions(SceneObjects& objects, ErrorLog* log, const LookOptions& options) {
    ObjectLooks looks;
    looks.lookOf.assign(objects.objects.size(), ObjectLooks::kPlain);
    std::unordered_map<std::string_view, Parsed> parsed;
    struct Made {
        uint32_t look = ObjectLooks::kPlain;
    };
    std::unordered_map<std::string, Made> made;  // by model and key
    std::vector<std::optional<ModelFaces>> faces(objects.models.size());
    ImageFinder finder(objects, log, options);
    int64_t errorLines = 0;

    for (std::size_t i = 0; i < objects.objects.size(); ++i) {
        PlacedObject& o = objects.objects[i];
        const std::string_view text = objects.Action(o);
        if (text.empty()) continue;
        auto [it, added] = parsed.try_emplace(text);
        Parsed& p = it->second;
        if (added) {
            p.action = ParseAction(text);
            p.byDescription = SignUsesDescription(p.action);
            if (!p.byDescription) p.key = VariantKey(p.action, {});
            ScaleAndVisibility(p.action, p.scale, p.visible);
        }
        if (p.action.error) {
            if (log && errorLines++ < kMaxErrorLines)
                log->Append("Couldn't read the action of the object" +
                                (o.line ? " on line " + std::to_string(o.line) : std::string()) + ", " +
                                DescribeActionError(*p.action.error) + ".",
                            LogPlace{objects.file, {}, o.line});
            continue;
        }
        o.placement.scale = p.scale;
        o.visible = p.visible;
        const RWXObject* model = objects.ModelOf(o);
        if (!model) continue;
        const std::string_view description = objects.Description(o);
        std::string key = p.byDescription ? VariantKey(p.action, description) : p.key;
        if (key.empty()) continue;
        key.insert(0, std::to_string(o.model) + '\0');
        auto [m, fresh] = made.try_emplace(std::move(key));
        if (fresh) {
            if (!faces[o.model]) faces[o.model] = ModelFaces::Of(*model);
            auto look = std::make_unique<ObjectLook>();
            look->variant = MakeVariant(*faces[o.model], p.action, description);
            if (!look->variant.changes.empty()) {
                if (look->variant.sign) look->signPlanes = ImagePlanesOf(*model, kSignTag);
                if (!look->variant.picture.empty()) look->picturePlanes = ImagePlanesOf(*model, kPictureTag);
                if (options.images) finder.Find(*look, *model, o.model, o.line);
                m->second.look = static_cast<uint32_t>(looks.looks.size());
                looks.looks.push_back(std::move(look));
            }
        }
        looks.lookOf[i] = m->second.look;
    }
    if (log && errorLines > kMaxErrorLines)
        log->Append("Too many unreadable actions, " + std::to_string(errorLines - kMaxErrorLines) + " more not listed.",
                    LogPlace{objects.file, {}, 0});
    return looks;
}

ActionReport ReportAction(const SceneObjects& objects, const PlacedObject& object) {
    ActionReport report;
    const Action action = ParseAction(objects.Action(object));
    if (action.error) {
        report.error = action.error;
        return report;
    }
    const ActionSection* create = action.Create();
    if (!create) return report;
    std::vector<CommandOutcome> outcomes;
    const RWXObject* model = objects.ModelOf(object);
    const ModelFaces faces = model ? ModelFaces::Of(*model) : ModelFaces{};
    MakeVariant(faces, action, objects.Description(object), &outcomes);
    for (std::size_t i = 0; i < create->commands.size() && i < outcomes.size(); ++i) {
        // Scale and visibility apply to the object whatever its model holds.
        const ActionCommand& c = create->commands[i];
        const bool whole = c.verb == ActionVerb::Scale || c.verb == ActionVerb::Visible;
        const bool applied =
            outcomes[i] == CommandOutcome::Applied || (whole && outcomes[i] == CommandOutcome::NoFaces);
        (applied ? report.applied : report.ignored).push_back(c.text);
    }
    return report;
}

}  // namespace pelorus
