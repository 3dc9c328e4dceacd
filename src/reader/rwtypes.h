#pragma once
// The vocabulary of a RenderWare script: command words, value words, and the tokenizer that
// splits one line into words and numbers.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelorus {

enum class RWXCommand : int {
    Vertex = 0,
    VertexExt,
    Polygon,
    PolygonExt,
    Quad,
    QuadExt,
    Triangle,
    TriangleExt,
    Block,
    Cone,
    Cylinder,
    Disc,
    Hemisphere,
    Sphere,
    AxisAlignment,
    AddMaterialMode,
    AddTextureMode,
    Ambient,
    Color,
    Diffuse,
    GeometrySampling,
    LightSampling,
    MaterialBegin,
    MaterialEnd,
    MaterialMode,
    MaterialModes,
    Opacity,
    RemoveMaterialMode,
    RemoveTextureMode,
    Surface,
    Texture,
    TextureExt,
    TextureModes,
    TextureMode,
    Identity,
    IdentityJoint,
    JointTransformBegin,
    JointTransformEnd,
    Rotate,
    RotateJoint,
    Scale,
    Transform,
    TransformBegin,
    TransformEnd,
    Translate,
    TextureMipmapState,
    ClumpBegin,
    ClumpEnd,
    ModelBegin,
    ModelEnd,
    ProtoBegin,
    ProtoEnd,
    ProtoInstance,
    ProtoInstanceGeometry,
    TextureAddressMode,
    Collision,
    OpacityFix,
    RandomUVs,
    AddHint,
    Hint,
    Hints,
    RemoveHint,
    Specular,
    Tag,
    TextureDithering,
    TextureGammaCorrection,
    Trace,
    TransformJoint,
    Include,
    IncludeGeometry,
    Comment = 70,
    Unknown = 71,
    Empty = 72,
};

// The command words of the table are codes 0 to kCommandWordCount - 1; every code, the three
// without a word included, is below kCommandCodeCount.
inline constexpr std::size_t kCommandWordCount = static_cast<std::size_t>(RWXCommand::Comment);
inline constexpr std::size_t kCommandCodeCount = static_cast<std::size_t>(RWXCommand::Empty) + 1;

enum class RWXOption : int {
    Normal = 0,
    UV,
    Tag,
    Vertex,
    Facet,
    Null,
    Container,
    HS,
    Editable,
    On,
    Off,
    None,
    ZOrientX,
    ZOrientY,
    XYZ,
    Double,
    Lit,
    Foreshorten,
    Filter,
    PointCloud,
    Solid,
    WireFrame,
    Mask,
    Auto,
    Wrap,
    Clamp,
    Mirror,
    Prelight,
    Comment = 28,
    Unknown = 29,
};

// The code of a command word, ignoring letter case. A word that begins with `#!` is matched
// without that prefix; any other word that begins with `#` is Comment. The empty word is Empty;
// a word that names no command is Unknown.
RWXCommand CommandCode(std::string_view word);

// The code of a value word by the same rules, except that the empty word is Unknown.
RWXOption ValueCode(std::string_view word);

// The table spelling of a command (for messages and dumps); "" for Comment, Unknown and Empty.
std::string_view CommandName(RWXCommand code);

// Reads the words and numbers of one line, in order, the way a formatted input stream would:
// white space separates items, a number is the longest prefix of the remaining text that reads
// as a decimal number, and once a number cannot be read the line counts as failed and yields
// nothing more. Every read guards the end of the line itself.
class LineTokens {
public:
    explicit LineTokens(std::string_view line) : rest_(line), readableEnd_(line.data() + line.size()) {}
    // `readableEnd` (at or after the line's end) bounds the memory that may be looked at ahead of
    // the line's end for speed; nothing beyond the line's end is ever taken as part of it.
    LineTokens(std::string_view line, const char* readableEnd)
        : rest_(line), readableEnd_(readableEnd ? readableEnd : line.data() + line.size()) {}

    // The next word, or an empty view at the end of the line or after a failed read.
    std::string_view Word();
    // The next number; false (and the line failed) when none can be read.
    bool Number(double& out);
    // The next decimal integer; false (and the line failed) when none can be read or it does
    // not fit in 32 bits.
    bool Integer(int32_t& out);

    // Only white space remains (or the line has failed).
    bool AtEnd();
    // Only white space remains, or the next word is a comment (begins with `#` but not `#!`).
    bool AtEndOrComment();
    // Nothing at all remains, not even white space.
    bool Exhausted() const { return failed_ || rest_.empty(); }
    bool Failed() const { return failed_; }
    // What is left of the line: after a failed read of a number, from the place it could not be
    // read at (blanks before it skipped), which is the line's end when nothing was left.
    std::string_view Rest() const { return rest_; }

private:
    void SkipBlanks();
    std::string_view rest_;
    const char* readableEnd_;
    bool failed_ = false;
};

}  // namespace pelorus
