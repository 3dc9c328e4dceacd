#include "export/rwxwrite.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

#include "platform/bmpwrite.h"
#include "platform/jpegwrite.h"
#include "platform/paths.h"
#include "platform/pngwrite.h"
#include "platform/text.h"
#include "platform/zipwrite.h"
#include "reader/modelimport.h"

namespace pelorus {
namespace {

// ---- Textures -----------------------------------------------------------------------------

enum class Alpha { Opaque, OnOff, Partial };

// How a texture record is written: its name in the script and its files.
struct WrittenTexture {
    std::string command;  // "wood", "wood Mask woodm", "glass.png"
    std::vector<ScriptFile> files;
};

// The image a record draws with, without the Mirror tile: width x height x 4 (all frames).
struct PlainImage {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

std::optional<PlainImage> PlainImageOf(const TTexture& t) {
    if (t.width < 1 || t.height < 1) return std::nullopt;
    const auto w = static_cast<std::size_t>(t.width), h = static_cast<std::size_t>(t.height);
    if (t.Rgba().size() < w * h * 4) return std::nullopt;
    PlainImage out;
    const bool mirror = t.addressMode == AddressMode::Mirror;
    out.width = mirror ? std::max(t.width / 2, 1) : t.width;
    out.height = mirror ? std::max(t.height / 2, 1) : t.height;
    const auto ow = static_cast<std::size_t>(out.width);
    out.rgba.resize(ow * static_cast<std::size_t>(out.height) * 4);
    for (std::size_t y = 0; y < static_cast<std::size_t>(out.height); ++y)
        std::copy_n(t.Rgba().data() + y * w * 4, ow * 4, out.rgba.data() + y * ow * 4);
    return out;
}

Alpha AlphaOf(const PlainImage& image) {
    bool off = false, partial = false;
    for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
        const uint8_t a = image.rgba[i];
        off = off || a == 0;
        partial = partial || (a != 0 && a != 255);
    }
    return partial ? Alpha::Partial : off ? Alpha::OnOff : Alpha::Opaque;
}

std::string AsString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> RgbOf(const PlainImage& image) {
    std::vector<uint8_t> rgb(image.rgba.size() / 4 * 3);
    for (std::size_t i = 0, j = 0; i < image.rgba.size(); i += 4, j += 3) std::copy_n(&image.rgba[i], 3, &rgb[j]);
    return rgb;
}

// The files of a texture under base name `name`, without checking names. Empty when the image
// cannot be had.
struct TextureFiles {
    std::vector<ScriptFile> files;  // with "{}" standing for the base name in each file name
    Alpha alpha = Alpha::Opaque;
    std::vector<std::string> notes;
};

TextureFiles FilesOf(const TTexture& t) {
    TextureFiles out;
    std::optional<PlainImage> image = PlainImageOf(t);
    if (!image) return out;
    out.alpha = AlphaOf(*image);
    bool reuseJpeg = !t.ColourJpeg().empty() && out.alpha != Alpha::Partial;
    // A single image whose height is a multiple of its width would come back as a strip of
    // frames: one more row keeps it one image.
    if (t.frameCount <= 1 && image->height > image->width && image->height % image->width == 0) {
        PlainImage taller;
        taller.width = image->width;
        taller.height = image->height + 1;
        const auto w = static_cast<std::size_t>(taller.width);
        taller.rgba.resize(w * static_cast<std::size_t>(taller.height) * 4);
        for (int32_t y = 0; y < taller.height; ++y) {
            const auto from = static_cast<std::size_t>(static_cast<int64_t>(y) * image->height / taller.height);
            std::copy_n(image->rgba.data() + from * w * 4, w * 4,
                        taller.rgba.data() + static_cast<std::size_t>(y) * w * 4);
        }
        out.notes.push_back(std::to_string(image->width) + " x " + std::to_string(image->height) + " is written " +
                            std::to_string(taller.width) + " x " + std::to_string(taller.height) +
                            ": scripts read an image whose height is a multiple of its width as a strip of frames");
        *image = std::move(taller);
        reuseJpeg = false;
    }
    if (out.alpha == Alpha::Partial) {
        const std::vector<uint8_t> png = EncodePng(image->rgba, image->width, image->height, 4);
        if (png.empty()) return {};
        out.files.push_back({"{}.png", AsString(png)});
        return out;
    }
    std::string jpeg =
        reuseJpeg ? AsString(t.ColourJpeg()) : AsString(EncodeJpeg(RgbOf(*image), image->width, image->height));
    if (jpeg.empty()) return {};
    out.files.push_back({"{}.jpg", std::move(jpeg)});
    if (out.alpha == Alpha::OnOff) {
        std::vector<uint8_t> alpha(image->rgba.size() / 4);
        for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = image->rgba[i * 4 + 3];
        const std::vector<uint8_t> bmp = EncodeMaskBmp(alpha, image->width, image->height);
        out.files.push_back({"{}m.zip", AsString(bmp)});  // zipped once named
    }
    return out;
}

std::string Named(std::string_view pattern, std::string_view name) {
    std::string out(pattern);
    out.replace(out.find("{}"), 2, name);
    return out;
}

// ---- Faces --------------------------------------------------------------------------------

Vec3 Cross(const TVertex& a, const TVertex& b, const TVertex& c) {
    return FaceNormal(a, b, c);
}

// The quad a, b, c, d that `first` and `second` make, when they share an edge (in opposite
// directions), lie in one plane, make a strictly convex quad, and reading "Quad a b c d" gives
// them back (turned so that they start at a). Nullopt otherwise.
std::optional<std::array<int32_t, 4>> QuadOfTriangles(const TClump& clump, const TTriangle& first,
                                                      const TTriangle& second) {
    constexpr double kFlat = 1e-6;  // 1 - cosine of the angle between the halves' normals
    for (int k = 0; k < 3; ++k) {
        const int32_t a = first[k], b = first[(k + 1) % 3], c = first[(k + 2) % 3];
        for (int j = 0; j < 3; ++j) {
            if (second[j] != a || second[(j + 1) % 3] != c) continue;
            const int32_t d = second[(j + 2) % 3];
            if (a == b || b == c || a == c || d == a || d == b || d == c) return std::nullopt;
            const TVertex &A = *clump.GetVertex(a), &B = *clump.GetVertex(b), &C = *clump.GetVertex(c),
                          &D = *clump.GetVertex(d);
            const Vec3 n1 = Cross(A, B, C), n2 = Cross(A, C, D);
            const Vec3 n3 = Cross(A, B, D), n4 = Cross(B, C, D);
            const double l1 = Length(n1), l2 = Length(n2), l3 = Length(n3), l4 = Length(n4);
            if (!(l1 > 0 && l2 > 0 && l3 > 0 && l4 > 0)) return std::nullopt;
            const bool flat = Dot(n1, n2) >= (1 - kFlat) * l1 * l2;
            // Convex: the other diagonal's halves face the same way too.
            const bool convex = Dot(n1, n3) > 0 && Dot(n1, n4) > 0;
            if (!flat || !convex || !QuadSplitsAlongAC(A, B, C, D)) return std::nullopt;
            return std::array<int32_t, 4>{a, b, c, d};
        }
    }
    return std::nullopt;
}

char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ---- Writing ------------------------------------------------------------------------------

void Number(std::string& out, double v) {
    char text[32];
    if (!std::isfinite(v) || v == 0) v = 0;
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    out.append(text, end);
}

// The reader's state as the script sets it, so that only changes are written.
struct WriterState {
    RWXMaterial material;
    std::string texture = "null";  // the command's words as written last, "null" for none
    AddressMode addressMode = AddressMode::Wrap;
    bool mipmapping = true;
    RGB prelight;
};

// Whether two materials are written with the same commands (stale texture fields of a material
// without a texture do not count).
bool WrittenAlike(const RWXMaterial& a, const RWXMaterial& b) {
    const bool sameTexture = a.HasTexture() == b.HasTexture() &&
                             (!a.HasTexture() || (a.TextureIndex() == b.TextureIndex() &&
                                                  a.addressMode == b.addressMode && a.mipmapping == b.mipmapping));
    return sameTexture && a.geometrySampling == b.geometrySampling && a.axisAlignment == b.axisAlignment &&
           a.lightSampling == b.lightSampling && a.color == b.color && a.ambient == b.ambient &&
           a.diffuse == b.diffuse && a.specular == b.specular && a.opacity == b.opacity &&
           a.textureModes == b.textureModes && a.materialModes == b.materialModes;
}

bool Uniform(const RGB& c) {
    return c.r == c.g && c.g == c.b;
}

class ScriptBuilder {
public:
    ScriptBuilder(ScriptExport& out, const TextureNameCheck& nameFree, bool zipMasks)
        : out_(out), nameFree_(nameFree), zipMasks_(zipMasks) {}
    void AddEntry(const ExportEntry& entry);

private:
    void Line(std::string_view text) {
        out_.script.append(indent_ * 2, ' ');
        out_.script += text;
        out_.script += '\n';
    }
    void Clump(const RWXObject& model, const TClump& clump, const Placement& placement);
    void Faces(const TClump& clump, const std::vector<const MatTris*>& batches);
    void SetMaterial(const RWXObject& model, const RWXMaterial& m);
    std::string TextureCommand(const RWXObject& model, int32_t index);

