// Files dropped on the viewer or chosen in the Open dialog: what is shown, what is refused.

#include <gtest/gtest.h>

#include <filesystem>

#include "shell/filekind.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

struct Case {
    const char* name;
    std::string content;
    ShownFileKind kind;
    const char* reason = "";
};

std::string Bytes(std::initializer_list<int> bytes, std::string_view tail = {}) {
    std::string out;
    for (const int b : bytes) out.push_back(static_cast<char>(b));
    return out + std::string(tail);
}

TEST(ShownFile, ImagesAndOtherBinariesAreRefusedWhateverTheirName) {
    const std::string jpeg = test::BandsJpeg(16, 8, {{200, 10, 10}});
    std::string png = Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}, "IHDR");
    std::string bmp = "BM" + Bytes({0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 40, 0});
    const Case cases[] = {
        {"photo.jpg", jpeg, ShownFileKind::Refused, "is a JPEG image"},
        {"photo", jpeg, ShownFileKind::Refused, "is a JPEG image"},
        {"map.txt", jpeg, ShownFileKind::Refused, "is a JPEG image"},  // text by name, not by content
        {"icon.png", png, ShownFileKind::Refused, "is a PNG image"},
        {"mask.BMP", bmp, ShownFileKind::Refused, "is a BMP image"},
        {"anim.gif", "GIF89a" + Bytes({1, 0, 1, 0, 0}), ShownFileKind::Refused, "is a GIF image"},
        {"scan.tif", Bytes({'I', 'I', '*', 0, 8, 0, 0, 0}), ShownFileKind::Refused, "is a TIFF image"},
        {"pic.webp", "RIFF" + Bytes({20, 0, 0, 0}, "WEBPVP8 "), ShownFileKind::Refused, "is a WebP image"},
        {"doc.pdf", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", ShownFileKind::Refused, "is a PDF document"},
        {"model.gz", Bytes({0x1F, 0x8B, 8, 0}), ShownFileKind::Refused, "is gzip-compressed data"},
        {"pelorus", Bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0}), ShownFileKind::Refused, "is a program"},
        {"model.bin", "glTF" + Bytes({2, 0, 0, 0}), ShownFileKind::Refused, "is a binary glTF model not named *.glb"},
        {"data.bin", Bytes({'a', 'b', 0, 'c'}), ShownFileKind::Refused, "is not a text file"},
        {"escape.txt", "box.rwx 0 0 0\n\x1B[31m", ShownFileKind::Refused, "is not a text file"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.Write(c.name, c.content);
        const ShownFileVerdict v = ClassifyShownFile(path);
        EXPECT_EQ(v.kind, c.kind) << c.name;
        EXPECT_EQ(v.reason, c.reason) << c.name;
    }
}

