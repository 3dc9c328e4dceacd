#pragma once
// A minimal JSON text builder: the caller places the commas, this escapes strings and prints
// numbers in the shortest form that reads back to the same double. Given a stream, it writes the
// text to it as it goes, holding at most about kChunkBytes at a time.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace pelorus {

class JsonWriter {
public:
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 16;

    // Without a stream the whole text is kept (Text()); with one, it goes there.
    JsonWriter() = default;
    explicit JsonWriter(std::ostream& sink) : sink_(&sink) {}
    ~JsonWriter() { Flush(); }
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    // The text so far (without a stream: all of it; with one: what was not written yet).
    std::string& Text() { return out_; }
    // Writes what is held to the stream (nothing without one).
    void Flush() {
        if (!sink_ || out_.empty()) return;
        sink_->write(out_.data(), static_cast<std::streamsize>(out_.size()));
        out_.clear();
    }

    JsonWriter& Raw(std::string_view s) {
        out_.append(s);
        return Spill();
    }
    JsonWriter& Number(double d) {
        if (!std::isfinite(d)) return Raw("null");
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        out_.append(buf, r.ptr);
        return Spill();
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
        return Spill();
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
    JsonWriter& Spill() {
        if (sink_ && out_.size() >= kChunkBytes) Flush();
        return *this;
    }

    std::ostream* sink_ = nullptr;
    std::string out_;
};

}  // namespace pelorus
