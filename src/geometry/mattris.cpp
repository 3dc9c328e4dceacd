#include "geometry/mattris.h"

#include <cassert>

#include "geometry/tclump.h"

namespace pelorus {

void MatTris::AddTriangle(const TTriangle& t) {
    triangles_.push_back(t);
    if (material_.IsFacet()) {
        const TVertex* a = owner_->GetVertex(t[0]);
        const TVertex* b = owner_->GetVertex(t[1]);
        const TVertex* c = owner_->GetVertex(t[2]);
        assert(a && b && c);
        faceNormals_.push_back(a && b && c ? UnitFaceNormal(*a, *b, *c) : Vec3{});
    }
}

std::vector<TTriangle> MatTris::TrianglesUsingVertex(int32_t vertex) const {
    std::vector<TTriangle> out;
    for (const TTriangle& t : triangles_)
        if (t[0] == vertex || t[1] == vertex || t[2] == vertex) out.push_back(t);
    return out;
}

}  // namespace pelorus
