// Sign lettering: text on a background, centred, wrapped and scaled to fit, with a system font.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "platform/lettering.h"

namespace pelorus {
namespace {

constexpr LetteringColor kWhite{255, 255, 255};
constexpr LetteringColor kBlue{0, 0, 255};
constexpr LetteringColor kYellow{255, 255, 0};
constexpr LetteringColor kDarkGreen{0, 80, 0};

// The font the tests draw with: the one fonts-dejavu-core installs, so that sizes do not depend
// on what else the system has.
std::unique_ptr<SignLettering> TestFont() {
    const std::string path = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    if (!std::filesystem::exists(path)) return nullptr;
    std::string error;
    auto font = SignLettering::Open(&error, path);
    EXPECT_TRUE(font) << error;
    return font;
}

LetteringColor At(const RgbaImage& image, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 4;
    return {image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]};
}

// Where the ink is: the box of pixels that differ from the background, and the runs of rows that
// hold any (one per line of text).
struct Ink {
    int left = std::numeric_limits<int>::max(), right = -1, top = std::numeric_limits<int>::max(), bottom = -1;
    std::vector<std::pair<int, int>> bands;  // first and last row of each run
    bool Any() const { return right >= 0; }
};
Ink InkOf(const RgbaImage& image, LetteringColor background) {
    Ink ink;
    for (int y = 0; y < image.height; ++y) {
        bool row = false;
        for (int x = 0; x < image.width; ++x) {
            if (At(image, x, y) == background) continue;
            row = true;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
        if (!row) continue;
        if (!ink.bands.empty() && ink.bands.back().second == y - 1)
            ink.bands.back().second = y;
        else
            ink.bands.emplace_back(y, y);
    }
    return ink;
}

TEST(SignImageSize, TheLongerSideGivenTheShorterInProportion) {
    const struct {
        double aspect;
        int longSide;
        std::pair<int, int> size;
    } cases[] = {
        {2.0, 256, {256, 128}},
        {0.5, 256, {128, 256}},
        {1.0, 64, {64, 64}},
        {3.0, 100, {100, 33}},
        {1e9, 256, {256, 1}},
        {1e-9, 256, {1, 256}},
        {0, 256, {256, 256}},
        {-2, 256, {256, 256}},
        {std::nan(""), 256, {256, 256}},
        {std::numeric_limits<double>::infinity(), 256, {256, 256}},
        {2.0, 100000, {kMaxSignSide, kMaxSignSide / 2}},
        {2.0, -5, {1, 1}},
    };
    for (const auto& c : cases) EXPECT_EQ(SignImageSize(c.aspect, c.longSide), c.size) << c.aspect << " " << c.longSide;
}

TEST(SignFont, TheSystemFontOrAGivenFileOpensAndABadFileSaysSo) {
    std::string error;
    const auto system = SignLettering::Open(&error);
    ASSERT_TRUE(system) << error;
    EXPECT_FALSE(system->FontFile().empty());

    const auto missing = SignLettering::Open(&error, "/nonexistent/font.ttf");
    EXPECT_FALSE(missing);
    EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos) << error;
}

TEST(SignLettering, TextWithoutLettersGivesTheBackgroundAlone) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    for (const char* text : {"", "   ", " \r\n\t\n ", "\x01\x02"}) {
        const RgbaImage image = font->Draw(text, 40, 20, kWhite, kBlue);
        ASSERT_EQ(image.width, 40);
        ASSERT_EQ(image.height, 20);
        ASSERT_EQ(image.pixels.size(), 40u * 20u * 4u);
        for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
            ASSERT_EQ((LetteringColor{image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]}), kBlue) << text;
            ASSERT_EQ(image.pixels[i + 3], 255);
        }
    }
}

TEST(SignLettering, LettersTakeTheTextColourAndEdgesMixTheTwo) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    const RgbaImage image = font->Draw("HELLO", 200, 100, kYellow, kDarkGreen);
    bool solid = false;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const LetteringColor c = At(image, x, y);
            solid = solid || c == kYellow;
            // Every pixel is one mix of background and text colour: red goes 0 to 255 as green goes
            // 80 to 255.
            ASSERT_EQ(c.b, 0);
            ASSERT_NEAR(c.g, 80 + c.r * 175 / 255.0, 1.5) << x << "," << y;
        }
    EXPECT_TRUE(solid);
}

