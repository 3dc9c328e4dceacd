#pragma once
// The triangles of one clump that share one material and one tag, with the facet normals drawing
// needs. A batch holds vertex numbers only: the vertices belong to its clump, which every user of
// a batch has at hand.

#include <cstdint>
#include <span>

#include "geometry/rwmaterial.h"
#include "geometry/tvertex.h"
#include "platform/podvector.h"

namespace pelorus {

class MatTris {
public:
    // An empty batch drawn with `material`, which must outlive the batch (it is kept in the
    // model's MaterialTable), holding faces tagged `tag` (0: untagged).
    explicit MatTris(const RWXMaterial& material, int32_t tag = 0) : material_(&material), tag_(tag) {}

    const RWXMaterial& Material() const { return *material_; }
    // The tag its faces carry: what an object's actions name them by (0: none).
    int32_t Tag() const { return tag_; }

    // Appends a triangle. With Facet light sampling the triangle's unit face normal, taken from
    // `vertices` (the clump's; (0, 0, 0) for a corner outside them or a triangle without area),
    // is stored alongside.
    void AddTriangle(const TTriangle& t, std::span<const TVertex> vertices);

    int32_t TriangleCount() const { return static_cast<int32_t>(triangles_.size()); }
    const PodVector<TTriangle>& Triangles() const { return triangles_; }
    // One per triangle with Facet light sampling, empty otherwise.
    const PodVector<Vec3>& FaceNormals() const { return faceNormals_; }

    bool IsOpaque() const { return material_->IsOpaque(); }
    bool IsMasked() const { return material_->IsMasked(); }

    // Frees the room beyond what was filed.
    void FinishReading() {
        triangles_.shrink_to_fit();
        faceNormals_.shrink_to_fit();
    }

private:
    const RWXMaterial* material_;
    int32_t tag_;
    PodVector<TTriangle> triangles_;
    PodVector<Vec3> faceNormals_;
};

}  // namespace pelorus
