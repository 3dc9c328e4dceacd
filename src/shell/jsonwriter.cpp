#include "shell/jsonwriter.h"

#include "platform/textsafety.h"

namespace pelorus {

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
        } else if (const std::size_t n = Utf8SequenceLength(s, i)) {
            out_.append(s.substr(i, n));
            i += n;
        } else {
            out_.append("\xEF\xBF\xBD");  // U+FFFD
            ++i;
        }
    }
    out_.push_back('"');
    return *this;
}

}  // namespace pelorus
