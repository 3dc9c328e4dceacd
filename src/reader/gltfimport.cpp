// glTF 2.0 models read through tinygltf and converted into clumps (see modelimport.h).

#include <sys/stat.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/importshared.h"
#include "reader/modelimport.h"
#include "reader/rwxobject.h"
#include "reader/textureload.h"

namespace pelorus {
namespace {

constexpr std::string_view kPrefix = "glTF";

// ---- Files --------------------------------------------------------------------------------

// What the loader's callbacks need: where files are, and the images they decoded.
struct Loading {
    RWXObject* model = nullptr;
    FolderListingCache* folders = nullptr;
    std::map<int, ImportImage> images;  // by image index
    std::set<int> tried;                // images whose bytes were found (decoded or reported)
};

bool FileExists(const std::string& path, void* user) {
    const auto* loading = static_cast<const Loading*>(user);
    struct stat st {};
    const int fd = OpenRegularFile(path, st, nullptr, loading->folders);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Names are taken as written: never expanded as a shell would.
std::string ExpandNothing(const std::string& path, void*) {
    return path;
}

bool ReadFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
    const auto* loading = static_cast<const Loading*>(user);
    std::string text;
    const ReadStatus status = ReadFileStatus(path, text, kMaxImportFileBytes, loading->folders);
    if (status != ReadStatus::kOk) {
        if (err) *err += "\"" + BoundedQuote(FileNamePart(path)) + "\" " + std::string(ReadStatusText(status)) + "\n";
        return false;
    }
    out->assign(text.begin(), text.end());
    return true;
}

bool WriteNothing(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
    return false;
}

// Decodes each image as the loader meets it; tinygltf keeps no pixels. A broken image costs a
// line and leaves its textures out, never the model.
bool LoadImage(tinygltf::Image* image, const int index, std::string*, std::string*, int, int,
               const unsigned char* bytes, int size, void* user) {
    auto* loading = static_cast<Loading*>(user);
    loading->tried.insert(index);
    const std::string name = !image->uri.empty()    ? std::string(FileNamePart(image->uri))
                             : !image->name.empty() ? image->name
                                                    : "image " + std::to_string(index);
    std::optional<ImportImage> decoded = DecodeImportImage(
        *loading->model, name, std::span<const uint8_t>(bytes, size > 0 ? static_cast<std::size_t>(size) : 0));
    if (decoded) loading->images[index] = std::move(*decoded);
    return true;
}

// ---- Numbers ------------------------------------------------------------------------------

// A 4 x 4 matrix of doubles, column by column as glTF writes them.
using Mat4 = std::array<double, 16>;
constexpr Mat4 kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    return r;
}

double Determinant3(const Mat4& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

Mat4 LocalMatrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        Mat4 m;
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
        return m;
    }
    Mat4 m = kIdentity;
    double x = 0, y = 0, z = 0, w = 1;
    if (node.rotation.size() == 4) {
        x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
        const double len = std::sqrt(x * x + y * y + z * z + w * w);
        if (len > 0 && std::isfinite(len)) x /= len, y /= len, z /= len, w /= len;
    }
    const double sx = node.scale.size() == 3 ? node.scale[0] : 1;
    const double sy = node.scale.size() == 3 ? node.scale[1] : 1;
    const double sz = node.scale.size() == 3 ? node.scale[2] : 1;
    m[0] = (1 - 2 * (y * y + z * z)) * sx;
    m[1] = (2 * (x * y + z * w)) * sx;
    m[2] = (2 * (x * z - y * w)) * sx;
    m[4] = (2 * (x * y - z * w)) * sy;
    m[5] = (1 - 2 * (x * x + z * z)) * sy;
    m[6] = (2 * (y * z + x * w)) * sy;
    m[8] = (2 * (x * z + y * w)) * sz;
    m[9] = (2 * (y * z - x * w)) * sz;
    m[10] = (1 - 2 * (x * x + y * y)) * sz;
    if (node.translation.size() == 3) {
        m[12] = node.translation[0];
        m[13] = node.translation[1];
        m[14] = node.translation[2];
    }
    return m;
}

