#include "platform/zipwrite.h"

#include <zip.h>

#include <memory>

namespace pelorus {
namespace {

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
using SourceHandle = std::unique_ptr<zip_source_t, SourceFree>;

// 1 January 2000, 00:00, in the MS-DOS form zip members are dated in.
constexpr zip_uint16_t kDosTime = 0;
constexpr zip_uint16_t kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;

}  // namespace

std::optional<std::vector<uint8_t>> BuildZip(const std::vector<ZipInput>& members) {
    zip_error_t error;
    zip_error_init(&error);
    SourceHandle buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    zip_error_fini(&error);
    if (!buffer) return std::nullopt;
    zip_source_keep(buffer.get());  // the archive frees it once; the handle frees it again
    zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, nullptr);
    if (!archive) {
        zip_source_free(buffer.get());  // the reference the archive would have taken
        return std::nullopt;
    }
    bool ok = true;
    for (const ZipInput& m : members) {
        if (m.name.empty()) {
            ok = false;
            break;
        }
        zip_source_t* data = zip_source_buffer(archive, m.data.data(), m.data.size(), 0);
        if (!data) {
            ok = false;
            break;
        }
        const zip_int64_t index = zip_file_add(archive, m.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(data);
            ok = false;
            break;
        }
        const auto i = static_cast<zip_uint64_t>(index);
        ok = zip_set_file_compression(archive, i, ZIP_CM_DEFLATE, 9) == 0 &&
             zip_file_set_dostime(archive, i, kDosTime, kDosDate, 0) == 0;
        if (!ok) break;
    }
    if (!ok || zip_close(archive) != 0) {
        zip_discard(archive);
        return std::nullopt;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(buffer.get(), &st) != 0 || (st.valid & ZIP_STAT_SIZE) == 0) return std::nullopt;
    if (zip_source_open(buffer.get()) != 0) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<std::size_t>(st.size));
    const zip_int64_t got = bytes.empty() ? 0 : zip_source_read(buffer.get(), bytes.data(), bytes.size());
    zip_source_close(buffer.get());
    if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) return std::nullopt;
    return bytes;
}

}  // namespace pelorus
