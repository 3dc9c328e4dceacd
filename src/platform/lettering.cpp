#include "platform/lettering.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace pelorus {
namespace {

// Font files of common distributions, tried when fontconfig finds nothing usable.
constexpr const char* kKnownFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/TTF/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/dejavu-sans-fonts/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

// The file of the bold sans-serif face fontconfig prefers; "" when it has none.
std::string FontconfigSansBold() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return {};
    std::string file;
    if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:bold"))) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* path = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
                file = reinterpret_cast<const char*>(path);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return file;
}

// Code points of UTF-8 text; each byte that does not begin a well-formed sequence is U+FFFD.
std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, cp = b & 0x1F, least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, cp = b & 0x0F, least = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, cp = b & 0x07, least = 0x10000;
        } else {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        bool ok = i + static_cast<std::size_t>(extra) < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += cp;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// The text as paragraphs of words: line breaks split paragraphs, blanks split words.
using Word = std::u32string;
std::vector<std::vector<Word>> Paragraphs(std::string_view text) {
    std::u32string cps = DecodeUtf8(text);
    // Line ends as line feeds; tabs as blanks; other control characters out.
    std::u32string clean;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        const char32_t c = cps[i];
        if (c == U'\r') {
            clean += U'\n';
            if (i + 1 < cps.size() && cps[i + 1] == U'\n') ++i;
        } else if (c == U'\n') {
            clean += U'\n';
        } else if (c == U'\t') {
            clean += U' ';
        } else if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
            clean += c;
        }
    }
    auto blank = [](char32_t c) { return c == U' ' || c == U'\n'; };
    std::size_t first = 0, last = clean.size();
    while (first < last && blank(clean[first])) ++first;
    while (last > first && blank(clean[last - 1])) --last;
    std::vector<std::vector<Word>> paragraphs;
    if (first == last) return paragraphs;
    paragraphs.emplace_back();
    Word word;
    for (std::size_t i = first; i < last; ++i) {
        const char32_t c = clean[i];
        if (blank(c)) {
            if (!word.empty()) paragraphs.back().push_back(std::move(word));
            word.clear();
            if (c == U'\n') paragraphs.emplace_back();
        } else {
            word += c;
        }
    }
    if (!word.empty()) paragraphs.back().push_back(std::move(word));
    return paragraphs;
}

void Fill(RgbaImage& image, LetteringColor c) {
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = c.r;
        image.pixels[i + 1] = c.g;
        image.pixels[i + 2] = c.b;
        image.pixels[i + 3] = 255;
    }
}

}  // namespace

struct SignLettering::Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    Font() = default;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

std::pair<int, int> SignImageSize(double aspect, int longSide) {
    longSide = std::clamp(longSide, 1, kMaxSignSide);
    if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 1;
    const double shortSide = aspect >= 1 ? longSide / aspect : longSide * aspect;
    const int other = std::max(1, static_cast<int>(std::lround(std::min<double>(shortSide, longSide))));
    return aspect >= 1 ? std::pair{longSide, other} : std::pair{other, longSide};
}

SignLettering::SignLettering(std::unique_ptr<Font> font, std::string file)
    : font_(std::move(font)), fontFile_(std::move(file)) {}

SignLettering::~SignLettering() = default;

std::unique_ptr<SignLettering> SignLettering::Open(std::string* error, const std::string& fontPath) {
    auto font = std::make_unique<Font>();
    if (FT_Init_FreeType(&font->library) != 0) {
        if (error) *error = "the font library could not be started";
        return nullptr;
    }
    std::vector<std::string> candidates;
    if (!fontPath.empty()) {
        candidates.push_back(fontPath);
    } else {
        if (std::string found = FontconfigSansBold(); !found.empty()) candidates.push_back(std::move(found));
        candidates.insert(candidates.end(), std::begin(kKnownFonts), std::end(kKnownFonts));
    }
    for (const std::string& file : candidates) {
        FT_Face face = nullptr;
        if (FT_New_Face(font->library, file.c_str(), 0, &face) != 0) continue;
        if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
            FT_Done_Face(face);
            continue;
        }
        font->face = face;
        return std::unique_ptr<SignLettering>(new SignLettering(std::move(font), file));
    }
    if (error)
        *error = fontPath.empty() ? "no scalable sans-serif font was found on this system (fonts-dejavu-core has one)"
                                  : "the font \"" + fontPath + "\" could not be opened as a scalable font";
    return nullptr;
}

