#pragma once
// glTF 2.0 models made in code for the tests: buffers, accessors, images, materials, meshes and
// nodes, written as a .glb or as a .gltf with its buffer embedded (or beside it).

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace pelorus::test {

class GltfMaker {
public:
    GltfMaker();

    // Accessors of floats with `components` values an element (1 SCALAR, 2 VEC2, 3 VEC3), and of
    // 32-bit indices. Return the accessor's number.
    int Floats(const std::vector<float>& values, int components);
    int Indices(const std::vector<uint32_t>& values);
    // An image held in the buffer, and a texture of it with a sampler wrapping as `wrap` (the
    // glTF number: 10497 REPEAT, 33648 MIRRORED_REPEAT, 33071 CLAMP_TO_EDGE).
    int Image(const std::string& bytes, const std::string& mimeType);
    int Texture(int image, int wrap = 10497);
    int Add(const char* list, nlohmann::json item);  // appends to "materials", "meshes", "nodes", ...

    // A mesh of one triangle primitive with POSITION (metres), TEXCOORD_0 when given, NORMAL when
    // `normals`, and indices when given.
    int Mesh(const std::vector<float>& positions, const std::vector<float>& uvs, const std::vector<uint32_t>& indices,
             int material = -1, bool normals = false);
    void Scene(const std::vector<int>& roots);

    nlohmann::json& Json() { return json_; }
    // The model as a GLB file, or as glTF JSON with its buffer in a data URI (or named `binName`,
    // whose bytes Buffer() gives).
    std::string Glb() const;
    std::string Gltf(const std::string& binName = "") const;
    const std::string& Buffer() const { return bin_; }

private:
    int View(const std::string& bytes, int target);
    nlohmann::json json_;
    std::string bin_;
};

// A PNG of w x h RGBA pixels (top row first).
std::string PngBytes(int w, int h, const std::vector<uint8_t>& rgba);

}  // namespace pelorus::test
