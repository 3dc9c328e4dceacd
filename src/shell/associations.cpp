#include "shell/associations.h"

#include <optional>

#include "platform/atomicfile.h"
#include "platform/outputfile.h"
#include "platform/paths.h"
#include "shell/desktopfiles.h"

namespace pelorus {
namespace {

bool PlainArgumentChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("/-_.+,@%:").find(c) != std::string_view::npos;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        lines.emplace_back(text.substr(0, lf));
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    return lines;
}

bool IsGroup(std::string_view line) {
    line = Trimmed(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The key of a "key=value" line; "" for anything else.
std::string_view KeyOf(std::string_view line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || Trimmed(line).starts_with('#')) return {};
    return Trimmed(line.substr(0, eq));
}

// Sets `key` in `group` of `lines` to what `value` makes of the old value ("" when none).
template <typename MakeValue>
void SetKey(std::vector<std::string>& lines, std::string_view group, std::string_view key, MakeValue value) {
    const std::string header = "[" + std::string(group) + "]";
    std::optional<std::size_t> start;
    for (std::size_t i = 0; i < lines.size() && !start; ++i)
        if (Trimmed(lines[i]) == header) start = i;
    if (!start) {
        if (!lines.empty() && !Trimmed(lines.back()).empty()) lines.emplace_back();
        lines.push_back(header);
        lines.push_back(std::string(key) + "=" + value(std::string_view()));
        return;
    }
    std::size_t end = *start + 1;
    while (end < lines.size() && !IsGroup(lines[end])) ++end;
    for (std::size_t i = *start + 1; i < end; ++i) {
        if (KeyOf(lines[i]) != key) continue;
        const std::string_view old = Trimmed(std::string_view(lines[i]).substr(lines[i].find('=') + 1));
        lines[i] = std::string(key) + "=" + value(old);
        return;
    }
    // After the group's last line that is not blank.
    std::size_t at = end;
    while (at > *start + 1 && Trimmed(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::string(key) + "=" + value(std::string_view()));
}

// A file of the user's that the program keeps: its name must end so, and an existing one must
// hold text whose first line that is neither blank nor a "#" comment starts like it.
OutputKind TextKind(std::string extension, std::string description, std::vector<std::string> starts) {
    return {{std::move(extension)}, std::move(description), [starts](std::string_view head) {
                while (!head.empty()) {
                    const std::size_t lf = head.find('\n');
                    const std::string_view line = Trimmed(head.substr(0, lf));
                    if (!line.empty() && !line.starts_with('#')) {
                        for (const std::string& s : starts)
                            if (line.starts_with(s)) return true;
                        return false;
                    }
                    head = lf == std::string_view::npos ? std::string_view() : head.substr(lf + 1);
                }
                return true;
            }};
}

}  // namespace

std::string ExecArgument(std::string_view path) {
    bool plain = !path.empty();
    for (const char c : path) plain = plain && PlainArgumentChar(c);
    std::string quoted;
    if (plain) {
        quoted = std::string(path);
    } else {
        quoted = "\"";
        for (const char c : path) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    std::string value;
    for (const char c : quoted) value += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return value;
}

std::string DesktopEntryFor(std::string_view command) {
    std::string out;
    for (const std::string& line : SplitLines(kShippedDesktopEntry)) {
        const std::string_view key = KeyOf(line);
        if (key == "Exec")
            out += "Exec=" + ExecArgument(command) + " %f\n";
        else if (key == "TryExec")
            out += "TryExec=" + ExecArgument(command) + "\n";
        else
            out += line + "\n";
    }
    return out;
}

std::string WithDefaultApplication(std::string_view text, std::string_view mimeType, std::string_view desktopId) {
    std::vector<std::string> lines = SplitLines(text);
    const std::string first = std::string(desktopId) + ";";
    SetKey(lines, "Default Applications", mimeType, [&](std::string_view) { return first; });
    SetKey(lines, "Added Associations", mimeType, [&](std::string_view old) {
        std::string value = first;
        while (!old.empty()) {
            const std::size_t semicolon = old.find(';');
            const std::string_view id = Trimmed(old.substr(0, semicolon));
            if (!id.empty() && id != desktopId) value += std::string(id) + ";";
            old = semicolon == std::string_view::npos ? std::string_view() : old.substr(semicolon + 1);
        }
        return value;
    });
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

AssociationReport MakeDefaultForScripts(const UserPlaces& places, std::string_view command, std::string_view iconPng) {
    AssociationReport report;
    if (places.dataHome.empty() || places.configHome.empty()) {
        report.problem = "the user's data and configuration folders are not known";
        return report;
    }
    struct Piece {
        std::string path;
        OutputKind kind;
        std::string content;
    };
    std::vector<Piece> pieces;
    pieces.push_back({JoinPath(places.dataHome, "applications/" + std::string(kDesktopId)),
                      TextKind(".desktop", "a desktop entry", {"[Desktop Entry]"}), DesktopEntryFor(command)});
    pieces.push_back({JoinPath(places.dataHome, "mime/packages/pelorus.xml"),
                      TextKind(".xml", "a MIME package", {"<?xml", "<mime-info", "<!--"}),
                      std::string(kShippedMimePackage)});
    if (!iconPng.empty())
        pieces.push_back(
            {JoinPath(places.dataHome, "icons/hicolor/256x256/apps/pelorus.png"), PngOutput(), std::string(iconPng)});
    const std::string listPath = JoinPath(places.configHome, "mimeapps.list");
    std::string list;
    ReadWholeFile(listPath, list, 1 << 20);  // a missing list is an empty one
    pieces.push_back({listPath, TextKind(".list", "a list of default programs", {"["}),
                      WithDefaultApplication(list, kScriptMimeType, kDesktopId)});

    for (const Piece& piece : pieces) {
        const std::string folder(ParentPart(piece.path));
        if (!MakeFolders(folder, 0700)) {
            report.problem = "Couldn't make the folder \"" + folder + "\".";
            return report;
        }
        if (const std::optional<std::string> refused = CheckOutputFile(piece.path, piece.kind, {})) {
            report.problem = *refused + ".";
            return report;
        }
        std::string error;
        if (!WriteFileAtomically(piece.path, piece.content, &error)) {
            report.problem = "Couldn't write \"" + piece.path + "\": " + error + ".";
            return report;
        }
        report.written.push_back(piece.path);
    }
    return report;
}

std::vector<std::vector<std::string>> CacheCommands(const UserPlaces& places) {
    return {{"update-mime-database", JoinPath(places.dataHome, "mime")},
            {"update-desktop-database", JoinPath(places.dataHome, "applications")}};
}

std::string AssociationMessage(const AssociationReport& report, const std::vector<std::string>& missingTools) {
    std::string text;
    if (!report.problem.empty()) {
        text = "Pelorus could not be made the default program for scripts (.rwx): " + report.problem;
    } else {
        text = "Pelorus now opens scripts (.rwx) for you.";
    }
    if (!report.written.empty()) {
        text += "\n\nWritten:";
        for (const std::string& path : report.written) text += "\n" + path;
    }
    if (report.problem.empty() && !missingTools.empty()) {
        text += "\n\nNot run (not installed):";
        for (const std::string& tool : missingTools) text += "\n" + tool;
        text += "\nThe desktop may only know the new file type after its next login.";
    }
    return text;
}

}  // namespace pelorus
