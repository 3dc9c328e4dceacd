// Texture loading from disk: names, the cache, the search path, zipped images, masks as alpha,
// mirror tiling, animation frames, and every way an image can be bad.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/paths.h"
#include "reader/textureload.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::Rgb;
using Lines = std::vector<std::string>;

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A w x 1 PNG of RGBA pixels.
std::string RgbaPng(const std::vector<uint8_t>& row) {
    test::PngFile layout;
    layout.width = static_cast<int>(row.size() / 4);
    layout.height = 1;
    layout.colour = test::PngFile::Rgba;
    layout.rows = {row};
    return AsText(test::WritePng(layout));
}

std::string OpaquePng(const Rgb& c, int side = 8) {
    test::PngFile layout;
    layout.width = layout.height = side;
    layout.colour = test::PngFile::Rgb;
    std::vector<uint8_t> row;
    for (int x = 0; x < side; ++x)
        row.insert(row.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b)});
    layout.rows.assign(static_cast<std::size_t>(side), row);
    return AsText(test::WritePng(layout));
}

// The grey BMP with its depth and compression fields changed.
std::string BmpWith(uint16_t bits, uint32_t compression) {
    std::string bmp = test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 90));
    bmp[28] = static_cast<char>(bits);
    bmp[30] = static_cast<char>(compression);
    return bmp;
}

// A folder with TexturesPath.txt naming `dirs` (relative to it), and a reader set to use it.
class TextureTest : public ::testing::Test {
protected:
    void SetSearchPath(const std::vector<std::string>& dirs) {
        std::string text;
        for (const auto& d : dirs) text += root.Join(d) + "\n";
        text.pop_back();  // no final empty entry
        root.Write("TexturesPath.txt", text);
    }
    std::unique_ptr<RWXObject> Read(const std::string& script) {
        ReadOptions options;
        options.programDir = root.Path();
        return RWXObject::FromText(script, 0, 0, 0, log, options);
    }
    static std::string Triangle(const std::string& textureLine) {
        return "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n" + textureLine + "\nTriangle 1 2 3\nClumpEnd\n";
    }
    static Rgb Texel(const TTexture& t, int x, int y) {
        const std::size_t i =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(t.width) + static_cast<std::size_t>(x)) * 4;
        return {t.Rgba()[i], t.Rgba()[i + 1], t.Rgba()[i + 2]};
    }
    static int Alpha(const TTexture& t, int x, int y) {
        return t.Rgba()
            [(static_cast<std::size_t>(y) * static_cast<std::size_t>(t.width) + static_cast<std::size_t>(x)) * 4 + 3];
    }
    test::TempDir root;
    LogCapture log;
};

TEST_F(TextureTest, NamesGetJpgAppendedAndTheCacheIgnoresCase) {
    SetSearchPath({"tex"});
    root.Write("tex/wood.jpg", test::BandsJpeg(8, 8, {kRed}));
    auto o = Read(Triangle("Texture wood\nTexture wood.jpg\nTexture WOOD.JPG\nTexture wall.gif\nTexture .hidden"));
    ASSERT_EQ(o->Textures().size(), 1u);
    EXPECT_EQ(o->Textures()[0].name, "wood.jpg");
    // ".hidden" has no extension (its only point is its first character): looked for as ".hidden.jpg".
    EXPECT_EQ(log.Lines(), Lines{"Couldn't open texture \".hidden.jpg\"."});
}

// What a texture record is named by is the file read: "leaf.png" when "leaf" was found only as
// that, whatever the script said, also when a second object of the load reuses the pixels.
TEST_F(TextureTest, RecordsAreNamedAfterTheFileFoundUnderItsPngName) {
    SetSearchPath({"tex"});
    root.Write("tex/leaf.png", OpaquePng(kGreen));
    root.Write("tex/bark.jpg", test::BandsJpeg(8, 8, {kRed}));
    TextureStore store;
    ReadOptions options;
    options.programDir = root.Path();
    options.textureStore = &store;
    for (int object = 0; object < 2; ++object) {
        const auto o = RWXObject::FromText(Triangle("Texture leaf") + Triangle("Texture bark"), 0, 0, 0, log, options);
        ASSERT_EQ(o->Textures().size(), 2u);
        EXPECT_EQ(o->Textures()[0].name, "leaf.png") << object;
        EXPECT_EQ(o->Textures()[1].name, "bark.jpg") << object;
    }
    EXPECT_TRUE(log.Lines().empty());
}

