#include "export/gltfexport.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <numbers>
#include <sstream>
#include <tuple>
#include <utility>

#include "platform/paths.h"
#include "platform/pngwrite.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "platform/version.h"

namespace pelorus {
namespace {

// The constants of the glTF format (as OpenGL numbers them).
constexpr int kFloat = TINYGLTF_COMPONENT_TYPE_FLOAT;
constexpr int kUnsignedShort = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
constexpr int kUnsignedInt = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
constexpr int kArrayBuffer = TINYGLTF_TARGET_ARRAY_BUFFER;
constexpr int kElementArrayBuffer = TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER;

// A glTF file keeps its lengths in 32 bits; stay well below.
constexpr std::size_t kMaxBufferBytes = (std::size_t{1} << 32) - (std::size_t{1} << 24);

// `v` as a finite float: beyond the float range the largest float of its sign, NaN 0.
float ToFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isnan(v)) return 0.0f;
    return static_cast<float>(v > kMax ? kMax : v < -kMax ? -kMax : v);
}

// `v`, or the largest double of its sign beyond the finite range, NaN 0.
double Finite(double v) {
    if (std::isnan(v)) return 0.0;
    return std::clamp(v, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
}

double Clamp01(double v) {
    if (std::isnan(v)) return 0.0;
    return v < 0 ? 0.0 : v > 1 ? 1.0 : v;
}

// The unit vector along (x, y, z), or nullopt when it has no length (or is not finite).
std::optional<std::array<float, 3>> Unit(double x, double y, double z) {
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0) || !std::isfinite(len)) return std::nullopt;
    return std::array<float, 3>{static_cast<float>(x / len), static_cast<float>(y / len), static_cast<float>(z / len)};
}

std::string_view AlignmentName(AxisAlignment a) {
    switch (a) {
        case AxisAlignment::ZOrientX:
            return "ZOrientX";
        case AxisAlignment::ZOrientY:
            return "ZOrientY";
        case AxisAlignment::XYZ:
            return "XYZ";
        case AxisAlignment::None:
            break;
    }
    return "None";
}

int WrapOf(AddressMode mode) {
    switch (mode) {
        case AddressMode::Mirror:
            return TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT;
        case AddressMode::Clamp:
            return TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
        case AddressMode::Wrap:
            break;
    }
    return TINYGLTF_TEXTURE_WRAP_REPEAT;
}

enum class AlphaKind { Opaque, Binary, Partial };

// An image as it is embedded.
struct ExportImage {
    std::vector<uint8_t> bytes;
    bool jpeg = false;
    AlphaKind alpha = AlphaKind::Opaque;
};

