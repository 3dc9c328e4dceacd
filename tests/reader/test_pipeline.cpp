// Reading ahead on a second thread must give exactly what reading line by line gives.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "testutil.h"

namespace pelorus {
namespace {

// Everything a read produced, as text (doubles by their bits).
std::string Describe(const RWXObject& o, const std::vector<std::string>& errors) {
    std::ostringstream out;
    for (const auto& e : errors) out << "E " << e << "\n";
    auto bits = [&](double d) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        out << u << ' ';
    };
    auto clump = [&](const TClump& c) {
        ForEachClump(c, [&](const TClump& k) {
            out << "C " << k.VertexCount() << " " << k.Children().size() << "\n";
            for (const TVertex& v : k.Vertices())
                for (double d : {v.x, v.y, v.z, v.u, v.v, v.nx, v.ny, v.nz, v.r, v.g, v.b}) bits(d);
            out << "\n";
            for (const auto& b : k.Batches()) {
                out << "B " << MaterialHash(b->Material()) << " T" << b->Tag() << " ";
                for (const TTriangle& t : b->Triangles()) out << t[0] << ',' << t[1] << ',' << t[2] << ' ';
                for (const Vec3& n : b->FaceNormals()) bits(n.x), bits(n.y), bits(n.z);
                out << "\n";
            }
        });
    };
    for (const auto& c : o.Clumps()) clump(*c);
    for (const auto& p : o.Prototypes()) out << "P " << p->Name() << "\n", clump(*p);
    out << "F " << o.FacesRead() << "\n";
    return out.str();
}

std::string Read(const std::string& text, std::size_t parallelFrom, bool ahead = true) {
    ReadOptions options = test::NoTextures();
    options.parallelFrom = parallelFrom;
    options.plainLinesAhead = ahead;
    test::LogCapture log;
    auto o = RWXObject::FromText(text, 0, 0, 0, log, options);
    return Describe(*o, log.Lines());
}

// A long script of every kind of line, plain and not, valid and not, across many read-ahead blocks.
std::string MixedScript(uint64_t seed, int lines, bool endEarly) {
    uint64_t state = seed;
    auto next = [&](int n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((state >> 33) % static_cast<uint64_t>(n));
    };
    std::ostringstream s;
    int vertices = 0, depth = 0;
    s << "Color 0.5 0.5 0.5\nProtoBegin p\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nProtoEnd\n";
    for (int i = 0; i < lines; ++i) {
        switch (next(24)) {
            case 0:
                s << "ClumpBegin\n", ++depth, vertices = 0;
                break;
            case 1:
                if (depth > 0) s << "ClumpEnd\n", --depth, vertices = 0;
                break;
            case 2:
                s << "Color " << next(10) / 10.0 << " 0.25 0.5\n";
                break;
            case 3:
                s << "Vertex 1 2 3 Prelight 0.5 0.5 0.5\n", ++vertices;
                break;
            case 4:
                s << "vertex 1 2 3 UV 0.5\n";
                break;  // too few numbers
            case 5:
                s << "Triangle " << next(vertices + 3) << " 1 2 tag 5\n";
                break;
            case 6:
                s << "Quad 1 2 3 " << next(vertices + 2) << "\n";
                break;
            case 7:
                s << "Polygon 4 1 2 3 4\n";
                break;
            case 8:
                s << "Rotate 0 1 0 " << next(360) << "\n";
                break;
            case 9:
                s << "ProtoInstance p\n";
                break;
            case 10:
                s << "Frobnicate\n";
                break;
            case 11:
                s << "Vertex 1 2 x\n";
                break;
            case 12:
                s << "VERTEX " << next(100) << ".125 -2.5e-1 3 uv 1 2 # note\n", ++vertices;
                break;
            case 13:
                s << "TriangleExt 1 2\n";
                break;
            case 14:
                s << "#!Vertex 0 0 " << next(9) << "\n", ++vertices;
                break;
            case 15:
                s << "Tag " << next(3) * 100 << "\n";
                break;
            case 16:
                s << "Quad 1 2 3 " << 1 + next(vertices + 1) << (next(2) ? " TAG " : " tag x ") << next(3) << "\n";
                break;
            default:
                s << "Vertex " << next(1000) / 7.0 << " " << next(1000) * 0.001 << " -" << next(50) << " UV " << next(4)
                  << " " << next(4) << "\n";
                ++vertices;
                s << "Triangle " << vertices << " " << 1 + next(vertices) << " " << 1 + next(vertices) << "\n";
        }
        if (endEarly && i == lines / 2) s << "ModelEnd\n";
    }
    return s.str();
}

TEST(ReadAhead, GivesExactlyWhatLineByLineReadingGives) {
    for (const auto& [seed, lines, endEarly] : {std::tuple{1u, 60000, false}, std::tuple{2u, 50000, true},
                                                std::tuple{3u, 5, false}, std::tuple{4u, 4096, false}}) {
        const std::string text = MixedScript(seed, lines, endEarly);
        const std::string reference = Read(text, SIZE_MAX, false);
        EXPECT_EQ(Read(text, SIZE_MAX), reference) << "seed " << seed << ", plain lines read ahead";
        EXPECT_EQ(Read(text, 0), reference) << "seed " << seed << ", on a second thread";
    }
    EXPECT_EQ(Read("", 0), Read("", SIZE_MAX));
    EXPECT_EQ(Read("\xEF\xBB\xBFModelBegin", 0), Read("\xEF\xBB\xBFModelBegin", SIZE_MAX));
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// However its lines end, a script reads as the same script with line feeds, on every reading path
// (line by line, plain lines read ahead, read ahead on a second thread).
TEST(LineEnds, CrCrLfLfAndTheDosEndMarkReadAlikeOnEveryPath) {
    const std::string lf =
        "ModelBegin\nClumpBegin\nColor 1 0 0\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
        "ClumpEnd\nModelEnd\n";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"CR LF", Replace(lf, "\n", "\r\n")},
        {"CR alone", Replace(lf, "\n", "\r")},
        {"no line end after the last line", lf.substr(0, lf.size() - 1)},
        {"mixed",
         "ModelBegin\rClumpBegin\r\nColor 1 0 0\nVertex 0 0 0\r\rVertex 1 0 0\n\rVertex 0 1 0\r\n"
         "Triangle 1 2 3\r\r\nClumpEnd\nModelEnd"},
        {"end mark after the last line end", Replace(lf, "\n", "\r\n") + "\x1A"},
        {"end mark right after the last command", lf.substr(0, lf.size() - 1) + "\x1A"},
        {"end mark, then anything", lf + "\x1A" + "Frobnicate\nClumpBegin\nVertex 1 1 1\n"},
        {"end mark where the model has not ended", Replace(lf, "ClumpEnd\nModelEnd\n",
                                                           "\x1A"
                                                           "ClumpEnd\n")},
    };
    const std::string reference = Read(lf, SIZE_MAX, false);
    ASSERT_EQ(reference.find("E "), std::string::npos) << reference;
    for (const Case& c : cases) {
        EXPECT_EQ(Read(c.text, SIZE_MAX, false), reference) << c.what << ", line by line";
        EXPECT_EQ(Read(c.text, SIZE_MAX), reference) << c.what << ", plain lines read ahead";
        EXPECT_EQ(Read(c.text, 0), reference) << c.what << ", on a second thread";
    }

    // Across many read-ahead blocks.
    const std::string mixed = MixedScript(5, 20000, false);
    const std::string mixedReference = Read(mixed, SIZE_MAX, false);
    for (const std::string_view end : {"\r", "\r\n"}) {
        const std::string text = Replace(mixed, "\n", end);
        EXPECT_EQ(Read(text, SIZE_MAX, false), mixedReference);
        EXPECT_EQ(Read(text, 0), mixedReference);
    }
}

}  // namespace
}  // namespace pelorus