// ---- Accessors ----------------------------------------------------------------------------

// One component of type `componentType` at `p`, normalised when asked (and an integer).
double Component(const unsigned char* p, int componentType, bool normalized) {
    switch (componentType) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT: {
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        case TINYGLTF_COMPONENT_TYPE_BYTE: {
            const auto v = static_cast<int8_t>(*p);
            return normalized ? std::max(v / 127.0, -1.0) : v;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return normalized ? *p / 255.0 : *p;
        case TINYGLTF_COMPONENT_TYPE_SHORT: {
            int16_t v;
            std::memcpy(&v, p, 2);
            return normalized ? std::max(v / 32767.0, -1.0) : v;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return normalized ? v / 65535.0 : v;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return normalized ? v / 4294967295.0 : v;
        }
        default:
            return 0;
    }
}

// The bytes of buffer view `index` that `offset` and `length` ask for; empty when they lie
// outside it or outside its buffer.
std::span<const unsigned char> ViewBytes(const tinygltf::Model& g, int index, uint64_t offset, uint64_t length,
                                         bool* ok) {
    *ok = false;
    if (index < 0 || static_cast<std::size_t>(index) >= g.bufferViews.size()) return {};
    const tinygltf::BufferView& view = g.bufferViews[static_cast<std::size_t>(index)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= g.buffers.size()) return {};
    const std::vector<unsigned char>& data = g.buffers[static_cast<std::size_t>(view.buffer)].data;
    const uint64_t viewStart = view.byteOffset, viewLength = view.byteLength;
    if (viewStart > data.size() || viewLength > data.size() - viewStart) return {};
    if (offset > viewLength || length > viewLength - offset) return {};
    *ok = true;
    return {data.data() + viewStart + offset, static_cast<std::size_t>(length)};
}

// Accessor `index` as `components` values an element (the accessor must have that many), each
// read as a double; with `decimal`, floats become the double of their shortest text. Nullopt
// with `why` set when the accessor is missing, of another shape, or reaches outside its data.
std::optional<std::vector<double>> ReadAccessor(const tinygltf::Model& g, int index, int components, bool decimal,
                                                std::string& why) {
    if (index < 0 || static_cast<std::size_t>(index) >= g.accessors.size()) {
        why = "it names an accessor that does not exist";
        return std::nullopt;
    }
    const tinygltf::Accessor& a = g.accessors[static_cast<std::size_t>(index)];
    const int size = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
    if (tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type)) != components || size <= 0) {
        why = "accessor " + std::to_string(index) + " is not of the kind its use needs";
        return std::nullopt;
    }
    const uint64_t count = a.count;
    constexpr uint64_t kMaxElements = uint64_t{1} << 31;
    if (count > kMaxElements) {
        why = "accessor " + std::to_string(index) + " is too large";
        return std::nullopt;
    }
    const uint64_t element = static_cast<uint64_t>(size) * static_cast<uint64_t>(components);
    std::vector<double> out(static_cast<std::size_t>(count * static_cast<uint64_t>(components)), 0.0);
    const bool asFloat = a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT;
    auto readElement = [&](const unsigned char* p, std::size_t slot) {
        for (int c = 0; c < components; ++c) {
            const unsigned char* q = p + c * size;
            double v;
            if (asFloat && decimal) {
                float f;
                std::memcpy(&f, q, 4);
                v = DecimalOf(f);
            } else {
                v = Component(q, a.componentType, a.normalized);
            }
            out[slot * static_cast<std::size_t>(components) + static_cast<std::size_t>(c)] = std::isfinite(v) ? v : 0;
        }
    };
    if (a.bufferView >= 0 && count > 0) {
        const tinygltf::BufferView& view = g.bufferViews.size() > static_cast<std::size_t>(a.bufferView)
                                               ? g.bufferViews[static_cast<std::size_t>(a.bufferView)]
                                               : tinygltf::BufferView();
        const uint64_t stride = view.byteStride ? view.byteStride : element;
        bool ok = stride >= element;
        const std::span<const unsigned char> bytes =
            ok ? ViewBytes(g, a.bufferView, a.byteOffset, stride * (count - 1) + element, &ok)
               : std::span<const unsigned char>();
        if (!ok) {
            why = "accessor " + std::to_string(index) + " reaches outside its data";
            return std::nullopt;
        }
        for (uint64_t i = 0; i < count; ++i) readElement(bytes.data() + i * stride, static_cast<std::size_t>(i));
    }
    if (a.sparse.isSparse && a.sparse.count > 0) {
        const auto n = static_cast<uint64_t>(a.sparse.count);
        const int indexSize = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.sparse.indices.componentType));
        bool ok = n <= count && indexSize > 0 && a.sparse.indices.byteOffset >= 0 && a.sparse.values.byteOffset >= 0;
        std::span<const unsigned char> indices, values;
        if (ok)
            indices = ViewBytes(g, a.sparse.indices.bufferView, static_cast<uint64_t>(a.sparse.indices.byteOffset),
                                n * static_cast<uint64_t>(indexSize), &ok);
        if (ok)
            values = ViewBytes(g, a.sparse.values.bufferView, static_cast<uint64_t>(a.sparse.values.byteOffset),
                               n * element, &ok);
        for (uint64_t i = 0; ok && i < n; ++i) {
            const double at =
                Component(indices.data() + i * static_cast<uint64_t>(indexSize), a.sparse.indices.componentType, false);
            if (!(at >= 0 && at < static_cast<double>(count))) {
                ok = false;
                break;
            }
            readElement(values.data() + i * element, static_cast<std::size_t>(at));
        }
        if (!ok) {
            why = "accessor " + std::to_string(index) + " has damaged sparse values";
            return std::nullopt;
        }
    }
    return out;
}

