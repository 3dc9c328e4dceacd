#include "shell/worlds.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace pelorus {
namespace {

constexpr std::size_t kMaxLineField = 1023;  // whole-line fields of a world file
constexpr std::size_t kFieldReadLength = 9;  // characters of a field that applying reads
constexpr std::size_t kMaxApplyName = 259;   // object path, ground and skybox when applied
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads a text line by line or word by word, in any mix.
class TextCursor {
public:
    explicit TextCursor(std::string_view text) : text_(text) {}

    // The next line without its LF or CR LF, cut to `limit` characters (the rest of the line is
    // skipped). nullopt when nothing is left; a last line without a line break counts.
    std::optional<std::string_view> Line(std::size_t limit) {
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t lf = text_.find('\n', pos_);
        const std::size_t end = lf == std::string_view::npos ? text_.size() : lf;
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return line.substr(0, limit);
    }

    // The next run of non-blanks, line breaks counting as blanks; nullopt when only blanks remain.
    std::optional<std::string_view> Word() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

    // Skips to just after the next line break (or to the end).
    void SkipLine() {
        const std::size_t lf = text_.find('\n', pos_);
        pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return text;
}

// An integer at the start of `text`: leading blanks, an optional sign, then the digits up to the
// first other character. nullopt without digits.
struct IntegerStart {
    bool negative = false;
    std::string_view digits;
};

std::optional<IntegerStart> IntegerStartOf(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    IntegerStart out;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == start) return std::nullopt;
    out.digits = text.substr(start, i - start);
    return out;
}

// The low 8 bits of the integer at the start of `text`, negatives in two's complement.
std::optional<uint8_t> LowByteOf(std::string_view text) {
    const std::optional<IntegerStart> n = IntegerStartOf(text);
    if (!n) return std::nullopt;
    // 10^8 is a multiple of 256, so the last eight digits decide the low 8 bits.
    const std::string_view last = n->digits.substr(n->digits.size() > 8 ? n->digits.size() - 8 : 0);
    uint32_t value = 0;
    std::from_chars(last.data(), last.data() + last.size(), value);
    value %= 256u;
    if (n->negative) value = (256u - value) % 256u;
    return static_cast<uint8_t>(value);
}

// The integer a field applies as: its first 9 characters read as above, 0 without digits.
int32_t FieldInteger(std::string_view text) {
    const std::optional<IntegerStart> n = IntegerStartOf(text.substr(0, kFieldReadLength));
    if (!n) return 0;
    int32_t value = 0;  // at most 9 digits: always fits
    std::from_chars(n->digits.data(), n->digits.data() + n->digits.size(), value);
    return n->negative ? -value : value;
}

// The real number a field applies as: its first 9 characters, leading blanks, an optional sign,
// then a number that starts with a digit or a point and a digit; 0 otherwise.
double FieldReal(std::string_view text) {
    text = text.substr(0, kFieldReadLength);
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    auto digit = [&](std::size_t at) { return at < text.size() && IsDigit(text[at]); };
    if (!digit(i) && !(i < text.size() && text[i] == '.' && digit(i + 1))) return 0.0;
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [next, ec] = std::from_chars(text.data() + i, end, value, std::chars_format::general);
    (void)next;
    if (ec != std::errc{}) return 0.0;
    return negative ? -value : value;
}

std::string_view UpToLineBreak(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

std::string LineField(std::string_view text) {
    return std::string(UpToLineBreak(text).substr(0, kMaxLineField));
}

std::string WordField(std::string_view text) {
    TextCursor in(text);
    const std::optional<std::string_view> word = in.Word();
    return word ? std::string(*word) : std::string("0");
}

std::string ColorWord(const ColorField& field) {
    TextCursor in(field.text);
    const std::optional<std::string_view> word = in.Word();
    if (word && *word == field.text && LowByteOf(*word) == std::optional<uint8_t>(field.value)) return field.text;
    return std::to_string(field.value);
}

std::array<float, 4> Rgba(uint8_t r, uint8_t g, uint8_t b) {
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f, 1.0f};
}
std::array<float, 4> Rgba(const std::array<ColorField, 3>& c) {
    return Rgba(c[0].value, c[1].value, c[2].value);
}

// The keywords of the fields kept after the eight lines of the design's world file.
constexpr std::string_view kEntryPointKey = "EntryPoint";
constexpr std::string_view kFogColorKey = "FogColor";
constexpr std::string_view kRefreshDaysKey = "RefreshDays";

std::string BytesText(const std::array<uint8_t, 3>& c) {
    return std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]);
}

