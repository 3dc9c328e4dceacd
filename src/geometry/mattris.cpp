#include "geometry/mattris.h"

namespace pelorus {

void MatTris::AddTriangle(const TTriangle& t, std::span<const TVertex> vertices) {
    triangles_.push_back(t);
    if (!material_->IsFacet()) return;
    const auto inside = [&](int32_t i) { return i >= 0 && static_cast<std::size_t>(i) < vertices.size(); };
    if (!inside(t[0]) || !inside(t[1]) || !inside(t[2])) {
        faceNormals_.push_back(Vec3{});
        return;
    }
    faceNormals_.push_back(UnitFaceNormal(vertices[static_cast<std::size_t>(t[0])],
                                          vertices[static_cast<std::size_t>(t[1])],
                                          vertices[static_cast<std::size_t>(t[2])]));
}

}  // namespace pelorus
