#include "dumpgen.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <zip.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace pelorus::dumpgen {
namespace {

namespace fs = std::filesystem;

void Num(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    out.append(buf, r.ptr);
}

std::string Jpeg(int side, int seed) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * side + x) * 3];
            const bool check = ((x / 4) + (y / 4)) % 2 == 0;
            p[0] = static_cast<unsigned char>(check ? 40 + seed * 40 : 220);
            p[1] = static_cast<unsigned char>(check ? 200 - seed * 30 : 120);
            p[2] = static_cast<unsigned char>(check ? 60 : 30 + seed * 40);
        }
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
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
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

// A 24-bit BMP of `side` x `side` grey pixels: opaque left half, clear right half.
std::string MaskBmp(int side) {
    const int rowBytes = (side * 3 + 3) / 4 * 4;
    const int pixels = rowBytes * side;
    std::string out;
    auto u16 = [&](int v) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    auto u32 = [&](int v) {
        u16(v & 0xFFFF);
        u16((v >> 16) & 0xFFFF);
    };
    out += "BM";
    u32(54 + pixels);
    u32(0);
    u32(54);
    u32(40);
    u32(side);
    u32(side);
    u16(1);
    u16(24);
    u32(0);
    u32(pixels);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) out.append(3, x < side / 2 ? '\xFF' : '\0');
        out.append(static_cast<std::size_t>(rowBytes - side * 3), '\0');
    }
    return out;
}

bool WriteZip(const std::string& path, const std::string& member, const std::string& data) {
    fs::create_directories(fs::path(path).parent_path());
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) return false;
    zip_source_t* source = zip_source_buffer(zip, data.data(), data.size(), 0);
    if (!source || zip_file_add(zip, member.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
        if (source) zip_source_free(source);
        zip_discard(zip);
        return false;
    }
    return zip_close(zip) == 0;
}

// 0x80 0x7F and 0x7F as dumps keep CR LF and LF; `high` the bytes of "é" and "€".
struct Encoding {
    std::string eAcute, euro;
};

Encoding EncodingOf(int version) {
    if (version >= 5) return {"\xC3\xA9", "\xE2\x82\xAC"};
    return {"\xE9", "\x80"};
}

}  // namespace

std::string ModelName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "m%03d", index);
    return name;
}

std::string ModelScript(int index, int textures) {
    std::string out = "ModelBegin\nClumpBegin\n";
    if (textures > 0) {
        const int t = index % textures;
        out += "Texture t" + std::to_string(t);
        if (t % 2 == 1) out += " Mask t" + std::to_string(t) + "m";
        out += "\n";
    }
    const double h = 0.1 + 0.02 * (index % 5);
    out += "Color 0.8 0.8 0.8\nSurface 0.6 0.4 0\n";
    // A box of 0.2 x h x 0.2 above the origin.
    const double c[8][3] = {{-0.1, 0, -0.1}, {0.1, 0, -0.1}, {0.1, h, -0.1}, {-0.1, h, -0.1},
                            {-0.1, 0, 0.1},  {0.1, 0, 0.1},  {0.1, h, 0.1},  {-0.1, h, 0.1}};
    const double uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int v = 0; v < 8; ++v) {
        out += "Vertex ";
        Num(out, c[v][0]);
        out += ' ';
        Num(out, c[v][1]);
        out += ' ';
        Num(out, c[v][2]);
        out += " UV ";
        Num(out, uv[v % 4][0]);
        out += ' ';
        Num(out, uv[v % 4][1]);
        out += '\n';
    }
    out += "Quad 5 6 7 8\nQuad 2 1 4 3\nQuad 6 2 3 7\nQuad 1 5 8 4\nQuad 8 7 3 4\nQuad 1 2 6 5\n";
    out += "ClumpEnd\n";
    // The marker on the +x side tells the model's turn apart.
    out += "ClumpBegin\nColor 1 0 0\nTranslate 0.15 0 0\nBlock 0.1 0.05 0.05\nClumpEnd\nModelEnd\n";
    return out;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

bool WriteObjectPath(const std::string& folder, const ObjectPathSpec& recipe, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = "cannot write " + what;
        return false;
    };
    const fs::path root(folder);
    for (int t = 0; t < recipe.textures; ++t) {
        const std::string name = "t" + std::to_string(t);
        if (!WriteFile((root / "textures" / (name + ".jpg")).string(), Jpeg(32, t % 5))) return fail(name + ".jpg");
        if (t % 2 == 1 && !WriteZip((root / "textures" / (name + "m.zip")).string(), name + "m.bmp", MaskBmp(32)))
            return fail(name + "m.zip");
    }
    for (int m = 0; m < recipe.models; ++m) {
        const std::string name = ModelName(m);
        const std::string script = ModelScript(m, recipe.textures);
        const int layout = recipe.mixLayouts ? m % 3 : 0;
        bool ok = true;
        if (layout == 0)
            ok = WriteZip((root / "models" / (name + ".zip")).string(), name + ".rwx", script);
        else if (layout == 1)
            ok = WriteFile((root / "rwx" / (name + ".rwx")).string(), script);
        else
            ok = WriteFile((root / "models" / (name + ".rwx")).string(), script);
        if (!ok) return fail(name);
    }
    return true;
}

