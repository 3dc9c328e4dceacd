#pragma once
// The surface a face is drawn with. A plain value: copied field by field, compared field by
// field (every texture slot included), never shared.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelorus {

constexpr int kMaxTextureFrames = 100;

struct RGB {
    double r = 0, g = 0, b = 0;
    bool operator==(const RGB&) const = default;
};

// A texture frame as a material refers to it: the texture's position in its object's texture
// list and the frame number, packed into one non-zero value (0 means no frame).
constexpr uint32_t TextureFrameKey(int32_t textureIndex, int32_t frame) {
    return static_cast<uint32_t>(textureIndex) * 128u + static_cast<uint32_t>(frame) + 1u;
}
constexpr int32_t TextureOfKey(uint32_t key) {
    return static_cast<int32_t>((key - 1u) / 128u);
}
constexpr int32_t FrameOfKey(uint32_t key) {
    return static_cast<int32_t>((key - 1u) % 128u);
}

// What a material copies from a loaded texture.
struct TextureFacts {
    int32_t frameCount = 0;
    uint8_t mipmapped = 1;
    uint8_t mask = 0;
    uint8_t addressMode = 0;
};

// Whoever owns the textures of the model being read (the object).
class TextureProvider {
public:
    // The index of the texture `name` with mask `mask` ("" for none), loading it the first time;
    // -1 when there is no texture.
    virtual int32_t LoadTexture(std::string_view name, std::string_view mask) = 0;
    virtual TextureFacts FactsOf(int32_t index) const = 0;

protected:
    ~TextureProvider() = default;
};

enum TextureModeBits : uint8_t { kLit = 1, kForeshorten = 2, kFilter = 4 };
enum MaterialModeBits : uint8_t { kDouble = 1 };
enum AddressModes : uint8_t { kWrap = 0, kMirror = 1, kClamp = 2 };

struct RWXMaterial {
    uint8_t geometrySampling = 2;  // 0 point cloud, 1 wire frame, 2 solid
    uint8_t axisAlignment = 0;     // 0 none, 1 ZOrientX, 2 ZOrientY, 3 XYZ
    uint8_t lightSampling = 1;     // 0 vertex, 1 facet
    RGB color;
    RGB ambient;
    RGB diffuse;
    RGB specular;
    double opacity = 1.0;
    // One key per animation frame; only the first frameCount mean anything, but all take part
    // in equality (a later texture with fewer frames leaves the rest as they were).
    std::array<uint32_t, kMaxTextureFrames> textureFrames{};
    int32_t frameCount = 0;
    uint8_t textureModes = kLit | kForeshorten | kFilter;
    uint8_t materialModes = 0;
    uint8_t mipmapping = 1;
    uint8_t mask = 0;
    uint8_t addressMode = kWrap;

    bool operator==(const RWXMaterial&) const = default;

    bool IsOpaque() const { return opacity == 1.0 && mask == 0; }
    bool IsMasked() const { return mask != 0; }
    bool IsAxisAligned() const { return axisAlignment != 0; }
    bool IsFacet() const { return lightSampling == 1; }
    bool HasTexture() const { return frameCount > 0; }
    // The texture's index in the object's list, or -1 when the material has none.
    int32_t TextureIndex() const { return frameCount > 0 ? TextureOfKey(textureFrames[0]) : -1; }

    // Drops the current texture, then (unless `name` is "null" in any case, or the texture cannot
    // be loaded) takes the texture's frames, mipmap, mask and address-mode facts. When no texture
    // is taken those three flags keep the previous texture's values.
    void SetTexture(TextureProvider& textures, std::string_view name, std::string_view mask);
};

// A hash consistent with equality.
std::size_t MaterialHash(const RWXMaterial& m);

}  // namespace pelorus
