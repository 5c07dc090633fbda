// The optimisation steps in order: compacting drops faces that are not triangles; attribute
// sorting groups the faces; cache ordering reorders the triangles of each run of equal ids
// (faces that are not triangles follow the run's triangles); vertex ordering numbers the
// vertices by first use or, without it, keeps their order; compacting drops the vertices
// no face uses.
#include "geometry/optimization_plan.h"

#include "geometry/attribute_sort.h"
#include "geometry/vertex_cache_order.h"
#include "geometry/vertex_fetch_order.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace facet {

namespace {

bool IsTriangle(const std::uint32_t* c) {
    return c[0] != kUnusedFaceCorner && c[0] != c[1] && c[1] != c[2] && c[0] != c[2];
}

// Reorders faces[first, end) for the vertex cache: its triangles, renumbered locally so
// that the work is proportional to the run, then the faces that are not triangles.
void OrderRunForVertexCache(const std::uint32_t* corners, std::vector<std::uint32_t>& faces, std::size_t first,
                            std::size_t end, std::vector<std::uint32_t>& localOf) {
    std::vector<std::uint32_t> triangles, others, localCorners, localVertices;
    for (std::size_t i = first; i < end; ++i) {
        const std::uint32_t* c = corners + 3 * std::size_t{faces[i]};
        if (!IsTriangle(c)) {
            others.push_back(faces[i]);
            continue;
        }
        triangles.push_back(faces[i]);
        for (int k = 0; k < 3; ++k) {
            if (localOf[c[k]] == kUnusedVertex) {
                localOf[c[k]] = static_cast<std::uint32_t>(localVertices.size());
                localVertices.push_back(c[k]);
            }
            localCorners.push_back(localOf[c[k]]);
        }
    }
    for (const std::uint32_t v : localVertices) localOf[v] = kUnusedVertex;
    std::vector<std::uint32_t> order(triangles.size());
    if (!OrderFacesForVertexCache(localCorners.data(), triangles.size(), localVertices.size(), order.data()))
        throw std::bad_alloc();
    for (std::size_t i = 0; i < order.size(); ++i) faces[first + i] = triangles[order[i]];
    std::copy(others.begin(), others.end(), faces.begin() + static_cast<std::ptrdiff_t>(first + order.size()));
}

void OrderForVertexCache(const std::uint32_t* corners, const DWORD* attributeIds, DWORD vertexCount,
                         std::vector<std::uint32_t>& faces) {
    std::vector<std::uint32_t> localOf(vertexCount, kUnusedVertex);
    std::size_t first = 0;
    while (first < faces.size()) {
        std::size_t end = first + 1;
        while (end < faces.size() && attributeIds[faces[end]] == attributeIds[faces[first]]) ++end;
        OrderRunForVertexCache(corners, faces, first, end, localOf);
        first = end;
    }
}

// The corners of the faces in their new order, with unused faces' corners left as they are.
std::vector<std::uint32_t> CornersInOrder(const std::uint32_t* corners, const std::vector<std::uint32_t>& faces) {
    std::vector<std::uint32_t> ordered(3 * faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i)
        std::copy_n(corners + 3 * std::size_t{faces[i]}, 3, ordered.begin() + static_cast<std::ptrdiff_t>(3 * i));
    return ordered;
}

void PlanVertexOrder(const std::vector<std::uint32_t>& ordered, DWORD vertexCount, DWORD flags,
                     OptimizationPlan& plan) {
    std::vector<std::uint32_t>& newOf = plan.newVertexOf;
    if (flags & OptimizeFlags::VertexFetch) {
        std::vector<std::uint32_t> used;
        used.reserve(ordered.size());
        for (std::size_t f = 0; f < ordered.size(); f += 3)
            if (ordered[f] != kUnusedFaceCorner) used.insert(used.end(), ordered.begin() + f, ordered.begin() + f + 3);
        std::uint32_t next = NumberVerticesByFirstUse(used.data(), used.size(), vertexCount, &newOf);
        if ((flags & OptimizeFlags::Compact) == 0)
            for (std::uint32_t& number : newOf)
                if (number == kUnusedVertex) number = next++;
    } else if (flags & OptimizeFlags::Compact) {
        newOf.assign(vertexCount, kUnusedVertex);
        for (std::size_t f = 0; f < ordered.size(); f += 3)
            if (ordered[f] != kUnusedFaceCorner)
                for (int k = 0; k < 3; ++k) newOf[ordered[f + k]] = 0;
        std::uint32_t next = 0;
        for (std::uint32_t& number : newOf)
            if (number != kUnusedVertex) number = next++;
    } else {
        newOf.resize(vertexCount);
        std::iota(newOf.begin(), newOf.end(), 0u);
    }
    std::size_t kept = 0;
    for (const std::uint32_t number : newOf) kept += number != kUnusedVertex;
    plan.vertexOrder.assign(kept, 0);
    for (DWORD v = 0; v < vertexCount; ++v)
        if (newOf[v] != kUnusedVertex) plan.vertexOrder[newOf[v]] = v;
}

}  // namespace

OptimizationPlan PlanOptimization(const std::uint32_t* corners, const DWORD* attributeIds, DWORD faceCount,
                                  DWORD vertexCount, DWORD flags) {
    OptimizationPlan plan;
    std::vector<std::uint32_t>& faces = plan.faceOrder;
    faces.reserve(faceCount);
    for (DWORD f = 0; f < faceCount; ++f)
        if ((flags & OptimizeFlags::Compact) == 0 || IsTriangle(corners + 3 * std::size_t{f})) faces.push_back(f);
    if (flags & OptimizeFlags::AttributeSort) SortFacesByAttribute(attributeIds, &faces);
    if (flags & OptimizeFlags::VertexCache) OrderForVertexCache(corners, attributeIds, vertexCount, faces);

    const std::vector<std::uint32_t> ordered = CornersInOrder(corners, faces);
    PlanVertexOrder(ordered, vertexCount, flags, plan);

    plan.newCorners.resize(ordered.size());
    for (std::size_t f = 0; f < ordered.size(); f += 3) {
        const bool unused = ordered[f] == kUnusedFaceCorner;
        for (int k = 0; k < 3; ++k)
            plan.newCorners[f + k] = unused ? kUnusedFaceCorner : plan.newVertexOf[ordered[f + k]];
    }
    plan.newAttributeIds.resize(faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i) plan.newAttributeIds[i] = attributeIds[faces[i]];
    if (flags & OptimizeFlags::AttributeSort)
        plan.groups = GroupTableOfRuns(plan.newAttributeIds.data(), plan.newCorners.data(),
                                       static_cast<DWORD>(faces.size()), kUnusedFaceCorner);
    return plan;
}

}  // namespace facet
