// Wavefront OBJ models and their .mtl materials, read through tinyobjloader and converted into
// clumps (see modelimport.h).

#include <tiny_obj_loader.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <unordered_map>

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "reader/importshared.h"
#include "reader/modelimport.h"
#include "reader/rwxobject.h"

namespace pelorus {
namespace {

constexpr std::string_view kPrefix = "OBJ";
constexpr uint64_t kMaxMaterialLibraryBytes = uint64_t{64} << 20;

// A file an OBJ or its material library names, by a name as written there: from the OBJ's
// folder, with either separator, in any letter case, and when nothing is found so, by its file
// name alone in the OBJ's folder (exports often keep the modeller's own absolute paths).
ReadStatus ReadNamedFile(const RWXObject& model, std::string_view name, std::string& out, uint64_t limit) {
    const std::string folder(ParentPart(model.File()));
    const std::string slashed = ToSlashes(name);
    ReadStatus status = ReadFileStatus(InFolder(folder, slashed), out, limit, model.Options().folders);
    if (status == ReadStatus::kMissing && FileNamePart(slashed) != slashed)
        status = ReadFileStatus(InFolder(folder, FileNamePart(slashed)), out, limit, model.Options().folders);
    return status;
}

// Material libraries read bounded and found as ReadNamedFile finds them; one missing costs one
// line.
class Libraries : public tinyobj::MaterialReader {
public:
    explicit Libraries(RWXObject& model) : model_(model) {}
    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* byName, std::string* warn, std::string* err) override {
        std::string text;
        const ReadStatus status = ReadNamedFile(model_, name, text, kMaxMaterialLibraryBytes);
        if (status != ReadStatus::kOk) {
            model_.Log("OBJ:Couldn't open material library \"" + BoundedQuote(name) + "\" (" +
                       std::string(ReadStatusText(status)) + ").");
            return false;
        }
        std::istringstream stream(std::move(text));
        std::string libraryWarnings;
        tinyobj::LoadMtl(byName, materials, &stream, &libraryWarnings, err);
        (void)warn;
        return true;
    }

private:
    RWXObject& model_;
};

class Converter {
public:
    Converter(RWXObject& model, const tinyobj::attrib_t& attrib, const std::vector<tinyobj::material_t>& materials)
        : model_(model), attrib_(attrib), materials_(materials), notCarried_(model, kPrefix) {}
    void Run(const std::vector<tinyobj::shape_t>& shapes);

private:
    ImportLook LookOf(int material, bool smooth);
    // The batch of `clump` for faces of `material`, lit smoothly or not.
    MatTris& BatchOf(TClump& clump, int material, bool smooth);
    int32_t TextureOf(const tinyobj::material_t& m);
    void AddShape(const tinyobj::shape_t& shape, std::size_t number);

    RWXObject& model_;
    const tinyobj::attrib_t& attrib_;
    const std::vector<tinyobj::material_t>& materials_;
    NotCarried notCarried_;
    std::map<std::pair<int, bool>, ImportLook> looks_;
    std::map<int, int32_t> textures_;  // by material
    // Each look's material, and the number that names it to the clumps' batch lookup (from 1).
    std::map<std::pair<int, bool>, std::pair<RWXMaterial, uint64_t>> made_;
};

int32_t Converter::TextureOf(const tinyobj::material_t& m) {
    const auto index = static_cast<int>(&m - materials_.data());
    if (const auto found = textures_.find(index); found != textures_.end()) return found->second;
    int32_t record = -1;
    std::string bytes;
    const ReadStatus status = ReadNamedFile(model_, m.diffuse_texname, bytes, kImageFileLimit);
    const std::string name(FileNamePart(ToSlashes(m.diffuse_texname)));
    if (status != ReadStatus::kOk) {
        model_.Log("Couldn't open texture \"" + BoundedQuote(name) + "\".");
    } else if (std::optional<ImportImage> image = DecodeImportImage(
                   model_, name,
                   std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))) {
        RgbaImage rgba = std::move(image->image);
        if (!m.alpha_texname.empty()) {
            // map_d: the grey of its pixels is the alpha, stretched over the colour image.
            std::string alphaBytes;
            const std::string alphaName(FileNamePart(ToSlashes(m.alpha_texname)));
            std::optional<ImportImage> alpha;
            if (ReadNamedFile(model_, m.alpha_texname, alphaBytes, kImageFileLimit) == ReadStatus::kOk)
                alpha = DecodeImportImage(
                    model_, alphaName,
                    std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(alphaBytes.data()), alphaBytes.size()));
            else
                model_.Log("Couldn't open texture mask \"" + BoundedQuote(alphaName) + "\".");
            if (alpha) {
                const RgbaImage& a = alpha->image;
                for (int32_t y = 0; y < rgba.height; ++y)
                    for (int32_t x = 0; x < rgba.width; ++x) {
                        const auto ax = static_cast<std::size_t>(static_cast<int64_t>(x) * a.width / rgba.width);
                        const auto ay = static_cast<std::size_t>(static_cast<int64_t>(y) * a.height / rgba.height);
                        const uint8_t* p = a.pixels.data() + (ay * static_cast<std::size_t>(a.width) + ax) * 4;
                        const auto grey = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
                        uint8_t& out = rgba.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(rgba.width) +
                                                    static_cast<std::size_t>(x)) *
                                                       4 +
                                                   3];
                        out = static_cast<uint8_t>((out * grey + 127) / 255);
                    }
            }
        }
        record = AddImportTexture(model_, name, JoinPath(ParentPart(model_.File()), ToSlashes(m.diffuse_texname)),
                                  std::move(rgba), std::move(image->jpeg), AddressMode::Wrap);
    }
    textures_.emplace(index, record);
    return record;
}

