#include "reader/zippedmodel.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"

namespace pelorus {

bool IsZipName(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && EqualsNoCase(name.substr(dot), ".zip");
}

std::optional<std::size_t> FindModelScript(const ZipArchive& archive, std::string_view modelName) {
    if (std::optional<std::size_t> named = archive.FindByFileName(std::string(modelName) + ".rwx")) return named;
    // Otherwise the first script in alphabetical order, whatever order the archive keeps.
    std::optional<std::size_t> first;
    std::string firstKey;
    const std::vector<std::string>& names = archive.MemberNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!EndsWithNoCase(names[i], ".rwx")) continue;
        std::string key = ToUpperAscii(names[i]);
        if (!first || key < firstKey || (key == firstKey && names[i] < names[*first])) {
            first = i;
            firstKey = std::move(key);
        }
    }
    return first;
}

std::string ArchiveFailureLine(ZipStatus status, std::string_view archive, uint64_t maxBytes, bool passwordGiven) {
    const std::string a = "\"" + BoundedQuote(archive) + "\"";
    switch (status) {
        case ZipStatus::Ok:
            return {};
        case ZipStatus::CannotOpen:
            return "Couldn't open archive " + a + ".";
        case ZipStatus::NotAZip:
            return "Archive " + a + " is not a zip archive or is damaged.";
        case ZipStatus::NotFound:
            return "Archive " + a + " holds no .rwx model script.";
        case ZipStatus::Corrupt:
            break;
        case ZipStatus::TooLarge: {
            constexpr uint64_t kMiB = uint64_t{1} << 20;
            const std::string size = maxBytes >= kMiB && maxBytes % kMiB == 0 ? std::to_string(maxBytes / kMiB) + " MiB"
                                                                              : std::to_string(maxBytes) + " bytes";
            return "Archive " + a + " holds a model script larger than " + size + ".";
        }
        case ZipStatus::NeedsPassword:
            return "Archive " + a + " holds an encrypted model script" +
                   (passwordGiven ? " that the password given does not open." : ".");
        case ZipStatus::Unsupported:
            return "Archive " + a + " holds a model script compressed by a method that is not supported.";
    }
    return "Archive " + a + " holds a damaged model script.";
}

}  // namespace pelorus
