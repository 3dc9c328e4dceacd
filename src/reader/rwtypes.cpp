#include "reader/rwtypes.h"

#include <array>
#include <charconv>

#include "platform/text.h"

namespace pelorus {
namespace {

constexpr std::array<std::string_view, 70> kCommandWords = {
    "Vertex", "VertexExt", "Polygon", "PolygonExt", "Quad", "QuadExt", "Triangle", "TriangleExt",
    "Block", "Cone", "Cylinder", "Disc", "Hemisphere", "Sphere",
    "AxisAlignment", "AddMaterialMode", "AddTextureMode", "Ambient", "Color", "Diffuse",
    "GeometrySampling", "LightSampling", "MaterialBegin", "MaterialEnd", "MaterialMode",
    "MaterialModes", "Opacity", "RemoveMaterialMode", "RemoveTextureMode", "Surface", "Texture",
    "TextureExt", "TextureModes", "TextureMode", "Identity", "IdentityJoint",
    "JointTransformBegin", "JointTransformEnd", "Rotate", "RotateJoint", "Scale", "Transform",
    "TransformBegin", "TransformEnd", "Translate", "TextureMipmapState",
    "ClumpBegin", "ClumpEnd", "ModelBegin", "ModelEnd", "ProtoBegin", "ProtoEnd",
    "ProtoInstance", "ProtoInstanceGeometry", "TextureAddressMode",
    "Collision", "OpacityFix", "RandomUVs", "AddHint", "Hint", "Hints", "RemoveHint", "Specular",
    "Tag", "TextureDithering", "TextureGammaCorrection", "Trace", "TransformJoint", "Include",
    "IncludeGeometry",
};

constexpr std::array<std::string_view, 28> kValueWords = {
    "Normal", "UV", "Tag", "Vertex", "Facet", "NULL", "Container", "HS", "Editable", "On", "Off",
    "None", "ZOrientX", "ZOrientY", "XYZ", "Double", "Lit", "Foreshorten", "Filter",
    "PointCloud", "Solid", "WireFrame", "Mask", "Auto", "Wrap", "Clamp", "Mirror", "Prelight",
};

constexpr std::size_t kMaxKeyword = 24;
constexpr std::size_t kSlots = 256;

constexpr uint32_t HashUpper(std::string_view word) {
    uint32_t h = 2166136261u;
    for (char c : word) {
        h ^= static_cast<unsigned char>(UpperAscii(c));
        h *= 16777619u;
    }
    return h;
}

// Open-addressing table from upper-cased keyword to its code; -1 marks a free slot.
template <std::size_t N>
struct KeywordTable {
    std::array<int16_t, kSlots> slot{};
    const std::array<std::string_view, N>* words = nullptr;

    constexpr explicit KeywordTable(const std::array<std::string_view, N>& w) : words(&w) {
        for (auto& s : slot) s = -1;
        for (std::size_t i = 0; i < N; ++i) {
            std::size_t at = HashUpper(w[i]) % kSlots;
            while (slot[at] != -1) at = (at + 1) % kSlots;
            slot[at] = static_cast<int16_t>(i);
        }
    }

    constexpr int Find(std::string_view word) const {
        if (word.empty() || word.size() > kMaxKeyword) return -1;
        std::size_t at = HashUpper(word) % kSlots;
        while (slot[at] != -1) {
            if (EqualsNoCase((*words)[static_cast<std::size_t>(slot[at])], word)) return slot[at];
            at = (at + 1) % kSlots;
        }
        return -1;
    }
};

constexpr KeywordTable<kCommandWords.size()> kCommands(kCommandWords);
constexpr KeywordTable<kValueWords.size()> kValues(kValueWords);

enum class Prefix { Plain, Comment };

// Strips every leading `#!` (and the blanks and tabs after it); reports a comment word.
Prefix StripPrefix(std::string_view& word) {
    while (!word.empty() && word[0] == '#') {
        if (word.size() < 2 || word[1] != '!') return Prefix::Comment;
        word.remove_prefix(2);
        while (!word.empty() && (word[0] == ' ' || word[0] == '\t')) word.remove_prefix(1);
    }
    return Prefix::Plain;
}

}  // namespace

RWXCommand CommandCode(std::string_view word) {
    if (StripPrefix(word) == Prefix::Comment) return RWXCommand::Comment;
    if (word.empty()) return RWXCommand::Empty;
    const int code = kCommands.Find(word);
    return code < 0 ? RWXCommand::Unknown : static_cast<RWXCommand>(code);
}

RWXOption ValueCode(std::string_view word) {
    if (StripPrefix(word) == Prefix::Comment) return RWXOption::Comment;
    const int code = kValues.Find(word);
    return code < 0 ? RWXOption::Unknown : static_cast<RWXOption>(code);
}

std::string_view CommandName(RWXCommand code) {
    const auto index = static_cast<std::size_t>(code);
    return index < kCommandWords.size() ? kCommandWords[index] : std::string_view{};
}

void LineTokens::SkipBlanks() {
    std::size_t i = 0;
    while (i < rest_.size() && IsBlank(rest_[i])) ++i;
    rest_.remove_prefix(i);
}

std::string_view LineTokens::Word() {
    if (failed_) return {};
    SkipBlanks();
    std::size_t i = 0;
    while (i < rest_.size() && !IsBlank(rest_[i])) ++i;
    std::string_view word = rest_.substr(0, i);
    rest_.remove_prefix(i);
    return word;
}

namespace {
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool LineTokens::Number(double& out) {
    if (failed_) return false;
    SkipBlanks();
    const char* p = rest_.data();
    const char* end = p + rest_.size();
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Only digits or a point may start the number: no "inf", "nan" or a second sign.
    if (p == end || !(IsDigit(*p) || (*p == '.' && p + 1 != end && IsDigit(p[1])))) {
        failed_ = true;
        return false;
    }
    double value = 0;
    const auto [next, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec != std::errc{}) {
        failed_ = true;
        return false;
    }
    out = negative ? -value : value;
    rest_.remove_prefix(static_cast<std::size_t>(next - rest_.data()));
    return true;
}

bool LineTokens::Integer(int32_t& out) {
    if (failed_) return false;
    SkipBlanks();
    const char* p = rest_.data();
    const char* end = p + rest_.size();
    bool digitFollows = false;
    if (p != end && *p == '+') {
        ++p;
        digitFollows = p != end && IsDigit(*p);
    } else if (p != end) {
        digitFollows = IsDigit(*p) || (*p == '-' && p + 1 != end && IsDigit(p[1]));
    }
    if (!digitFollows) {
        failed_ = true;
        return false;
    }
    int32_t value = 0;
    const auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc{}) {
        failed_ = true;
        return false;
    }
    out = value;
    rest_.remove_prefix(static_cast<std::size_t>(next - rest_.data()));
    return true;
}

bool LineTokens::AtEnd() {
    if (failed_) return true;
    SkipBlanks();
    return rest_.empty();
}

bool LineTokens::AtEndOrComment() {
    if (AtEnd()) return true;
    std::string_view probe = rest_;
    std::size_t i = 0;
    while (i < probe.size() && !IsBlank(probe[i])) ++i;
    return CommandCode(probe.substr(0, i)) == RWXCommand::Comment;
}

}  // namespace pelorus
