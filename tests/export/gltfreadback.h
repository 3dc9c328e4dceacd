#pragma once
// Reading an export back with tinygltf, for the tests: the model, and what it shows once its
// node transforms are applied.

#include <tiny_gltf.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/gltfexport.h"

namespace pelorus::test {

// Reads `exported` back: a Binary export from memory, a Text export from `folder` after writing
// its files there (as "<stem>.gltf" and its side files). Images are decoded (image.image holds
// RGBA, width and height are set); an image that does not decode fails the read. `error` says
// why a read failed.
std::optional<tinygltf::Model> ReadBack(const GltfExport& exported, GltfForm form, const std::string& folder,
                                        const std::string& stem, std::string* error);

// One primitive as it appears in the scene: the node path that places it and its material.
struct PlacedPrimitive {
    const tinygltf::Primitive* primitive = nullptr;
    int node = -1;
    int64_t triangles = 0;
};

struct SceneSummary {
    int64_t triangles = 0;
    std::array<double, 3> lo{}, hi{};  // world bounds of every position, after node transforms
    bool empty = true;
    std::vector<PlacedPrimitive> primitives;  // in node order, depth first
};

// Walks the default scene, each node placed by its matrix or its translation, rotation and scale
// (T R S, as glTF defines them).
SceneSummary Summarise(const tinygltf::Model& model);

// The floats of accessor `index` (FLOAT components only), and the indices of an index accessor.
std::vector<float> Floats(const tinygltf::Model& model, int index);
std::vector<uint32_t> Indices(const tinygltf::Model& model, int index);

}  // namespace pelorus::test
