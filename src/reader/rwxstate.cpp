#include "reader/rwxstate.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <string_view>

#include "platform/text.h"

namespace pelorus {
namespace {

// Material versions only need to be unique: one increasing number serves every state, on every
// thread that reads.
uint64_t NextVersion() {
    static std::atomic<uint64_t> next{0};
    return next.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

RWXState::RWXState() : version_(NextVersion()) {}

RWXMaterial& RWXState::EditMaterial() {
    version_ = NextVersion();
    return material_;
}

void RWXState::SetMaterial(const RWXMaterial& material) {
    version_ = NextVersion();
    material_ = material;
}

void RWXState::PopMaterial() {
    version_ = NextVersion();
    materials_.Pop(material_);
}

void SetMaterialTexture(RWXMaterial& material, TextureProvider& textures, std::string_view name,
                        std::string_view maskName) {
    material.frameCount = 0;
    material.textureMissing = 0;
    if (EqualsNoCase(name, "null")) return;
    const int32_t index = textures.LoadTexture(name, maskName);
    if (index == TextureProvider::kTextureMissing) material.textureMissing = 1;
    if (index < 0) return;
    const TextureFacts facts = textures.FactsOf(index);
    const int32_t frames = std::clamp(facts.frameCount, 0, kMaxTextureFrames);
    for (int32_t f = 0; f < frames; ++f)
        material.textureFrames[static_cast<std::size_t>(f)] = TextureFrameKey(index, f);
    material.frameCount = frames;
    material.mipmapping = facts.mipmapped;
    material.mask = facts.mask;
    material.addressMode = facts.addressMode;
}

namespace {

struct Ctx {
    LineTokens& args;
    RWXState& state;
    TextureProvider& textures;
};

// True when the next item of the line reads as a number (nothing is taken from `args`).
bool NumberFollows(const LineTokens& args) {
    LineTokens probe = args;
    double ignored;
    return probe.Number(ignored);
}

// Exactly `n` numbers: all of them there and read, and no further number after them (words after
// them, a comment among them, are not looked at).
bool ReadNumbers(LineTokens& args, double* out, int n) {
    for (int i = 0; i < n; ++i)
        if (!args.Number(out[i])) return false;
    return !NumberFollows(args);
}

// Ambient, Diffuse, Specular: one number (followed by nothing, a comment or a word that is no
// number) or three.
bool ReadOneOrThree(LineTokens& args, RGB& out) {
    double v[3];
    if (!args.Number(v[0])) return false;
    if (!NumberFollows(args)) {
        out = {v[0], v[0], v[0]};
        return true;
    }
    if (!ReadNumbers(args, v + 1, 2)) return false;
    out = {v[0], v[1], v[2]};
    return true;
}

// The commands that take value words: a word the command does not take (none at all included)
// changes nothing and is no fault.

bool SetAxisAlignment(Ctx& c) {
    switch (ValueCode(c.args.Word())) {
        case RWXOption::None:
            c.state.EditMaterial().axisAlignment = AxisAlignment::None;
            break;
        case RWXOption::ZOrientX:
            c.state.EditMaterial().axisAlignment = AxisAlignment::ZOrientX;
            break;
        case RWXOption::ZOrientY:
            c.state.EditMaterial().axisAlignment = AxisAlignment::ZOrientY;
            break;
        case RWXOption::XYZ:
            c.state.EditMaterial().axisAlignment = AxisAlignment::XYZ;
            break;
        default:
            break;
    }
    return true;
}

bool SetGeometrySampling(Ctx& c) {
    switch (ValueCode(c.args.Word())) {
        case RWXOption::PointCloud:
            c.state.EditMaterial().geometrySampling = GeometrySampling::PointCloud;
            break;
        case RWXOption::WireFrame:
            c.state.EditMaterial().geometrySampling = GeometrySampling::WireFrame;
            break;
        case RWXOption::Solid:
            c.state.EditMaterial().geometrySampling = GeometrySampling::Solid;
            break;
        default:
            break;
    }
    return true;
}

bool SetLightSampling(Ctx& c) {
    switch (ValueCode(c.args.Word())) {
        case RWXOption::Vertex:
            c.state.EditMaterial().lightSampling = LightSampling::Vertex;
            break;
        case RWXOption::Facet:
            c.state.EditMaterial().lightSampling = LightSampling::Facet;
            break;
        default:
            break;
    }
    return true;
}

uint8_t TextureModeBit(RWXOption code) {
    switch (code) {
        case RWXOption::Lit:
            return kTextureLit;
        case RWXOption::Foreshorten:
            return kTextureForeshorten;
        case RWXOption::Filter:
            return kTextureFilter;
        default:
            return 0;
    }
}

bool MaterialModes(Ctx& c) {
    switch (ValueCode(c.args.Word())) {
        case RWXOption::Null:
            c.state.EditMaterial().materialModes = 0;
            break;
        case RWXOption::Double:
            c.state.EditMaterial().materialModes = kMaterialDouble;
            break;
        default:
            break;
    }
    return true;
}

bool AddMaterialMode(Ctx& c) {
    if (ValueCode(c.args.Word()) == RWXOption::Double) c.state.EditMaterial().materialModes |= kMaterialDouble;
    return true;
}

bool RemoveMaterialMode(Ctx& c) {
    if (ValueCode(c.args.Word()) == RWXOption::Double)
        c.state.EditMaterial().materialModes =
            static_cast<uint8_t>(c.state.CurrentMaterial().materialModes & ~kMaterialDouble);
    return true;
}

bool TextureModes(Ctx& c) {
    std::string_view word = c.args.Word();
    if (word.empty()) return true;  // no argument at all
    uint8_t bits = 0;
    for (int i = 0; i < 3 && !word.empty(); ++i) {
        bits = static_cast<uint8_t>(bits | TextureModeBit(ValueCode(word)));
        if (i < 2) word = c.args.Word();
    }
    c.state.EditMaterial().textureModes = bits;
    return true;
}

bool AddTextureMode(Ctx& c) {
    if (const uint8_t bit = TextureModeBit(ValueCode(c.args.Word()))) c.state.EditMaterial().textureModes |= bit;
    return true;
}

bool RemoveTextureMode(Ctx& c) {
    if (const uint8_t bit = TextureModeBit(ValueCode(c.args.Word())))
        c.state.EditMaterial().textureModes = static_cast<uint8_t>(c.state.CurrentMaterial().textureModes & ~bit);
    return true;
}

// The commands that take numbers: missing numbers, a word where a number belongs, or a number
// more than the command takes make the line malformed, and nothing changes.

bool Color(Ctx& c) {
    double v[3];
    if (!ReadNumbers(c.args, v, 3)) return false;
    c.state.EditMaterial().color = {v[0], v[1], v[2]};
    return true;
}

bool Ambient(Ctx& c) {
    RGB v;
    if (!ReadOneOrThree(c.args, v)) return false;
    c.state.EditMaterial().ambient = v;
    return true;
}

bool Diffuse(Ctx& c) {
    RGB v;
    if (!ReadOneOrThree(c.args, v)) return false;
    c.state.EditMaterial().diffuse = v;
    return true;
}

bool Specular(Ctx& c) {
    RGB v;
    if (!ReadOneOrThree(c.args, v)) return false;
    c.state.EditMaterial().specular = v;
    return true;
}

bool Surface(Ctx& c) {
    double v[3];
    if (!ReadNumbers(c.args, v, 3)) return false;
    RWXMaterial& m = c.state.EditMaterial();
    m.ambient = {v[0], v[0], v[0]};
    m.diffuse = {v[1], v[1], v[1]};
    m.specular = {v[2], v[2], v[2]};
    return true;
}

bool Opacity(Ctx& c) {
    double o;
    if (!ReadNumbers(c.args, &o, 1)) return false;
    c.state.EditMaterial().opacity = o;
    return true;
}

bool Texture(Ctx& c) {
    const std::string_view name = c.args.Word();
    if (name.empty()) return true;
    const std::string_view second = c.args.Word();
    const std::string_view third = c.args.Word();
    const std::string_view mask = ValueCode(second) == RWXOption::Mask ? third : std::string_view{};
    SetMaterialTexture(c.state.EditMaterial(), c.textures, name, mask);
    return true;
}

bool TextureMipmapState(Ctx& c) {
    switch (ValueCode(c.args.Word())) {
        case RWXOption::On:
            c.state.SetMipmapping(true);
            break;
        case RWXOption::Off:
            c.state.SetMipmapping(false);
            break;
        default:
            break;
    }
    return true;
}

bool TextureAddressMode(Ctx& c) {
    switch (ValueCode(c.args.Word())) {
        case RWXOption::Wrap:
            c.state.SetTextureAddressMode(AddressMode::Wrap);
            break;
        case RWXOption::Mirror:
            c.state.SetTextureAddressMode(AddressMode::Mirror);
            break;
        case RWXOption::Clamp:
            c.state.SetTextureAddressMode(AddressMode::Clamp);
            break;
        default:
            break;
    }
    return true;
}

// The commands without arguments ignore whatever follows them.

bool MaterialBegin(Ctx& c) {
    c.state.PushMaterial();
    return true;
}
bool MaterialEnd(Ctx& c) {
    c.state.PopMaterial();
    return true;
}
bool Identity(Ctx& c) {
    c.state.SetTransform(RWXMatrix::Identity());
    return true;
}
bool TransformBegin(Ctx& c) {
    c.state.PushTransform();
    return true;
}
bool TransformEnd(Ctx& c) {
    c.state.PopTransform();
    return true;
}

bool Translate(Ctx& c) {
    double v[3];
    if (!ReadNumbers(c.args, v, 3)) return false;
    c.state.PreMultiply(RWXMatrix::Translation(v[0], v[1], v[2]));
    return true;
}

bool Scale(Ctx& c) {
    double v[3];
    if (!ReadNumbers(c.args, v, 3)) return false;
    c.state.PreMultiply(RWXMatrix::Scaling(v[0], v[1], v[2]));
    return true;
}

bool Rotate(Ctx& c) {
    double v[4];
    if (!ReadNumbers(c.args, v, 4)) return false;
    // A zero axis turns about nothing: well-formed, and nothing changes.
    if (v[0] == 0 && v[1] == 0 && v[2] == 0) return true;
    c.state.PreMultiply(RWXMatrix::Rotation(v[0], v[1], v[2], v[3]));
    return true;
}

bool Transform(Ctx& c) {
    std::array<double, 16> v{};
    if (!ReadNumbers(c.args, v.data(), 16)) return false;
    c.state.PreMultiply(RWXMatrix::FromRows(v));
    return true;
}

using Handler = bool (*)(Ctx&);

constexpr std::array<Handler, kCommandCodeCount> MakeHandlers() {
    std::array<Handler, kCommandCodeCount> h{};
    auto at = [&h](RWXCommand code) -> Handler& { return h[static_cast<std::size_t>(code)]; };
    at(RWXCommand::AxisAlignment) = SetAxisAlignment;
    at(RWXCommand::AddMaterialMode) = AddMaterialMode;
    at(RWXCommand::AddTextureMode) = AddTextureMode;
    at(RWXCommand::Ambient) = Ambient;
    at(RWXCommand::Color) = Color;
    at(RWXCommand::Diffuse) = Diffuse;
    at(RWXCommand::GeometrySampling) = SetGeometrySampling;
    at(RWXCommand::LightSampling) = SetLightSampling;
    at(RWXCommand::MaterialBegin) = MaterialBegin;
    at(RWXCommand::MaterialEnd) = MaterialEnd;
    at(RWXCommand::MaterialMode) = MaterialModes;
    at(RWXCommand::MaterialModes) = MaterialModes;
    at(RWXCommand::Opacity) = Opacity;
    at(RWXCommand::RemoveMaterialMode) = RemoveMaterialMode;
    at(RWXCommand::RemoveTextureMode) = RemoveTextureMode;
    at(RWXCommand::Surface) = Surface;
    at(RWXCommand::Texture) = Texture;
    at(RWXCommand::TextureExt) = Texture;
    at(RWXCommand::TextureModes) = TextureModes;
    at(RWXCommand::TextureMode) = TextureModes;
    at(RWXCommand::Identity) = Identity;
    at(RWXCommand::JointTransformBegin) = TransformBegin;
    at(RWXCommand::JointTransformEnd) = TransformEnd;
    at(RWXCommand::Rotate) = Rotate;
    at(RWXCommand::Scale) = Scale;
    at(RWXCommand::Transform) = Transform;
    at(RWXCommand::TransformBegin) = TransformBegin;
    at(RWXCommand::TransformEnd) = TransformEnd;
    at(RWXCommand::Translate) = Translate;
    at(RWXCommand::TextureMipmapState) = TextureMipmapState;
    at(RWXCommand::TextureAddressMode) = TextureAddressMode;
    at(RWXCommand::Specular) = Specular;
    return h;
}

constexpr std::array<Handler, kCommandCodeCount> kHandlers = MakeHandlers();

}  // namespace

StateResult RunStateCommand(RWXCommand code, LineTokens& args, RWXState& state, TextureProvider& textures) {
    const auto index = static_cast<std::size_t>(code);
    if (index >= kHandlers.size() || kHandlers[index] == nullptr) return StateResult::NotState;
    Ctx ctx{args, state, textures};
    return kHandlers[index](ctx) ? StateResult::Done : StateResult::Malformed;
}

}  // namespace pelorus
