#include "shell/jsonwriter.h"

namespace pelorus {
namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
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
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (cc & 0x3Fu);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

}  // namespace

JsonWriter& JsonWriter::String(std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    out_.push_back('"');
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out_.push_back('\\');
            out_.push_back(static_cast<char>(c));
            ++i;
        } else if (c < 0x20) {
            switch (c) {
                case '\n':
                    out_.append("\\n");
                    break;
                case '\r':
                    out_.append("\\r");
                    break;
                case '\t':
                    out_.append("\\t");
                    break;
                default:
                    out_.append("\\u00");
                    out_.push_back(kHex[c >> 4]);
                    out_.push_back(kHex[c & 15]);
            }
            ++i;
        } else if (c < 0x80) {
            out_.push_back(static_cast<char>(c));
            ++i;
        } else if (const std::size_t n = Utf8Length(s, i)) {
            out_.append(s.substr(i, n));
            i += n;
        } else {
            out_.append("\\u00");
            out_.push_back(kHex[c >> 4]);
            out_.push_back(kHex[c & 15]);
            ++i;
        }
    }
    out_.push_back('"');
    return *this;
}

}  // namespace pelorus
