#include "reader/modelimport.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "reader/importshared.h"

namespace pelorus {

// Each format's reader, in a unit of its own.
void ImportGltf(RWXObject& model);
void ImportObj(RWXObject& model);

std::optional<ImportFormat> ImportFormatOf(std::string_view path) {
    if (EndsWithNoCase(path, ".gltf") || EndsWithNoCase(path, ".glb")) return ImportFormat::Gltf;
    if (EndsWithNoCase(path, ".obj")) return ImportFormat::Obj;
    return std::nullopt;
}

std::string MissingImportLine(ImportFormat format, std::string_view path) {
    return CannotReadLine(format == ImportFormat::Gltf ? "glTF" : "OBJ", path, ReadStatusText(ReadStatus::kMissing));
}

void ImportModel(RWXObject& model, ImportFormat format) {
    switch (format) {
        case ImportFormat::Gltf:
            ImportGltf(model);
            return;
        case ImportFormat::Obj:
            ImportObj(model);
            return;
    }
}

}  // namespace pelorus
