// Dumps whose object path is a web server the tests start on 127.0.0.1: models and textures
// fetched once through the disk cache, in the order of a local object path, the cache standing in
// when the server is gone, and names that would leave the object path never asked for.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "objectserver.h"
#include "platform/paths.h"
#include "scene/actionlooks.h"
#include "testutil.h"
#include "world/remoteobjectpath.h"
#include "world/worldload.h"

namespace pelorus {
namespace {

using test::TempDir;

const char* kTextured =
    "ClumpBegin\nTexture bark\nVertex 0 0 0 UV 0 0\nVertex 1 0 0 UV 1 0\nVertex 0 1 0 UV 0 1\n"
    "Triangle 1 2 3\nClumpEnd\n";
const char* kPlain = "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nClumpEnd\n";

std::string Line(const std::string& name) {
    return "1 2 0 0 0 0 0 0 0 " + std::to_string(name.size()) + " 0 0 0 " + name + "\n";
}

struct Loaded {
    SceneObjects scene;
    std::vector<std::string> errors;
};

class RemoteDumps : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::NoProxies(); }

    void SetUp() override {
        site_.Write("models/tree.zip", "");
        ASSERT_TRUE(test::WriteZip(site_.Join("models/tree.zip"), "tree.rwx", kTextured));
        site_.Write("rwx/rock.rwx", kPlain);
        site_.Write("textures/bark.jpg", test::EncodeJpeg(2, 2, std::vector<uint8_t>(12, 200)));
        server_ = std::make_unique<test::ObjectServer>(site_.Path(), logs_.Path());
        ASSERT_NE(server_->Port(), 0);
    }

    Loaded Load(const std::string& dumpText) {
        const std::string dump = local_.Write("world.txt", "propdump version 4\n" + dumpText);
        Loaded l;
        test::LogCapture log;
        WorldReadOptions options;
        options.objectPath = server_->Url("");
        options.cacheRoot = cache_.Path();
        l.scene = LoadShownObjects(dump, log, options);
        l.errors = log.Lines();
        return l;
    }

    TempDir site_, logs_, cache_, local_;
    std::unique_ptr<test::ObjectServer> server_;
};

TEST_F(RemoteDumps, EveryFileIsFetchedOnceInTheLocalOrderAndATexturedModelGetsItsTexture) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += Line(i % 2 ? "tree" : "Rock.rwx");
    text += Line("gone") + Line("GONE");
    const Loaded l = Load(text);
    ASSERT_EQ(l.scene.models.size(), 2u);
    EXPECT_EQ(l.scene.modelNames, (std::vector<std::string>{"Rock.rwx", "tree"}));
    EXPECT_TRUE(l.scene.models[1]->MissingTextures().empty());
    EXPECT_EQ(l.scene.models[1]->Textures().size(), 1u);
    EXPECT_EQ(l.scene.missingModels, (std::vector<std::string>{"gone"}));
    ASSERT_EQ(l.errors.size(), 1u);
    EXPECT_NE(l.errors[0].find("Couldn't find model \"gone\" in the object path \"" + server_->Url("") + "\""),
              std::string::npos)
        << l.errors[0];

    // The layouts in order, each name once however many objects show it; "Rock" was found in
    // lower case after its own spelling was missing everywhere.
    for (const char* path :
         {"/models/tree.zip", "/textures/bark.jpg", "/models/Rock.zip", "/rwx/Rock.rwx", "/models/Rock.rwx",
          "/models/rock.zip", "/rwx/rock.rwx", "/models/gone.zip", "/rwx/gone.rwx", "/models/gone.rwx"})
        EXPECT_EQ(server_->CountOf(path), 1) << path;
    EXPECT_EQ(server_->CountOf("/models/rock.rwx"), 0);
}

