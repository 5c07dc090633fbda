// The order in which the adjacency operations visit a mesh's faces: group by group in the
// group table's order, or all faces as one group when the table is empty.
#pragma once

#include "facet/mesh.h"

#include <cstdint>
#include <vector>

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

// A copy of `mesh`'s group table, for a routine that works on the mesh through its public
// interface (on a thread pool) and so visits its faces by a FaceOrder over the copy. The
// mesh's code when the table cannot be read.
inline HRESULT CopyGroups(Mesh* mesh, std::vector<GroupEntry>* groups) {
    DWORD groupCount = 0;
    HRESULT result = mesh->CopyGroupTable(nullptr, &groupCount);
    if (FAILED(result)) return result;
    groups->resize(groupCount);
    if (groupCount != 0) result = mesh->CopyGroupTable(groups->data(), &groupCount);
    return result;
}

}  // namespace facet
