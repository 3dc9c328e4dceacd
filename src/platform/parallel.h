#pragma once
// Work over a long range of independent items split among the machine's cores.

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace pelorus {

// Calls work(part, from, to) for `parts` consecutive stretches [from, to) that together cover
// [0, count) once, each on a thread of its own (the calling thread takes part 0), and returns when
// all are done. There are as many parts as the machine has cores (at most kMaxParallelParts), but
// no more than one for each `perPart` items, and at least one (which may be empty). `work` must not
// throw.
inline constexpr std::size_t kMaxParallelParts = 8;

template <typename Work>
void ForEachPart(std::size_t count, std::size_t perPart, Work work) {
    const std::size_t cores = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMaxParallelParts);
    const std::size_t parts = std::clamp<std::size_t>(count / std::max<std::size_t>(perPart, 1), 1, cores);
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < parts; ++k)
        helpers.emplace_back([&work, k, count, parts] { work(k, count * k / parts, count * (k + 1) / parts); });
    work(std::size_t{0}, std::size_t{0}, count / parts);
    for (std::thread& t : helpers) t.join();
}

}  // namespace pelorus