GeneratedDump MakeDump(const DumpSpec& recipe) {
    GeneratedDump out;
    const std::string eol = recipe.crlf ? "\r\n" : "\n";
    const Encoding enc = EncodingOf(recipe.version);
    const bool turned = recipe.version >= 3;
    const bool typed = recipe.version >= 4;
    const int others = typed ? recipe.otherTypes : 0;
    const int total = recipe.objects + recipe.missingModels + others;
    out.text.reserve(static_cast<std::size_t>(total) * 80);
    out.text += "propdump version " + std::to_string(recipe.version) + eol;
    const int side = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(std::max(total, 1))))));
    // Bad lines come every `every` objects.
    const int every = recipe.badLines > 0 ? std::max(1, total / recipe.badLines) : 0;
    int bad = 0;
    uint32_t line = 1;
    for (int i = 0; i < total; ++i) {
        if (every && bad < recipe.badLines && i % every == 0) {
            ++line;
            out.badLines.push_back(line);
            switch (bad++ % 3) {
                case 0:
                    out.text += "1 2 3" + eol;  // too few fields
                    break;
                case 1:
                    out.text += "1 2 x3 0 0 0" + std::string(turned ? " 0 0" : "") + (typed ? " 0" : "") + " 1 0 0" +
                                (typed ? " 0" : "") + " a" + eol;  // not a number
                    break;
                default:
                    out.text += "1 2 0 0 0 0" + std::string(turned ? " 0 0" : "") + (typed ? " 0" : "") + " 99 0 0" +
                                (typed ? " 0" : "") + " short" + eol;  // runs past the line
                    break;
            }
        }
        ExpectedObject e;
        e.line = ++line;
        int type = 0;
        if (i < recipe.objects) {
            const int m = recipe.models > 0 ? i % recipe.models : 0;
            const std::string base = ModelName(m);
            switch ((i / std::max(recipe.models, 1)) % 3) {
                case 0:
                    e.name = base;
                    break;
                case 1:
                    e.name = "M" + base.substr(1) + ".RWX";
                    break;
                default:
                    e.name = base + ".zip";
                    break;
            }
        } else if (i < recipe.objects + recipe.missingModels) {
            e.name = "gone" + std::to_string(i - recipe.objects);
        } else {
            type = 1 + (i % 4);
            e.name = "other" + std::to_string(i);
        }
        e.type = type;
        const int gx = i % side, gz = i / side;
        const long x = std::lround((gx - side / 2) * recipe.spacing * 1000),
                   z = std::lround((gz - side / 2) * recipe.spacing * 1000);
        const long y = (i % 7) * 10;
        const int yaw = (i * 37) % 3600, tilt = turned ? (i * 13) % 200 - 100 : 0,
                  roll = turned ? (i * 7) % 90 - 45 : 0;
        e.position = {x / 1000.0, y / 1000.0, z / 1000.0};
        e.yaw = static_cast<float>(yaw / 10.0);
        e.tilt = static_cast<float>(tilt / 10.0);
        e.roll = static_cast<float>(roll / 10.0);
        // The description as stored, and as read back.
        std::string description, descriptionRead, action;
        if (recipe.extras && i % 2 == 0) {
            description = "caf" + enc.eAcute + " " + enc.euro + "5\x80\x7Fsecond line\x7Fthird";
            descriptionRead =
                "caf\xC3\xA9 \xE2\x82\xAC"
                "5\r\nsecond line\nthird";
        } else {
            description = "object " + std::to_string(i);
            descriptionRead = description;
        }
        if (!recipe.actions.empty())
            action = recipe.actions[static_cast<std::size_t>(i) % recipe.actions.size()];
        else if (recipe.extras && i % 3 == 0)
            action = "create color red; activate url http://example.org/ x";
        e.description = descriptionRead;
        e.action = action;

        std::string& t = out.text;
        t += std::to_string(1000 + i % 50) + " " + std::to_string(1000000000 + i) + " ";
        t += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " " + std::to_string(yaw);
        if (turned) t += " " + std::to_string(tilt) + " " + std::to_string(roll);
        if (typed) t += " " + std::to_string(type);
        t += " " + std::to_string(e.name.size()) + " " + std::to_string(description.size()) + " " +
             std::to_string(action.size());
        if (typed) t += " 2";
        t += " " + e.name + description + action;
        if (typed) t += "0a1b";  // two bytes of object data, as hexadecimal digits
        t += eol;
        if (recipe.keepExpected) out.objects.push_back(std::move(e));
    }
    return out;
}

}  // namespace pelorus::dumpgen