// Faces whose texture command found nothing usable carry that in their material, so that they can
// be told apart from faces meant to be plain; "null" and a texture that was read clear it.
TEST_F(TextureTest, FacesOfATextureThatCouldNotBeUsedAreMarkedSo) {
    SetSearchPath({"tex"});
    root.Write("tex/bark.jpg", test::BandsJpeg(8, 8, {kRed}));
    root.Write("tex/broken.jpg", "not an image");
    const auto o = Read(
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "Texture gone\nTriangle 1 2 3\nTexture broken\nTriangle 1 2 3\nTexture null\nTriangle 1 2 3\n"
        "Texture gone\nTriangle 1 2 3\nTexture bark\nTriangle 1 2 3\nColor 1 0 0\nTriangle 1 2 3\nClumpEnd\n");
    std::vector<int> marks;
    for (const auto& batch : o->Clumps().at(0)->Batches())
        for (std::size_t i = 0; i < batch->Triangles().size(); ++i) marks.push_back(batch->Material().textureMissing);
    // gone, broken, null (plain), gone again (its failure remembered), bark, a colour after bark.
    EXPECT_EQ(std::count(marks.begin(), marks.end(), 1), 3);
    EXPECT_EQ(marks.size(), 6u);
    const auto& batches = o->Clumps().at(0)->Batches();
    EXPECT_EQ(batches.front()->Material().textureMissing, 1);
    EXPECT_EQ(batches.back()->Material().textureMissing, 0);
    EXPECT_EQ(batches.back()->Material().color, (RGB{1, 0, 0}));
}

// One record per different stored image: name, mask and Mirror expansion make the key; letter
// case, the mipmap state and Wrap against Clamp do not; a name found under its ".png" fallback
// is the same texture as that name given with ".png".
TEST_F(TextureTest, TheCacheKeyIsNameMaskAndMirrorExpansion) {
    SetSearchPath({"tex"});
    root.Write("tex/wood.jpg", test::BandsJpeg(8, 8, {kRed}));
    root.Write("tex/holes.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 100)));
    root.Write("tex/leaf.png", OpaquePng(kGreen));
    struct Case {
        std::vector<std::string> textureLines;  // each followed by one face
        std::size_t records;
        std::size_t batches;
    };
    const Case cases[] = {
        {{"Texture wood", "Texture wood Mask holes"}, 2, 2},
        {{"Texture wood Mask holes", "Texture WOOD.JPG mask HOLES.BMP", "Texture wood mask holes.bmp"}, 1, 1},
        {{"Texture wood", "TextureAddressMode Mirror\nTexture wood"}, 2, 2},
        {{"TextureAddressMode Mirror\nTexture wood", "TextureAddressMode Wrap\nTexture wood Mask holes",
          "TextureAddressMode Mirror\nTexture wood Mask holes"},
         3,
         3},
        {{"Texture wood", "TextureAddressMode Clamp\nTexture wood"}, 1, 1},
        {{"Texture wood", "TextureMipmapState Off\nTexture wood"}, 1, 1},
        {{"Texture leaf", "Texture leaf.png", "Texture LEAF.PNG"}, 1, 1},
        {{"Texture leaf.png", "Texture leaf"}, 1, 1},
        {{"Texture leaf", "Texture leaf Mask holes"}, 2, 2},
    };
    for (const Case& c : cases) {
        std::string script = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n";
        for (const std::string& line : c.textureLines) script += line + "\nTriangle 1 2 3\n";
        auto o = Read(script + "ClumpEnd\n");
        SCOPED_TRACE(script);
        EXPECT_EQ(o->Textures().size(), c.records);
        EXPECT_EQ(o->Clumps().at(0)->Batches().size(), c.batches);
    }
    EXPECT_TRUE(log.Lines().empty());

    // The masked and the unmasked record hold different images.
    auto o = Read(Triangle("Texture wood") + Triangle("Texture wood Mask holes"));
    ASSERT_EQ(o->Textures().size(), 2u);
    EXPECT_EQ(Alpha(o->Textures()[0], 0, 0), 255);
    EXPECT_EQ(Alpha(o->Textures()[1], 0, 0), 100);
    EXPECT_EQ(o->CountTranslucentTriangles(), 1);

    // A failure is remembered per key too: each different request is tried and told once more.
    const std::size_t mark = log.LineCount();
    Read("Texture gone\nTexture gone Mask holes\nTexture gone\n");
    EXPECT_EQ(log.LinesSince(mark), (Lines{"Couldn't open texture \"gone.jpg\".", "Couldn't open texture \"gone.jpg\".",
                                           "Couldn't open texture \"gone.jpg\"."}));
}

TEST_F(TextureTest, ModelsInAModelsFolderFindTheTexturesFolderBesideIt) {
    SetSearchPath({"elsewhere"});
    root.Write("world/Textures/bark.jpg", test::BandsJpeg(8, 8, {kGreen}));
    root.Write("world/Textures/barkm.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 9)));
    root.Write("elsewhere/stone.jpg", test::BandsJpeg(8, 8, {kBlue}));
    const std::string script = Triangle("Texture bark mask barkm\nTexture stone");
    root.Write("world/MODELS/tree.rwx", script);
    root.Write("world/other/tree.rwx", script);
    ReadOptions options;
    options.programDir = root.Path();
    auto inModels = std::make_unique<RWXObject>(root.Join("world/MODELS/tree.rwx"), 0, 0, 0, log, options);
    EXPECT_EQ(log.Lines(), Lines{});
    ASSERT_EQ(inModels->Textures().size(), 2u);
    EXPECT_EQ(inModels->Textures()[0].fileName, root.Join("world/Textures/bark.jpg"));
    EXPECT_EQ(Alpha(inModels->Textures()[0], 0, 0), 9);
    EXPECT_EQ(inModels->Textures()[1].fileName, root.Join("elsewhere/stone.jpg"));  // the search path first

    auto elsewhere = std::make_unique<RWXObject>(root.Join("world/other/tree.rwx"), 0, 0, 0, log, options);
    EXPECT_EQ(log.Lines(), Lines{"Couldn't open texture \"bark.jpg\"."});
}

TEST_F(TextureTest, ArchivesGivenInTheOptionsAreSearchedBeforeEveryFolder) {
    SetSearchPath({"a"});
    root.Write("a/wood.jpg", test::BandsJpeg(8, 8, {kRed}));
    ASSERT_TRUE(test::WriteZip(root.Join("entry/Crate.zip"), "wood.jpg", test::BandsJpeg(8, 8, {kBlue})));
    ReadOptions options;
    options.programDir = root.Path();
    options.baseFolder = root.Join("entry");
    options.textureArchives = {"missing.zip", "Crate.zip"};
    auto o = RWXObject::FromText("Texture wood\n", 0, 0, 0, log, options);
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(o->Textures().size(), 1u);
    EXPECT_EQ(o->Textures()[0].fileName, root.Join("entry/Crate.zip") + ":wood.jpg");
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 0, 0), kBlue));
}

