#include "shell/catalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/atomicfile.h"
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

std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
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
        case ZipStatus::Unsupported:
            return ExtractStatus::Unsupported;
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
        case ExtractStatus::Unsupported:
            return ArchiveFailureLine(ZipStatus::Unsupported, archive, maxBytes);
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
    AtomicFileWriter writer;
    if (!writer.Begin(result.scriptPath, nullptr)) return fail(ExtractStatus::CannotWrite);
    bool written = true;
    const ZipStatus read = archive->ReadPieces(
        *member,
        [&](const uint8_t* data, std::size_t size) {
            written = writer.Write(std::string_view(reinterpret_cast<const char*>(data), size));
            return written;
        },
        maxBytes, password);
    // On failure the writer removes its temporary file as it goes.
    if (!written) return fail(ExtractStatus::CannotWrite);
    if (read != ZipStatus::Ok) return fail(StatusOfRead(read));
    if (!writer.Commit(nullptr)) return fail(ExtractStatus::CannotWrite);
    result.status = ExtractStatus::Ok;
    return result;
}

std::string TempFolderBase(std::string_view runtimeDir, std::string_view systemTemp) {
    for (const std::string_view candidate : {runtimeDir, systemTemp}) {
        const std::string folder(candidate);
        if (!folder.empty() && folder.front() == '/' && IsWritableFolder(folder)) return folder;
    }
    return "/tmp";
}

std::optional<int32_t> TempFolderProcess(std::string_view name) {
    if (!name.starts_with(kTempFolderPrefix)) return std::nullopt;
    name.remove_prefix(kTempFolderPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || name[0] == '0') return std::nullopt;
    const std::string_view digits = name.substr(0, dash);
    const std::string_view suffix = name.substr(dash + 1);
    if (suffix.size() != 6) return std::nullopt;
    for (const char c : suffix)
        if (!IsDigit(c) && !(UpperAscii(c) >= 'A' && UpperAscii(c) <= 'Z')) return std::nullopt;
    for (const char c : digits)
        if (!IsDigit(c)) return std::nullopt;
    int32_t pid = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (ec != std::errc{} || end != digits.data() + digits.size() || pid <= 0) return std::nullopt;
    return pid;
}

bool ProcessIsRunning(int32_t pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

namespace {

// Deeper folders are not descended into (they stay, and so do the folders holding them).
constexpr int kMaxRemovalDepth = 64;

// Removes what the folder open as `fd` holds, never following links; closes `fd`. True when the
// folder is empty afterwards.
bool EmptyFolderAt(int fd, int depth) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const int at = ::dirfd(dir);
    bool emptied = true;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            emptied = emptied && errno == ENOENT;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            emptied = (::unlinkat(at, name.c_str(), 0) == 0 || errno == ENOENT) && emptied;
            continue;
        }
        const int child =
            depth < kMaxRemovalDepth ? ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        const bool childEmptied = child >= 0 && EmptyFolderAt(child, depth + 1);
        emptied = childEmptied && ::unlinkat(at, name.c_str(), AT_REMOVEDIR) == 0 && emptied;
    }
    ::closedir(dir);
    return emptied;
}

// Removes the folder `name` in the folder open as `parent` with what it holds, when it is a
// folder (not a link) that `accept` takes by its status. True when it is gone.
bool RemoveChildFolder(int parent, const std::string& name, const std::function<bool(const struct stat&)>& accept) {
    struct stat st {};
    if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode) || !accept(st)) return false;
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    // The folder opened must be the one looked at: nothing was swapped in between.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        ::close(fd);
        return false;
    }
    return EmptyFolderAt(fd, 1) && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

bool RemoveFolderTree(std::string_view folder) {
    if (folder.empty()) return true;
    std::string path(folder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::string_view parentPart = ParentPart(path);
    const std::string parent = parentPart.empty() ? std::string(".") : std::string(parentPart);
    const std::string name(FileNamePart(path));
    if (name.empty() || name == "." || name == "..") return false;
    const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    const bool removed = RemoveChildFolder(fd, name, [](const struct stat&) { return true; });
    ::close(fd);
    return removed;
}

int RemoveStaleTempFolders(std::string_view base, const std::function<bool(int32_t)>& isRunning) {
    if (base.empty()) return 0;
    const std::string folder(base);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    DIR* dir = ::fdopendir(::dup(fd));
    std::vector<std::pair<std::string, int32_t>> candidates;
    if (dir) {
        while (const dirent* entry = ::readdir(dir))
            if (const std::optional<int32_t> pid = TempFolderProcess(entry->d_name))
                candidates.emplace_back(entry->d_name, *pid);
        ::closedir(dir);
    }
    const uid_t user = ::geteuid();
    int removed = 0;
    for (const auto& [name, pid] : candidates) {
        bool ended = false;
        const bool gone = RemoveChildFolder(fd, name, [&](const struct stat& st) {
            ended = st.st_uid == user && !isRunning(pid);
            return ended;
        });
        if (gone && ended) ++removed;
    }
    ::close(fd);
    return removed;
}

SessionTempFolder::SessionTempFolder(std::string_view base, ErrorLog& log) {
    const std::string folder = base.empty() ? std::string("/tmp") : std::string(base);
    if (MakeFolders(folder, 0700)) {
        RemoveStaleTempFolders(folder);
        std::string made = JoinPath(folder, std::string(kTempFolderPrefix) + std::to_string(::getpid()) + "-XXXXXX");
        if (::mkdtemp(made.data())) {
            path_ = AbsolutePath(made);
            return;
        }
    }
    log.Append("Couldn't create a temporary folder in " + Quote(folder) + ": " + std::strerror(errno) + ".");
}

SessionTempFolder::~SessionTempFolder() {
    if (!path_.empty()) RemoveFolderTree(path_);
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
