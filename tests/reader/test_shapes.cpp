// Primitive shape lines read from scripts: what each builds, where, facing which way, under which
// material, and which parameters are refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "testutil.h"

namespace pelorus {
namespace {

using test::LogCapture;
using test::ReadScript;
using Lines = std::vector<std::string>;

// Which way every face of a shape must face, seen from outside.
enum class Outward {
    FromCentre,  // away from the shape's centre
    FromAxis,    // away from its vertical axis
    Up,          // +y
    ToCentre,    // towards the centre (turned inside out)
    ToAxis,      // towards the axis
    Down,        // -y
};

struct Box {
    std::array<double, 3> lo{}, hi{};
};

struct ShapeCase {
    const char* line;
    int64_t triangles;
    int32_t vertices;
    Outward outward;
    Box local;  // the bounds of the shape in its own frame
};

// The shapes as their lines give them, with counts from their formulas: Block 12, Cone n,
// Cylinder 2n, Disc n - 2, Hemisphere 4d(2d - 1), Sphere 8d(2d - 1).
const ShapeCase kShapes[] = {
    {"Block 1 2 3", 12, 24, Outward::FromCentre, {{-0.5, -1, -1.5}, {0.5, 1, 1.5}}},
    {"Cone 2 1 8", 8, 17, Outward::FromAxis, {{-1, 0, -1}, {1, 2, 1}}},
    {"Cone 2 1 8.0", 8, 17, Outward::FromAxis, {{-1, 0, -1}, {1, 2, 1}}},  // a whole number with a point
    {"Cylinder 2 1 0.5 8", 16, 18, Outward::FromAxis, {{-1, 0, -1}, {1, 2, 1}}},
    {"Disc 0.5 1 8", 6, 8, Outward::Up, {{-1, 0.5, -1}, {1, 0.5, 1}}},
    {"Disc -3 1 8", 6, 8, Outward::Up, {{-1, -3, -1}, {1, -3, 1}}},  // a height is a position
    {"Hemisphere 1 2", 24, 26, Outward::FromCentre, {{-1, 0, -1}, {1, 1, 1}}},
    {"Sphere 1 2", 48, 43, Outward::FromCentre, {{-1, -1, -1}, {1, 1, 1}}},
    {"sphere 1 2 tag 7", 48, 43, Outward::FromCentre, {{-1, -1, -1}, {1, 1, 1}}},  // later words ignored
    // As the format's documentation has them: density 0 is a cube or a pyramid, a negative radius
    // turns the shape inside out (a disc: facing down).
    {"Sphere 1.7320508075688772 0", 12, 24, Outward::FromCentre, {{-1, -1, -1}, {1, 1, 1}}},
    {"Hemisphere 1 0", 4, 9, Outward::FromCentre, {{-1, 0, -1}, {1, 1, 1}}},
    {"Sphere -1 2", 48, 43, Outward::ToCentre, {{-1, -1, -1}, {1, 1, 1}}},
    {"Hemisphere -1 2", 24, 26, Outward::ToCentre, {{-1, 0, -1}, {1, 1, 1}}},
    {"Cone 2 -1 8", 8, 17, Outward::ToAxis, {{-1, 0, -1}, {1, 2, 1}}},
    {"Cylinder 2 -1 -0.5 8", 16, 18, Outward::ToAxis, {{-1, 0, -1}, {1, 2, 1}}},
    {"Disc 0.5 -1 8", 6, 8, Outward::Down, {{-1, 0.5, -1}, {1, 0.5, 1}}},
};

TEST(PrimitiveLines, BuildTheirShapeThroughTheTransformUnderTheCurrentMaterial) {
    for (const ShapeCase& c : kShapes) {
        SCOPED_TRACE(c.line);
        LogCapture log;
        // One vertex first (so the shape's numbers must start after it), a prelight colour for
        // the shape to take, a red material, and a transform: scaled by 2, then moved.
        const auto o = ReadScript(std::string("ClumpBegin\nVertex 9 9 9 Prelight 0.5 0.25 0\nColor 1 0 0\n"
                                              "Translate 10 20 30\nScale 2 2 2\n") +
                                      c.line + "\nClumpEnd\n",
                                  log);
        EXPECT_TRUE(log.Lines().empty());
        const TClump& clump = *o->Clumps().at(0);
        ASSERT_EQ(clump.VertexCount(), c.vertices + 1);
        ASSERT_EQ(clump.Batches().size(), 1u);
        const MatTris& batch = *clump.Batches()[0];
        EXPECT_EQ(batch.Material().color, (RGB{1, 0, 0}));
        EXPECT_EQ(batch.TriangleCount(), c.triangles);
        EXPECT_EQ(batch.FaceNormals().size(), static_cast<std::size_t>(c.triangles));  // facet lit by default
        EXPECT_EQ(o->FacesRead(), c.triangles);

        const std::array<double, 3> centre{10, 20, 30};
        Box seen{{1e300, 1e300, 1e300}, {-1e300, -1e300, -1e300}};
        for (int32_t i = 1; i < clump.VertexCount(); ++i) {
            const TVertex& v = *clump.GetVertex(i);
            const double p[3] = {v.x, v.y, v.z};
            for (std::size_t k = 0; k < 3; ++k) {
                seen.lo[k] = std::min(seen.lo[k], p[k]);
                seen.hi[k] = std::max(seen.hi[k], p[k]);
            }
            EXPECT_EQ(v.r, 0.5);
            EXPECT_EQ(v.g, 0.25);
        }
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR(seen.lo[k], centre[k] + 2 * c.local.lo[k], 1e-9) << k;
            EXPECT_NEAR(seen.hi[k], centre[k] + 2 * c.local.hi[k], 1e-9) << k;
        }

        for (const TTriangle& t : batch.Triangles()) {
            ASSERT_TRUE(t[0] >= 1 && t[1] >= 1 && t[2] >= 1) << "the first vertex is not the shape's";
            const TVertex& a = *clump.GetVertex(t[0]);
            const TVertex& b = *clump.GetVertex(t[1]);
            const TVertex& d = *clump.GetVertex(t[2]);
            const Vec3 n = FaceNormal(a, b, d);
            const double mid[3] = {(a.x + b.x + d.x) / 3, (a.y + b.y + d.y) / 3, (a.z + b.z + d.z) / 3};
            double away = 0;
            switch (c.outward) {
                case Outward::FromCentre:
                    away = n.x * (mid[0] - centre[0]) + n.y * (mid[1] - centre[1]) + n.z * (mid[2] - centre[2]);
                    break;
                case Outward::FromAxis:
                    away = n.x * (mid[0] - centre[0]) + n.z * (mid[2] - centre[2]);
                    break;
                case Outward::Up:
                    away = n.y;
                    break;
                case Outward::ToCentre:
                    away = -(n.x * (mid[0] - centre[0]) + n.y * (mid[1] - centre[1]) + n.z * (mid[2] - centre[2]));
                    break;
                case Outward::ToAxis:
                    away = -(n.x * (mid[0] - centre[0]) + n.z * (mid[2] - centre[2]));
                    break;
                case Outward::Down:
                    away = -n.y;
                    break;
            }
            EXPECT_GT(away, 0) << "triangle " << t[0] << "," << t[1] << "," << t[2] << " faces inwards";
        }
    }
}

TEST(PrimitiveLines, LightSamplingAndNormalsAreThoseOfAnyFace) {
    const auto o = ReadScript("ClumpBegin\nLightSampling Vertex\nSphere 1 3\nClumpEnd\n");
    const TClump& clump = *o->Clumps().at(0);
    const MatTris& batch = *clump.Batches().at(0);
    EXPECT_TRUE(batch.FaceNormals().empty());
    // Finalised like any top-level clump: unit normals pointing out of the sphere.
    for (const TVertex& v : clump.Vertices()) {
        EXPECT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1, 1e-9);
        EXPECT_GT(v.nx * v.x + v.ny * v.y + v.nz * v.z, 0);
    }
}

