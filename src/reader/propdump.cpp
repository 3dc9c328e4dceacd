#include "reader/propdump.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/hugepages.h"
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

// One stretch of whole lines of a dump, read on a thread of its own: the objects go to their own
// rows of the output (their text, in the stretch's own text, is moved to the output's once every
// stretch is read), the error lines wait to be written in order.
struct DumpChunk {
    std::string_view lines;  // whole lines (the last one of the dump may lack its line feed)
    uint64_t first = 0;      // the number of lines of the dump before it, the first line among them
    uint64_t lineCount = 0;  // its lines
    std::size_t row = 0;     // its first row in the output's objects
    std::size_t objects = 0;
    std::string text;  // the names, descriptions and actions of its objects
    DumpReadResult result;
    std::vector<std::pair<uint32_t, std::string>> errors;  // line and reason, the first kMaxDumpErrorLines
    std::atomic<uint64_t> read{0};                         // lines read so far, for progress
};

// The reading of one stretch of a dump, line by line.
class DumpReader {
public:
    DumpReader(int version, DumpChunk& chunk, PlacedObject* rows) : version_(version), chunk_(chunk), rows_(rows) {}

    void Line(std::string_view line, uint32_t number);

private:
    void Fail(uint32_t number, std::string_view reason);
    uint32_t Kept(std::string_view field);

    int version_;
    DumpChunk& chunk_;
    PlacedObject* rows_;
};

void DumpReader::Fail(uint32_t number, std::string_view reason) {
    if (++chunk_.result.malformed > kMaxDumpErrorLines) return;
    chunk_.errors.emplace_back(number, std::string(reason));
}

uint32_t DumpReader::Kept(std::string_view field) {
    const std::size_t size = std::min<std::size_t>(field.size(), std::numeric_limits<uint32_t>::max());
    chunk_.text.append(field.data(), size);
    return static_cast<uint32_t>(size);
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
    const std::string_view fieldsOf[3] = {text.substr(0, nameLen), text.substr(nameLen, descLen),
                                          text.substr(nameLen + descLen, actionLen)};
    uint32_t* sizes[3] = {&object.nameSize, &object.descriptionSize, &object.actionSize};
    object.text = chunk_.text.size();
    const bool plain = IsPlainAscii(fieldsOf[0]) && IsPlainAscii(fieldsOf[1]) && IsPlainAscii(fieldsOf[2]);
    std::string decoded;
    for (std::size_t f = 0; f < 3; ++f) {
        if (plain) {
            *sizes[f] = Kept(fieldsOf[f]);
        } else {
            decoded.clear();
            AppendDumpText(fieldsOf[f], version_, decoded);
            *sizes[f] = Kept(decoded);
        }
    }
    rows_[chunk_.objects++] = object;
    if (type == 0)
        ++chunk_.result.objects;
    else
        ++chunk_.result.otherTypes;
    ++chunk_.result.byType[type >= 0 && type < 7 ? static_cast<std::size_t>(type) : 7];
}

// The number of line `index` among those after the first (the first of them is line 2), kept
// at the largest a line number can be.
uint32_t LineNumber(uint64_t index) {
    return static_cast<uint32_t>(std::min<uint64_t>(index + 2, std::numeric_limits<uint32_t>::max()));
}

// Reads the lines of `chunk` into `rows` until they end or `stop` is set. `report`, when given,
// is called every kDumpLinesPerReport lines before the next is read; when it answers false the
// reading stops there.
template <typename Report>
void ReadChunk(int version, DumpChunk& chunk, PlacedObject* rows, const std::atomic<bool>& stop, Report report) {
    DumpReader reader(version, chunk, rows);
    const std::string_view lines = chunk.lines;
    // Texts are mostly as long as written: room for all of them at once (pages that are never
    // written cost nothing).
    chunk.text.reserve(lines.size());
    AdviseHugePages(chunk.text.data(), chunk.text.capacity());
    std::size_t start = 0;
    uint64_t read = 0;
    while (start < lines.size()) {
        if (read % kDumpLinesPerReport == 0 && read > 0) {
            chunk.read.store(read, std::memory_order_relaxed);
            if (!report()) break;
        }
        if (stop.load(std::memory_order_relaxed)) break;
        std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size();
        std::string_view line = lines.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        reader.Line(line, LineNumber(chunk.first + read));
        ++read;
        start = end + 1;
    }
    chunk.read.store(read, std::memory_order_relaxed);
}

unsigned DumpThreadsFor(std::size_t bytes, unsigned asked) {
    if (asked > 0) return std::min(asked, kMaxDumpThreads);
    const auto cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDumpThreads);
    return static_cast<unsigned>(std::clamp<std::size_t>(bytes / kDumpBytesPerThread, 1, cores));
}

// Splits `body` into `count` stretches of whole lines of about the same size (some may be empty).
std::vector<std::string_view> SplitAtLines(std::string_view body, unsigned count) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (unsigned k = 1; k <= count; ++k) {
        std::size_t to = body.size();
        if (k < count) {
            to = std::max(from, body.size() / count * k);
            to = to < body.size() ? body.find('\n', to) : std::string_view::npos;
            to = to == std::string_view::npos ? body.size() : to + 1;
        }
        parts.push_back(body.substr(from, to - from));
        from = to;
    }
    return parts;
}

