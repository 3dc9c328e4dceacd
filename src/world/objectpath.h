#pragma once
// Where the models of a world come from: its object path. A world names its models by bare names
// ("tree01", "tree01.rwx", "TREE01.ZIP"); the object path is the folder (or, later, the web server)
// that holds them in one of the usual layouts. Everything that looks for a model by name goes
// through ObjectPath, so that object paths of other kinds can stand in for the local one.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class FolderListingCache;
class FolderFetcher;

// A model found: the local file to read, and where its textures are looked for.
struct ModelLocation {
    // A script (".rwx") or a zip archive holding one (".zip"), as an absolute path or one taken
    // from the reader's base folder.
    std::string file;
    // Folders searched for its textures after its own archive and before the texture search path.
    std::vector<std::string> textureDirs;
};

enum class ModelLookupStatus {
    Found,
    NotFound,  // no layout of the object path holds it
    Refused,   // the name would lead out of the object path (an absolute path, a ".." step)
};

struct ModelLookup {
    ModelLookupStatus status = ModelLookupStatus::NotFound;
    ModelLocation location;  // when Found
};

// What looks models up by name. Implementations are used from one thread at a time.
class ObjectPath {
public:
    virtual ~ObjectPath() = default;
    // Finds the model named `name` (as the world writes it: with or without ".rwx" or ".zip", in
    // any letter case; either separator). A name that IsSafeModelName refuses gives Refused
    // without looking anywhere.
    virtual ModelLookup Find(std::string_view name) = 0;
    // Where models are looked for, for error lines: "the object path \"/worlds/x\" and the
    // dump's folder \"/home/me\"".
    virtual std::string Where() const = 0;
    // Told the names a load is about to Find, before the first Find, so that an object path that
    // must fetch its models can start on all of them at once. Does nothing by default.
    virtual void Prefetch(const std::vector<std::string>& names) { (void)names; }
    // Error lines of trouble that is not one model's (a server that cannot be reached), each
    // once, since the last call. None by default.
    virtual std::vector<std::string> TakeMessages() { return {}; }
    // Where textures of web object paths are brought from (see FolderFetcher); null for local ones.
    virtual FolderFetcher* Fetcher() { return nullptr; }
};

// False for a name that would leave the folder it is looked for in: an absolute path (beginning
// with a separator or a drive letter and colon), one with a ".." step, or one holding a NUL byte.
// Names with folders below ("trees/oak") are fine.
bool IsSafeModelName(std::string_view name);

// `name` without a final ".rwx" or ".zip" (in any letter case) and with `\` turned into `/`.
std::string BaseModelName(std::string_view name);

// The object path of a folder on this machine, with the folder of the file that names the
// models as the place to look when the object path has nothing. A model NAME (its base name) is
// looked for in this order, each name in any letter case, the first regular file found winning:
//   <objectPath>/models/NAME.zip, <objectPath>/rwx/NAME.rwx, <objectPath>/models/NAME.rwx,
//   <fileFolder>/NAME.zip, <fileFolder>/NAME.rwx, <fileFolder>/models/NAME.zip,
//   <fileFolder>/rwx/NAME.rwx, <fileFolder>/models/NAME.rwx.
// Its textures are looked for in the "textures" folder of the object path, then in that of the
// file's folder (those of them that exist). Either folder may be "" (not searched); relative
// folders are taken from the current folder.
class LocalObjectPath final : public ObjectPath {
public:
    // `folders` (may be null) keeps the folder listings of the case-blind lookups; it must outlive
    // this object.
    LocalObjectPath(std::string objectPath, std::string fileFolder, FolderListingCache* folders = nullptr);
    ModelLookup Find(std::string_view name) override;
    std::string Where() const override;

    // The places Find tries for the base name `base`, in order (exposed for tests).
    std::vector<std::string> Candidates(std::string_view base) const;

private:
    std::string objectPath_;
    std::string fileFolder_;
    FolderListingCache* folders_;
    std::optional<std::vector<std::string>> textureDirs_;  // found on first use
};

}  // namespace pelorus
