#include "reader/scenefile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/modelimport.h"
#include "reader/zippedmodel.h"

namespace pelorus {
namespace {

struct Token {
    std::string_view text;
    std::size_t line;
};

bool ParseWholeNumber(std::string_view text, double& out) {
    if (text.empty()) return false;
    const char* p = text.data();
    const char* end = p + text.size();
    if (*p == '+') ++p;
    if (p == end || !(IsDigit(*p) || *p == '.' || *p == '-')) return false;
    if (*p == '-' && (p + 1 == end || !(IsDigit(p[1]) || p[1] == '.'))) return false;
    const auto [next, ec] = std::from_chars(p, end, out, std::chars_format::general);
    return ec == std::errc{} && next == end;
}

}  // namespace

namespace {

std::vector<ObjectMapEntry> ParseEntries(std::string_view text, std::string_view mapPath,
                                         const std::function<void(const std::string&)>& complain) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    // A DOS end-of-file mark ends the text.
    if (const std::size_t eof = text.find('\x1A'); eof != std::string_view::npos) text = text.substr(0, eof);
    std::vector<Token> tokens;
    std::vector<std::string_view> lines;
    {
        // Lines end at a line feed, a carriage return, or both together (one line end).
        std::size_t lineNo = 0, pos = 0;
        std::size_t nextLf = text.find('\n'), nextCr = text.find('\r');
        while (pos <= text.size()) {
            if (nextLf != std::string_view::npos && nextLf < pos) nextLf = text.find('\n', pos);
            if (nextCr != std::string_view::npos && nextCr < pos) nextCr = text.find('\r', pos);
            std::size_t lf = std::min(nextLf, nextCr);
            if (lf == std::string_view::npos) lf = text.size();
            std::string_view line = text.substr(pos, lf - pos);
            lines.push_back(line);
            std::size_t i = 0;
            while (i < line.size()) {
                while (i < line.size() && (IsBlank(line[i]) || line[i] == '\0')) ++i;
                const std::size_t start = i;
                while (i < line.size() && !IsBlank(line[i]) && line[i] != '\0') ++i;
                if (i > start) tokens.push_back({line.substr(start, i - start), lineNo});
            }
            ++lineNo;
            pos = lf + (lf == nextCr && lf + 1 == nextLf ? 2 : 1);
        }
    }
    auto report = [&](std::size_t line) {
        std::string_view shown = lines[line];
        while (!shown.empty() && IsBlank(shown.back())) shown.remove_suffix(1);
        complain("Invalid object map entry \"" + BoundedQuote(shown) + "\" in \"" + BoundedQuote(mapPath) + "\".");
    };

    std::vector<ObjectMapEntry> entries;
    std::size_t i = 0;
    while (i < tokens.size()) {
        const std::size_t line = tokens[i].line;
        ObjectMapEntry entry;
        entry.path = std::string(tokens[i].text);
        bool ok = entry.path.size() <= 259 && i + 3 < tokens.size();
        ok = ok && ParseWholeNumber(tokens[i + 1].text, entry.x) && ParseWholeNumber(tokens[i + 2].text, entry.y) &&
             ParseWholeNumber(tokens[i + 3].text, entry.z);
        if (ok) {
            entry.line = static_cast<uint32_t>(std::min<std::size_t>(line + 1, UINT32_MAX));
            entries.push_back(std::move(entry));
            i += 4;
            continue;
        }
        report(line);
        while (i < tokens.size() && tokens[i].line == line) ++i;  // resume at the next line
    }
    return entries;
}

// The error lines of one load of an object map: the first kMaxErrorLines go to the log, the rest
// are only counted, and Finish writes one closing line that says how many.
class LoadLog {
public:
    explicit LoadLog(ErrorLog& log) : log_(log) {}

    void Append(std::string_view line) {
        if (written_ < kMaxErrorLines) {
            log_.Append(line);
            ++written_;
        } else {
            ++unlisted_;
        }
    }
    void AppendAll(const ErrorLog& lines) {
        for (std::size_t i = 0; i < lines.LineCount(); ++i) {
            const std::size_t from = lines.OffsetOfLine(i), to = lines.OffsetOfLine(i + 1) - 1;
            Append(std::string_view(lines.Text()).substr(from, to - from));
        }
    }

    void Finish(std::string_view mapPath) {
        if (unlisted_ > 0)
            log_.Append("Too many errors in object map \"" + BoundedQuote(mapPath) + "\", " +
                        std::to_string(unlisted_) + " more not listed.");
        unlisted_ = 0;
    }

private:
    ErrorLog& log_;
    int64_t written_ = 0;
    int64_t unlisted_ = 0;
};

// What tells existing files apart, whatever path names them.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<uint64_t>()(static_cast<uint64_t>(id.inode) * 0x9E3779B97F4A7C15ull ^
                                     static_cast<uint64_t>(id.device));
    }
};

}  // namespace

std::vector<ObjectMapEntry> ParseObjectMap(std::string_view text, std::string_view mapPath, ErrorLog& log) {
    return ParseEntries(text, mapPath, [&log](const std::string& line) { log.Append(line); });
}