// The image a texture is drawn with, frame `frame`: its pixels without the Mirror tile. Nullopt
// when the record holds no usable pixels.
std::optional<ExportImage> ImageOf(const TTexture& t, int32_t frame) {
    const int32_t frames = t.frameCount >= 1 ? t.frameCount : 1;
    if (t.width < 1 || t.height < frames || frame < 0 || frame >= frames) return std::nullopt;
    const auto width = static_cast<std::size_t>(t.width);
    const auto height = static_cast<std::size_t>(t.height);
    if (t.Rgba().size() < width * height * 4) return std::nullopt;
    const bool mirror = t.addressMode == AddressMode::Mirror;
    const std::size_t frameHeight = height / static_cast<std::size_t>(frames);
    const std::size_t cropW = mirror ? std::max<std::size_t>(width / 2, 1) : width;
    const std::size_t cropH = mirror ? std::max<std::size_t>(frameHeight / 2, 1) : frameHeight;
    const std::size_t top = frameHeight * static_cast<std::size_t>(frame);

    ExportImage image;
    bool anyPartial = false, anyTransparent = false;
    std::vector<uint8_t> rgba(cropW * cropH * 4);
    for (std::size_t y = 0; y < cropH; ++y) {
        const uint8_t* row = t.Rgba().data() + (top + y) * width * 4;
        std::copy_n(row, cropW * 4, rgba.data() + y * cropW * 4);
        for (std::size_t x = 0; x < cropW; ++x) {
            const uint8_t a = row[x * 4 + 3];
            anyTransparent = anyTransparent || a != 255;
            anyPartial = anyPartial || (a != 0 && a != 255);
        }
    }
    image.alpha = anyPartial ? AlphaKind::Partial : anyTransparent ? AlphaKind::Binary : AlphaKind::Opaque;
    if (!t.SourceJpeg().empty() && frames == 1 && image.alpha == AlphaKind::Opaque) {
        image.bytes = t.SourceJpeg();
        image.jpeg = true;
        return image;
    }
    const auto w = static_cast<int32_t>(cropW), h = static_cast<int32_t>(cropH);
    if (image.alpha == AlphaKind::Opaque) {
        std::vector<uint8_t> rgb(cropW * cropH * 3);
        for (std::size_t i = 0; i < cropW * cropH; ++i) std::copy_n(rgba.data() + i * 4, 3, rgb.data() + i * 3);
        image.bytes = EncodePng(rgb, w, h, 3);
    } else {
        image.bytes = EncodePng(rgba, w, h, 4);
    }
    if (image.bytes.empty()) return std::nullopt;
    return image;
}

// What a batch's material becomes: compared whole, so that equal looks share one material.
struct Look {
    std::array<double, 4> base{1, 1, 1, 1};
    int texture = -1;
    std::string alphaMode = "OPAQUE";
    bool doubleSided = false;
    int frames = 0;  // an animated strip's frame count, 0 otherwise
    std::string name;
    auto operator<=>(const Look&) const = default;
};

// One vertex as written.
struct OutVertex {
    std::array<float, 3> position;
    std::array<float, 3> normal;
    std::array<float, 2> uv;
    std::array<float, 3> color;
};

class Builder {
public:
    explicit Builder(const GltfOptions& options) : options_(options) {}

    bool Build(std::span<const ExportEntry> entries, GltfExport& out, std::string* error);

private:
    int AddView(const void* bytes, std::size_t size, int target);
    int AddAccessor(const void* bytes, std::size_t count, int componentType, int type, std::size_t elementBytes,
                    int target);
    int AddEntry(const ExportEntry& entry, std::size_t number);
    void AddClumpNodes(const RWXObject& model, const TClump& top, std::string name, int parent);
    void AddGroups(const RWXObject& model, const TClump& clump, const std::string& name, int node);
    int MeshOf(const RWXObject& model, const TClump& clump, AxisAlignment group, const std::string& name);
    std::optional<tinygltf::Primitive> PrimitiveOf(const RWXObject& model, const TClump& clump, const MatTris& batch);
    int MaterialOf(const std::vector<TTexture>& records, const RWXMaterial& m);
    // The glTF texture of texture record `index` of `records` sampled by `mode`, and the alpha its
    // image has; -1 when the record cannot be drawn with its image.
    std::pair<int, AlphaKind> TextureOf(const std::vector<TTexture>& records, int32_t index, int32_t frame,
                                        AddressMode mode);
    int NewNode(std::string name, int parent);

    const GltfOptions& options_;
    tinygltf::Model model_;
    std::vector<unsigned char>& buffer() { return model_.buffers[0].data; }
    std::vector<GltfFile> imageFiles_;
    GltfCounts counts_;
    bool tooLarge_ = false;

    const ObjectLook* look_ = nullptr;  // of the entry being added
    std::map<std::tuple<const TClump*, AxisAlignment, const ObjectLook*>, int> meshes_;
    std::map<Look, int> materials_;
    struct ImageRef {
        int image = -1;
        AlphaKind alpha = AlphaKind::Opaque;
    };
    std::map<std::pair<const TTexture*, int32_t>, ImageRef> images_;
    std::map<std::pair<int, int>, int> textures_;  // (image, sampler) -> texture
    std::map<int, int> samplers_;                  // wrap -> sampler
    std::vector<int32_t> remap_;                   // clump vertex -> primitive vertex, -1 unused
};

