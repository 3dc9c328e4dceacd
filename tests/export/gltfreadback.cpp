#include "gltfreadback.h"

#include <cstring>
#include <fstream>
#include <functional>

#include "geometry/mat4.h"
#include "platform/imagedecode.h"

namespace pelorus::test {
namespace {

bool DecodeForTinyGltf(tinygltf::Image* image, const int, std::string* err, std::string*, int, int,
                       const unsigned char* bytes, int size, void*) {
    DecodedImage decoded = DecodeImage(std::span<const uint8_t>(bytes, static_cast<std::size_t>(size)));
    if (!decoded.Ok()) {
        if (err) *err += "an image does not decode\n";
        return false;
    }
    image->width = decoded.image.width;
    image->height = decoded.image.height;
    image->component = 4;
    image->bits = 8;
    image->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
    image->image = std::move(decoded.image.pixels);
    return true;
}

bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

const unsigned char* AccessorData(const tinygltf::Model& model, int index, std::size_t elementBytes,
                                  std::size_t& count) {
    count = 0;
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) return nullptr;
    const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(index)];
    if (a.bufferView < 0 || static_cast<std::size_t>(a.bufferView) >= model.bufferViews.size()) return nullptr;
    const tinygltf::BufferView& v = model.bufferViews[static_cast<std::size_t>(a.bufferView)];
    if (v.buffer < 0 || static_cast<std::size_t>(v.buffer) >= model.buffers.size()) return nullptr;
    const std::vector<unsigned char>& data = model.buffers[static_cast<std::size_t>(v.buffer)].data;
    const std::size_t start = v.byteOffset + a.byteOffset;
    if (start + a.count * elementBytes > data.size()) return nullptr;
    count = a.count;
    return data.data() + start;
}

}  // namespace

std::optional<tinygltf::Model> ReadBack(const GltfExport& exported, GltfForm form, const std::string& folder,
                                        const std::string& stem, std::string* error) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(DecodeForTinyGltf, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    bool ok = false;
    if (form == GltfForm::Binary) {
        ok = loader.LoadBinaryFromMemory(&model, &err, &warn,
                                         reinterpret_cast<const unsigned char*>(exported.main.data()),
                                         static_cast<unsigned int>(exported.main.size()));
    } else {
        const std::string main = folder + "/" + stem + ".gltf";
        ok = WriteFile(main, exported.main);
        for (const GltfFile& file : exported.sideFiles) ok = ok && WriteFile(folder + "/" + file.name, file.content);
        ok = ok && loader.LoadASCIIFromFile(&model, &err, &warn, main);
    }
    if (!ok) {
        if (error) *error = err.empty() ? "cannot be read" : err;
        return std::nullopt;
    }
    return model;
}

namespace {

// A node's local matrix as glTF defines it: T * R * S, R from the unit quaternion (x, y, z, w).
Mat4 LocalMatrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        Mat4 m{};
        for (std::size_t i = 0; i < 16; ++i) m[i] = node.matrix[i];
        return m;
    }
    Mat4 t = IdentityMatrix();
    if (node.translation.size() == 3)
        t = TranslationMatrix(node.translation[0], node.translation[1], node.translation[2]);
    Mat4 r = IdentityMatrix();
    if (node.rotation.size() == 4) {
        const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
        r = {1 - 2 * (y * y + z * z),
             2 * (x * y + w * z),
             2 * (x * z - w * y),
             0,
             2 * (x * y - w * z),
             1 - 2 * (x * x + z * z),
             2 * (y * z + w * x),
             0,
             2 * (x * z + w * y),
             2 * (y * z - w * x),
             1 - 2 * (x * x + y * y),
             0,
             0,
             0,
             0,
             1};
    }
    Mat4 sc = IdentityMatrix();
    if (node.scale.size() == 3) sc = ScalingMatrix(node.scale[0], node.scale[1], node.scale[2]);
    return Multiply(t, Multiply(r, sc));
}

}  // namespace

SceneSummary Summarise(const tinygltf::Model& model) {
    SceneSummary s;
    if (model.scenes.empty()) return s;
    const std::size_t sceneIndex = model.defaultScene >= 0 ? static_cast<std::size_t>(model.defaultScene) : 0;
    struct Frame {
        int node;
        Mat4 parent;
    };
    std::vector<Frame> stack;
    const std::vector<int>& roots = model.scenes.at(sceneIndex).nodes;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back({*it, IdentityMatrix()});
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        const tinygltf::Node& node = model.nodes.at(static_cast<std::size_t>(f.node));
        const Mat4 world = Multiply(f.parent, LocalMatrix(node));
        if (node.mesh >= 0) {
            for (const tinygltf::Primitive& p : model.meshes.at(static_cast<std::size_t>(node.mesh)).primitives) {
                PlacedPrimitive placed{&p, f.node, 0};
                const auto indices = Indices(model, p.indices);
                placed.triangles = static_cast<int64_t>(indices.size() / 3);
                s.triangles += placed.triangles;
                const std::vector<float> positions = Floats(model, p.attributes.at("POSITION"));
                for (const uint32_t i : indices) {
                    const Vec4 w = Transform(world, {double{positions.at(i * 3)}, double{positions.at(i * 3 + 1)},
                                                     double{positions.at(i * 3 + 2)}, 1});
                    const double c[3] = {w.x, w.y, w.z};
                    for (std::size_t k = 0; k < 3; ++k) {
                        s.lo[k] = s.empty ? c[k] : std::min(s.lo[k], c[k]);
                        s.hi[k] = s.empty ? c[k] : std::max(s.hi[k], c[k]);
                    }
                    s.empty = false;
                }
                s.primitives.push_back(placed);
            }
        }
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) stack.push_back({*it, world});
    }
    return s;
}

std::vector<float> Floats(const tinygltf::Model& model, int index) {
    if (index < 0 || model.accessors.at(static_cast<std::size_t>(index)).componentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        return {};
    const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(index)];
    const std::size_t components = static_cast<std::size_t>(tinygltf::GetNumComponentsInType(a.type));
    std::size_t count = 0;
    const unsigned char* data = AccessorData(model, index, 4 * components, count);
    std::vector<float> out(count * components);
    if (data) std::memcpy(out.data(), data, out.size() * 4);
    return out;
}

std::vector<uint32_t> Indices(const tinygltf::Model& model, int index) {
    if (index < 0) return {};
    const int type = model.accessors.at(static_cast<std::size_t>(index)).componentType;
    const std::size_t bytes = type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT     ? 4
                              : type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? 2
                                                                               : 1;
    std::size_t count = 0;
    const unsigned char* data = AccessorData(model, index, bytes, count);
    std::vector<uint32_t> out(count);
    for (std::size_t i = 0; data && i < count; ++i) {
        if (bytes == 4) {
            std::memcpy(&out[i], data + 4 * i, 4);
        } else if (bytes == 2) {
            uint16_t v = 0;
            std::memcpy(&v, data + 2 * i, 2);
            out[i] = v;
        } else {
            out[i] = data[i];
        }
    }
    return out;
}

}  // namespace pelorus::test