TEST(ShownFile, ScriptsAndImportedModelsByNameObjectMapsByNameOrFirstEntry) {
    const Case cases[] = {
        {"a.rwx", "ModelBegin\n", ShownFileKind::Script},
        {"A.RWX", Bytes({0xFF, 0xD8, 0xFF}), ShownFileKind::Script},  // its name decides, as it always has
        {"scene.txt", "table.rwx -0.35 0 -0.1\nlantern.rwx 1 2 3\n", ShownFileKind::ObjectMap},
        {"SCENE.TXT", "", ShownFileKind::ObjectMap},
        {"notes.txt", "anything at all, in Latin-1: caf\xE9\n", ShownFileKind::ObjectMap},
        {"scene", "\xEF\xBB\xBF  \r\n\ttable.rwx\n-0.35 0\n-0.1 more text\n", ShownFileKind::ObjectMap},
        {"scene.map", "a.rwx 1 2 3", ShownFileKind::ObjectMap},
        {"scene.x", "a.rwx 1 2", ShownFileKind::Refused,
         "does not begin with an object-map entry (a file name and three numbers)"},
        {"model.obj", "# exported\nv 0 0 0\n", ShownFileKind::Imported},
        {"Model.GLB", "glTF" + Bytes({2, 0, 0, 0}), ShownFileKind::Imported},
        {"model.gltf", "{\"asset\": {\"version\": \"2.0\"}}", ShownFileKind::Imported},
        {"broken.gltf", Bytes({0, 1, 2}), ShownFileKind::Imported},  // its reader says what is wrong
        {"blank", " \n\n\t", ShownFileKind::Refused, "is empty"},
        // Object dumps by their first line, whatever their names, Windows-1252 bytes and line
        // breaks kept as 0x7F included.
        {"propworld.txt", "propdump version 4\r\n1 2 0 0 0 0 0 0 0 1 2 0 0 xa\x80\x7F\r\n", ShownFileKind::ObjectDump},
        {"world.dump", "propdump version 3\ncaf\xE9\x7F\n", ShownFileKind::ObjectDump},
        {"future", "propdump version 9\n", ShownFileKind::ObjectDump},  // the reader says it cannot
        {"prop.x", "propdump of my world\n", ShownFileKind::Refused,
         "does not begin with an object-map entry (a file name and three numbers)"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.Write(c.name, c.content);
        const ShownFileVerdict v = ClassifyShownFile(path);
        EXPECT_EQ(v.kind, c.kind) << c.name;
        EXPECT_EQ(v.reason, c.reason) << c.name;
    }
}

TEST(ShownFile, ZipArchivesAreShownOnlyWhenTheyHoldAScript) {
    TempDir dir;
    ASSERT_TRUE(test::WriteZip(dir.Join("chair.zip"), "chair.rwx", "ModelBegin\nModelEnd\n"));
    ASSERT_TRUE(test::WriteZip(dir.Join("CHAIR.ZIP"), "Chair.RWX", "ModelBegin\nModelEnd\n"));
    ASSERT_TRUE(test::WriteZip(dir.Join("textures.zip"), "wood.jpg", "not read"));
    ASSERT_TRUE(test::WriteZip(dir.Join("chair.download"), "chair.rwx", "ModelBegin\nModelEnd\n"));
    ASSERT_TRUE(test::WriteZip(dir.Join("wood.bin"), "wood.jpg", "not read"));
    dir.Write("broken.zip", "PK\3\4 and nothing of an archive");
    dir.Write("fake.txt", "PK\3\4 and nothing of an archive");

    EXPECT_EQ(ClassifyShownFile(dir.Join("chair.zip")).kind, ShownFileKind::Archive);
    EXPECT_EQ(ClassifyShownFile(dir.Join("CHAIR.ZIP")).kind, ShownFileKind::Archive);
    EXPECT_EQ(ClassifyShownFile(dir.Join("chair.download")).kind, ShownFileKind::Archive);  // by content
    for (const char* name : {"textures.zip", "wood.bin"}) {
        const ShownFileVerdict v = ClassifyShownFile(dir.Join(name));
        EXPECT_EQ(v.kind, ShownFileKind::Refused) << name;
        EXPECT_EQ(v.reason, "is a zip archive without a model script (.rwx)") << name;
    }
    for (const char* name : {"broken.zip", "fake.txt"}) {
        const ShownFileVerdict v = ClassifyShownFile(dir.Join(name));
        EXPECT_EQ(v.kind, ShownFileKind::Refused) << name;
        EXPECT_EQ(v.reason, "is not a zip archive, or a damaged one") << name;
    }
    // A missing archive is extracted as usual, which reports it.
    EXPECT_EQ(ClassifyShownFile(dir.Join("gone.zip")).kind, ShownFileKind::Archive);
}

TEST(ShownFile, WhatCannotBeOpenedIsLeftToTheReaderThatReportsIt) {
    TempDir dir;
    fs::create_directories(dir.Join("folder"));
    const std::string fifo = test::MakeFifo(dir, "pipe");
    for (const std::string& path : {dir.Join("missing"), dir.Join("folder"), fifo})
        EXPECT_EQ(ClassifyShownFile(path).kind, ShownFileKind::ObjectMap) << path;
}

TEST(ShownFile, RefusalNamesTheFileAndWhatIsShown) {
    EXPECT_EQ(RefusedFileMessage("/photos/beach.jpg", {ShownFileKind::Refused, "is a JPEG image"}),
              "\u201Cbeach.jpg\u201D is a JPEG image: Pelorus shows model scripts (.rwx), zipped models (.zip), glTF "
              "(.gltf, .glb) and OBJ (.obj) models, object maps and object dumps.");
}

}  // namespace
}  // namespace pelorus