RgbaImage SignLettering::Draw(std::string_view text, int width, int height, LetteringColor color,
                              LetteringColor background) const {
    RgbaImage image;
    width = std::clamp(width, 0, kMaxSignSide);
    height = std::clamp(height, 0, kMaxSignSide);
    if (width == 0 || height == 0) return image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    Fill(image, background);

    const std::vector<std::vector<Word>> paragraphs = Paragraphs(text);
    if (paragraphs.empty()) return image;

    FT_Face face = font_->face;
    const double em = face->units_per_EM;
    // Advances in font units, by code point.
    std::unordered_map<char32_t, double> advances;
    auto advance = [&](char32_t c) {
        if (const auto it = advances.find(c); it != advances.end()) return it->second;
        double a = 0;
        if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_NO_SCALE) == 0)
            a = static_cast<double>(face->glyph->advance.x);
        advances.emplace(c, a);
        return a;
    };
    auto wordWidth = [&](const Word& w) {
        double sum = 0;
        for (const char32_t c : w) sum += advance(c);
        return sum;
    };
    std::vector<std::vector<double>> widths;
    for (const auto& p : paragraphs) {
        widths.emplace_back();
        for (const Word& w : p) widths.back().push_back(wordWidth(w));
    }
    const double space = advance(U' ');
    double lineHeight = static_cast<double>(face->ascender) - static_cast<double>(face->descender);
    if (lineHeight <= 0) lineHeight = em * 1.2;
    const double ascender = face->ascender > 0 ? static_cast<double>(face->ascender) : lineHeight * 0.8;

    struct Line {
        std::size_t paragraph, first, count;  // words
        double width;                         // font units
    };
    // Wraps the words into lines no wider than `boxWidth` (font units). False when a word alone is
    // wider.
    auto layout = [&](double boxWidth, std::vector<Line>& lines) {
        lines.clear();
        bool fits = true;
        for (std::size_t p = 0; p < paragraphs.size(); ++p) {
            Line line{p, 0, 0, 0};
            for (std::size_t w = 0; w < widths[p].size(); ++w) {
                const double ww = widths[p][w];
                if (ww > boxWidth) fits = false;
                if (line.count > 0 && line.width + space + ww > boxWidth) {
                    lines.push_back(line);
                    line = {p, w, 0, 0};
                }
                line.width += (line.count > 0 ? space : 0) + ww;
                ++line.count;
            }
            lines.push_back(line);
        }
        return fits;
    };

    const double innerWidth = width * 0.9;
    const double innerHeight = height * 0.9;
    const int largest = std::max(1, static_cast<int>(0.4 * std::min(width, height)));
    std::vector<Line> lines;
    auto fitsAt = [&](int size) {
        const double scale = em / size;  // font units per pixel
        return layout(innerWidth * scale, lines) &&
               static_cast<double>(lines.size()) * lineHeight <= innerHeight * scale;
    };
    int lo = 1, hi = largest, size = 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        if (fitsAt(mid)) {
            size = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    fitsAt(size);  // the lines of the size chosen

    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) return image;
    const double px = size / em;  // pixels per font unit
    const double blockTop = (height - static_cast<double>(lines.size()) * lineHeight * px) / 2;
    auto blend = [&](int x, int y, unsigned coverage) {
        if (x < 0 || y < 0 || x >= width || y >= height || coverage == 0) return;
        uint8_t* p =
            &image
                 .pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) *
                         4];
        const uint8_t ink[3] = {color.r, color.g, color.b};
        for (int k = 0; k < 3; ++k)
            p[k] = static_cast<uint8_t>((p[k] * (255 - coverage) + ink[k] * coverage + 127) / 255);
    };
    for (std::size_t li = 0; li < lines.size(); ++li) {
        const Line& line = lines[li];
        const double baseline = blockTop + (ascender + static_cast<double>(li) * lineHeight) * px;
        double pen = (width - line.width * px) / 2;
        const auto& words = paragraphs[line.paragraph];
        for (std::size_t w = line.first; w < line.first + line.count; ++w) {
            if (w > line.first) pen += space * px;
            for (const char32_t c : words[w]) {
                if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_RENDER) == 0) {
                    const FT_Bitmap& bm = face->glyph->bitmap;
                    const int left = static_cast<int>(std::lround(pen)) + face->glyph->bitmap_left;
                    const int top = static_cast<int>(std::lround(baseline)) - face->glyph->bitmap_top;
                    for (unsigned row = 0; row < bm.rows; ++row) {
                        const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
                        for (unsigned col = 0; col < bm.width; ++col) {
                            unsigned coverage = 0;
                            if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                                coverage = src[col] * 255u / std::max(1u, static_cast<unsigned>(bm.num_grays - 1));
                            else if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                                coverage = (src[col / 8] >> (7 - col % 8)) & 1 ? 255u : 0u;
                            blend(left + static_cast<int>(col), top + static_cast<int>(row), std::min(coverage, 255u));
                        }
                    }
                }
                pen += advance(c) * px;
            }
        }
    }
    return image;
}

}  // namespace pelorus