int Builder::NewNode(std::string name, int parent) {
    tinygltf::Node node;
    node.name = ReplaceInvalidUtf8(name);
    model_.nodes.push_back(std::move(node));
    const int index = static_cast<int>(model_.nodes.size() - 1);
    if (parent >= 0) model_.nodes[static_cast<std::size_t>(parent)].children.push_back(index);
    ++counts_.nodes;
    return index;
}

int Builder::AddView(const void* bytes, std::size_t size, int target) {
    std::vector<unsigned char>& data = buffer();
    while (data.size() % 4 != 0) data.push_back(0);
    if (data.size() + size > kMaxBufferBytes) {
        tooLarge_ = true;
        return -1;
    }
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = data.size();
    view.byteLength = size;
    view.target = target;
    const auto* p = static_cast<const unsigned char*>(bytes);
    data.insert(data.end(), p, p + size);
    model_.bufferViews.push_back(std::move(view));
    return static_cast<int>(model_.bufferViews.size() - 1);
}

int Builder::AddAccessor(const void* bytes, std::size_t count, int componentType, int type, std::size_t elementBytes,
                         int target) {
    const int view = AddView(bytes, count * elementBytes, target);
    if (view < 0) return -1;
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.byteOffset = 0;
    accessor.componentType = componentType;
    accessor.count = count;
    accessor.type = type;
    model_.accessors.push_back(std::move(accessor));
    return static_cast<int>(model_.accessors.size() - 1);
}

std::pair<int, AlphaKind> Builder::TextureOf(const std::vector<TTexture>& records, int32_t index, int32_t frame,
                                             AddressMode mode) {
    if (index < 0 || static_cast<std::size_t>(index) >= records.size()) return {-1, AlphaKind::Opaque};
    const TTexture& t = records[static_cast<std::size_t>(index)];
    // As drawn: a texture without mipmaps is given no image, and its faces draw untextured.
    if (!t.mipmapped) return {-1, AlphaKind::Opaque};

    const auto key = std::make_pair(&t, frame);
    auto found = images_.find(key);
    if (found == images_.end()) {
        ImageRef ref;
        if (std::optional<ExportImage> image = ImageOf(t, frame)) {
            tinygltf::Image out;
            out.name = ReplaceInvalidUtf8(t.name);
            out.mimeType = image->jpeg ? "image/jpeg" : "image/png";
            const std::size_t number = model_.images.size();
            if (options_.form == GltfForm::Binary) {
                out.bufferView = AddView(image->bytes.data(), image->bytes.size(), 0);
            } else {
                GltfFile file;
                file.name = options_.stem + "_" + std::to_string(number) + (image->jpeg ? ".jpg" : ".png");
                out.uri = UriOfFileName(file.name);
                file.content.assign(image->bytes.begin(), image->bytes.end());
                imageFiles_.push_back(std::move(file));
            }
            if (options_.form == GltfForm::Text || out.bufferView >= 0) {
                model_.images.push_back(std::move(out));
                ref.image = static_cast<int>(number);
                ref.alpha = image->alpha;
                ++counts_.images;
            }
        }
        found = images_.emplace(key, ref).first;
    }
    const ImageRef ref = found->second;
    if (ref.image < 0) return {-1, AlphaKind::Opaque};

    const int wrap = WrapOf(mode);
    auto sampler = samplers_.find(wrap);
    if (sampler == samplers_.end()) {
        tinygltf::Sampler s;
        s.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
        s.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
        s.wrapS = wrap;
        s.wrapT = wrap;
        model_.samplers.push_back(std::move(s));
        sampler = samplers_.emplace(wrap, static_cast<int>(model_.samplers.size() - 1)).first;
    }
    const auto textureKey = std::make_pair(ref.image, sampler->second);
    auto texture = textures_.find(textureKey);
    if (texture == textures_.end()) {
        tinygltf::Texture out;
        out.source = ref.image;
        out.sampler = sampler->second;
        out.name = model_.images[static_cast<std::size_t>(ref.image)].name;
        model_.textures.push_back(std::move(out));
        texture = textures_.emplace(textureKey, static_cast<int>(model_.textures.size() - 1)).first;
    }
    return {texture->second, ref.alpha};
}

