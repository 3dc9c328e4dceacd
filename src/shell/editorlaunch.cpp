#include "shell/editorlaunch.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {
namespace {

bool HasCommand(const std::optional<std::string_view>& value) {
    return value && std::any_of(value->begin(), value->end(), [](char c) { return !IsBlank(c); });
}

}  // namespace

std::string ShortPlace(const LogPlace& place) {
    if (place.file.empty()) return {};
    std::string shown(FileNamePart(place.file));
    if (!place.member.empty()) shown += ":" + std::string(FileNamePart(place.member));
    if (place.line > 0) shown += ":" + std::to_string(place.line);
    return shown;
}

EditorLaunch EditorLaunchFor(const LogPlace& place, std::optional<std::string_view> visual,
                             std::optional<std::string_view> editor) {
    EditorLaunch launch;
    if (place.file.empty()) return launch;
    if (!place.member.empty()) {
        launch.file = place.file;
        return launch;
    }
    const std::optional<std::string_view> command = HasCommand(visual) ? visual : editor;
    if (!HasCommand(command)) {
        launch.file = place.file;
        return launch;
    }
    const std::string program(*command);
    launch.argv = {"/bin/sh", "-c", program + " \"$@\"", program};
    if (place.line > 0) launch.argv.push_back("+" + std::to_string(place.line));
    launch.argv.push_back(place.file.starts_with('-') || place.file.starts_with('+') ? "./" + place.file : place.file);
    return launch;
}

}  // namespace pelorus