// A texture or mask that is there but cannot be taken says why.
TEST_F(TextureTest, RefusedFilesAndMembersSayWhy) {
    SetSearchPath({"a"});
    const std::string jpeg = test::BandsJpeg(8, 8, {kRed});
    ASSERT_TRUE(test::WriteZip(root.Join("a/locked.zip"), "locked.jpg", jpeg, "secret"));
    ASSERT_TRUE(test::WriteZip(root.Join("a/lockedm.zip"), "lockedm.bmp",
                               test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 0)), "secret"));
    root.Write("a/plain.jpg", jpeg);
    // A member whose recorded size is beyond the limit (the sizes in both headers say so).
    ASSERT_TRUE(test::WriteZip(root.Join("a/huge.zip"), "huge.jpg", jpeg));
    std::string zip;
    ASSERT_TRUE(ReadWholeFile(root.Join("a/huge.zip"), zip));
    for (const std::string_view header : {std::string_view("PK\3\4"), std::string_view("PK\1\2")}) {
        const std::size_t at = zip.find(header);
        ASSERT_NE(at, std::string::npos);
        const std::size_t sizeField = at + (header[2] == 3 ? 22 : 24);
        const uint32_t claimed = 300u << 20;
        for (int i = 0; i < 4; ++i)
            zip[sizeField + static_cast<std::size_t>(i)] = static_cast<char>(claimed >> (8 * i));
    }
    root.Write("a/huge.zip", zip);
    // A file beyond the limit (sparse: nothing is written).
    const std::string big = root.Write("a/big.jpg", "");
    ASSERT_EQ(::truncate(big.c_str(), (off_t{256} << 20) + 1), 0);

    auto o = Read("Texture locked\nTexture huge\nTexture big\nTexture plain Mask lockedm\n");
    EXPECT_EQ(log.Lines(),
              (Lines{"Couldn't read texture \"locked.jpg\" (encrypted in archive \"locked.zip\").",
                     "Couldn't read texture \"huge.jpg\" (larger than 256 MiB in archive \"huge.zip\").",
                     "Couldn't read texture \"big.jpg\" (larger than 256 MiB).",
                     "Couldn't open texture mask \"lockedm.bmp\" (encrypted in archive \"lockedm.zip\")."}));
    ASSERT_EQ(o->Textures().size(), 1u);
    EXPECT_EQ(o->Textures()[0].hasMask, 0);
}

// Decoded images of one load share one budget: what does not fit is refused with the reason,
// and nothing of it is counted.
TEST_F(TextureTest, ImagesPastTheBudgetOfALoadAreRefused) {
    SetSearchPath({"a"});
    root.Write("a/one.jpg", test::BandsJpeg(8, 8, {kRed}));    // 256 bytes stored
    root.Write("a/two.jpg", test::BandsJpeg(8, 8, {kGreen}));  // 256 bytes, 1024 in Mirror mode
    root.Write("a/three.jpg", test::BandsJpeg(8, 8, {kBlue}));
    ImageBudget budget(600);
    ReadOptions options;
    options.programDir = root.Path();
    options.images = &budget;
    auto first = RWXObject::FromText("Texture one\nTextureAddressMode Mirror\nTexture two\n", 0, 0, 0, log, options);
    auto second = RWXObject::FromText("Texture two\nTexture three\n", 0, 0, 0, log, options);
    EXPECT_EQ(log.Lines(),
              (Lines{"Couldn't read texture \"two.jpg\" (the images read would take more than 600 bytes).",
                     "Couldn't read texture \"three.jpg\" (the images read would take more than 600 bytes)."}));
    EXPECT_EQ(first->Textures().size(), 1u);
    EXPECT_EQ(second->Textures().size(), 1u);
    EXPECT_EQ(budget.Used(), 512u);
}

