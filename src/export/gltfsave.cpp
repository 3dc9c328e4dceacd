#include "export/gltfsave.h"

#include <nlohmann/json.hpp>

#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {
namespace {

constexpr uint64_t kMaxMainFileBytes = uint64_t{64} << 20;  // an earlier .gltf read for its file names

// `path`, and for a member of an archive ("folder/a.zip:member") the archive too.
void AddInput(std::vector<std::string>& inputs, const std::string& path) {
    if (path.empty()) return;
    inputs.push_back(path);
    for (std::size_t colon = path.find(':'); colon != std::string::npos; colon = path.find(':', colon + 1))
        if (EndsWithNoCase(std::string_view(path).substr(0, colon), ".zip")) inputs.push_back(path.substr(0, colon));
}

// The buffer and image URIs that the glTF file at `path` names; none when it cannot be read as
// one.
std::vector<std::string> NamedUris(std::string_view path) {
    std::string text;
    if (!ReadWholeFile(path, text, kMaxMainFileBytes)) return {};
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    std::vector<std::string> uris;
    if (!document.is_object()) return uris;
    for (const char* list : {"buffers", "images"}) {
        const auto found = document.find(list);
        if (found == document.end() || !found->is_array()) continue;
        for (const nlohmann::json& item : *found) {
            if (!item.is_object()) continue;
            const auto uri = item.find("uri");
            if (uri != item.end() && uri->is_string()) uris.push_back(uri->get<std::string>());
        }
    }
    return uris;
}

std::string SideFilePath(std::string_view output, std::string_view name) {
    const std::string_view folder = ParentPart(output);
    return folder.empty() ? std::string(name) : JoinPath(folder, name);
}

}  // namespace

std::vector<std::string> ExportInputs(std::string_view file, std::span<const ExportEntry> entries) {
    std::vector<std::string> inputs;
    AddInput(inputs, std::string(file));
    for (const ExportEntry& entry : entries) {
        if (!entry.model) continue;
        AddInput(inputs, entry.model->File());
        for (const TTexture& texture : entry.model->Textures()) AddInput(inputs, texture.fileName);
    }
    return inputs;
}

namespace {

OutputKind SideFileKind(std::string_view mainOutput, const std::vector<std::string>& uris, std::string_view name) {
    OutputKind kind;
    std::string_view signature;
    std::string what = "a file";
    if (EndsWithNoCase(name, ".bin")) {
        kind.extensions = {".bin"};
    } else if (EndsWithNoCase(name, ".jpg")) {
        kind.extensions = {".jpg"};
        signature = "\xFF\xD8\xFF";
        what = "a JPEG image";
    } else {
        kind.extensions = {".png"};
        signature = "\x89PNG\r\n\x1A\n";
        what = "a PNG image";
    }
    const std::string mainName(FileNamePart(mainOutput));
    kind.description = what + " that \"" + mainName + "\" names";
    const std::string uri = UriOfFileName(name);
    bool named = false;
    for (const std::string& u : uris) named = named || u == uri;
    kind.holds = [named, signature = std::string(signature)](std::string_view head) {
        return named && head.starts_with(signature);
    };
    return kind;
}

}  // namespace

OutputKind GltfSideFileKind(std::string_view mainOutput, std::string_view name) {
    return SideFileKind(mainOutput, NamedUris(mainOutput), name);
}

std::optional<SaveProblem> SaveGltf(std::string_view output, const GltfExport& exported,
                                    std::span<const std::string> inputs) {
    if (std::optional<std::string> refused = CheckOutputFile(output, GltfOutput(), inputs))
        return SaveProblem{true, std::move(*refused)};
    const std::vector<std::string> uris = exported.sideFiles.empty() ? std::vector<std::string>() : NamedUris(output);
    std::vector<std::string> sidePaths;
    for (const GltfFile& file : exported.sideFiles) {
        sidePaths.push_back(SideFilePath(output, file.name));
        if (std::optional<std::string> refused =
                CheckOutputFile(sidePaths.back(), SideFileKind(output, uris, file.name), inputs))
            return SaveProblem{true, std::move(*refused)};
    }
    std::string error;
    for (std::size_t i = 0; i < exported.sideFiles.size(); ++i)
        if (!WriteFileAtomically(sidePaths[i], exported.sideFiles[i].content, &error))
            return SaveProblem{false, "cannot write \"" + sidePaths[i] + "\": " + error};
    if (!WriteFileAtomically(output, exported.main, &error))
        return SaveProblem{false, "cannot write \"" + std::string(output) + "\": " + error};
    return std::nullopt;
}

ExportResult ExportToFile(std::string_view output, std::span<const ExportEntry> entries, std::string_view sourceFile) {
    ExportResult result;
    GltfOptions options;
    options.form = GltfFormOf(output).value_or(GltfForm::Binary);
    options.stem = GltfStem(output);
    const std::string_view sourceName = FileNamePart(sourceFile);
    options.sceneName = sourceName.empty() ? "scene" : std::string(sourceName);
    std::string error;
    const std::optional<GltfExport> exported = BuildGltf(entries, options, &error);
    if (!exported) {
        result.problem = SaveProblem{false, "cannot export \"" + std::string(output) + "\": " + error};
        return result;
    }
    result.problem = SaveGltf(output, *exported, ExportInputs(sourceFile, entries));
    result.counts = exported->counts;
    return result;
}

}  // namespace pelorus
