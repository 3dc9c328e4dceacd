#include "platform/ziparchive.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <array>

#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {

struct ZipArchive::Impl {
    zip_t* zip = nullptr;
    uint64_t fileBytes = 0;
    ~Impl() {
        if (zip) zip_discard(zip);
    }
};

namespace {

// Closes a member on every path out of a read.
struct MemberCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using MemberHandle = std::unique_ptr<zip_file_t, MemberCloser>;

ZipStatus StatusOfOpenError(int code) {
    switch (code) {
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
        case ZIP_ER_TELL:
            return ZipStatus::CannotOpen;
        default:
            return ZipStatus::NotAZip;
    }
}

ZipStatus StatusOfMemberError(int code, bool encrypted) {
    switch (code) {
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
            return ZipStatus::NeedsPassword;
        case ZIP_ER_COMPNOTSUPP:
        case ZIP_ER_ENCRNOTSUPP:
            return ZipStatus::Unsupported;
        default:
            // A wrong password that passes the one-byte check of traditional encryption only
            // shows as garbage: bad compressed data or a CRC mismatch.
            return encrypted ? ZipStatus::NeedsPassword : ZipStatus::Corrupt;
    }
}

}  // namespace

ZipArchive::ZipArchive(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::Open(std::string_view path, ZipStatus* status, FolderListingCache* folders) {
    auto fail = [status](ZipStatus why) -> std::unique_ptr<ZipArchive> {
        if (status) *status = why;
        return nullptr;
    };
    // Opened as every other file is: only a regular file, without waiting on a FIFO or device.
    struct stat st {};
    const int fd = OpenRegularFile(path, st, nullptr, folders);
    if (fd < 0) return fail(ZipStatus::CannotOpen);
    // libzip takes an empty file for a new, empty archive.
    if (st.st_size == 0) {
        ::close(fd);
        return fail(ZipStatus::NotAZip);
    }

    int error = 0;
    zip_t* zip = zip_fdopen(fd, 0, &error);  // read-only; owns `fd` from here on when it succeeds
    if (!zip) {
        ::close(fd);
        return fail(StatusOfOpenError(error));
    }
    auto impl = std::make_unique<Impl>();
    impl->zip = zip;
    impl->fileBytes = static_cast<uint64_t>(st.st_size);

    const zip_int64_t count = zip_get_num_entries(zip, 0);
    std::unique_ptr<ZipArchive> archive(new ZipArchive(std::move(impl)));
    archive->names_.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        archive->names_.emplace_back(name ? name : "");
    }
    if (status) *status = ZipStatus::Ok;
    return archive;
}

std::optional<std::size_t> ZipArchive::FindByFileName(std::string_view name) const {
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (EqualsNoCase(FileNamePart(names_[i]), name)) return i;
    return std::nullopt;
}

std::optional<std::size_t> ZipArchive::FindByExtension(std::string_view extension) const {
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (EndsWithNoCase(names_[i], extension)) return i;
    return std::nullopt;
}

uint64_t ZipArchive::StoredSize(std::size_t index) const {
    if (index >= names_.size()) return 0;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(impl_->zip, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_COMP_SIZE))
        return impl_->fileBytes;
    return std::min<uint64_t>(st.comp_size, impl_->fileBytes);
}

ZipStatus ZipArchive::ReadPieces(std::size_t index, const Sink& sink, uint64_t maxBytes,
                                 const std::string& password) const {
    if (index >= names_.size()) return ZipStatus::NotFound;
    const auto zipIndex = static_cast<zip_uint64_t>(index);

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(impl_->zip, zipIndex, 0, &st) != 0) return ZipStatus::Corrupt;
    const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    // A method this libzip cannot undo is no damage: say so before trying.
    if ((st.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(st.comp_method, 0))
        return ZipStatus::Unsupported;
    if (encrypted && password.empty()) return ZipStatus::NeedsPassword;
    // Sizes the directory claims are not trusted for the limit, but one that already exceeds it
    // needs no reading.
    if ((st.valid & ZIP_STAT_SIZE) && st.size > maxBytes) return ZipStatus::TooLarge;

    MemberHandle file(encrypted ? zip_fopen_index_encrypted(impl_->zip, zipIndex, 0, password.c_str())
                                : zip_fopen_index(impl_->zip, zipIndex, 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(impl_->zip));
        zip_error_clear(impl_->zip);
        return StatusOfMemberError(code, encrypted);
    }

    std::array<uint8_t, 65536> buffer{};
    uint64_t total = 0;
    for (;;) {
        // Ask for one byte more than the limit allows, so an overlong member is caught
        // without reading further.
        const uint64_t left = maxBytes - total;
        const auto want = static_cast<zip_uint64_t>(left >= buffer.size() ? buffer.size() : left + 1);
        const zip_int64_t got = zip_fread(file.get(), buffer.data(), want);
        if (got < 0) return StatusOfMemberError(zip_error_code_zip(zip_file_get_error(file.get())), encrypted);
        if (got == 0) return ZipStatus::Ok;
        const auto size = static_cast<uint64_t>(got);
        if (size > maxBytes - total) return ZipStatus::TooLarge;
        total += size;
        if (!sink(buffer.data(), static_cast<std::size_t>(size))) return ZipStatus::Corrupt;
    }
}

ZipStatus ZipArchive::Read(std::size_t index, std::vector<uint8_t>& out, uint64_t maxBytes,
                           const std::string& password) const {
    out.clear();
    const ZipStatus status = ReadPieces(
        index,
        [&out](const uint8_t* data, std::size_t size) {
            out.insert(out.end(), data, data + size);
            return true;
        },
        maxBytes, password);
    if (status != ZipStatus::Ok) {
        out.clear();
        out.shrink_to_fit();
    }
    return status;
}

ZipStatus ReadZippedFile(std::string_view archivePath, std::string_view memberFileName, std::vector<uint8_t>& out,
                         uint64_t maxBytes, const std::string& password) {
    out.clear();
    ZipStatus status = ZipStatus::Ok;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::Open(archivePath, &status);
    if (!archive) return status;
    const std::optional<std::size_t> member = archive->FindByFileName(memberFileName);
    if (!member) return ZipStatus::NotFound;
    return archive->Read(*member, out, maxBytes, password);
}

}  // namespace pelorus