TEST(PrimitiveLines, ParametersOutOfRangeAreRejectedWithTheLineAndTheReasonAndBuildNothing) {
    struct Case {
        const char* line;
        const char* why;
    };
    const Case bad[] = {
        {"Block 1 2", "(3 numbers needed, 2 given)"},
        {"Block 1 -2 3", "(a size below zero)"},
        {"Block a b c", "(\"a\" is not a number)"},
        {"Cone 1 1 2", "(2 segments: 3 to 65536 allowed)"},
        {"Cone 1 1 3.5", "(\"3.5\" is not a whole number)"},
        {"Cone -1 1 8", "(a size below zero)"},
        {"Cone 1 1", "(3 numbers needed, 2 given)"},
        {"Cylinder 1 1 1 2", "(2 segments: 3 to 65536 allowed)"},
        {"Cylinder -1 1 1 8", "(a size below zero)"},
        {"Cylinder 1 1 1 65537", "(65537 segments: 3 to 65536 allowed)"},
        {"Cylinder 1 1 1 1e10", "(1e10 segments: 3 to 65536 allowed)"},
        {"Disc 0 1 2", "(2 segments: 3 to 65536 allowed)"},
        {"Disc 0 1 -8", "(-8 segments: 3 to 65536 allowed)"},
        {"Hemisphere 1 -1", "(-1 divisions: 0 to 256 allowed)"},
        {"Hemisphere 1 257", "(257 divisions: 0 to 256 allowed)"},
        {"Sphere -1e999 4", "(\"-1e999\" is out of range)"},
        {"Sphere 1 x", "(\"x\" is not a number)"},
        {"Sphere 1", "(2 numbers needed, 1 given)"},
        {"Sphere 1 2.5", "(\"2.5\" is not a whole number)"},
        {"Sphere 1 -2147483649", "(-2147483649 divisions: 0 to 256 allowed)"},
        {"Sphere 1e999 4", "(\"1e999\" is out of range)"},
    };
    for (const auto& [line, why] : bad) {
        LogCapture log;
        const auto o = ReadScript(std::string("ClumpBegin\n") + line + "\nClumpEnd\n", log);
        EXPECT_EQ(log.Lines(), Lines{std::string("  Clump:Invalid / Unknown command : \"") + line + "\" " + why})
            << line;
        EXPECT_EQ(o->Clumps().at(0)->VertexCount(), 0) << line;
        EXPECT_EQ(o->CountTriangles(), 0) << line;
    }
}

TEST(PrimitiveLines, OutsideClumpsAreAcceptedAndIgnoredAndInsidePrototypesAreInstanced) {
    LogCapture log;
    const auto o = ReadScript(
        "Sphere 1 2\nBlock -1 2 3\n"
        "ProtoBegin ball\nSphere 1 2\nProtoEnd\n"
        "ClumpBegin\nProtoInstance ball\nTranslate 5 0 0\nProtoInstance ball\nClumpEnd\n",
        log);
    EXPECT_TRUE(log.Lines().empty());
    ASSERT_EQ(o->Clumps().size(), 1u);
    EXPECT_EQ(o->Clumps()[0]->CountTriangles(), 2 * 48);
    EXPECT_EQ(o->Prototypes().at(0)->CountTriangles(), 48);
}

}  // namespace
}  // namespace pelorus
