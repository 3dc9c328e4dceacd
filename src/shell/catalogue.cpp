#include "shell/catalogue.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/text.h"
#include "platform/ziparchive.h"
#include "reader/zippedmodel.h"

namespace pelorus {
namespace {

constexpr std::string_view kArchiveExtension = ".zip";
constexpr std::string_view kScriptExtension = ".rwx";

// The group's name as the split submenus show it, and behind "&" in the group's label.
std::string GroupKey(int group) {
    if (group == kCatalogueDigitGroup) return "0-9";
    if (group == kCatalogueOtherGroup) return "?";
    return std::string(1, static_cast<char>('A' + group));
}

std::string MenuText(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        out.push_back(c);
        if (c == '&') out.push_back('&');
    }
    return out;
}

bool LessNoCaseThenBytes(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char ua = UpperAscii(a[i]);
        const char ub = UpperAscii(b[i]);
        if (ua != ub) return static_cast<unsigned char>(ua) < static_cast<unsigned char>(ub);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool IsWritableFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Creates `path` and the folders above it that are missing, each with `mode`.
bool MakeFolders(const std::string& path, mode_t mode) {
    if (path.empty()) return false;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t slash = path.find('/', pos + 1);
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && prefix != "/" && ::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        pos = slash;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ExtractStatus StatusOfRead(ZipStatus status) {
    switch (status) {
        case ZipStatus::Ok:
            return ExtractStatus::Ok;
        case ZipStatus::CannotOpen:
            return ExtractStatus::CannotOpen;
        case ZipStatus::NotAZip:
            return ExtractStatus::NotAZip;
        case ZipStatus::NotFound:
            return ExtractStatus::NoScript;
        case ZipStatus::Corrupt:
            return ExtractStatus::Corrupt;
        case ZipStatus::TooLarge:
            return ExtractStatus::TooLarge;
        case ZipStatus::NeedsPassword:
            return ExtractStatus::NeedsPassword;
    }
    return ExtractStatus::Corrupt;
}

std::string FailureLine(ExtractStatus status, std::string_view archive, std::string_view script, uint64_t maxBytes) {
    const std::string a = Quote(archive);
    switch (status) {
        // The same words as for a zipped model opened directly.
        case ExtractStatus::CannotOpen:
            return ArchiveFailureLine(ZipStatus::CannotOpen, archive, maxBytes);
        case ExtractStatus::NotAZip:
            return ArchiveFailureLine(ZipStatus::NotAZip, archive, maxBytes);
        case ExtractStatus::NoScript:
            return ArchiveFailureLine(ZipStatus::NotFound, archive, maxBytes);
        case ExtractStatus::Corrupt:
            return ArchiveFailureLine(ZipStatus::Corrupt, archive, maxBytes);
        case ExtractStatus::TooLarge:
            return ArchiveFailureLine(ZipStatus::TooLarge, archive, maxBytes);
        case ExtractStatus::NeedsPassword:
            return "Archive " + a + " needs the world's object password, or the password is wrong.";
        case ExtractStatus::CannotWrite:
            if (script.empty()) return "Couldn't extract archive " + a + ": there is no temporary folder.";
            return "Couldn't write the model script of archive " + a + " to " + Quote(script) + ".";
        case ExtractStatus::Ok:
        case ExtractStatus::NoSuchEntry:
            break;
    }
    return "Couldn't extract archive " + a + ".";
}

}  // namespace

int CatalogueGroupOf(std::string_view name) {
    if (name.empty()) return kCatalogueOtherGroup;
    const char c = UpperAscii(name.front());
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (IsDigit(c)) return kCatalogueDigitGroup;
    return kCatalogueOtherGroup;
}

std::vector<CatalogueMenuGroup> BuildCatalogueMenu(std::span<const std::string> names, std::string_view current) {
    std::array<std::vector<std::size_t>, kCatalogueGroupCount> members;
    bool exactMatch = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        members[static_cast<std::size_t>(CatalogueGroupOf(names[i]))].push_back(i);
        if (!current.empty() && names[i] == current) exactMatch = true;
    }
    auto isChecked = [&](const std::string& name) {
        if (current.empty()) return false;
        return exactMatch ? name == current : EqualsNoCase(name, current);
    };

    std::vector<int> order{kCatalogueOtherGroup, kCatalogueDigitGroup};
    for (int letter = 0; letter < 26; ++letter) order.push_back(letter);

    std::vector<CatalogueMenuGroup> menu;
    for (const int group : order) {
        const std::vector<std::size_t>& indices = members[static_cast<std::size_t>(group)];
        if (indices.empty()) continue;
        CatalogueMenuGroup item;
        item.total = static_cast<int32_t>(indices.size());
        item.label = "&" + GroupKey(group) + "\t(" + std::to_string(indices.size()) + ")";
        const bool split = indices.size() > kCatalogueEntriesPerMenu;
        for (std::size_t first = 0; first < indices.size(); first += kCatalogueEntriesPerMenu) {
            const std::size_t end = std::min(indices.size(), first + kCatalogueEntriesPerMenu);
            CatalogueMenuPart part;
            if (split) part.label = GroupKey(group) + " " + std::to_string(first + 1) + "\u2013" + std::to_string(end);
            for (std::size_t k = first; k < end; ++k) {
                const std::size_t i = indices[k];
                part.entries.push_back(
                    {MenuText(names[i]), kFirstCatalogueCommand + static_cast<int32_t>(i), isChecked(names[i])});
            }
            item.parts.push_back(std::move(part));
        }
        menu.push_back(std::move(item));
    }
    return menu;
}

std::vector<std::string> ListCatalogueArchives(std::string_view modelsFolder) {
    std::vector<std::string> files;
    const std::string folder = ResolvePath(modelsFolder);
    if (folder.empty()) return files;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return files;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() <= kArchiveExtension.size() || !EndsWithNoCase(name, kArchiveExtension)) continue;
        const std::string path = JoinPath(folder, name);
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        files.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end(), LessNoCaseThenBytes);
    return files;
}

