#include "world/objectpath.h"

#include <sys/stat.h>

#include <algorithm>

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

}  // namespace

bool IsSafeModelName(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) return false;
    const std::string slashes = ToSlashes(name);
    if (slashes.starts_with('/')) return false;
    if (slashes.size() >= 2 && slashes[1] == ':' &&
        ((slashes[0] >= 'a' && slashes[0] <= 'z') || (slashes[0] >= 'A' && slashes[0] <= 'Z')))
        return false;
    std::size_t start = 0;
    while (start <= slashes.size()) {
        std::size_t end = slashes.find('/', start);
        if (end == std::string::npos) end = slashes.size();
        if (std::string_view(slashes).substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

std::string BaseModelName(std::string_view name) {
    std::string base = ToSlashes(name);
    if (EndsWithNoCase(base, ".rwx") || EndsWithNoCase(base, ".zip")) base.resize(base.size() - 4);
    return base;
}

LocalObjectPath::LocalObjectPath(std::string objectPath, std::string fileFolder, FolderListingCache* folders)
    : objectPath_(std::move(objectPath)), fileFolder_(std::move(fileFolder)), folders_(folders) {}

std::vector<std::string> LocalObjectPath::Candidates(std::string_view base) const {
    const std::string b(base);
    std::vector<std::string> out;
    if (!objectPath_.empty()) {
        out.push_back(JoinPath(objectPath_, "models/" + b + ".zip"));
        out.push_back(JoinPath(objectPath_, "rwx/" + b + ".rwx"));
        out.push_back(JoinPath(objectPath_, "models/" + b + ".rwx"));
    }
    if (!fileFolder_.empty()) {
        out.push_back(JoinPath(fileFolder_, b + ".zip"));
        out.push_back(JoinPath(fileFolder_, b + ".rwx"));
        out.push_back(JoinPath(fileFolder_, "models/" + b + ".zip"));
        out.push_back(JoinPath(fileFolder_, "rwx/" + b + ".rwx"));
        out.push_back(JoinPath(fileFolder_, "models/" + b + ".rwx"));
    }
    return out;
}

ModelLookup LocalObjectPath::Find(std::string_view name) {
    ModelLookup lookup;
    if (!IsSafeModelName(name)) {
        lookup.status = ModelLookupStatus::Refused;
        return lookup;
    }
    const std::string base = BaseModelName(name);
    // A name that is empty or ends in a separator names no file.
    if (base.empty() || base.ends_with('/')) return lookup;
    for (const std::string& candidate : Candidates(base)) {
        std::string resolved = ResolvePath(candidate, folders_);
        if (!IsRegularFile(resolved)) continue;
        lookup.status = ModelLookupStatus::Found;
        lookup.location.file = std::move(resolved);
        if (!textureDirs_) {
            textureDirs_.emplace();
            for (const std::string* folder : {&objectPath_, &fileFolder_})
                for (std::string& dir : ObjectPathTextureDirs(*folder, folders_))
                    if (std::find(textureDirs_->begin(), textureDirs_->end(), dir) == textureDirs_->end())
                        textureDirs_->push_back(std::move(dir));
        }
        lookup.location.textureDirs = *textureDirs_;
        return lookup;
    }
    return lookup;
}

std::string LocalObjectPath::Where() const {
    const std::string op = "the object path \"" + BoundedQuote(objectPath_) + "\"";
    const std::string ff = "the dump's folder \"" + BoundedQuote(fileFolder_) + "\"";
    if (!objectPath_.empty() && !fileFolder_.empty()) return op + " and " + ff;
    if (!objectPath_.empty()) return op;
    if (!fileFolder_.empty()) return ff + " (no object path is set)";
    return "no folder (no object path is set)";
}

}  // namespace pelorus
