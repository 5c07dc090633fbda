// Welding by position: point representatives for vertices that sit at one place, so that
// the adjacency and normal routines treat vertices split along seams (for texture or
// normal discontinuities) as one point of the surface.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"

namespace facet {

// Fills `pointReps` (one entry per vertex of `mesh`) so that each vertex names the lowest
// index of the vertices it is welded to. Vertices are visited in index order; a vertex
// joins the lowest-indexed earlier representative whose position differs from its own by
// at most `epsilon` in each component, and otherwise stands for itself. With epsilon 0
// only equal positions weld (0 and -0 are equal). Every vertex is therefore within
// epsilon of its representative, and each representative is its own. A position with a
// NaN component never welds, and with a positive epsilon neither does one with an
// infinite component. Expected time is linear in the vertex count for every epsilon and
// every coordinate range (a spatial hash of cells at least epsilon wide and at least 2^-32
// of the largest coordinate); memory is one 32-bit word per hash slot, about two slots per
// vertex.
//
// The position is the three-float POSITION element of usage index 0.
// D3DERR_INVALIDCALL, with nothing written, for a null mesh or `pointReps`, a negative or
// NaN epsilon, write-only vertex data, or a layout without such a position.
// E_OUTOFMEMORY when the hash cannot be allocated; a failed vertex lock is passed through.
HRESULT PointRepsFromPositions(Mesh* mesh, float epsilon, DWORD* pointReps);

// The same, with the work spread over `pool` (null: on the caller alone) when epsilon is
// 0; the representatives are the same for any number of threads. Memory then adds one
// 32-bit word per vertex.
HRESULT PointRepsFromPositions(Mesh* mesh, float epsilon, DWORD* pointReps, ThreadPool* pool);

// mesh->AdjacencyFromPointReps(pointReps, adjacency) with its work spread over `pool`
// (null: on the caller alone) when the mesh has no group table; the adjacency is the same
// for any number of threads. D3DERR_INVALIDCALL for a null mesh.
HRESULT AdjacencyFromPointReps(Mesh* mesh, const DWORD* pointReps, DWORD* adjacency, ThreadPool* pool);

// mesh->PointRepsFromAdjacency(adjacency, pointReps) with its walks spread over `pool`
// (null: on the caller alone); the representatives, and the result of a failed walk, are
// the same for any number of threads. Memory then adds a bit per vertex per thread, three
// bits per face and a record of each walk that reaches other vertices (at seams).
// D3DERR_INVALIDCALL for a null mesh.
HRESULT PointRepsFromAdjacency(Mesh* mesh, const DWORD* adjacency, DWORD* pointReps, ThreadPool* pool);

}  // namespace facet
