// Registry lines: the name and the bounds of each model in whole centimetres, as world servers
// read them, and `pelorus --registry` over files and folders.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "shell/cli.h"
#include "shell/registry.h"
#include "testutil.h"

namespace pelorus {
namespace {

Bounds Box(const Vec3& lo, const Vec3& hi) {
    Bounds b;
    b.Extend(lo.x, lo.y, lo.z);
    b.Extend(hi.x, hi.y, hi.z);
    return b;
}

TEST(RegistryLine, BoundsInWholeCentimetresThatHoldTheModel) {
    const struct {
        Vec3 lo, hi;
        const char* line;
    } cases[] = {
        // A unit is ten metres: 0.1 unit is one metre.
        {{-0.1, 0, -0.2}, {0.1, 0.3, 0.2}, "box 1 -100 0 -200 100 300 200"},
        // Between whole centimetres the box grows outwards, never inwards.
        {{-0.00001, 0.00001, -0.00149}, {0.00001, 0.00149, 0.00151}, "box 1 -1 0 -2 1 2 2"},
        // What arithmetic adds to a whole centimetre does not cost one (0.1 + 0.2 is 0.30000000000000004).
        {{0.1 + 0.2, 0, 0}, {0.1 + 0.2, 0.7 * 3, 1.1}, "box 1 300 0 0 300 2100 1100"},
        {{-0.3, -0.3, -0.3}, {-0.1, -0.1, -0.1}, "box 1 -300 -300 -300 -100 -100 -100"},
        // A single point is a box of no size.
        {{0.05, 0.05, 0.05}, {0.05, 0.05, 0.05}, "box 1 50 50 50 50 50 50"},
    };
    for (const auto& c : cases) EXPECT_EQ(RegistryLine("box", Box(c.lo, c.hi)), c.line) << c.line;
    EXPECT_EQ(RegistryLine("box", Bounds{}), std::nullopt);
    EXPECT_EQ(RegistryLine("box", Box({0, 0, 0}, {1e13, 1, 1})), std::nullopt) << "beyond any centimetre count";
}

TEST(RegistryLine, NamesAreFileNamesWithoutTheirModelEnding) {
    EXPECT_EQ(RegistryName("/models/tree01.rwx"), "tree01");
    EXPECT_EQ(RegistryName("models/Crate.ZIP"), "Crate");
    EXPECT_EQ(RegistryName("wall.RWX"), "wall");
    EXPECT_EQ(RegistryName("dir/notes.txt"), "notes.txt");
    EXPECT_EQ(RegistryName("a.b.rwx"), "a.b");
}

struct RegistryRun {
    std::optional<int> status;
    std::string out, err;
};

RegistryRun Registry(std::vector<std::string> files) {
    files.insert(files.begin(), "--registry");
    std::ostringstream out, err;
    RegistryRun r;
    r.status = RunCommandLine(files, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

TEST(RegistryTool, OneLinePerModelOfFilesAndFoldersSortedAndTheUnreadableOnStandardError) {
    test::TempDir dir;
    // A block of 2 x 1 x 4 metres moved up by one metre; the placement a viewer gives a script is
    // no part of it.
    dir.Write("models/b/crate.rwx", "ClumpBegin\nTranslate 0 0.1 0\nBlock 0.2 0.1 0.4\nClumpEnd\n");
    dir.Write("models/a/post.rwx", "ClumpBegin\nCylinder 0.3 0.01 0.01 8\nClumpEnd\n");
    test::WriteZip(dir.Join("models/a/ball.zip"), "ball.rwx", "ClumpBegin\nSphere 0.05 2\nClumpEnd\n");
    dir.Write("models/a/readme.txt", "not a model\n");
    dir.Write("models/empty.rwx", "ModelBegin\nModelEnd\n");

    const RegistryRun r = Registry({dir.Join("models")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "ball 1 -50 -50 -50 50 50 50\n"
              "post 1 -10 0 -10 10 300 10\n"
              "crate 1 -100 50 -200 100 150 200\n");
    EXPECT_EQ(r.err, "pelorus: " + dir.Join("models/empty.rwx") + ": no vertex to measure\n");

    const RegistryRun one = Registry({dir.Join("models/b/crate.rwx"), "--", dir.Join("models/a/ball.zip")});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, "crate 1 -100 50 -200 100 150 200\nball 1 -50 -50 -50 50 50 50\n");
    EXPECT_EQ(one.err, "");

    const RegistryRun missing = Registry({dir.Join("models/gone.rwx"), dir.Join("models/a/readme.txt")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("pelorus: " + dir.Join("models/gone.rwx") + ": "), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("readme.txt: not a model"), std::string::npos) << missing.err;

    EXPECT_EQ(Registry({}).status, 2);
}

}  // namespace
}  // namespace pelorus
