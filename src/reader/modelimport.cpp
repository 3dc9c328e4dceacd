#include "reader/modelimport.h"

#include "platform/text.h"

namespace pelorus {

// Each format's reader, in a unit of its own.
void ImportGltf(RWXObject& model);
void ImportObj(RWXObject& model);

std::optional<ImportFormat> ImportFormatOf(std::string_view path) {
    if (EndsWithNoCase(path, ".gltf") || EndsWithNoCase(path, ".glb")) return ImportFormat::Gltf;
    if (EndsWithNoCase(path, ".obj")) return ImportFormat::Obj;
    return std::nullopt;
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