int Builder::MaterialOf(const std::vector<TTexture>& records, const RWXMaterial& m) {
    Look look;
    const double opacity = Clamp01(m.opacity);
    AlphaKind alpha = AlphaKind::Opaque;
    if (m.frameCount > 0) {
        const uint32_t key = m.textureFrames[0];
        if (key != 0) {
            const auto [texture, kind] = TextureOf(records, TextureOfKey(key), FrameOfKey(key), m.addressMode);
            look.texture = texture;
            alpha = kind;
        }
    }
    if (look.texture >= 0) {
        look.base = {1, 1, 1, opacity};
        const TTexture& t = records[static_cast<std::size_t>(TextureOfKey(m.textureFrames[0]))];
        look.frames = t.frameCount > 1 ? t.frameCount : 0;
        look.name = ReplaceInvalidUtf8(t.name);
    } else {
        look.base = {Clamp01(m.color.r), Clamp01(m.color.g), Clamp01(m.color.b), opacity};
    }
    if (opacity < 1 || alpha == AlphaKind::Partial)
        look.alphaMode = "BLEND";
    else if (alpha == AlphaKind::Binary)
        look.alphaMode = "MASK";
    look.doubleSided = m.IsDoubleSided();

    if (const auto found = materials_.find(look); found != materials_.end()) return found->second;
    tinygltf::Material out;
    out.name = look.name;
    out.pbrMetallicRoughness.baseColorFactor.assign(look.base.begin(), look.base.end());
    out.pbrMetallicRoughness.metallicFactor = 0.0;
    out.pbrMetallicRoughness.roughnessFactor = 1.0;
    out.pbrMetallicRoughness.baseColorTexture.index = look.texture;
    out.alphaMode = look.alphaMode;
    out.alphaCutoff = 0.5;
    out.doubleSided = look.doubleSided;
    if (look.frames > 0) {
        tinygltf::Value::Object extras;
        extras["textureFrames"] = tinygltf::Value(look.frames);
        out.extras = tinygltf::Value(std::move(extras));
    }
    model_.materials.push_back(std::move(out));
    ++counts_.materials;
    const int index = static_cast<int>(model_.materials.size() - 1);
    materials_.emplace(std::move(look), index);
    return index;
}

