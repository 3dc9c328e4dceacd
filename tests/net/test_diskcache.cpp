// The disk cache of object paths on web servers: records that describe their copies, copies
// replaced behind a record's back, and emptying one object path.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "net/diskcache.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

WebObjectPath Path(std::string_view address) {
    return *ParseWebObjectPath(address);
}

// Stores `content` as the copy of `name`, as a finished download does.
void Store(const DiskCache& cache, const WebObjectPath& path, std::string_view name, std::string_view content) {
    std::string why;
    ASSERT_TRUE(cache.Prepare(path, name, &why)) << why;
    ASSERT_TRUE(WriteFileAtomically(cache.CopyOf(path, name), content, &why)) << why;
}

TEST(CacheRecords, ReadBackWhatIsWrittenAndNothingElse) {
    CacheRecord record;
    record.validators = {"\"5f2a-9c\"", "Tue, 02 Jan 2024 10:00:00 GMT"};
    record.checkedAt = 1'700'000'000;
    record.size = 123456;
    record.modifiedNs = 1'700'000'000'123'456'789;
    record.inode = 987654321;
    const std::string text = FormatCacheRecord(record);
    const std::optional<CacheRecord> back = ParseCacheRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->validators.etag, record.validators.etag);
    EXPECT_EQ(back->validators.lastModified, record.validators.lastModified);
    EXPECT_EQ(back->checkedAt, record.checkedAt);
    EXPECT_EQ(back->size, record.size);
    EXPECT_EQ(back->modifiedNs, record.modifiedNs);
    EXPECT_EQ(back->inode, record.inode);

    // A record cut short, changed or padded is not trusted.
    EXPECT_FALSE(ParseCacheRecord(text.substr(0, text.size() - 1)));
    EXPECT_FALSE(ParseCacheRecord(text.substr(0, text.find("etag"))));
    EXPECT_FALSE(ParseCacheRecord(text + "extra 1\n"));
    std::string badNumber = text;
    badNumber.replace(badNumber.find("size 123456"), 11, "size 12x456");
    EXPECT_FALSE(ParseCacheRecord(badNumber));
    EXPECT_FALSE(ParseCacheRecord(""));

    // Validators that would break a request header are not kept.
    record.validators.etag = "\"a\"\r\nHost: elsewhere";
    EXPECT_EQ(ParseCacheRecord(FormatCacheRecord(record))->validators.etag, "");
}

TEST(DiskCacheFiles, ACopyIsDescribedOnlyByTheRecordWrittenForIt) {
    test::TempDir root;
    const DiskCache cache(root.Path());
    const WebObjectPath path = Path("http://example.com/objects/");
    EXPECT_FALSE(cache.Find(path, "models/tree.zip"));

    Store(cache, path, "models/tree.zip", "first");
    std::optional<CachedCopy> copy = cache.Find(path, "models/tree.zip");
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->described);  // no record yet
    EXPECT_EQ(copy->file, root.Path() + "/" + path.cacheFolder + "/files/models/tree.zip");

    std::string why;
    ASSERT_TRUE(cache.Record(path, "models/tree.zip", {"\"v1\"", "Mon, 01 Jan 2024 00:00:00 GMT"}, 1000, &why)) << why;
    copy = cache.Find(path, "models/tree.zip");
    ASSERT_TRUE(copy && copy->described);
    EXPECT_EQ(copy->validators.etag, "\"v1\"");
    EXPECT_EQ(copy->checkedAt, 1000);

    // Another process stores a new copy after the record was written: the old validators must not
    // be sent for it.
    Store(cache, path, "models/tree.zip", "second, from another process");
    copy = cache.Find(path, "models/tree.zip");
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->described);

    // A record without its copy, or a copy that is no file, is no copy.
    cache.Forget(path, "models/tree.zip");
    EXPECT_FALSE(cache.Find(path, "models/tree.zip"));
    std::filesystem::create_directories(cache.CopyOf(path, "models/folder.zip"));
    EXPECT_FALSE(cache.Find(path, "models/folder.zip"));
    EXPECT_FALSE(cache.Record(path, "models/tree.zip", {}, 1000, &why));
}

TEST(DiskCacheFiles, TheFilesFolderReadsLikeALocalObjectPath) {
    test::TempDir root;
    const DiskCache cache(root.Path());
    const WebObjectPath path = Path("http://example.com/objects/");
    Store(cache, path, "models/tree.zip", "zip");
    Store(cache, path, "textures/bark.jpg", "jpg");
    std::string names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(cache.FilesOf(path)))
        if (entry.is_regular_file())
            names += std::filesystem::relative(entry.path(), cache.FilesOf(path)).string() + " ";
    EXPECT_TRUE(names == "models/tree.zip textures/bark.jpg " || names == "textures/bark.jpg models/tree.zip ")
        << names;
    std::string address;
    ASSERT_TRUE(ReadWholeFile(cache.FolderOf(path) + "/address.txt", address));
    EXPECT_EQ(address, "http://example.com/objects/\n");
}

TEST(DiskCacheFiles, EmptyingRemovesOneObjectPathOnly) {
    test::TempDir root;
    const DiskCache cache(root.Path());
    const WebObjectPath mars = Path("http://example.com/mars/");
    const WebObjectPath moon = Path("http://example.com/moon/");
    Store(cache, mars, "models/a.zip", "a");
    Store(cache, moon, "models/b.zip", "b");
    std::string why;
    ASSERT_TRUE(cache.Empty(mars, &why)) << why;
    EXPECT_FALSE(std::filesystem::exists(cache.FolderOf(mars)));
    EXPECT_TRUE(cache.Find(moon, "models/b.zip"));
    // Nothing is left beside the object paths' folders, and emptying twice is no failure.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.Path()), {}), 1);
    EXPECT_TRUE(cache.Empty(mars, &why));
}

TEST(DiskCacheFiles, WithoutARootNothingIsKeptAnywhere) {
    const DiskCache cache("");
    const WebObjectPath path = Path("http://example.com/objects/");
    std::string why;
    EXPECT_FALSE(cache.Prepare(path, "models/a.zip", &why));
    EXPECT_FALSE(cache.Find(path, "models/a.zip"));
    EXPECT_FALSE(cache.Empty(path, &why));
    EXPECT_FALSE(std::filesystem::exists("/" + path.cacheFolder));
}

}  // namespace
}  // namespace pelorus
