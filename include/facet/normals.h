// Vertex normal computation: rewrites every vertex normal of a mesh as the normalised sum
// of the unnormalised normals of the faces that use the vertex (so larger faces weigh
// more).
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"

#include <functional>

namespace facet {

// Overwrites the normal (three floats, usage index 0) of every vertex of `mesh`. With an
// `adjacency` array (three entries per face), vertices with the same point representative
// get one shared normal; without it every vertex index stands alone. Positions and every
// other vertex field stay unchanged.
//
// Every normal is a unit vector wherever the summed face vectors are not zero, at any
// scale a float holds and whichever normalisation routine the processor's dispatch chose;
// none is ever NaN. A vertex no face uses, one used only by degenerate faces (two equal
// corners, or three in a line) and one whose face vectors cancel get (0, 0, 0). A face
// with a corner position that is not finite adds nothing.
//
// D3DERR_INVALIDCALL, with nothing written, for a null mesh, write-only vertex or index
// data, a layout without a three-float position or a three-float normal, or a corner
// index not below the vertex count. E_OUTOFMEMORY when the point representatives (or the
// bit per vertex that marks those of other vertices) cannot be allocated (nothing
// written), or when a mesh whose face vectors leave the float range has no room for its
// double-precision sums (every normal is then (0, 0, 0)); failures of the mesh's adjacency
// step and of the buffer locks are passed through, with everything obtained released
// again.
HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency);

// The same, with the walks that find the point representatives and the normalisation of
// the sums spread over `pool` (null: on the caller alone); the sums themselves are formed
// in one pass on the caller. The normals are the same bits for any number of threads.
HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency, ThreadPool* pool);

// The normals of a mesh whose vertices at one point share theirs: the vertices welded
// within `epsilon` (PointRepsFromPositions), the adjacency between the welded points
// (AdjacencyFromPointReps) and ComputeVertexNormals over it, every step on `pool`. That
// adjacency can join only vertices welded to one another, so only the walks around the
// points of those run, and when no two vertices weld the adjacency is not formed at all
// (a mesh with a vertex in more faces than a walk may reach takes every step); the
// normals, and the failure of a walk that reaches too many faces, are the same either way. `step`, when
// given, is told each step's name ("welding", "adjacency", "normals") as it starts.
// Failures are those of the three routines, and E_OUTOFMEMORY when the representatives or
// the adjacency cannot be held.
HRESULT ComputeWeldedVertexNormals(Mesh* mesh, float epsilon, ThreadPool* pool,
                                   const std::function<void(const char*)>& step = {});

// The same normals written to `normals` (three floats a vertex) rather than into the
// mesh, which then needs no normal element and is only read: a caller that wants the
// normals apart (to write a file, or to hand back as an array) saves a copy of the mesh
// with a normal added and a copy of the normals out of it. A null `normals` writes into
// the mesh, as above.
HRESULT ComputeWeldedVertexNormals(Mesh* mesh, float epsilon, ThreadPool* pool, float* normals,
                                   const std::function<void(const char*)>& step = {});

}  // namespace facet
