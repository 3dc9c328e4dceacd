// The arithmetic of drawing, checked without any OpenGL context: camera, projection, backdrop,
// animation clock, depth sorting and the scene's transparent lists.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "reader/backdrop.h"
#include "scene/culling.h"
#include "scene/framing.h"
#include "scene/objectmap.h"
#include "scene/translucent.h"
#include "scene/viewmath.h"
#include "testutil.h"

namespace pelorus::test {
namespace {

constexpr double kEps = 1e-9;

void ExpectPoint(const Vec4& got, double x, double y, double z) {
    EXPECT_NEAR(got.x, x, kEps);
    EXPECT_NEAR(got.y, y, kEps);
    EXPECT_NEAR(got.z, z, kEps);
}

TEST(CameraMatrix, OrbitsTheOriginOfTheWorld) {
    const struct {
        const char* what;
        Camera camera;
        Vec4 point;
        Vec4 eye;
    } cases[] = {
        {"origin straight ahead", {0, 0, 0, 1.5}, {0, 0, 0, 1}, {0, 0, -1.5, 1}},
        {"height lifts the eye", {0, 0, 0.5, 2}, {0, 0.5, 0, 1}, {0, 0, -2, 1}},
        {"yaw 90 brings +x in front", {90, 0, 0, 1}, {1, 0, 0, 1}, {0, 0, -2, 1}},
        {"pitch 90 looks down on +y", {0, 90, 0, 1}, {0, 1, 0, 1}, {0, 0, 0, 1}},
        {"negative distance puts the eye behind", {0, 0, 0, -1}, {0, 0, 0, 1}, {0, 0, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Vec4 got = Transform(CameraMatrix(c.camera), c.point);
        ExpectPoint(got, c.eye.x, c.eye.y, c.eye.z);
    }
}

TEST(CameraMatrix, SkyboxKeepsTheTurnsAndDropsTheMoves) {
    const Camera near{30, -20, 0, 1.5};
    const Camera far{30, -20, 3, 12};
    EXPECT_EQ(SkyboxMatrix(near), SkyboxMatrix(far));
    // The skybox sees a direction as the camera does.
    const Vec4 dir{0.3, 0.4, -1, 0};
    const Vec4 a = Transform(SkyboxMatrix(near), dir), b = Transform(CameraMatrix(far), dir);
    ExpectPoint(a, b.x, b.y, b.z);
}

TEST(Projection, ClipsNearerThanTheNearPlaneAndFartherThanTheFarPlane) {
    const Mat4 projection = ViewerProjection(64, 64);
    const Mat4 identity = IdentityMatrix();
    const struct {
        double z;
        bool visible;
    } cases[] = {{-0.0005, false}, {-0.002, true}, {-1.5, true}, {-39.9, true}, {-40.1, false}, {1, false}};
    for (const auto& c : cases)
        EXPECT_EQ(ProjectToScreen(projection, identity, 0, 0, c.z, 64, 64).visible, c.visible) << "z " << c.z;
    const ScreenPoint centre = ProjectToScreen(projection, identity, 0, 0, -3, 64, 64);
    EXPECT_NEAR(centre.x, 32, kEps);
    EXPECT_NEAR(centre.y, 32, kEps);
    // 50 degrees vertically: a point at 25 degrees above the axis lands on the top edge.
    const ScreenPoint top = ProjectToScreen(projection, identity, 0, std::tan(25 * std::numbers::pi / 180), -1, 64, 64);
    EXPECT_NEAR(top.y, 0, 1e-6);
}

TEST(Projection, ZeroHeightLeavesTheIdentity) {
    EXPECT_EQ(ViewerProjection(100, 0), IdentityMatrix());
    EXPECT_EQ(PerspectiveMatrix(50, 1, 0, 40), IdentityMatrix());
}

TEST(BackdropQuad, ScrollsOneImagePerTurnAndSitsOnTheHorizon) {
    const auto at0 = BackdropQuad(400, 300, 200, 100, 0, 0);
    const auto at180 = BackdropQuad(400, 300, 200, 100, 180, 0);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(at180[i].s - at0[i].s, 0.5) << "corner " << i;
        EXPECT_DOUBLE_EQ(at180[i].x, at0[i].x);
    }
    // Image pixels at their own size: the window is 2 images wide.
    EXPECT_DOUBLE_EQ(at0[2].s - at0[1].s, 2.0);
    EXPECT_DOUBLE_EQ(at0[1].y, 0.0) << "bottom edge on the centre line at pitch 0";
    EXPECT_DOUBLE_EQ(at0[0].y, 100.0);
    EXPECT_DOUBLE_EQ(at0[0].t, 0.0) << "top row of the image at the top";
    EXPECT_DOUBLE_EQ(BackdropQuad(400, 300, 200, 100, 0, 45)[1].y, 300.0) << "45 degrees move one window height";
    const auto empty = BackdropQuad(400, 300, 0, 100, 10, 0);
    for (const auto& c : empty) EXPECT_TRUE(std::isfinite(c.s));
}

TEST(AnimationFrame, AdvancesOneFramePer200Milliseconds) {
    const struct {
        int64_t ms;
        int32_t frames, expected;
    } cases[] = {{0, 4, 0},
                 {199, 4, 0},
                 {200, 4, 1},
                 {799, 4, 3},
                 {800, 4, 0},
                 {-1, 4, 3},
                 {-200, 4, 3},
                 {-201, 4, 2},
                 {12345, 1, 0},
                 {12345, 0, 0},
                 {12345, -3, 0},
                 {std::numeric_limits<int64_t>::max(), 7,
                  static_cast<int32_t>((std::numeric_limits<int64_t>::max() / 200) % 7)}};
    for (const auto& c : cases) EXPECT_EQ(AnimationFrame(c.ms, c.frames), c.expected) << c.ms << " ms, " << c.frames;
}

TEST(BackdropFileName, AppendsJpgOnlyWithoutExtension) {
    const struct {
        const char* name;
        const char* file;
    } cases[] = {
        {"sky", "sky.jpg"}, {"sky.jpg", "sky.jpg"}, {"sky.png", "sky.png"}, {".sky", ".sky.jpg"}, {"", ".jpg"}};
    for (const auto& c : cases) EXPECT_EQ(BackdropFileName(c.name), c.file);
}

std::string PngText(int w, int h, PngFile::Colour colour, uint8_t value) {
    PngFile layout;
    layout.width = w;
    layout.height = h;
    layout.colour = colour;
    const int channels = colour == PngFile::Rgba ? 4 : colour == PngFile::Rgb ? 3 : 1;
    layout.rows.assign(static_cast<std::size_t>(h),
                       std::vector<uint8_t>(static_cast<std::size_t>(w * channels), value));
    const std::vector<uint8_t> bytes = WritePng(layout);
    return std::string(bytes.begin(), bytes.end());
}

TEST(ReadBackdropImage, DecodesByContentAndReportsWhatItCannotRead) {
    TempDir dir;
    dir.Write("sky.jpg", BandsJpeg(24, 8, {{10, 20, 30}}));
    dir.Write("pngsky.jpg", PngText(6, 2, PngFile::Rgba, 0));  // a PNG under a JPEG name
    dir.Write("dusk.bmp", EncodeGreyBmp(4, 3, std::vector<uint8_t>(12, 90)));
    dir.Write("onlypng.png", PngText(5, 5, PngFile::Rgb, 7));
    dir.Write("both.jpg", BandsJpeg(16, 8, {{1, 2, 3}}));
    dir.Write("both.png", PngText(2, 2, PngFile::Rgb, 7));
    dir.Write("bad.jpg", std::string("\xFF\xD8\xFF", 3) + "not really");
    dir.Write("bad.png", PngText(2, 2, PngFile::Rgb, 7));  // not looked at: bad.jpg was found
    dir.Write("notes.png", "just some text");
    std::string deep = EncodeGreyBmp(8, 8, std::vector<uint8_t>(64, 90));
    deep[28] = 16;  // bits per pixel
    dir.Write("deep.bmp", deep);
    dir.Write("sub/low.jpg", BandsJpeg(8, 8, {{1, 2, 3}}));
    const std::vector<uint8_t> cmyk = EncodeJpegBytes(8, 8, 4, std::vector<uint8_t>(256, 9));
    dir.Write("cmyk.jpg", std::string(cmyk.begin(), cmyk.end()));
    // Beside the folder searched, where a name climbing out of it would find it.
    const TempDir other;
    other.Write("outside.jpg", BandsJpeg(8, 8, {{1, 2, 3}}));
    const std::string climbing = "../" + std::string(FileNamePart(other.Path())) + "/outside.jpg";
    const std::string absolute = other.Join("outside.jpg");
    const std::string leads = " (the name leads out of the texture folders).";
    const struct {
        const char* name;
        int width, height;  // 0 x 0 when nothing is read
        const char* error;  // "" for none
    } cases[] = {
        {"sky", 24, 8, ""},
        {"pngsky.jpg", 6, 2, ""},
        {"dusk.bmp", 4, 3, ""},
        {"onlypng", 5, 5, ""},
        {"both", 16, 8, ""},
        {"bad", 0, 0, "Couldn't read texture backdrop \"bad.jpg\"."},
        {"notes.png", 0, 0, "Couldn't read texture backdrop \"notes.png\"."},
        {"deep.bmp", 0, 0, "Couldn't read texture backdrop \"deep.bmp\" (16-bit BMP is not supported)."},
        {"none", 0, 0, "Couldn't open texture backdrop \"none.jpg\"."},
        {"onlypng.jpg", 0, 0, "Couldn't open texture backdrop \"onlypng.jpg\"."},
        {"sub/low", 8, 8, ""},
        {"cmyk", 0, 0, "Couldn't read texture backdrop \"cmyk.jpg\" (CMYK JPEG is not supported)."},
    };
    const ReadOptions options = TexturesFrom(dir.Path());
    for (const auto& c : cases) {
        LogCapture log;
        const auto image = ReadBackdropImage(c.name, log, options);
        EXPECT_EQ(image ? image->width : 0, c.width) << c.name;
        EXPECT_EQ(image ? image->height : 0, c.height) << c.name;
        if (image) {
            EXPECT_EQ(image->pixels.size(), static_cast<std::size_t>(c.width * c.height * 4)) << c.name;
        }
        EXPECT_EQ(log.Lines(), *c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{}) << c.name;
    }
    for (const std::string& name : {climbing, absolute}) {
        LogCapture log;
        EXPECT_FALSE(ReadBackdropImage(name, log, options)) << name;
        EXPECT_EQ(log.Lines(), std::vector<std::string>{"Couldn't open texture backdrop \"" + name + "\"" + leads});
    }
    // The file read is told, also when it could not be used: no output may replace it.
    LogCapture log;
    for (const auto& [name, read] : {std::pair<std::string, std::string>{"bad", dir.Join("bad.jpg")},
                                     {"both", dir.Join("both.jpg")},
                                     {"none", ""}}) {
        std::string file;
        ReadBackdropImage(name, log, options, &file);
        EXPECT_EQ(file, read) << name;
    }
}

TEST(ReadWorldModel, WorldWithoutModelNameReadsNothing) {
    LogCapture log;
    EXPECT_EQ(ReadWorldModel("models/.rwx", kSkyboxOffset, log, NoTextures()), nullptr);
    EXPECT_EQ(ReadWorldModel("/some/path/models\\.rwx", kSkyboxOffset, log, NoTextures()), nullptr);
    EXPECT_TRUE(log.Lines().empty());
    const auto missing = ReadWorldModel("/nonexistent/models/sky.rwx", kSkyboxOffset, log, NoTextures());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->Offset(), kSkyboxOffset);
    EXPECT_EQ(missing->CountTriangles(), 0);
    EXPECT_EQ(log.Lines().size(), 1u) << "the reader reports the missing script";
}

// ---- Depth and sorting -------------------------------------------------------------------------

std::string Pane(double z, const char* extra = "") {
    const std::string zs = std::to_string(z);
    return std::string("ModelBegin\nClumpBegin\nOpacity 0.5\n") + extra + "\nVertex -0.1 -0.1 " + zs +
           "\nVertex 0.1 -0.1 " + zs + "\nVertex 0.1 0.1 " + zs + "\nTriangle 1 2 3\nClumpEnd\nModelEnd\n";
}

TEST(ComputeDepths, UsesEachObjectsOffsetAndTheCamera) {
    ErrorLog log;
    auto a = RWXObject::FromText(Pane(0), 0, 0, -2, log, NoTextures());
    auto b = RWXObject::FromText(Pane(-1), 0, 0, 0.5, log, NoTextures());
    TranslucentList list;
    AppendTranslucent(list, *a, PlacedAt(a->Offset()), false);
    AppendTranslucent(list, *b, PlacedAt(b->Offset()), true);
    ASSERT_EQ(list.records.size(), 2u);
    EXPECT_EQ(list.records[0].source, 0);
    EXPECT_EQ(list.records[1].source, 1);
    EXPECT_FALSE(list.records[0].fromGround);
    EXPECT_TRUE(list.records[1].fromGround);

    const Camera camera{0, 0, 0, 1.5};
    ComputeDepths(list, CameraMatrix(camera), camera.yaw);
    EXPECT_NEAR(list.records[0].depth, -3.5, kEps);
    EXPECT_NEAR(list.records[1].depth, -2.0, kEps);

    // Seen from the other side the order flips.
    const Camera behind{180, 0, 0, 1.5};
    ComputeDepths(list, CameraMatrix(behind), behind.yaw);
    EXPECT_NEAR(list.records[0].depth, 0.5, kEps);
    EXPECT_NEAR(list.records[1].depth, -1.0, kEps);
}

TEST(ComputeDepths, AlignedBatchesTurnWithTheCamera) {
    ErrorLog log;
    // A pane off to the side, at x = 1: turned with the camera it keeps its depth.
    auto o = RWXObject::FromText(
        "ModelBegin\nClumpBegin\nOpacity 0.5\nAxisAlignment ZOrientY\n"
        "Vertex 1 0 0\nVertex 1.1 0 0\nVertex 1 0.1 0\nTriangle 1 2 3\nClumpEnd\nModelEnd\n",
        0, 0, 0, log, NoTextures());
    TranslucentList list;
    AppendTranslucent(list, *o, PlacedAt(o->Offset()), false);
    ASSERT_EQ(list.records.size(), 1u);
    for (const double yaw : {0.0, 60.0, 135.0}) {
        const Camera camera{yaw, 0, 0, 1.5};
        ComputeDepths(list, CameraMatrix(camera), yaw);
        EXPECT_NEAR(list.records[0].depth, -1.5, kEps) << "yaw " << yaw;
    }
}

TEST(SortBackToFront, PutsTheFarthestFirstAndCopesWithNaN) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<TTranslucentTriangle> records;
    const double depths[] = {-1, nan, -5, -3, nan, -2, -4, nan, -0.5, 0.25, -1e300, 1e300};
    for (int i = 0; i < 200; ++i)
        for (const double d : depths) {
            TTranslucentTriangle t;
            t.depth = d;
            t.triangle = i;
            records.push_back(t);
        }
    std::vector<uint32_t> order{7, 7, 7};
    SortBackToFront(records, order);
    ASSERT_EQ(order.size(), records.size());
    std::vector<bool> seen(records.size());
    for (const uint32_t i : order) {
        ASSERT_LT(i, records.size());
        EXPECT_FALSE(seen[i]) << "index " << i << " twice";
        seen[i] = true;
    }
    for (std::size_t i = 0; i < 600; ++i) EXPECT_TRUE(std::isnan(records[order[i]].depth)) << i;
    for (std::size_t i = 601; i < order.size(); ++i)
        ASSERT_LE(records[order[i - 1]].depth, records[order[i]].depth) << i;
    EXPECT_EQ(records[order[600]].depth, -1e300);
    EXPECT_EQ(records[order.back()].depth, 1e300);
}

TEST(TriangleDepth, IndexOutsideTheBatchIsNaN) {
    ErrorLog log;
    auto o = RWXObject::FromText(Pane(0), 0, 0, 0, log, NoTextures());
    const TClump& clump = *o->Clumps().at(0);
    const MatTris& batch = *clump.Batches().at(0);
    const DepthRow row = DepthRowOf(IdentityMatrix(), Placement{}, 0, false);
    EXPECT_EQ(TriangleDepth(clump, batch, 0, row), 0);
    EXPECT_TRUE(std::isnan(TriangleDepth(clump, batch, 1, row)));
    EXPECT_TRUE(std::isnan(TriangleDepth(clump, batch, -1, row)));
}

struct FacingCase {
    const char* name;
    const char* material;
    Vec3 eye;
    bool culled;
};

TEST(FacesAway, OnlySingleSidedFacesSeenFromBehind) {
    // Pane(0, ...) is counter-clockwise seen from +z.
    const FacingCase cases[] = {
        {"SeenFromTheFront", "", {0.3, 0.2, 5}, false},
        {"SeenFromBehind", "", {0.3, 0.2, -5}, true},
        {"DoubleSeenFromBehind", "MaterialModes Double", {0, 0, -5}, false},
        {"AlignedSeenFromBehind", "AxisAlignment ZOrientY", {0, 0, -5}, false},
        {"EdgeOn", "", {5, 0, 0}, false},
        {"WithinRoundingOfEdgeOn", "", {5, 0, -1e-9}, false},
    };
    ErrorLog log;
    for (const FacingCase& c : cases) {
        auto o = RWXObject::FromText(Pane(0, c.material), 0, 0, 0, log, NoTextures());
        const TClump& clump = *o->Clumps().at(0);
        const MatTris& batch = *clump.Batches().at(0);
        EXPECT_EQ(FacesAway(clump, batch, 0, c.eye), c.culled) << c.name;
        EXPECT_FALSE(FacesAway(clump, batch, 1, c.eye)) << c.name << ": index outside the batch";
        EXPECT_FALSE(FacesAway(clump, batch, -1, c.eye)) << c.name << ": negative index";
    }
    auto line = RWXObject::FromText(
        "ModelBegin\nClumpBegin\nOpacity 0.5\nVertex 0 0 0\nVertex 1 0 0\nVertex 2 0 0\nTriangle 1 2 3\n"
        "ClumpEnd\nModelEnd\n",
        0, 0, 0, log, NoTextures());
    const TClump& clump = *line->Clumps().at(0);
    ASSERT_EQ(clump.Batches().size(), 1u);
    ASSERT_EQ(clump.Batches()[0]->TriangleCount(), 1);
    EXPECT_FALSE(FacesAway(clump, *clump.Batches()[0], 0, {0, -5, -5})) << "collinear corners";
}

TEST(EyeOf, IsWhereTheCameraStands) {
    for (const Camera& camera : {Camera{0, 0, 0, 1.5}, Camera{135, 30, 2, 7}, Camera{-40, -80, -1, 0.25, 3, -2, 9}}) {
        Vec3 eye{1e9, 1e9, 1e9};
        ASSERT_TRUE(EyeOf(CameraMatrix(camera), eye));
        const Vec3 expected = EyePosition(camera);
        EXPECT_NEAR(eye.x, expected.x, 1e-9);
        EXPECT_NEAR(eye.y, expected.y, 1e-9);
        EXPECT_NEAR(eye.z, expected.z, 1e-9);
    }
    Mat4 flat = IdentityMatrix();
    flat[10] = 0;
    Vec3 eye{4, 5, 6};
    EXPECT_FALSE(EyeOf(flat, eye));
    EXPECT_EQ(eye, (Vec3{4, 5, 6})) << "left as it was";
}

// ---- The scene's lists -------------------------------------------------------------------------

const std::string kSquareLines = "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\n";

TEST(TranslucentList, FollowsBatchOrderThenChildren) {
    auto o = ReadScript("ClumpBegin\n" + kSquareLines +
                        "Opacity 0.5\nTriangle 1 2 3\nOpacity 1\nTriangle 1 3 4\nOpacity 0.2\nTriangle 2 3 4\n"
                        "ClumpBegin\n" +
                        kSquareLines + "Opacity 0.3\nTriangle 1 2 3\nClumpEnd\nClumpEnd");
    TranslucentList list;
    AppendTranslucent(list, *o, PlacedAt(o->Offset()), false);
    ASSERT_EQ(list.records.size(), 3u);
    const TClump& c = *o->Clumps()[0];
    EXPECT_EQ(list.records[0].batch, c.Batches()[0].get());
    EXPECT_EQ(list.records[1].batch, c.Batches()[2].get());
    EXPECT_EQ(list.records[2].batch, c.Children()[0]->Batches()[0].get());
    EXPECT_EQ(list.records[2].clump, c.Children()[0].get());
    EXPECT_EQ(o->CountTranslucentTriangles(), 3);
}

// What a drawing read, so that no screenshot replaces it: every model's files once, however
// many objects place it, then the ground's and the skybox's.
TEST(TObjectMap, FilesReadListEveryModelOnceWithGroundAndSkybox) {
    TempDir dir;
    dir.Write("wood.jpg", BandsJpeg(8, 8, {{1, 2, 3}}));
    dir.Write("grass.png", PngText(2, 2, PngFile::Rgb, 7));
    const std::string square = "ClumpBegin\n" + kSquareLines + "Quad 1 2 3 4\nClumpEnd\n";
    ErrorLog log;
    const ReadOptions textures = TexturesFrom(dir.Path());
    std::shared_ptr<const RWXObject> crate =
        RWXObject::FromText("Texture wood\n" + square, 0, 0, 0, log, textures, dir.Join("crate.rwx"));
    SceneObjects objects;
    const uint32_t model = objects.AddModel(crate, "crate.rwx");
    for (const double x : {0.0, 1.0}) {
        PlacedObject o;
        o.model = model;
        o.placement = PlacedAt({x, 0, 0});
        objects.SetText(o, "crate.rwx");
        objects.objects.push_back(o);
    }
    TObjectMap scene(std::move(objects));
    (void)scene.SetGround(RWXObject::FromText("Texture grass.png\n" + square, 0, 0, 0, log, textures, "g.rwx"));
    (void)scene.SetSkybox(RWXObject::FromText("Texture wood\n" + square, 0, 0, 0, log, textures, "sky.rwx"));
    EXPECT_EQ(SceneFilesRead(scene), (std::vector<std::string>{dir.Join("crate.rwx"), dir.Join("wood.jpg"), "g.rwx",
                                                               dir.Join("grass.png"), "sky.rwx"}));
}

TEST(TObjectMap, TranslucentListHoldsObjectsInOrderThenTheGround) {
    ErrorLog log;
    std::vector<std::unique_ptr<RWXObject>> objects;
    objects.push_back(RWXObject::FromText(Pane(0), 0, 0, 0, log, NoTextures()));
    objects.push_back(nullptr);
    objects.push_back(RWXObject::FromText(Pane(1), 1, 0, 0, log, NoTextures()));
    TObjectMap scene(std::move(objects));
    EXPECT_EQ(scene.ObjectCount(), 2u);
    ASSERT_EQ(scene.Translucent().records.size(), 2u);

    (void)scene.SetGround(RWXObject::FromText(Pane(3), 0, 0, 0, log, NoTextures()));
    const auto& list = scene.Translucent();
    ASSERT_EQ(list.records.size(), 3u);
    EXPECT_EQ(list.sources.at(static_cast<std::size_t>(list.records[0].source)).object, &scene.Object(0));
    EXPECT_EQ(list.sources.at(static_cast<std::size_t>(list.records[1].source)).object, &scene.Object(1));
    EXPECT_EQ(list.sources.at(static_cast<std::size_t>(list.records[1].source)).placement.position,
              (std::array<double, 3>{1, 0, 0}));
    EXPECT_EQ(list.sources.at(static_cast<std::size_t>(list.records[2].source)).object, scene.Ground());
    EXPECT_TRUE(list.records[2].fromGround);
    EXPECT_FALSE(list.records[0].fromGround || list.records[1].fromGround);

    // A ground without triangles is dropped, and its records go with the old ground.
    (void)scene.SetGround(RWXObject::FromText("ModelBegin\nModelEnd\n", 0, 0, 0, log, NoTextures()));
    EXPECT_EQ(scene.Ground(), nullptr);
    EXPECT_EQ(scene.Translucent().records.size(), 2u);
}

TEST(TObjectMap, SkyboxHasItsOwnList) {
    ErrorLog log;
    TObjectMap scene;
    (void)scene.SetSkybox(RWXObject::FromText(Pane(0), 0, -0.1, 0, log, NoTextures()));
    ASSERT_NE(scene.Skybox(), nullptr);
    EXPECT_TRUE(scene.Translucent().records.empty());
    ASSERT_EQ(scene.SkyboxTranslucent().records.size(), 1u);
    EXPECT_FALSE(scene.SkyboxTranslucent().records[0].fromGround);
    (void)scene.SetSkybox(nullptr);
    EXPECT_TRUE(scene.SkyboxTranslucent().records.empty());
}

TEST(TObjectMap, FromFileTakesARelativeMapFromTheBaseFolder) {
    ErrorLog log;
    TempDir dir;
    dir.Write("pane.rwx", Pane(0));
    dir.Write("map.txt", "pane.rwx 0 0 -1\npane.rwx 1 2 3\n");
    ReadOptions options = NoTextures();
    options.baseFolder = dir.Path();
    const auto scene = TObjectMap::FromFile("map.txt", log, options);
    ASSERT_EQ(scene->ObjectCount(), 2u);
    EXPECT_EQ(scene->PlacementOf(1).position, (std::array<double, 3>{1, 2, 3}));
    EXPECT_EQ(&scene->Object(0), &scene->Object(1)) << "one script named twice is read once";
    EXPECT_EQ(scene->Translucent().records.size(), 2u);
    EXPECT_TRUE(log.Lines().empty());
}

// A map named by its whole path (as a dropped file is) finds its entries beside it, whatever
// folder is current and whatever base folder the caller gives.
TEST(TObjectMap, EntriesOfAMapAreTakenFromTheMapsOwnFolder) {
    ErrorLog log;
    TempDir dir, elsewhere;
    dir.Write("maps/pane.rwx", Pane(0));
    dir.Write("maps/map.txt", "pane.rwx 0 0 -1\n");
    ReadOptions options = NoTextures();
    options.baseFolder = elsewhere.Path();
    const auto scene = TObjectMap::FromFile(dir.Join("maps/map.txt"), log, options);
    ASSERT_EQ(scene->ObjectCount(), 1u);
    EXPECT_EQ(scene->Object(0).CountTriangles(), 1);
    EXPECT_TRUE(log.Lines().empty());
}

// ---- What can be seen ----------------------------------------------------------------------

TEST(Culling, FrustumPlanesOfTheViewersCamera) {
    Camera camera;  // the eye 1.5 units in front of the origin, looking at it
    const Frustum f = FrustumOf(ViewerProjection(100, 100), CameraMatrix(camera));
    const struct {
        Sphere sphere;
        bool seen;
    } cases[] = {
        {{{0, 0, 0}, 0.1}, true},      // in the middle
        {{{0, 0, 5}, 0.1}, false},     // behind the eye
        {{{0, 0, -50}, 0.1}, false},   // beyond the far plane
        {{{0.9, 0, 0}, 0.1}, false},   // right of the view (half-width 0.6995 at that depth)
        {{{0.9, 0, 0}, 0.25}, true},   // ... but reaching into it
        {{{0, -0.9, 0}, 0.25}, true},  // below, reaching in
        {{{0, 0, 0}, -1}, false},      // nothing to bound
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.MayHold(c.sphere), c.seen)
            << c.sphere.centre.x << " " << c.sphere.centre.y << " " << c.sphere.centre.z << " r " << c.sphere.radius;
    // A matrix that is not finite leaves planes without a normal: they bound nothing.
    Mat4 broken = IdentityMatrix();
    broken[0] = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(FrustumOf(broken, IdentityMatrix()).MayHold({{0, 0, 0}, 0.1}));
}

TEST(Culling, EyeDistanceAndFog) {
    Camera camera;
    camera.yaw = 30;
    camera.pitch = 20;
    camera.distance = 4;
    camera.targetX = 1;
    const Mat4 view = CameraMatrix(camera);
    const Vec3 eye = EyeOf(view);
    const Vec4 back = Transform(view, {eye.x, eye.y, eye.z, 1});
    EXPECT_NEAR(back.x, 0, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);
    EXPECT_NEAR(back.z, 0, 1e-9);

    const Sphere target{{1, 0, 0}, 0.5};  // 4 units from the eye: nearest point 3.5
    EXPECT_FALSE(IsBeyond(target, eye, 3.6));
    EXPECT_TRUE(IsBeyond(target, eye, 3.4));
    EXPECT_FALSE(IsBeyond(target, eye, kDrawEverything));
    EXPECT_FALSE(IsBeyond(target, eye, 0)) << "0 draws everything";
    EXPECT_FALSE(IsFoggedOut(target, view, 3.6));
    EXPECT_TRUE(IsFoggedOut(target, view, 3.4));
    EXPECT_FALSE(IsFoggedOut(target, view, 0)) << "no fog";
}

TEST(Culling, BoundingSpheresHoldEveryVertexAlignedOnesAroundTheOrigin) {
    auto plain = ReadScript("ClumpBegin\nVertex 1 0 0\nVertex 3 0 0\nVertex 1 2 0\nTriangle 1 2 3\nClumpEnd\n");
    const Sphere s = BoundingSphereOf(*plain);
    EXPECT_NEAR(s.centre.x, 2, 1e-12);
    EXPECT_NEAR(s.centre.y, 1, 1e-12);
    EXPECT_NEAR(s.radius, std::sqrt(2.0), 1e-12);
    // A facer turns about the object's origin: its sphere is centred there.
    auto facer = ReadScript(
        "ClumpBegin\nAxisAlignment ZOrientY\nVertex 1 0 0\nVertex 3 0 0\nVertex 1 2 0\n"
        "Triangle 1 2 3\nClumpEnd\n");
    const Sphere f = BoundingSphereOf(*facer);
    EXPECT_EQ(f.centre, (Vec3{0, 0, 0}));
    EXPECT_NEAR(f.radius, 3, 1e-12);
    EXPECT_TRUE(BoundingSphereOf(*ReadScript("")).Empty());
    // Placed in a scene, the offset moves it.
    std::vector<std::unique_ptr<RWXObject>> objects;
    ErrorLog log;
    objects.push_back(
        RWXObject::FromText("ClumpBegin\nVertex 1 0 0\nVertex 3 0 0\nVertex 1 2 0\nTriangle 1 2 3\n"
                            "ClumpEnd\n",
                            10, 0, 0, log, NoTextures()));
    TObjectMap scene(std::move(objects));
    EXPECT_NEAR(scene.SphereOf(0).centre.x, 12, 1e-12);
}

}  // namespace
}  // namespace pelorus::test
