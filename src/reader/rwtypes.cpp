#include "reader/rwtypes.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "platform/text.h"

namespace pelorus {
namespace {

constexpr std::array<std::string_view, kCommandWordCount> kCommandWords = {
    "Vertex",
    "VertexExt",
    "Polygon",
    "PolygonExt",
    "Quad",
    "QuadExt",
    "Triangle",
    "TriangleExt",
    "Block",
    "Cone",
    "Cylinder",
    "Disc",
    "Hemisphere",
    "Sphere",
    "AxisAlignment",
    "AddMaterialMode",
    "AddTextureMode",
    "Ambient",
    "Color",
    "Diffuse",
    "GeometrySampling",
    "LightSampling",
    "MaterialBegin",
    "MaterialEnd",
    "MaterialMode",
    "MaterialModes",
    "Opacity",
    "RemoveMaterialMode",
    "RemoveTextureMode",
    "Surface",
    "Texture",
    "TextureExt",
    "TextureModes",
    "TextureMode",
    "Identity",
    "IdentityJoint",
    "JointTransformBegin",
    "JointTransformEnd",
    "Rotate",
    "RotateJoint",
    "Scale",
    "Transform",
    "TransformBegin",
    "TransformEnd",
    "Translate",
    "TextureMipmapState",
    "ClumpBegin",
    "ClumpEnd",
    "ModelBegin",
    "ModelEnd",
    "ProtoBegin",
    "ProtoEnd",
    "ProtoInstance",
    "ProtoInstanceGeometry",
    "TextureAddressMode",
    "Collision",
    "OpacityFix",
    "RandomUVs",
    "AddHint",
    "Hint",
    "Hints",
    "RemoveHint",
    "Specular",
    "Tag",
    "TextureDithering",
    "TextureGammaCorrection",
    "Trace",
    "TransformJoint",
    "Include",
    "IncludeGeometry",
};

constexpr std::array<std::string_view, 28> kValueWords = {
    "Normal",    "UV",       "Tag",  "Vertex",      "Facet",  "NULL",       "Container",
    "HS",        "Editable", "On",   "Off",         "None",   "ZOrientX",   "ZOrientY",
    "XYZ",       "Double",   "Lit",  "Foreshorten", "Filter", "PointCloud", "Solid",
    "WireFrame", "Mask",     "Auto", "Wrap",        "Clamp",  "Mirror",     "Prelight",
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
    // The words that make up most of any model, checked before the general table.
    switch (word.size()) {
        case 6:
            if (EqualsNoCase(word, "Vertex")) return RWXCommand::Vertex;
            break;
        case 8:
            if (EqualsNoCase(word, "Triangle")) return RWXCommand::Triangle;
            break;
        case 4:
            if (EqualsNoCase(word, "Quad")) return RWXCommand::Quad;
            break;
        case 7:
            if (EqualsNoCase(word, "Polygon")) return RWXCommand::Polygon;
            break;
        default:
            break;
    }
    if (StripPrefix(word) == Prefix::Comment) return RWXCommand::Comment;
    if (word.empty()) return RWXCommand::Empty;
    const int code = kCommands.Find(word);
    return code < 0 ? RWXCommand::Unknown : static_cast<RWXCommand>(code);
}

RWXOption ValueCode(std::string_view word) {
    if (word.size() == 2 && EqualsNoCase(word, "UV")) return RWXOption::UV;
    if (StripPrefix(word) == Prefix::Comment) return RWXOption::Comment;
    const int code = kValues.Find(word);
    return code < 0 ? RWXOption::Unknown : static_cast<RWXOption>(code);
}

std::string_view CommandName(RWXCommand code) {
    const auto index = static_cast<std::size_t>(code);
    return index < kCommandWords.size() ? kCommandWords[index] : std::string_view{};
}

namespace {

// The exact powers of ten a double holds.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr uint64_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The value of eight digit values (0 to 9, one per byte, the first byte most significant).
inline uint64_t EightDigitValues(uint64_t v) {
    const uint64_t mask = 0x000000FF000000FFull;
    const uint64_t mul1 = 0x000F424000000064ull;  // 100 + (1000000 << 32)
    const uint64_t mul2 = 0x0000271000000001ull;  // 1 + (10000 << 32)
    v = (v * 10) + (v >> 8);
    return (((v & mask) * mul1) + (((v >> 16) & mask) * mul2)) >> 32;
}

// Adds the run of decimal digits at `p` to `value` (as further digits) and counts them in
// `digits`; returns the end of the run. Eight bytes are examined at a time where the text has
// them. Once `digits` passes 19 the value is no longer meaningful (the caller checks the count).
inline const char* DigitRun(const char* p, const char* end, const char* readable, uint64_t& value, int& digits) {
    while (readable - p >= 8 && digits <= 11) {
        uint64_t chunk;
        std::memcpy(&chunk, p, 8);
        const uint64_t x = chunk ^ 0x3030303030303030ull;  // digits become 0 to 9
        // A byte is no digit when its value is above 9; carries only reach bytes above such a
        // byte, so the first non-digit is found exactly.
        const uint64_t nonDigit = ((x + 0x0606060606060606ull) | x) & 0xF0F0F0F0F0F0F0F0ull;
        int k = nonDigit ? (__builtin_ctzll(nonDigit) >> 3) : 8;
        if (k > end - p) k = static_cast<int>(end - p);  // the line ends first
        if (k == 0) return p;
        value = value * kPow10Int[k] + EightDigitValues(x << (64 - 8 * k));
        digits += k;
        p += k;
        if (k < 8) return p;
    }
    while (p != end && IsDigit(*p)) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        ++digits;
        ++p;
    }
    return p;
}

// Reads an unsigned decimal number at [p, end): digits, an optional point and fraction, an optional
// exponent. Gives the same value and extent as std::from_chars (general format): numbers whose
// digits fit in 53 bits and whose power of ten is exactly representable are one correctly rounded
// operation; all others are handed to std::from_chars.
const char* ParseUnsignedDouble(const char* p, const char* end, const char* readable, double& out) {
    const char* start = p;
    uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    p = DigitRun(p, end, readable, mantissa, digits);
    if (p != end && *p == '.') {
        const int before = digits;
        p = DigitRun(p + 1, end, readable, mantissa, digits);
        fractionDigits = digits - before;
    }
    if (digits == 0) return nullptr;
    int exponent = 0;
    bool slow = digits > 19;
    if (p != end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool negative = false;
        if (q != end && (*q == '+' || *q == '-')) {
            negative = *q == '-';
            ++q;
        }
        if (q != end && IsDigit(*q)) {
            while (q != end && IsDigit(*q)) {
                if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
                ++q;
            }
            if (negative) exponent = -exponent;
            p = q;
        }
    }
    const int power = exponent - fractionDigits;
    if (!slow && mantissa <= (uint64_t{1} << 53) && power >= -22 && power <= 22) {
        const auto m = static_cast<double>(mantissa);
        out = power < 0 ? m / kPow10[-power] : m * kPow10[power];
        return p;
    }
    const auto [next, ec] = std::from_chars(start, end, out, std::chars_format::general);
    if (ec != std::errc{}) return nullptr;
    return next;
}

}  // namespace

void LineTokens::SkipBlanks() {
    const char* p = rest_.data();
    const char* end = p + rest_.size();
    while (p != end && IsBlank(*p)) ++p;
    rest_ = std::string_view(p, static_cast<std::size_t>(end - p));
}

std::string_view LineTokens::Word() {
    if (failed_) return {};
    const char* p = rest_.data();
    const char* end = p + rest_.size();
    while (p != end && IsBlank(*p)) ++p;
    const char* start = p;
    while (p != end && !IsBlank(*p)) ++p;
    rest_ = std::string_view(p, static_cast<std::size_t>(end - p));
    return std::string_view(start, static_cast<std::size_t>(p - start));
}

namespace {}  // namespace

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
    const char* next = ParseUnsignedDouble(p, end, readableEnd_, value);
    if (!next) {
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
    const bool negative = *p == '-';
    if (negative) ++p;
    while (p != end && *p == '0') ++p;  // leading zeros never overflow
    uint64_t magnitude = 0;
    int digits = 0;
    p = DigitRun(p, end, readableEnd_, magnitude, digits);
    if (digits > 10) {
        failed_ = true;
        return false;
    }
    int64_t value = static_cast<int64_t>(magnitude);
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) {
        failed_ = true;
        return false;
    }
    out = static_cast<int32_t>(value);
    rest_.remove_prefix(static_cast<std::size_t>(p - rest_.data()));
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