std::optional<tinygltf::Primitive> Builder::PrimitiveOf(const RWXObject& model, const TClump& clump,
                                                        const MatTris& batch) {
    const FaceLook* face = look_ ? look_->variant.LookOf(batch) : nullptr;
    const RWXMaterial& m = face ? face->material : batch.Material();
    const ImagePlanes* planes = face ? look_->PlanesOf(*face) : nullptr;
    const std::vector<TTexture>& records = face && face->image != FaceImage::Model ? look_->textures : model.Textures();
    const bool facet = m.IsFacet();
    const PodVector<TTriangle>& triangles = batch.Triangles();
    const PodVector<Vec3>& faceNormals = batch.FaceNormals();

    std::vector<OutVertex> vertices;
    std::vector<uint32_t> indices;
    bool anyColor = false;
    if (remap_.size() < clump.Vertices().size()) remap_.resize(clump.Vertices().size(), -1);
    std::vector<std::size_t> shared;  // the entries of remap_ this batch set
    int64_t written = 0;
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const TTriangle& t = triangles[i];
        const TVertex* corner[3] = {clump.GetVertex(t[0]), clump.GetVertex(t[1]), clump.GetVertex(t[2])};
        if (!corner[0] || !corner[1] || !corner[2]) continue;  // never for a script that was read
        ++written;
        std::optional<std::array<float, 3>> faceNormal;
        if (facet && i < faceNormals.size()) faceNormal = Unit(faceNormals[i].x, faceNormals[i].y, faceNormals[i].z);
        if (!faceNormal) {
            const Vec3 n = UnitFaceNormal(*corner[0], *corner[1], *corner[2]);
            faceNormal = Unit(n.x, n.y, n.z);
        }
        const std::array<float, 3> fallback = faceNormal.value_or(std::array<float, 3>{0, 1, 0});
        for (std::size_t c = 0; c < 3; ++c) {
            const TVertex& v = *corner[c];
            std::optional<std::array<float, 3>> normal;
            if (!facet) normal = Unit(v.nx, v.ny, v.nz);
            // Shared only when the vertex normal is its own: corners that take the face's
            // normal get a vertex of their own.
            const bool isShared = !facet && normal.has_value();
            const auto index = static_cast<std::size_t>(t[c]);
            if (isShared && remap_[index] >= 0) {
                indices.push_back(static_cast<uint32_t>(remap_[index]));
                continue;
            }
            OutVertex out;
            out.position = {ToFloat(v.x), ToFloat(v.y), ToFloat(v.z)};
            out.normal = normal.value_or(fallback);
            if (planes) {
                const auto& ps = planes->s;
                const auto& pt = planes->t;
                out.uv = {ToFloat(ps[0] * v.x + ps[1] * v.y + ps[2] * v.z + ps[3]),
                          ToFloat(pt[0] * v.x + pt[1] * v.y + pt[2] * v.z + pt[3])};
            } else {
                out.uv = {ToFloat(v.u), ToFloat(v.v)};
            }
            out.color = {static_cast<float>(Clamp01(v.r)), static_cast<float>(Clamp01(v.g)),
                         static_cast<float>(Clamp01(v.b))};
            anyColor = anyColor || v.r != 0 || v.g != 0 || v.b != 0;
            const auto number = static_cast<int32_t>(vertices.size());
            if (isShared) {
                remap_[index] = number;
                shared.push_back(index);
            }
            vertices.push_back(out);
            indices.push_back(static_cast<uint32_t>(number));
        }
    }
    for (const std::size_t index : shared) remap_[index] = -1;
    if (written == 0) return std::nullopt;

    const std::size_t count = vertices.size();
    std::vector<float> positions, normals, uvs, colors;
    positions.reserve(count * 3);
    normals.reserve(count * 3);
    uvs.reserve(count * 2);
    std::array<double, 3> lo{}, hi{};
    for (std::size_t i = 0; i < count; ++i) {
        const OutVertex& v = vertices[i];
        positions.insert(positions.end(), v.position.begin(), v.position.end());
        normals.insert(normals.end(), v.normal.begin(), v.normal.end());
        uvs.insert(uvs.end(), v.uv.begin(), v.uv.end());
        if (anyColor) colors.insert(colors.end(), v.color.begin(), v.color.end());
        for (std::size_t k = 0; k < 3; ++k) {
            const double p = v.position[k];
            lo[k] = i == 0 ? p : std::min(lo[k], p);
            hi[k] = i == 0 ? p : std::max(hi[k], p);
        }
    }

    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    const int position = AddAccessor(positions.data(), count, kFloat, TINYGLTF_TYPE_VEC3, 12, kArrayBuffer);
    if (position < 0) return std::nullopt;
    model_.accessors[static_cast<std::size_t>(position)].minValues.assign(lo.begin(), lo.end());
    model_.accessors[static_cast<std::size_t>(position)].maxValues.assign(hi.begin(), hi.end());
    primitive.attributes["POSITION"] = position;
    primitive.attributes["NORMAL"] = AddAccessor(normals.data(), count, kFloat, TINYGLTF_TYPE_VEC3, 12, kArrayBuffer);
    primitive.attributes["TEXCOORD_0"] = AddAccessor(uvs.data(), count, kFloat, TINYGLTF_TYPE_VEC2, 8, kArrayBuffer);
    if (anyColor)
        primitive.attributes["COLOR_0"] =
            AddAccessor(colors.data(), count, kFloat, TINYGLTF_TYPE_VEC3, 12, kArrayBuffer);
    if (count <= 65535) {
        std::vector<uint16_t> small(indices.begin(), indices.end());
        primitive.indices =
            AddAccessor(small.data(), small.size(), kUnsignedShort, TINYGLTF_TYPE_SCALAR, 2, kElementArrayBuffer);
    } else {
        primitive.indices =
            AddAccessor(indices.data(), indices.size(), kUnsignedInt, TINYGLTF_TYPE_SCALAR, 4, kElementArrayBuffer);
    }
    if (tooLarge_) return std::nullopt;
    primitive.material = MaterialOf(records, m);
    if (batch.Tag() != 0) {
        tinygltf::Value::Object extras;
        extras["tag"] = tinygltf::Value(static_cast<int>(batch.Tag()));
        primitive.extras = tinygltf::Value(std::move(extras));
    }
    counts_.triangles += written;
    ++counts_.primitives;
    return primitive;
}

