#include "reader/propdump.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/text.h"
#include "platform/textsafety.h"

namespace pelorus {
namespace {

constexpr std::string_view kHeader = "propdump version";

// Windows-1252 for the bytes 0x80 to 0x9F; the five it leaves undefined keep their own number.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The bytes of `field` with the stored line breaks turned back: 0x80 0x7F (and, in UTF-8 text,
// "€" 0x7F) is CR LF, a lone 0x7F is LF.
std::string WithLineBreaks(std::string_view field, bool utf8) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\x80' && i + 1 < field.size() && field[i + 1] == '\x7F') {
            out += "\r\n";
            ++i;
        } else if (utf8 && c == '\xE2' && field.substr(i, 4) == "\xE2\x82\xAC\x7F") {
            out += "\r\n";
            i += 3;
        } else if (c == '\x7F') {
            out += '\n';
        } else {
            out += c;
        }
    }
    return out;
}

bool IsPlainAscii(std::string_view field) {
    for (const char c : field)
        if (static_cast<unsigned char>(c) >= 0x7F) return false;
    return true;
}

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\x1A") == std::string_view::npos;
}

// The fields of one line, read from its start.
class LineFields {
public:
    explicit LineFields(std::string_view line) : rest_(line) {}

    // The next number's word (spaces before it skipped); false when the line has ended.
    bool Word(std::string_view& word) {
        std::size_t start = 0;
        while (start < rest_.size() && rest_[start] == ' ') ++start;
        if (start == rest_.size()) return false;
        std::size_t end = rest_.find(' ', start);
        if (end == std::string_view::npos) end = rest_.size();
        word = rest_.substr(start, end - start);
        rest_.remove_prefix(end);
        return true;
    }
    // What follows the single space after the last number ("" when the line ends there).
    std::string_view Text() const { return rest_.empty() ? rest_ : rest_.substr(1); }

private:
    std::string_view rest_;
};

bool ReadDouble(std::string_view word, double& out) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    if (word.empty() || !(IsDigit(word.front()) || word.front() == '-' || word.front() == '.')) return false;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out, std::chars_format::general);
    return ec == std::errc{} && end == word.data() + word.size() && std::isfinite(out);
}

template <typename Int>
bool ReadInt(std::string_view word, Int& out) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    if (word.empty()) return false;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out);
    return ec == std::errc{} && end == word.data() + word.size();
}

// The reading of one dump, line by line.
class DumpReader {
public:
    DumpReader(int version, std::string_view dumpName, ErrorLog& log, SceneObjects& out, DumpReadResult& result)
        : version_(version), name_(BoundedQuote(dumpName)), log_(log), out_(out), result_(result) {}

    void Line(std::string_view line, uint32_t number);
    void Finish();

private:
    void Fail(uint32_t number, std::string_view reason);

    int version_;
    std::string name_;
    ErrorLog& log_;
    SceneObjects& out_;
    DumpReadResult& result_;
};

void DumpReader::Fail(uint32_t number, std::string_view reason) {
    ++result_.malformed;
    if (result_.malformed > kMaxDumpErrorLines) return;
    std::string line = "Object dump \"" + name_ + "\", line " + std::to_string(number) + ": ";
    line += reason;
    log_.Append(line);
}

void DumpReader::Finish() {
    if (result_.malformed > kMaxDumpErrorLines)
        log_.Append("Object dump \"" + name_ + "\": " + std::to_string(result_.malformed - kMaxDumpErrorLines) +
                    " more lines could not be read and are not listed.");
}

