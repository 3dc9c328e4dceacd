// Writes test worlds for the scene benchmarks.
//   genworld world DIR [ENTRIES [MODELS [TEXTURES]]]
//       DIR/models/mNNN.rwx (MODELS distinct models of about 208 triangles in 4 clumps, textured
//       with one of TEXTURES JPEG images DIR/tN.jpg, some faces translucent), and
//       DIR/world.txt, an object map of ENTRIES entries on a square grid one unit apart, each
//       naming one of the models (defaults: 100000 entries, 100 models, 10 textures).
//   genworld clumps N OUT
//       OUT: one script of N clumps holding one triangle each.
// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool ParseCount(const char* text, long& out) {
    const std::string_view s(text);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && out > 0;
}

void Num(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    out.append(buf, r.ptr);
}

bool WriteJpeg(const std::string& path, int side, int seed) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * side + x) * 3];
            const bool check = ((x / 8) + (y / 8)) % 2 == 0;
            p[0] = static_cast<unsigned char>(check ? 40 + seed * 20 : 200);
            p[1] = static_cast<unsigned char>(check ? 200 - seed * 15 : 90);
            p[2] = static_cast<unsigned char>(check ? 60 : 30 + seed * 20);
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(side);
    c.image_height = static_cast<JDIMENSION>(side);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &rgb[static_cast<std::size_t>(c.next_scanline) * side * 3];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

// A model: four clumps, each a 6 x 4 grid of quads (48 triangles) bent into a wall, plus a
// 16-triangle roof fan; one of the walls is translucent.
std::string Model(int index, int textures) {
    std::string out = "ModelBegin\n";
    const double height = 0.2 + 0.05 * (index % 7);
    for (int c = 0; c < 4; ++c) {
        out += "ClumpBegin\n";
        out += "Rotate 0 1 0 " + std::to_string(90 * c) + "\n";
        out += "Texture t" + std::to_string((index + c) % textures) + "\n";
        if (c == 3 && index % 3 == 0) out += "Opacity 0.6\n";
        const int cols = 6, rows = 4;
        for (int j = 0; j <= rows; ++j)
            for (int i = 0; i <= cols; ++i) {
                out += "Vertex ";
                Num(out, -0.2 + 0.4 * i / cols);
                out += ' ';
                Num(out, height * j / rows);
                out += ' ';
                Num(out, 0.2 + 0.01 * std::sin(i + j + index));
                out += " UV ";
                Num(out, static_cast<double>(i) / cols);
                out += ' ';
                Num(out, 1.0 - static_cast<double>(j) / rows);
                out += '\n';
            }
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < cols; ++i) {
                const int a = j * (cols + 1) + i + 1;
                out += "Quad " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + cols + 2) +
                       " " + std::to_string(a + cols + 1) + "\n";
            }
        out += "ClumpEnd\n";
    }
    out += "ClumpBegin\nColor 0.6 0.2 0.1\nSurface 0.5 0.5 0\n";
    out += "Vertex 0 ";
    Num(out, height + 0.1);
    out += " 0\n";
    for (int k = 0; k < 16; ++k) {
        const double a = 2 * 3.14159265358979 * k / 16;
        out += "Vertex ";
        Num(out, 0.25 * std::cos(a));
        out += ' ';
        Num(out, height);
        out += ' ';
        Num(out, -0.25 * std::sin(a));
        out += '\n';
    }
    for (int k = 0; k < 16; ++k)
        out += "Triangle 1 " + std::to_string(2 + k) + " " + std::to_string(2 + (k + 1) % 16) + "\n";
    out += "ClumpEnd\nModelEnd\n";
    return out;
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out);
}

int World(const std::filesystem::path& dir, long entries, long models, long textures) {
    std::filesystem::create_directories(dir / "models");
    for (long t = 0; t < textures; ++t)
        if (!WriteJpeg((dir / ("t" + std::to_string(t) + ".jpg")).string(), 64, static_cast<int>(t))) return 1;
    char name[64];
    for (long m = 0; m < models; ++m) {
        std::snprintf(name, sizeof name, "m%03ld.rwx", m);
        if (!WriteText(dir / "models" / name, Model(static_cast<int>(m), static_cast<int>(textures)))) return 1;
    }
    const long side = std::lround(std::ceil(std::sqrt(static_cast<double>(entries))));
    std::string map;
    map.reserve(static_cast<std::size_t>(entries) * 32);
    for (long e = 0; e < entries; ++e) {
        std::snprintf(name, sizeof name, "models/m%03ld.rwx", (e * 7919) % models);
        map += name;
        map += ' ';
        Num(map, static_cast<double>(e % side) - side / 2.0);
        map += " 0 ";
        Num(map, static_cast<double>(e / side) - side / 2.0);
        map += '\n';
    }
    return WriteText(dir / "world.txt", map) ? 0 : 1;
}

int Clumps(long n, const std::filesystem::path& out) {
    std::string text = "ModelBegin\n";
    text.reserve(static_cast<std::size_t>(n) * 80);
    for (long i = 0; i < n; ++i) {
        const double x = static_cast<double>(i % 1000) * 0.01, z = static_cast<double>(i / 1000) * 0.01;
        text += "ClumpBegin\nVertex ";
        Num(text, x);
        text += " 0 ";
        Num(text, z);
        text += "\nVertex ";
        Num(text, x + 0.01);
        text += " 0 ";
        Num(text, z);
        text += "\nVertex ";
        Num(text, x);
        text += " 0.01 ";
        Num(text, z);
        text += "\nTriangle 1 2 3\nClumpEnd\n";
    }
    text += "ModelEnd\n";
    return WriteText(out, text) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    long a = 100000, b = 100, c = 10;
    if (mode == "world" && argc >= 3 && (argc < 4 || ParseCount(argv[3], a)) && (argc < 5 || ParseCount(argv[4], b)) &&
        (argc < 6 || ParseCount(argv[5], c)))
        return World(argv[2], a, b, c);
    if (mode == "clumps" && argc == 4 && ParseCount(argv[2], a)) return Clumps(a, argv[3]);
    std::fprintf(stderr, "usage: genworld world DIR [ENTRIES [MODELS [TEXTURES]]] | genworld clumps N OUT\n");
    return 2;
}
