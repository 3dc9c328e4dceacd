#include "geometry/mattris.h"

#include <algorithm>
#include <iterator>

namespace pelorus {

void MatTris::AddTriangle(const TTriangle& t, std::span<const TVertex> vertices, uint32_t line) {
    triangles_.push_back(t);
    lines_.push_back(line);
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

void MatTris::MarkInstance(int32_t first, uint32_t line, std::string_view proto) {
    const int32_t end = TriangleCount();
    if (first < 0 || first >= end) return;
    if (!instances_.empty()) {
        InstanceRun& last = instances_.back();
        if (last.first + last.count == first && last.line == line && last.proto == proto) {
            last.count = end - last.first;
            return;
        }
    }
    instances_.push_back(InstanceRun{first, end - first, line, std::string(proto)});
}

const MatTris::InstanceRun* MatTris::InstanceOf(int32_t index) const {
    // The runs are in the order of their triangles and do not overlap.
    const auto it = std::upper_bound(instances_.begin(), instances_.end(), index,
                                     [](int32_t i, const InstanceRun& run) { return i < run.first; });
    if (it == instances_.begin()) return nullptr;
    const InstanceRun& run = *std::prev(it);
    return index < run.first + run.count ? &run : nullptr;
}

}  // namespace pelorus
