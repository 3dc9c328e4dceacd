#include "world/remoteobjectpath.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>

#include "net/diskcache.h"
#include "net/webaddress.h"
#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/text.h"
#include "platform/textsafety.h"

namespace pelorus {
namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// `name` without its extension (the part from the last dot after the last separator).
std::string WithoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name;
    return name.substr(0, dot);
}

// The model files a base name may be kept in, in the order they are asked for.
std::vector<std::string> ModelFiles(const std::string& base) {
    return {"models/" + base + ".zip", "rwx/" + base + ".rwx", "models/" + base + ".rwx"};
}

}  // namespace

std::string CachedFilesFolder(std::string_view objectPath, std::string_view cacheRoot) {
    if (cacheRoot.empty()) return {};
    const std::optional<WebObjectPath> web = ParseWebObjectPath(objectPath);
    if (!web) return {};
    return DiskCache(std::string(cacheRoot)).FilesOf(*web);
}

CacheEmptied EmptyObjectPathCache(std::string_view objectPath, std::string_view cacheRoot) {
    CacheEmptied result;
    std::string why;
    const std::optional<WebObjectPath> web =
        IsWebObjectPath(objectPath) ? ParseWebObjectPath(objectPath, &why) : std::nullopt;
    if (!web) {
        result.ok = why.empty();
        result.message = why.empty()
                             ? "The object path \"" + BoundedQuote(objectPath) +
                                   "\" is a folder on this computer; there is no cache to empty."
                             : "The object path \"" + BoundedQuote(objectPath) +
                                   "\" is no web address the viewer can use (" + why + "); there is no cache to empty.";
        return result;
    }
    if (cacheRoot.empty()) {
        result.message = "No cache folder is known: neither XDG_CACHE_HOME nor HOME is set.";
        return result;
    }
    std::string error;
    if (!DiskCache(std::string(cacheRoot)).Empty(*web, &error)) {
        result.message = "Couldn't empty the cache of \"" + BoundedQuote(web->address) + "\": " + error + ".";
        return result;
    }
    result.ok = true;
    result.message = "The copies of \"" + BoundedQuote(web->address) + "\" are removed from the cache.";
    return result;
}

std::optional<FileRequest> PictureRequest(std::string_view name, std::string_view objectPath,
                                          std::chrono::seconds refreshTime) {
    FileRequest request;
    request.refreshTime = refreshTime;
    if (IsWebObjectPath(name)) {
        // The folder of the address is the object path its file is kept under.
        const std::size_t slash = ToSlashes(name).rfind('/');
        if (slash == std::string::npos || slash + 1 >= name.size()) return std::nullopt;
        request.objectPath = std::string(name.substr(0, slash + 1));
        request.name = std::string(name.substr(slash + 1));
        const std::optional<WebObjectPath> folder = ParseWebObjectPath(request.objectPath);
        // "http://host/a.jpg" has no folder beyond the host: the scheme's slashes are no folder.
        if (!folder || !ParseWebObjectPath(name)) return std::nullopt;
    } else {
        // An address of another kind is no name in the object path.
        if (name.empty() || name.find("://") != std::string_view::npos || !IsWebObjectPath(objectPath))
            return std::nullopt;
        request.objectPath = std::string(objectPath);
        request.name = std::string(name);
    }
    if (!SafeObjectName(request.name)) return std::nullopt;
    return request;
}

std::string CopyPathOf(const FileRequest& request, std::string_view cacheRoot) {
    if (cacheRoot.empty()) return {};
    const std::optional<WebObjectPath> web = ParseWebObjectPath(request.objectPath);
    const std::optional<std::string> name = SafeObjectName(request.name);
    if (!web || !name) return {};
    return DiskCache(std::string(cacheRoot)).CopyOf(*web, *name);
}

RemoteObjectPath::RemoteObjectPath(Downloader& downloader, std::string objectPath, std::string fileFolder,
                                   FolderListingCache* folders, std::chrono::seconds refreshTime)
    : downloader_(downloader),
      objectPath_(std::move(objectPath)),
      fileFolder_(std::move(fileFolder)),
      folders_(folders),
      refreshTime_(refreshTime),
      local_(std::string(), fileFolder_, folders) {
    filesFolder_ = downloader_.CacheFilesFolder(objectPath_);
    if (!filesFolder_.empty()) texturesFolder_ = JoinPath(filesFolder_, "textures");
}

