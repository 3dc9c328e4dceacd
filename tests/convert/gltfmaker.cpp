#include "gltfmaker.h"

#include <cstring>

#include "platform/pngwrite.h"

namespace pelorus::test {
namespace {

std::string Base64(const std::string& bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                           static_cast<uint8_t>(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out += kDigits[(v >> s) & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

GltfMaker::GltfMaker() {
    json_ = {{"asset", {{"version", "2.0"}}}};
}

int GltfMaker::View(const std::string& bytes, int target) {
    while (bin_.size() % 4 != 0) bin_ += '\0';
    nlohmann::json view = {{"buffer", 0}, {"byteOffset", bin_.size()}, {"byteLength", bytes.size()}};
    if (target) view["target"] = target;
    bin_ += bytes;
    return Add("bufferViews", view);
}

int GltfMaker::Add(const char* list, nlohmann::json item) {
    nlohmann::json& array = json_[list];
    if (!array.is_array()) array = nlohmann::json::array();
    array.push_back(std::move(item));
    return static_cast<int>(array.size() - 1);
}

int GltfMaker::Floats(const std::vector<float>& values, int components) {
    std::string bytes(values.size() * 4, '\0');
    std::memcpy(bytes.data(), values.data(), bytes.size());
    const int view = View(bytes, 34962);
    static const char* kTypes[] = {"", "SCALAR", "VEC2", "VEC3", "VEC4"};
    nlohmann::json accessor = {{"bufferView", view},
                               {"componentType", 5126},
                               {"count", values.size() / static_cast<std::size_t>(components)},
                               {"type", kTypes[components]}};
    if (components == 3 && !values.empty()) {
        std::vector<float> lo(values.begin(), values.begin() + 3), hi = lo;
        for (std::size_t i = 0; i < values.size(); ++i) {
            lo[i % 3] = std::min(lo[i % 3], values[i]);
            hi[i % 3] = std::max(hi[i % 3], values[i]);
        }
        accessor["min"] = lo;
        accessor["max"] = hi;
    }
    return Add("accessors", accessor);
}

int GltfMaker::Indices(const std::vector<uint32_t>& values) {
    std::string bytes(values.size() * 4, '\0');
    std::memcpy(bytes.data(), values.data(), bytes.size());
    const int view = View(bytes, 34963);
    return Add("accessors",
               {{"bufferView", view}, {"componentType", 5125}, {"count", values.size()}, {"type", "SCALAR"}});
}

int GltfMaker::Image(const std::string& bytes, const std::string& mimeType) {
    const int view = View(bytes, 0);
    return Add("images", {{"bufferView", view}, {"mimeType", mimeType}});
}

int GltfMaker::Texture(int image, int wrap) {
    const int sampler = Add("samplers", {{"wrapS", wrap}, {"wrapT", wrap}});
    return Add("textures", {{"source", image}, {"sampler", sampler}});
}

int GltfMaker::Mesh(const std::vector<float>& positions, const std::vector<float>& uvs,
                    const std::vector<uint32_t>& indices, int material, bool normals) {
    nlohmann::json primitive = {{"attributes", {{"POSITION", Floats(positions, 3)}}}};
    if (!uvs.empty()) primitive["attributes"]["TEXCOORD_0"] = Floats(uvs, 2);
    if (normals) {
        std::vector<float> n(positions.size(), 0.0f);
        for (std::size_t i = 1; i < n.size(); i += 3) n[i] = 1.0f;
        primitive["attributes"]["NORMAL"] = Floats(n, 3);
    }
    if (!indices.empty()) primitive["indices"] = Indices(indices);
    if (material >= 0) primitive["material"] = material;
    return Add("meshes", {{"primitives", nlohmann::json::array({primitive})}});
}

void GltfMaker::Scene(const std::vector<int>& roots) {
    json_["scenes"] = nlohmann::json::array({{{"nodes", roots}}});
    json_["scene"] = 0;
}

std::string GltfMaker::Gltf(const std::string& binName) const {
    nlohmann::json out = json_;
    if (!bin_.empty())
        out["buffers"] = nlohmann::json::array(
            {{{"byteLength", bin_.size()},
              {"uri", binName.empty() ? "data:application/octet-stream;base64," + Base64(bin_) : binName}}});
    return out.dump(1);
}

std::string GltfMaker::Glb() const {
    nlohmann::json out = json_;
    std::string bin = bin_;
    while (bin.size() % 4 != 0) bin += '\0';
    if (!bin.empty()) out["buffers"] = nlohmann::json::array({{{"byteLength", bin_.size()}}});
    std::string text = out.dump();
    while (text.size() % 4 != 0) text += ' ';
    std::string glb = "glTF";
    Put32(glb, 2);
    Put32(glb, static_cast<uint32_t>(12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size())));
    Put32(glb, static_cast<uint32_t>(text.size()));
    glb += "JSON";
    glb += text;
    if (!bin.empty()) {
        Put32(glb, static_cast<uint32_t>(bin.size()));
        glb += std::string("BIN\0", 4);
        glb += bin;
    }
    return glb;
}

std::string PngBytes(int w, int h, const std::vector<uint8_t>& rgba) {
    const std::vector<uint8_t> png = EncodePng(rgba, w, h, 4);
    return std::string(png.begin(), png.end());
}

}  // namespace pelorus::test
