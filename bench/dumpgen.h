#pragma once
// Generated object dumps and object paths, for the world benchmarks and the tests: dumps of every
// version and both encodings, with line breaks kept inside descriptions, objects of other types and
// lines that cannot be read, and an object path of zipped models and textures (with zipped masks)
// that the dumps' objects name.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pelorus::dumpgen {

struct ObjectPathSpec {
    int models = 10;  // models "m000" to "m<models - 1>"
    // Textures "t0" to "t<textures - 1>", JPEGs in textures/; the odd ones have a mask "t<k>m.zip"
    // holding "t<k>m.bmp" there.
    int textures = 4;
    // Model i kept as models/<name>.zip (i % 3 == 0), rwx/<name>.rwx (1) or models/<name>.rwx (2);
    // false keeps every model zipped.
    bool mixLayouts = true;
};

// The name of model `index` ("m007").
std::string ModelName(int index);
// The script of model `index`: a box with a marker on its +x side, textured with texture
// index % textures (and its mask when it has one).
std::string ModelScript(int index, int textures);
// Writes the object path into `folder` (made when missing): models/, rwx/ and textures/. False,
// with the reason in `*error` when given, when something cannot be written.
bool WriteObjectPath(const std::string& folder, const ObjectPathSpec& recipe, std::string* error = nullptr);

struct DumpSpec {
    int version = 4;        // 2 to 5
    bool crlf = true;       // lines end in CR LF, else LF
    int objects = 100;      // objects of type 0, on a square grid
    int models = 10;        // which name models "m000" on, in turn, spelt "m001", "M001.RWX" or "m001.zip"
    int missingModels = 0;  // further objects, naming "gone<k>" (not in the object path)
    int otherTypes = 0;     // objects of types 1 to 4 (versions 4 and 5; none before)
    int badLines = 0;       // lines that cannot be read, spread among the others
    // Descriptions with line breaks and letters beyond ASCII (Windows-1252 or UTF-8 as the version
    // asks), actions on some objects.
    bool extras = true;
    // When not empty, object i carries actions[i % actions.size()] instead of the extras' ones.
    std::vector<std::string> actions{};
    double spacing = 0.5;      // model units between neighbours
    bool keepExpected = true;  // fill GeneratedDump::objects
};

// What reading a readable line should give.
struct ExpectedObject {
    uint32_t line = 0;
    std::string name, description, action;  // as UTF-8, line breaks turned back
    std::array<double, 3> position{};       // model units
    float yaw = 0, tilt = 0, roll = 0;      // degrees
    int type = 0;
};

struct GeneratedDump {
    std::string text;
    std::vector<ExpectedObject> objects;  // every readable line, in order (when kept)
    std::vector<uint32_t> badLines;       // the lines that cannot be read
};

GeneratedDump MakeDump(const DumpSpec& recipe);

// Writes `text` to `path` (folders made). False when it cannot.
bool WriteFile(const std::string& path, const std::string& text);

}  // namespace pelorus::dumpgen
