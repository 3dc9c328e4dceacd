#pragma once
// The object path of a world whose models live on a web server ("http://host/objects/"): models
// and their textures are fetched into the disk cache as they are looked for, in the layouts and
// order of a local object path, and read from there. Fetching waits, so a load that uses this runs
// beside the window, never on its thread.

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/downloader.h"
#include "reader/textureload.h"
#include "world/objectpath.h"

namespace pelorus {

// The folder of the disk cache at `cacheRoot` that holds the copies of the web object path
// `objectPath`, laid out as it is ("models/", "textures/"); "" when `objectPath` is no usable web
// address or `cacheRoot` is "". The folder may not exist.
std::string CachedFilesFolder(std::string_view objectPath, std::string_view cacheRoot);

// Removes the copies of the web object path `objectPath` from the disk cache at `cacheRoot`, and
// says what was done, as a sentence for the user:
//   The copies of "A" are removed from the cache.
//   The object path "P" is a folder on this computer; there is no cache to empty.   (also for "")
//   No cache folder is known: neither XDG_CACHE_HOME nor HOME is set.
//   Couldn't empty the cache of "A": WHY.
// `ok` is false for the last two.
struct CacheEmptied {
    bool ok = false;
    std::string message;
};
CacheEmptied EmptyObjectPathCache(std::string_view objectPath, std::string_view cacheRoot);

// The request that brings the picture `name` an action gives, on a world whose object path is
// `objectPath`: a full "http://" or "https://" address is asked of its own folder; any other name,
// of a web object path, relative to it. nullopt for names neither gives (a relative name on a
// local object path, an address that is no usable web address, a query or fragment in it).
std::optional<FileRequest> PictureRequest(std::string_view name, std::string_view objectPath,
                                          std::chrono::seconds refreshTime);
// Where the disk cache at `cacheRoot` keeps the copy that `request` brings; "" when the request's
// object path or name cannot be used, or `cacheRoot` is "".
std::string CopyPathOf(const FileRequest& request, std::string_view cacheRoot);

// Find, Prefetch and Where are used from one thread at a time; Fetch, TakeMessages and Offline
// from any thread.
class RemoteObjectPath final : public ObjectPath, public FolderFetcher {
public:
    // `downloader` (which must outlive this) fetches from `objectPath`, a web address (see
    // IsWebObjectPath; another gives an object path that finds nothing on the server). Copies
    // confirmed less than `refreshTime` ago are used without asking. `fileFolder` (the dump's own
    // folder, "" for none) is looked in after the server, as LocalObjectPath looks in it; `folders`
    // (may be null) keeps its listings.
    RemoteObjectPath(Downloader& downloader, std::string objectPath, std::string fileFolder,
                     FolderListingCache* folders = nullptr, std::chrono::seconds refreshTime = kDefaultRefreshTime);
    // Gives up the fetches that Prefetch started and nobody waited for.
    ~RemoteObjectPath() override;
    RemoteObjectPath(const RemoteObjectPath&) = delete;
    RemoteObjectPath& operator=(const RemoteObjectPath&) = delete;

    // Asks the server, in order, for models/NAME.zip, rwx/NAME.rwx and models/NAME.rwx (NAME the
    // base name as written; then, when it holds capitals and nothing was found, in lower case, as
    // the files of these servers are usually named), then the dump's folder. Files of that list
    // that the cache already holds are asked for first (in the same order): a copy within the
    // refresh time then costs no request, and an older one one conditional request. A model found on the
    // server is read from its copy in the cache, its textures looked for in the cache's textures
    // folder (fetched as they are asked for) and then in those of the dump's folder.
    ModelLookup Find(std::string_view name) override;
    // "the object path \"http://…/\"" (and the dump's folder).
    std::string Where() const override;
    // Starts fetching models/NAME.zip of every name at once, so that Find mostly waits for
    // downloads already under way.
    void Prefetch(const std::vector<std::string>& names) override;
    // A server that could not be reached, or a copy used because of that, is told once:
    //   Couldn't reach the object path "A" (WHY); the copies in the cache are used.
    // and every other failure of a file the models need, once per file, with the downloader's
    // message.
    std::vector<std::string> TakeMessages() override;
    FolderFetcher* Fetcher() override { return this; }

    // Starts fetching textures/FILE of every file name at once (as TextureFileName and
    // MaskFileName give them), so that Fetch mostly waits for downloads under way.
    void PrefetchTextures(const std::vector<std::string>& fileNames);

    // For the textures folder of the cache: fetches textures/FILE, else textures/BASE.zip.
    bool Fetch(std::string_view dir, std::string_view fileName) override;

    // While a lookup waits for a download, `onProgress` (when set) is told how the downloads go
    // (every tenth of a second, and when a file is in) and whether the server was found
    // unreachable; it is called on the thread that waits, which may be any thread using this
    // object path. When `cancel` (not owned) turns true, waiting lookups give up within a
    // fiftieth of a second, finding nothing. Set before the first lookup.
    void Watch(std::function<void(const DownloadProgress&, bool offline)> onProgress, const std::atomic<bool>* cancel);

    // True once the server could not be reached in this object path's lookups.
    bool Offline() const {
        std::lock_guard lock(mutex_);
        return offline_;
    }
    // The cache's copy of the object path's "textures" folder ("" without a cache).
    const std::string& TexturesFolder() const { return texturesFolder_; }

private:
    // The result of fetching `name` (relative to the object path), waiting for a prefetch of it.
    FetchResult FetchFile(const std::string& name);
    void Note(const FetchResult& result);
    // The files that may hold the model `base`, in the order they are asked for, each with its
    // kind (which layout, and whether in lower case).
    std::vector<std::pair<std::string, int>> Candidates(const std::string& base) const;

    // The search of one model: its files are asked for one after another until one is there.
    // Searches go on side by side; the one a lookup waits for is asked first.
    struct Search {
        std::vector<std::pair<std::string, int>> files;  // still to ask
        uint64_t ticket = 0;                             // of the file asked now; 0 when none is
        int kind = 0;                                    // of that file
        std::optional<FetchResult> found;
        bool done = false;
    };
    Search& SearchOf(const std::string& base);
    // Asks for the search's next file: one kept in the cache first, else the kind the models of
    // this server were most often found as; done when no file is left.
    void AskNext(Search& search);
    // Starts searches waiting to start while fewer than kSearchesAtOnce are under way.
    void StartQueued();
    void Took(const FetchResult& result);
    std::map<std::string, Search> searches_;          // by base name
    std::map<uint64_t, std::string> searchOfTicket_;  // tickets under way -> base name
    std::deque<std::string> queued_;                  // base names not asked for yet
    std::array<int, 6> foundKinds_{};                 // models found in each kind of file
    static constexpr std::size_t kSearchesAtOnce = 48;

    Downloader& downloader_;
    std::function<void(const DownloadProgress&, bool)> onProgress_;
    const std::atomic<bool>* cancel_ = nullptr;
    std::string objectPath_;
    std::string fileFolder_;
    FolderListingCache* folders_;
    std::chrono::seconds refreshTime_;
    std::string filesFolder_;
    std::string texturesFolder_;
    LocalObjectPath local_;
    std::map<std::string, uint64_t> prefetched_;  // name -> ticket not waited for yet
    std::map<std::string, bool> textures_;        // texture file name -> brought in
    std::vector<std::string> messages_;
    std::set<std::string> told_;
    bool offline_ = false;
    bool toldOffline_ = false;
    // Models are found on one thread, but textures are fetched by every thread reading models.
    mutable std::mutex mutex_;
};

}  // namespace pelorus
