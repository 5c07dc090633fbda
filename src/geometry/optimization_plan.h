// What mesh optimisation does to a mesh, worked out on plain arrays before the mesh is
// touched: the new face order, the new vertex order and, with attribute sorting, the group
// table. See OptimizeFlags in facet/mesh.h for the steps.
#pragma once

#include "facet/mesh.h"

#include <cstdint>
#include <vector>

namespace facet {

// Corner value of a face that is unused (the mesh's empty-index value, widened).
constexpr std::uint32_t kUnusedFaceCorner = 0xFFFFFFFF;

struct OptimizationPlan {
    std::vector<std::uint32_t> faceOrder;    // new face -> old face
    std::vector<std::uint32_t> vertexOrder;  // new vertex -> old vertex
    std::vector<std::uint32_t> newVertexOf;  // old vertex -> new vertex, kUnusedVertex if dropped
    std::vector<std::uint32_t> newCorners;   // three per new face, in new vertex numbers
    std::vector<DWORD> newAttributeIds;      // one per new face
    std::vector<GroupEntry> groups;          // with OptimizeFlags::AttributeSort only
};

// Plans `flags` (OptimizeFlags bits) for faceCount faces whose corners are `corners` (an
// unused face has kUnusedFaceCorner first; every other corner is below vertexCount) and
// whose attribute ids are `attributeIds`. Throws std::bad_alloc when memory runs out.
OptimizationPlan PlanOptimization(const std::uint32_t* corners, const DWORD* attributeIds, DWORD faceCount,
                                  DWORD vertexCount, DWORD flags);

}  // namespace facet