// ---- Conversion ---------------------------------------------------------------------------

// A glTF texture reference resolved: the image, how it wraps and which coordinates it takes,
// with KHR_texture_transform's offset, rotation and scale.
struct TextureUse {
    int image = -1;
    AddressMode mode = AddressMode::Wrap;
    int texCoord = 0;
    bool transformed = false;
    double offset[2] = {0, 0};
    double rotation = 0;
    double scale[2] = {1, 1};
};

double NumberOr(const tinygltf::Value& v, double fallback) {
    return v.IsNumber() ? v.GetNumberAsDouble() : fallback;
}

class Converter {
public:
    Converter(RWXObject& model, const tinygltf::Model& gltf, Loading& loading)
        : model_(model), g_(gltf), loading_(loading), notCarried_(model, kPrefix) {}
    void Run();

private:
    void ReportWhatIsNotCarried();
    std::optional<TextureUse> TextureOf(const tinygltf::TextureInfo& info);
    // The look of material `index` (-1: the default material) for faces with or without normals.
    ImportLook LookOf(int index, bool smooth);
    int32_t TextureRecord(const TextureUse& use, const tinygltf::Material& m);
    void AddMesh(TClump& clump, int meshIndex, const Mat4& world);
    void AddPrimitive(TClump& clump, const tinygltf::Primitive& p, const Mat4& world, bool identity, bool mirrored,
                      const std::string& where);

    RWXObject& model_;
    const tinygltf::Model& g_;
    Loading& loading_;
    NotCarried notCarried_;
    std::map<std::pair<int, bool>, ImportLook> looks_;
    // By image, wrapping, tint, alpha treatment (0 opaque, 1 mask, 2 blend), mask base alpha and
    // cut-off: materials that make the same pixels share one record.
    using TextureKey = std::tuple<int, int, double, double, double, int, double, double>;
    std::map<TextureKey, int32_t> textures_;
    int64_t clumps_ = 0;
    bool tooManyClumps_ = false;
};

