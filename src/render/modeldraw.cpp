#include "render/modeldraw.h"

#include <GL/gl.h>

#include <array>
#include <cassert>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

namespace pelorus {
namespace {

// A double as OpenGL's float; values beyond the float range become the largest float.
GLfloat ToFloat(double v) {
    constexpr double kMax = std::numeric_limits<GLfloat>::max();
    return static_cast<GLfloat>(v > kMax ? kMax : v < -kMax ? -kMax : v);
}

struct Corners {
    const TVertex* v[3] = {nullptr, nullptr, nullptr};
};

// The three vertices of triangle `index`, or false when one is missing (never for a script that
// was read: such faces are refused).
bool CornersOf(const TClump& clump, const MatTris& batch, std::size_t index, Corners& out) {
    const TTriangle& t = batch.Triangles()[index];
    for (std::size_t i = 0; i < 3; ++i) out.v[i] = clump.GetVertex(t[i]);
    const bool ok = out.v[0] && out.v[1] && out.v[2];
    assert(ok && "a triangle names a vertex its clump does not hold");
    return ok;
}

void SetEmission(const TVertex& v) {
    const GLfloat emission[4] = {ToFloat(v.r), ToFloat(v.g), ToFloat(v.b), 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
}

// How the transparent pass places vertices itself: moved by a shift, or taken through a whole
// placement (positions by its matrix, normals by its normal matrix).
struct VertexPlacement {
    std::array<double, 3> shift{0, 0, 0};
    const Mat4* matrix = nullptr;  // instead of the shift when set
    const Mat4* normals = nullptr;
};

void PlacedNormal(const VertexPlacement& place, double x, double y, double z) {
    if (!place.matrix) {
        glNormal3d(x, y, z);
        return;
    }
    const Mat4& n = *place.normals;
    glNormal3d(n[0] * x + n[4] * y + n[8] * z, n[1] * x + n[5] * y + n[9] * z, n[2] * x + n[6] * y + n[10] * z);
}

// The corners of one triangle inside glBegin(GL_TRIANGLES): emission (when asked), normal,
// texture coordinates and position of each, placed by `place`.
void EmitTriangle(const MatTris& batch, std::size_t index, const Corners& c, bool mirror, bool emission,
                  const VertexPlacement& place = {}) {
    const bool facet = batch.Material().IsFacet();
    if (facet) {
        const Vec3 n = index < batch.FaceNormals().size() ? batch.FaceNormals()[index] : Vec3{};
        PlacedNormal(place, n.x, n.y, n.z);
    }
    const double scale = mirror ? 0.5 : 1.0;
    for (const TVertex* v : c.v) {
        if (emission) SetEmission(*v);
        if (!facet) PlacedNormal(place, v->nx, v->ny, v->nz);
        glTexCoord2d(v->u * scale, v->v * scale);
        if (place.matrix) {
            const Mat4& m = *place.matrix;
            glVertex3d(m[0] * v->x + m[4] * v->y + m[8] * v->z + m[12], m[1] * v->x + m[5] * v->y + m[9] * v->z + m[13],
                       m[2] * v->x + m[6] * v->y + m[10] * v->z + m[14]);
        } else {
            glVertex3d(v->x + place.shift[0], v->y + place.shift[1], v->z + place.shift[2]);
        }
    }
}

// Multiplies the modelview matrix by what places `batch`'s material: the translation and, for
// axis-aligned batches, the turn towards the camera, as objects without turns were always placed;
// the whole PlacementMatrix or FacerMatrix otherwise.
void ApplyPlacement(const Placement& placement, bool axisAligned, double cameraYaw) {
    if (placement.IsPlain()) {
        const auto& p = placement.position;
        glTranslated(p[0], p[1], p[2]);
        if (axisAligned) glRotated(-cameraYaw, 0, 1, 0);
        return;
    }
    const Mat4 m = axisAligned ? FacerMatrix(placement, cameraYaw) : PlacementMatrix(placement);
    glMultMatrixd(m.data());
}

bool HasPrelight(const Corners& c) {
    for (const TVertex* v : c.v)
        if (v->r != 0 || v->g != 0 || v->b != 0) return true;
    return false;
}

void EmitFaces(const TClump& clump, const MatTris& batch, bool mirror) {
    glBegin(GL_TRIANGLES);
    Corners c;
    for (std::size_t i = 0; i < batch.Triangles().size(); ++i)
        if (CornersOf(clump, batch, i, c)) EmitTriangle(batch, i, c, mirror, true);
    glEnd();
}

Vec3 NormalAt(const MatTris& batch, std::size_t index, const TVertex& v) {
    if (batch.Material().IsFacet()) return index < batch.FaceNormals().size() ? batch.FaceNormals()[index] : Vec3{};
    return {v.nx, v.ny, v.nz};
}

void EmitNormalLines(const MatTris& batch, std::size_t index, const Corners& c) {
    glColor3d(1, 1, 0);
    for (const TVertex* v : c.v) {
        const Vec3 n = NormalAt(batch, index, *v);
        glVertex3d(v->x, v->y, v->z);
        glVertex3d(v->x + 0.1 * n.x, v->y + 0.1 * n.y, v->z + 0.1 * n.z);
    }
}

void EmitOutline(const Corners& c) {
    glColor3d(1, 0, 1);
    glBegin(GL_LINE_LOOP);
    for (const TVertex* v : c.v) glVertex3d(v->x, v->y, v->z);
    glEnd();
}

// Steps after the faces of a batch or a triangle: texturing and lighting off, normal lines,
// lighting on, outlines.
template <typename ForEach>
void DrawLines(const MatTris& batch, const DrawContext& context, ForEach forEachTriangle) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    if (context.flags.normals) {
        glBegin(GL_LINES);
        forEachTriangle([&](std::size_t i, const Corners& c) { EmitNormalLines(batch, i, c); });
        glEnd();
        glEnable(GL_LIGHTING);
    }
    glEnable(GL_LIGHTING);
    if (context.flags.geometry) {
        glDisable(GL_LIGHTING);
        forEachTriangle([&](std::size_t, const Corners& c) { EmitOutline(c); });
        glEnable(GL_LIGHTING);
    }
}

const TTexture* TextureOf(const std::vector<TTexture>& textures, uint32_t key) {
    if (key == 0) return nullptr;
    const int32_t index = TextureOfKey(key);
    if (index < 0 || static_cast<std::size_t>(index) >= textures.size()) return nullptr;
    return &textures[static_cast<std::size_t>(index)];
}

// The colour (used unlit) and the ambient and diffuse reflectances (used lit) of a material, each
// with the opacity as alpha.
struct MaterialTerms {
    std::array<GLfloat, 4> color;
    std::array<GLfloat, 4> ambient;
    std::array<GLfloat, 4> diffuse;
};

MaterialTerms MaterialTermsOf(const RWXMaterial& m, bool textured) {
    const auto f = ToFloat;
    const GLfloat alpha = f(m.opacity);
    // A texture that shows replaces the colour: it is modulated by a white base.
    const RGB base = textured ? RGB{1, 1, 1} : m.color;
    const bool fullAmbient = textured && (m.textureModes & kTextureLit) == 0;
    MaterialTerms out;
    out.color = {f(base.r), f(base.g), f(base.b), alpha};
    out.ambient = fullAmbient ? std::array<GLfloat, 4>{1.0f, 1.0f, 1.0f, alpha}
                              : std::array<GLfloat, 4>{f(base.r * m.ambient.r), f(base.g * m.ambient.g),
                                                       f(base.b * m.ambient.b), alpha};
    out.diffuse = {f(base.r * m.diffuse.r), f(base.g * m.diffuse.g), f(base.b * m.diffuse.b), alpha};
    return out;
}

}  // namespace

// ---- Compiled geometry --------------------------------------------------------------------

GeometryCache::~GeometryCache() {
    Release();
}

GeometryCache::GeometryCache(GeometryCache&& other) noexcept
    : groups_(std::exchange(other.groups_, {})),
      opaqueGroups_(std::exchange(other.opaqueGroups_, 0)),
      grouped_(std::exchange(other.grouped_, false)) {}

GeometryCache& GeometryCache::operator=(GeometryCache&& other) noexcept {
    if (this != &other) {
        Release();
        groups_ = std::exchange(other.groups_, {});
        opaqueGroups_ = std::exchange(other.opaqueGroups_, 0);
        grouped_ = std::exchange(other.grouped_, false);
    }
    return *this;
}

std::vector<GeometryCache::Group>& GeometryCache::GroupsOf(const RWXObject& object) {
    if (grouped_) return groups_;
    grouped_ = true;
    // Batches of one material share the model's kept material, so a pointer and a tag name the
    // group. Opaque groups first, then the others.
    struct KeyHash {
        std::size_t operator()(const std::pair<const RWXMaterial*, int32_t>& k) const {
            return std::hash<const void*>()(k.first) ^ (static_cast<std::size_t>(k.second) * 0x9e3779b97f4a7c15u);
        }
    };
    std::unordered_map<std::pair<const RWXMaterial*, int32_t>, std::size_t, KeyHash> byKind;
    for (const bool opaque : {true, false}) {
        for (const auto& top : object.Clumps())
            ForEachClump(*top, [&](const TClump& clump) {
                for (const auto& batch : clump.Batches()) {
                    if (batch->IsOpaque() != opaque || batch->TriangleCount() == 0) continue;
                    const RWXMaterial* material = &batch->Material();
                    auto [it, added] = byKind.emplace(std::pair{material, batch->Tag()}, groups_.size());
                    if (added) groups_.push_back(Group{material, {}, 0, false, batch->Tag(), opaque});
                    groups_[it->second].members.push_back({&clump, batch.get()});
                }
            });
        if (opaque) opaqueGroups_ = groups_.size();
    }
    return groups_;
}

uint32_t GeometryCache::FacesList(Group& group) {
    if (group.compiled) return group.list;
    group.compiled = true;
    const GLuint list = glGenLists(1);
    if (list == 0) return 0;
    const bool mirror = group.material->addressMode == AddressMode::Mirror;
    glNewList(list, GL_COMPILE);
    for (const Member& m : group.members) EmitFaces(*m.clump, *m.batch, mirror);
    glEndList();
    group.list = list;
    return list;
}

void GeometryCache::Release() {
    for (const Group& g : groups_)
        if (g.list != 0) glDeleteLists(g.list, 1);
    groups_.clear();
    opaqueGroups_ = 0;
    grouped_ = false;
}

// ---- Materials ----------------------------------------------------------------------------

namespace {

void DisableTexGen() {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

// The changed look of the batch's faces, if any.
const FaceLook* FaceLookOf(const MatTris& batch, const ObjectLook* look) {
    return look ? look->variant.LookOf(batch) : nullptr;
}

// The look's planes for the batch: its texture coordinates are made from positions.
const ImagePlanes* PlanesOf(const MatTris& batch, const ObjectLook* look) {
    const FaceLook* face = FaceLookOf(batch, look);
    return face ? look->PlanesOf(*face) : nullptr;
}

}  // namespace

MaterialState MaterialStateOf(const MatTris& batch, const RWXObject& object, TextureCache& textures,
                              const DrawContext& context, const ObjectLook* look) {
    const FaceLook* face = FaceLookOf(batch, look);
    const RWXMaterial& m = face ? face->material : batch.Material();
    // Images the look brings are its own; the rest are the model's.
    const std::vector<TTexture>& images = face && face->image != FaceImage::Model ? look->textures : object.Textures();
    MaterialState state;
    switch (m.geometrySampling) {
        case GeometrySampling::PointCloud:
            state.polygonMode = GL_POINT;
            break;
        case GeometrySampling::WireFrame:
            state.polygonMode = GL_LINE;
            break;
        case GeometrySampling::Solid:
            state.polygonMode = GL_FILL;
            break;
    }
    state.smooth = !m.IsFacet();
    state.cull = !m.IsDoubleSided();
    if (m.frameCount > 0) {
        const int32_t frames = m.frameCount < kMaxTextureFrames ? m.frameCount : kMaxTextureFrames;
        const int32_t frame = AnimationFrame(context.timeMs, frames);
        const uint32_t key = m.textureFrames[static_cast<std::size_t>(frame)];
        const TTexture* record = TextureOf(images, key);
        state.texture = record ? textures.FrameTexture(*record, FrameOfKey(key)) : 0;
    }
    if (state.texture != 0) {
        state.wrap = m.addressMode == AddressMode::Clamp ? GL_CLAMP : GL_REPEAT;
        state.minFilter = m.mipmapping ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST;
    } else if (m.textureMissing && context.flags.missingTextures) {
        state.texture = textures.MissingTexturePattern();
        state.wrap = GL_REPEAT;
        state.minFilter = GL_NEAREST;
    }
    const MaterialTerms terms = MaterialTermsOf(m, state.texture != 0);
    state.color = terms.color;
    state.ambient = terms.ambient;
    state.diffuse = terms.diffuse;
    state.lit = context.flags.lighting;
    state.mirror = m.addressMode == AddressMode::Mirror;
    if (const ImagePlanes* planes = face ? look->PlanesOf(*face) : nullptr; planes && state.texture != 0) {
        state.texGen = true;
        state.planeS = planes->s;
        state.planeT = planes->t;
    }
    return state;
}

void SetMaterialState(const MaterialState& state) {
    glPolygonMode(GL_FRONT_AND_BACK, state.polygonMode);
    glShadeModel(state.smooth ? GL_SMOOTH : GL_FLAT);
    if (state.cull)
        glEnable(GL_CULL_FACE);
    else
        glDisable(GL_CULL_FACE);
    if (state.texture != 0) {
        glEnable(GL_TEXTURE_2D);
        // Parameters belong to the texture object: bind first, then set them.
        glBindTexture(GL_TEXTURE_2D, state.texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, state.wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, state.wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, state.minFilter);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    if (state.texGen) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGendv(GL_S, GL_OBJECT_PLANE, state.planeS.data());
        glTexGendv(GL_T, GL_OBJECT_PLANE, state.planeT.data());
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    } else {
        DisableTexGen();
    }
    glColor4fv(state.color.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, state.ambient.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, state.diffuse.data());
    if (state.lit)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

bool ApplyMaterial(const MatTris& batch, const RWXObject& object, TextureCache& textures, const DrawContext& context,
                   const ObjectLook* look) {
    const MaterialState state = MaterialStateOf(batch, object, textures, context, look);
    SetMaterialState(state);
    return state.mirror;
}

// ---- Opaque batches -----------------------------------------------------------------------

void DrawOpaque(const RWXObject& object, const Placement& placement, ObjectResources& resources, TextureCache& textures,
                const DrawContext& context, bool compiled, const ObjectLook* look) {
    const bool plain = placement.IsPlain();
    glPushMatrix();
    if (plain) {
        const auto& p = placement.position;
        glTranslated(p[0], p[1], p[2]);
    }
    const bool lines = context.flags.normals || context.flags.geometry;
    std::vector<GeometryCache::Group>& groups = resources.geometry.GroupsOf(object);
    // Without a look only the groups the model draws opaque; with one, those the look does.
    const std::size_t count = look ? groups.size() : resources.geometry.OpaqueGroups();
    bool generated = false;
    for (std::size_t g = 0; g < count; ++g) {
        GeometryCache::Group& group = groups[g];
        const MatTris& first = *group.members.front().batch;
        if (look) {
            const FaceLook* face = FaceLookOf(first, look);
            if (!(face ? face->material.IsOpaque() : group.opaque)) continue;
            generated = generated || (face && look->PlanesOf(*face));
        }
        glPushMatrix();
        if (plain) {
            if (group.material->IsAxisAligned()) glRotated(-context.camera.yaw, 0, 1, 0);
        } else {
            ApplyPlacement(placement, group.material->IsAxisAligned(), context.camera.yaw);
        }
        if (context.flags.object) {
            const bool mirror = ApplyMaterial(first, object, textures, context, look);
            const GLuint list = compiled ? resources.geometry.FacesList(group) : 0;
            if (list != 0) {
                glCallList(list);
            } else {
                for (const GeometryCache::Member& m : group.members) EmitFaces(*m.clump, *m.batch, mirror);
            }
        }
        if (lines) {
            for (const GeometryCache::Member& m : group.members)
                DrawLines(*m.batch, context, [&](auto&& visit) {
                    Corners c;
                    for (std::size_t i = 0; i < m.batch->Triangles().size(); ++i)
                        if (CornersOf(*m.clump, *m.batch, i, c)) visit(i, c);
                });
        } else {
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_LIGHTING);
        }
        glPopMatrix();
    }
    if (generated) DisableTexGen();
    glPopMatrix();
}

// ---- The transparent pass -----------------------------------------------------------------

void TranslucentPass::End() {
    if (material && material->texGen) DisableTexGen();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    Forget();
}

void DrawTriangles(const TClump& clump, const MatTris& batch, std::span<const int32_t> triangles,
                   const RWXObject& object, const Placement& placement, TextureCache& textures,
                   const DrawContext& context, TranslucentPass& pass, const ObjectLook* look) {
    const std::size_t count = batch.Triangles().size();
    auto forEachOf = [&](std::span<const int32_t> part, auto&& visit) {
        Corners c;
        for (const int32_t t : part)
            if (t >= 0 && static_cast<std::size_t>(t) < count &&
                CornersOf(clump, batch, static_cast<std::size_t>(t), c))
                visit(static_cast<std::size_t>(t), c);
    };
    const bool lines = context.flags.normals || context.flags.geometry;
    // Texture coordinates made from positions need the model's own positions: such faces are
    // placed by the modelview matrix.
    const bool generated = PlanesOf(batch, look) != nullptr;
    if (!lines && !batch.Material().IsAxisAligned() && !generated) {
        // Placed by moving the vertices rather than the modelview matrix, and the material set
        // only when it differs from the last: neighbours alike then share OpenGL's batch.
        if (!context.flags.object) return;
        const MaterialState state = MaterialStateOf(batch, object, textures, context, look);
        if (pass.material != state) {
            SetMaterialState(state);
            pass.material = state;
        }
        bool prelit = false;
        forEachOf(triangles, [&](std::size_t, const Corners& c) { prelit = prelit || HasPrelight(c); });
        if (!prelit && !pass.emissionBlack) {
            const GLfloat black[4] = {0, 0, 0, 1};
            glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
            pass.emissionBlack = true;
        }
        VertexPlacement place;
        Mat4 matrix, normals;
        if (placement.IsPlain()) {
            place.shift = placement.position;
        } else {
            matrix = PlacementMatrix(placement);
            normals = NormalMatrix(placement);
            place.matrix = &matrix;
            place.normals = &normals;
        }
        glBegin(GL_TRIANGLES);
        forEachOf(triangles,
                  [&](std::size_t i, const Corners& c) { EmitTriangle(batch, i, c, state.mirror, prelit, place); });
        glEnd();
        if (prelit) pass.emissionBlack = false;
        return;
    }

    if (pass.material && pass.material->texGen) DisableTexGen();
    pass.Forget();
    glPushMatrix();
    ApplyPlacement(placement, batch.Material().IsAxisAligned(), context.camera.yaw);
    // Without lines the faces of a run share one material set-up and one glBegin; with lines each
    // triangle's faces are followed by its own lines, as when drawn one by one.
    const std::size_t step = lines ? 1 : triangles.size();
    for (std::size_t first = 0; first < triangles.size(); first += step) {
        const std::span<const int32_t> part = triangles.subspan(first, std::min(step, triangles.size() - first));
        auto forEach = [&](auto&& visit) { forEachOf(part, visit); };
        if (context.flags.object) {
            const bool mirror = ApplyMaterial(batch, object, textures, context, look);
            glBegin(GL_TRIANGLES);
            forEach([&](std::size_t i, const Corners& c) { EmitTriangle(batch, i, c, mirror, true); });
            glEnd();
        }
        DrawLines(batch, context, forEach);
    }
    if (generated) DisableTexGen();
    glPopMatrix();
}

}  // namespace pelorus
