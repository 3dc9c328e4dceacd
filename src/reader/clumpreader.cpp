#include "reader/clumpreader.h"

#include <cmath>
#include <cstdint>

#include "geometry/primitives.h"
#include "geometry/tproto.h"
#include "reader/rwxobject.h"
#include "reader/rwxstate.h"

namespace pelorus {
namespace {

// One clump being read as part of one object.
class ClumpReader {
public:
    ClumpReader(TClump& clump, RWXObject& object) : clump_(clump), object_(object), state_(object.State()) {}

    RWXCommand Line(std::string_view line);
    RWXCommand Lexed(const LexedLine& lexed);
    void Instance(std::string_view name, bool withMaterials);

private:
    // The batch of the current material for faces tagged `tag`.
    MatTris& CurrentBatch(int32_t tag) {
        return clump_.BatchFor(state_.CurrentMaterial(), state_.MaterialVersion(), tag, object_.Materials());
    }
    // Every vertex and triangle added goes through these two, which keep to the object's budget.
    bool AddVertex(const TVertex& v);
    using Geometry = RWXObject::Geometry;
    bool Room(int64_t vertices, int64_t triangles, Geometry kind = Geometry::Written) {
        return object_.RoomForGeometry(vertices, triangles, kind, line_);
    }
    bool ReadVertex(LineTokens& args);
    bool ReadFace(LineTokens& args, int corners);
    // A face tagged `tag` when `tagged`, otherwise with the clump's face tag.
    bool AddFace(const int32_t* oneBased, int corners, bool tagged, int32_t tag);
    int32_t FaceTag(bool tagged, int32_t tag) const { return tagged ? tag : clump_.FaceTag(); }
    bool ReadPolygon(LineTokens& args);
    bool ReadPrimitive(RWXCommand code, LineTokens& args);
    bool ValidIndex(int32_t oneBased) const { return oneBased >= 1 && oneBased <= clump_.VertexCount(); }