std::vector<std::string> CatalogueTextureDirs(std::string_view objectPath) {
    return ObjectPathTextureDirs(objectPath);
}

std::string ExtractedScriptPath(std::string_view tempFolder, std::string_view name) {
    if (tempFolder.empty()) return {};
    std::string file(name);
    std::replace(file.begin(), file.end(), '/', '_');
    std::replace(file.begin(), file.end(), '\\', '_');
    file.append(kScriptExtension);
    return JoinPath(tempFolder, file);
}

ExtractResult ExtractModelScript(std::string_view archivePath, std::string_view name, std::string_view tempFolder,
                                 const std::string& password, ErrorLog& log, uint64_t maxBytes) {
    ExtractResult result;
    result.scriptPath = ExtractedScriptPath(tempFolder, name);
    auto fail = [&](ExtractStatus status) {
        if (!result.scriptPath.empty()) ::unlink(result.scriptPath.c_str());
        log.Append(FailureLine(status, archivePath, result.scriptPath, maxBytes));
        result.status = status;
        return result;
    };

    ZipStatus opened = ZipStatus::Ok;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::Open(archivePath, &opened);
    if (!archive) return fail(StatusOfRead(opened));
    const std::optional<std::size_t> member = FindModelScript(*archive, name);
    if (!member) return fail(ExtractStatus::NoScript);

    if (result.scriptPath.empty()) return fail(ExtractStatus::CannotWrite);
    const std::string folder(tempFolder);
    if (!MakeFolders(folder, 0777)) return fail(ExtractStatus::CannotWrite);
    std::string temporary = JoinPath(folder, ".extract-XXXXXX.rwx");
    const int fd = ::mkstemps(temporary.data(), static_cast<int>(kScriptExtension.size()));
    if (fd < 0) return fail(ExtractStatus::CannotWrite);

    bool written = true;
    const ZipStatus read = archive->ReadPieces(
        *member,
        [&](const uint8_t* data, std::size_t size) {
            written = WriteAll(fd, data, size);
            return written;
        },
        maxBytes, password);
    if (::close(fd) != 0) written = false;
    if (!written) {
        ::unlink(temporary.c_str());
        return fail(ExtractStatus::CannotWrite);
    }
    if (read != ZipStatus::Ok) {
        ::unlink(temporary.c_str());
        return fail(StatusOfRead(read));
    }
    if (::rename(temporary.c_str(), result.scriptPath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return fail(ExtractStatus::CannotWrite);
    }
    result.status = ExtractStatus::Ok;
    return result;
}

std::string ProgramTempFolder(std::string_view programDir) {
    return JoinPath(programDir.empty() ? ProgramDirectory() : std::string(programDir), "temp");
}

std::string CacheTempFolder(std::string_view xdgCacheHome, std::string_view home) {
    if (!xdgCacheHome.empty() && xdgCacheHome.front() == '/') return JoinPath(xdgCacheHome, "pelorus/temp");
    if (!home.empty() && home.front() == '/') return JoinPath(home, ".cache/pelorus/temp");
    return {};
}

std::string PrepareTempFolder(std::string_view programDir, std::string_view xdgCacheHome, std::string_view home,
                              ErrorLog& log) {
    const std::string own = ResolvePath(ProgramTempFolder(programDir));
    if (IsWritableFolder(own)) return own;
    if (::mkdir(own.c_str(), 0777) == 0 && IsWritableFolder(own)) return own;

    const std::string cache = CacheTempFolder(xdgCacheHome, home);
    if (!cache.empty() && MakeFolders(cache, 0700) && IsWritableFolder(cache)) return cache;
    log.Append("Couldn't create the temporary folder " + Quote(own) +
               (cache.empty() ? std::string() : " nor " + Quote(cache)) + ".");
    return {};
}

std::string PrepareTempFolder(std::string_view programDir, ErrorLog& log) {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    return PrepareTempFolder(programDir, xdg ? xdg : "", home ? home : "", log);
}

int CleanTempFolder(std::string_view folder) {
    if (folder.empty()) return 0;
    const std::string path(folder);
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return 0;
    std::vector<std::string> doomed;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!EndsWithNoCase(name, kScriptExtension)) continue;
        const std::string file = JoinPath(path, name);
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) doomed.push_back(file);
    }
    ::closedir(dir);
    int deleted = 0;
    for (const std::string& file : doomed)
        if (::unlink(file.c_str()) == 0) ++deleted;
    return deleted;
}

