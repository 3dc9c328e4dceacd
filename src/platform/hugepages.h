#pragma once
// A hint to the system for large arrays that are about to be written.

#include <cstddef>

namespace pelorus {

// Asks for huge pages for the whole 2 MiB pages within [p, p + bytes): a hint for a large array
// of a container that is about to be written (call it before its pages are first touched: fewer
// page faults). Spans too small to hold such a page, and null, are left as they are.
void AdviseHugePages(void* p, std::size_t bytes);

}  // namespace pelorus
