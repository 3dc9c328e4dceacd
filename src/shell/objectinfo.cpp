#include "shell/objectinfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>

#include "geometry/rwmaterial.h"
#include "platform/paths.h"
#include "scene/location.h"

namespace pelorus {
namespace {

std::string AddressModeText(AddressMode mode) {
    switch (mode) {
        case AddressMode::Wrap:
            return "Wrap";
        case AddressMode::Mirror:
            return "Mirror";
        case AddressMode::Clamp:
            return "Clamp";
    }
    return "?";
}

// `v` with at most `decimals` decimals, without trailing zeros or a sign before zero.
std::string Decimal(double v, int decimals) {
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    if (ec != std::errc{}) return "?";
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

}  // namespace

std::string BoundsText(const Bounds& bounds, double scale, int decimals) {
    if (bounds.Empty()) return {};
    auto corner = [&](const Vec3& p) {
        return "(" + Decimal(p.x * scale, decimals) + ", " + Decimal(p.y * scale, decimals) + ", " +
               Decimal(p.z * scale, decimals) + ")";
    };
    return corner(bounds.Min()) + " to " + corner(bounds.Max());
}

std::string SizeText(const Bounds& bounds) {
    if (bounds.Empty()) return {};
    const Vec3 lo = bounds.Min(), hi = bounds.Max();
    constexpr double kMetres = kCentimetresPerUnit / 100;
    return Decimal((hi.x - lo.x) * kMetres, 2) + " \u00D7 " + Decimal((hi.y - lo.y) * kMetres, 2) + " \u00D7 " +
           Decimal((hi.z - lo.z) * kMetres, 2) + " m";
}

GeneralInfo GeneralInfoOf(std::string_view worldName, std::string_view currentFile,
                          std::span<const RWXObject* const> objects) {
    int64_t faces = 0, triangles = 0;
    for (const RWXObject* object : objects) {
        if (!object) continue;
        faces += object->FacesRead();
        triangles += object->CountTriangles();
    }
    GeneralInfo info;
    info.world = worldName.empty() ? std::string(kDefaultWorldLabel) : std::string(worldName);
    const std::string_view name = FileNamePart(currentFile);
    info.object = name.empty() ? std::string(kNoObjectLabel) : std::string(name);
    info.polygons = std::to_string(faces);
    info.triangles = std::to_string(triangles);
    std::vector<const RWXObject*> shown;
    for (const RWXObject* object : objects)
        if (object) shown.push_back(object);
    const Bounds bounds = shown.size() == 1 ? ObjectBounds(*shown[0], {0, 0, 0}) : ObjectsBounds(shown);
    info.boundsUnits = BoundsText(bounds, 1, 4);
    info.boundsCentimetres = BoundsText(bounds, kCentimetresPerUnit, 1);
    return info;
}

std::string FileSizeText(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    return std::to_string(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0)) + " KB";
}

std::vector<TextureRow> TextureRowsOf(std::span<const RWXObject* const> objects) {
    std::vector<TextureRow> rows;
    for (const RWXObject* object : objects) {
        if (!object) continue;
        for (const TTexture& t : object->Textures()) {
            TextureRow row;
            row.texture = t.name;
            row.fileName = t.fileName;
            std::error_code ec;
            const std::uintmax_t bytes = std::filesystem::file_size(t.fileName, ec);
            if (!ec) row.size = FileSizeText(bytes);
            // Mirror mode stores the image with its mirror images, twice as wide and high.
            const bool mirror = t.addressMode == AddressMode::Mirror;
            row.wxh =
                std::to_string(mirror ? t.width / 2 : t.width) + "x" + std::to_string(mirror ? t.height / 2 : t.height);
            row.mask = t.hasMask ? t.maskName : std::string();
            row.mipmapped = t.mipmapped ? "Yes" : "No";
            row.addressMode = AddressModeText(t.addressMode);
            rows.push_back(std::move(row));
        }
        for (const MissingTexture& m : object->MissingTextures()) {
            TextureRow row;
            row.texture = m.name;
            row.missing = true;
            const bool found = !m.reason.starts_with("Couldn't open texture \"");
            row.fileName = std::string(found ? kTextureNotReadable : kTextureNotFound);
            row.mask = m.mask;
            row.note = m.reason;
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

std::vector<std::string> TextureFoldersOf(std::span<const RWXObject* const> objects) {
    std::vector<std::string> folders;
    for (const RWXObject* object : objects) {
        if (!object) continue;
        for (const std::string& folder : object->TextureFolders())
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    return folders;
}

ErrorsInfo ErrorsInfoOf(const ErrorLog& log) {
    return {log.Text(), std::to_string(log.LineCount())};
}

std::string LoadHeading(const LoadMark& mark) {
    return mark.time + "  " + (mark.reload ? "Reloaded " : "Opened ") +
           (mark.file.empty() ? std::string(kNoObjectLabel) : mark.file);
}

ErrorsUpdate PlanErrorsUpdate(const ErrorLog& log, std::span<const LoadMark> marks, const ErrorsShown& shown,
                              bool lastOnly) {
    const std::size_t end = log.LineCount();
    // Showing the last load starts at its mark; a mark beyond the log's end still heads it.
    const std::size_t firstMark = lastOnly && !marks.empty() ? marks.size() - 1 : 0;
    const std::size_t firstLine = lastOnly && !marks.empty() ? std::min(marks.back().firstLine, end) : 0;

    ErrorsUpdate update;
    update.restart = !shown.started || shown.lastOnly != lastOnly || shown.lines > end || shown.marks > marks.size() ||
                     (lastOnly && shown.firstMark != firstMark);
    std::size_t line = update.restart ? firstLine : shown.lines;
    std::size_t mark = update.restart ? firstMark : shown.marks;

    auto text = [&](std::size_t to) {
        if (to <= line) return;
        const std::size_t from = log.OffsetOfLine(line), until = log.OffsetOfLine(to);
        update.pieces.push_back({false, log.Text().substr(from, until - from), line});
        line = to;
    };
    for (; mark < marks.size() && marks[mark].firstLine <= end; ++mark) {
        text(std::max(line, marks[mark].firstLine));
        update.pieces.push_back({true, LoadHeading(marks[mark])});
    }
    text(end);

    update.shown = {true, lastOnly, line, mark, firstMark};
    update.count = line - firstLine;
    return update;
}

std::string GroupedNumber(uint64_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
    return digits;
}

namespace {

std::string Counted(uint64_t n, std::string_view one, std::string_view many) {
    return GroupedNumber(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

LoadSummary LoadSummaryOf(std::span<const RWXObject* const> objects, std::size_t problems) {
    uint64_t count = 0, triangles = 0, textures = 0;
    for (const RWXObject* object : objects) {
        if (!object) continue;
        ++count;
        triangles += static_cast<uint64_t>(std::max<int64_t>(0, object->CountTriangles()));
        textures += object->Textures().size();
    }
    LoadSummary summary;
    if (count > 0 && triangles == 0)
        summary.counts = "empty";
    else if (count > 0)
        summary.counts = Counted(count, "object", "objects") + ", " + Counted(triangles, "triangle", "triangles") +
                         ", " + Counted(textures, "texture", "textures");
    summary.size = SizeText(ObjectsBounds(objects));
    summary.problems = problems == 0 ? std::string("No problems") : Counted(problems, "problem", "problems");
    return summary;
}

std::string WorldSizeText(const Bounds& bounds) {
    if (bounds.Empty()) return {};
    const Vec3 lo = bounds.Min(), hi = bounds.Max();
    constexpr double kMetres = kCentimetresPerUnit / 100;
    const double sides[] = {(hi.x - lo.x) * kMetres, (hi.y - lo.y) * kMetres, (hi.z - lo.z) * kMetres};
    const bool km = *std::max_element(std::begin(sides), std::end(sides)) >= 1000;
    std::string text;
    for (const double side : sides)
        text += (text.empty() ? "" : " \u00D7 ") + (km ? Decimal(side / 1000, 2) : Decimal(side, 1));
    text += km ? " km" : " m";
    // Corners to a tenth of a unit, rounded outwards so that they hold the whole world.
    const auto down = [](double v) { return std::floor(v * 10) / 10; };
    const auto up = [](double v) { return std::ceil(v * 10) / 10; };
    text += ", " + FormatLocation({down(lo.x), 0, down(lo.z), std::nullopt}) + " to " +
            FormatLocation({up(hi.x), 0, up(hi.z), std::nullopt});
    return text;
}

LoadSummary WorldSummaryOf(const SceneObjects& world, std::size_t problems) {
    // Each model's box once, however many objects place it.
    std::vector<std::optional<Bounds>> models(world.models.size());
    Bounds extent;
    uint64_t objects = 0;
    for (const PlacedObject& o : world.objects) {
        if (o.type != 0) continue;
        ++objects;
        if (!o.visible || o.model >= world.models.size() || !world.models[o.model]) continue;
        std::optional<Bounds>& model = models[o.model];
        if (!model) model = ObjectBounds(*world.models[o.model], {0, 0, 0});
        extent.Extend(PlacedBounds(*model, o.placement));
    }
    LoadSummary summary;
    summary.counts = Counted(objects, "object", "objects") + ", " + Counted(world.models.size(), "model", "models");
    summary.size = WorldSizeText(extent);
    summary.problems = problems == 0 ? std::string("No problems") : Counted(problems, "problem", "problems");
    return summary;
}

}  // namespace pelorus
