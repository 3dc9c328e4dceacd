// Every model file we have, written by us or by others, reads without a crash and with exactly the
// error lines it deserves.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/paths.h"
#include "reader/scenefile.h"
#include "testutil.h"

namespace pelorus {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Error lines expected per file name; files not listed must read without any.
const std::map<std::string, Lines>& Expected() {
    static const std::map<std::string, Lines> expected = {
        {"p_w200.rwx", {"Couldn't open texture \"tile32.jpg\"."}},  // not shipped with the model
    };
    return expected;
}

std::vector<fs::path> ModelFiles() {
    std::vector<fs::path> files;
    std::vector<fs::path> roots = {test::SourceDir() + "/samples", test::DataDir() + "/realworld"};
    // The shared collection beside the repository, when this checkout has one.
    if (fs::is_directory(test::SourceDir() + "/../shared/realworld"))
        roots.push_back(test::SourceDir() + "/../shared/realworld");
    for (const fs::path& root : roots)
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file() && (IsScriptName(entry.path().string()) || entry.path().extension() == ".txt"))
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ModelFiles, EveryFileReadsWithOnlyTheErrorsItDeserves) {
    const auto files = ModelFiles();
    ASSERT_GE(files.size(), 8u);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        test::LogCapture log;
        const SceneObjects read = ReadAsViewer(file.string(), log);
        ASSERT_FALSE(read.objects.empty());
        int64_t triangles = 0;
        for (const auto& o : read.objects) triangles += read.ModelOf(o)->CountTriangles();
        EXPECT_GT(triangles, 0);
        const auto it = Expected().find(file.filename().string());
        EXPECT_EQ(log.Lines(), it == Expected().end() ? Lines{} : it->second);
    }
}

}  // namespace
}  // namespace pelorus
