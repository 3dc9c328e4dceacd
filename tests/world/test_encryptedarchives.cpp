// Zipped models and textures encrypted with a world's object password: read with it, refused
// with one line per archive without it or with a wrong one, never read as garbage.

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "testutil.h"
#include "world/worldload.h"

namespace pelorus {
namespace {

using test::TempDir;

// libzip's encryption methods.
constexpr uint16_t kTraditional = 1, kAes128 = 0x0101, kAes256 = 0x0103;

constexpr std::string_view kTextured =
    "ClumpBegin\nTexture wood Mask woodm\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
    "Triangle 1 2 3\nClumpEnd\n";

std::string Line(const std::string& name) {
    return "1 2 0 0 0 0 0 0 0 " + std::to_string(name.size()) + " 0 0 0 " + name + "\n";
}

// A tiny 8-bit BMP, grey 200.
std::string GreyBmp() {
    std::string b = "BM";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&](uint16_t v) {
        b.push_back(static_cast<char>(v & 0xFF));
        b.push_back(static_cast<char>(v >> 8));
    };
    u32(14 + 40 + 1024 + 4);
    u32(0);
    u32(14 + 40 + 1024);
    u32(40);
    u32(1);
    u32(1);
    u16(1);
    u16(8);
    u32(0);
    u32(4);
    u32(0);
    u32(0);
    u32(256);
    u32(0);
    for (int i = 0; i < 256; ++i) u32(static_cast<uint32_t>(i * 0x010101));
    u32(200);
    return b;
}

struct Loaded {
    SceneObjects scene;
    std::vector<std::string> errors;
};

class EncryptedArchives : public ::testing::TestWithParam<uint16_t> {
protected:
    TempDir dir;
    std::string dump;

    // The model "locked" zipped with its texture, encrypted; its mask zipped apart in the textures
    // folder, encrypted too; two objects show it.
    void SetUp() override {
        const std::string jpeg = Slurp(test::SourceDir() + "/samples/crate.jpg");
        std::vector<test::ZipMember> model(2), mask(1);
        model[0].name = "locked.rwx";
        model[0].data = kTextured;
        model[1].name = "wood.jpg";
        model[1].data = jpeg;
        mask[0].name = "woodm.bmp";
        mask[0].data = GreyBmp();
        for (std::vector<test::ZipMember>* members : {&model, &mask})
            for (test::ZipMember& m : *members) {
                m.password = "pw";
                m.encryption = GetParam();
            }
        const bool written = test::WriteZipMembers(dir.Join("op/models/locked.zip"), model) &&
                             test::WriteZipMembers(dir.Join("op/textures/woodm.zip"), mask);
        if (!written) GTEST_SKIP() << "this libzip cannot write encryption method " << GetParam();
        dump = dir.Write("world.txt", "propdump version 4\n" + Line("locked") + Line("LOCKED"));
    }

    static std::string Slurp(const std::string& path) {
        std::string text;
        EXPECT_TRUE(ReadWholeFile(path, text)) << path;
        return text;
    }

    Loaded Load(const std::string& password) const {
        Loaded l;
        test::LogCapture log;
        WorldReadOptions options;
        options.read.programDir = dir.Path();  // no texture search path of the machine's
        options.read.archivePassword = password;
        options.objectPath = dir.Join("op");
        l.scene = LoadShownObjects(dump, log, options);
        l.errors = log.Lines();
        return l;
    }
};

TEST_P(EncryptedArchives, TheObjectPasswordOpensModelTextureAndMask) {
    const Loaded l = Load("pw");
    EXPECT_TRUE(l.errors.empty()) << l.errors.front();
    ASSERT_EQ(l.scene.models.size(), 1u);
    const RWXObject& model = *l.scene.models[0];
    EXPECT_EQ(model.CountTriangles(), 1);
    ASSERT_EQ(model.Textures().size(), 1u);
    EXPECT_EQ(model.Textures()[0].hasMask, 1);
    EXPECT_TRUE(model.MissingTextures().empty());
}

// Without the password, or with another, the archive gives one line naming it, however many
// objects show it, and its model holds nothing.
TEST_P(EncryptedArchives, AMissingOrWrongPasswordIsOneLineNamingTheArchive) {
    const std::string archive = dir.Join("op/models/locked.zip");
    const std::pair<std::string, std::string> cases[] = {
        {"", "Archive \"" + archive + "\" holds an encrypted model script."},
        {"nope", "Archive \"" + archive + "\" holds an encrypted model script that the password given does not open."},
    };
    for (const auto& [password, line] : cases) {
        const Loaded l = Load(password);
        EXPECT_EQ(l.errors, std::vector<std::string>{line}) << password;
        ASSERT_EQ(l.scene.models.size(), 1u);
        EXPECT_EQ(l.scene.models[0]->CountTriangles(), 0) << password;
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, EncryptedArchives, ::testing::Values(kAes256, kAes128, kTraditional),
                         [](const ::testing::TestParamInfo<uint16_t>& p) {
                             return p.param == kTraditional ? std::string("Traditional")
                                                            : "Aes" + std::to_string(p.param == kAes256 ? 256 : 128);
                         });

// A texture member encrypted in an archive of the texture search path, read with and without the
// password: the reason names the archive, never garbage pixels.
TEST(EncryptedTextures, WrongPasswordIsTheReasonTheTextureIsNotRead) {
    TempDir dir;
    ASSERT_TRUE(test::WriteZip(
        dir.Join("tex/wood.zip"), "wood.jpg",
        [] {
            std::string t;
            ReadWholeFile(test::SourceDir() + "/samples/crate.jpg", t);
            return t;
        }(),
        "pw"));
    for (const auto& [password, reason] : {std::pair<std::string, std::string>{"pw", ""},
                                           {"", "(encrypted in archive \"wood.zip\")"},
                                           {"x",
                                            "(encrypted in archive \"wood.zip\", and the password given does "
                                            "not open it)"}}) {
        test::LogCapture log;
        ReadOptions options;
        options.programDir = dir.Path();
        options.firstTextureDirs = {dir.Join("tex")};
        options.archivePassword = password;
        const auto object = test::ReadScript(
            "ClumpBegin\nTexture wood\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
            "Triangle 1 2 3\nClumpEnd\n",
            log, options);
        if (reason.empty()) {
            EXPECT_TRUE(log.Empty()) << log.Text();
            EXPECT_EQ(object->Textures().size(), 1u);
        } else {
            ASSERT_FALSE(log.Empty()) << password;
            EXPECT_EQ(log.Lines()[0], "Couldn't read texture \"wood.jpg\" " + reason + ".") << password;
        }
    }
}

}  // namespace
}  // namespace pelorus
