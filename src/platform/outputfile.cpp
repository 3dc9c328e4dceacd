#include "platform/outputfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

// The path with symbolic links, "." and ".." resolved as far as it exists; the rest as written.
std::string Canonical(const std::string& absolute) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::weakly_canonical(absolute, ec);
    return ec ? absolute : p.string();
}

// The first bytes of the regular file `path`; nullopt when it cannot be read.
std::optional<std::string> Head(const std::string& path) {
    struct stat st {};
    const int fd = OpenRegularFile(path, st);
    if (fd < 0) return std::nullopt;
    std::string head(kOutputProbeBytes, '\0');
    std::size_t used = 0;
    while (used < head.size()) {
        const ssize_t got = ::read(fd, head.data() + used, head.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    head.resize(used);
    return head;
}

}  // namespace

OutputKind PngOutput() {
    return {{".png"}, "a PNG image", [](std::string_view head) { return head.starts_with(kPngSignature); }};
}

OutputKind GltfOutput() {
    return {{".glb", ".gltf"}, "a glTF model", [](std::string_view head) {
                if (head.starts_with("glTF")) return true;
                const std::size_t first = head.find_first_not_of(" \t\r\n");
                return first != std::string_view::npos && head[first] == '{';
            }};
}

std::string OutputPath(std::string_view output) {
    return AbsolutePath(output);
}

std::optional<std::string> CheckOutputFile(std::string_view output, const OutputKind& kind,
                                           std::span<const std::string> inputs) {
    const std::string refusing = "refusing to write \"" + std::string(output) + "\": ";

    const std::string absolute = OutputPath(output);
    const std::string_view fileName = FileNamePart(absolute);
    bool named = false;
    std::string patterns;
    for (const std::string& extension : kind.extensions) {
        named = named || (fileName.size() > extension.size() && EndsWithNoCase(fileName, extension));
        patterns += (patterns.empty() ? "*" : " or *") + extension;
    }
    if (!named) return refusing + "the output must be named " + patterns;

    struct stat out {};
    const bool exists = ::stat(absolute.c_str(), &out) == 0;
    const int statError = exists ? 0 : errno;
    // An output that exists is told apart from the inputs by identity alone (the same path is the
    // same file); one that does not yet, by its resolved path.
    const std::string canonical = exists ? std::string() : Canonical(absolute);
    for (const std::string& input : inputs) {
        if (input.empty()) continue;
        // Inputs are found without regard to letter case; the output is written as spelt.
        const std::string resolved = ResolvePath(AbsolutePath(input));
        struct stat in {};
        const bool same = exists
                              ? ::stat(resolved.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino
                              : Canonical(resolved) == canonical;
        if (same) return refusing + "it is the input file";
    }

    struct stat link {};
    if (::lstat(absolute.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) return refusing + "it is a symbolic link";
    if (exists) {
        if (!S_ISREG(out.st_mode)) return refusing + "it is not a regular file";
        const std::optional<std::string> head = Head(absolute);
        if (!head) return refusing + "it exists and cannot be read";
        if (!kind.holds(*head)) return refusing + "it exists and is not " + kind.description;
        return std::nullopt;
    }
    if (statError != ENOENT) return refusing + std::strerror(statError);

    const std::string folder(ParentPart(absolute));
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return refusing + "the folder \"" + folder + "\" does not exist";
    return std::nullopt;
}

int RemoveLeftoverOutputs(std::string_view folder, std::span<const std::string> extensions) {
    return RemoveLeftoverTemporaries(folder, [extensions](std::string_view target) {
        for (const std::string& extension : extensions)
            if (EndsWithNoCase(target, extension)) return true;
        return false;
    });
}

}  // namespace pelorus
