// The counts `facet info` reports about a mesh whose vertices are joined into points by
// point representatives (an internal entry of the library; the program links it).
//
// Definitions, kept stable because people compare them with other tools' counts:
// - a face is degenerate when two of its corners are one point; it has no edges;
// - a zero-area face has three different points but a cross product (P1 − P0) × (P2 − P0)
//   of its corners' positions, taken in double, that is exactly zero; it has edges like
//   any other face (a sliver does not open a surface), and it is never also counted as
//   degenerate;
// - an edge is an unordered pair of points of a non-degenerate face; it is a boundary
//   edge in one face, non-manifold in three or more, and misoriented when its two faces
//   run through it in the same direction;
// - components join faces through shared points (a degenerate face included);
//   edge components join faces through shared edges (any number of faces on the edge),
//   and count only faces with edges;
// - welded points are the vertices that the representatives join into another;
// - closed means at least one face of nonzero area, no boundary edge and no non-manifold
//   edge, so a fan of zero-area triangles, however its edges pair up, is not closed;
// - area sums every face's triangle area in double; the volume (divergence theorem, in
//   double, over the non-degenerate faces) is given only for a closed mesh without
//   misoriented edges, where the sign says whether the faces wind outwards (positive)
//   or inwards.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"

#include <cstdint>

namespace facet {

struct MeshStatistics {
    DWORD vertices = 0;
    DWORD faces = 0;
    bool indices32 = false;
    DWORD degenerateFaces = 0;
    DWORD zeroAreaFaces = 0;
    DWORD unreferencedVertices = 0;  // used by no face
    DWORD weldedPoints = 0;
    std::uint64_t boundaryEdges = 0;
    std::uint64_t nonManifoldEdges = 0;
    std::uint64_t misorientedEdges = 0;
    DWORD components = 0;
    DWORD edgeComponents = 0;
    bool closed = false;
    double area = 0.0;
    bool hasVolume = false;
    double volume = 0.0;
};

// Counts over the faces of `mesh` (a three-float position first in each vertex, either
// index width) with its vertices joined through `pointReps` (each below the vertex
// count). A failed lock's code is returned; E_OUTOFMEMORY when working storage cannot be
// had.
//
// The work is spread over `pool` when one is given (null: the caller alone); every count
// is the same for any number of threads. The area and volume are summed in runs of 65536
// faces, added in order, so they too are the same for any number of threads.
HRESULT ComputeMeshStatistics(Mesh* mesh, const DWORD* pointReps, MeshStatistics* statistics,
                              ThreadPool* pool = nullptr);

}  // namespace facet