// Reads one line after the backdrop colour into `s`; false when it is no later field this
// version knows, or does not read as one.
bool ReadLaterField(std::string_view line, WorldSettings& s) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return false;
    const std::string_view key = line.substr(0, blank);
    const std::string_view value = line.substr(blank + 1);
    if (EqualsNoCase(key, kEntryPointKey)) {
        s.entryPoint = std::string(value);
        return true;
    }
    if (EqualsNoCase(key, kFogColorKey)) {
        TextCursor in(value);
        std::array<uint8_t, 3> c{};
        for (uint8_t& part : c) {
            const std::optional<std::string_view> word = in.Word();
            const std::optional<uint8_t> got = word ? LowByteOf(*word) : std::nullopt;
            if (!got) return false;
            part = *got;
        }
        s.fogColor = c;
        return true;
    }
    if (EqualsNoCase(key, kRefreshDaysKey)) {
        // Digits alone: a sign, a fraction or a unit is not what this version writes.
        uint32_t days = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), days);
        if (ec != std::errc() || end != value.data() + value.size() || value.empty() || value.front() == '-' ||
            value.front() == '+' || days > kMaxRefreshDays)
            return false;
        s.refreshDays = days;
        return true;
    }
    return false;
}

// True when `old` already is `text`, CR LF line breaks counting as LF (they read alike
// everywhere). Anything else, a last line without its line break included, is rewritten in the
// plain form that every reader of these files reads the same way.
bool SameText(std::string_view old, std::string_view text) {
    if (old == text) return true;
    std::string lf;
    for (std::size_t i = 0; i < old.size(); ++i)
        if (!(old[i] == '\r' && i + 1 < old.size() && old[i + 1] == '\n')) lf.push_back(old[i]);
    return lf == text;
}

// Why a file that exists is not read, and therefore not replaced either.
std::string NotReadable(const std::string& path, ReadStatus status) {
    return "\"" + path + "\" " + std::string(ReadStatusText(status)) + " (at most 1 MiB); it is left as it is.";
}

std::string CannotWrite(const std::string& path, const std::string& reason) {
    return "Cannot write \"" + path + "\": " + reason;
}

WorldMessage SaveFailure(std::string_view name, std::string_view reason) {
    return {
        "Error : The settings of the World \"" + std::string(name) + "\" could not be saved.\n" + std::string(reason),
        "Error : World Not Saved"};
}

WorldMessage ListFailure(std::string_view reason) {
    return {"Error : The list of Worlds could not be saved.\n" + std::string(reason), "Error : World List Not Saved"};
}

// The entry of `list` named `name`: spelt exactly so, else the first that differs only in case.
std::optional<std::size_t> FindName(const WorldList& list, std::string_view name) {
    for (std::size_t i = 0; i < list.names.size(); ++i)
        if (list.names[i] == name) return i;
    for (std::size_t i = 0; i < list.names.size(); ++i)
        if (EqualsNoCase(list.names[i], name)) return i;
    return std::nullopt;
}

// Makes the entry named `name` the list's current one, adding it at the end when it is missing.
void MakeCurrent(WorldList& list, const std::string& name) {
    std::optional<std::size_t> at = FindName(list, name);
    if (!at) {
        list.names.push_back(name);
        at = list.names.size() - 1;
    }
    list.current = static_cast<int32_t>(*at);
}

// An exclusive lock on a folder for as long as the object lives, so that two viewers merging the
// list at the same moment take turns. Where the file system has no locks, or another holder does
// not let go within two seconds, the work goes ahead without one.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        for (int attempt = 0; fd_ >= 0 && attempt < 200; ++attempt) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            ::usleep(10000);
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

ColorField ColorFieldFromText(std::string text) {
    const uint8_t value = static_cast<uint8_t>(static_cast<uint32_t>(FieldInteger(text)) & 0xFFu);
    return {std::move(text), value};
}

ColorField ColorFieldFromByte(uint8_t value) {
    return {std::to_string(value), value};
}