int Builder::MeshOf(const RWXObject& model, const TClump& clump, AxisAlignment group, const std::string& name) {
    const auto key = std::make_tuple(&clump, group, look_);
    if (const auto found = meshes_.find(key); found != meshes_.end()) return found->second;
    tinygltf::Mesh mesh;
    mesh.name = ReplaceInvalidUtf8(name);
    for (const auto& batch : clump.Batches())
        if (batch->Material().axisAlignment == group)
            if (std::optional<tinygltf::Primitive> p = PrimitiveOf(model, clump, *batch))
                mesh.primitives.push_back(std::move(*p));
    int index = -1;
    if (!mesh.primitives.empty()) {
        model_.meshes.push_back(std::move(mesh));
        index = static_cast<int>(model_.meshes.size() - 1);
        ++counts_.meshes;
    }
    meshes_.emplace(key, index);
    return index;
}

void Builder::AddGroups(const RWXObject& model, const TClump& clump, const std::string& name, int node) {
    std::vector<AxisAlignment> groups;
    for (const auto& batch : clump.Batches())
        if (std::find(groups.begin(), groups.end(), batch->Material().axisAlignment) == groups.end())
            groups.push_back(batch->Material().axisAlignment);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const int mesh = MeshOf(model, clump, groups[g], name);
        if (mesh < 0) continue;
        const int target = g == 0 ? node : NewNode(name + " facer", node);
        tinygltf::Node& n = model_.nodes[static_cast<std::size_t>(target)];
        n.mesh = mesh;
        if (groups[g] != AxisAlignment::None) {
            tinygltf::Value::Object extras;
            extras["axisAlignment"] = tinygltf::Value(std::string(AlignmentName(groups[g])));
            n.extras = tinygltf::Value(std::move(extras));
        }
    }
}

// Clump nodes are named by their place in the tree ("clump 2.1.3") down to this level; deeper
// ones by the first levels, their own number and their level, so that names stay short however
// deep a model nests its clumps.
constexpr std::size_t kNamedLevels = 16;