void Converter::ReportWhatIsNotCarried() {
    if (!g_.animations.empty()) notCarried_.Say("animations");
    if (!g_.skins.empty()) notCarried_.Say("skins");
    if (!g_.cameras.empty()) notCarried_.Say("cameras");
    for (const std::string& ext : g_.extensionsUsed) {
        if (ext == "KHR_texture_transform" || ext == "KHR_mesh_quantization") continue;
        if (ext == "KHR_lights_punctual")
            notCarried_.Say("lights (KHR_lights_punctual)");
        else
            notCarried_.Say("extension " + ext);
    }
    for (const tinygltf::Mesh& mesh : g_.meshes)
        for (const tinygltf::Primitive& p : mesh.primitives) {
            if (!p.targets.empty()) notCarried_.Say("morph targets");
            if (p.attributes.contains("COLOR_0")) notCarried_.Say("vertex colours");
            if (p.mode != TINYGLTF_MODE_TRIANGLES && p.mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
                p.mode != TINYGLTF_MODE_TRIANGLE_FAN && p.mode != -1)
                notCarried_.Say("points and lines");
        }
    for (const tinygltf::Material& m : g_.materials) {
        const tinygltf::PbrMetallicRoughness& pbr = m.pbrMetallicRoughness;
        if (pbr.metallicRoughnessTexture.index >= 0 || pbr.metallicFactor != 0 || pbr.roughnessFactor != 1)
            notCarried_.Say("metallic and roughness");
        if (m.normalTexture.index >= 0) notCarried_.Say("normal maps");
        if (m.occlusionTexture.index >= 0) notCarried_.Say("occlusion maps");
        bool emissive = m.emissiveTexture.index >= 0;
        for (const double e : m.emissiveFactor) emissive = emissive || e != 0;
        if (emissive) notCarried_.Say("emissive colour");
    }
}

std::optional<TextureUse> Converter::TextureOf(const tinygltf::TextureInfo& info) {
    if (info.index < 0 || static_cast<std::size_t>(info.index) >= g_.textures.size()) return std::nullopt;
    const tinygltf::Texture& t = g_.textures[static_cast<std::size_t>(info.index)];
    if (t.source < 0 || static_cast<std::size_t>(t.source) >= g_.images.size()) return std::nullopt;
    TextureUse use;
    use.image = t.source;
    use.texCoord = std::max(info.texCoord, 0);
    if (t.sampler >= 0 && static_cast<std::size_t>(t.sampler) < g_.samplers.size()) {
        switch (g_.samplers[static_cast<std::size_t>(t.sampler)].wrapS) {
            case TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT:
                use.mode = AddressMode::Mirror;
                break;
            case TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE:
                use.mode = AddressMode::Clamp;
                break;
            default:
                break;
        }
    }
    if (const auto found = info.extensions.find("KHR_texture_transform"); found != info.extensions.end()) {
        const tinygltf::Value& x = found->second;
        const tinygltf::Value& offset = x.Get("offset");
        const tinygltf::Value& scale = x.Get("scale");
        if (offset.IsArray() && offset.ArrayLen() == 2) {
            use.offset[0] = NumberOr(offset.Get(0), 0);
            use.offset[1] = NumberOr(offset.Get(1), 0);
        }
        if (scale.IsArray() && scale.ArrayLen() == 2) {
            use.scale[0] = NumberOr(scale.Get(0), 1);
            use.scale[1] = NumberOr(scale.Get(1), 1);
        }
        use.rotation = NumberOr(x.Get("rotation"), 0);
        if (x.Get("texCoord").IsInt()) use.texCoord = std::max(x.Get("texCoord").GetNumberAsInt(), 0);
        use.transformed = true;
    }
    return use;
}

