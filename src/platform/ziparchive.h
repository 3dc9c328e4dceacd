#pragma once
// Reading members of zip archives (untrusted input: every size is checked).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

enum class ZipStatus {
    Ok,
    CannotOpen,     // the archive file cannot be opened
    NotAZip,        // it is not a zip archive, or its directory is damaged
    NotFound,       // no such member
    Corrupt,        // the member's data cannot be read (damaged, unsupported method)
    TooLarge,       // the member would exceed the size limit
    NeedsPassword,  // the member is encrypted and no password or a wrong one was given
};

class ZipArchive {
public:
    // Opens `path` (either separator; file names in any letter case). nullptr and `status` set
    // (CannotOpen or NotAZip) on failure.
    static std::unique_ptr<ZipArchive> Open(std::string_view path, ZipStatus* status = nullptr);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Member names as stored (with their folders), in archive order.
    const std::vector<std::string>& MemberNames() const { return names_; }
    // The first member whose file name (the part after its last folder separator) equals `name`
    // without regard to letter case.
    std::optional<std::size_t> FindByFileName(std::string_view name) const;
    // The first member whose name ends with `extension` (".rwx", ".jpg", ...) in any letter case.
    std::optional<std::size_t> FindByExtension(std::string_view extension) const;

    // Reads member `index` whole into `out`, stopping with TooLarge as soon as more than
    // `maxBytes` would be produced (whatever the archive claims). `password` opens encrypted
    // members; "" means none.
    ZipStatus Read(std::size_t index, std::vector<uint8_t>& out, uint64_t maxBytes,
                   const std::string& password = {}) const;

private:
    struct Impl;
    explicit ZipArchive(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    std::vector<std::string> names_;
};

}  // namespace pelorus
