#pragma once
// A node of a model: its vertices, its triangles grouped by material, and its child clumps.
// A clump is built while its lines are read; afterwards it is read-only.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "geometry/tvertex.h"
#include "platform/podvector.h"
#include "reader/lexedline.h"
#include "reader/rwtypes.h"
#include "geometry/mattris.h"

namespace pelorus {

class RWXObject;

class TClump {
public:
    explicit TClump(RWXObject* owner);
    virtual ~TClump();
    TClump(const TClump&) = delete;
    TClump& operator=(const TClump&) = delete;

    // Carries out one line of the clump's body and returns its classification: the structural
    // codes, Comment and Empty as the command table says, and Unknown both for a word that is no
    // command and for a geometry line that was rejected (too few or malformed numbers, a vertex
    // number that names no vertex of this clump, a polygon of fewer than three vertices).
    // Rejected lines change nothing.
    RWXCommand HandleLine(std::string_view line);
    // The same for a line whose plain vertex or face the lexer has read already.
    RWXCommand HandleLexed(const LexedLine& lexed);

    // Appends `v` with its position taken through the current transform and a zero normal.
    void AddVertex(const TVertex& v);
    // Files the triangle under the batch of the current material and adds its face normal (not
    // normalised) to its corners' normals. Every corner must name a vertex of this clump.
    void AddTriangle(const TTriangle& t);
    // Two triangles: (a, b, d) and (b, c, d) when b and d lie strictly on the same side of the
    // line a-c, otherwise (a, b, c) and (a, c, d). Every number must name a vertex.
    void AddQuad(int32_t a, int32_t b, int32_t c, int32_t d);
    // Triangulates the polygon (see TessellatePolygon). Every number must name a vertex.
    void AddPolygon(std::span<const int32_t> numbers);
    // Copies the named prototype's vertices (through the current transform) and triangles in,
    // with the prototype's materials or with the current material. Unknown names do nothing.
    void InstanceProto(std::string_view name);
    void InstanceProtoGeometry(std::string_view name);

    // A new, empty child clump, appended to the children.
    TClump* AddChild();

    const TVertex* GetVertex(int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < vertices_.size()
                   ? &vertices_[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    int32_t VertexCount() const { return static_cast<int32_t>(vertices_.size()); }

    // Replaces every vertex normal by the unit vector along the sum of the unit normals of the
    // triangles that use it (each triangle counted once, the sum divided by the number of batches
    // involved before normalising); unused vertices get (0, 0, 0). Children are not touched.
    void ComputeVertexNormals();

    // Over this clump and all its descendants.
    int64_t CountTriangles() const;
    int64_t CountTranslucentTriangles() const;
    // Appends the triangles of the non-opaque batches: this clump's batches in order, then each
    // child's, depth first.
    void ListTranslucentTriangles(std::vector<TranslucentRef>& out) const;

    const std::vector<std::unique_ptr<TClump>>& Children() const { return children_; }
    const PodVector<TVertex>& Vertices() const { return vertices_; }
    const std::vector<std::unique_ptr<MatTris>>& Batches() const { return batches_; }
    RWXObject* Owner() const { return owner_; }

    // Frees what only reading needs.
    void FinishReading();

private:
    MatTris& CurrentBatch();
    void FileTriangle(MatTris& batch, const TTriangle& t);
    bool ReadVertex(LineTokens& args);
    bool ReadFace(LineTokens& args, int corners);
    bool AddFace(const int32_t* oneBased, int corners);
    bool ReadPolygon(LineTokens& args);
    bool ValidIndex(int32_t oneBased) const { return oneBased >= 1 && oneBased <= VertexCount(); }
    void Instance(std::string_view name, bool withMaterials);

    std::vector<std::unique_ptr<TClump>> children_;
    PodVector<TVertex> vertices_;
    std::vector<std::unique_ptr<MatTris>> batches_;
    RWXObject* owner_;

    // Batch lookup while reading: the batch of the last material seen, and batches by hash.
    uint64_t cachedVersion_ = 0;
    std::size_t cachedBatch_ = 0;
    std::unordered_multimap<std::size_t, std::size_t> batchesByHash_;
};

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