int32_t Converter::TextureRecord(const TextureUse& use, const tinygltf::Material& m) {
    const std::vector<double>& f = m.pbrMetallicRoughness.baseColorFactor;
    const double tint[3] = {f.size() == 4 ? f[0] : 1, f.size() == 4 ? f[1] : 1, f.size() == 4 ? f[2] : 1};
    const double baseAlpha = f.size() == 4 ? f[3] : 1;
    const int alphaKind = m.alphaMode == "MASK" ? 1 : m.alphaMode == "BLEND" ? 2 : 0;
    const TextureKey key{use.image,
                         static_cast<int>(use.mode),
                         tint[0],
                         tint[1],
                         tint[2],
                         alphaKind,
                         alphaKind == 1 ? baseAlpha : 1,
                         alphaKind == 1 ? m.alphaCutoff : 0};
    if (const auto found = textures_.find(key); found != textures_.end()) return found->second;
    int32_t record = -1;
    const tinygltf::Image& image = g_.images[static_cast<std::size_t>(use.image)];
    std::string name = !image.uri.empty() ? std::string(FileNamePart(image.uri)) : image.name;
    if (name.empty() || name.starts_with("data:")) {
        // Named after the model: "tree_0" for the first image of "tree.glb".
        std::string stem(FileNamePart(model_.Path()));
        if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
        name = stem + "_" + std::to_string(use.image);
    }
    const auto decoded = loading_.images.find(use.image);
    if (decoded == loading_.images.end()) {
        // Not decoded: missing (an external file not found) or reported already.
        if (!loading_.tried.contains(use.image)) model_.Log("Couldn't open texture \"" + BoundedQuote(name) + "\".");
    } else {
        RgbaImage rgba = decoded->second.image;
        std::shared_ptr<const std::vector<uint8_t>> jpeg = decoded->second.jpeg;
        if (tint[0] != 1 || tint[1] != 1 || tint[2] != 1) {
            jpeg.reset();
            for (std::size_t i = 0; i + 3 < rgba.pixels.size(); i += 4)
                for (int c = 0; c < 3; ++c)
                    rgba.pixels[i + static_cast<std::size_t>(c)] = static_cast<uint8_t>(
                        std::lround(std::clamp(rgba.pixels[i + static_cast<std::size_t>(c)] * tint[c], 0.0, 255.0)));
        }
        for (std::size_t i = 3; i < rgba.pixels.size(); i += 4) {
            uint8_t& a = rgba.pixels[i];
            if (alphaKind == 1)
                a = a / 255.0 * baseAlpha >= m.alphaCutoff ? 255 : 0;
            else if (alphaKind == 0)
                a = 255;
        }
        std::string where = model_.File();
        if (!image.uri.empty() && !image.uri.starts_with("data:"))
            where = JoinPath(ParentPart(model_.File()), image.uri);
        record =
            AddImportTexture(model_, std::move(name), std::move(where), std::move(rgba), std::move(jpeg), use.mode);
    }
    textures_.emplace(key, record);
    return record;
}

ImportLook Converter::LookOf(int index, bool smooth) {
    const auto key = std::make_pair(index, smooth);
    if (const auto found = looks_.find(key); found != looks_.end()) return found->second;
    ImportLook look;
    look.smooth = smooth;
    if (index >= 0 && static_cast<std::size_t>(index) < g_.materials.size()) {
        const tinygltf::Material& m = g_.materials[static_cast<std::size_t>(index)];
        const std::vector<double>& f = m.pbrMetallicRoughness.baseColorFactor;
        if (f.size() == 4)
            look.color = {std::clamp(f[0], 0.0, 1.0), std::clamp(f[1], 0.0, 1.0), std::clamp(f[2], 0.0, 1.0)};
        const double alpha = f.size() == 4 ? std::clamp(f[3], 0.0, 1.0) : 1.0;
        look.doubleSided = m.doubleSided;
        if (const std::optional<TextureUse> use = TextureOf(m.pbrMetallicRoughness.baseColorTexture))
            look.texture = TextureRecord(*use, m);
        if (m.alphaMode == "BLEND")
            look.opacity = alpha;
        else if (m.alphaMode == "MASK" && look.texture < 0)
            look.opacity = alpha >= m.alphaCutoff ? 1.0 : 0.0;
    }
    looks_.emplace(key, look);
    return look;
}