WorldSettings ParseWorldFile(std::string_view text) {
    TextCursor in(WithoutByteOrderMark(text));
    WorldSettings s;
    auto line = [&](std::string& field) {
        if (const auto got = in.Line(kMaxLineField)) field = std::string(*got);
    };
    auto word = [&](std::string& field) {
        if (const auto got = in.Word()) field = std::string(*got);
    };
    auto byte = [&]() -> std::optional<uint8_t> {
        const auto got = in.Word();
        return got ? LowByteOf(*got) : std::nullopt;
    };
    auto color = [&](ColorField& field) {
        if (const auto got = byte()) field = ColorFieldFromByte(*got);
    };

    line(s.objectPath);
    line(s.password);
    for (std::string& d : s.direction) word(d);
    for (ColorField& c : s.directional) color(c);
    for (ColorField& c : s.ambient) color(c);
    if (const auto fog = in.Word()) s.fog = EqualsNoCase(*fog, "Fog");
    word(s.fogMin);
    word(s.fogMax);
    in.SkipLine();
    line(s.backdrop);
    line(s.skybox);
    line(s.ground);
    for (uint8_t& c : s.backdropColor)
        if (const auto got = byte()) c = *got;
    in.SkipLine();
    while (const auto got = in.Line(std::string_view::npos)) {
        const std::string_view later = *got;
        if (later.find_first_not_of(" \t\v\f") == std::string_view::npos) continue;
        if (!ReadLaterField(later, s)) s.laterLines.emplace_back(later);
    }
    return s;
}

std::string WorldFileText(const WorldSettings& s) {
    std::string out;
    out += LineField(s.objectPath) + "\n";
    out += LineField(s.password) + "\n";
    out += WordField(s.direction[0]) + " " + WordField(s.direction[1]) + " " + WordField(s.direction[2]) + " ";
    out += ColorWord(s.directional[0]) + " " + ColorWord(s.directional[1]) + " " + ColorWord(s.directional[2]) + "\n";
    for (const ColorField& c : s.ambient) out += ColorWord(c) + " ";
    out += s.fog ? "Fog " : "NoFog ";
    out += WordField(s.fogMin) + " " + WordField(s.fogMax) + "\n";
    out += LineField(s.backdrop) + "\n";
    out += LineField(s.skybox) + "\n";
    out += LineField(s.ground) + "\n";
    out += BytesText(s.backdropColor);
    if (!s.entryPoint.empty())
        out += "\n" + std::string(kEntryPointKey) + " " + std::string(UpToLineBreak(s.entryPoint));
    if (s.fogColor) out += "\n" + std::string(kFogColorKey) + " " + BytesText(*s.fogColor);
    if (s.refreshDays)
        out += "\n" + std::string(kRefreshDaysKey) + " " + std::to_string(std::min(*s.refreshDays, kMaxRefreshDays));
    for (const std::string& later : s.laterLines) out += "\n" + std::string(UpToLineBreak(later));
    return out;
}

WorldLook LookOf(const WorldSettings& s) {
    WorldLook look;
    std::string path = ToSlashes(std::string_view(s.objectPath).substr(0, kMaxApplyName));
    if (!path.empty() && path.back() != '/') path.push_back('/');
    auto model = [&](std::string_view name) {
        return path + "models/" + ToSlashes(name.substr(0, kMaxApplyName)) + ".rwx";
    };
    look.groundPath = model(s.ground);
    look.skyboxPath = model(s.skybox);
    look.objectPath = std::move(path);
    look.backdrop = s.backdrop;
    look.clearColor = Rgba(s.backdropColor[0], s.backdropColor[1], s.backdropColor[2]);
    look.directional = Rgba(s.directional);
    look.ambient = Rgba(s.ambient);
    look.lightX = FieldReal(s.direction[0]);
    look.lightY = FieldReal(s.direction[1]);
    look.lightZ = FieldReal(s.direction[2]);
    look.fog = s.fog;
    look.fogStart = FieldInteger(s.fogMin) * 0.1;
    look.fogEnd = FieldInteger(s.fogMax) * 0.1;
    if (s.fogColor) look.fogColor = Rgba((*s.fogColor)[0], (*s.fogColor)[1], (*s.fogColor)[2]);
    look.entryPoint = s.entryPoint;
    look.objectPassword = s.password;
    look.refreshTime = std::chrono::seconds(
        int64_t{std::min(s.refreshDays.value_or(kDefaultRefreshDays), kMaxRefreshDays)} * 24 * 60 * 60);
    return look;
}

// ---------------------------------------------------------------------------------------------

