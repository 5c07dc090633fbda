// The order in which the adjacency operations visit a mesh's faces: group by group in the
// group table's order, or all faces as one group when the table is empty.
#pragma once

#include "facet/mesh.h"

#include <cstdint>

namespace facet {

struct FaceOrder {
    const GroupEntry* groups;
    DWORD groupCount;
    DWORD faceCount;

    // True when every group lies within the faces, so that a visit never leaves them.
    bool IsWithinFaces() const {
        for (DWORD i = 0; i < groupCount; ++i)
            if (std::uint64_t{groups[i].firstFace} + groups[i].faceCount > faceCount) return false;
        return true;
    }

    // Calls visit(face) for every face in visiting order; a face listed by two groups is
    // visited twice. Stops early, returning false, when visit returns false.
    template <typename Visit>
    bool ForEach(Visit&& visit) const {
        if (groupCount == 0) {
            for (DWORD face = 0; face < faceCount; ++face)
                if (!visit(face)) return false;
            return true;
        }
        for (DWORD i = 0; i < groupCount; ++i)
            for (DWORD face = groups[i].firstFace; face < groups[i].firstFace + groups[i].faceCount; ++face)
                if (!visit(face)) return false;
        return true;
    }
};

}  // namespace facet
