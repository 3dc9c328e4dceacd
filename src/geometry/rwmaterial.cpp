#include "geometry/rwmaterial.h"

#include <cstring>

namespace pelorus {

namespace {

struct Hasher {
    uint64_t h = 1469598103934665603ull;
    void Word(uint64_t w) {
        h ^= w;
        h *= 1099511628211ull;
        h ^= h >> 29;
    }
    void Bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            Word(w);
        }
        for (; i < n; ++i) Word(p[i]);
    }
    void Double(double d) {
        d += 0.0;  // -0 and +0 are equal, so they must hash alike
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        Word(bits);
    }
    void Color(const RGB& c) {
        Double(c.r);
        Double(c.g);
        Double(c.b);
    }
};

}  // namespace

std::size_t MaterialHash(const RWXMaterial& m) {
    Hasher h;
    const uint8_t small[9] = {static_cast<uint8_t>(m.geometrySampling),
                              static_cast<uint8_t>(m.axisAlignment),
                              static_cast<uint8_t>(m.lightSampling),
                              m.textureModes,
                              m.materialModes,
                              m.mipmapping,
                              m.mask,
                              static_cast<uint8_t>(m.addressMode),
                              m.textureMissing};
    h.Bytes(small, sizeof small);
    h.Color(m.color);
    h.Color(m.ambient);
    h.Color(m.diffuse);
    h.Color(m.specular);
    h.Double(m.opacity);
    h.Bytes(&m.frameCount, sizeof m.frameCount);
    h.Bytes(m.textureFrames.data(), sizeof(uint32_t) * m.textureFrames.size());
    return static_cast<std::size_t>(h.h);
}

}  // namespace pelorus
