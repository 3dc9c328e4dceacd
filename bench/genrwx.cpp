// Writes large scripts for the load benchmark.
//   genrwx TRIANGLES OUT [--mixed]
// Plain: one clump of "Vertex x y z UV u v" lines over a wavy grid and "Triangle" lines.
// Mixed: the same surface as quads, hexagon polygons and triangles in several materials.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {

void AppendNumber(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
}

void AppendInt(std::string& out, long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// A face line: the command, then its vertex numbers.
void AppendFace(std::string& out, const char* command, std::initializer_list<long> corners) {
    out += command;
    for (long corner : corners) {
        out += ' ';
        AppendInt(out, corner);
    }
    out += '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: genrwx TRIANGLES OUT [--mixed]\n");
        return 2;
    }
    const long triangles = std::strtol(argv[1], nullptr, 10);
    const bool mixed = argc > 3 && std::strcmp(argv[3], "--mixed") == 0;
    const long side = std::lround(std::ceil(std::sqrt(triangles / 2.0)));
    const long w = side, h = (triangles / 2 + side - 1) / side;
    std::string out;
    out.reserve(static_cast<std::size_t>(triangles) * 60);
    out += "ModelBegin\nClumpBegin\nColor 0.6 0.6 0.6\nSurface 0.4 0.6 0\nLightSampling Vertex\n";
    for (long j = 0; j <= h; ++j)
        for (long i = 0; i <= w; ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(w),
                         z = static_cast<double>(j) / static_cast<double>(h);
            out += "Vertex ";
            AppendNumber(out, x - 0.5);
            out += ' ';
            AppendNumber(out, 0.05 * std::sin(9 * x) * std::cos(7 * z));
            out += ' ';
            AppendNumber(out, z - 0.5);
            out += " UV ";
            AppendNumber(out, x * 4);
            out += ' ';
            AppendNumber(out, z * 4);
            out += '\n';
        }
    const char* colours[] = {"Color 0.8 0.2 0.2\n", "Color 0.2 0.8 0.2\n", "Color 0.2 0.2 0.8\n",
                             "Color 0.8 0.8 0.2\n"};
    long written = 0;
    for (long j = 0; j < h && written < triangles; ++j)
        for (long i = 0; i < w && written < triangles; ++i) {
            const long a = j * (w + 1) + i + 1, b = a + 1, c = a + w + 2, d = a + w + 1;
            if (mixed && i % 64 == 0) out += colours[(i / 64 + j) % 4];
            if (mixed && (i + j) % 3 == 0) {
                AppendFace(out, "Quad", {a, b, c, d});
            } else if (mixed && (i + j) % 3 == 1) {
                AppendFace(out, "Polygon 4", {a, b, c, d});
            } else {
                AppendFace(out, "Triangle", {a, b, c});
                AppendFace(out, "Triangle", {a, c, d});
            }
            written += 2;
        }
    out += "ClumpEnd\nModelEnd\n";
    std::FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%s: %ld triangles, %ld vertices, %.1f MB\n", argv[2], written, (w + 1) * (h + 1),
                static_cast<double>(out.size()) / 1e6);
    return 0;
}
