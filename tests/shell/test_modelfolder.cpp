// Stepping through the models of a folder: name order, going round, a file that has gone.

#include <gtest/gtest.h>

#include <algorithm>

#include "shell/modelfolder.h"
#include "testutil.h"

namespace pelorus {
namespace {

using Names = std::vector<std::string>;

TEST(ModelFolder, NameOrderIgnoresLetterCaseAndReadsNumbersByValue) {
    Names names = {"tree10.rwx", "Tree2.rwx", "tree1.rwx", "apple.zip", "TREE02.rwx", "tree2.rwx", "b.rwx", "A.rwx"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameOrderLess(a, b); });
    EXPECT_EQ(names, (Names{"A.rwx", "apple.zip", "b.rwx", "tree1.rwx", "TREE02.rwx", "Tree2.rwx", "tree2.rwx",
                            "tree10.rwx"}));
    EXPECT_FALSE(NameOrderLess("a.rwx", "a.rwx"));
}

TEST(ModelFolder, StepsGoRoundAndCountFromWhereAMissingFileWouldBe) {
    const Names names = {"a.rwx", "c.rwx", "e.zip"};
    const struct {
        const char* current;
        int step;
        const char* want;
    } cases[] = {
        {"a.rwx", 1, "c.rwx"},  {"c.rwx", 1, "e.zip"},  {"e.zip", 1, "a.rwx"},  {"a.rwx", -1, "e.zip"},
        {"c.rwx", -1, "a.rwx"}, {"b.rwx", 1, "c.rwx"},  {"b.rwx", -1, "a.rwx"}, {"0.rwx", -1, "e.zip"},
        {"z.rwx", 1, "a.rwx"},  {"z.rwx", -1, "e.zip"}, {"a.rwx", 4, "c.rwx"},  {"a.rwx", -4, "e.zip"},
    };
    for (const auto& c : cases) EXPECT_EQ(ModelBeside(c.current, names, c.step), c.want) << c.current << c.step;
    EXPECT_EQ(ModelBeside("a.rwx", {"a.rwx"}, 1), "");
    EXPECT_EQ(ModelBeside("b.rwx", {"a.rwx"}, 1), "a.rwx");
    EXPECT_EQ(ModelBeside("a.rwx", {}, 1), "");
    EXPECT_EQ(ModelBeside("a.rwx", names, 0), "");
}

TEST(ModelFolder, TheFolderGivesItsScriptsAndZippedModelsOnly) {
    test::TempDir dir;
    dir.Write("b.RWX", "");
    dir.Write("a.zip", "");
    dir.Write("c.txt", "x.rwx 0 0 0\n");
    dir.Write("d.jpg", "");
    dir.Write("folder.rwx/inside.rwx", "");
    EXPECT_EQ(ModelsInFolder(dir.Path()), (Names{"a.zip", "b.RWX"}));
    EXPECT_EQ(ModelsInFolder(dir.Join("none")), Names{});
}

}  // namespace
}  // namespace pelorus