// A JPEG whose header claims 16384 x 16384 pixels (the data is that of 8 x 8). In Mirror mode it
// would be stored as 4 GiB, more than a load may keep: refused from its header, never decoded
// (before, it was decoded first: 5 to 8 GB for a real one). Without Mirror it fits (1 GiB), is
// decoded, and found damaged.
TEST_F(TextureTest, AnImageThatCannotFitIsRefusedFromItsHeaderBeforeDecoding) {
    SetSearchPath({"a"});
    std::string big = test::BandsJpeg(8, 8, {kRed});
    const std::size_t frame = big.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    big.replace(frame + 5, 4, std::string("\x40\x00\x40\x00", 4));  // height and width 16384
    root.Write("a/big.jpg", big);
    ImageBudget budget;
    ReadOptions options;
    options.programDir = root.Path();
    options.images = &budget;
    auto mirrored = RWXObject::FromText("TextureAddressMode Mirror\nTexture big\n", 0, 0, 0, log, options);
    auto plain = RWXObject::FromText("Texture big\n", 0, 0, 0, log, options);
    EXPECT_EQ(log.Lines(), (Lines{"Couldn't read texture \"big.jpg\" (the images read would take more than 2048 MiB).",
                                  "Couldn't read texture \"big.jpg\"."}));
    EXPECT_EQ(budget.Used(), 0u);
}

TEST_F(TextureTest, TheFirstUseFixesMipmapAndAddressMode) {
    SetSearchPath({"tex"});
    root.Write("tex/wood.jpg", test::BandsJpeg(8, 8, {kRed}));
    auto o =
        Read("TextureMipmapState Off\nTexture wood\nTextureMipmapState On\nTextureAddressMode Clamp\nTexture wood\n");
    ASSERT_EQ(o->Textures().size(), 1u);
    EXPECT_EQ(o->Textures()[0].mipmapped, 0);
    EXPECT_EQ(o->Textures()[0].addressMode, AddressMode::Wrap);
}

TEST_F(TextureTest, SearchPathOrderDecidesAndFileNamesMatchInAnyCase) {
    SetSearchPath({"first", "second"});
    root.Write("second/Wood.JPG", test::BandsJpeg(8, 8, {kGreen}));
    root.Write("second/stone.jpg", test::BandsJpeg(8, 8, {kGreen}));
    root.Write("first/stone.jpg", test::BandsJpeg(8, 8, {kBlue}));
    auto o = Read("Texture wood\nTexture stone\n");
    ASSERT_EQ(o->Textures().size(), 2u);
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 0, 0), kGreen));
    EXPECT_TRUE(test::Near(Texel(o->Textures()[1], 0, 0), kBlue));
}

TEST_F(TextureTest, WithoutTexturesPathTheCurrentFolderIsSearched) {
    root.Write("models/here.jpg", test::BandsJpeg(8, 8, {kRed}));
    ReadOptions options;
    options.programDir = root.Path();
    options.baseFolder = root.Join("models");
    auto o = RWXObject::FromText("Texture here\n", 0, 0, 0, log, options);
    EXPECT_EQ(o->Textures().size(), 1u);
    EXPECT_EQ(o->Textures()[0].fileName, root.Join("models/here.jpg"));
}

TEST_F(TextureTest, MaskBytesBecomeAlphaAndAreLookedForOnlyBesideTheTexture) {
    SetSearchPath({"a", "b"});
    root.Write("a/glass.jpg", test::BandsJpeg(8, 8, {kWhite}));
    std::vector<uint8_t> grey(64, 255);
    grey[0] = 0;     // top-left transparent
    grey[63] = 128;  // bottom-right half
    root.Write("a/holes.bmp", test::EncodeGreyBmp(8, 8, grey));
    root.Write("b/elsewhere.bmp", test::EncodeGreyBmp(8, 8, grey));
    auto o = Read(Triangle("Texture glass Mask holes") + "ClumpBegin\nClumpEnd\n");
    ASSERT_EQ(o->Textures().size(), 1u);
    const TTexture& t = o->Textures()[0];
    EXPECT_EQ(t.hasMask, 1);
    EXPECT_EQ(Alpha(t, 0, 0), 0);
    EXPECT_EQ(Alpha(t, 7, 7), 128);
    EXPECT_EQ(Alpha(t, 3, 3), 255);
    EXPECT_EQ(o->CountTranslucentTriangles(), 1);

    const std::size_t mark = log.LineCount();
    auto other = Read(Triangle("Texture glass Mask elsewhere"));
    EXPECT_EQ(log.LinesSince(mark), Lines{"Couldn't open texture mask \"elsewhere.bmp\"."});
    ASSERT_EQ(other->Textures().size(), 1u);
    EXPECT_EQ(other->Textures()[0].hasMask, 0);
    EXPECT_EQ(Alpha(other->Textures()[0], 0, 0), 255);
}

