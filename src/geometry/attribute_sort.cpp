// Attribute sorting by a stable sort of the face numbers (skipped when already in order),
// and the group table in one pass over the sorted faces.
#include "geometry/attribute_sort.h"

#include <algorithm>

namespace facet {

void SortFacesByAttribute(const DWORD* attributeIds, std::vector<std::uint32_t>* faces) {
    const auto byId = [attributeIds](std::uint32_t a, std::uint32_t b) { return attributeIds[a] < attributeIds[b]; };
    if (!std::is_sorted(faces->begin(), faces->end(), byId)) std::stable_sort(faces->begin(), faces->end(), byId);
}

std::vector<GroupEntry> GroupTableOfRuns(const DWORD* attributeIds, const std::uint32_t* corners, DWORD faceCount,
                                         std::uint32_t skipCorner) {
    std::vector<GroupEntry> groups;
    DWORD first = 0;
    while (first < faceCount) {
        DWORD end = first;
        std::uint32_t low = UINT32_MAX, high = 0;
        while (end < faceCount && attributeIds[end] == attributeIds[first]) {
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t v = corners[3 * std::size_t{end} + k];
                if (v == skipCorner) continue;
                low = std::min(low, v);
                high = std::max(high, v);
            }
            ++end;
        }
        const bool usesVertices = low <= high;
        groups.push_back({attributeIds[first], first, end - first, usesVertices ? low : 0,
                          usesVertices ? high - low + 1 : 0});
        first = end;
    }
    return groups;
}

}  // namespace facet
