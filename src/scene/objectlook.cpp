#include "scene/objectlook.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <utility>

namespace pelorus {
namespace {

bool KindLess(const RWXMaterial* am, int32_t at, const RWXMaterial* bm, int32_t bt) {
    if (am != bm) return std::less<const RWXMaterial*>()(am, bm);
    return at < bt;
}

// The commands carried out on this object, in order: the first create section's, without those
// meant for other objects and those not carried out.
template <typename F>
void ForEachCarriedOut(const Action& action, std::vector<CommandOutcome>* outcomes, F&& carryOut) {
    const ActionSection* create = action.Create();
    if (!create) return;
    for (const ActionCommand& c : create->commands) {
        CommandOutcome outcome = CommandOutcome::NotCarriedOut;
        if (!c.target.empty())
            outcome = CommandOutcome::OtherObject;
        else if (c.verb != ActionVerb::Other)
            outcome = carryOut(c) ? CommandOutcome::Applied : CommandOutcome::NoFaces;
        if (outcomes) outcomes->push_back(outcome);
    }
}

void AddNumber(std::string& key, double v) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    key.append(buffer, ec == std::errc{} ? end : buffer);
    key += ' ';
}
void AddText(std::string& key, std::string_view s) {
    key += std::to_string(s.size());
    key += ':';
    key += s;
    key += ' ';
}
void AddColor(std::string& key, const ActionColor& c) {
    key += std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + " ";
}
void AddTag(std::string& key, const std::optional<int32_t>& tag) {
    key += tag ? "tag" + std::to_string(*tag) + " " : "all ";
}

void ClearTexture(RWXMaterial& m) {
    m.textureFrames.fill(0);
    m.frameCount = 0;
    m.mask = 0;
}

RGB Factor(double v) {
    return {v, v, v};
}

}  // namespace

ModelFaces ModelFaces::Of(const RWXObject& model) {
    ModelFaces faces;
    for (const auto& top : model.Clumps())
        ForEachClump(*top, [&](const TClump& clump) {
            for (const auto& batch : clump.Batches()) faces.kinds.push_back({&batch->Material(), batch->Tag()});
        });
    auto less = [](const Kind& a, const Kind& b) { return KindLess(a.material, a.tag, b.material, b.tag); };
    std::sort(faces.kinds.begin(), faces.kinds.end(), less);
    faces.kinds.erase(
        std::unique(faces.kinds.begin(), faces.kinds.end(),
                    [](const Kind& a, const Kind& b) { return a.material == b.material && a.tag == b.tag; }),
        faces.kinds.end());
    return faces;
}

bool ModelFaces::HasTag(int32_t tag) const {
    return std::any_of(kinds.begin(), kinds.end(), [&](const Kind& k) { return k.tag == tag; });
}

const FaceLook* ObjectVariant::LookOf(const MatTris& batch) const {
    const RWXMaterial* m = &batch.Material();
    const int32_t tag = batch.Tag();
    const auto it =
        std::lower_bound(changes.begin(), changes.end(), std::pair{m, tag},
                         [](const Change& c, const auto& k) { return KindLess(c.material, c.tag, k.first, k.second); });
    return it != changes.end() && it->material == m && it->tag == tag ? &it->look : nullptr;
}

namespace {

// Writes what a command's arguments set into a key.
struct KeyWriter {
    std::string& key;
    std::string_view description;
    void operator()(std::monostate) const {}
    void operator()(const ColorArgs& a) const {
        AddColor(key, a.color);
        AddTag(key, a.tag);
    }
    void operator()(const TextureArgs& a) const {
        AddText(key, a.texture);
        AddText(key, a.mask);
        AddTag(key, a.tag);
    }
    void operator()(const ScaleArgs& a) const {
        for (const double f : a.factors) AddNumber(key, f);
    }
    void operator()(const VisibleArgs& a) const { key += a.visible ? "yes " : "no "; }
    void operator()(const OpacityArgs& a) const {
        AddNumber(key, a.opacity);
        AddTag(key, a.tag);
    }
    void operator()(const SurfaceArgs& a) const {
        AddNumber(key, a.value);
        AddTag(key, a.tag);
    }
    void operator()(const SignArgs& a) const {
        AddText(key, a.text ? *a.text : FieldText(description));
        AddColor(key, a.color);
        AddColor(key, a.background);
    }
    void operator()(const PictureArgs& a) const { AddText(key, a.name); }
};

}  // namespace

