// `pelorus --pick`: the face under a pixel of the view --screenshot would draw, as JSON, on small
// scenes whose answers are known.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "shell/cli.h"
#include "shell/picktool.h"
#include "shell/viewrequest.h"
#include "testutil.h"

namespace pelorus {
namespace {

struct PickRun {
    std::optional<int> status;
    std::string out, err;
};

// --pick at (x, y) of a 101 x 101 view (whose centre pixel, 50,50, looks straight down -z from
// (0, 0, 1.5) at the origin) of `file`, with `more` options.
PickRun Pick(const std::string& file, const std::string& pixel, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--pick", pixel, "--size", "101x101"};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(file);
    std::ostringstream out, err;
    PickRun r;
    r.status = RunCommandLine(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// What a JSON answer says up to its batch: the file, line, clump and prototype.
std::string Head(const std::string& json) {
    const std::size_t at = json.find(", \"batch\"");
    return at == std::string::npos ? json : json.substr(0, at);
}

// A 2 x 2 red square at z = 0 (line 8 of the script), and before it a square of half the size at
// z = 0.5 whose corner order (lines 2 to 6 of `near`) decides which way it faces.
std::string TwoSquares(const std::string& near) {
    return "ModelBegin\n"                                                  // 1
           "ClumpBegin\n"                                                  // 2
           "Vertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\n"  // 3-6
           "Color 1 0 0\n"                                                 // 7
           "Quad 1 2 3 4\n"                                                // 8
           "ClumpBegin\n"                                                  // 9
           "Vertex -0.5 -0.5 0.5 UV 0 0\nVertex 0.5 -0.5 0.5 UV 1 0\n"     // 10-11
           "Vertex 0.5 0.5 0.5 UV 1 1\nVertex -0.5 0.5 0.5 UV 0 1\n"       // 12-13
           "Color 0 1 0\n" +                                               // 14
           near +                                                          // 15...
           "\nClumpEnd\nClumpEnd\nModelEnd\n";
}

// Reading problems go to standard error as --check prints them, at their file's line.
TEST(PickTool, ErrorLinesArePrintedAsCheckPrintsThem) {
    test::TempDir dir;
    const std::string dump = dir.Write("w.txt", "propdump version 3\r\n1 2 0 0 0 0 0 0 4 0 0 gone\r\n");
    const PickRun r = Pick(dump, "50,50");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "null\n");
    EXPECT_EQ(r.err.rfind(dump + ":2: Couldn't find model \"gone\"", 0), 0u) << r.err;
}

TEST(PickTool, TheFaceInFrontIsPickedWithItsLineClumpAndMaterial) {
    test::TempDir dir;
    const std::string file = dir.Write("two.rwx", TwoSquares("Quad 1 2 3 4"));
    const PickRun r = Pick(file, "50,50");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "{\"file\": \"" + file +
                  "\", \"line\": 15, \"clump\": [0, 0], \"prototype\": null, \"batch\": 0, \"triangle\": 0, "
                  "\"point\": [0, 0, 0.5], \"material\": {\"color\": [0, 1, 0], \"ambient\": [0, 0, 0], "
                  "\"diffuse\": [0, 0, 0], \"specular\": [0, 0, 0], \"opacity\": 1, \"texture_modes\": [\"lit\", "
                  "\"foreshorten\", \"filter\"], \"material_modes\": [], \"light_sampling\": \"facet\", "
                  "\"geometry_sampling\": \"solid\", \"axis_alignment\": \"none\", \"address_mode\": \"wrap\"}, "
                  "\"tag\": 0, \"texture\": null, \"texture_missing\": false, \"object\": {\"index\": 0, \"name\": "
                  "\"two.rwx\", \"line\": null, \"description\": \"\", \"action\": \"\"}}\n");
    // Farther away, the far square shows beside the near one; beyond both, nothing.
    EXPECT_EQ(Head(Pick(file, "20,50", {"--distance", "3"}).out), "{\"file\": \"" + file +
                                                                      "\", \"line\": 8, \"clump\": [0], "
                                                                      "\"prototype\": null");
    EXPECT_EQ(Pick(file, "0,0", {"--distance", "5"}).out, "null\n");
}

TEST(PickTool, FacesSeenFromBehindAreCulledUnlessDoubleSided) {
    test::TempDir dir;
    const std::string culled = dir.Write("culled.rwx", TwoSquares("Quad 4 3 2 1"));
    EXPECT_EQ(Head(Pick(culled, "50,50").out),
              "{\"file\": \"" + culled + "\", \"line\": 8, \"clump\": [0], \"prototype\": null");
    const std::string twoSided = dir.Write("double.rwx", TwoSquares("MaterialMode Double\nQuad 4 3 2 1"));
    const PickRun r = Pick(twoSided, "50,50");
    EXPECT_EQ(Head(r.out), "{\"file\": \"" + twoSided + "\", \"line\": 16, \"clump\": [0, 0], \"prototype\": null");
    EXPECT_NE(r.out.find("\"material_modes\": [\"double\"]"), std::string::npos) << r.out;
}

TEST(PickTool, AnInstancedFaceNamesItsPrototypeLineAndTheInstancingLine) {
    test::TempDir dir;
    const std::string file = dir.Write("proto.rwx",
                                       "ModelBegin\n"                                               // 1
                                       "ProtoBegin pane\n"                                          // 2
                                       "Vertex -0.5 -0.5 0\nVertex 0.5 -0.5 0\nVertex 0.5 0.5 0\n"  // 3-5
                                       "Vertex -0.5 0.5 0\n"                                        // 6
                                       "Quad 1 2 3 4\n"                                             // 7
                                       "ProtoEnd\n"                                                 // 8
                                       "ClumpBegin\n"                                               // 9
                                       "Translate 0 0 0.5\n"                                        // 10
                                       "ProtoInstance pane\n"                                       // 11
                                       "ClumpEnd\n"
                                       "ModelEnd\n");
    const PickRun r = Pick(file, "50,50");
    EXPECT_EQ(Head(r.out), "{\"file\": \"" + file +
                               "\", \"line\": 7, \"clump\": [0], \"prototype\": {\"name\": \"pane\", "
                               "\"line\": 11}");
    EXPECT_NE(r.out.find("\"point\": [0, 0, 0.5]"), std::string::npos) << r.out;
}

TEST(PickTool, AMaskedHoleShowsTheFaceBehindIt) {
    test::TempDir dir;
    dir.Write("leaf.jpg", test::BandsJpeg(16, 16, {{0, 200, 0}}));
    std::vector<uint8_t> mask(16 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) mask[static_cast<std::size_t>(y * 16 + x)] = x < 8 ? 0 : 255;
    dir.Write("leafm.bmp", test::EncodeGreyBmp(16, 16, mask));
    const std::string file = dir.Write("masked.rwx", TwoSquares("Texture leaf Mask leafm\nQuad 1 2 3 4"));
    // Left of the middle the mask is clear: the far square shows through.
    EXPECT_EQ(Head(Pick(file, "40,50").out),
              "{\"file\": \"" + file + "\", \"line\": 8, \"clump\": [0], \"prototype\": null");
    const PickRun right = Pick(file, "60,50");
    EXPECT_EQ(Head(right.out), "{\"file\": \"" + file + "\", \"line\": 16, \"clump\": [0, 0], \"prototype\": null");
    EXPECT_NE(right.out.find("\"texture\": {\"name\": \"leaf.jpg\", \"mask\": \"leafm.bmp\", \"file\": \"" +
                             dir.Join("leaf.jpg") + "\", \"mask_file\": \"" + dir.Join("leafm.bmp") + "\"}"),
              std::string::npos)
        << right.out;
}

TEST(PickTool, AnObjectMapEntryNamesItsLine) {
    test::TempDir dir;
    dir.Write("square.rwx",
              "ClumpBegin\nVertex -1 -1 0\nVertex 1 -1 0\nVertex 1 1 0\nVertex -1 1 0\nQuad 1 2 3 4\nClumpEnd\n");
    const std::string map = dir.Write("scene.txt", "square.rwx 5 5 5\n\nsquare.rwx 0 0 0\n");
    const PickRun r = Pick(map, "50,50");
    EXPECT_EQ(Head(r.out), "{\"file\": \"" + dir.Join("square.rwx") +
                               "\", \"line\": 6, \"clump\": [0], "
                               "\"prototype\": null");
    EXPECT_NE(r.out.find("\"object\": {\"index\": 1, \"name\": \"square.rwx\", \"line\": 3,"), std::string::npos)
        << r.out;
}

TEST(PickTool, BadArgumentsAndFilesAreRefused) {
    test::TempDir dir;
    const std::string file = dir.Write("two.rwx", TwoSquares("Quad 1 2 3 4"));
    EXPECT_EQ(Pick(file, "101,0").status, 2);  // outside the view
    EXPECT_EQ(Pick(file, "5").status, 2);
    EXPECT_EQ(Pick(file, "-1,5").status, 2);
    EXPECT_EQ(Pick(file, "5,5", {"--yaw", "x"}).status, 2);
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"--pick", "1,1"}, out, err), 2);  // no FILE
    const PickRun missing = Pick(dir.Join("missing.rwx"), "1,1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_FALSE(NeedsWindowSystem({"--pick", "1,1", file}));
}

}  // namespace
}  // namespace pelorus