WorldList ParseWorldList(std::string_view text) {
    TextCursor in(WithoutByteOrderMark(text));
    WorldList list;
    if (const auto first = in.Line(std::string_view::npos)) {
        int32_t index = 0;
        const std::optional<IntegerStart> n = IntegerStartOf(*first);
        // Anything after the number but blanks makes the line a name: the index line is missing.
        const std::size_t after = n ? static_cast<std::size_t>(n->digits.data() + n->digits.size() - first->data()) : 0;
        const bool blankOnly = first->find_first_not_of(" \t\v\f\r") == std::string_view::npos;
        const bool indexLine =
            blankOnly || (n && first->find_first_not_of(" \t\v\f\r", after) == std::string_view::npos);
        if (!indexLine) list.names.emplace_back(*first);
        if (n && indexLine) {
            const auto [next, ec] = std::from_chars(n->digits.data(), n->digits.data() + n->digits.size(), index);
            (void)next;
            if (ec != std::errc{})
                index = 0;  // too large: no usable index
            else if (n->negative)
                index = -index;
        }
        list.current = index;
    }
    while (const auto name = in.Line(std::string_view::npos)) list.names.emplace_back(*name);
    return list;
}

std::string WorldListText(const WorldList& list) {
    std::string out = std::to_string(list.current) + "\n";
    for (const std::string& name : list.names) out += name.substr(0, name.find('\n')) + "\n";
    return out;
}

// ---------------------------------------------------------------------------------------------

WorldMessage DeleteWorldQuestion() {
    return {"About to delete world from the list.\nDelete world config file too?", "Confirm file deletion"};
}

WorldMessage DuplicateWorldMessage() {
    return {
        "Error : You already entered a World with this name.\nPlease try a different, unique name.\n"
        "This check is not case-sensitive.",
        "Error : World Name Already Exists"};
}

WorldMessage WorldNotCreatedMessage(std::string_view name, std::string_view reason) {
    return {"Error : The World \"" + std::string(name) + "\" could not be created.\n" + std::string(reason),
            "Error : World Not Created"};
}

WorldMessage InvalidWorldNameMessage() {
    return {
        "Error : World name must be a valid file name.\nThis error can also occur if you don't have write access\n"
        "to the folder where Pelorus is installed.",
        "Error: Invalid World name"};
}

bool IsValidWorldName(std::string_view name) {
    if (name.empty() || name.size() > 249) return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return false;
        if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) return false;
    }
    return true;
}

WorldBook::WorldBook(std::string_view folder, ErrorLog* log) : folder_(AbsolutePath(folder)), log_(log) {}

std::string WorldBook::ListPath() const {
    return ResolvePath(JoinPath(folder_, "Worlds.txt"));
}

std::optional<std::string> WorldBook::WorldFilePath(std::string_view name) const {
    if (!IsValidWorldName(name)) return std::nullopt;
    return ResolvePath(JoinPath(folder_, std::string(name) + ".world"));
}

int32_t WorldBook::Selection() const {
    return list_.current >= 0 && static_cast<std::size_t>(list_.current) < list_.names.size() ? list_.current : -1;
}

void WorldBook::Start() {
    std::string text;
    listExists_ = ReadWholeFile(ListPath(), text, kSmallFileLimit);
    list_ = listExists_ ? ParseWorldList(text) : WorldList{};
    // What saves killed half-way left behind: hidden temporary files of the list and world files.
    RemoveLeftoverTemporaries(folder_, [this](std::string_view target) {
        if (EqualsNoCase(target, "Worlds.txt") || EndsWithNoCase(target, ".world")) return true;
        if (target.size() < kTemporaryTargetLimit) return false;
        for (const std::string& name : list_.names)
            if ((name + ".world").starts_with(target)) return true;  // a long name, cut short
        return false;
    });
    LoadWorld(Selection());
}

std::optional<WorldMessage> WorldBook::MergeList(const std::function<void(WorldList&)>& change) {
    const FolderLock lock(folder_);
    const std::string path = ListPath();
    std::string text;
    WorldList merged;
    const ReadStatus read = ReadFileStatus(path, text, kSmallFileLimit);
    if (read == ReadStatus::kOk)
        merged = ParseWorldList(text);
    else if (read == ReadStatus::kMissing)
        merged = list_;
    else
        return ListFailure(NotReadable(path, read));
    change(merged);
    const std::string updated = WorldListText(merged);
    std::string error;
    if (!(read == ReadStatus::kOk && SameText(text, updated)) && !SaveSettingsFile(path, updated, &error, log_))
        return ListFailure(CannotWrite(path, error));
    list_ = std::move(merged);
    listExists_ = true;
    return std::nullopt;
}