RemoteObjectPath::~RemoteObjectPath() {
    std::vector<uint64_t> tickets;
    for (const auto& [name, ticket] : prefetched_) tickets.push_back(ticket);
    for (const auto& [ticket, base] : searchOfTicket_) tickets.push_back(ticket);
    downloader_.Cancel(tickets);
}

void RemoteObjectPath::Note(const FetchResult& result) {
    std::lock_guard lock(mutex_);
    switch (result.status) {
        case FetchStatus::kFresh:
        case FetchStatus::kNotModified:
        case FetchStatus::kDownloaded:
        case FetchStatus::kNotFound:
            return;
        case FetchStatus::kOffline:
            offline_ = true;
            if (!toldOffline_) {
                toldOffline_ = true;
                messages_.push_back("Couldn't reach the object path \"" + BoundedQuote(objectPath_) + "\" (" +
                                    result.message + "); the copies in the cache are used.");
            }
            return;
        case FetchStatus::kFailed:
            if (result.repeat || !told_.insert(result.name).second) return;
            messages_.push_back(result.message.empty() ? "Couldn't fetch \"" + BoundedQuote(result.name) + "\"."
                                                       : "Couldn't fetch " + result.message + ".");
            return;
    }
}

FetchResult RemoteObjectPath::FetchFile(const std::string& name) {
    FetchResult result;
    std::optional<uint64_t> ticket;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = prefetched_.find(name); it != prefetched_.end()) {
            ticket = it->second;
            prefetched_.erase(it);
        }
    }
    if (!ticket) ticket = downloader_.Request({objectPath_, name, refreshTime_});
    std::function<void(const DownloadProgress&)> tell;
    if (onProgress_) tell = [this](const DownloadProgress& progress) { onProgress_(progress, Offline()); };
    result = downloader_.Wait(std::span<const uint64_t>(&*ticket, 1), tell, cancel_).front();
    // A load given up is no failure of the server's.
    if (cancel_ && cancel_->load() && !result.Usable()) return result;
    Note(result);
    if (tell) tell(downloader_.Progress());
    return result;
}

void RemoteObjectPath::Watch(std::function<void(const DownloadProgress&, bool)> onProgress,
                             const std::atomic<bool>* cancel) {
    onProgress_ = std::move(onProgress);
    cancel_ = cancel;
}

std::vector<std::pair<std::string, int>> RemoteObjectPath::Candidates(const std::string& base) const {
    std::vector<std::pair<std::string, int>> out;
    int kind = 0;
    for (std::string& file : ModelFiles(base)) out.emplace_back(std::move(file), kind++);
    if (const std::string lower = LowerAscii(base); lower != base)
        for (std::string& file : ModelFiles(lower)) out.emplace_back(std::move(file), kind++);
    // Files kept from earlier runs first, in the same order: they are used without asking while
    // fresh, so a reopen asks nothing for names that were found in a later layout.
    if (!filesFolder_.empty())
        std::stable_partition(out.begin(), out.end(),
                              [&](const auto& file) { return IsRegularFile(JoinPath(filesFolder_, file.first)); });
    return out;
}

void RemoteObjectPath::AskNext(Search& search) {
    search.ticket = 0;
    if (search.files.empty()) {
        search.done = true;
        return;
    }
    auto next = search.files.begin();
    if (!filesFolder_.empty() && !IsRegularFile(JoinPath(filesFolder_, next->first)))
        for (auto it = search.files.begin(); it != search.files.end(); ++it)
            if (foundKinds_[static_cast<std::size_t>(it->second)] > foundKinds_[static_cast<std::size_t>(next->second)])
                next = it;
    search.kind = next->second;
    search.ticket = downloader_.Request({objectPath_, next->first, refreshTime_});
    search.files.erase(next);
}

RemoteObjectPath::Search& RemoteObjectPath::SearchOf(const std::string& base) {
    auto [it, added] = searches_.try_emplace(base);
    if (added) {
        it->second.files = Candidates(base);
        AskNext(it->second);
        if (it->second.ticket) searchOfTicket_.emplace(it->second.ticket, base);
    }
    return it->second;
}

void RemoteObjectPath::StartQueued() {
    while (searchOfTicket_.size() < kSearchesAtOnce && !queued_.empty()) {
        const std::string base = std::move(queued_.front());
        queued_.pop_front();
        SearchOf(base);
    }
}

