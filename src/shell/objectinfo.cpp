#include "shell/objectinfo.h"

#include <filesystem>
#include <system_error>

#include "geometry/rwmaterial.h"
#include "platform/paths.h"

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

}  // namespace

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
    }
    return rows;
}

ErrorsInfo ErrorsInfoOf(const ErrorLog& log) {
    return {log.Text(), std::to_string(log.LineCount())};
}

}  // namespace pelorus
