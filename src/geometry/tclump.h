#pragma once
// A node of a model: its vertices, its triangles grouped by material, and its child clumps.
// Plain data with the operations that build it; reading scripts into clumps is the reader's.
// A clump is built while its lines are read; afterwards it is read-only.

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "geometry/materialtable.h"
#include "geometry/mattris.h"
#include "geometry/rwmaterial.h"
#include "geometry/tvertex.h"
#include "platform/podvector.h"

namespace pelorus {

class TClump {
public:
    TClump() = default;
    virtual ~TClump();
    TClump(const TClump&) = delete;
    TClump& operator=(const TClump&) = delete;

    // Appends `v` as it is (already in the clump's coordinates) with a zero normal.
    void AddVertex(const TVertex& v);
    // Makes room for `more` vertices beyond those held.
    void ReserveVertices(std::size_t more) { vertices_.reserve(vertices_.size() + more); }

    // The batch of `material` and `tag`, made when the clump has none yet; the material is kept
    // in `materials` (the model's table, which must outlive the clump). `version` names the
    // material cheaply for repeated calls: a version seen by the previous call, with the same tag,
    // means the same material (the caller guarantees that equal non-zero versions mean equal
    // materials); 0 always looks the material up. Faces of different tags never share a batch.
    MatTris& BatchFor(const RWXMaterial& material, uint64_t version, int32_t tag, MaterialTable& materials);

    // While the clump is built: the tag of the faces that follow and carry none of their own
    // (0 until a `Tag` line sets it).
    int32_t FaceTag() const { return faceTag_; }
    void SetFaceTag(int32_t tag) { faceTag_ = tag; }

    // While the clump is built: the script line being carried out, which the triangles added
    // next are filed with (0 until set: no line).
    uint32_t SourceLine() const { return sourceLine_; }
    void SetSourceLine(uint32_t line) { sourceLine_ = line; }

    // Files the triangle under `batch` (one of this clump's) with the source line, and adds its
    // face normal (not normalised) to its corners' normals. Every corner must name a vertex of
    // this clump.
    void AddTriangle(MatTris& batch, const TTriangle& t) { AddTriangle(batch, t, sourceLine_); }
    // The same with the line `line` instead (a triangle copied from elsewhere keeps its own).
    void AddTriangle(MatTris& batch, const TTriangle& t, uint32_t line);
    // Two triangles: (a, b, d) and (b, c, d) when b and d lie strictly on the same side of the
    // line a-c, otherwise (a, b, c) and (a, c, d). Every number must name a vertex.
    void AddQuad(MatTris& batch, int32_t a, int32_t b, int32_t c, int32_t d);
    // Triangulates the polygon (see TessellatePolygon), using `scratch` for its triangles. Every
    // number must name a vertex.
    void AddPolygon(MatTris& batch, std::span<const int32_t> numbers, std::vector<TTriangle>& scratch);

    // A new, empty child clump, appended to the children.
    TClump* AddChild();

    const TVertex* GetVertex(int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < vertices_.size()
                   ? &vertices_[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    int32_t VertexCount() const { return static_cast<int32_t>(vertices_.size()); }
    // True when every corner of `t` names a vertex of this clump.
    bool HasCorners(const TTriangle& t) const { return GetVertex(t[0]) && GetVertex(t[1]) && GetVertex(t[2]); }

    // Replaces every vertex normal by the unit vector along the sum of the unit normals of the
    // triangles that use it (each triangle counted once, the sum divided by the number of batches
    // involved before normalising); unused vertices get (0, 0, 0). Children are not touched.
    void ComputeVertexNormals();

    // Over this clump and all its descendants.
    int64_t CountTriangles() const;
    int64_t CountTranslucentTriangles() const;

    const std::vector<std::unique_ptr<TClump>>& Children() const { return children_; }
    const PodVector<TVertex>& Vertices() const { return vertices_; }
    const std::vector<std::unique_ptr<MatTris>>& Batches() const { return batches_; }

    // Frees what only building needs, and the room beyond what was built.
    void FinishReading();

private:
    std::vector<std::unique_ptr<TClump>> children_;
    PodVector<TVertex> vertices_;
    std::vector<std::unique_ptr<MatTris>> batches_;

    // Batch lookup while building: the batch of the last material and tag seen, and, once the
    // clump has many batches, batches by their (kept) material and tag.
    struct BatchKey {
        const RWXMaterial* material;
        int32_t tag;
        bool operator==(const BatchKey&) const = default;
    };
    struct BatchKeyHash {
        std::size_t operator()(const BatchKey& k) const {
            return std::hash<const void*>()(k.material) ^
                   (static_cast<std::size_t>(static_cast<uint32_t>(k.tag)) * 0x9E3779B97F4A7C15u);
        }
    };
    uint64_t cachedVersion_ = 0;
    int32_t cachedTag_ = 0;
    int32_t faceTag_ = 0;
    uint32_t sourceLine_ = 0;
    std::size_t cachedBatch_ = 0;
    std::unique_ptr<std::unordered_map<BatchKey, std::size_t, BatchKeyHash>> batchByKey_;
};

// Whether AddQuad splits the quad a, b, c, d along its diagonal a-c, into (a, b, c) and
// (a, c, d); otherwise it makes (a, b, d) and (b, c, d).
bool QuadSplitsAlongAC(const TVertex& a, const TVertex& b, const TVertex& c, const TVertex& d);

// Visits `root` and its descendants depth first, parents before children, without recursion.
template <typename Clump, typename F>
void ForEachClump(Clump& root, F&& visit) {
    std::vector<Clump*> stack{&root};
    while (!stack.empty()) {
        Clump* c = stack.back();
        stack.pop_back();
        visit(*c);
        const auto& children = c->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(it->get());
    }
}

}  // namespace pelorus