TEST_F(RemoteDumps, AReopenWithinTheRefreshTimeAsksNothingAndAStoppedServerLeavesTheCache) {
    const std::string text = Line("tree") + Line("rock");
    ASSERT_EQ(Load(text).scene.models.size(), 2u);
    const std::size_t asked = server_->Hits().size();
    const Loaded again = Load(text);
    EXPECT_EQ(again.scene.models.size(), 2u);
    EXPECT_TRUE(again.errors.empty());
    EXPECT_EQ(server_->Hits().size(), asked);

    // With the server gone and the copies due for a check, the copies stand in: one line says so.
    server_->Stop();
    const std::string dump = local_.Write("world.txt", "propdump version 4\n" + text);
    test::LogCapture log;
    WorldReadOptions options;
    options.objectPath = server_->Url("");
    options.cacheRoot = cache_.Path();
    options.refreshTime = std::chrono::seconds(0);
    const SceneObjects scene = LoadShownObjects(dump, log, options);
    EXPECT_EQ(scene.models.size(), 2u);
    EXPECT_TRUE(scene.models[0]->MissingTextures().empty());
    ASSERT_EQ(log.Lines().size(), 1u) << log.Lines().back();
    EXPECT_TRUE(log.Lines()[0].starts_with("Couldn't reach the object path \"" + server_->Url("") + "\""))
        << log.Lines()[0];
}

// What a window shows while a dump's models are downloaded comes through the load's progress:
// the files counted while they come, then, with the server gone, that the copies stand in.
TEST_F(RemoteDumps, TheLoadTellsItsDownloadsAndThatTheServerIsGone) {
    const std::string dump = local_.Write("world.txt", "propdump version 4\n" + Line("tree") + Line("rock"));
    std::vector<LoadProgress> told;
    std::mutex toldMutex;
    WorldReadOptions options;
    // Answers that come late are surely waited for.
    options.objectPath = server_->Url("slow/100/");
    options.cacheRoot = cache_.Path();
    options.refreshTime = std::chrono::seconds(0);
    options.progress = [&](const LoadProgress& p) {
        std::lock_guard lock(toldMutex);
        told.push_back(p);
    };
    test::LogCapture log;
    ASSERT_EQ(LoadShownObjects(dump, log, options).models.size(), 2u);
    const auto downloading = std::find_if(told.begin(), told.end(), [](const LoadProgress& p) {
        return p.download.Active() && LoadStatusText(p, "x").starts_with("Downloading ");
    });
    EXPECT_NE(downloading, told.end());
    ASSERT_FALSE(told.empty());
    EXPECT_FALSE(told.back().download.Active());
    EXPECT_GE(told.back().download.wanted, 1);
    EXPECT_TRUE(std::none_of(told.begin(), told.end(), [](const LoadProgress& p) { return p.offline; }));

    server_->Stop();
    told.clear();
    ASSERT_EQ(LoadShownObjects(dump, log, options).models.size(), 2u);
    ASSERT_FALSE(told.empty());
    EXPECT_TRUE(told.back().offline);
    LoadProgress done = told.back();
    done.stage = LoadProgress::Stage::Done;
    EXPECT_EQ(LoadStatusText(done, options.objectPath), "Offline: using cached copies of " + options.objectPath);
    done.offline = false;
    EXPECT_EQ(LoadStatusText(done, options.objectPath), "");
}

TEST_F(RemoteDumps, NamesLeavingTheObjectPathAreNeverAskedFor) {
    const Loaded l = Load(Line("../secret") + Line("%2e%2e/secret") + Line("/etc/passwd"));
    EXPECT_TRUE(l.scene.models.empty());
    for (const test::ObjectServer::Hit& hit : server_->Hits())
        EXPECT_EQ(hit.path.find("secret"), std::string::npos) << hit.path;
    EXPECT_EQ(server_->CountOf("/etc/passwd"), 0);
}

TEST_F(RemoteDumps, AModelMissingOnTheServerIsFoundBesideTheDump) {
    local_.Write("rwx/bush.rwx", kPlain);
    const Loaded l = Load(Line("bush"));
    ASSERT_EQ(l.scene.models.size(), 1u);
    EXPECT_EQ(l.scene.models[0]->File(), local_.Join("rwx/bush.rwx"));
    EXPECT_TRUE(l.errors.empty());
}

