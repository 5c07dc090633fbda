// ComputeVertexNormals with the point representatives given rather than found from an
// adjacency, for callers that find the same representatives another way.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"

namespace facet {

// The normals ComputeVertexNormals(mesh, adjacency, pool) writes when
// PointRepsFromAdjacency gives `pointReps` for that adjacency (null: every vertex stands
// for itself), with its refusals and failures apart from the adjacency's. With `normals`
// (three floats a vertex) they are written there instead, and the mesh needs no normal.
HRESULT ComputeVertexNormalsFromPointReps(Mesh* mesh, const DWORD* pointReps, ThreadPool* pool,
                                          float* normals = nullptr);

// ComputeVertexNormals(mesh, adjacency, pool), written to `normals` instead when given:
// the layout is checked before the walks, so a mesh that cannot take its normals is
// refused before a walk can fail.
HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency, ThreadPool* pool, float* normals);

}  // namespace facet