TEST_F(TextureTest, MaskedTexturesMakeTheirFacesTranslucent) {
    SetSearchPath({"a"});
    root.Write("a/glass.jpg", test::BandsJpeg(8, 8, {kWhite}));
    root.Write("a/holes.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 200)));
    auto o = Read(Triangle("Texture glass Mask holes"));
    EXPECT_EQ(o->CountTranslucentTriangles(), 1);
    const RWXMaterial& m = o->Clumps()[0]->Batches()[0]->Material();
    EXPECT_EQ(m.mask, 1);
    EXPECT_EQ(m.frameCount, 1);
    EXPECT_EQ(m.TextureIndex(), 0);
}

TEST_F(TextureTest, MasksOfAnotherSizeNeverReachOutsideAndLeaveTheRestOpaque) {
    SetSearchPath({"a"});
    root.Write("a/big.jpg", test::BandsJpeg(16, 16, {kWhite}));
    root.Write("a/small.bmp", test::EncodeGreyBmp(4, 4, std::vector<uint8_t>(16, 10)));
    auto o = Read("Texture big Mask small\n");
    ASSERT_EQ(o->Textures().size(), 1u);
    const TTexture& t = o->Textures()[0];
    EXPECT_EQ(Alpha(t, 3, 3), 10);
    EXPECT_EQ(Alpha(t, 4, 0), 255);
    EXPECT_EQ(Alpha(t, 0, 4), 255);
    EXPECT_EQ(Alpha(t, 15, 15), 255);
}

TEST_F(TextureTest, UnreadableMasksAreReportedAndTheTextureKept) {
    SetSearchPath({"a"});
    root.Write("a/t.jpg", test::BandsJpeg(8, 8, {kWhite}));
    std::string bmp = test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 0));
    root.Write("a/cut.bmp", bmp.substr(0, bmp.size() / 2));
    root.Write("a/jpegmask.bmp", test::BandsJpeg(8, 8, {kWhite}));
    auto o = Read("Texture t Mask cut\nTexture T.jpg Mask jpegmask\nTexture t mask CUT\n");
    EXPECT_EQ(log.Lines(),
              (Lines{"Couldn't open texture mask \"cut.bmp\".", "Couldn't open texture mask \"jpegmask.bmp\"."}));
    ASSERT_EQ(o->Textures().size(), 2u);
    EXPECT_EQ(o->Textures()[0].hasMask, 0);
    EXPECT_EQ(o->Textures()[1].hasMask, 0);
}

TEST_F(TextureTest, MirrorModeStoresTheTwoByTwoMirroredTile) {
    SetSearchPath({"a"});
    root.Write("a/m.jpg", test::BandsJpeg(16, 16, {kRed, kBlue}));  // left red, right blue
    auto o = Read("TextureAddressMode Mirror\nTexture m\n");
    const TTexture& t = o->Textures()[0];
    EXPECT_EQ(t.width, 32);
    EXPECT_EQ(t.height, 32);
    EXPECT_EQ(t.frameCount, 1);
    EXPECT_EQ(t.addressMode, AddressMode::Mirror);
    EXPECT_TRUE(test::Near(Texel(t, 0, 0), kRed));
    EXPECT_TRUE(test::Near(Texel(t, 12, 0), kBlue));
    EXPECT_TRUE(test::Near(Texel(t, 19, 0), kBlue));  // mirrored: blue meets blue
    EXPECT_TRUE(test::Near(Texel(t, 31, 0), kRed));
    EXPECT_TRUE(test::Near(Texel(t, 0, 31), kRed));  // the lower half repeats the upper, flipped
    EXPECT_TRUE(test::Near(Texel(t, 31, 31), kRed));
}

TEST(ComposeRgba, MirrorsRowsAndColumnsExactly) {
    const std::vector<uint8_t> rgb = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};  // 2 x 2: 1 2 / 3 4
    const std::vector<uint8_t> mask = {10, 20, 30, 40};
    const auto out = ComposeRgba(rgb, 2, 2, mask, 2, 2, true);
    ASSERT_EQ(out.size(), 4u * 4u * 4u);
    const uint8_t expected[4][4] = {{1, 2, 2, 1}, {3, 4, 4, 3}, {3, 4, 4, 3}, {1, 2, 2, 1}};
    const uint8_t alpha[4][4] = {{10, 20, 20, 10}, {30, 40, 40, 30}, {30, 40, 40, 30}, {10, 20, 20, 10}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(out[static_cast<std::size_t>((y * 4 + x) * 4)], expected[y][x]) << x << "," << y;
            EXPECT_EQ(out[static_cast<std::size_t>((y * 4 + x) * 4 + 3)], alpha[y][x]) << x << "," << y;
        }
}

TEST_F(TextureTest, VerticalStripsOfSquareFramesAnimate) {
    SetSearchPath({"a"});
    root.Write("a/strip.jpg", test::FramesJpeg(16, {kRed, kGreen, kBlue, kWhite}));
    root.Write("a/odd.jpg", test::BandsJpeg(16, 24, {kRed}));
    root.Write("a/square.jpg", test::BandsJpeg(16, 16, {kRed}));
    auto o = Read("Texture strip\nTexture odd\nTextureAddressMode Mirror\nTexture square\n");
    ASSERT_EQ(o->Textures().size(), 3u);
    EXPECT_EQ(o->Textures()[0].frameCount, 4);
    EXPECT_EQ(o->Textures()[1].frameCount, 1);
    EXPECT_EQ(o->Textures()[2].frameCount, 1);
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 8, 40), kBlue));
}

