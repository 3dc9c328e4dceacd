#pragma once
// The surface a face is drawn with. A plain value: copied field by field, compared field by
// field (every texture slot included), never shared.

#include <array>
#include <cstddef>
#include <cstdint>

namespace pelorus {

inline constexpr int kMaxTextureFrames = 100;

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

// The codes below keep the numbers scripts and dumps know them by.
enum class GeometrySampling : uint8_t { PointCloud = 0, WireFrame = 1, Solid = 2 };
enum class AxisAlignment : uint8_t { None = 0, ZOrientX = 1, ZOrientY = 2, XYZ = 3 };
enum class LightSampling : uint8_t { Vertex = 0, Facet = 1 };
enum class AddressMode : uint8_t { Wrap = 0, Mirror = 1, Clamp = 2 };

// Bits of RWXMaterial::textureModes and RWXMaterial::materialModes.
inline constexpr uint8_t kTextureLit = 1;
inline constexpr uint8_t kTextureForeshorten = 2;
inline constexpr uint8_t kTextureFilter = 4;
inline constexpr uint8_t kMaterialDouble = 1;

struct RWXMaterial {
    GeometrySampling geometrySampling = GeometrySampling::Solid;
    AxisAlignment axisAlignment = AxisAlignment::None;
    LightSampling lightSampling = LightSampling::Facet;
    RGB color;
    RGB ambient;
    RGB diffuse;
    RGB specular;
    double opacity = 1.0;
    // One key per animation frame; only the first frameCount mean anything, but all take part
    // in equality (a later texture with fewer frames leaves the rest as they were).
    std::array<uint32_t, kMaxTextureFrames> textureFrames{};
    int32_t frameCount = 0;
    uint8_t textureModes = kTextureLit | kTextureForeshorten | kTextureFilter;
    uint8_t materialModes = 0;
    uint8_t mipmapping = 1;
    uint8_t mask = 0;
    AddressMode addressMode = AddressMode::Wrap;
    // 1 when the last texture command asked for a texture that could not be used (not found, or
    // not readable as an image): the faces draw untextured, or marked when the viewer is asked to.
    uint8_t textureMissing = 0;

    bool operator==(const RWXMaterial&) const = default;

    bool IsOpaque() const { return opacity == 1.0 && mask == 0; }
    bool IsMasked() const { return mask != 0; }
    bool IsAxisAligned() const { return axisAlignment != AxisAlignment::None; }
    bool IsFacet() const { return lightSampling == LightSampling::Facet; }
    bool IsDoubleSided() const { return (materialModes & kMaterialDouble) != 0; }
    bool HasTexture() const { return frameCount > 0; }
    // The texture's index in the object's list, or -1 when the material has none.
    int32_t TextureIndex() const { return frameCount > 0 ? TextureOfKey(textureFrames[0]) : -1; }
};

// A hash consistent with equality.
std::size_t MaterialHash(const RWXMaterial& m);

}  // namespace pelorus
