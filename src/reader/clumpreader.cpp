#include "reader/clumpreader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "geometry/primitives.h"
#include "geometry/tproto.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/rwxobject.h"
#include "reader/rwxstate.h"

namespace pelorus {
namespace {

// One clump being read as part of one object.
class ClumpReader {
public:
    ClumpReader(TClump& clump, RWXObject& object, std::string* why = nullptr)
        : clump_(clump), object_(object), state_(object.State()), why_(why) {}

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

    // Rejections: each sets the reason when one is asked for, and returns false.
    bool Reject(std::string_view reason);
    bool NoSuchVertex(std::string_view number);
    // A read of a number failed after `read` of the `needed` numbers were read (`after`: the
    // word they follow, "" for the command's own numbers); `whole`: vertex numbers or counts.
    bool BadNumber(const LineTokens& args, int read, int needed, std::string_view what, bool whole,
                   std::string_view after = {});
    // The whole word of the line at `at` (blanks before it skipped); "" at the line's end.
    std::string_view WordAt(const char* at) const;
    // Reads `n` numbers into `out`, the `first` of `needed` of the line's (see BadNumber).
    bool Numbers(LineTokens& args, double* out, int n, int first, int needed, std::string_view after = {});
    // Reads a count of segments or divisions, number `index` of the `needed`: a whole number
    // within [lowest, highest], which `unit` names in the reason otherwise.
    bool Count(LineTokens& args, int index, int needed, int32_t lowest, int32_t highest, std::string_view unit,
               int32_t& out);

