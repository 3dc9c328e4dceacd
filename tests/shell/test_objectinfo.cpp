// What the Object Properties pages show.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/errorlog.h"
#include "shell/objectinfo.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Object Properties pages

constexpr std::string_view kQuadAndPentagon =
    "ModelBegin\nClumpBegin\n"
    "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nVertex 0.5 1.5 0\n"
    "Quad 1 2 3 4\nPolygon 5 1 2 3 5 4\n"
    "ClumpEnd\nModelEnd\n";

TEST(ObjectInfo, GeneralPageCountsFacesAndTrianglesOfAllObjects) {
    const auto a = test::ReadScript(kQuadAndPentagon);
    const auto b = test::ReadScript(
        "ModelBegin\nClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "Triangle 1 2 3\nClumpEnd\nModelEnd\n");
    const RWXObject* objects[] = {a.get(), nullptr, b.get()};
    const GeneralInfo info = GeneralInfoOf("Autumn", "/models/dir/chair.rwx", objects);
    EXPECT_EQ(info.world, "Autumn");
    EXPECT_EQ(info.object, "chair.rwx");
    EXPECT_EQ(info.polygons, "3");   // a quad, a pentagon, a triangle
    EXPECT_EQ(info.triangles, "6");  // 2 + 3 + 1
}

TEST(ObjectInfo, GeneralPageWithoutWorldNameOrFileSaysSo) {
    const GeneralInfo info = GeneralInfoOf("", "", {});
    EXPECT_EQ(info.world, kDefaultWorldLabel);
    EXPECT_EQ(info.object, kNoObjectLabel);
    EXPECT_EQ(info.polygons, "0");
    EXPECT_EQ(info.triangles, "0");
}

TEST(ObjectInfo, TexturesPageListsEveryLoadedTextureWithItsFacts) {
    TempDir program;  // no TexturesPath.txt there: only the extra folder holds textures
    ReadOptions options;
    options.programDir = program.Path();
    options.extraTextureDirs = {test::DataDir() + "/realworld/cube"};
    const std::string script =
        "ModelBegin\nClumpBegin\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
        "Texture droplet\nTriangle 1 2 3\n"
        "TextureAddressMode Clamp\nTextureMipmapState Off\nTexture DROPLET.JPG\nTriangle 1 2 3\n"
        "Texture missing\nTriangle 1 2 3\n"
        "ClumpEnd\nModelEnd\n";
    const auto object = test::ReadScript(script, options);
    const RWXObject* objects[] = {object.get()};
    const std::vector<TextureRow> rows = TextureRowsOf(objects);
    ASSERT_EQ(rows.size(), 1u);  // the same file once per object; a missing one is not listed
    const TextureRow& row = rows[0];
    EXPECT_EQ(row.texture, "droplet.jpg");
    EXPECT_EQ(row.fileName, test::DataDir() + "/realworld/cube/droplet.jpg");
    EXPECT_EQ(row.size, "3 KB");   // 2302 bytes
    EXPECT_EQ(row.wxh, "32x128");  // a strip of four 32 x 32 frames
    EXPECT_EQ(row.mask, "");
    EXPECT_EQ(row.mipmapped, "Yes");
    EXPECT_EQ(row.addressMode, "Wrap");

    const auto mirrored = test::ReadScript(
        "ModelBegin\nClumpBegin\nTextureAddressMode Mirror\nTextureMipmapState Off\nTexture droplet\n"
        "ClumpEnd\nModelEnd\n",
        options);
    const RWXObject* both[] = {object.get(), mirrored.get()};
    const std::vector<TextureRow> two = TextureRowsOf(both);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].wxh, "32x128");  // as the file holds it, not the doubled mirror image
    EXPECT_EQ(two[1].mipmapped, "No");
    EXPECT_EQ(two[1].addressMode, "Mirror");
}

TEST(ObjectInfo, FileSizesInBytesThenKilobytesRoundedUp) {
    const std::pair<uint64_t, const char*> cases[] = {{0, "0 B"},     {1023, "1023 B"}, {1024, "1 KB"},
                                                      {1025, "2 KB"}, {2302, "3 KB"},   {1048576, "1024 KB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(FileSizeText(bytes), text) << bytes;
}

}  // namespace
}  // namespace pelorus