bool IsScriptName(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && EqualsNoCase(name.substr(dot), ".rwx");
}

SceneObjects LoadSceneObjects(std::string_view path, ErrorLog& log, const ReadOptions& options) {
    SceneObjects scene;
    if (path.empty()) return scene;
    // Everything this load reads shares one folder cache, one image budget and one texture store.
    FolderListingCache folders;
    ImageBudget images;
    TextureStore textures;
    ReadOptions shared = options;
    if (!shared.folders) shared.folders = &folders;
    if (!shared.images) shared.images = &images;
    if (!shared.textureStore) shared.textureStore = &textures;
    if (IsScriptName(path) || IsZipName(path) || ImportFormatOf(path)) {
        PlacedObject object;
        object.placement = PlacedAt({0.0, 0.025, 0.0});
        object.model =
            scene.AddModel(std::make_shared<const RWXObject>(path, 0.0, 0.025, 0.0, log, shared), std::string(path));
        scene.SetText(object, path);
        scene.objects.push_back(object);
        return scene;
    }
    std::string text;
    const std::string file = InFolder(options.baseFolder, path);
    if (const ReadStatus read = ReadFileStatus(file, text, kNoSizeLimit, shared.folders); read != ReadStatus::kOk) {
        // A file that is there but cannot be read is named whole, with the reason.
        if (read == ReadStatus::kMissing)
            log.Append("Unable to open file \"" + BoundedQuote(path) + "\" as an object map.");
        else
            log.Append("Unable to open file \"" + BoundedQuote(AbsolutePath(file)) + "\" as an object map: it " +
                       std::string(ReadStatusText(read)) + ".");
        return scene;
    }
    // Entries name their scripts from the map's own folder, however the map itself was named.
    const std::string_view folder = ParentPart(file);
    if (!folder.empty()) shared.baseFolder = std::string(folder);
    LoadLog loadLog(log);
    const std::vector<ObjectMapEntry> entries =
        ParseEntries(text, path, [&loadLog](const std::string& line) { loadLog.Append(line); });
    std::string().swap(text);
    scene.objects.reserve(entries.size());
    // The model of each file read, by the file's identity, and the files found missing.
    std::unordered_map<FileIdentity, uint32_t, FileIdentityHash> models;
    std::unordered_map<std::string, uint32_t> modelsBySpelling;
    std::unordered_set<std::string> missingFiles;
    // Entries whose file cannot be opened at all cost their line and share one empty model.
    uint32_t nothing = PlacedObject::kNoModel;
    ErrorLog modelLog;  // one model's lines, on their way to loadLog
    for (const ObjectMapEntry& e : entries) {
        PlacedObject object;
        object.placement = PlacedAt({e.x, e.y, e.z});
        object.line = e.line;
        bool found = false;
        const std::string resolved = ResolvePath(InFolder(shared.baseFolder, e.path), shared.folders, &found);
        // A spelling met before names the model found for it, without another look at the file.
        if (found && shared.shareModels)
            if (const auto it = modelsBySpelling.find(resolved); it != modelsBySpelling.end()) {
                object.model = it->second;
                scene.SetText(object, e.path);
                scene.objects.push_back(object);
                continue;
            }
        struct stat st {};
        const bool exists = found && ::stat(resolved.c_str(), &st) == 0;
        // Scripts and archives that cannot be opened all say the same; imported models say why,
        // so only those that are not there at all are passed over here.
        const bool missing = !exists && (!ImportFormatOf(e.path) ||
                                         (::stat(resolved.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)));
        if (missing) {
            if (!shared.shareModels || missingFiles.insert(resolved).second)
                loadLog.Append(RWXObject::CannotOpenLine(e.path));
            if (nothing == PlacedObject::kNoModel) nothing = scene.AddModel(RWXObject::FromText("", 0, 0, 0, modelLog, shared), "");
            object.model = nothing;
        } else {
            const bool share = shared.shareModels && exists;
            if (share)
                if (const auto it = models.find(FileIdentity{st.st_dev, st.st_ino}); it != models.end())
                    object.model = it->second;
            if (!object.HasModel()) {
                modelLog = ErrorLog();
                object.model =
                    scene.AddModel(std::make_shared<const RWXObject>(e.path, e.x, e.y, e.z, modelLog, shared), e.path);
                loadLog.AppendAll(modelLog);
                if (share) models.emplace(FileIdentity{st.st_dev, st.st_ino}, object.model);
            }
            if (share) modelsBySpelling.emplace(resolved, object.model);
        }
        scene.SetText(object, e.path);
        scene.objects.push_back(object);
    }
    loadLog.Finish(path);
    return scene;
}

SceneObjects ReadAsViewer(std::string_view path, ErrorLog& log, ReadOptions options) {
    if (path.empty()) return {};
    const std::string absolute = AbsolutePath(ToSlashes(path));
    const std::string_view folder = ParentPart(absolute);
    options.baseFolder = folder.empty() ? std::string(".") : std::string(folder);
    return LoadSceneObjects(FileNamePart(absolute), log, options);
}

}  // namespace pelorus
