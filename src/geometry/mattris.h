#pragma once
// The triangles of one clump that share one material, with the facet normals drawing needs.

#include <cstdint>
#include <vector>

#include "geometry/tvertex.h"
#include "platform/podvector.h"
#include "geometry/rwmaterial.h"

namespace pelorus {

class TClump;

class MatTris {
public:
    // An empty batch holding a copy of `material`, whose triangles index `owner`'s vertices.
    MatTris(const RWXMaterial& material, TClump* owner) : material_(material), owner_(owner) {}

    const RWXMaterial& Material() const { return material_; }
    TClump* Owner() const { return owner_; }

    // Appends a triangle whose corners all exist in the owner. With Facet light sampling the
    // triangle's unit face normal ((0, 0, 0) without area) is stored alongside.
    void AddTriangle(const TTriangle& t);

    int32_t TriangleCount() const { return static_cast<int32_t>(triangles_.size()); }
    const PodVector<TTriangle>& Triangles() const { return triangles_; }
    // One per triangle with Facet light sampling, empty otherwise.
    const PodVector<Vec3>& FaceNormals() const { return faceNormals_; }

    bool IsOpaque() const { return material_.IsOpaque(); }
    bool IsMasked() const { return material_.IsMasked(); }

    // Every triangle that has `vertex` at any corner, each once, in batch order.
    std::vector<TTriangle> TrianglesUsingVertex(int32_t vertex) const;

private:
    RWXMaterial material_;
    PodVector<TTriangle> triangles_;
    PodVector<Vec3> faceNormals_;
    TClump* owner_;
};

}  // namespace pelorus

namespace pelorus {

// One triangle of a batch that is not opaque, as the transparent pass lists it.
struct TranslucentRef {
    const MatTris* batch = nullptr;
    int32_t triangle = 0;
    bool masked = false;
};

}  // namespace pelorus