void Builder::AddClumpNodes(const RWXObject& model, const TClump& top, std::string name, int parent) {
    struct Pending {
        const TClump* clump;
        std::string name;
        std::size_t level;  // 1 for a top-level clump
        int parent;
    };
    std::vector<Pending> stack{{&top, std::move(name), 1, parent}};
    while (!stack.empty() && !tooLarge_) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        const int node = NewNode(p.name, p.parent);
        AddGroups(model, *p.clump, p.name, node);
        const auto& children = p.clump->Children();
        const std::size_t level = p.level + 1;
        // The dotted path of the deepest level named in full, which deeper names start with.
        std::string_view head = p.name;
        if (p.level > kNamedLevels) head = head.substr(0, head.find(".\u2026"));
        for (std::size_t i = children.size(); i-- > 0;) {
            std::string childName(head);
            if (level <= kNamedLevels)
                childName += "." + std::to_string(i + 1);
            else
                childName += ".\u2026." + std::to_string(i + 1) + " (level " + std::to_string(level) + ")";
            stack.push_back({children[i].get(), std::move(childName), level, node});
        }
    }
}

int Builder::AddEntry(const ExportEntry& entry, std::size_t number) {
    const RWXObject& model = *entry.model;
    look_ = entry.look;
    const std::string_view path = entry.name.empty() ? std::string_view(model.Path()) : entry.name;
    const int node = NewNode(path.empty() ? "entry " + std::to_string(number) : std::string(path), 0);
    tinygltf::Node& n = model_.nodes[static_cast<std::size_t>(node)];
    const Placement& placement = entry.placement;
    const auto& offset = placement.position;
    if (offset[0] != 0 || offset[1] != 0 || offset[2] != 0)
        n.translation = {Finite(offset[0]), Finite(offset[1]), Finite(offset[2])};
    if (!placement.IsPlain()) {
        const std::array<double, 4> q = RotationQuaternion(placement);
        if (q[0] != 0 || q[1] != 0 || q[2] != 0) n.rotation.assign(q.begin(), q.end());
        const Mat4 turn = TurnMatrix(placement);
        const double sx = std::hypot(turn[0], turn[1], turn[2]), sy = std::hypot(turn[4], turn[5], turn[6]),
                     sz = std::hypot(turn[8], turn[9], turn[10]);
        const std::array<float, 3> scale{static_cast<float>(sx), static_cast<float>(sy), static_cast<float>(sz)};
        if (scale[0] != 1.0f || scale[1] != 1.0f || scale[2] != 1.0f)
            n.scale = {static_cast<double>(scale[0]), static_cast<double>(scale[1]), static_cast<double>(scale[2])};
    }
    const auto& clumps = model.Clumps();
    for (std::size_t i = 0; i < clumps.size() && !tooLarge_; ++i)
        AddClumpNodes(model, *clumps[i], "clump " + std::to_string(i + 1), node);
    ++counts_.entries;
    return node;
}

bool Builder::Build(std::span<const ExportEntry> entries, GltfExport& out, std::string* error) {
    model_.asset.version = "2.0";
    model_.asset.generator = "Pelorus " + std::string(kProgramVersion);
    model_.buffers.emplace_back();
    model_.defaultScene = 0;
    tinygltf::Scene scene;
    scene.name = ReplaceInvalidUtf8(options_.sceneName);
    scene.nodes.push_back(NewNode(options_.sceneName, -1));
    model_.scenes.push_back(std::move(scene));
    model_.nodes[0].scale = {10.0, 10.0, 10.0};  // ten metres a model unit

    std::size_t number = 0;
    for (const ExportEntry& entry : entries)
        if (entry.model && !tooLarge_) AddEntry(entry, ++number);
    if (tooLarge_) {
        if (error) *error = "the model is too large for a glTF file (its data would pass 4 GiB)";
        return false;
    }

    const bool binary = options_.form == GltfForm::Binary;
    std::optional<GltfFile> bin;
    if (buffer().empty()) {
        model_.buffers.clear();  // nothing to hold: no buffer at all
    } else if (!binary) {
        // The writer embeds the buffers of a text file in it; this one goes beside it instead, so
        // it is taken out here and named below.
        bin = GltfFile{options_.stem + ".bin", std::string(buffer().begin(), buffer().end())};
        std::vector<unsigned char>().swap(buffer());
    }
    std::ostringstream text;
    tinygltf::TinyGLTF writer;
    try {
        if (!writer.WriteGltfSceneToStream(&model_, text, !binary, binary)) {
            if (error) *error = "the glTF data could not be written";
            return false;
        }
        out.main = std::move(text).str();
        if (bin) {
            nlohmann::json document = nlohmann::json::parse(out.main);
            nlohmann::json& entry = document.at("buffers").at(0);
            entry["uri"] = UriOfFileName(bin->name);
            entry["byteLength"] = bin->content.size();
            out.main = document.dump(2) + "\n";
            out.sideFiles.push_back(std::move(*bin));
        }
    } catch (const std::exception& e) {
        if (error) *error = std::string("the glTF data could not be written: ") + e.what();
        return false;
    }
    for (GltfFile& image : imageFiles_) out.sideFiles.push_back(std::move(image));
    out.counts = counts_;
    return true;
}

}  // namespace

