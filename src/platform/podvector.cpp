#include "platform/podvector.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/hugepages.h"

namespace pelorus::podvector_detail {
namespace {

constexpr std::size_t kMapFrom = std::size_t{4} << 20;  // blocks from 4 MiB are mappings
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

void* Map(std::size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: without huge pages it works the same
    return p;
}

}  // namespace

void* Allocate(std::size_t& bytes, bool& mapped) {
    if (bytes >= kMapFrom) {
        bytes = RoundUp(bytes);
        mapped = true;
        return Map(bytes);
    }
    mapped = false;
    void* p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return p;
}

void* Reallocate(void* block, std::size_t oldBytes, std::size_t& bytes, bool& mapped, std::size_t keep) {
    if (!mapped && bytes < kMapFrom) {
        void* p = std::realloc(block, bytes);
        if (!p) throw std::bad_alloc();
        return p;
    }
    if (!mapped) {
        bool newMapped = false;
        void* p = Allocate(bytes, newMapped);
        std::memcpy(p, block, keep);
        std::free(block);
        mapped = newMapped;
        return p;
    }
    // Already a mapping: the kernel extends or moves it without copying the pages.
    bytes = RoundUp(bytes);
    void* p = ::mremap(block, oldBytes, bytes, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) throw std::bad_alloc();
    ::madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

void Release(void* block, std::size_t bytes, bool mapped) {
    if (mapped)
        ::munmap(block, bytes);
    else
        std::free(block);
}

}  // namespace pelorus::podvector_detail

namespace pelorus {

void AdviseHugePages(void* p, std::size_t bytes) {
    constexpr std::uintptr_t kPage = std::uintptr_t{2} << 20;
    const auto from = reinterpret_cast<std::uintptr_t>(p);
    if (!p || bytes < kPage || from > UINTPTR_MAX - bytes) return;
    const std::uintptr_t begin = (from + kPage - 1) / kPage * kPage;
    const std::uintptr_t end = (from + bytes) / kPage * kPage;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace pelorus
