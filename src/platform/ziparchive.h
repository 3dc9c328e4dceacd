#pragma once
// Reading members of zip archives (untrusted input: every size is checked).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

class FolderListingCache;

enum class ZipStatus {
    Ok,
    CannotOpen,     // the archive file cannot be opened
    NotAZip,        // it is not a zip archive, or its directory is damaged
    NotFound,       // no such member
    Corrupt,        // the member's data cannot be read (damaged)
    TooLarge,       // the member would exceed the size limit
    NeedsPassword,  // the member is encrypted and no password or a wrong one was given
    Unsupported,    // compressed (or encrypted) by a method this libzip does not support (LZMA, ...)
};

class ZipArchive {
public:
    // Opens `path` (either separator; file names in any letter case, folders listed through
    // `folders` when given, see ResolvePath). nullptr and `status` set (CannotOpen or NotAZip) on
    // failure.
    static std::unique_ptr<ZipArchive> Open(std::string_view path, ZipStatus* status = nullptr,
                                            FolderListingCache* folders = nullptr);
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

    // The bytes member `index` takes in the archive (compressed): what the directory says, but
    // never more than the archive file itself; 0 for an index beyond the members.
    uint64_t StoredSize(std::size_t index) const;

    // Reads member `index` whole into `out`, stopping with TooLarge as soon as more than
    // `maxBytes` would be produced (whatever the archive claims). `password` opens encrypted
    // members; "" means none. `out` is empty unless the result is Ok; an index beyond the
    // members gives NotFound.
    ZipStatus Read(std::size_t index, std::vector<uint8_t>& out, uint64_t maxBytes,
                   const std::string& password = {}) const;

    // Reads member `index` piece by piece, handing each piece to `sink` in order; a sink that
    // returns false stops the reading with Corrupt (its caller knows why). Stops with TooLarge
    // before a piece would take the total above `maxBytes` (the pieces given so far stay
    // given), and at once when the directory already claims more. Passwords as for Read; a
    // wrong one gives NeedsPassword. An index beyond the members gives NotFound.
    using Sink = std::function<bool(const uint8_t* data, std::size_t size)>;
    ZipStatus ReadPieces(std::size_t index, const Sink& sink, uint64_t maxBytes,
                         const std::string& password = {}) const;

private:
    struct Impl;
    explicit ZipArchive(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    std::vector<std::string> names_;
};

// Reads the member of the archive at `archivePath` whose file name equals `memberFileName`
// without regard to letter case (as FindByFileName), within `maxBytes`, into `out`. `out` is
// empty unless the result is Ok. For images kept zipped beside a model, e.g. "dropletm.bmp"
// in "dropletm.zip".
ZipStatus ReadZippedFile(std::string_view archivePath, std::string_view memberFileName, std::vector<uint8_t>& out,
                         uint64_t maxBytes, const std::string& password = {});

}  // namespace pelorus
