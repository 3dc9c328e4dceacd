#pragma once
// Sign lettering: text drawn with a font of the system into an image, as signs in worlds show it.
// The font is found through fontconfig (the bold sans-serif face it prefers), or else among the
// font files that common distributions install; no font ships with the program.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/rgbaimage.h"

namespace pelorus {

struct LetteringColor {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const LetteringColor&) const = default;
};

// The largest side a sign image may have; larger requests are held to it.
inline constexpr int kMaxSignSide = 4096;

// The pixel size of a sign image for a face whose width is `aspect` times its height: the longer
// side `longSide` pixels (held to 1 ... kMaxSignSide), the shorter in proportion and at least 1.
// An aspect that is not a positive finite number counts as 1.
std::pair<int, int> SignImageSize(double aspect, int longSide = 256);

// One opened font, drawing signs. Not to be shared between threads (each thread opens its own).
class SignLettering {
public:
    // Opens the font file `fontPath` (its first face), or without one the system's bold sans-serif
    // font. Returns null, with a sentence saying why in `*error` (when given), when no font can be
    // opened or the font has no scalable outlines.
    static std::unique_ptr<SignLettering> Open(std::string* error, const std::string& fontPath = {});
    ~SignLettering();
    SignLettering(const SignLettering&) = delete;
    SignLettering& operator=(const SignLettering&) = delete;

    // The font file in use.
    const std::string& FontFile() const { return fontFile_; }

    // An opaque width x height image (each held to 0 ... kMaxSignSide; an empty image when either
    // is 0) filled with `background`, with `text` (UTF-8; bytes that are not UTF-8 show as the
    // replacement character) drawn on it in `color`: each line centred, the block of lines centred
    // in the image, lines wrapped at blanks so that they keep inside a margin of a twentieth of
    // each side, and the letters as large as that allows, up to four tenths of the shorter side.
    // Line feeds (and carriage returns, alone or before a line feed) break lines; tabs are
    // blanks; other control characters are left out; blanks at either end of the text are
    // dropped. A word too long for a line at any size is drawn as small as the font goes and
    // cut off at the margins.
    RgbaImage Draw(std::string_view text, int width, int height, LetteringColor color, LetteringColor background) const;

private:
    struct Font;
    SignLettering(std::unique_ptr<Font> font, std::string file);

    std::unique_ptr<Font> font_;
    std::string fontFile_;
};

}  // namespace pelorus
