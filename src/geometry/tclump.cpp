#include "geometry/tclump.h"

#include <cassert>
#include <cmath>

#include "geometry/tessellate.h"

namespace pelorus {

TClump::~TClump() {
    // Take the descendants apart one by one: nesting depth must not cost stack depth.
    std::vector<std::unique_ptr<TClump>> pending = std::move(children_);
    while (!pending.empty()) {
        std::unique_ptr<TClump> c = std::move(pending.back());
        pending.pop_back();
        for (auto& grandchild : c->children_) pending.push_back(std::move(grandchild));
        c->children_.clear();
    }
}

TClump* TClump::AddChild() {
    children_.push_back(std::make_unique<TClump>());
    return children_.back().get();
}

void TClump::FinishReading() {
    batchByKey_.reset();
    cachedVersion_ = 0;
    vertices_.shrink_to_fit();
    for (const auto& batch : batches_) batch->FinishReading();
    batches_.shrink_to_fit();
    children_.shrink_to_fit();
}

// ---- Geometry ---------------------------------------------------------------------------

void TClump::AddVertex(const TVertex& v) {
    TVertex stored = v;
    stored.nx = stored.ny = stored.nz = 0;
    vertices_.push_back(stored);
}

MatTris& TClump::BatchFor(const RWXMaterial& material, uint64_t version, int32_t tag, MaterialTable& materials) {
    if (version != 0 && version == cachedVersion_ && tag == cachedTag_) return *batches_[cachedBatch_];
    const BatchKey key{&materials.Intern(material), tag};
    auto keyOf = [](const MatTris& b) { return BatchKey{&b.Material(), b.Tag()}; };
    // Few batches are searched one by one; many through an index made when they become many.
    constexpr std::size_t kIndexFrom = 16;
    std::size_t found = batches_.size();
    if (batchByKey_) {
        if (const auto it = batchByKey_->find(key); it != batchByKey_->end()) found = it->second;
    } else {
        for (std::size_t i = 0; i < batches_.size(); ++i)
            if (keyOf(*batches_[i]) == key) {
                found = i;
                break;
            }
    }
    if (found == batches_.size()) {
        batches_.push_back(std::make_unique<MatTris>(*key.material, tag));
        if (batchByKey_) {
            batchByKey_->emplace(key, found);
        } else if (batches_.size() >= kIndexFrom) {
            batchByKey_ = std::make_unique<std::unordered_map<BatchKey, std::size_t, BatchKeyHash>>();
            for (std::size_t i = 0; i < batches_.size(); ++i) batchByKey_->emplace(keyOf(*batches_[i]), i);
        }
    }
    cachedVersion_ = version;
    cachedTag_ = tag;
    cachedBatch_ = found;
    return *batches_[found];
}

void TClump::AddTriangle(MatTris& batch, const TTriangle& t, uint32_t line) {
    assert(HasCorners(t));
    TVertex& a = vertices_[static_cast<std::size_t>(t[0])];
    TVertex& b = vertices_[static_cast<std::size_t>(t[1])];
    TVertex& c = vertices_[static_cast<std::size_t>(t[2])];
    const Vec3 n = FaceNormal(a, b, c);
    for (TVertex* corner : {&a, &b, &c}) {
        corner->nx += n.x;
        corner->ny += n.y;
        corner->nz += n.z;
    }
    batch.AddTriangle(t, std::span<const TVertex>(vertices_.data(), vertices_.size()), line);
}

bool QuadSplitsAlongAC(const TVertex& A, const TVertex& B, const TVertex& C, const TVertex& D) {
    double e1[3] = {B.x - A.x, B.y - A.y, B.z - A.z};
    const double e2[3] = {C.x - A.x, C.y - A.y, C.z - A.z};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    double w[3] = {n[1] * e1[2] - n[2] * e1[1], n[2] * e1[0] - n[0] * e1[2], n[0] * e1[1] - n[1] * e1[0]};
    for (double* vec : {e1, w}) {
        const double len = std::sqrt(vec[0] * vec[0] + vec[1] * vec[1] + vec[2] * vec[2]);
        if (len != 0)
            for (int i = 0; i < 3; ++i) vec[i] /= len;
    }
    auto project = [&](const TVertex& p, double& u, double& v) {
        u = p.x * e1[0] + p.y * e1[1] + p.z * e1[2];
        v = p.x * w[0] + p.y * w[1] + p.z * w[2];
    };
    double ua, va, ub, vb, uc, vc, ud, vd;
    project(A, ua, va);
    project(B, ub, vb);
    project(C, uc, vc);
    project(D, ud, vd);
    const auto s1 = static_cast<float>(ua * (vb - vc) + ub * (vc - va) + uc * (va - vb));
    const auto s2 = static_cast<float>(ua * (vc - vd) + uc * (vd - va) + ud * (va - vc));
    return !((s1 > 0 && s2 < 0) || (s1 < 0 && s2 > 0));
}

void TClump::AddQuad(MatTris& batch, int32_t ia, int32_t ib, int32_t ic, int32_t id) {
    const TVertex& A = vertices_[static_cast<std::size_t>(ia)];
    const TVertex& B = vertices_[static_cast<std::size_t>(ib)];
    const TVertex& C = vertices_[static_cast<std::size_t>(ic)];
    const TVertex& D = vertices_[static_cast<std::size_t>(id)];
    if (QuadSplitsAlongAC(A, B, C, D)) {
        AddTriangle(batch, TTriangle{{ia, ib, ic}});
        AddTriangle(batch, TTriangle{{ia, ic, id}});
    } else {
        AddTriangle(batch, TTriangle{{ia, ib, id}});
        AddTriangle(batch, TTriangle{{ib, ic, id}});
    }
}

void TClump::AddPolygon(MatTris& batch, std::span<const int32_t> numbers, std::vector<TTriangle>& scratch) {
    scratch.clear();
    TessellatePolygon(std::span<const TVertex>(vertices_.data(), vertices_.size()), numbers, scratch);
    for (const TTriangle& t : scratch) AddTriangle(batch, t);
}

// ---- Finished clumps ----------------------------------------------------------------------

void TClump::ComputeVertexNormals() {
    const std::size_t n = vertices_.size();
    struct Accumulated {
        Vec3 sum;
        int32_t batches;
        int32_t lastBatch;  // the last batch counted, plus one (0: none yet)
    };
    PodVector<Accumulated> acc;
    acc.resize(n);
    for (std::size_t bi = 0; bi < batches_.size(); ++bi) {
        const auto batchId = static_cast<int32_t>(bi);
        for (const TTriangle& t : batches_[bi]->Triangles()) {
            const TVertex& a = vertices_[static_cast<std::size_t>(t[0])];
            const TVertex& b = vertices_[static_cast<std::size_t>(t[1])];
            const TVertex& c = vertices_[static_cast<std::size_t>(t[2])];
            const Vec3 unit = UnitFaceNormal(a, b, c);
            for (int k = 0; k < 3; ++k) {
                const int32_t v = t[static_cast<std::size_t>(k)];
                // Each triangle counts once for a vertex it uses at several corners.
                if ((k >= 1 && v == t[0]) || (k == 2 && v == t[1])) continue;
                Accumulated& slot = acc[static_cast<std::size_t>(v)];
                slot.sum.x += unit.x;
                slot.sum.y += unit.y;
                slot.sum.z += unit.z;
                if (slot.lastBatch != batchId + 1) {
                    slot.lastBatch = batchId + 1;
                    ++slot.batches;
                }
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        Vec3 r = acc[i].sum;
        if (acc[i].batches > 0) {
            const auto count = static_cast<double>(acc[i].batches);
            r = {r.x / count, r.y / count, r.z / count};
        }
        const double len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
        if (len != 0) r = {r.x / len, r.y / len, r.z / len};
        vertices_[i].nx = r.x;
        vertices_[i].ny = r.y;
        vertices_[i].nz = r.z;
    }
}

int64_t TClump::CountTriangles() const {
    int64_t total = 0;
    ForEachClump(*this, [&](const TClump& c) {
        for (const auto& b : c.batches_) total += b->TriangleCount();
    });
    return total;
}

int64_t TClump::CountTranslucentTriangles() const {
    int64_t total = 0;
    ForEachClump(*this, [&](const TClump& c) {
        for (const auto& b : c.batches_)
            if (!b->IsOpaque()) total += b->TriangleCount();
    });
    return total;
}

}  // namespace pelorus