ImportLook Converter::LookOf(int material, bool smooth) {
    const auto key = std::make_pair(material, smooth);
    if (const auto found = looks_.find(key); found != looks_.end()) return found->second;
    ImportLook look;
    look.smooth = smooth;
    if (material >= 0 && static_cast<std::size_t>(material) < materials_.size()) {
        const tinyobj::material_t& m = materials_[static_cast<std::size_t>(material)];
        look.color = {std::clamp<double>(m.diffuse[0], 0, 1), std::clamp<double>(m.diffuse[1], 0, 1),
                      std::clamp<double>(m.diffuse[2], 0, 1)};
        look.opacity = std::clamp<double>(m.dissolve, 0, 1);
        if (!m.diffuse_texname.empty()) look.texture = TextureOf(m);
        if (!m.bump_texname.empty() || !m.normal_texname.empty()) notCarried_.Say("bump and normal maps");
        if (!m.specular_texname.empty()) notCarried_.Say("specular maps");
        if (m.emission[0] != 0 || m.emission[1] != 0 || m.emission[2] != 0 || !m.emissive_texname.empty())
            notCarried_.Say("emissive colour");
    }
    looks_.emplace(key, look);
    return look;
}

MatTris& Converter::BatchOf(TClump& clump, int material, bool smooth) {
    const auto key = std::make_pair(material, smooth);
    auto found = made_.find(key);
    if (found == made_.end()) {
        const auto number = static_cast<uint64_t>(made_.size() + 1);
        found = made_.emplace(key, std::make_pair(ImportMaterial(model_, LookOf(material, smooth)), number)).first;
    }
    return clump.BatchFor(found->second.first, found->second.second, model_.Materials());
}

