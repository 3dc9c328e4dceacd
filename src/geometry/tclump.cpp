#include "geometry/tclump.h"

#include <cassert>
#include <cmath>

#include "geometry/tessellate.h"
#include "geometry/tproto.h"
#include "reader/rwxobject.h"
#include "reader/rwxstate.h"

namespace pelorus {

TClump::TClump(RWXObject* owner) : owner_(owner) {}

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
    children_.push_back(std::make_unique<TClump>(owner_));
    return children_.back().get();
}

void TClump::FinishReading() {
    batchesByHash_ = {};
    cachedVersion_ = 0;
}

// ---- Reading one line -------------------------------------------------------------------

RWXCommand TClump::HandleLine(std::string_view line) {
    LineTokens args(line, owner_->ReadableEnd());
    const RWXCommand code = CommandCode(args.Word());
    switch (code) {
        case RWXCommand::Vertex:
        case RWXCommand::VertexExt:
            return ReadVertex(args) ? RWXCommand::Empty : RWXCommand::Unknown;
        case RWXCommand::Triangle:
        case RWXCommand::TriangleExt:
            return ReadFace(args, 3) ? RWXCommand::Empty : RWXCommand::Unknown;
        case RWXCommand::Quad:
        case RWXCommand::QuadExt:
            return ReadFace(args, 4) ? RWXCommand::Empty : RWXCommand::Unknown;
        case RWXCommand::Polygon:
        case RWXCommand::PolygonExt:
            return ReadPolygon(args) ? RWXCommand::Empty : RWXCommand::Unknown;
        case RWXCommand::Block:
        case RWXCommand::Cone:
        case RWXCommand::Cylinder:
        case RWXCommand::Disc:
        case RWXCommand::Hemisphere:
        case RWXCommand::Sphere:
            // Primitive shapes are read and build nothing.
            return RWXCommand::Empty;
        case RWXCommand::ProtoInstance:
            InstanceProto(args.Word());
            return RWXCommand::Empty;
        case RWXCommand::ProtoInstanceGeometry:
            InstanceProtoGeometry(args.Word());
            return RWXCommand::Empty;
        case RWXCommand::ClumpBegin:
        case RWXCommand::ClumpEnd:
        case RWXCommand::ModelBegin:
        case RWXCommand::ModelEnd:
        case RWXCommand::ProtoBegin:
        case RWXCommand::ProtoEnd:
        case RWXCommand::Comment:
        case RWXCommand::Unknown:
        case RWXCommand::Empty:
            return code;
        default:
            RunStateCommand(code, args, owner_->State(), *owner_);
            return RWXCommand::Empty;
    }
}

bool TClump::ReadVertex(LineTokens& args) {
    TVertex v;
    if (!args.Number(v.x) || !args.Number(v.y) || !args.Number(v.z)) return false;
    RWXState& state = owner_->State();
    const RGB& prelight = state.CurrentPrelight();
    v.r = prelight.r;
    v.g = prelight.g;
    v.b = prelight.b;
    bool setPrelight = false;
    for (std::string_view word = args.Word(); !word.empty(); word = args.Word()) {
        switch (ValueCode(word)) {
            case RWXOption::UV:
                if (!args.Number(v.u) || !args.Number(v.v)) return false;
                break;
            case RWXOption::Normal: {
                double ignored[3];
                if (!args.Number(ignored[0]) || !args.Number(ignored[1]) || !args.Number(ignored[2])) return false;
                break;
            }
            case RWXOption::Prelight:
                if (!args.Number(v.r) || !args.Number(v.g) || !args.Number(v.b)) return false;
                setPrelight = true;
                break;
            default:
                break;
        }
    }
    if (setPrelight) state.SetPrelight({v.r, v.g, v.b});
    AddVertex(v);
    return true;
}

RWXCommand TClump::HandleLexed(const LexedLine& lexed) {
    switch (lexed.kind) {
        case LexedLine::Vertex:
        case LexedLine::VertexUV: {
            const RGB& prelight = owner_->State().CurrentPrelight();
            TVertex v;
            v.x = lexed.xyzuv[0];
            v.y = lexed.xyzuv[1];
            v.z = lexed.xyzuv[2];
            if (lexed.kind == LexedLine::VertexUV) {
                v.u = lexed.xyzuv[3];
                v.v = lexed.xyzuv[4];
            }
            v.r = prelight.r;
            v.g = prelight.g;
            v.b = prelight.b;
            AddVertex(v);
            return RWXCommand::Empty;
        }
        case LexedLine::Triangle:
            return AddFace(lexed.corners, 3) ? RWXCommand::Empty : RWXCommand::Unknown;
        case LexedLine::Quad:
            return AddFace(lexed.corners, 4) ? RWXCommand::Empty : RWXCommand::Unknown;
        case LexedLine::Other:
            break;
    }
    return HandleLine(lexed.line);
}

bool TClump::ReadFace(LineTokens& args, int corners) {
    int32_t n[4];
    for (int i = 0; i < corners; ++i)
        if (!args.Integer(n[i])) return false;
    return AddFace(n, corners);
}