void DumpReader::Line(std::string_view line, uint32_t number) {
    if (IsBlankLine(line)) return;
    const bool turned = version_ >= 3;
    const bool typed = version_ >= 4;
    LineFields fields(line);
    std::string_view word;
    auto next = [&] {
        if (fields.Word(word)) return true;
        Fail(number, "too few fields.");
        return false;
    };
    auto notANumber = [&](std::string_view field) {
        Fail(number, "\"" + BoundedQuote(word, 80) + "\" is not a number (" + std::string(field) + ").");
        return false;
    };
    auto unsignedField = [&](std::string_view field, uint64_t& value) {
        return next() && (ReadInt(word, value) || notANumber(field));
    };
    auto realField = [&](std::string_view field, double& value) {
        return next() && (ReadDouble(word, value) || notANumber(field));
    };

    uint64_t citizen = 0, time = 0;
    double x = 0, y = 0, z = 0, yaw = 0, tilt = 0, roll = 0;
    int32_t type = 0;
    uint64_t nameLen = 0, descLen = 0, actionLen = 0, dataLen = 0;
    if (!unsignedField("citizen", citizen) || !unsignedField("time", time)) return;
    if (!realField("x", x) || !realField("y", y) || !realField("z", z) || !realField("yaw", yaw)) return;
    if (turned && (!realField("tilt", tilt) || !realField("roll", roll))) return;
    if (typed && !(next() && (ReadInt(word, type) || notANumber("type")))) return;
    if (!unsignedField("name length", nameLen) || !unsignedField("description length", descLen) ||
        !unsignedField("action length", actionLen))
        return;
    if (typed && !unsignedField("data length", dataLen)) return;

    const std::string_view text = fields.Text();
    // Lengths are each below 2^64; their sum is checked against the line without overflowing.
    const uint64_t room = text.size();
    const bool fits = nameLen <= room && descLen <= room - nameLen && actionLen <= room - nameLen - descLen &&
                      dataLen <= room - nameLen - descLen - actionLen;
    if (!fits) {
        const uint64_t lengths[] = {nameLen, descLen, actionLen, dataLen};
        uint64_t total = 0;
        bool huge = false;
        for (const uint64_t l : lengths) {
            huge = huge || l > UINT64_MAX - total;
            total = huge ? UINT64_MAX : total + l;
        }
        std::string what = typed ? "the name, description, action and data (" : "the name, description and action (";
        what += huge ? std::string("more than 2^64") : std::to_string(total);
        what += " bytes) run past the end of the line.";
        Fail(number, what);
        return;
    }

    PlacedObject object;
    object.line = number;
    object.type = type;
    object.placement.position = {x / kDumpUnitsPerModelUnit, y / kDumpUnitsPerModelUnit, z / kDumpUnitsPerModelUnit};
    object.placement.yaw = static_cast<float>(yaw / 10);
    object.placement.tilt = static_cast<float>(tilt / 10);
    object.placement.roll = static_cast<float>(roll / 10);
    const std::string_view name = text.substr(0, nameLen);
    const std::string_view description = text.substr(nameLen, descLen);
    const std::string_view action = text.substr(nameLen + descLen, actionLen);
    if (IsPlainAscii(name) && IsPlainAscii(description) && IsPlainAscii(action)) {
        out_.SetText(object, name, description, action);
    } else {
        std::string decoded[3];
        AppendDumpText(name, version_, decoded[0]);
        AppendDumpText(description, version_, decoded[1]);
        AppendDumpText(action, version_, decoded[2]);
        out_.SetText(object, decoded[0], decoded[1], decoded[2]);
    }
    out_.objects.push_back(object);
    if (type == 0)
        ++result_.objects;
    else
        ++result_.otherTypes;
    ++result_.byType[type >= 0 && type < 7 ? static_cast<std::size_t>(type) : 7];
}

}  // namespace

std::optional<int> HeaderVersionOf(std::string_view text, std::string_view header) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (text.size() < header.size() || !EqualsNoCase(text.substr(0, header.size()), header)) return std::nullopt;
    std::string_view rest = text.substr(header.size());
    const std::size_t end = rest.find('\n');
    if (end != std::string_view::npos) rest = rest.substr(0, end);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t')) return std::nullopt;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    int version = -1;
    if (rest.size() > 9 || rest.empty() || !std::all_of(rest.begin(), rest.end(), IsDigit) || !ReadInt(rest, version))
        return -1;
    return version;
}

std::optional<int> DumpVersionOf(std::string_view text) {
    return HeaderVersionOf(text, kHeader);
}

bool BeginsLikeDump(std::string_view head) {
    if (DumpVersionOf(head)) return true;
    if (head.find('\n') != std::string_view::npos) return false;
    return DumpVersionOf(std::string(head) + "\n").has_value();
}

void AppendDumpText(std::string_view field, int version, std::string& out) {
    const bool utf8 = version >= 5;
    const std::string bytes = WithLineBreaks(field, utf8);
    if (utf8) {
        out += ReplaceInvalidUtf8(bytes);
        return;
    }
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out.push_back(ch);
        else if (c < 0xA0)
            AppendUtf8(kWindows1252High[c - 0x80], out);
        else
            AppendUtf8(c, out);
    }
}

DumpReadResult ReadDump(std::string_view text, std::string_view dumpName, ErrorLog& log, SceneObjects& out,
                        const DumpLinesHook& onLines) {
    DumpReadResult result;
    const std::optional<int> version = DumpVersionOf(text);
    if (!version) {
        log.Append("\"" + BoundedQuote(dumpName) +
                   "\" is not an object dump (its first line is not \"propdump version N\").");
        return result;
    }
    if (*version < kMinDumpVersion || *version > kMaxDumpVersion) {
        log.Append("Object dump \"" + BoundedQuote(dumpName) + "\" is of version " +
                   (*version < 0 ? std::string("?") : std::to_string(*version)) +
                   ", which cannot be read (versions 2 to 5 can).");
        return result;
    }
    result.version = *version;
    // Room for one object a line, known before the first is read.
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    out.objects.reserve(out.objects.size() + lines);
    out.text.reserve(out.text.size() + text.size() / 2);
    // The lines after the first, a last one without its line feed among them.
    const uint64_t objectLines = lines - (!text.empty() && text.back() == '\n' ? 1 : 0);
    DumpReader reader(*version, dumpName, log, out, result);
    std::size_t pos = text.find('\n');
    uint32_t number = 1;
    uint64_t read = 0;
    while (pos != std::string_view::npos && pos + 1 <= text.size()) {
        const std::size_t start = pos + 1;
        if (start == text.size()) break;
        if (onLines && read % kDumpLinesPerReport == 0 && read > 0 && !onLines(read, objectLines)) break;
        ++read;
        pos = text.find('\n', start);
        std::string_view line = text.substr(start, pos == std::string_view::npos ? text.size() - start : pos - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (number < UINT32_MAX) ++number;
        reader.Line(line, number);
    }
    if (onLines) onLines(read, std::max(read, objectLines));
    reader.Finish();
    return result;
}

}  // namespace pelorus