TEST_F(RemoteDumps, TheViewersReadKeepsAWebObjectPathAsAnAddress) {
    const std::string dump = local_.Write("world.txt", "propdump version 4\n" + Line("rock"));
    test::LogCapture log;
    WorldReadOptions options;
    options.objectPath = server_->Url("");
    options.cacheRoot = cache_.Path();
    const SceneObjects scene = ReadShownAsViewer(dump, log, options);
    EXPECT_EQ(scene.models.size(), 1u);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(RemoteDumps, EmptyingTheCacheRemovesOneObjectPathsCopiesAndTheNextLoadFetchesAgain) {
    ASSERT_EQ(Load(Line("rock")).scene.models.size(), 1u);
    const std::string files = CachedFilesFolder(server_->Url(""), cache_.Path());
    ASSERT_FALSE(files.empty());
    EXPECT_TRUE(std::filesystem::exists(files + "/rwx/rock.rwx"));
    // Another object path's copies stay.
    const std::string other = cache_.Write("other/files/rwx/rock.rwx", kPlain);

    const CacheEmptied emptied = EmptyObjectPathCache(server_->Url(""), cache_.Path());
    EXPECT_TRUE(emptied.ok);
    EXPECT_EQ(emptied.message, "The copies of \"" + server_->Url("") + "\" are removed from the cache.");
    EXPECT_FALSE(std::filesystem::exists(files + "/rwx/rock.rwx"));
    EXPECT_TRUE(std::filesystem::exists(other));
    const int before = server_->CountOf("/rwx/rock.rwx");
    ASSERT_EQ(Load(Line("rock")).scene.models.size(), 1u);
    EXPECT_EQ(server_->CountOf("/rwx/rock.rwx"), before + 1);

    const CacheEmptied local = EmptyObjectPathCache("/worlds/objects/", cache_.Path());
    EXPECT_TRUE(local.ok);
    EXPECT_EQ(local.message,
              "The object path \"/worlds/objects/\" is a folder on this computer; there is no cache to empty.");
    EXPECT_FALSE(EmptyObjectPathCache(server_->Url(""), "").ok);
    EXPECT_FALSE(EmptyObjectPathCache("http://", cache_.Path()).ok);
}

// A board whose second face (tag 200) shows pictures.
const char* kBoard =
    "ClumpBegin\nVertex 0 0 0 UV 0 1\nVertex 1 0 0 UV 1 1\nVertex 1 1 0 UV 1 0\nVertex 0 1 0 UV 0 0\n"
    "Vertex 2 0 0 UV 0 1\nVertex 3 0 0 UV 1 1\nVertex 3 1 0 UV 1 0\nVertex 2 1 0 UV 0 0\n"
    "Quad 1 2 3 4\nQuad 5 6 7 8 Tag 200\nClumpEnd\n";

std::string ActedLine(const std::string& name, const std::string& action) {
    return "1 2 0 0 0 0 0 0 0 " + std::to_string(name.size()) + " 0 " + std::to_string(action.size()) + " 0 " + name +
           action + "\n";
}

// The textures and pictures that objects' actions name come through the same cache as the models:
// from the web object path, or, for a picture, from its own address; each asked for once, all in
// before the looks are made, and none whose name leaves its folder.
TEST_F(RemoteDumps, ActionTexturesAndPicturesAreFetchedThroughTheCache) {
    site_.Write("rwx/board.rwx", kBoard);
    site_.Write("textures/wood.jpg", test::EncodeJpeg(2, 2, std::vector<uint8_t>(12, 90)));
    site_.Write("p.jpg", test::EncodeJpeg(2, 2, std::vector<uint8_t>(12, 10)));
    site_.Write("elsewhere/q.jpg", test::EncodeJpeg(2, 2, std::vector<uint8_t>(12, 30)));
    const std::string far = server_->Url("elsewhere/q.jpg");
    const std::string text = ActedLine("board", "create texture wood, picture p.jpg") +
                             ActedLine("board", "create picture " + far) + ActedLine("board", "create picture " + far) +
                             ActedLine("board", "create picture ../secret.jpg");
    for (int pass = 0; pass < 2; ++pass) {
        Loaded l = Load(text);
        ASSERT_EQ(l.scene.models.size(), 1u);
        EXPECT_TRUE(l.errors.empty()) << l.errors.front();
        test::LogCapture looksLog;
        const ObjectLooks looks = CarryOutActions(l.scene, &looksLog);
        ASSERT_EQ(looksLog.Lines().size(), 1u);
        EXPECT_EQ(looksLog.Lines()[0], "Couldn't open picture \"../secret.jpg\".");
        ASSERT_NE(looks.Of(0), nullptr);
        EXPECT_EQ(looks.Of(0)->textures.size(), 2u);  // the wood and the picture
        ASSERT_NE(looks.Of(1), nullptr);
        EXPECT_EQ(looks.Of(1)->textures.size(), 1u);
        // Within the refresh time the second load asks for nothing again.
        for (const char* path : {"/textures/wood.jpg", "/p.jpg", "/elsewhere/q.jpg"})
            EXPECT_EQ(server_->CountOf(path), 1) << path << " pass " << pass;
    }
    for (const test::ObjectServer::Hit& hit : server_->Hits())
        EXPECT_EQ(hit.path.find("secret"), std::string::npos) << hit.path;

    // On a world of this computer a picture at an address is fetched all the same; a name of
    // the folder is looked for there.
    local_.Write("objects/here.jpg", test::EncodeJpeg(2, 2, std::vector<uint8_t>(12, 50)));
    local_.Write("objects/rwx/board.rwx", kBoard);
    const std::string dump = local_.Write(
        "local.txt", "propdump version 4\n" + ActedLine("board", "create picture " + server_->Url("elsewhere/q.jpg")) +
                         ActedLine("board", "create picture here.jpg"));
    WorldReadOptions options;
    options.objectPath = local_.Join("objects");
    options.cacheRoot = cache_.Path();
    options.refreshTime = std::chrono::seconds(0);
    test::LogCapture log;
    SceneObjects scene = LoadShownObjects(dump, log, options);
    EXPECT_TRUE(log.Lines().empty());
    const ObjectLooks looks = CarryOutActions(scene, &log);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines().front();
    ASSERT_NE(looks.Of(0), nullptr);
    EXPECT_EQ(looks.Of(0)->textures.size(), 1u);
    ASSERT_NE(looks.Of(1), nullptr);
    EXPECT_EQ(looks.Of(1)->textures.size(), 1u);
    // Asked about again: the refresh time is 0.
    EXPECT_EQ(server_->CountOf("/elsewhere/q.jpg"), 2);
}

TEST(PictureRequest, AddressesAreAskedOfTheirFolderAndOtherNamesOnlyOfAWebObjectPath) {
    const auto folderAndName = [](std::string_view name, std::string_view objectPath) {
        const std::optional<FileRequest> r = PictureRequest(name, objectPath, std::chrono::seconds(5));
        return r ? r->objectPath + "|" + r->name : std::string("none");
    };
    EXPECT_EQ(folderAndName("http://h.example/pics/a.jpg", ""), "http://h.example/pics/|a.jpg");
    EXPECT_EQ(folderAndName("HTTPS://h.example/a.jpg", "/local/"), "HTTPS://h.example/|a.jpg");
    EXPECT_EQ(folderAndName("a.jpg", "http://h.example/objects/"), "http://h.example/objects/|a.jpg");
    EXPECT_EQ(folderAndName("pics\\a.jpg", "http://h.example/objects/"), "http://h.example/objects/|pics\\a.jpg");
    for (const char* refused : {"http://h.example", "http://h.example/", "http://h.example/a.jpg?x=1",
                                "ftp://h.example/a.jpg", "http:///a.jpg"})
        EXPECT_EQ(folderAndName(refused, "http://h.example/objects/"), "none") << refused;
    EXPECT_EQ(folderAndName("a.jpg", "/local/objects/"), "none");
    EXPECT_EQ(folderAndName("../a.jpg", "http://h.example/objects/"), "none");
    EXPECT_EQ(folderAndName("%2e%2e/a.jpg", "http://h.example/objects/"), "none");
    EXPECT_EQ(folderAndName("", "http://h.example/objects/"), "none");
    // Where the copy will be: below the cache, in the folder of its object path.
    const std::optional<FileRequest> r = PictureRequest("http://h.example/pics/a.jpg", "", std::chrono::seconds(5));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->refreshTime, std::chrono::seconds(5));
    const std::string copy = CopyPathOf(*r, "/cache");
    EXPECT_TRUE(copy.starts_with(CachedFilesFolder("http://h.example/pics/", "/cache") + "/")) << copy;
    EXPECT_TRUE(copy.ends_with("/a.jpg")) << copy;
    EXPECT_EQ(CopyPathOf(*r, ""), "");
}

TEST(RemoteObjectPath, WithoutACacheNothingIsFoundAndNothingIsWritten) {
    test::NoProxies();
    DownloaderOptions none;
    Downloader downloader(none);
    RemoteObjectPath path(downloader, "http://127.0.0.1:9/objects/", "");
    EXPECT_EQ(path.Find("tree").status, ModelLookupStatus::NotFound);
    EXPECT_EQ(path.Find("../tree").status, ModelLookupStatus::Refused);
    EXPECT_TRUE(path.TexturesFolder().empty());
    EXPECT_FALSE(path.Fetch("/tmp", "bark.jpg"));
}

}  // namespace
}  // namespace pelorus
