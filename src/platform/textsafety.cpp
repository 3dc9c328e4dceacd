#include "platform/textsafety.h"

#include <cstdint>

namespace pelorus {

std::size_t Utf8SequenceLength(std::string_view s, std::size_t at) {
    if (at >= s.size()) return 0;
    const auto c = static_cast<unsigned char>(s[at]);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (n > s.size() - at) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(s[at + k]);
        if ((cc & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (cc & 0x3Fu);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

std::string EscapeForTerminal(std::string_view line) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(line.size());
    auto escape = [&out](unsigned char c) {
        out += "\\x";
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
    };
    for (std::size_t i = 0; i < line.size();) {
        const auto c = static_cast<unsigned char>(line[i]);
        const std::size_t n = Utf8SequenceLength(line, i);
        if (n == 0 || (c < 0x20 && c != '\t') || c == 0x7F) {
            escape(c);
            ++i;
        } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(line[i + 1]) < 0xA0) {
            escape(c);  // U+0080 to U+009F
            escape(static_cast<unsigned char>(line[i + 1]));
            i += 2;
        } else {
            out.append(line.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string ReplaceInvalidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string BoundedQuote(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::size_t cut = limit;
    // Step back to the start of the sequence that the cut falls into, when that sequence is
    // well-formed and does not fit.
    for (std::size_t back = 1; back <= 3 && back <= cut; ++back) {
        const std::size_t start = cut - back;
        if ((static_cast<unsigned char>(text[start]) & 0xC0u) != 0x80u) {
            const std::size_t n = Utf8SequenceLength(text, start);
            if (n > back) cut = start;
            break;
        }
    }
    std::string out(text.substr(0, cut));
    out += "...";
    return out;
}

}  // namespace pelorus
