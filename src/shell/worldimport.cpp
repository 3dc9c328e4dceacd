#include "shell/worldimport.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "scene/location.h"
#include "shell/viewrequest.h"

namespace pelorus {
namespace {

constexpr std::size_t kMaxWorldNameBytes = 249;
// Fields that applying reads as numbers take their first 9 characters.
constexpr double kLargestFieldInteger = 999'999'999;
constexpr double kSmallestFieldInteger = -99'999'999;

// `value` with at most four decimals and no trailing zeros: "-0.5774", "1", "0".
std::string ShortDecimal(double value) {
    value = std::round(value * 10000.0) / 10000.0;
    if (value == 0) return "0";
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    if (ec != std::errc{}) return "0";
    std::string out(buffer, end);
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out;
}

std::string WholeMetres(double metres) {
    return std::to_string(
        static_cast<int64_t>(std::clamp(std::round(metres), kSmallestFieldInteger, kLargestFieldInteger)));
}

std::array<ColorField, 3> ColorFields(const std::array<uint8_t, 3>& c) {
    return {ColorFieldFromByte(c[0]), ColorFieldFromByte(c[1]), ColorFieldFromByte(c[2])};
}

bool IsRefusedInName(unsigned char c) {
    return c < 0x20 || c == 0x7F ||
           std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string Cleaned(std::string_view text) {
    std::string out;
    for (const char c : text) out.push_back(IsRefusedInName(static_cast<unsigned char>(c)) ? '_' : c);
    const std::size_t first = out.find_first_not_of(" \t_");
    if (first == std::string::npos) return {};
    out.erase(0, out.find_first_not_of(' '));
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.size() > kMaxWorldNameBytes) {
        std::size_t cut = kMaxWorldNameBytes;
        // Not inside a UTF-8 character: back up over its continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
        while (!out.empty() && out.back() == ' ') out.pop_back();
    }
    return out;
}

}  // namespace

WorldSettings SettingsOfDumpedWorld(const DumpedWorld& dumped, std::string_view dumpName, ErrorLog& log) {
    WorldSettings s;
    s.backdrop.clear();
    s.ground.clear();
    if (dumped.objectPath) s.objectPath = *dumped.objectPath;
    if (dumped.skybox) s.skybox = *dumped.skybox;
    if (dumped.lightColor) s.directional = ColorFields(*dumped.lightColor);
    if (dumped.ambientColor) s.ambient = ColorFields(*dumped.ambientColor);
    if (dumped.skyColor) s.backdropColor = *dumped.skyColor;
    s.fogColor = dumped.fogColor;
    if (dumped.lightDirection) {
        const auto& d = *dumped.lightDirection;
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (std::size_t i = 0; i < 3; ++i)
            s.direction[i] = length > 0 && std::isfinite(length) ? ShortDecimal(d[i] / length) : "0";
    }
    if (dumped.fog) s.fog = *dumped.fog;
    if (dumped.fogStart) s.fogMin = WholeMetres(*dumped.fogStart);
    if (dumped.fogEnd) s.fogMax = WholeMetres(*dumped.fogEnd);
    if (!dumped.entryPoint.empty()) {
        std::string why;
        if (const std::optional<Location> at = ParseLocation(dumped.entryPoint, why))
            s.entryPoint = FormatLocation(*at);
        else
            log.Append("Attribute dump \"" + BoundedQuote(dumpName) + "\", line " +
                       std::to_string(dumped.entryPointLine) + ": the entry point \"" +
                       BoundedQuote(dumped.entryPoint) + "\" is not a location (" + why + ").");
    }
    return s;
}

std::optional<WorldSettings> WorldOfFileText(std::string_view text, std::string_view path, ErrorLog& log,
                                             std::string* name, AttributeCounts* counts) {
    if (name) name->clear();
    if (counts) *counts = {};
    if (!BeginsLikeAttributeDump(text.substr(0, kAttributeDumpProbeBytes))) return ParseWorldFile(text);
    const AttributeDump dump = ReadAttributeDump(text, path, log);
    if (dump.version == 0) return std::nullopt;
    if (name) *name = dump.world.name;
    if (counts) *counts = {dump.values.size() - dump.others, dump.others};
    return SettingsOfDumpedWorld(dump.world, path, log);
}

std::optional<WorldSettings> ReadWorldArgument(std::string_view value, std::string_view folder, ErrorLog& log,
                                               std::string& error, std::string* file) {
    const std::string path = WorldFileOfArgument(value, folder);
    if (file) *file = path;
    std::string text;
    const ReadStatus read = ReadFileStatus(path, text, kSmallFileLimit);
    if (read != ReadStatus::kOk) {
        error = "cannot read the world file \"" + EscapeForTerminal(path) + "\"";
        if (path != value) error += " of the world \"" + EscapeForTerminal(value) + "\"";
        error += ": " + std::string(ReadStatusText(read));
        if (read == ReadStatus::kTooLarge) error += " (at most " + std::to_string(kSmallFileLimit >> 20) + " MiB)";
        return std::nullopt;
    }
    ErrorLog own;
    std::optional<WorldSettings> settings = WorldOfFileText(text, path, own);
    if (!settings) {
        error = own.Empty() ? std::string("cannot read the world \"" + EscapeForTerminal(path) + "\"")
                            : EscapeForTerminal(own.Lines().front());
        return std::nullopt;
    }
    log.AppendAll(own);
    return settings;
}

std::string AttributeCountsText(const AttributeCounts& counts) {
    const auto count = [](uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return count(counts.used, "attribute used", "attributes used") + ", " +
           count(counts.ignored, "other ignored", "others ignored");
}

std::string ValidWorldName(std::string_view wanted, std::string_view fallback) {
    std::string name = Cleaned(wanted);
    if (name.empty()) name = Cleaned(fallback);
    if (name.empty()) name = "Imported world";
    return name;
}

}  // namespace pelorus