bool Catalogue::Rebuild(std::string_view objectPath, std::string_view baseFolder) {
    if (objectPath.empty()) return false;
    objectPath_ = AbsolutePath(InFolder(baseFolder, objectPath));
    modelsFolder_ = ResolvePath(JoinPath(objectPath_, "models"));
    files_ = ListCatalogueArchives(modelsFolder_);
    names_.clear();
    names_.reserve(files_.size());
    for (const std::string& file : files_) names_.push_back(file.substr(0, file.size() - kArchiveExtension.size()));
    return true;
}

std::optional<std::size_t> Catalogue::EntryOfCommand(int32_t command) const {
    if (command < kFirstCatalogueCommand) return std::nullopt;
    const auto index = static_cast<std::size_t>(command - kFirstCatalogueCommand);
    if (index >= names_.size()) return std::nullopt;
    return index;
}

std::string Catalogue::ArchivePath(std::size_t index) const {
    if (index >= files_.size()) return {};
    return JoinPath(modelsFolder_, files_[index]);
}

std::vector<std::string> Catalogue::TextureDirs() const {
    if (objectPath_.empty()) return {};
    return CatalogueTextureDirs(objectPath_);
}

std::vector<CatalogueMenuGroup> Catalogue::Menu() const {
    return BuildCatalogueMenu(names_, current_);
}

ExtractResult Catalogue::Open(int32_t command, std::string_view tempFolder, const std::string& password, ErrorLog& log,
                              uint64_t maxBytes) {
    const std::optional<std::size_t> index = EntryOfCommand(command);
    if (!index) {
        log.Append("No catalogue entry has the command number " + std::to_string(command) + ".");
        return {};
    }
    current_ = names_[*index];
    return ExtractModelScript(ArchivePath(*index), names_[*index], tempFolder, password, log, maxBytes);
}

}  // namespace pelorus
