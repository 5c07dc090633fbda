// ComputeVertexNormals with the point representatives given rather than found from an
// adjacency, for callers that find the same representatives another way.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"
#include "geometry/fan_walks.h"

#include <functional>

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

// ComputeVertexNormalsFromPointReps(mesh, pointReps, pool, normals) once `walk()` has
// completed `pointReps`, or the walk's code when it fails. The walk may change only the
// representatives of the vertices in `walked`, and only to vertices in `walked`; every
// other vertex stands for itself. The sums of those others then take the same additions
// in the same order whatever the walk does, so on a pool of two threads or more they are
// formed while the walk runs on another thread (which must not call the mesh: the caller
// holds its buffers meanwhile), and the faces with a corner in `walked` add theirs
// afterwards, in face order.
HRESULT ComputeVertexNormalsBesideWalk(Mesh* mesh, const DWORD* pointReps, const fan_walks::VertexBits& walked,
                                       const std::function<HRESULT()>& walk, ThreadPool* pool,
                                       float* normals = nullptr);

}  // namespace facet
