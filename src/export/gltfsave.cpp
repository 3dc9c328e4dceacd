#include "export/gltfsave.h"

#include <memory>
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
        for (const std::string& read : entry.model->FilesRead()) AddInput(inputs, read);
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
    // Every file by the name shown in messages, its kind, and the file it stands for; the main
    // file last.
    struct Planned {
        std::string shown;
        OutputKind kind;
        std::string_view content;
    };
    std::vector<Planned> planned;
    const std::vector<std::string> uris =
        exported.sideFiles.empty() ? std::vector<std::string>() : NamedUris(OutputPath(output));
    for (const GltfFile& file : exported.sideFiles)
        planned.push_back({SideFilePath(output, file.name), SideFileKind(output, uris, file.name), file.content});
    planned.push_back({std::string(output), GltfOutput(), exported.main});
    for (const Planned& file : planned)
        if (std::optional<std::string> refused = CheckOutputFile(file.shown, file.kind, inputs))
            return SaveProblem{true, std::move(*refused)};

    const std::string mainPath = OutputPath(output);
    const std::string_view folder = ParentPart(mainPath);
    const std::string extensions[] = {".glb", ".gltf", ".bin", ".jpg", ".png"};
    RemoveLeftoverOutputs(folder.empty() ? std::string_view(".") : folder, extensions);

    // All written in full before any is renamed into place: a failure leaves the previous export
    // whole.
    std::vector<std::unique_ptr<AtomicFileWriter>> writers;
    std::string error;
    auto cannotWrite = [&](const Planned& file) {
        return SaveProblem{false, "cannot write \"" + file.shown + "\": " + error};
    };
    for (const Planned& file : planned) {
        writers.push_back(std::make_unique<AtomicFileWriter>());
        AtomicFileWriter& writer = *writers.back();
        if (!writer.Begin(OutputPath(file.shown), &error)) return cannotWrite(file);
        writer.Write(file.content);
        if (!writer.Finish(&error)) return cannotWrite(file);
    }
    // The same checks once more as each is renamed, so that nothing that took an output's name
    // meanwhile (a link, an input) is replaced.
    for (std::size_t i = 0; i < planned.size(); ++i) {
        const Planned& file = planned[i];
        const bool committed =
            writers[i]->Commit(&error, [&] { return CheckOutputFile(file.shown, file.kind, inputs); });
        if (!committed) return writers[i]->Refused() ? SaveProblem{true, error} : cannotWrite(file);
    }
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
