// Attribute sorting: faces grouped by attribute id, and the group table that describes
// the groups for drawing one attribute id at a time.
#pragma once

#include "facet/mesh.h"

#include <cstdint>
#include <vector>

namespace facet {

// Orders `faces` (face numbers) by their attribute id, ascending; faces of one id keep
// their order.
void SortFacesByAttribute(const DWORD* attributeIds, std::vector<std::uint32_t>* faces);

// One entry per run of equal attribute ids in `attributeIds` (one per face, in drawing
// order), with the run's faces and the range of vertex indices its corners use (three per
// face in `corners`; corners equal to `skipCorner` are ignored). A run that uses no vertex
// has first vertex and vertex count 0.
std::vector<GroupEntry> GroupTableOfRuns(const DWORD* attributeIds, const std::uint32_t* corners, DWORD faceCount,
                                         std::uint32_t skipCorner);

}  // namespace facet
