// ComputeVertexNormals with the point representatives given rather than found from an
// adjacency, for callers that find the same representatives another way.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"

namespace facet {

// The normals ComputeVertexNormals(mesh, adjacency, pool) writes when
// PointRepsFromAdjacency gives `pointReps` for that adjacency (null: every vertex stands
// for itself), with its refusals and failures apart from the adjacency's.
HRESULT ComputeVertexNormalsFromPointReps(Mesh* mesh, const DWORD* pointReps, ThreadPool* pool);

}  // namespace facet
