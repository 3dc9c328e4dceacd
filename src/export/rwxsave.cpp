#include "export/rwxsave.h"

#include <sys/stat.h>

#include <set>

#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/zipwrite.h"

namespace pelorus {
namespace {

constexpr uint64_t kMaxScriptReadBytes = uint64_t{64} << 20;  // an earlier script read for its names

std::string ToLowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsTextHead(std::string_view head) {
    for (const char ch : head) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f' && c != 0x1A) return false;
    }
    return true;
}

bool IsZipHead(std::string_view head) {
    return head.starts_with("PK\x03\x04") || head.starts_with(std::string_view("PK\x05\x06", 4));
}

// The kind of a texture file by its name.
OutputKind TextureFileKind(std::string_view name) {
    if (EndsWithNoCase(name, ".jpg"))
        return {{".jpg"}, "a JPEG image", [](std::string_view h) { return h.starts_with("\xFF\xD8\xFF"); }};
    if (EndsWithNoCase(name, ".png"))
        return {{".png"}, "a PNG image", [](std::string_view h) { return h.starts_with("\x89PNG\r\n\x1A\n"); }};
    return {{".zip"}, "a zip archive", IsZipHead};
}

// The texture and mask names that the script at `path` names, in lower case (with and without
// an extension as written).
std::set<std::string> NamedTextures(std::string_view path) {
    std::set<std::string> names;
    std::string text;
    if (!ReadWholeFile(path, text, kMaxScriptReadBytes)) return names;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> words;
        std::size_t i = pos;
        while (i < end && words.size() < 4) {
            while (i < end && IsBlank(text[i])) ++i;
            const std::size_t start = i;
            while (i < end && !IsBlank(text[i])) ++i;
            if (i > start) words.emplace_back(text.substr(start, i - start));
        }
        if (!words.empty() && (EqualsNoCase(words[0], "Texture") || EqualsNoCase(words[0], "TextureExt"))) {
            if (words.size() > 1) names.insert(ToLowerText(words[1]));
            if (words.size() > 3 && EqualsNoCase(words[2], "Mask")) names.insert(ToLowerText(words[3]));
        }
        pos = end + 1;
    }
    return names;
}

// What a texture file `file` beside `script` may be written as: nullopt when it may not take
// that name; else whether it must be written (false: the same bytes are there already).
std::optional<bool> SideFileVerdict(const std::string& path, const ScriptFile& file,
                                    std::span<const std::string> inputs, const std::set<std::string>* named) {
    std::string existing;
    const ReadStatus status = ReadFileStatus(path, existing, file.content.size() + 1);
    if (status == ReadStatus::kMissing) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) return std::nullopt;  // a link to nothing
        return true;
    }
    if (status == ReadStatus::kOk && existing == file.content) return false;
    if (!named) return std::nullopt;
    std::string stem(file.name);
    stem.resize(stem.rfind('.'));
    const std::string lower = ToLowerText(file.name), lowerStem = ToLowerText(stem);
    if (!named->contains(lower) && !named->contains(lowerStem)) return std::nullopt;
    if (CheckOutputFile(path, TextureFileKind(file.name), inputs)) return std::nullopt;
    return true;
}

std::string Stem(std::string_view path, std::string_view extension) {
    std::string_view name = FileNamePart(path);
    if (EndsWithNoCase(name, extension)) name.remove_suffix(extension.size());
    return std::string(name);
}

std::string InFolderOf(std::string_view file, std::string_view name) {
    const std::string_view folder = ParentPart(file);
    return folder.empty() ? std::string(name) : JoinPath(folder, name);
}

// Writes the texture files of `built` that `write` marks into `folder`, then `main` as `output`.
std::optional<SaveProblem> WriteAll(std::string_view folder, const ScriptExport& built,
                                    const std::set<std::string>& write, std::string_view output,
                                    std::string_view main) {
    std::string error;
    for (const ScriptFile& f : built.textures) {
        if (!write.contains(f.name)) continue;
        const std::string path = folder.empty() ? f.name : JoinPath(folder, f.name);
        if (!WriteFileAtomically(path, f.content, &error))
            return SaveProblem{false, "cannot write \"" + path + "\": " + error};
    }
    if (!WriteFileAtomically(output, main, &error))
        return SaveProblem{false, "cannot write \"" + std::string(output) + "\": " + error};
    return std::nullopt;
}

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