TEST_F(TextureTest, StripsOfMoreThanAHundredFramesKeepTheFirstHundred) {
    SetSearchPath({"a"});
    root.Write("a/long.jpg", test::EncodeJpeg(8, 8 * 120, std::vector<uint8_t>(8 * 8 * 120 * 3, 90)));
    auto o = Read(Triangle("Texture long"));
    EXPECT_EQ(log.Lines(), Lines{"Texture \"long.jpg\" has 120 frames; only the first 100 are used."});
    const TTexture& t = o->Textures()[0];
    EXPECT_EQ(t.frameCount, 100);
    EXPECT_EQ(t.height, 800);
    EXPECT_EQ(t.Rgba().size(), 8u * 800u * 4u);
    EXPECT_EQ(o->Clumps()[0]->Batches()[0]->Material().frameCount, 100);
}

TEST_F(TextureTest, BadImagesAreReportedOnceEachAndTheModelStillReads) {
    SetSearchPath({"a"});
    const std::string good = test::BandsJpeg(16, 16, {kRed});
    root.Write("a/cut.jpg", good.substr(0, good.size() / 2));
    root.Write("a/garbage.jpg", "this is no image at all");
    root.Write("a/wide.jpg", test::EncodeJpeg(16385, 1, std::vector<uint8_t>(16385 * 3, 0)));
    auto o = Read(Triangle("Texture cut\nTexture garbage\nTexture wide\nTexture cut\nTexture missing"));
    EXPECT_EQ(log.Lines(), (Lines{"Couldn't read texture \"cut.jpg\".", "Couldn't read texture \"garbage.jpg\".",
                                  "Couldn't read texture \"wide.jpg\": wider or taller than 16384 pixels.",
                                  "Couldn't read texture \"cut.jpg\".", "Couldn't open texture \"missing.jpg\"."}));
    EXPECT_TRUE(o->Textures().empty());
    EXPECT_EQ(o->CountTriangles(), 1);
    EXPECT_EQ(o->Clumps()[0]->Batches()[0]->Material().frameCount, 0);
}

std::string ZipOf(const std::string& member, const std::string& content) {
    test::TempDir tmp;
    const std::string path = tmp.Join("a.zip");
    EXPECT_TRUE(test::WriteZip(path, member, content));
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

TEST_F(TextureTest, ZippedTexturesAndMasksAreFoundBesideTheirFolderEntries) {
    SetSearchPath({"a", "b"});
    root.Write("b/bark.zip", ZipOf("Bark.JPG", test::BandsJpeg(8, 8, {kGreen})));
    root.Write("b/barkm.zip", ZipOf("barkm.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 7))));
    auto o = Read("Texture bark Mask barkm\n");
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(o->Textures().size(), 1u);
    EXPECT_EQ(o->Textures()[0].hasMask, 1);
    EXPECT_EQ(Alpha(o->Textures()[0], 1, 1), 7);
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 1, 1), kGreen));
}

// `Texture ../private/secret` read (and an export embedded) an image beside the folders
// searched. Names that climb out of them are refused with one line each; sub-folders below a
// folder searched still work, with either separator.
TEST_F(TextureTest, NamesThatLeadOutOfTheFoldersSearchedAreRefused) {
    SetSearchPath({"a"});
    root.Write("a/sub/wood.jpg", test::BandsJpeg(8, 8, {kRed}));
    root.Write("a/sub/holes.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 9)));
    root.Write("private/secret.jpg", test::BandsJpeg(8, 8, {kGreen}));
    root.Write("private/secretm.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 0)));
    const std::string absolute = root.Join("private/secret.jpg");
    auto o = Read("Texture ../private/secret.jpg\nTexture sub/../../private/secret.jpg\nTexture " + absolute +
                  "\nTexture ..\\private\\secret.jpg\nTexture sub/wood Mask ../private/secretm.bmp\n"
                  "Texture sub\\wood Mask sub/holes\n");
    const std::string leads = " (the name leads out of the texture folders).";
    EXPECT_EQ(log.Lines(), (Lines{"Couldn't open texture \"../private/secret.jpg\"" + leads,
                                  "Couldn't open texture \"sub/../../private/secret.jpg\"" + leads,
                                  "Couldn't open texture \"" + absolute + "\"" + leads,
                                  "Couldn't open texture \"..\\private\\secret.jpg\"" + leads,
                                  "Couldn't open texture mask \"../private/secretm.bmp\"" + leads}));
    ASSERT_EQ(o->Textures().size(), 2u);
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 1, 1), kRed));
    EXPECT_EQ(o->Textures()[0].hasMask, 0);
    EXPECT_EQ(o->Textures()[1].hasMask, 1);
    for (const std::string& file : o->FilesRead()) EXPECT_EQ(file.find("private"), std::string::npos) << file;
}

