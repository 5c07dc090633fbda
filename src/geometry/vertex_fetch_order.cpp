// Numbering by first use: one pass over the corners.
#include "geometry/vertex_fetch_order.h"

namespace facet {

std::uint32_t NumberVerticesByFirstUse(const std::uint32_t* corners, std::size_t cornerCount,
                                       std::size_t vertexCount, std::vector<std::uint32_t>* newIndexOf) {
    newIndexOf->assign(vertexCount, kUnusedVertex);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < cornerCount; ++i) {
        std::uint32_t& number = (*newIndexOf)[corners[i]];
        if (number == kUnusedVertex) number = next++;
    }
    return next;
}

}  // namespace facet