std::vector<ExportEntry> SceneEntries(const TObjectMap& scene) {
    std::vector<ExportEntry> entries;
    entries.reserve(scene.ObjectCount());
    for (std::size_t i = 0; i < scene.ObjectCount(); ++i)
        if (scene.Placed(i).visible) {
            entries.push_back({&scene.Object(i), scene.PlacementOf(i), scene.NameOf(i)});
            entries.back().look = scene.LookOf(i);
        }
    return entries;
}

std::vector<ExportEntry> SceneEntriesNear(const TObjectMap& scene, const Vec3& centre, double distance) {
    if (!(distance > 0) || !std::isfinite(distance)) return SceneEntries(scene);
    std::vector<uint32_t> near;
    scene.ObjectsNear(centre, distance, near);
    std::vector<ExportEntry> entries;
    entries.reserve(near.size());
    for (const uint32_t i : near)
        if (scene.Placed(i).visible) {
            entries.push_back({&scene.Object(i), scene.PlacementOf(i), scene.NameOf(i)});
            entries.back().look = scene.LookOf(i);
        }
    return entries;
}

std::array<double, 4> RotationQuaternion(const Placement& placement) {
    auto about = [](float degrees, int axis) {
        const double half = (std::isfinite(degrees) ? static_cast<double>(degrees) : 0.0) * std::numbers::pi / 360.0;
        std::array<double, 4> q{0, 0, 0, std::cos(half)};
        q[static_cast<std::size_t>(axis)] = std::sin(half);
        return q;
    };
    // The Hamilton product a b: turning by b first, then by a.
    auto times = [](const std::array<double, 4>& a, const std::array<double, 4>& b) {
        return std::array<double, 4>{a[3] * b[0] + b[3] * a[0] + a[1] * b[2] - a[2] * b[1],
                                     a[3] * b[1] + b[3] * a[1] + a[2] * b[0] - a[0] * b[2],
                                     a[3] * b[2] + b[3] * a[2] + a[0] * b[1] - a[1] * b[0],
                                     a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
    };
    return times(times(about(placement.yaw, 1), about(placement.roll, 2)), about(placement.tilt, 0));
}

std::optional<GltfForm> GltfFormOf(std::string_view path) {
    if (path.size() > 4 && EndsWithNoCase(path, ".glb")) return GltfForm::Binary;
    if (path.size() > 5 && EndsWithNoCase(path, ".gltf")) return GltfForm::Text;
    return std::nullopt;
}

std::string GltfStem(std::string_view path) {
    std::string_view name = FileNamePart(path);
    if (EndsWithNoCase(name, ".gltf"))
        name.remove_suffix(5);
    else if (EndsWithNoCase(name, ".glb"))
        name.remove_suffix(4);
    return std::string(name);
}

std::string UriOfFileName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<GltfExport> BuildGltf(std::span<const ExportEntry> entries, const GltfOptions& options,
                                    std::string* error) {
    GltfExport out;
    Builder builder(options);
    if (!builder.Build(entries, out, error)) return std::nullopt;
    return out;
}

}  // namespace pelorus
