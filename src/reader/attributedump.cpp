#include "reader/attributedump.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/propdump.h"

namespace pelorus {
namespace {

constexpr std::string_view kHeader = "atdump version";
constexpr int kReadableVersion = 1;
// Object dumps of version 4 hold Windows-1252 text, as attribute dumps do.
constexpr int kWindows1252DumpVersion = 4;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsBlankLine(std::string_view line) {
    return Trimmed(line).empty();
}

std::optional<double> NumberOf(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

class AttributeReader {
public:
    AttributeReader(std::string_view dumpName, ErrorLog& log, AttributeDump& dump)
        : name_(BoundedQuote(dumpName)), log_(log), dump_(dump) {}

    void Line(std::string_view line, uint32_t number) {
        if (IsBlankLine(line)) return;
        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        int32_t attribute = 0;
        const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), attribute);
        if (word.empty() || ec != std::errc{} || end != word.data() + word.size() || attribute < 0 ||
            !std::all_of(word.begin(), word.end(), IsDigit)) {
            Fail(number, "\"" + BoundedQuote(word) + "\" is not an attribute number.");
            return;
        }
        AttributeValue value;
        value.line = number;
        if (space != std::string_view::npos)
            AppendDumpText(line.substr(space + 1), kWindows1252DumpVersion, value.text);
        dump_.values[attribute] = std::move(value);
    }

    // Makes the world of the attributes read.
    void Finish() {
        DumpedWorld& w = dump_.world;
        for (const auto& [attribute, value] : dump_.values)
            if (!IsWorldAttribute(attribute)) ++dump_.others;
        if (const AttributeValue* v = Find(kAttrName)) w.name = v->text;
        if (const AttributeValue* v = Find(kAttrObjectPath)) w.objectPath = v->text;
        w.fogColor = Color(kAttrFogRed);
        w.lightColor = Color(kAttrLightRed);
        w.ambientColor = Color(kAttrAmbientRed);
        w.skyColor = Color(kAttrSkyRed);
        w.lightDirection = Vector(kAttrLightX);
        if (const AttributeValue* v = Find(kAttrFogOn)) {
            const std::string_view flag = Trimmed(v->text);
            if (EqualsNoCase(flag, "Y"))
                w.fog = true;
            else if (EqualsNoCase(flag, "N"))
                w.fog = false;
            else
                BadValue(kAttrFogOn, *v, "is neither Y nor N.");
        }
        w.fogStart = Number(kAttrFogStart);
        w.fogEnd = Number(kAttrFogEnd);
        if (const AttributeValue* v = Find(kAttrSkybox)) w.skybox = std::string(Trimmed(v->text));
        if (const AttributeValue* v = Find(kAttrEntryPoint)) {
            w.entryPoint = std::string(Trimmed(v->text));
            w.entryPointLine = v->line;
        }
        if (dump_.malformed > kMaxAttributeErrorLines)
            log_.Append("World attribute dump \"" + name_ +
                        "\": " + std::to_string(dump_.malformed - kMaxAttributeErrorLines) +
                        " more problems were found and are not listed.");
    }

private:
    static bool IsWorldAttribute(int32_t a) {
        return a == kAttrName || a == kAttrObjectPath || (a >= kAttrFogRed && a < kAttrFogRed + 3) ||
               (a >= kAttrLightX && a < kAttrAmbientRed + 3) || a == kAttrFogOn || a == kAttrFogStart ||
               a == kAttrFogEnd || a == kAttrSkybox || a == kAttrEntryPoint ||
               (a >= kAttrSkyRed && a < kAttrSkyRed + 3);
    }

    const AttributeValue* Find(int32_t attribute) const {
        const auto it = dump_.values.find(attribute);
        return it == dump_.values.end() ? nullptr : &it->second;
    }

    void Fail(uint32_t number, const std::string& reason) {
        ++dump_.malformed;
        if (dump_.malformed > kMaxAttributeErrorLines) return;
        log_.Append("Attribute dump \"" + name_ + "\", line " + std::to_string(number) + ": " + reason);
    }

    void BadValue(int32_t attribute, const AttributeValue& v, std::string_view what) {
        Fail(v.line,
             "attribute " + std::to_string(attribute) + " \"" + BoundedQuote(v.text) + "\" " + std::string(what));
    }

    std::optional<double> Number(int32_t attribute) {
        const AttributeValue* v = Find(attribute);
        if (!v) return std::nullopt;
        const std::optional<double> n = NumberOf(v->text);
        if (!n) BadValue(attribute, *v, "is not a number.");
        return n;
    }

    // Three attributes from `first` on; unset when any is missing or does not read.
    std::optional<std::array<double, 3>> Vector(int32_t first) {
        std::array<double, 3> out{};
        bool all = true;
        for (int32_t i = 0; i < 3; ++i) {
            const std::optional<double> n = Number(first + i);
            if (n)
                out[static_cast<std::size_t>(i)] = *n;
            else
                all = false;
        }
        if (!all) return std::nullopt;
        return out;
    }

    std::optional<std::array<uint8_t, 3>> Color(int32_t first) {
        std::array<uint8_t, 3> out{};
        bool all = true;
        for (int32_t i = 0; i < 3; ++i) {
            const AttributeValue* v = Find(first + i);
            const std::optional<double> n = v ? NumberOf(v->text) : std::nullopt;
            if (v && (!n || std::floor(*n) != *n)) BadValue(first + i, *v, "is not a colour component (0 to 255).");
            if (!n || std::floor(*n) != *n) {
                all = false;
                continue;
            }
            out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(std::clamp(*n, 0.0, 255.0));
        }
        if (!all) return std::nullopt;
        return out;
    }

    std::string name_;
    ErrorLog& log_;
    AttributeDump& dump_;
};

}  // namespace

std::optional<int> AttributeDumpVersionOf(std::string_view text) {
    return HeaderVersionOf(text, kHeader);
}

bool BeginsLikeAttributeDump(std::string_view head) {
    if (AttributeDumpVersionOf(head)) return true;
    if (head.find('\n') != std::string_view::npos) return false;
    return AttributeDumpVersionOf(std::string(head) + "\n").has_value();
}

AttributeDump ReadAttributeDump(std::string_view text, std::string_view dumpName, ErrorLog& log) {
    AttributeDump dump;
    const std::optional<int> version = AttributeDumpVersionOf(text);
    if (!version) {
        log.Append("\"" + BoundedQuote(dumpName) +
                   "\" is not a world attribute dump (its first line is not \"atdump version 1\").");
        return dump;
    }
    if (*version != kReadableVersion) {
        log.Append("World attribute dump \"" + BoundedQuote(dumpName) + "\" is of version " +
                   (*version < 0 ? std::string("?") : std::to_string(*version)) +
                   ", which cannot be read (version 1 can).");
        return dump;
    }
    dump.version = *version;
    AttributeReader reader(dumpName, log, dump);
    std::size_t pos = text.find('\n');
    uint32_t number = 1;
    while (pos != std::string_view::npos && pos + 1 < text.size()) {
        ++number;
        const std::size_t start = pos + 1;
        const std::size_t lf = text.find('\n', start);
        std::string_view line = text.substr(start, (lf == std::string_view::npos ? text.size() : lf) - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        reader.Line(line, number);
        pos = lf;
    }
    reader.Finish();
    return dump;
}

}  // namespace pelorus
