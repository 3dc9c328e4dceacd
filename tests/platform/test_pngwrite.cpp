// PNG encoding: what is encoded decodes to the same samples, and bad requests give nothing.

#include <gtest/gtest.h>

#include "platform/pngimage.h"
#include "platform/pngwrite.h"

namespace pelorus {
namespace {

TEST(PngWrite, EncodedImagesDecodeToTheSameSamples) {
    // 3 x 2 pixels with every sample distinct, so a swapped channel, row or column shows.
    const struct {
        int channels;
        bool hasAlpha;
    } cases[] = {{3, false}, {4, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        std::vector<uint8_t> pixels(static_cast<std::size_t>(3 * 2 * c.channels));
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(7 + 11 * i);
        const std::vector<uint8_t> png = EncodePng(pixels, 3, 2, c.channels);
        ASSERT_FALSE(png.empty());
        RgbaImage decoded;
        ASSERT_EQ(DecodePng(png, decoded), PngError::None);
        EXPECT_EQ(decoded.width, 3);
        EXPECT_EQ(decoded.height, 2);
        EXPECT_EQ(decoded.hasAlpha, c.hasAlpha);
        for (std::size_t p = 0; p < 6; ++p)
            for (std::size_t k = 0; k < 4; ++k) {
                const uint8_t want = k < static_cast<std::size_t>(c.channels)
                                         ? pixels[p * static_cast<std::size_t>(c.channels) + k]
                                         : uint8_t{255};
                EXPECT_EQ(decoded.pixels[p * 4 + k], want) << "pixel " << p << " sample " << k;
            }
    }
}

TEST(PngWrite, RequestsThatCannotBeEncodedGiveNothing) {
    const std::vector<uint8_t> four(16, 9);
    EXPECT_TRUE(EncodePng(four, 0, 1, 4).empty());
    EXPECT_TRUE(EncodePng(four, 1, -1, 4).empty());
    EXPECT_TRUE(EncodePng(four, 2, 2, 2).empty());   // neither RGB nor RGBA
    EXPECT_TRUE(EncodePng(four, 3, 2, 4).empty());   // fewer bytes than the pixels need
    EXPECT_FALSE(EncodePng(four, 2, 2, 3).empty());  // extra bytes are ignored
}

}  // namespace
}  // namespace pelorus
