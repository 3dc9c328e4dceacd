#pragma once
// The check every output file passes before anything is drawn or written, so that a forgotten
// or mistyped output name can never replace a model, a device or anything else the user did not
// mean to lose.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelorus {

// A kind of file the program writes.
struct OutputKind {
    std::vector<std::string> extensions;  // what the name must end with, letter case ignored: ".png"
    std::string description;              // what the content is, as in "is not <description>"
    // Whether an existing file already holds this kind of content, given its first bytes (at most
    // kOutputProbeBytes of them; fewer when the file is shorter).
    std::function<bool(std::string_view head)> holds;
};

inline constexpr std::size_t kOutputProbeBytes = 4096;

// PNG images: "*.png", content starting with the PNG signature.
OutputKind PngOutput();
// glTF models: "*.glb" or "*.gltf", content that is a binary glTF (starting with "glTF") or a
// JSON object (a "{" after optional blanks, tabs and line breaks).
OutputKind GltfOutput();

// The file an output name stands for: `\` read as `/`, made absolute against the current folder,
// and otherwise as spelt (an output is never matched to another file by letter case). Checking
// and writing both take the output from here, so the file checked is the file written.
std::string OutputPath(std::string_view output);

// Whether `output` may be written as `kind`, with `inputs` the files the same run reads (paths
// as given; empty ones are skipped). The output is the file OutputPath names; relative inputs
// are taken from the current folder. Returns nullopt when it may, otherwise one line saying why
// not, such as
//   refusing to write "crate.rwx": the output must be named *.png
// It is refused when
// - its file name (after the last separator) does not end with one of the kind's extensions,
//   or is nothing but the extension (".png", "dir.png/.png");
// - it is one of the inputs: the same file (device and inode, through links of any kind) or,
//   when that does not exist yet, the same path once symbolic links and "." and ".." are resolved;
// - it is a symbolic link (whatever it points to: nothing is written through a link);
// - it exists and is not a regular file (a folder, FIFO, socket or device), or is a regular file
//   that the kind's `holds` does not accept or that cannot be read;
// - its folder does not exist or is not a folder.
// Nothing is created, opened for writing or changed; only an existing regular output is read
// (its first bytes, without blocking).
std::optional<std::string> CheckOutputFile(std::string_view output, const OutputKind& kind,
                                           std::span<const std::string> inputs);

// Removes what writes of `kind` killed half-way left in `folder` (see RemoveLeftoverTemporaries):
// the temporary files whose target ends with one of `extensions` (letter case ignored) and whose
// process is gone. Returns how many were removed.
int RemoveLeftoverOutputs(std::string_view folder, std::span<const std::string> extensions);

}  // namespace pelorus
