#include "geometry/materialtable.h"

namespace pelorus {

const RWXMaterial& MaterialTable::Intern(const RWXMaterial& material) {
    if (byHash_.empty() && !materials_.empty())
        for (const RWXMaterial& m : materials_) byHash_.emplace(MaterialHash(m), &m);
    const std::size_t hash = MaterialHash(material);
    const auto [first, last] = byHash_.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (*it->second == material) return *it->second;
    const RWXMaterial& kept = materials_.emplace_back(material);
    byHash_.emplace(hash, &kept);
    return kept;
}

void MaterialTable::FinishReading() {
    byHash_ = {};
}

}  // namespace pelorus
