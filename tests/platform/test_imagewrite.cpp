// Encoding textures and masks, and making zip archives in memory: what is written reads back.

#include <gtest/gtest.h>

#include "platform/bmpmask.h"
#include "platform/bmpwrite.h"
#include "platform/jpegimage.h"
#include "platform/jpegwrite.h"
#include "platform/ziparchive.h"
#include "platform/zipwrite.h"
#include "testutil.h"

namespace pelorus {
namespace {

TEST(JpegWrite, DecodesToTheSameSizeAndNearlyTheSameColours) {
    // Two halves of flat colour meeting on an 8-pixel boundary.
    const int w = 24, h = 16;
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgb.insert(rgb.end(), x < 8 ? std::initializer_list<uint8_t>{200, 30, 60}
                                        : std::initializer_list<uint8_t>{20, 90, 240});
    const std::vector<uint8_t> jpeg = EncodeJpeg(rgb, w, h);
    ASSERT_FALSE(jpeg.empty());
    EXPECT_EQ(EncodeJpeg(rgb, w, h), jpeg) << "the same pixels give the same bytes";
    RgbImage back;
    ASSERT_EQ(DecodeJpeg(jpeg, back), ImageError::None);
    ASSERT_EQ(back.width, w);
    ASSERT_EQ(back.height, h);
    for (const int x : {2, 20}) {
        const std::size_t at = (5 * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 3;
        const test::Rgb got{back.pixels[at], back.pixels[at + 1], back.pixels[at + 2]};
        const test::Rgb want{rgb[at], rgb[at + 1], rgb[at + 2]};
        EXPECT_TRUE(test::Near(got, want, 6)) << test::ToString(got) << " for " << test::ToString(want);
    }
}

TEST(JpegWrite, RefusesWhatItCannotEncode) {
    const std::vector<uint8_t> rgb(12, 0);
    EXPECT_TRUE(EncodeJpeg(rgb, 0, 1).empty());
    EXPECT_TRUE(EncodeJpeg(rgb, 3, 2).empty()) << "too few bytes";
    EXPECT_TRUE(EncodeJpeg(rgb, 2, 2, 0).empty());
    EXPECT_TRUE(EncodeJpeg(rgb, 70000, 1).empty());
}

TEST(MaskBmpWrite, ReadsBackAsTheMaskWhateverTheRowPadding) {
    for (const int w : {1, 7, 8, 9, 33}) {
        SCOPED_TRACE(w);
        const int h = 3;
        std::vector<uint8_t> mask(static_cast<std::size_t>(w * h));
        for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = (i * 7) % 3 == 0 ? 255 : (i % 2 ? 0 : 100);
        const std::vector<uint8_t> bmp = EncodeMaskBmp(mask, w, h);
        GreyImage back;
        ASSERT_TRUE(ReadBmpMask(bmp, back));
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        for (std::size_t i = 0; i < mask.size(); ++i) EXPECT_EQ(back.pixels[i], mask[i] >= 128 ? 255 : 0) << i;
    }
    EXPECT_TRUE(EncodeMaskBmp(std::vector<uint8_t>(4), 3, 2).empty());
}

TEST(ZipWrite, MembersReadBackAndTheSameMembersGiveTheSameBytes) {
    const std::vector<ZipInput> members = {{"tree.rwx", "ModelBegin\nModelEnd\n"},
                                           {"leafm.bmp", std::string(5000, 'x')}};
    const auto zip = BuildZip(members);
    ASSERT_TRUE(zip);
    EXPECT_EQ(BuildZip(members), zip);
    test::TempDir dir;
    const std::string path = dir.Write("tree.zip", std::string(zip->begin(), zip->end()));
    const auto archive = ZipArchive::Open(path);
    ASSERT_TRUE(archive);
    ASSERT_EQ(archive->MemberNames(), (std::vector<std::string>{"tree.rwx", "leafm.bmp"}));
    for (std::size_t i = 0; i < members.size(); ++i) {
        std::vector<uint8_t> data;
        ASSERT_EQ(archive->Read(i, data, 1 << 20), ZipStatus::Ok);
        EXPECT_EQ(std::string(data.begin(), data.end()), members[i].data);
    }
    EXPECT_FALSE(BuildZip({{"a", "1"}, {"a", "2"}})) << "two members of one name";
    EXPECT_FALSE(BuildZip({{"", "1"}}));
}

}  // namespace
}  // namespace pelorus
