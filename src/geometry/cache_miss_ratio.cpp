// The FIFO simulation: each vertex remembers the miss count at which it entered the cache;
// it is still there while at most cacheSize - 1 other misses have happened since.
#include "geometry/cache_miss_ratio.h"

#include "geometry/work_array.h"

#include <algorithm>

namespace facet {

VertexCacheStatistics SimulateVertexCache(const std::uint32_t* corners, std::size_t faceCount,
                                          std::size_t vertexCount, std::uint32_t cacheSize) {
    VertexCacheStatistics statistics;
    WorkArray<std::uint64_t> entered;
    if (faceCount == 0 || !entered.Allocate(vertexCount)) return statistics;
    constexpr std::uint64_t kNever = ~std::uint64_t{0};
    std::fill_n(entered.get(), vertexCount, kNever);
    std::uint64_t misses = 0;
    std::size_t used = 0;
    for (std::size_t i = 0; i < 3 * faceCount; ++i) {
        const std::uint32_t v = corners[i];
        if (entered[v] == kNever) ++used;
        if (entered[v] == kNever || misses - entered[v] > cacheSize) entered[v] = misses++;
    }
    statistics.transforms = misses;
    statistics.missesPerFace = static_cast<double>(misses) / static_cast<double>(faceCount);
    statistics.missesPerVertex = static_cast<double>(misses) / static_cast<double>(used);
    return statistics;
}

}  // namespace facet
