#pragma once
// The triangles of one clump that share one material and one tag, with the facet normals drawing
// needs. A batch holds vertex numbers only: the vertices belong to its clump, which every user of
// a batch has at hand.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

    // Appends a triangle made by the script line `line` (1 for the first line of its file; 0 when
    // it comes from no line, as in models of other formats). With Facet light sampling the
    // triangle's unit face normal, taken from `vertices` (the clump's; (0, 0, 0) for a corner
    // outside them or a triangle without area), is stored alongside.
    void AddTriangle(const TTriangle& t, std::span<const TVertex> vertices, uint32_t line = 0);

    int32_t TriangleCount() const { return static_cast<int32_t>(triangles_.size()); }
    const PodVector<TTriangle>& Triangles() const { return triangles_; }
    // One per triangle with Facet light sampling, empty otherwise.
    const PodVector<Vec3>& FaceNormals() const { return faceNormals_; }

    // The script line of each triangle, one per triangle (0: made by no line).
    const PodVector<uint32_t>& Lines() const { return lines_; }
    // The line of triangle `index`; 0 for an index out of range.
    uint32_t LineOf(int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < lines_.size() ? lines_[static_cast<std::size_t>(index)]
                                                                             : 0;
    }

    // Triangles copied from a prototype by one instancing line: `count` triangles from `first`
    // on, made by the line `line` instancing the prototype `proto`.
    struct InstanceRun {
        int32_t first = 0;
        int32_t count = 0;
        uint32_t line = 0;
        std::string proto;
        bool operator==(const InstanceRun&) const = default;
    };
    // Records that the triangles from `first` to the last one held came from instancing `proto`
    // on `line`; nothing for an empty range. A range that continues the last one of the same line
    // and prototype joins it.
    void MarkInstance(int32_t first, uint32_t line, std::string_view proto);
    const std::vector<InstanceRun>& Instances() const { return instances_; }
    // The run holding triangle `index`; null when it was not made by instancing (or is out of
    // range).
    const InstanceRun* InstanceOf(int32_t index) const;

    bool IsOpaque() const { return material_->IsOpaque(); }
    bool IsMasked() const { return material_->IsMasked(); }

    // Frees the room beyond what was filed.
    void FinishReading() {
        triangles_.shrink_to_fit();
        faceNormals_.shrink_to_fit();
        lines_.shrink_to_fit();
        instances_.shrink_to_fit();
    }

private:
    const RWXMaterial* material_;
    int32_t tag_;
    PodVector<TTriangle> triangles_;
    PodVector<Vec3> faceNormals_;
    PodVector<uint32_t> lines_;
    std::vector<InstanceRun> instances_;  // in the order of their triangles
};

}  // namespace pelorus