TEST(SignLettering, OneLineIsCentredAndAsLargeAsTheShorterSideAllows) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    const RgbaImage image = font->Draw("H", 300, 100, kWhite, kBlue);
    const Ink ink = InkOf(image, kBlue);
    ASSERT_TRUE(ink.Any());
    EXPECT_LE(std::abs(ink.left - (image.width - 1 - ink.right)), 2);
    ASSERT_EQ(ink.bands.size(), 1u);
    // Letters up to four tenths of the shorter side: a capital H of 40 pixels is about 29 high.
    const int capital = ink.bottom - ink.top + 1;
    EXPECT_GE(capital, 26);
    EXPECT_LE(capital, 32);
    EXPECT_GT(ink.top, 20);
    EXPECT_LT(ink.bottom, 80);
}

TEST(SignLettering, LongTextWrapsAtBlanksAndKeepsInsideTheMargins) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    const RgbaImage image = font->Draw(
        "the quick brown fox jumps over the lazy dog, then over the fence and home again", 128, 128, kWhite, kBlue);
    const Ink ink = InkOf(image, kBlue);
    ASSERT_TRUE(ink.Any());
    EXPECT_GE(ink.bands.size(), 4u);
    const int margin = 128 / 20;
    EXPECT_GE(ink.left, margin - 1);
    EXPECT_LE(ink.right, 127 - margin + 1);
    EXPECT_GE(ink.top, margin - 1);
    EXPECT_LE(ink.bottom, 127 - margin + 1);
}

TEST(SignLettering, MoreTextGetsSmallerLetters) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    const Ink few = InkOf(font->Draw("HI", 160, 80, kWhite, kBlue), kBlue);
    const Ink many = InkOf(font->Draw("HI HI HI HI HI HI HI HI HI HI HI HI HI HI", 160, 80, kWhite, kBlue), kBlue);
    ASSERT_EQ(few.bands.size(), 1u);
    ASSERT_GE(many.bands.size(), 2u);
    for (const auto& band : many.bands) EXPECT_LT(band.second - band.first, few.bands[0].second - few.bands[0].first);
}

TEST(SignLettering, LineBreaksStartNewLinesBlanksDoNot) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    EXPECT_EQ(InkOf(font->Draw("AB CD", 400, 100, kWhite, kBlue), kBlue).bands.size(), 1u);
    EXPECT_EQ(InkOf(font->Draw("AB\nCD", 400, 100, kWhite, kBlue), kBlue).bands.size(), 2u);
    EXPECT_EQ(InkOf(font->Draw("AB\r\nCD", 400, 100, kWhite, kBlue), kBlue).bands.size(), 2u);
    EXPECT_EQ(InkOf(font->Draw("AB\rCD\n\nEF", 400, 200, kWhite, kBlue), kBlue).bands.size(), 3u);
}

TEST(SignLettering, OddTextAndSizesDrawSafely) {
    const auto font = TestFont();
    if (!font) GTEST_SKIP() << "no DejaVu font";
    // Not UTF-8, cut-off sequences, surrogates, and text beyond the Latin letters.
    for (const char* text : {"\xff\xfe abc \xc3", "\xed\xa0\x80 x", "caf\xc3\xa9 \xe2\x82\xac 5", "\xf0\x9f\x98\x80"}) {
        const RgbaImage image = font->Draw(text, 64, 32, kWhite, kBlue);
        EXPECT_TRUE(InkOf(image, kBlue).Any()) << text;
    }
    // A word too long for any size is drawn small and cut off, never outside the image.
    const RgbaImage tiny = font->Draw("Supercalifragilisticexpialidocious", 8, 8, kWhite, kBlue);
    EXPECT_EQ(tiny.pixels.size(), 8u * 8u * 4u);
    EXPECT_TRUE(font->Draw("x", 0, 10, kWhite, kBlue).pixels.empty());
    EXPECT_TRUE(font->Draw("x", 10, -1, kWhite, kBlue).pixels.empty());
    const RgbaImage wide = font->Draw("x", 100000, 1, kWhite, kBlue);
    EXPECT_EQ(wide.width, kMaxSignSide);
    EXPECT_EQ(wide.height, 1);
}

}  // namespace
}  // namespace pelorus