    TClump& clump_;
    RWXObject& object_;
    RWXState& state_;
    std::string_view line_;  // the line being carried out
};

bool ClumpReader::AddVertex(const TVertex& v) {
    if (!Room(1, 0)) return false;
    clump_.AddVertex(state_.CurrentTransform().TransformVertex(v));
    object_.CountGeometry(1, 0, Geometry::Written);
    return true;
}

RWXCommand ClumpReader::Line(std::string_view line) {
    line_ = line;
    LineTokens args(line, object_.ReadableEnd());
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
            return ReadPrimitive(code, args) ? RWXCommand::Empty : RWXCommand::Unknown;
        case RWXCommand::ProtoInstance:
            Instance(args.Word(), true);
            return RWXCommand::Empty;
        case RWXCommand::ProtoInstanceGeometry:
            Instance(args.Word(), false);
            return RWXCommand::Empty;
        case RWXCommand::Tag: {
            // Tags the faces that follow; a line without a number changes nothing, silently.
            int32_t tag = 0;
            if (args.Integer(tag)) clump_.SetFaceTag(tag);
            return RWXCommand::Empty;
        }
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
            // A malformed state command is reported as any rejected line is.
            return RunStateCommand(code, args, state_, object_) == StateResult::Malformed ? RWXCommand::Unknown
                                                                                          : RWXCommand::Empty;
    }
}

bool ClumpReader::ReadVertex(LineTokens& args) {
    if (object_.GeometryStopped()) return true;  // no geometry is read any more
    TVertex v;
    if (!args.Number(v.x) || !args.Number(v.y) || !args.Number(v.z)) return false;
    const RGB& prelight = state_.CurrentPrelight();
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
    if (setPrelight) state_.SetPrelight({v.r, v.g, v.b});
    AddVertex(v);
    return true;
}

RWXCommand ClumpReader::Lexed(const LexedLine& lexed) {
    line_ = lexed.line;
    switch (lexed.kind) {
        case LexedLine::Vertex:
        case LexedLine::VertexUV: {
            const RGB& prelight = state_.CurrentPrelight();
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
            return AddFace(lexed.face.corners, 3, lexed.face.tagged, lexed.face.tag) ? RWXCommand::Empty
                                                                                     : RWXCommand::Unknown;
        case LexedLine::Quad:
            return AddFace(lexed.face.corners, 4, lexed.face.tagged, lexed.face.tag) ? RWXCommand::Empty
                                                                                     : RWXCommand::Unknown;
        case LexedLine::Other:
            break;
    }
    return Line(lexed.line);
}

bool ClumpReader::ReadFace(LineTokens& args, int corners) {
    if (object_.GeometryStopped()) return true;
    int32_t n[4];
    for (int i = 0; i < corners; ++i)
        if (!args.Integer(n[i])) return false;
    int32_t tag = 0;
    const bool tagged = ReadFaceTag(args, tag);
    return AddFace(n, corners, tagged, tag);
}

bool ClumpReader::AddFace(const int32_t* n, int corners, bool tagged, int32_t tag) {
    if (object_.GeometryStopped()) return true;
    for (int i = 0; i < corners; ++i)
        if (!ValidIndex(n[i])) return false;
    const int triangles = corners == 3 ? 1 : 2;
    if (!Room(0, triangles)) return true;
    MatTris& batch = CurrentBatch(FaceTag(tagged, tag));
    if (corners == 3)
        clump_.AddTriangle(batch, TTriangle{{n[0] - 1, n[1] - 1, n[2] - 1}});
    else
        clump_.AddQuad(batch, n[0] - 1, n[1] - 1, n[2] - 1, n[3] - 1);
    object_.CountGeometry(0, triangles, Geometry::Written);
    object_.CountFaceRead();
    return true;
}

bool ClumpReader::ReadPolygon(LineTokens& args) {
    if (object_.GeometryStopped()) return true;
    int32_t count = 0;
    if (!args.Integer(count) || count < 3) return false;
    std::vector<int32_t>& numbers = object_.PolygonScratch();
    numbers.clear();
    for (int32_t i = 0; i < count; ++i) {
        int32_t k = 0;
        if (!args.Integer(k) || !ValidIndex(k)) return false;
        numbers.push_back(k - 1);
    }
    int32_t tag = 0;
    const bool tagged = ReadFaceTag(args, tag);
    if (!Room(0, count - 2)) return true;  // at most n - 2 triangles
    std::vector<TTriangle>& triangles = object_.TriangleScratch();
    clump_.AddPolygon(CurrentBatch(FaceTag(tagged, tag)), numbers, triangles);
    object_.CountGeometry(0, static_cast<int64_t>(triangles.size()), Geometry::Written);
    object_.CountFaceRead();
    return true;
}

namespace {

// Reads a count of segments or divisions: a number that is whole and within 32 bits (the
// primitive's own limits are checked when it is built).
bool ReadCount(LineTokens& args, int32_t& out) {
    double value = 0;
    if (!args.Number(value) || value != std::floor(value) || value < INT32_MIN || value > INT32_MAX) return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool ReadSizes(LineTokens& args, double* out, int n) {
    for (int i = 0; i < n; ++i)
        if (!args.Number(out[i])) return false;
    return true;
}

}  // namespace

bool ClumpReader::ReadPrimitive(RWXCommand code, LineTokens& args) {
    if (object_.GeometryStopped()) return true;
    PrimitiveMesh& mesh = object_.PrimitiveScratch();
    double v[3] = {};
    int32_t count = 0;
    bool built = false;
    switch (code) {
        case RWXCommand::Block:
            built = ReadSizes(args, v, 3) && BuildBlock(v[0], v[1], v[2], mesh);
            break;
        case RWXCommand::Cone:
            built = ReadSizes(args, v, 2) && ReadCount(args, count) && BuildCone(v[0], v[1], count, mesh);
            break;
        case RWXCommand::Cylinder:
            built = ReadSizes(args, v, 3) && ReadCount(args, count) && BuildCylinder(v[0], v[1], v[2], count, mesh);
            break;
        case RWXCommand::Disc:
            built = ReadSizes(args, v, 2) && ReadCount(args, count) && BuildDisc(v[0], v[1], count, mesh);
            break;
        case RWXCommand::Hemisphere:
            built = ReadSizes(args, v, 1) && ReadCount(args, count) && BuildHemisphere(v[0], count, mesh);
            break;
        case RWXCommand::Sphere:
            built = ReadSizes(args, v, 1) && ReadCount(args, count) && BuildSphere(v[0], count, mesh);
            break;
        default:
            break;
    }
    if (!built) return false;
    const auto vertices = static_cast<int64_t>(mesh.vertices.size());
    const auto triangles = static_cast<int64_t>(mesh.triangles.size());
    if (!Room(vertices, triangles, Geometry::Made)) return true;
    const auto base = static_cast<int32_t>(clump_.VertexCount());
    const RGB& prelight = state_.CurrentPrelight();
    const RWXMatrix& transform = state_.CurrentTransform();
    clump_.ReserveVertices(mesh.vertices.size());
    for (TVertex p : mesh.vertices) {
        p.r = prelight.r;
        p.g = prelight.g;
        p.b = prelight.b;
        clump_.AddVertex(transform.TransformVertex(p));
    }
    MatTris& batch = CurrentBatch(clump_.FaceTag());
    for (const TTriangle& t : mesh.triangles)
        clump_.AddTriangle(batch, TTriangle{{t[0] + base, t[1] + base, t[2] + base}});
    object_.CountGeometry(vertices, triangles, Geometry::Made);
    // Each triangle of a primitive counts as one face read.
    object_.CountFaceRead(triangles);
    return true;
}

void ClumpReader::Instance(std::string_view name, bool withMaterials) {
    if (object_.GeometryStopped()) return;
    const TProto* proto = object_.FindProto(name);
    if (!proto) return;
    const auto vertices = static_cast<int64_t>(proto->Vertices().size());
    int64_t triangles = 0;
    for (const auto& batch : proto->Batches()) triangles += batch->TriangleCount();
    if (!Room(vertices, triangles, Geometry::Made)) return;
    const auto base = static_cast<int32_t>(clump_.VertexCount());
    clump_.ReserveVertices(proto->Vertices().size());
    const RWXMatrix& transform = state_.CurrentTransform();
    for (const TVertex& v : proto->Vertices()) clump_.AddVertex(transform.TransformVertex(v));
    object_.CountGeometry(vertices, triangles, Geometry::Made);
    if (withMaterials) state_.PushMaterial();
    for (const auto& batch : proto->Batches()) {
        if (withMaterials) state_.SetMaterial(batch->Material());
        // Tagged faces keep their tag; untagged ones take this clump's.
        MatTris& into = CurrentBatch(batch->Tag() != 0 ? batch->Tag() : clump_.FaceTag());
        const int32_t first = into.TriangleCount();
        // Each copy keeps the line of the prototype's face that made it; the run says which
        // line instanced it.
        const PodVector<TTriangle>& from = batch->Triangles();
        for (std::size_t i = 0; i < from.size(); ++i) {
            const TTriangle& t = from[i];
            clump_.AddTriangle(into, TTriangle{{t[0] + base, t[1] + base, t[2] + base}},
                               batch->LineOf(static_cast<int32_t>(i)));
        }
        into.MarkInstance(first, clump_.SourceLine(), proto->Name());
    }
    if (withMaterials) state_.PopMaterial();
}

}  // namespace

RWXCommand ReadClumpLine(TClump& clump, RWXObject& object, std::string_view line) {
    return ClumpReader(clump, object).Line(line);
}

RWXCommand ReadClumpLexed(TClump& clump, RWXObject& object, const LexedLine& lexed) {
    return ClumpReader(clump, object).Lexed(lexed);
}

void InstanceProto(TClump& clump, RWXObject& object, std::string_view name, bool withMaterials) {
    ClumpReader reader(clump, object);
    reader.Instance(name, withMaterials);
}

}  // namespace pelorus