std::optional<WorldMessage> WorldBook::WriteList() {
    if (!listExists_) return std::nullopt;
    const int32_t selected = Selection();
    const std::optional<std::string> current =
        selected >= 0 ? std::optional<std::string>(list_.names[static_cast<std::size_t>(selected)]) : std::nullopt;
    return MergeList([&](WorldList& list) {
        if (!current) return;
        if (const std::optional<std::size_t> at = FindName(list, *current)) list.current = static_cast<int32_t>(*at);
    });
}

bool WorldBook::LoadWorld(int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list_.names.size()) return false;
    const std::optional<std::string> path = WorldFilePath(list_.names[static_cast<std::size_t>(index)]);
    std::string text;
    if (!path || !ReadWholeFile(*path, text, kSmallFileLimit)) return false;
    shown_ = ParseWorldFile(text);
    saved_ = shown_;
    return true;
}

std::optional<WorldMessage> WorldBook::Save(int32_t index, bool& neverSaveable) const {
    neverSaveable = false;
    if (index < 0 || static_cast<std::size_t>(index) >= list_.names.size()) return std::nullopt;
    const std::string& name = list_.names[static_cast<std::size_t>(index)];
    const std::optional<std::string> path = WorldFilePath(name);
    if (!path) {
        neverSaveable = true;
        return SaveFailure(name, "The name is not a valid file name.");
    }
    const std::string text = WorldFileText(shown_);
    std::string old;
    const ReadStatus read = ReadFileStatus(*path, old, kSmallFileLimit);
    if (read == ReadStatus::kOk && SameText(old, text)) return std::nullopt;
    if (read != ReadStatus::kOk && read != ReadStatus::kMissing) {
        neverSaveable = true;
        return SaveFailure(name, NotReadable(*path, read));
    }
    std::string error;
    if (!SaveSettingsFile(*path, text, &error, log_)) return SaveFailure(name, CannotWrite(*path, error));
    return std::nullopt;
}

std::optional<WorldMessage> WorldBook::SaveWorld(int32_t index) const {
    bool neverSaveable = false;
    return Save(index, neverSaveable);
}

std::vector<WorldMessage> WorldBook::Select(int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list_.names.size() || index == list_.current) return {};
    bool neverSaveable = false;
    std::optional<WorldMessage> failure = Save(list_.current, neverSaveable);
    if (failure && !neverSaveable) return {std::move(*failure)};
    std::vector<WorldMessage> out;
    if (failure) out.push_back(std::move(*failure));

    const std::string picked = list_.names[static_cast<std::size_t>(index)];
    const int32_t leaving = Selection();
    const std::optional<std::string> left =
        leaving >= 0 ? std::optional<std::string>(list_.names[static_cast<std::size_t>(leaving)]) : std::nullopt;
    const bool merged = !MergeList([&](WorldList& list) {
                             if (const auto at = FindName(list, picked))
                                 list.current = static_cast<int32_t>(*at);
                             else if (const auto stay = left ? FindName(list, *left) : std::nullopt)
                                 list.current = static_cast<int32_t>(*stay);
                         }).has_value();
    if (!merged) list_.current = index;  // only this viewer's choice; WriteList tries again
    LoadWorld(list_.current);
    return out;
}

std::optional<std::size_t> WorldBook::Find(std::string_view name) const {
    for (std::size_t i = 0; i < list_.names.size(); ++i)
        if (EqualsNoCase(list_.names[i], name)) return i;
    return std::nullopt;
}

std::vector<WorldMessage> WorldBook::Create(std::string_view name) {
    if (const std::optional<std::size_t> found = Find(name)) {
        std::vector<WorldMessage> out{DuplicateWorldMessage()};
        for (WorldMessage& m : Select(static_cast<int32_t>(*found))) out.push_back(std::move(m));
        return out;
    }
    const std::optional<std::string> path = WorldFilePath(name);
    if (!path) return {InvalidWorldNameMessage()};
    std::string existing;
    WorldSettings settings = shown_;
    const ReadStatus read = ReadFileStatus(*path, existing, kSmallFileLimit);
    if (read == ReadStatus::kOk) {
        settings = ParseWorldFile(existing);
    } else if (read != ReadStatus::kMissing) {
        return {WorldNotCreatedMessage(name, NotReadable(*path, read))};  // never replaced
    } else {
        const bool first = list_.names.empty();
        const std::string text = first ? std::string(kDefaultWorldText) : WorldFileText(shown_);
        std::string error;
        if (!SaveSettingsFile(*path, text, &error, log_))
            return {WorldNotCreatedMessage(name, CannotWrite(*path, error))};
        if (first) settings = ParseWorldFile(text);
    }
    if (auto failure = MergeList([&](WorldList& list) { MakeCurrent(list, std::string(name)); }))
        return {std::move(*failure)};
    shown_ = std::move(settings);
    saved_ = shown_;
    return {};
}

