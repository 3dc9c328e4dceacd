#include "geometry/rwmaterial.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace pelorus {

void RWXMaterial::SetTexture(TextureProvider& textures, std::string_view name, std::string_view maskName) {
    frameCount = 0;
    if (EqualsNoCase(name, "null")) return;
    const int32_t index = textures.LoadTexture(name, maskName);
    if (index < 0) return;
    const TextureFacts facts = textures.FactsOf(index);
    const int32_t frames = std::clamp(facts.frameCount, 0, kMaxTextureFrames);
    for (int32_t f = 0; f < frames; ++f) textureFrames[static_cast<std::size_t>(f)] = TextureFrameKey(index, f);
    frameCount = frames;
    mipmapping = facts.mipmapped;
    mask = facts.mask;
    addressMode = facts.addressMode;
}

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
    const uint8_t small[8] = {m.geometrySampling, m.axisAlignment, m.lightSampling, m.textureModes,
                              m.materialModes,    m.mipmapping,    m.mask,          m.addressMode};
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
