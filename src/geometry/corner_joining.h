// CornerJoiner: turns the separate triangle corners of a format that lists each
// triangle's positions (STL) into shared vertices. Corners whose three coordinates are
// equal become one vertex (-0 and +0 are equal; the vertex keeps its first corner's
// bits); vertices are numbered in the order their first corners come. A hash table of
// vertex numbers, grown as vertices are added, finds the earlier corner.
#pragma once

#include "geometry/mesh_file_contents.h"

#include <cstddef>
#include <vector>

namespace facet {

class CornerJoiner {
public:
    // Adds vertices and corners to `contents`, which must outlive the joiner;
    // `expectedVertices` sizes the table at the start (0 when unknown).
    CornerJoiner(MeshFileContents* contents, std::size_t expectedVertices);

    // Appends the corner at `position` (finite coordinates) to the contents' corners.
    void Add(const float position[3]);

private:
    void Grow();
    std::size_t SlotOf(const float* position) const;

    MeshFileContents* contents_;
    std::vector<DWORD> slots_;  // vertex numbers; kEmpty where none
    std::size_t mask_ = 0;
};

}  // namespace facet
