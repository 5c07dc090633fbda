// Consistent winding: faces joined by an edge that exactly two faces share are put in one
// component; within it, a face whose shared edge runs the same way as its neighbour's is
// reversed, choosing the half of each component's faces that needs fewer reversals. A
// component with every edge on exactly two faces is closed, and is turned inside out when
// its signed volume is negative.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace facet {

struct WindingRepairCounts {
    std::uint32_t flippedFaces = 0;
    std::uint32_t invertedComponents = 0;
    std::uint32_t components = 0;
    std::uint32_t closedComponents = 0;
};

// Repairs the winding of the faces of `corners` (three per face; faces whose first corner
// is `skipCorner` take no part) by swapping the second and third corners of the faces to
// reverse. `positions` holds three floats per vertex. Throws std::bad_alloc.
WindingRepairCounts RepairWinding(std::vector<std::uint32_t>& corners, const std::vector<float>& positions,
                                  std::uint32_t skipCorner);

}  // namespace facet
