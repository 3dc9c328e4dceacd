#pragma once
// The distinct materials of one model, each kept once: batches refer to them instead of holding
// copies, so that a model of a million small clumps does not hold a million copies of its few
// materials.

#include <cstddef>
#include <deque>
#include <unordered_map>

#include "geometry/rwmaterial.h"

namespace pelorus {

class MaterialTable {
public:
    MaterialTable() = default;
    MaterialTable(const MaterialTable&) = delete;
    MaterialTable& operator=(const MaterialTable&) = delete;

    // The kept material equal to `material` (field by field), kept now when the table has none.
    // The reference stays valid, and keeps its address, for the life of the table; equal
    // materials always give the same reference.
    const RWXMaterial& Intern(const RWXMaterial& material);

    std::size_t Size() const { return materials_.size(); }

    // Frees what only interning needs; later Intern calls still work (more slowly at first).
    void FinishReading();

private:
    std::deque<RWXMaterial> materials_;
    std::unordered_multimap<std::size_t, const RWXMaterial*> byHash_;
};

}  // namespace pelorus