std::vector<WorldMessage> WorldBook::Import(std::string_view name, const WorldSettings& settings,
                                            std::string* imported) {
    if (imported) imported->clear();
    if (!IsValidWorldName(name)) return {InvalidWorldNameMessage()};
    bool neverSaveable = false;
    std::optional<WorldMessage> failure = Save(list_.current, neverSaveable);
    if (failure && !neverSaveable) return {std::move(*failure)};
    std::vector<WorldMessage> out;
    if (failure) out.push_back(std::move(*failure));

    // A name no world and no file has yet.
    const auto taken = [this](const std::string& candidate) {
        const std::optional<std::string> path = WorldFilePath(candidate);
        std::string ignored;
        return !path || Find(candidate) || ReadFileStatus(*path, ignored, kSmallFileLimit) != ReadStatus::kMissing;
    };
    std::string chosen(name);
    for (int n = 2; taken(chosen); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        std::string base(name.substr(0, std::min<std::size_t>(name.size(), 249 - suffix.size())));
        while (!base.empty() && base.size() < name.size() && (static_cast<unsigned char>(base.back()) & 0x80) != 0 &&
               (static_cast<unsigned char>(name[base.size()]) & 0xC0) == 0x80)
            base.pop_back();  // not inside a UTF-8 character
        chosen = base + suffix;
    }
    const std::string path = *WorldFilePath(chosen);
    const std::string text = WorldFileText(settings);
    std::string error;
    if (!SaveSettingsFile(path, text, &error, log_)) {
        out.push_back(WorldNotCreatedMessage(chosen, CannotWrite(path, error)));
        return out;
    }
    if (auto failed = MergeList([&](WorldList& list) { MakeCurrent(list, chosen); })) {
        out.push_back(std::move(*failed));
        return out;
    }
    shown_ = ParseWorldFile(text);
    saved_ = shown_;
    if (imported) *imported = chosen;
    return out;
}

std::vector<WorldMessage> WorldBook::Delete(DeleteAnswer answer) {
    const int32_t selected = Selection();
    if (selected < 0) {
        list_.current = -1;
        if (listExists_) MergeList([](WorldList& list) { list.current = -1; });  // reported by WriteList
        return {};
    }
    if (answer == DeleteAnswer::Cancel) return {};
    std::vector<WorldMessage> out;
    const std::string name = list_.names[static_cast<std::size_t>(selected)];
    if (answer == DeleteAnswer::Yes) {
        const std::optional<std::string> path = WorldFilePath(name);
        const int failed = path && ::unlink(path->c_str()) != 0 ? errno : 0;
        if (failed != 0 && failed != ENOENT)
            return {WorldMessage{
                "Error : The file of the World \"" + name + "\" could not be deleted.\n" + std::strerror(failed),
                "Error : World File Not Deleted"}};
    } else {
        bool neverSaveable = false;
        if (std::optional<WorldMessage> failure = Save(selected, neverSaveable)) {
            if (!neverSaveable) return {std::move(*failure)};
            out.push_back(std::move(*failure));
        }
    }
    if (auto failure = MergeList([&](WorldList& list) {
            const std::optional<std::size_t> at = FindName(list, name);
            // Gone already when another viewer deleted it: the same place is selected all the same.
            const auto removed = static_cast<int32_t>(at ? *at : std::min<std::size_t>(selected, list.names.size()));
            if (at) list.names.erase(list.names.begin() + static_cast<std::ptrdiff_t>(*at));
            const auto count = static_cast<int32_t>(list.names.size());
            list.current = removed < count ? removed : count - 1;
        })) {
        out.push_back(std::move(*failure));
        return out;
    }
    LoadWorld(list_.current);
    return out;
}

std::vector<WorldMessage> WorldBook::Ok() {
    if (auto failure = SaveWorld(Selection())) return {std::move(*failure)};
    if (Selection() >= 0) saved_ = shown_;
    return {};
}

void WorldBook::Revert() {
    if (!LoadWorld(Selection())) shown_ = saved_;
}

}  // namespace pelorus