    ScriptExport& out_;
    const TextureNameCheck& nameFree_;
    bool zipMasks_;
    bool toldGlow_ = false;
    std::size_t indent_ = 0;
    WriterState state_;
    std::vector<WriterState> saved_;
    // Texture records already named, and the names given with the files they stand for.
    std::map<const TTexture*, std::optional<std::string>> named_;
    struct Given {
        std::vector<ScriptFile> files;
        bool clamp = false;  // how the reader loads it the first time: one name, one way
        bool mipmapped = true;
    };
    std::map<std::string, Given> given_;
};

std::string ScriptBuilder::TextureCommand(const RWXObject& model, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= model.Textures().size()) return {};
    const TTexture& t = model.Textures()[static_cast<std::size_t>(index)];
    if (const auto found = named_.find(&t); found != named_.end()) return found->second.value_or("");
    TextureFiles files = FilesOf(t);
    std::optional<std::string> command;
    if (files.files.empty()) {
        out_.notes.push_back("texture \"" + t.name + "\" holds no image and is left out");
    } else {
        std::string stem(FileNamePart(t.name));
        if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
        const std::string base = ScriptName(stem, kMaxTextureBaseName);
        const bool clamp = t.addressMode == AddressMode::Clamp;
        for (int n = 1; !command && n <= 1000; ++n) {
            std::string name = base;
            if (n > 1) {
                const std::string suffix = "_" + std::to_string(n);
                name = base.substr(0, kMaxTextureBaseName - suffix.size()) + suffix;
            }
            std::vector<ScriptFile> named;
            for (const ScriptFile& f : files.files) named.push_back({Named(f.name, name), f.content});
            const auto given = given_.find(name);
            if (given != given_.end()) {
                // Taken: by the same files loaded the same way, or the next name is tried.
                bool same = given->second.files.size() == named.size() && given->second.clamp == clamp &&
                            given->second.mipmapped == (t.mipmapped != 0);
                for (std::size_t i = 0; same && i < named.size(); ++i)
                    same = given->second.files[i].name == named[i].name &&
                           given->second.files[i].content == named[i].content;
                if (!same) continue;
            } else {
                // The files as written: a mask travels zipped, as world servers hand masks out.
                std::vector<ScriptFile> written = named;
                bool ok = true;
                for (ScriptFile& f : written)
                    if (f.name.ends_with("m.zip")) {
                        const std::string bmp = f.name.substr(0, f.name.size() - 4) + ".bmp";
                        if (!zipMasks_) {
                            f.name = bmp;
                            continue;
                        }
                        const auto zip = BuildZip({{bmp, f.content}});
                        ok = ok && zip.has_value();
                        if (zip) f.content = AsString(*zip);
                    }
                if (!ok) break;
                bool free = true;
                if (nameFree_)
                    for (const ScriptFile& f : written) free = free && nameFree_(f);
                if (!free) continue;
                for (ScriptFile& f : written) out_.textures.push_back(std::move(f));
                given_.emplace(name, Given{std::move(named), clamp, t.mipmapped != 0});
                ++out_.counts.textures;
                for (const std::string& note : files.notes) out_.notes.push_back("texture \"" + name + "\": " + note);
                if (files.alpha == Alpha::Partial)
                    out_.notes.push_back("texture \"" + name +
                                         "\" is partly transparent and written as PNG, which some world clients "
                                         "cannot read (they read JPEG only)");
            }
            command = files.alpha == Alpha::Partial ? name + ".png"
                      : files.alpha == Alpha::OnOff ? name + " Mask " + name + "m"
                                                    : name;
        }
        if (!command) out_.notes.push_back("texture \"" + t.name + "\" could not be written and is left out");
    }
    named_.emplace(&t, command);
    return command.value_or("");
}

void ScriptBuilder::SetMaterial(const RWXObject& model, const RWXMaterial& given) {
    // Full ambient and full diffuse light make a face glow white in world clients: such a surface
    // is written as an imported model's.
    RWXMaterial m = given;
    if (m.ambient == RGB{1, 1, 1} && m.diffuse == RGB{1, 1, 1}) {
        m.ambient = {kImportAmbient, kImportAmbient, kImportAmbient};
        m.diffuse = {kImportDiffuse, kImportDiffuse, kImportDiffuse};
        if (!toldGlow_)
            out_.notes.push_back(
                "faces with full ambient and diffuse light (Surface 1 1 1), which glow white in "
                "world clients, are written with Surface " +
                ScriptNumber(kImportAmbient) + " " + ScriptNumber(kImportDiffuse) + "");
        toldGlow_ = true;
    }
    RWXMaterial& s = state_.material;
    std::string line;
    auto rgb = [&](std::string_view command, const RGB& c) {
        line = command;
        for (const double v : {c.r, c.g, c.b}) {
            line += ' ';
            Number(line, v);
        }
        Line(line);
    };
    if (m.geometrySampling != s.geometrySampling) {
        static constexpr std::string_view kNames[] = {"PointCloud", "WireFrame", "Solid"};
        Line("GeometrySampling " +
             std::string(kNames[std::min<std::size_t>(static_cast<std::size_t>(m.geometrySampling), 2)]));
    }
    if (m.axisAlignment != s.axisAlignment) {
        static constexpr std::string_view kNames[] = {"None", "ZOrientX", "ZOrientY", "XYZ"};
        Line("AxisAlignment " +
             std::string(kNames[std::min<std::size_t>(static_cast<std::size_t>(m.axisAlignment), 3)]));
    }
    if (m.lightSampling != s.lightSampling) Line(m.IsFacet() ? "LightSampling Facet" : "LightSampling Vertex");
    if (m.color != s.color) rgb("Color", m.color);
    if (Uniform(m.ambient) && Uniform(m.diffuse) && Uniform(m.specular)) {
        if (m.ambient != s.ambient || m.diffuse != s.diffuse || m.specular != s.specular) {
            line = "Surface";
            for (const double v : {m.ambient.r, m.diffuse.r, m.specular.r}) {
                line += ' ';
                Number(line, v);
            }
            Line(line);
        }
    } else {
        if (m.ambient != s.ambient) rgb("Ambient", m.ambient);
        if (m.diffuse != s.diffuse) rgb("Diffuse", m.diffuse);
        if (m.specular != s.specular) rgb("Specular", m.specular);
    }
    if (m.opacity != s.opacity) {
        line = "Opacity ";
        Number(line, m.opacity);
        Line(line);
    }
    if (m.textureModes != s.textureModes) {
        line = "TextureModes";
        if (m.textureModes & kTextureLit) line += " Lit";
        if (m.textureModes & kTextureForeshorten) line += " Foreshorten";
        if (m.textureModes & kTextureFilter) line += " Filter";
        if (m.textureModes == 0) line += " NULL";
        Line(line);
    }
    if (m.materialModes != s.materialModes) Line(m.IsDoubleSided() ? "MaterialMode Double" : "MaterialMode NULL");
    const std::string texture = m.HasTexture() ? TextureCommand(model, m.TextureIndex()) : std::string();
    const std::string words = texture.empty() ? "null" : texture;
    if (!texture.empty()) {
        // How a texture is loaded is the reader's state when it is first named.
        if (m.addressMode != state_.addressMode) {
            static constexpr std::string_view kNames[] = {"Wrap", "Mirror", "Clamp"};
            Line("TextureAddressMode " +
                 std::string(kNames[std::min<std::size_t>(static_cast<std::size_t>(m.addressMode), 2)]));
            state_.addressMode = m.addressMode;
        }
        if ((m.mipmapping != 0) != state_.mipmapping) {
            Line(m.mipmapping ? "TextureMipmapState On" : "TextureMipmapState Off");
            state_.mipmapping = m.mipmapping != 0;
        }
    }
    if (words != state_.texture) {
        Line("Texture " + words);
        state_.texture = words;
    }
    s = m;
}

void ScriptBuilder::Faces(const TClump& clump, const std::vector<const MatTris*>& batches) {
    // Each face with the tag of its batch: a tagged face says so after its vertex numbers.
    std::vector<std::pair<TTriangle, int32_t>> tris;
    for (const MatTris* b : batches)
        for (const TTriangle& t : b->Triangles())
            if (clump.HasCorners(t)) tris.push_back({t, b->Tag()});
    std::string line;
    auto number = [&](int32_t v) {
        char text[16];
        const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
        line += ' ';
        line.append(text, end);
    };
    auto tag = [&](int32_t t) {
        if (t == 0) return;
        line += " Tag";
        number(t);
    };
    for (std::size_t i = 0; i < tris.size();) {
        if (i + 1 < tris.size() && tris[i].second == tris[i + 1].second)
            if (const std::optional<std::array<int32_t, 4>> quad =
                    QuadOfTriangles(clump, tris[i].first, tris[i + 1].first)) {
                line = "Quad";
                for (const int32_t v : *quad) number(v + 1);
                tag(tris[i].second);
                Line(line);
                out_.counts.triangles += 2;
                ++out_.counts.quads;
                i += 2;
                continue;
            }
        line = "Triangle";
        for (const int32_t v : tris[i].first.v) number(v + 1);
        tag(tris[i].second);
        Line(line);
        ++out_.counts.triangles;
        ++i;
    }
}

void ScriptBuilder::Clump(const RWXObject& model, const TClump& root, const Placement& placement) {
    // Placed as the scene places the entry, less where a model file is shown on its own: a move
    // alone for a plain placement, the whole placement matrix for a turned or scaled one.
    const std::array<double, 3> shift{placement.position[0] - kModelOffset[0], placement.position[1] - kModelOffset[1],
                                      placement.position[2] - kModelOffset[2]};
    const bool plain = placement.IsPlain();
    const Mat4 matrix =
        Multiply(TranslationMatrix(-kModelOffset[0], -kModelOffset[1], -kModelOffset[2]), PlacementMatrix(placement));
    struct Frame {
        const TClump* clump;
        std::size_t next;  // the next child to write
    };
    std::vector<Frame> stack;
    auto open = [&](const TClump& c) {
        Line("ClumpBegin");
        ++indent_;
        saved_.push_back(state_);
        ++out_.counts.clumps;
        std::string line;
        for (const TVertex& v : c.Vertices()) {
            line = "Vertex";
            const Vec4 p =
                plain ? Vec4{v.x + shift[0], v.y + shift[1], v.z + shift[2], 1} : Transform(matrix, {v.x, v.y, v.z, 1});
            for (const double x : {p.x, p.y, p.z}) {
                line += ' ';
                Number(line, x);
            }
            if (v.u != 0 || v.v != 0) {
                line += " UV ";
                Number(line, v.u);
                line += ' ';
                Number(line, v.v);
            }
            const RGB prelight{v.r, v.g, v.b};
            if (prelight != state_.prelight) {
                line += " Prelight";
                for (const double x : {v.r, v.g, v.b}) {
                    line += ' ';
                    Number(line, x);
                }
                state_.prelight = prelight;
            }
            Line(line);
            ++out_.counts.vertices;
        }
        // Batches that would be written alike are written as one.
        std::vector<std::pair<const RWXMaterial*, std::vector<const MatTris*>>> groups;
        for (const auto& batch : c.Batches()) {
            const RWXMaterial& m = batch->Material();
            auto same =
                std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return WrittenAlike(*g.first, m); });
            if (same == groups.end())
                groups.push_back({&m, {batch.get()}});
            else
                same->second.push_back(batch.get());
        }
        for (const auto& [m, batches] : groups) {
            SetMaterial(model, *m);
            Faces(c, batches);
        }
        stack.push_back({&c, 0});
    };
    open(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.clump->Children().size()) {
            const TClump& child = *top.clump->Children()[top.next++];
            open(child);
            continue;
        }
        stack.pop_back();
        state_ = saved_.back();
        saved_.pop_back();
        --indent_;
        Line("ClumpEnd");
    }
}

void ScriptBuilder::AddEntry(const ExportEntry& entry) {
    for (const auto& clump : entry.model->Clumps()) Clump(*entry.model, *clump, entry.placement);
    ++out_.counts.entries;
}

}  // namespace

std::string ScriptName(std::string_view name, std::size_t limit) {
    std::string out;
    for (const char ch : name) {
        if (out.size() >= limit) break;
        const char c = ToLowerAscii(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    return out.empty() ? std::string("model").substr(0, limit) : out;
}

std::string ScriptNumber(double v) {
    std::string out;
    Number(out, v);
    return out;
}

ScriptExport BuildScript(std::span<const ExportEntry> entries, const TextureNameCheck& nameFree, bool zipMasks) {
    ScriptExport out;
    ScriptBuilder builder(out, nameFree, zipMasks);
    out.script = "ModelBegin\n";
    for (const ExportEntry& entry : entries)
        if (entry.model) builder.AddEntry(entry);
    out.script += "ModelEnd\n";
    return out;
}

}  // namespace pelorus
