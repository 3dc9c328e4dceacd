#include "fuzztargets.h"

#include <string>
#include <string_view>

#include "platform/bmpmask.h"
#include "platform/errorlog.h"
#include "platform/jpegimage.h"
#include "reader/propdump.h"
#include "reader/rwxobject.h"
#include "reader/scenefile.h"
#include "reader/textureload.h"
#include "scene/translucent.h"

namespace pelorus::fuzz {
namespace {

std::string_view Text(const uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace

namespace {

// Everything a read produced, as comparable text (doubles by their bits).
std::string Digest(const RWXObject& o, const ErrorLog& log) {
    std::string out = log.Text();
    auto add = [&](const void* p, std::size_t n) { out.append(static_cast<const char*>(p), n); };
    auto clump = [&](const TClump& c) {
        ForEachClump(c, [&](const TClump& k) {
            out += 'C';
            add(k.Vertices().data(), k.Vertices().size() * sizeof(TVertex));
            for (const auto& b : k.Batches()) {
                out += 'B';
                const std::size_t h = MaterialHash(b->Material());
                add(&h, sizeof h);
                const int32_t tag = b->Tag();
                add(&tag, sizeof tag);
                add(b->Triangles().data(), b->Triangles().size() * sizeof(TTriangle));
                add(b->FaceNormals().data(), b->FaceNormals().size() * sizeof(Vec3));
            }
        });
    };
    for (const auto& c : o.Clumps()) clump(*c);
    for (const auto& p : o.Prototypes()) out += p->Name(), clump(*p);
    return out;
}

}  // namespace

void Script(const uint8_t* data, std::size_t size) {
    // The general line handlers give the reference; reading plain lines ahead (on a second thread
    // for odd sizes) must give the same.
    ReadOptions general;
    general.loadTextures = false;
    general.plainLinesAhead = false;
    // Prototypes that instance each other, and primitives, grow geometry fast: a small budget
    // keeps every input quick (and the budget itself under test).
    general.maxVertices = 200000;
    general.maxTriangles = 200000;
    general.maxMadeVertices = 100000;
    general.maxMadeTriangles = 100000;
    ReadOptions ahead = general;
    ahead.plainLinesAhead = true;
    ahead.parallelFrom = size % 2 ? 0 : SIZE_MAX;

    ErrorLog referenceLog;
    auto reference = RWXObject::FromText(Text(data, size), 0, 0, 0, referenceLog, general, "fuzz.rwx");
    const std::string expected = Digest(*reference, referenceLog);
    ErrorLog log;
    auto object = RWXObject::FromText(Text(data, size), 0, 0, 0, log, ahead, "fuzz.rwx");
    if (Digest(*object, log) != expected) __builtin_trap();

    TranslucentList translucent;
    AppendTranslucent(translucent, *object, PlacedAt(object->Offset()), false);
    if (static_cast<int64_t>(translucent.records.size()) != object->CountTranslucentTriangles()) __builtin_trap();
    (void)object->CountTriangles();
}

void ObjectMap(const uint8_t* data, std::size_t size) {
    ErrorLog log;
    (void)ParseObjectMap(Text(data, size), "fuzz.txt", log);
}

void ObjectDump(const uint8_t* data, std::size_t size) {
    ErrorLog log;
    SceneObjects read;
    const DumpReadResult result = ReadDump(Text(data, size), "fuzz.txt", log, read);
    if (result.objects + result.otherTypes != read.objects.size()) __builtin_trap();
    for (const PlacedObject& o : read.objects) {
        const uint64_t end = o.text + o.nameSize + o.descriptionSize + o.actionSize;
        if (end > read.text.size() || o.line < 2) __builtin_trap();
    }
}

void BmpMask(const uint8_t* data, std::size_t size) {
    GreyImage mask;
    if (ReadBmpMask(std::span<const uint8_t>(data, size), mask) &&
        mask.pixels.size() != static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height))
        __builtin_trap();
}

void Texture(const uint8_t* data, std::size_t size) {
    if (size < 3) return;
    const bool mirror = data[0] & 1;
    const std::size_t split = 3 + ((static_cast<std::size_t>(data[1]) << 8 | data[2]) % (size - 2));
    const std::span<const uint8_t> jpeg(data + 3, split - 3);
    const std::span<const uint8_t> bmp(data + split, size - split);
    RgbImage rgb;
    if (DecodeJpeg(jpeg, rgb) != ImageError::None) return;
    if (rgb.pixels.size() != static_cast<std::size_t>(rgb.width) * static_cast<std::size_t>(rgb.height) * 3)
        __builtin_trap();
    GreyImage mask;
    ReadBmpMask(bmp, mask);
    const auto rgba = ComposeRgba(rgb.pixels, rgb.width, rgb.height, mask.pixels, mask.width, mask.height, mirror);
    const std::size_t expected =
        static_cast<std::size_t>(rgb.width) * static_cast<std::size_t>(rgb.height) * 4 * (mirror ? 4 : 1);
    if (rgba.size() != expected) __builtin_trap();
}

}  // namespace pelorus::fuzz