OutputKind ScriptOutput() {
    return {{".rwx"}, "a RenderWare script", IsTextHead};
}

OutputKind ZippedModelOutput() {
    return {{".zip"}, "a zip archive", IsZipHead};
}

ScriptResult SaveScript(std::string_view output, std::span<const ExportEntry> entries, std::string_view sourceFile) {
    ScriptResult result;
    const std::vector<std::string> inputs = ExportInputs(sourceFile, entries);
    if (std::optional<std::string> refused = CheckOutputFile(output, ScriptOutput(), inputs)) {
        result.problem = SaveProblem{true, std::move(*refused)};
        return result;
    }
    const std::set<std::string> named = NamedTextures(output);
    std::set<std::string> write;
    const ScriptExport built = BuildScript(entries, [&](const ScriptFile& f) {
        const std::optional<bool> verdict = SideFileVerdict(InFolderOf(output, f.name), f, inputs, &named);
        if (verdict && *verdict) write.insert(f.name);
        return verdict.has_value();
    });
    result.counts = built.counts;
    result.notes = built.notes;
    result.problem = WriteAll(ParentPart(output), built, write, output, built.script);
    return result;
}

ScriptResult SaveZippedModel(std::string_view output, std::span<const ExportEntry> entries,
                             std::string_view sourceFile) {
    ScriptResult result;
    const std::vector<std::string> inputs = ExportInputs(sourceFile, entries);
    if (std::optional<std::string> refused = CheckOutputFile(output, ZippedModelOutput(), inputs)) {
        result.problem = SaveProblem{true, std::move(*refused)};
        return result;
    }
    const ScriptExport built = BuildScript(entries, {}, /*zipMasks=*/false);
    result.counts = built.counts;
    result.notes = built.notes;
    std::vector<ZipInput> members{{Stem(output, ".zip") + ".rwx", built.script}};
    for (const ScriptFile& f : built.textures) members.push_back({f.name, f.content});
    const std::optional<std::vector<uint8_t>> zip = BuildZip(members);
    if (!zip) {
        result.problem = SaveProblem{false, "cannot write \"" + std::string(output) + "\": the archive cannot be made"};
        return result;
    }
    result.problem = WriteAll({}, built, {}, output, AsText(*zip));
    return result;
}

ScriptResult SaveToObjectPath(std::string_view folder, std::string_view name, std::span<const ExportEntry> entries,
                              std::string_view sourceFile) {
    ScriptResult result;
    const std::string models = JoinPath(folder, "models");
    const std::string textures = JoinPath(folder, "textures");
    const std::string output = JoinPath(models, std::string(name) + ".zip");
    const std::vector<std::string> inputs = ExportInputs(sourceFile, entries);
    for (const std::string& dir : {models, textures})
        if (!MakeFolders(dir, 0777)) {
            result.problem =
                SaveProblem{true, "refusing to write \"" + output + "\": the folder \"" + dir + "\" cannot be made"};
            return result;
        }
    if (std::optional<std::string> refused = CheckOutputFile(output, ZippedModelOutput(), inputs)) {
        result.problem = SaveProblem{true, std::move(*refused)};
        return result;
    }
    std::set<std::string> write;
    const ScriptExport built = BuildScript(entries, [&](const ScriptFile& f) {
        const std::optional<bool> verdict = SideFileVerdict(JoinPath(textures, f.name), f, inputs, nullptr);
        if (verdict && *verdict) write.insert(f.name);
        return verdict.has_value();
    });
    result.counts = built.counts;
    result.notes = built.notes;
    const std::optional<std::vector<uint8_t>> zip = BuildZip({{std::string(name) + ".rwx", built.script}});
    if (!zip) {
        result.problem = SaveProblem{false, "cannot write \"" + output + "\": the archive cannot be made"};
        return result;
    }
    result.problem = WriteAll(textures, built, write, output, AsText(*zip));
    return result;
}

}  // namespace pelorus
