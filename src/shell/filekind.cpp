#include "shell/filekind.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "platform/errorlog.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ziparchive.h"
#include "reader/modelimport.h"
#include "reader/propdump.h"
#include "reader/scenefile.h"

namespace pelorus {
namespace {

// The first bytes of the regular file `path`; nullopt when it cannot be opened as one.
std::optional<std::string> Head(std::string_view path) {
    struct stat st {};
    const int fd = OpenRegularFile(path, st);
    if (fd < 0) return std::nullopt;
    std::string head(kShownFileProbeBytes, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    head.resize(got);
    return head;
}

bool IsZipSignature(std::string_view head) {
    return head.starts_with("PK\x03\x04") || head.starts_with(std::string_view("PK\x05\x06", 4)) ||
           head.starts_with("PK\x07\x08");
}

// What a known binary kind of file is, by its first bytes; "" when none matches.
std::string_view BinaryKind(std::string_view head) {
    struct Signature {
        std::string_view start;
        std::string_view kind;
    };
    static constexpr Signature kSignatures[] = {
        {"\xFF\xD8\xFF", "is a JPEG image"},
        {"\x89PNG\r\n\x1A\n", "is a PNG image"},
        {"GIF87a", "is a GIF image"},
        {"GIF89a", "is a GIF image"},
        {std::string_view("II*\0", 4), "is a TIFF image"},
        {std::string_view("MM\0*", 4), "is a TIFF image"},
        {"%PDF-", "is a PDF document"},
        {"\x1F\x8B", "is gzip-compressed data"},
        {"\x7F"
         "ELF",
         "is a program"},
        {"glTF", "is a binary glTF model not named *.glb"},
    };
    for (const Signature& s : kSignatures)
        if (head.starts_with(s.start)) return s.kind;
    if (head.size() >= 12 && head.starts_with("RIFF") && head.substr(8, 4) == "WEBP") return "is a WebP image";
    // "BM", the file size, then two reserved words that are zero.
    if (head.size() >= 14 && head.starts_with("BM") && head.substr(6, 4) == std::string_view("\0\0\0\0", 4))
        return "is a BMP image";
    return {};
}

bool IsText(std::string_view head) {
    for (const char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 || u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r' || u == 0x1A) continue;
        return false;
    }
    return true;
}

// Whether the text begins with an object-map entry: its first four words read as one.
bool StartsWithEntry(std::string_view text, std::string_view path) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::size_t i = 0, words = 0, end = 0;
    while (words < 4) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i == text.size()) return false;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        ++words;
        end = i;
    }
    ErrorLog quiet;
    return ParseObjectMap(text.substr(0, end), path, quiet).size() == 1 && quiet.Lines().empty();
}

ShownFileVerdict ArchiveVerdict(std::string_view path) {
    ZipStatus status = ZipStatus::Ok;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::Open(path, &status);
    if (!archive) {
        if (status == ZipStatus::CannotOpen) return {ShownFileKind::Archive, {}};  // extracting reports it
        return {ShownFileKind::Refused, "is not a zip archive, or a damaged one"};
    }
    if (!archive->FindByExtension(".rwx"))
        return {ShownFileKind::Refused, "is a zip archive without a model script (.rwx)"};
    return {ShownFileKind::Archive, {}};
}

}  // namespace

ShownFileVerdict ClassifyShownFile(std::string_view path) {
    if (IsScriptName(path)) return {ShownFileKind::Script, {}};
    if (ImportFormatOf(path)) return {ShownFileKind::Imported, {}};
    if (EndsWithNoCase(path, ".zip")) return ArchiveVerdict(path);
    const std::optional<std::string> head = Head(path);
    if (!head) return {ShownFileKind::ObjectMap, {}};
    if (IsZipSignature(*head)) return ArchiveVerdict(path);
    if (const std::string_view kind = BinaryKind(*head); !kind.empty())
        return {ShownFileKind::Refused, std::string(kind)};
    if (BeginsLikeDump(*head)) return {ShownFileKind::ObjectDump, {}};
    if (!IsText(*head)) return {ShownFileKind::Refused, "is not a text file"};
    if (EndsWithNoCase(path, ".txt")) return {ShownFileKind::ObjectMap, {}};
    if (head->find_first_not_of(" \t\r\n\v\f") == std::string::npos) return {ShownFileKind::Refused, "is empty"};
    if (!StartsWithEntry(*head, path))
        return {ShownFileKind::Refused, "does not begin with an object-map entry (a file name and three numbers)"};
    return {ShownFileKind::ObjectMap, {}};
}

std::string RefusedFileMessage(std::string_view path, const ShownFileVerdict& verdict) {
    return "\u201C" + std::string(FileNamePart(path)) + "\u201D " + verdict.reason +
           ": Pelorus shows model scripts (.rwx), zipped models (.zip), glTF (.gltf, .glb) and OBJ (.obj) models, "
           "object maps and object dumps.";
}

}  // namespace pelorus