// A member packed with a method libzip lacks (LZMA in older versions, PPMd) is not damaged: it
// says so. A CMYK JPEG says why it is not shown too.
TEST_F(TextureTest, UnsupportedCompressionAndCmykImagesSayWhy) {
    SetSearchPath({"a"});
    const std::string jpeg = test::BandsJpeg(8, 8, {kRed});
    root.Write("a/lzma.zip", test::ZipWithMethod("lzma.jpg", jpeg, 14));
    root.Write("a/ppmd.zip", test::ZipWithMethod("ppmd.jpg", jpeg, 98));
    root.Write("a/cmyk.jpg", AsText(test::EncodeJpegBytes(8, 8, 4, std::vector<uint8_t>(8 * 8 * 4, 128))));
    Read("Texture lzma\nTexture ppmd\nTexture cmyk\n");
    const std::string lzma = test::ZipCanDecompress(14) ? "damaged" : "compressed by a method that is not supported";
    EXPECT_EQ(log.Lines(),
              (Lines{"Couldn't read texture \"lzma.jpg\" (" + lzma + " in archive \"lzma.zip\").",
                     "Couldn't read texture \"ppmd.jpg\" (compressed by a method that is not supported in archive "
                     "\"ppmd.zip\").",
                     "Couldn't read texture \"cmyk.jpg\" (CMYK JPEG is not supported)."}));
}

// Every image a model's reading opened is one of its inputs, which no output may replace: masks,
// and images that could not be used, too.
TEST_F(TextureTest, FilesReadNameTheScriptAndEveryImageOpened) {
    SetSearchPath({"a"});
    root.Write("a/glass.jpg", test::BandsJpeg(8, 8, {kWhite}));
    root.Write("a/holes.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 9)));
    root.Write("a/broken.png", "\x89PNG\r\n\x1a\nnothing more");
    root.Write("a/bark.zip", ZipOf("bark.jpg", test::BandsJpeg(8, 8, {kGreen})));
    const std::string script =
        root.Write("m.rwx", Triangle("Texture glass Mask holes\nTexture broken.png\nTexture bark"));
    ReadOptions options;
    options.programDir = root.Path();
    const RWXObject o(script, 0, 0, 0, log, options);
    EXPECT_EQ(o.FilesRead(), (Lines{script, root.Join("a/glass.jpg"), root.Join("a/holes.bmp"),
                                    root.Join("a/broken.png"), root.Join("a/bark.zip")}));
}

TEST_F(TextureTest, TexturesAreNotReadWhenReadingWithoutThem) {
    SetSearchPath({"a"});
    root.Write("a/wood.jpg", test::BandsJpeg(8, 8, {kRed}));
    auto o = test::ReadScript(Triangle("Texture wood\nTexture missing"), log);
    EXPECT_TRUE(o->Textures().empty());
    EXPECT_TRUE(log.Lines().empty());
}

TEST(TextureNames, ExtensionRules) {
    EXPECT_EQ(TextureFileName("wood"), "wood.jpg");
    EXPECT_EQ(TextureFileName("wood.JPEG"), "wood.JPEG");
    EXPECT_EQ(TextureFileName("a.b.c"), "a.b.c");
    EXPECT_EQ(TextureFileName(".x"), ".x.jpg");
    EXPECT_EQ(MaskFileName("holes"), "holes.bmp");
    EXPECT_EQ(MaskFileName(""), "");
    EXPECT_EQ(TextureFallbackFileName("wood"), "wood.png");
    EXPECT_EQ(TextureFallbackFileName("wood.jpg"), "");
    EXPECT_EQ(TextureFallbackFileName(".x"), ".x.png");
    for (const char* name : {"x.JpG", "x.jpeg", "x.PNG", "x.bmp"}) EXPECT_TRUE(IsLoadableTextureName(name)) << name;
    for (const char* name : {"x.gif", "x.jpg.bak", "x.tga"}) EXPECT_FALSE(IsLoadableTextureName(name)) << name;
}

TEST_F(TextureTest, FilesAreDecodedByContentWhateverTheirExtension) {
    SetSearchPath({"a"});
    root.Write("a/pngnamedjpg.jpg", OpaquePng(kGreen));
    root.Write("a/jpegnamedpng.png", test::BandsJpeg(8, 8, {kBlue}));
    root.Write("a/colour.bmp", test::EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 77)));
    root.Write("a/text.jpg", "just some words");
    root.Write("a/rle.bmp", BmpWith(8, 1));
    root.Write("a/deep.bmp", BmpWith(16, 0));
    test::PngFile huge;
    huge.width = 16385;
    huge.height = 1;
    huge.colour = test::PngFile::Grey;
    huge.rows = {std::vector<uint8_t>(16385, 0)};
    root.Write("a/huge.png", AsText(test::WritePng(huge)));
    auto o = Read(
        "Texture pngnamedjpg\nTexture jpegnamedpng.png\nTexture colour.bmp\nTexture text\n"
        "Texture rle.bmp\nTexture deep.bmp\nTexture huge.png\n");
    EXPECT_EQ(log.Lines(), (Lines{"Couldn't read texture \"text.jpg\".",
                                  "Couldn't read texture \"rle.bmp\" (RLE-compressed BMP is not supported).",
                                  "Couldn't read texture \"deep.bmp\" (16-bit BMP is not supported).",
                                  "Couldn't read texture \"huge.png\": wider or taller than 16384 pixels."}));
    ASSERT_EQ(o->Textures().size(), 3u);
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 1, 1), kGreen, 0));
    EXPECT_TRUE(test::Near(Texel(o->Textures()[1], 1, 1), kBlue));
    EXPECT_TRUE(test::Near(Texel(o->Textures()[2], 1, 1), Rgb{77, 77, 77}, 0));
    for (const TTexture& t : o->Textures()) EXPECT_EQ(t.hasMask, 0) << t.name;
}