void Converter::AddShape(const tinyobj::shape_t& shape, std::size_t number) {
    const tinyobj::mesh_t& mesh = shape.mesh;
    if (!shape.lines.indices.empty() || !shape.points.indices.empty()) notCarried_.Say("points and lines");
    if (mesh.num_face_vertices.empty()) return;
    const std::string where = "object " + std::to_string(number + 1);
    const std::size_t positions = attrib_.vertices.size() / 3;
    const std::size_t uvs = attrib_.texcoords.size() / 2;
    const std::size_t normals = attrib_.normals.size() / 3;

    // Corners of one position, coordinates and normal are one vertex (without normals, those of
    // one position and coordinates).
    struct Key {
        int v, t, n;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return (static_cast<std::size_t>(static_cast<uint32_t>(k.v)) * 73856093u) ^
                   (static_cast<std::size_t>(static_cast<uint32_t>(k.t)) * 19349663u) ^
                   (static_cast<std::size_t>(static_cast<uint32_t>(k.n)) * 83492791u);
        }
    };
    std::unordered_map<Key, int32_t, KeyHash> numbers;
    int64_t triangles = 0;
    std::size_t offset = 0;
    bool outside = false;
    for (const unsigned char corners : mesh.num_face_vertices) {
        for (std::size_t c = 0; c < corners && offset + c < mesh.indices.size(); ++c) {
            const tinyobj::index_t& i = mesh.indices[offset + c];
            outside = outside || i.vertex_index < 0 || static_cast<std::size_t>(i.vertex_index) >= positions ||
                      (i.texcoord_index >= 0 && static_cast<std::size_t>(i.texcoord_index) >= uvs) ||
                      (i.normal_index >= 0 && static_cast<std::size_t>(i.normal_index) >= normals);
        }
        if (corners >= 3) triangles += corners - 2;
        offset += corners;
    }
    if (outside || offset > mesh.indices.size()) {
        model_.Log("OBJ:Left out " + where + ": its faces name vertices the file does not have : \"" +
                   BoundedQuote(model_.Path()) + "\"");
        return;
    }
    // Room for the most vertices the faces can make: one a corner.
    if (!model_.RoomForGeometry(static_cast<int64_t>(mesh.indices.size()), triangles, RWXObject::Geometry::Written,
                                where))
        return;
    if (mesh.indices.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return;

    TClump& clump = *model_.AddClump();
    std::vector<int32_t> face;
    offset = 0;
    for (std::size_t f = 0; f < mesh.num_face_vertices.size(); ++f) {
        const std::size_t corners = mesh.num_face_vertices[f];
        face.clear();
        bool smooth = corners > 0;
        for (std::size_t c = 0; c < corners; ++c) {
            const tinyobj::index_t& i = mesh.indices[offset + c];
            smooth = smooth && i.normal_index >= 0;
            const Key key{i.vertex_index, i.texcoord_index, i.normal_index};
            auto [it, added] = numbers.try_emplace(key, clump.VertexCount());
            if (added) {
                const auto p = static_cast<std::size_t>(i.vertex_index) * 3;
                TVertex v;
                v.x = TenthOf(attrib_.vertices[p]);
                v.y = TenthOf(attrib_.vertices[p + 1]);
                v.z = TenthOf(attrib_.vertices[p + 2]);
                if (i.texcoord_index >= 0) {
                    const auto t = static_cast<std::size_t>(i.texcoord_index) * 2;
                    v.u = attrib_.texcoords[t];
                    v.v = 1 - attrib_.texcoords[t + 1];  // OBJ counts v from the image's bottom
                }
                clump.AddVertex(v);
            }
            face.push_back(it->second);
        }
        offset += corners;
        if (corners < 3) continue;
        const int material = f < mesh.material_ids.size() ? mesh.material_ids[f] : -1;
        MatTris& batch = BatchOf(clump, material, smooth);
        if (corners == 3)
            clump.AddTriangle(batch, TTriangle{{face[0], face[1], face[2]}});
        else if (corners == 4)
            clump.AddQuad(batch, face[0], face[1], face[2], face[3]);
        else
            clump.AddPolygon(batch, face, model_.TriangleScratch());
        model_.CountFaceRead();
    }
    model_.CountGeometry(clump.VertexCount(), clump.CountTriangles(), RWXObject::Geometry::Written);
}

void Converter::Run(const std::vector<tinyobj::shape_t>& shapes) {
    bool coloured = false;
    for (std::size_t i = 0; i < attrib_.colors.size() && !coloured; ++i) coloured = attrib_.colors[i] != 1;
    if (coloured) notCarried_.Say("vertex colours");
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (model_.GeometryStopped()) break;
        AddShape(shapes[i], i);
    }
}

}  // namespace

void ImportObj(RWXObject& model) {
    std::string text;
    const ReadStatus status = ReadFileStatus(model.File(), text, kMaxImportFileBytes, model.Options().folders);
    if (status != ReadStatus::kOk) {
        CannotRead(model, kPrefix,
                   status == ReadStatus::kTooLarge ? "larger than 2 GiB" : std::string(ReadStatusText(status)));
        return;
    }
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    Libraries libraries(model);
    bool ok = false;
    {
        std::istringstream stream(std::move(text));
        try {
            ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &stream, &libraries,
                                  /*triangulate=*/false, /*default_vcols_fallback=*/false);
        } catch (const std::exception& e) {
            err = e.what();
            ok = false;
        }
    }
    if (!ok) {
        std::string why = err.substr(0, err.find('\n'));
        while (!why.empty() && (why.back() == '\r' || why.back() == ' ' || why.back() == '.')) why.pop_back();
        CannotRead(model, kPrefix, why.empty() ? "not an OBJ model" : why);
        return;
    }
    Converter(model, attrib, materials).Run(shapes);
}

}  // namespace pelorus
