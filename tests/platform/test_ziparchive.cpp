#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/ziparchive.h"
#include "testutil.h"

namespace pelorus {
namespace {

using test::TempDir;

struct Member {
    Member(std::string n, std::string d, zip_uint16_t e = ZIP_EM_NONE, std::string p = {}, bool s = false)
        : name(std::move(n)), data(std::move(d)), encryption(e), password(std::move(p)), stored(s) {}
    std::string name;
    std::string data;
    zip_uint16_t encryption;
    std::string password;
    bool stored;  // no compression, so tests can patch the bytes
};

// Writes an archive with libzip's own writer.
void WriteZip(const std::string& path, const std::vector<Member>& members) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr) << "zip_open error " << error;
    for (const Member& m : members) {
        zip_source_t* source = zip_source_buffer(zip, m.data.data(), m.data.size(), 0);
        ASSERT_NE(source, nullptr);
        const zip_int64_t index = zip_file_add(zip, m.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0) << zip_strerror(zip);
        const auto i = static_cast<zip_uint64_t>(index);
        if (m.stored) {
            ASSERT_EQ(zip_set_file_compression(zip, i, ZIP_CM_STORE, 0), 0);
        }
        if (m.encryption != ZIP_EM_NONE) {
            ASSERT_EQ(zip_file_set_encryption(zip, i, m.encryption, m.password.c_str()), 0) << zip_strerror(zip);
        }
    }
    ASSERT_EQ(zip_close(zip), 0) << zip_strerror(zip);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void PutLe32(std::string& bytes, std::size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[at + static_cast<std::size_t>(k)] = static_cast<char>((value >> (8 * k)) & 0xFF);
}
void PutLe16(std::string& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

// Offsets of the single member's headers: the local one at 0, the central one found by its
// signature.
std::size_t CentralHeader(const std::string& bytes) {
    return bytes.find(std::string("PK\x01\x02", 4));
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::unique_ptr<ZipArchive> OpenOk(const std::string& path) {
    ZipStatus status = ZipStatus::NotFound;
    std::unique_ptr<ZipArchive> archive = ZipArchive::Open(path, &status);
    EXPECT_EQ(status, ZipStatus::Ok);
    EXPECT_NE(archive, nullptr);
    return archive;
}

TEST(ZipArchiveOpen, RejectsWhatIsNotAReadableArchive) {
    TempDir dir;
    WriteZip(dir.Join("good.zip"), {{"a.rwx", std::string(200, 'x')}});
    const std::string good = ReadBytes(dir.Join("good.zip"));
    dir.Write("text.zip", "modelbegin\nmodelend\n");
    dir.Write("empty.zip", "");
    dir.Write("cut.zip", good.substr(0, good.size() / 2));
    std::filesystem::create_directory(dir.Join("folder.zip"));
    test::MakeFifo(dir, "fifo.zip");

    const struct {
        const char* file;
        ZipStatus expected;
    } cases[] = {
        {"missing.zip", ZipStatus::CannotOpen},
        {"folder.zip", ZipStatus::CannotOpen},
        {"fifo.zip", ZipStatus::CannotOpen},  // refused at once, never waited on
        {"text.zip", ZipStatus::NotAZip},
        {"empty.zip", ZipStatus::NotAZip},  // libzip would take it for a new, empty archive
        {"cut.zip", ZipStatus::NotAZip},
    };
    for (const auto& c : cases) {
        ZipStatus status = ZipStatus::Ok;
        EXPECT_EQ(ZipArchive::Open(dir.Join(c.file), &status), nullptr) << c.file;
        EXPECT_EQ(status, c.expected) << c.file;
    }
}

TEST(ZipArchiveOpen, AcceptsBackslashesAndAnyLetterCase) {
    TempDir dir;
    std::filesystem::create_directory(dir.Join("Models"));
    WriteZip(dir.Join("Models/Car.zip"), {{"car.rwx", "x"}});
    const std::unique_ptr<ZipArchive> archive = OpenOk(dir.Path() + "\\models\\CAR.ZIP");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->MemberNames(), std::vector<std::string>{"car.rwx"});
}

TEST(ZipArchiveFind, MatchesFileNamesAfterFoldersAndExtensionsInAnyCase) {
    TempDir dir;
    WriteZip(dir.Join("a.zip"), {{"readme.txt", "r"}, {"sub/CAR.RWX", "c"}, {"car.rwx.bak", "b"}, {"car.rwx", "d"}});
    const std::unique_ptr<ZipArchive> archive = OpenOk(dir.Join("a.zip"));
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->MemberNames(),
              (std::vector<std::string>{"readme.txt", "sub/CAR.RWX", "car.rwx.bak", "car.rwx"}));
    EXPECT_EQ(archive->FindByFileName("car.rwx"), 1u);  // first in archive order, folder ignored
    EXPECT_EQ(archive->FindByFileName("sub"), std::nullopt);
    EXPECT_EQ(archive->FindByFileName("bike.rwx"), std::nullopt);
    EXPECT_EQ(archive->FindByExtension(".rwx"), 1u);
    EXPECT_EQ(archive->FindByExtension(".BAK"), 2u);
    EXPECT_EQ(archive->FindByExtension(".jpg"), std::nullopt);
}

TEST(ZipArchiveRead, ReadsMembersByIndexAndRejectsIndicesBeyondThem) {
    TempDir dir;
    const std::string big(300000, 'q');  // several read pieces
    WriteZip(dir.Join("a.zip"), {{"one.rwx", "first"}, {"two.rwx", big}, {"empty.rwx", ""}});
    const std::unique_ptr<ZipArchive> archive = OpenOk(dir.Join("a.zip"));
    ASSERT_NE(archive, nullptr);
    std::vector<uint8_t> out{1, 2, 3};
    EXPECT_EQ(archive->Read(0, out, 1000), ZipStatus::Ok);
    EXPECT_EQ(Text(out), "first");
    EXPECT_EQ(archive->Read(1, out, big.size()), ZipStatus::Ok);
    EXPECT_EQ(Text(out), big);
    EXPECT_EQ(archive->Read(2, out, 0), ZipStatus::Ok);
    EXPECT_TRUE(out.empty());
    out = {1};
    EXPECT_EQ(archive->Read(3, out, 1000), ZipStatus::NotFound);
    EXPECT_TRUE(out.empty());
}

TEST(ZipArchiveRead, LimitHoldsAtTheExactSizeAndAgainstAnUnderstatedSize) {
    TempDir dir;
    const std::string data(100000, 'a');
    WriteZip(dir.Join("honest.zip"), {{"a.rwx", data}});
    // The same archive, its directory claiming the member holds 100 bytes.
    std::string lying = ReadBytes(dir.Join("honest.zip"));
    PutLe32(lying, 22, 100);
    const std::size_t central = CentralHeader(lying);
    ASSERT_NE(central, std::string::npos);
    PutLe32(lying, central + 24, 100);
    WriteBytes(dir.Join("lying.zip"), lying);

    std::vector<uint8_t> out;
    const std::unique_ptr<ZipArchive> honest = OpenOk(dir.Join("honest.zip"));
    ASSERT_NE(honest, nullptr);
    EXPECT_EQ(honest->Read(0, out, data.size()), ZipStatus::Ok);
    EXPECT_EQ(out.size(), data.size());
    EXPECT_EQ(honest->Read(0, out, data.size() - 1), ZipStatus::TooLarge);
    EXPECT_TRUE(out.empty());

    const std::unique_ptr<ZipArchive> liar = OpenOk(dir.Join("lying.zip"));
    ASSERT_NE(liar, nullptr);
    EXPECT_EQ(liar->Read(0, out, 1000), ZipStatus::TooLarge);
    EXPECT_TRUE(out.empty());

    // Pieces handed out never add up to more than the limit.
    uint64_t given = 0;
    EXPECT_EQ(liar->ReadPieces(
                  0,
                  [&given](const uint8_t*, std::size_t size) {
                      given += size;
                      return true;
                  },
                  70000),
              ZipStatus::TooLarge);
    EXPECT_LE(given, 70000u);
}

TEST(ZipArchiveRead, DamagedDataIsCorruptAndAnUnknownMethodUnsupported) {
    TempDir dir;
    const std::string data = "modelbegin\nclumpbegin\nvertex 0 0 0\nclumpend\nmodelend\n";
    WriteZip(dir.Join("stored.zip"), {{"a.rwx", data, ZIP_EM_NONE, "", true}});
    const std::string stored = ReadBytes(dir.Join("stored.zip"));
    const std::size_t payload = stored.find("clumpbegin");
    ASSERT_NE(payload, std::string::npos);

    std::string flipped = stored;  // CRC no longer matches
    flipped[payload] = 'X';
    WriteBytes(dir.Join("flipped.zip"), flipped);

    std::string method = stored;  // compression method 6 (implode, unsupported) in both headers
    PutLe16(method, 8, 6);
    PutLe16(method, CentralHeader(method) + 10, 6);
    WriteBytes(dir.Join("method.zip"), method);

    WriteZip(dir.Join("deflated.zip"), {{"a.rwx", std::string(5000, 'z') + data}});
    std::string garbled = ReadBytes(dir.Join("deflated.zip"));
    auto le16 = [&garbled](std::size_t at) {
        return static_cast<std::size_t>(static_cast<uint8_t>(garbled[at]) |
                                        (static_cast<uint8_t>(garbled[at + 1]) << 8));
    };
    const std::size_t start = 30 + le16(26) + le16(28);  // after the local header's name and extra field
    for (std::size_t i = start; i < start + 16 && i < garbled.size(); ++i) garbled[i] = static_cast<char>(0xFF);
    WriteBytes(dir.Join("garbled.zip"), garbled);

    // A method this libzip cannot decompress is not supported rather than damaged.
    for (const auto& [file, status] :
         {std::pair{"flipped.zip", ZipStatus::Corrupt}, std::pair{"method.zip", ZipStatus::Unsupported},
          std::pair{"garbled.zip", ZipStatus::Corrupt}}) {
        const std::unique_ptr<ZipArchive> archive = OpenOk(dir.Join(file));
        ASSERT_NE(archive, nullptr) << file;
        std::vector<uint8_t> out;
        EXPECT_EQ(archive->Read(0, out, 1 << 20), status) << file;
        EXPECT_TRUE(out.empty()) << file;
    }
}

TEST(ZipArchiveRead, EncryptedMembersNeedTheRightPassword) {
    for (const zip_uint16_t method : {zip_uint16_t{ZIP_EM_AES_256}, zip_uint16_t{ZIP_EM_TRAD_PKWARE}}) {
        SCOPED_TRACE(method);
        if (!zip_encryption_method_supported(method, 1)) GTEST_SKIP() << "libzip cannot write this method";
        TempDir dir;
        WriteZip(dir.Join("secret.zip"), {{"s.rwx", "modelbegin\nmodelend\n", method, "sesame"}});
        const std::unique_ptr<ZipArchive> archive = OpenOk(dir.Join("secret.zip"));
        ASSERT_NE(archive, nullptr);
        std::vector<uint8_t> out;
        EXPECT_EQ(archive->Read(0, out, 1000), ZipStatus::NeedsPassword);
        EXPECT_EQ(archive->Read(0, out, 1000, "wrong"), ZipStatus::NeedsPassword);
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(archive->Read(0, out, 1000, "sesame"), ZipStatus::Ok);
        EXPECT_EQ(Text(out), "modelbegin\nmodelend\n");
    }
}

TEST(ZipArchiveRead, ZippedMaskOfTheCubeSample) {
    std::vector<uint8_t> out;
    const std::string archive = test::DataDir() + "/realworld/cube/dropletm.zip";
    ASSERT_EQ(ReadZippedFile(archive, "DROPLETM.BMP", out, 1 << 20), ZipStatus::Ok);
    ASSERT_EQ(out.size(), 12426u);
    EXPECT_EQ(out[0], 'B');
    EXPECT_EQ(out[1], 'M');
    EXPECT_EQ(ReadZippedFile(archive, "droplet.jpg", out, 1 << 20), ZipStatus::NotFound);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ReadZippedFile(archive, "dropletm.bmp", out, 100), ZipStatus::TooLarge);
    EXPECT_EQ(ReadZippedFile(test::DataDir() + "/realworld/cube/nothing.zip", "a.bmp", out, 100),
              ZipStatus::CannotOpen);
}

}  // namespace
}  // namespace pelorus
