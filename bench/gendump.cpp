// Writes an object dump and the object path of its models, for the world benchmarks.
//   gendump DIR [OBJECTS [MODELS [VERSION]]]
//       DIR/objects/ (the object path: MODELS models of a box and a marker, in every layout, and
//       their textures with zipped masks) and DIR/world.txt, a dump of OBJECTS objects on a square
//       grid half a unit apart (defaults: 100000 objects, 100 models, version 4).
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "dumpgen.h"

namespace {

bool ParseCount(const char* text, long& out) {
    const std::string_view s(text);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc{} && r.ptr == s.data() + s.size() && out > 0;
}

}  // namespace

int main(int argc, char** argv) {
    long objects = 100000, models = 100, version = 4;
    if (argc < 2 || (argc >= 3 && !ParseCount(argv[2], objects)) || (argc >= 4 && !ParseCount(argv[3], models)) ||
        (argc >= 5 && (!ParseCount(argv[4], version) || version < 2 || version > 5)) || argc > 5) {
        std::fprintf(stderr, "usage: gendump DIR [OBJECTS [MODELS [VERSION]]]\n");
        return 2;
    }
    const std::string dir = argv[1];
    pelorus::dumpgen::ObjectPathSpec path;
    path.models = static_cast<int>(models);
    path.textures = 10;
    std::string error;
    if (!pelorus::dumpgen::WriteObjectPath(dir + "/objects", path, &error)) {
        std::fprintf(stderr, "gendump: %s\n", error.c_str());
        return 1;
    }
    pelorus::dumpgen::DumpSpec recipe;
    recipe.version = static_cast<int>(version);
    recipe.objects = static_cast<int>(objects);
    recipe.models = static_cast<int>(models);
    recipe.keepExpected = false;
    if (!pelorus::dumpgen::WriteFile(dir + "/world.txt", pelorus::dumpgen::MakeDump(recipe).text)) {
        std::fprintf(stderr, "gendump: cannot write %s/world.txt\n", dir.c_str());
        return 1;
    }
    return 0;
}
