#pragma once
// Splitting a script into lines, and reading ahead the lines that make up most of any model
// (plain vertices and faces) so that their numbers can be read on another thread while the lines
// before them are being carried out.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <thread>
#include <vector>

#include "reader/rwtypes.h"

namespace pelorus {

// Splits a script into lines. A line ends at a line feed, at a carriage return, or at the pair
// carriage return + line feed (one line end, not two); the last line needs no line end. A DOS
// end-of-file mark (byte 0x1A) ends the text: nothing from it on is read. A NUL byte ends the
// line's text (the rest of that line is skipped), and a UTF-8 byte-order mark at the start is
// skipped.
class LineReader {
public:
    explicit LineReader(std::string_view text);
    bool Next(std::string_view& line);

private:
    // The position of the next `c` at or after pos_ (npos when there is none), searched again
    // only once pos_ has passed the one found before, so that a text is searched once whatever
    // its line ends.
    std::size_t Upcoming(char c, std::size_t& found) const;

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextLf_ = 0;
    std::size_t nextCr_ = 0;
    bool hasNul_ = false;
};

// The words after a face's vertex numbers: "Tag" (any letter case) and a number tag the face.
// Returns true and sets `tag` when they do; anything else (nothing, other words, "Tag" without a
// number) gives false and leaves the words unread or the line failed, as the face is added
// either way.
bool ReadFaceTag(LineTokens& args, int32_t& tag);

// One line, and what it holds when it is a plain geometry line:
// - Vertex: "Vertex" (or "VertexExt") and three numbers, optionally "UV" and two numbers, and
//   nothing after them;
// - Triangle, Quad: the command word and three or four integers, and the face's own tag when
//   they are followed by one (see ReadFaceTag; other later words are ignored, as the line
//   handler ignores them).
// Any other line, and any of these whose numbers do not read, is Other and is carried out from
// its text. A plain line has exactly the effect its text would have.
struct LexedLine {
    enum Kind : uint8_t { Other, Vertex, VertexUV, Triangle, Quad };
    struct Face {
        int32_t corners[4];
        int32_t tag;
        bool tagged;
    };
    std::string_view line;
    Kind kind = Other;
    union {
        double xyzuv[5];
        Face face;
    };
};

// Reads `line` (a view into a text that may be looked at up to `readableEnd`).
void LexLine(LexedLine& out, std::string_view line, const char* readableEnd);

// Lexes a whole text on a second thread, a block of lines ahead of the reader.
class LexPipeline {
public:
    explicit LexPipeline(std::string_view text);
    // Stops the second thread, wherever it is.
    ~LexPipeline();
    LexPipeline(const LexPipeline&) = delete;
    LexPipeline& operator=(const LexPipeline&) = delete;

    // The next line; false at the end of the text.
    bool Next(const LexedLine*& line);

private:
    static constexpr std::size_t kBlockLines = 4096;
    static constexpr std::size_t kBlocks = 8;
    void Produce();

    std::string_view text_;
    std::vector<LexedLine> slots_;
    std::array<std::size_t, kBlocks> counts_{};
    std::atomic<uint64_t> produced_{0};
    std::atomic<uint64_t> consumed_{0};
    std::atomic<bool> stop_{false};
    uint64_t block_ = 0;       // the block being read (reader side)
    std::size_t inBlock_ = 0;  // lines of it handed out
    bool started_ = false;
    std::thread worker_;
};

}  // namespace pelorus