std::string VariantKey(const Action& action, std::string_view description) {
    std::string key;
    ForEachCarriedOut(action, nullptr, [&](const ActionCommand& c) {
        key += c.word;
        key += ' ';
        std::visit(KeyWriter{key, description}, c.args);
        key += ';';
        return true;
    });
    return key;
}

ObjectVariant MakeVariant(const ModelFaces& faces, const Action& action, std::string_view description,
                          std::vector<CommandOutcome>* outcomes) {
    ObjectVariant variant;
    std::vector<FaceLook> looks(faces.kinds.size());
    for (std::size_t i = 0; i < looks.size(); ++i) looks[i].material = *faces.kinds[i].material;

    // Changes the faces of `tag` (all without one); true when there were any.
    auto onFaces = [&](std::optional<int32_t> tag, auto&& change) {
        bool any = false;
        for (std::size_t i = 0; i < looks.size(); ++i) {
            if (tag && faces.kinds[i].tag != *tag) continue;
            change(looks[i]);
            any = true;
        }
        return any;
    };
    ForEachCarriedOut(action, outcomes, [&](const ActionCommand& c) -> bool {
        if (const auto* a = std::get_if<ColorArgs>(&c.args))
            return onFaces(a->tag, [&](FaceLook& f) {
                f.material.color = {a->color.r / 255.0, a->color.g / 255.0, a->color.b / 255.0};
                ClearTexture(f.material);
                f.image = FaceImage::None;
                f.texture.clear();
                f.mask.clear();
            });
        if (const auto* a = std::get_if<TextureArgs>(&c.args))
            return onFaces(a->tag, [&](FaceLook& f) {
                ClearTexture(f.material);
                f.material.mask = a->mask.empty() ? 0 : 1;
                f.image = FaceImage::Named;
                f.texture = a->texture;
                f.mask = a->mask;
            });
        if (const auto* a = std::get_if<OpacityArgs>(&c.args))
            return onFaces(a->tag, [&](FaceLook& f) { f.material.opacity *= a->opacity; });
        if (const auto* a = std::get_if<SurfaceArgs>(&c.args))
            return onFaces(a->tag, [&](FaceLook& f) {
                RGB& factor = c.verb == ActionVerb::Ambient   ? f.material.ambient
                              : c.verb == ActionVerb::Diffuse ? f.material.diffuse
                                                              : f.material.specular;
                factor = Factor(a->value);
            });
        if (const auto* a = std::get_if<ScaleArgs>(&c.args)) {
            variant.scale = a->factors;
            return true;
        }
        if (const auto* a = std::get_if<VisibleArgs>(&c.args)) {
            variant.visible = a->visible;
            return true;
        }
        if (const auto* a = std::get_if<SignArgs>(&c.args)) {
            const bool any = onFaces(kSignTag, [&](FaceLook& f) {
                ClearTexture(f.material);
                f.image = FaceImage::Sign;
                f.texture.clear();
                f.mask.clear();
            });
            if (any) variant.sign = SignLook{a->text ? *a->text : FieldText(description), a->color, a->background};
            return any;
        }
        if (const auto* a = std::get_if<PictureArgs>(&c.args)) {
            const bool any = onFaces(kPictureTag, [&](FaceLook& f) {
                ClearTexture(f.material);
                f.image = FaceImage::Picture;
                f.texture.clear();
                f.mask.clear();
            });
            if (any) variant.picture = a->name;
            return any;
        }
        return false;
    });

    for (std::size_t i = 0; i < looks.size(); ++i) {
        const FaceLook unchanged{*faces.kinds[i].material, FaceImage::Model, {}, {}};
        if (looks[i] == unchanged) continue;
        variant.changes.push_back({faces.kinds[i].material, faces.kinds[i].tag, std::move(looks[i])});
    }
    // A sign or picture that a later command covered up is not shown.
    auto shows = [&](FaceImage image) {
        return std::any_of(variant.changes.begin(), variant.changes.end(),
                           [&](const ObjectVariant::Change& c) { return c.look.image == image; });
    };
    if (!shows(FaceImage::Sign)) variant.sign.reset();
    if (!shows(FaceImage::Picture)) variant.picture.clear();
    return variant;
}

}  // namespace pelorus