void RemoteObjectPath::Took(const FetchResult& result) {
    const auto by = searchOfTicket_.find(result.ticket);
    if (by == searchOfTicket_.end()) return;
    Search& search = searches_[by->second];
    const std::string base = by->second;
    searchOfTicket_.erase(by);
    Note(result);
    if (result.Usable()) {
        search.found = result;
        search.done = true;
        search.ticket = 0;
        ++foundKinds_[static_cast<std::size_t>(search.kind)];
        return;
    }
    AskNext(search);
    if (search.ticket) searchOfTicket_.emplace(search.ticket, base);
}

void RemoteObjectPath::Prefetch(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (!IsSafeModelName(name)) continue;
        std::string base = BaseModelName(name);
        if (base.empty() || base.ends_with('/')) continue;
        queued_.push_back(std::move(base));
    }
    StartQueued();
}

void RemoteObjectPath::PrefetchTextures(const std::vector<std::string>& fileNames) {
    if (texturesFolder_.empty()) return;
    for (const std::string& fileName : fileNames) {
        if (fileName.empty()) continue;
        std::string file = "textures/" + fileName;
        std::lock_guard lock(mutex_);
        if (prefetched_.contains(file) || textures_.contains(fileName)) continue;
        const uint64_t ticket = downloader_.Request({objectPath_, file, refreshTime_});
        prefetched_.emplace(std::move(file), ticket);
    }
}

ModelLookup RemoteObjectPath::Find(std::string_view name) {
    ModelLookup lookup;
    if (!IsSafeModelName(name)) {
        lookup.status = ModelLookupStatus::Refused;
        return lookup;
    }
    const std::string base = BaseModelName(name);
    if (base.empty() || base.ends_with('/')) return lookup;
    std::function<void(const DownloadProgress&)> tell;
    if (onProgress_) tell = [this](const DownloadProgress& progress) { onProgress_(progress, Offline()); };
    // This model's search first, the others going on meanwhile.
    while (!SearchOf(base).done) {
        StartQueued();
        std::vector<uint64_t> tickets{SearchOf(base).ticket};
        for (const auto& [ticket, other] : searchOfTicket_)
            if (ticket != tickets.front()) tickets.push_back(ticket);
        const std::vector<FetchResult> results = downloader_.WaitAny(tickets, tell, cancel_);
        if (cancel_ && cancel_->load()) return lookup;  // a load given up
        for (const FetchResult& result : results) Took(result);
    }
    if (tell) tell(downloader_.Progress());
    const Search& search = SearchOf(base);
    if (search.found) {
        lookup.status = ModelLookupStatus::Found;
        lookup.location.file = search.found->file;
        if (!texturesFolder_.empty()) lookup.location.textureDirs.push_back(texturesFolder_);
        for (std::string& dir : ObjectPathTextureDirs(fileFolder_, folders_))
            if (std::find(lookup.location.textureDirs.begin(), lookup.location.textureDirs.end(), dir) ==
                lookup.location.textureDirs.end())
                lookup.location.textureDirs.push_back(std::move(dir));
        return lookup;
    }
    if (fileFolder_.empty()) return lookup;
    return local_.Find(name);
}

std::string RemoteObjectPath::Where() const {
    std::string where = "the object path \"" + BoundedQuote(objectPath_) + "\"";
    if (!fileFolder_.empty()) where += " and the dump's folder \"" + BoundedQuote(fileFolder_) + "\"";
    return where;
}

bool RemoteObjectPath::Fetch(std::string_view dir, std::string_view fileName) {
    if (texturesFolder_.empty() || dir != texturesFolder_ || fileName.empty()) return false;
    const std::string key(fileName);
    {
        std::lock_guard lock(mutex_);
        if (const auto it = textures_.find(key); it != textures_.end()) return it->second;
    }
    // As written, then in lower case; the image itself, then its archive.
    // Copies kept from earlier runs first, as for models.
    std::vector<std::string> files{"textures/" + key, "textures/" + WithoutExtension(key) + ".zip"};
    if (const std::string lower = LowerAscii(key); lower != key) {
        files.push_back("textures/" + lower);
        files.push_back("textures/" + WithoutExtension(lower) + ".zip");
    }
    std::stable_partition(files.begin(), files.end(),
                          [&](const std::string& file) { return IsRegularFile(JoinPath(filesFolder_, file)); });
    bool brought = false;
    for (const std::string& file : files)
        if ((brought = FetchFile(file).Usable())) break;
    std::lock_guard lock(mutex_);
    textures_.emplace(key, brought);
    return brought;
}

std::vector<std::string> RemoteObjectPath::TakeMessages() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    out.swap(messages_);
    return out;
}

}  // namespace pelorus
