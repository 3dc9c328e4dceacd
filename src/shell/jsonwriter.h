#pragma once
// A minimal JSON text builder: the caller places the commas, this escapes strings and prints
// numbers in the shortest form that reads back to the same double.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelorus {

class JsonWriter {
public:
    std::string& Text() { return out_; }

    JsonWriter& Raw(std::string_view s) {
        out_.append(s);
        return *this;
    }
    JsonWriter& Number(double d) {
        if (!std::isfinite(d)) return Raw("null");
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        out_.append(buf, r.ptr);
        return *this;
    }
    // A float in the shortest form that reads back to the same float ("123.4" for 123.4f).
    JsonWriter& Float(float f) {
        if (!std::isfinite(f)) return Raw("null");
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, f);
        out_.append(buf, r.ptr);
        return *this;
    }
    JsonWriter& Int(int64_t i) {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, i);
        out_.append(buf, r.ptr);
        return *this;
    }
    // Well-formed UTF-8 is copied; every byte that is not part of it is written as U+FFFD, so the
    // document is always valid UTF-8.
    JsonWriter& String(std::string_view s);
    JsonWriter& Key(std::string_view k) {
        String(k);
        out_.append(": ");
        return *this;
    }

private:
    std::string out_;
};

}  // namespace pelorus