    TClump& clump_;
    RWXObject& object_;
    RWXState& state_;
    std::string_view line_;  // the line being carried out
    std::string* why_;       // where a rejection's reason goes, if anywhere
};

bool ClumpReader::Reject(std::string_view reason) {
    if (why_) {
        *why_ = '(';
        *why_ += reason;
        *why_ += ')';
    }
    return false;
}

bool ClumpReader::NoSuchVertex(std::string_view number) {
    const int64_t count = clump_.VertexCount();
    return Reject("vertex " + BoundedQuote(number) + " does not exist: the clump has " +
                  (count == 0 ? std::string("none") : std::to_string(count)));
}

std::string_view ClumpReader::WordAt(const char* at) const {
    const char* begin = line_.data();
    const char* end = begin + line_.size();
    if (at < begin || at > end) return {};
    while (at != end && IsBlank(*at)) ++at;
    if (at == end) return {};
    // A read that stopped inside a word ("2abc") names the whole word.
    const char* start = at;
    while (start != begin && !IsBlank(start[-1])) --start;
    while (at != end && !IsBlank(*at)) ++at;
    return std::string_view(start, static_cast<std::size_t>(at - start));
}

bool ClumpReader::BadNumber(const LineTokens& args, int read, int needed, std::string_view what, bool whole,
                            std::string_view after) {
    if (!why_) return false;
    const std::string_view word = WordAt(args.Rest().data());
    if (word.empty()) {
        const std::string counts = std::to_string(needed) + " " + std::string(what);
        return Reject((after.empty() ? counts + " needed" : std::string(after) + " needs " + counts) + ", " +
                      std::to_string(read) + " given");
    }
    // A word that reads as a number after all: no whole one, a whole one beyond any vertex, or
    // one too large for any double.
    std::string_view digits = word;
    if (digits.starts_with('+')) digits.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (end == digits.data() + digits.size()) {
        if (ec == std::errc::result_out_of_range) return Reject("\"" + BoundedQuote(word) + "\" is out of range");
        // Only digits: a whole number that 32 bits do not hold.
        const std::string_view magnitude = digits.starts_with('-') ? digits.substr(1) : digits;
        const bool integral = !magnitude.empty() && std::all_of(magnitude.begin(), magnitude.end(), IsDigit);
        if (ec == std::errc{} && whole && integral && what == "vertex numbers") return NoSuchVertex(word);
        if (ec == std::errc{} && whole) return Reject("\"" + BoundedQuote(word) + "\" is not a whole number");
    }
    return Reject("\"" + BoundedQuote(word) + "\" is not a number");
}

bool ClumpReader::Numbers(LineTokens& args, double* out, int n, int first, int needed, std::string_view after) {
    for (int i = 0; i < n; ++i)
        if (!args.Number(out[i])) return BadNumber(args, first + i, needed, "numbers", false, after);
    return true;
}

bool ClumpReader::Count(LineTokens& args, int index, int needed, int32_t lowest, int32_t highest, std::string_view unit,
                        int32_t& out) {
    const char* at = args.Rest().data();
    double value = 0;
    if (!args.Number(value)) return BadNumber(args, index, needed, "numbers", true);
    const std::string_view word = WordAt(at);
    if (value != std::floor(value)) return Reject("\"" + BoundedQuote(word) + "\" is not a whole number");
    if (value < lowest || value > highest)
        return Reject(BoundedQuote(word) + " " + std::string(unit) + ": " + std::to_string(lowest) + " to " +
                      std::to_string(highest) + " allowed");
    out = static_cast<int32_t>(value);
    return true;
}

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
    double xyz[3];
    if (!Numbers(args, xyz, 3, 0, 3)) return false;
    v.x = xyz[0];
    v.y = xyz[1];
    v.z = xyz[2];
    const RGB& prelight = state_.CurrentPrelight();
    v.r = prelight.r;
    v.g = prelight.g;
    v.b = prelight.b;
    bool setPrelight = false;
    for (std::string_view word = args.Word(); !word.empty(); word = args.Word()) {
        switch (ValueCode(word)) {
            case RWXOption::UV: {
                double uv[2];
                if (!Numbers(args, uv, 2, 0, 2, "UV")) return false;
                v.u = uv[0];
                v.v = uv[1];
                break;
            }
            case RWXOption::Normal: {
                double ignored[3];
                if (!Numbers(args, ignored, 3, 0, 3, "Normal")) return false;
                break;
            }
            case RWXOption::Prelight: {
                double rgb[3];
                if (!Numbers(args, rgb, 3, 0, 3, "Prelight")) return false;
                v.r = rgb[0];
                v.g = rgb[1];
                v.b = rgb[2];
                setPrelight = true;
                break;
            }
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
        if (!args.Integer(n[i])) return BadNumber(args, i, corners, "vertex numbers", true);
    int32_t tag = 0;
    const bool tagged = ReadFaceTag(args, tag);
    return AddFace(n, corners, tagged, tag);
}

bool ClumpReader::AddFace(const int32_t* n, int corners, bool tagged, int32_t tag) {
    if (object_.GeometryStopped()) return true;
    for (int i = 0; i < corners; ++i)
        if (!ValidIndex(n[i])) return NoSuchVertex(std::to_string(n[i]));
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
    if (!args.Integer(count)) {
        if (WordAt(args.Rest().data()).empty()) return Reject("the number of vertices is missing");
        return BadNumber(args, 0, 1, "numbers", true);
    }
    if (count < 3) return Reject("a polygon needs at least 3 vertices, " + std::to_string(count) + " given");
    std::vector<int32_t>& numbers = object_.PolygonScratch();
    numbers.clear();
    for (int32_t i = 0; i < count; ++i) {
        int32_t k = 0;
        if (!args.Integer(k)) return BadNumber(args, i, count, "vertex numbers", true);
        if (!ValidIndex(k)) return NoSuchVertex(std::to_string(k));
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

bool ClumpReader::ReadPrimitive(RWXCommand code, LineTokens& args) {
    if (object_.GeometryStopped()) return true;
    PrimitiveMesh& mesh = object_.PrimitiveScratch();
    double v[3] = {};
    int32_t count = 0;
    // The sizes each shape takes, and whether a count of segments (or of divisions) follows.
    int sizes = 0;
    bool segments = false, divisions = false;
    switch (code) {
        case RWXCommand::Block:
            sizes = 3;
            break;
        case RWXCommand::Cone:
        case RWXCommand::Disc:
            sizes = 2;
            segments = true;
            break;
        case RWXCommand::Cylinder:
            sizes = 3;
            segments = true;
            break;
        case RWXCommand::Hemisphere:
        case RWXCommand::Sphere:
            sizes = 1;
            divisions = true;
            break;
        default:
            return false;
    }
    const int needed = sizes + (segments || divisions ? 1 : 0);
    if (!Numbers(args, v, sizes, 0, needed)) return false;
    if (segments && !Count(args, sizes, needed, 3, kMaxPrimitiveSides, "segments", count)) return false;
    if (divisions && !Count(args, sizes, needed, 0, kMaxPrimitiveDivisions, "divisions", count)) return false;
    bool built = false;
    switch (code) {
        case RWXCommand::Block:
            built = BuildBlock(v[0], v[1], v[2], mesh);
            break;
        case RWXCommand::Cone:
            built = BuildCone(v[0], v[1], count, mesh);
            break;
        case RWXCommand::Cylinder:
            built = BuildCylinder(v[0], v[1], v[2], count, mesh);
            break;
        case RWXCommand::Disc:
            built = BuildDisc(v[0], v[1], count, mesh);
            break;
        case RWXCommand::Hemisphere:
            built = BuildHemisphere(v[0], count, mesh);
            break;
        default:
            built = BuildSphere(v[0], count, mesh);
            break;
    }
    if (!built) return Reject("a size below zero");
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

RWXCommand ReadClumpLine(TClump& clump, RWXObject& object, std::string_view line, std::string* why) {
    return ClumpReader(clump, object, why).Line(line);
}

RWXCommand ReadClumpLexed(TClump& clump, RWXObject& object, const LexedLine& lexed, std::string* why) {
    return ClumpReader(clump, object, why).Lexed(lexed);
}

void InstanceProto(TClump& clump, RWXObject& object, std::string_view name, bool withMaterials) {
    ClumpReader reader(clump, object);
    reader.Instance(name, withMaterials);
}

}  // namespace pelorus