void Converter::AddPrimitive(TClump& clump, const tinygltf::Primitive& p, const Mat4& world, bool identity,
                             bool mirrored, const std::string& where) {
    const int mode = p.mode == -1 ? TINYGLTF_MODE_TRIANGLES : p.mode;
    if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN)
        return;  // reported once already
    const auto position = p.attributes.find("POSITION");
    if (position == p.attributes.end()) return;
    std::string why;
    const std::optional<std::vector<double>> positions = ReadAccessor(g_, position->second, 3, true, why);
    if (!positions) {
        model_.Log("glTF:Left out " + where + ": " + why + " : \"" + BoundedQuote(model_.Path()) + "\"");
        return;
    }
    const std::size_t count = positions->size() / 3;

    // The material and the texture coordinates its texture takes.
    const tinygltf::Material* material = p.material >= 0 && static_cast<std::size_t>(p.material) < g_.materials.size()
                                             ? &g_.materials[static_cast<std::size_t>(p.material)]
                                             : nullptr;
    const ImportLook look = LookOf(material ? p.material : -1, p.attributes.contains("NORMAL"));
    std::optional<TextureUse> use;
    if (material && look.texture >= 0) use = TextureOf(material->pbrMetallicRoughness.baseColorTexture);
    std::optional<std::vector<double>> uvs;
    if (use) {
        const auto found = p.attributes.find("TEXCOORD_" + std::to_string(use->texCoord));
        if (found != p.attributes.end()) {
            uvs = ReadAccessor(g_, found->second, 2, true, why);
            if (uvs && uvs->size() != count * 2) uvs.reset();
        }
    }

    // Corners, three a triangle.
    std::vector<uint32_t> corners;
    std::vector<uint32_t> order;
    if (p.indices >= 0) {
        const std::optional<std::vector<double>> indices = ReadAccessor(g_, p.indices, 1, false, why);
        if (!indices) {
            model_.Log("glTF:Left out " + where + ": " + why + " : \"" + BoundedQuote(model_.Path()) + "\"");
            return;
        }
        order.reserve(indices->size());
        // An index that no vertex can have (negative, from a signed type) becomes one past the end.
        for (const double i : *indices)
            order.push_back(i >= 0 && i < static_cast<double>(count) ? static_cast<uint32_t>(i) : UINT32_MAX);
    } else {
        order.resize(count);
        for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
    }
    if (mode == TINYGLTF_MODE_TRIANGLES) {
        corners = std::move(order);
        corners.resize(corners.size() / 3 * 3);
    } else {
        for (std::size_t i = 2; i < order.size(); ++i) {
            if (mode == TINYGLTF_MODE_TRIANGLE_FAN)
                corners.insert(corners.end(), {order[0], order[i - 1], order[i]});
            else if (i % 2 == 0)
                corners.insert(corners.end(), {order[i - 2], order[i - 1], order[i]});
            else
                corners.insert(corners.end(), {order[i - 1], order[i - 2], order[i]});
        }
    }
    bool outside = false;
    for (const uint32_t c : corners) outside = outside || c >= count;
    if (outside) {
        model_.Log("glTF:Left out " + where + ": its indices name vertices it does not have : \"" +
                   BoundedQuote(model_.Path()) + "\"");
        return;
    }
    const auto triangles = static_cast<int64_t>(corners.size() / 3);
    if (triangles == 0) return;
    if (!model_.RoomForGeometry(static_cast<int64_t>(count), triangles, RWXObject::Geometry::Written, where)) return;
    if (static_cast<int64_t>(clump.VertexCount()) + static_cast<int64_t>(count) > std::numeric_limits<int32_t>::max())
        return;

    const int32_t base = clump.VertexCount();
    clump.ReserveVertices(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double* q = positions->data() + i * 3;
        TVertex v;
        if (identity) {
            v.x = TenthOf(q[0]);
            v.y = TenthOf(q[1]);
            v.z = TenthOf(q[2]);
        } else {
            v.x = TenthOf(world[0] * q[0] + world[4] * q[1] + world[8] * q[2] + world[12]);
            v.y = TenthOf(world[1] * q[0] + world[5] * q[1] + world[9] * q[2] + world[13]);
            v.z = TenthOf(world[2] * q[0] + world[6] * q[1] + world[10] * q[2] + world[14]);
        }
        if (uvs) {
            double u = (*uvs)[i * 2], w = (*uvs)[i * 2 + 1];
            if (use->transformed) {
                const double su = u * use->scale[0], sv = w * use->scale[1];
                const double c = std::cos(use->rotation), s = std::sin(use->rotation);
                u = c * su - s * sv + use->offset[0];
                w = s * su + c * sv + use->offset[1];
            }
            v.u = u;
            v.v = w;
        }
        clump.AddVertex(v);
    }
    MatTris& batch = clump.BatchFor(ImportMaterial(model_, look), 0, model_.Materials());
    for (std::size_t t = 0; t < corners.size(); t += 3) {
        const int32_t a = base + static_cast<int32_t>(corners[t]);
        const int32_t b = base + static_cast<int32_t>(corners[t + 1]);
        const int32_t c = base + static_cast<int32_t>(corners[t + 2]);
        clump.AddTriangle(batch, mirrored ? TTriangle{{a, c, b}} : TTriangle{{a, b, c}});
    }
    model_.CountGeometry(static_cast<int64_t>(count), triangles, RWXObject::Geometry::Written);
    model_.CountFaceRead(triangles);
}

