#include "reader/clumpreader.h"

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
    MatTris& CurrentBatch() { return clump_.BatchFor(state_.CurrentMaterial(), state_.MaterialVersion()); }
    void AddVertex(const TVertex& v) { clump_.AddVertex(state_.CurrentTransform().TransformVertex(v)); }
    bool ReadVertex(LineTokens& args);
    bool ReadFace(LineTokens& args, int corners);
    bool AddFace(const int32_t* oneBased, int corners);
    bool ReadPolygon(LineTokens& args);
    bool ValidIndex(int32_t oneBased) const { return oneBased >= 1 && oneBased <= clump_.VertexCount(); }

    TClump& clump_;
    RWXObject& object_;
    RWXState& state_;
};

RWXCommand ClumpReader::Line(std::string_view line) {
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
            // Primitive shapes are read and build nothing.
            return RWXCommand::Empty;
        case RWXCommand::ProtoInstance:
            Instance(args.Word(), true);
            return RWXCommand::Empty;
        case RWXCommand::ProtoInstanceGeometry:
            Instance(args.Word(), false);
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
            // A malformed state command is reported as any rejected line is.
            return RunStateCommand(code, args, state_, object_) == StateResult::Malformed ? RWXCommand::Unknown
                                                                                          : RWXCommand::Empty;
    }
}

bool ClumpReader::ReadVertex(LineTokens& args) {
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
            return AddFace(lexed.corners, 3) ? RWXCommand::Empty : RWXCommand::Unknown;
        case LexedLine::Quad:
            return AddFace(lexed.corners, 4) ? RWXCommand::Empty : RWXCommand::Unknown;
        case LexedLine::Other:
            break;
    }
    return Line(lexed.line);
}

bool ClumpReader::ReadFace(LineTokens& args, int corners) {
    int32_t n[4];
    for (int i = 0; i < corners; ++i)
        if (!args.Integer(n[i])) return false;
    return AddFace(n, corners);
}

bool ClumpReader::AddFace(const int32_t* n, int corners) {
    for (int i = 0; i < corners; ++i)
        if (!ValidIndex(n[i])) return false;
    if (corners == 3)
        clump_.AddTriangle(CurrentBatch(), TTriangle{{n[0] - 1, n[1] - 1, n[2] - 1}});
    else
        clump_.AddQuad(CurrentBatch(), n[0] - 1, n[1] - 1, n[2] - 1, n[3] - 1);
    object_.CountFaceRead();
    return true;
}

bool ClumpReader::ReadPolygon(LineTokens& args) {
    int32_t count = 0;
    if (!args.Integer(count) || count < 3) return false;
    std::vector<int32_t>& numbers = object_.PolygonScratch();
    numbers.clear();
    for (int32_t i = 0; i < count; ++i) {
        int32_t k = 0;
        if (!args.Integer(k) || !ValidIndex(k)) return false;
        numbers.push_back(k - 1);
    }
    clump_.AddPolygon(CurrentBatch(), numbers, object_.TriangleScratch());
    object_.CountFaceRead();
    return true;
}

void ClumpReader::Instance(std::string_view name, bool withMaterials) {
    const TProto* proto = object_.FindProto(name);
    if (!proto) return;
    const auto base = static_cast<int32_t>(clump_.VertexCount());
    clump_.ReserveVertices(proto->Vertices().size());
    for (const TVertex& v : proto->Vertices()) AddVertex(v);
    if (withMaterials) state_.PushMaterial();
    for (const auto& batch : proto->Batches()) {
        if (withMaterials) state_.SetMaterial(batch->Material());
        for (const TTriangle& t : batch->Triangles())
            clump_.AddTriangle(CurrentBatch(), TTriangle{{t[0] + base, t[1] + base, t[2] + base}});
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
    ClumpReader(clump, object).Instance(name, withMaterials);
}

}  // namespace pelorus