uint64_t LinesIn(std::string_view part) {
    const auto feeds = static_cast<uint64_t>(std::count(part.begin(), part.end(), '\n'));
    return feeds + (!part.empty() && part.back() != '\n' ? 1 : 0);
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
                        const DumpLinesHook& onLines, unsigned threads) {
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
    // The lines after the first, split among the threads; each counts its lines, then reads them.
    const std::size_t headerEnd = text.find('\n');
    const std::string_view body = headerEnd == std::string_view::npos ? std::string_view() : text.substr(headerEnd + 1);
    const std::vector<std::string_view> parts = SplitAtLines(body, DumpThreadsFor(body.size(), threads));
    std::vector<DumpChunk> chunks(parts.size());
    for (std::size_t k = 0; k < parts.size(); ++k) chunks[k].lines = parts[k];
    auto onEachChunk = [&](auto work) {
        std::vector<std::thread> helpers;
        for (std::size_t k = 1; k < chunks.size(); ++k) helpers.emplace_back([&, k] { work(k); });
        work(0);
        for (std::thread& t : helpers) t.join();
    };
    onEachChunk([&](std::size_t k) { chunks[k].lineCount = LinesIn(chunks[k].lines); });
    uint64_t lines = 0;
    const std::size_t firstRow = out.objects.size();
    for (DumpChunk& chunk : chunks) {
        chunk.first = lines;
        chunk.row = firstRow + static_cast<std::size_t>(lines);
        lines += chunk.lineCount;
    }
    // One row for each line, known before the first is read; rows of lines that give no object
    // are closed up afterwards.
    out.objects.reserve(firstRow + static_cast<std::size_t>(lines));
    AdviseHugePages(out.objects.data(), out.objects.capacity() * sizeof(PlacedObject));
    out.objects.resize(firstRow + static_cast<std::size_t>(lines));

    std::atomic<bool> stop{false};
    auto readSoFar = [&] {
        uint64_t read = 0;
        for (const DumpChunk& chunk : chunks) read += chunk.read.load(std::memory_order_relaxed);
        return read;
    };
    uint64_t told = 0;
    // Progress is told from the calling thread alone, never backwards.
    auto tell = [&] {
        const uint64_t read = readSoFar();
        if (read <= told) return !stop.load();
        told = read;
        if (!onLines(read, lines)) stop = true;
        return !stop.load();
    };
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t helpersDone = 0;
    onEachChunk([&](std::size_t k) {
        DumpChunk& chunk = chunks[k];
        PlacedObject* rows = out.objects.data() + chunk.row;
        if (k > 0) {
            ReadChunk(*version, chunk, rows, stop, [] { return true; });
            std::lock_guard lock(mutex);
            ++helpersDone;
            finished.notify_all();
            return;
        }
        if (!onLines) {
            ReadChunk(*version, chunk, rows, stop, [] { return true; });
            return;
        }
        ReadChunk(*version, chunk, rows, stop, tell);
        // The others may still be reading: their progress is told meanwhile.
        std::unique_lock lock(mutex);
        while (helpersDone + 1 < chunks.size()) {
            finished.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            tell();
            lock.lock();
        }
    });

    // Everything in order: the rows closed up, the texts moved, the error lines written.
    std::size_t textSize = out.text.size();
    for (const DumpChunk& chunk : chunks) textSize += chunk.text.size();
    if (textSize > out.text.capacity()) {
        out.text.reserve(textSize);
        AdviseHugePages(out.text.data() + out.text.size(), out.text.capacity() - out.text.size());
    }
    std::size_t row = firstRow;
    const std::string name = BoundedQuote(dumpName);
    for (DumpChunk& chunk : chunks) {
        const uint64_t base = out.text.size();
        for (std::size_t i = 0; i < chunk.objects; ++i) {
            PlacedObject& o = out.objects[row++];
            o = out.objects[chunk.row + i];
            o.text += base;
        }
        out.text += chunk.text;
        chunk.text = std::string();
        result.objects += chunk.result.objects;
        result.otherTypes += chunk.result.otherTypes;
        for (std::size_t t = 0; t < result.byType.size(); ++t) result.byType[t] += chunk.result.byType[t];
        for (const auto& [number, reason] : chunk.errors) {
            if (++result.malformed > kMaxDumpErrorLines) continue;
            log.Append("Object dump \"" + name + "\", line " + std::to_string(number) + ": " + reason);
        }
        // Those beyond the ones each stretch kept are only counted.
        result.malformed += chunk.result.malformed - chunk.errors.size();
    }
    out.objects.resize(row);
    const uint64_t read = readSoFar();
    // (Unless the wait for the others told it already.)
    if (onLines && (read > told || read == 0)) onLines(read, std::max(read, lines));
    if (result.malformed > kMaxDumpErrorLines)
        log.Append("Object dump \"" + name + "\": " + std::to_string(result.malformed - kMaxDumpErrorLines) +
                   " more lines could not be read and are not listed.");
    return result;
}

}  // namespace pelorus