void Converter::AddMesh(TClump& clump, int meshIndex, const Mat4& world) {
    if (meshIndex < 0 || static_cast<std::size_t>(meshIndex) >= g_.meshes.size()) return;
    const tinygltf::Mesh& mesh = g_.meshes[static_cast<std::size_t>(meshIndex)];
    const bool identity = world == kIdentity;
    const bool mirrored = Determinant3(world) < 0;
    for (std::size_t i = 0; i < mesh.primitives.size(); ++i)
        AddPrimitive(clump, mesh.primitives[i], world, identity, mirrored,
                     "mesh " + std::to_string(meshIndex) + " primitive " + std::to_string(i));
}

void Converter::Run() {
    ReportWhatIsNotCarried();
    const std::size_t n = g_.nodes.size();
    std::vector<int> roots;
    const int scene = g_.defaultScene >= 0 ? g_.defaultScene : (g_.scenes.empty() ? -1 : 0);
    if (scene >= 0 && static_cast<std::size_t>(scene) < g_.scenes.size()) {
        roots = g_.scenes[static_cast<std::size_t>(scene)].nodes;
    } else {
        std::vector<char> isChild(n, 0);
        for (const tinygltf::Node& node : g_.nodes)
            for (const int c : node.children)
                if (c >= 0 && static_cast<std::size_t>(c) < n) isChild[static_cast<std::size_t>(c)] = 1;
        for (std::size_t i = 0; i < n; ++i)
            if (!isChild[i]) roots.push_back(static_cast<int>(i));
    }

    // The nodes in the order they are visited, each once, with its parent's place in the list.
    struct Visit {
        int node;
        std::ptrdiff_t parent;  // -1 for a root
        int depth;
        Mat4 world;
    };
    std::vector<Visit> visits;
    std::vector<char> seen(n, 0);
    std::vector<std::pair<int, std::ptrdiff_t>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, -1);
    while (!stack.empty()) {
        const auto [node, parent] = stack.back();
        stack.pop_back();
        if (node < 0 || static_cast<std::size_t>(node) >= n || seen[static_cast<std::size_t>(node)]) continue;
        seen[static_cast<std::size_t>(node)] = 1;
        const tinygltf::Node& gn = g_.nodes[static_cast<std::size_t>(node)];
        const Mat4 parentWorld = parent < 0 ? kIdentity : visits[static_cast<std::size_t>(parent)].world;
        const int depth = parent < 0 ? 1 : visits[static_cast<std::size_t>(parent)].depth + 1;
        const Mat4 local = LocalMatrix(gn);
        visits.push_back({node, parent, depth, local == kIdentity ? parentWorld : Multiply(parentWorld, local)});
        const auto self = static_cast<std::ptrdiff_t>(visits.size() - 1);
        for (auto c = gn.children.rbegin(); c != gn.children.rend(); ++c) stack.emplace_back(*c, self);
    }
    // Which visits hold geometry, themselves or below.
    std::vector<char> holds(visits.size(), 0);
    for (std::size_t i = visits.size(); i-- > 0;) {
        const tinygltf::Node& gn = g_.nodes[static_cast<std::size_t>(visits[i].node)];
        if (gn.mesh >= 0) holds[i] = 1;
        if (holds[i] && visits[i].parent >= 0) holds[static_cast<std::size_t>(visits[i].parent)] = 1;
    }
    std::vector<TClump*> clumpOf(visits.size(), nullptr);
    for (std::size_t i = 0; i < visits.size(); ++i) {
        if (!holds[i]) continue;
        const Visit& v = visits[i];
        TClump* parent = v.parent < 0 ? nullptr : clumpOf[static_cast<std::size_t>(v.parent)];
        if (v.parent >= 0 && !parent) continue;  // below a node left out
        if (parent && v.depth > kMaxImportDepth) {
            clumpOf[i] = parent;  // nested too deeply: its faces join the clump above
        } else if (clumps_ >= kMaxImportClumps) {
            if (!tooManyClumps_)
                model_.Log("glTF:Too many nodes, more than " + std::to_string(kMaxImportClumps) +
                           "; no more are read : \"" + BoundedQuote(model_.Path()) + "\"");
            tooManyClumps_ = true;
            continue;
        } else {
            clumpOf[i] = parent ? parent->AddChild() : model_.AddClump();
            ++clumps_;
        }
        const tinygltf::Node& gn = g_.nodes[static_cast<std::size_t>(v.node)];
        if (gn.mesh >= 0) AddMesh(*clumpOf[i], gn.mesh, v.world);
    }
}

}  // namespace