bool TClump::AddFace(const int32_t* n, int corners) {
    for (int i = 0; i < corners; ++i)
        if (!ValidIndex(n[i])) return false;
    if (corners == 3)
        AddTriangle(TTriangle{{n[0] - 1, n[1] - 1, n[2] - 1}});
    else
        AddQuad(n[0] - 1, n[1] - 1, n[2] - 1, n[3] - 1);
    owner_->CountFaceRead();
    return true;
}

bool TClump::ReadPolygon(LineTokens& args) {
    int32_t count = 0;
    if (!args.Integer(count) || count < 3) return false;
    std::vector<int32_t>& numbers = owner_->PolygonScratch();
    numbers.clear();
    for (int32_t i = 0; i < count; ++i) {
        int32_t k = 0;
        if (!args.Integer(k) || !ValidIndex(k)) return false;
        numbers.push_back(k - 1);
    }
    AddPolygon(numbers);
    owner_->CountFaceRead();
    return true;
}

// ---- Geometry ---------------------------------------------------------------------------

void TClump::AddVertex(const TVertex& v) {
    vertices_.push_back(owner_->State().CurrentTransform().TransformVertex(v));
}

MatTris& TClump::CurrentBatch() {
    const RWXState& state = owner_->State();
    if (state.MaterialVersion() == cachedVersion_) return *batches_[cachedBatch_];
    const RWXMaterial& material = state.CurrentMaterial();
    const std::size_t hash = MaterialHash(material);
    std::size_t found = batches_.size();
    const auto [first, last] = batchesByHash_.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (batches_[it->second]->Material() == material) {
            found = it->second;
            break;
        }
    if (found == batches_.size()) {
        batches_.push_back(std::make_unique<MatTris>(material, this));
        batchesByHash_.emplace(hash, found);
    }
    cachedVersion_ = state.MaterialVersion();
    cachedBatch_ = found;
    return *batches_[found];
}

void TClump::FileTriangle(MatTris& batch, const TTriangle& t) {
    TVertex& a = vertices_[static_cast<std::size_t>(t[0])];
    TVertex& b = vertices_[static_cast<std::size_t>(t[1])];
    TVertex& c = vertices_[static_cast<std::size_t>(t[2])];
    const Vec3 n = FaceNormal(a, b, c);
    for (TVertex* corner : {&a, &b, &c}) {
        corner->nx += n.x;
        corner->ny += n.y;
        corner->nz += n.z;
    }
    batch.AddTriangle(t);
}

void TClump::AddTriangle(const TTriangle& t) {
    assert(GetVertex(t[0]) && GetVertex(t[1]) && GetVertex(t[2]));
    FileTriangle(CurrentBatch(), t);
}

void TClump::AddQuad(int32_t ia, int32_t ib, int32_t ic, int32_t id) {
    MatTris& batch = CurrentBatch();
    const TVertex& A = vertices_[static_cast<std::size_t>(ia)];
    const TVertex& B = vertices_[static_cast<std::size_t>(ib)];
    const TVertex& C = vertices_[static_cast<std::size_t>(ic)];
    const TVertex& D = vertices_[static_cast<std::size_t>(id)];

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
    if ((s1 > 0 && s2 < 0) || (s1 < 0 && s2 > 0)) {
        FileTriangle(batch, TTriangle{{ia, ib, id}});
        FileTriangle(batch, TTriangle{{ib, ic, id}});
    } else {
        FileTriangle(batch, TTriangle{{ia, ib, ic}});
        FileTriangle(batch, TTriangle{{ia, ic, id}});
    }
}

void TClump::AddPolygon(std::span<const int32_t> numbers) {
    std::vector<TTriangle>& triangles = owner_->TriangleScratch();
    triangles.clear();
    TessellatePolygon(vertices_, numbers, triangles);
    for (const TTriangle& t : triangles) AddTriangle(t);
}

void TClump::InstanceProto(std::string_view name) {
    Instance(name, true);
}
void TClump::InstanceProtoGeometry(std::string_view name) {
    Instance(name, false);
}

void TClump::Instance(std::string_view name, bool withMaterials) {
    const TProto* proto = owner_->FindProto(name);
    if (!proto) return;
    const auto base = static_cast<int32_t>(vertices_.size());
    vertices_.reserve(vertices_.size() + proto->Vertices().size());
    for (const TVertex& v : proto->Vertices()) AddVertex(v);
    RWXState& state = owner_->State();
    if (withMaterials) state.PushMaterial();
    for (const auto& batch : proto->Batches()) {
        if (withMaterials) state.SetMaterial(batch->Material());
        for (const TTriangle& t : batch->Triangles()) AddTriangle(TTriangle{{t[0] + base, t[1] + base, t[2] + base}});
    }
    if (withMaterials) state.PopMaterial();
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

void TClump::ListTranslucentTriangles(std::vector<TranslucentRef>& out) const {
    ForEachClump(*this, [&](const TClump& c) {
        for (const auto& b : c.batches_) {
            if (b->IsOpaque()) continue;
            for (int32_t i = 0; i < b->TriangleCount(); ++i) out.push_back({b.get(), i, b->IsMasked()});
        }
    });
}

}  // namespace pelorus
