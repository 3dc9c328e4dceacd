#pragma once
// `pelorus --screenshot`: one frame drawn as the viewer draws it, without any window system,
// written as a PNG image.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomicfile.h"
#include "scene/framing.h"
#include "scene/location.h"
#include "scene/viewstate.h"
#include "shell/viewrequest.h"

class QImage;

namespace pelorus {

// Runs the tool for `args` (beginning with "--screenshot" once any "--object-path FOLDER" is taken
// out of them). FILE may be an object dump, whose models are found through --object-path or else
// the world's object path (a relative one from FILE's folder). Exit status: 0 when the image was
// written; 1 when FILE cannot be read (missing, no regular file, unreadable), no OpenGL context
// can be made, the world file cannot be read (each said with its reason), the drawing passed its
// budget or the image cannot be written ("cannot write "OUT": REASON"); 2 for arguments that do
// not read and for an output that CheckOutputFile refuses as a PNG. The output is checked three
// times, each refusal being one line on `err` and nothing written: against FILE and the world
// file before anything is read; against every file the drawing read (scripts, textures, masks,
// archives, backdrop, ground and skybox) before anything is drawn; and once more at the moment
// the image is renamed into place. Temporary files that killed runs left beside the output are
// removed before it is written. Reading problems of the scene are printed on `err` (after the
// second check) and do not change the status. SIGINT and SIGTERM end the run with their default
// action, also when they were ignored when the process started.
int RunScreenshot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Why `file` is no model to draw: refused as the window refuses it (ClassifyShownFile: an image, a
// program, text that is no object map), or not a file that opens; nothing otherwise.
std::optional<std::string> NotAModel(const std::string& file);

// `pelorus --thumbnail IN OUT SIZE` (`args` beginning with "--thumbnail"): ParseThumbnailArgs,
// then drawn and written as RunScreenshot does, with the same output checks and exit statuses;
// a file that is no model (NotAModel), or has no triangle, gives exit status 1 and no image.
int RunThumbnail(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Writes `image` as a PNG file at `path` atomically (see WriteFileAtomically, which `how` is
// passed to): an existing file is replaced whole or not at all. False with `error` set (a few
// words, without the path) when it cannot be encoded or written.
bool WritePngAtomically(const std::string& path, const QImage& image, std::string& error,
                        const AtomicWriteOptions& how = {});

}  // namespace pelorus