void ImportGltf(RWXObject& model) {
    std::string bytes;
    const ReadStatus status = ReadFileStatus(model.File(), bytes, kMaxImportFileBytes, model.Options().folders);
    if (status != ReadStatus::kOk) {
        CannotRead(model, kPrefix,
                   status == ReadStatus::kTooLarge ? "larger than 2 GiB" : std::string(ReadStatusText(status)));
        return;
    }
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    if (!binary && bytes.size() > kMaxImportTextBytes) {
        CannotRead(model, kPrefix, "its JSON is larger than 256 MiB");
        return;
    }
    Loading loading;
    loading.model = &model;
    loading.folders = model.Options().folders;
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(LoadImage, &loading);
    loader.SetFsCallbacks({FileExists, ExpandNothing, ReadFile, WriteNothing, &loading});
    tinygltf::Model gltf;
    std::string err, warn;
    const std::string base(ParentPart(model.File()));
    bool ok = false;
    try {
        if (binary)
            ok = loader.LoadBinaryFromMemory(&gltf, &err, &warn, reinterpret_cast<const unsigned char*>(bytes.data()),
                                             static_cast<unsigned int>(std::min<std::size_t>(bytes.size(), UINT32_MAX)),
                                             base);
        else
            ok = loader.LoadASCIIFromString(&gltf, &err, &warn, bytes.data(), static_cast<unsigned int>(bytes.size()),
                                            base);
    } catch (const std::exception& e) {
        ok = false;
        err = e.what();
    }
    std::string().swap(bytes);
    if (!ok) {
        // tinygltf's first complaint says what was wrong.
        std::string why = err.substr(0, err.find('\n'));
        while (!why.empty() && (why.back() == '\r' || why.back() == ' ' || why.back() == '.')) why.pop_back();
        CannotRead(model, kPrefix, why.empty() ? "not a glTF 2.0 model" : why);
        return;
    }
    Converter(model, gltf, loading).Run();
}

}  // namespace pelorus