TEST_F(TextureTest, NamesWithoutExtensionFindPngAfterJpgInEachFolder) {
    SetSearchPath({"a", "b"});
    root.Write("a/leaf.png", OpaquePng(kGreen));
    root.Write("b/leaf.jpg", test::BandsJpeg(8, 8, {kRed}));  // a later folder: the PNG wins
    root.Write("a/both.png", OpaquePng(kGreen));
    root.Write("a/both.jpg", test::BandsJpeg(8, 8, {kRed}));
    root.Write("b/zipped.zip", ZipOf("zipped.png", OpaquePng(kBlue)));
    auto o = Read("Texture leaf\nTexture both\nTexture zipped\n");
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(o->Textures().size(), 3u);
    // Each named after the file read.
    EXPECT_EQ(o->Textures()[0].name, "leaf.png");
    EXPECT_EQ(o->Textures()[1].name, "both.jpg");
    EXPECT_EQ(o->Textures()[2].name, "zipped.png");
    EXPECT_TRUE(test::Near(Texel(o->Textures()[0], 0, 0), kGreen, 0));
    EXPECT_TRUE(test::Near(Texel(o->Textures()[1], 0, 0), kRed));
    EXPECT_TRUE(test::Near(Texel(o->Textures()[2], 0, 0), kBlue, 0));
}

TEST_F(TextureTest, PngAlphaIsUsedAsAMaskWouldBeAndMultipliesWithOne) {
    SetSearchPath({"a"});
    // Alphas 255, 200, 0, 128 under mask bytes 100, 191, 255, none (the mask is 3 x 1).
    root.Write("a/leaf.png", RgbaPng({1, 2, 3, 255, 4, 5, 6, 200, 7, 8, 9, 0, 10, 11, 12, 128}));
    root.Write("a/holes.bmp", test::EncodeGreyBmp(3, 1, {100, 191, 255}));
    root.Write("a/opaque.png", OpaquePng(kWhite));
    auto o = Read(Triangle("Texture leaf Mask holes") + Triangle("TextureAddressMode Mirror\nTexture leaf.png") +
                  Triangle("Texture opaque"));
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(o->Textures().size(), 3u);
    const TTexture& masked = o->Textures()[0];
    EXPECT_EQ(masked.hasMask, 1);
    EXPECT_EQ((std::vector<int>{Alpha(masked, 0, 0), Alpha(masked, 1, 0), Alpha(masked, 2, 0), Alpha(masked, 3, 0)}),
              (std::vector<int>{100, 150, 0, 128}));
    // Without a mask, the PNG's own alpha, mirrored with its pixels; still drawn as masked.
    const TTexture& own = o->Textures()[1];
    EXPECT_EQ(own.hasMask, 1);
    EXPECT_EQ(own.maskName, "");
    ASSERT_EQ(own.width, 8);
    EXPECT_EQ((std::vector<int>{Alpha(own, 0, 0), Alpha(own, 3, 0), Alpha(own, 4, 0), Alpha(own, 6, 1)}),
              (std::vector<int>{255, 128, 128, 200}));
    EXPECT_EQ(o->Textures()[2].hasMask, 0);
    EXPECT_EQ(o->CountTranslucentTriangles(), 2);
}

TEST_F(TextureTest, MasksOfUnsupportedKindsSayWhy) {
    SetSearchPath({"a"});
    root.Write("a/t.jpg", test::BandsJpeg(8, 8, {kWhite}));
    root.Write("a/u.jpg", test::BandsJpeg(8, 8, {kWhite}));
    root.Write("a/rle.bmp", BmpWith(8, 1));
    root.Write("a/deep.bmp", BmpWith(16, 0));
    auto o = Read("Texture t Mask rle\nTexture u Mask deep\n");
    EXPECT_EQ(log.Lines(), (Lines{"Couldn't open texture mask \"rle.bmp\" (RLE-compressed BMP is not supported).",
                                  "Couldn't open texture mask \"deep.bmp\" (16-bit BMP is not supported)."}));
    ASSERT_EQ(o->Textures().size(), 2u);
    EXPECT_EQ(o->Textures()[0].hasMask, 0);
}

}  // namespace
}  // namespace pelorus
