#include "reader/lexedline.h"

#include <algorithm>
#include <cstring>

#include "reader/rwtypes.h"

namespace pelorus {

LineReader::LineReader(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);
    if (const auto* eof = static_cast<const char*>(std::memchr(text_.data(), '\x1A', text_.size())))
        text_ = text_.substr(0, static_cast<std::size_t>(eof - text_.data()));
    // Most texts hold no NUL byte at all: then no line needs to be searched for one.
    hasNul_ = std::memchr(text_.data(), '\0', text_.size()) != nullptr;
    nextLf_ = text_.find('\n');
    nextCr_ = text_.find('\r');
}

std::size_t LineReader::Upcoming(char c, std::size_t& found) const {
    if (found != std::string_view::npos && found < pos_) found = text_.find(c, pos_);
    return found;
}

bool LineReader::Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t lf = Upcoming('\n', nextLf_);
    const std::size_t cr = Upcoming('\r', nextCr_);
    std::size_t end = std::min(lf, cr);
    std::size_t after = end + 1;
    if (end == std::string_view::npos) {
        end = text_.size();
        after = end;
    } else if (end == cr && cr + 1 == lf) {
        after = lf + 1;  // carriage return and line feed: one line end
    }
    const char* start = text_.data() + pos_;
    std::size_t length = end - pos_;
    pos_ = after;
    if (hasNul_)
        if (const auto* nul = static_cast<const char*>(std::memchr(start, '\0', length)))
            length = static_cast<std::size_t>(nul - start);
    line = std::string_view(start, length);
    return true;
}

bool ReadFaceTag(LineTokens& args, int32_t& tag) {
    const std::string_view word = args.Word();
    if (word.empty() || ValueCode(word) != RWXOption::Tag) return false;
    return args.Integer(tag);
}

void LexLine(LexedLine& out, std::string_view line, const char* readableEnd) {
    out.line = line;
    out.kind = LexedLine::Other;
    LineTokens args(line, readableEnd);
    switch (CommandCode(args.Word())) {
        case RWXCommand::Vertex:
        case RWXCommand::VertexExt: {
            double* v = out.xyzuv;
            if (!args.Number(v[0]) || !args.Number(v[1]) || !args.Number(v[2])) return;
            const std::string_view option = args.Word();
            if (option.empty()) {
                out.kind = LexedLine::Vertex;
                return;
            }
            if (ValueCode(option) != RWXOption::UV || !args.Number(v[3]) || !args.Number(v[4]) || !args.AtEnd()) return;
            out.kind = LexedLine::VertexUV;
            return;
        }
        case RWXCommand::Triangle:
        case RWXCommand::TriangleExt:
            for (int i = 0; i < 3; ++i)
                if (!args.Integer(out.face.corners[i])) return;
            out.face.tagged = ReadFaceTag(args, out.face.tag);
            out.kind = LexedLine::Triangle;
            return;
        case RWXCommand::Quad:
        case RWXCommand::QuadExt:
            for (int i = 0; i < 4; ++i)
                if (!args.Integer(out.face.corners[i])) return;
            out.face.tagged = ReadFaceTag(args, out.face.tag);
            out.kind = LexedLine::Quad;
            return;
        default:
            return;
    }
}

LexPipeline::LexPipeline(std::string_view text) : text_(text), slots_(kBlockLines * kBlocks) {}

LexPipeline::~LexPipeline() {
    if (!started_) return;
    stop_.store(true, std::memory_order_release);
    consumed_.store(UINT64_MAX, std::memory_order_release);
    consumed_.notify_all();
    worker_.join();
}

void LexPipeline::Produce() {
    LineReader lines(text_);
    const char* readable = text_.data() + text_.size();
    for (uint64_t block = 0;; ++block) {
        // Wait for room: at most kBlocks blocks ahead of the reader.
        for (uint64_t seen = consumed_.load(std::memory_order_acquire); block >= seen + kBlocks;
             seen = consumed_.load(std::memory_order_acquire)) {
            if (stop_.load(std::memory_order_acquire)) return;
            consumed_.wait(seen, std::memory_order_acquire);
        }
        if (stop_.load(std::memory_order_acquire)) return;
        LexedLine* out = slots_.data() + (block % kBlocks) * kBlockLines;
        std::size_t n = 0;
        std::string_view line;
        while (n < kBlockLines && lines.Next(line)) LexLine(out[n++], line, readable);
        counts_[block % kBlocks] = n;
        produced_.store(block + 1, std::memory_order_release);
        produced_.notify_one();
        if (n < kBlockLines) return;  // a short block is the last
    }
}

bool LexPipeline::Next(const LexedLine*& line) {
    if (!started_) {
        started_ = true;
        worker_ = std::thread([this] { Produce(); });
    }
    for (;;) {
        for (uint64_t seen = produced_.load(std::memory_order_acquire); seen <= block_;
             seen = produced_.load(std::memory_order_acquire))
            produced_.wait(seen, std::memory_order_acquire);
        const std::size_t count = counts_[block_ % kBlocks];
        if (inBlock_ < count) {
            line = slots_.data() + (block_ % kBlocks) * kBlockLines + inBlock_++;
            return true;
        }
        if (count < kBlockLines) return false;  // the last block is done
        // This block is used up: hand its room back and move on.
        ++block_;
        inBlock_ = 0;
        consumed_.store(block_, std::memory_order_release);
        consumed_.notify_one();
    }
}

}  // namespace pelorus
