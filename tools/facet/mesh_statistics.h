// The counts `facet info` reports about a mesh, its vertices welded by point
// representatives.
#pragma once

#include "facet/mesh.h"

#include <cstdint>

struct MeshStatistics {
    DWORD vertices = 0;
    DWORD faces = 0;
    bool indices32 = false;
    DWORD degenerateFaces = 0;       // two corners at one point
    DWORD unreferencedVertices = 0;  // used by no face
    std::uint64_t boundaryEdges = 0;     // edges of one face
    std::uint64_t nonManifoldEdges = 0;  // edges of three faces or more
    DWORD components = 0;            // groups of faces joined through shared points
    bool closed = false;             // faces, and every edge in exactly two of them
    float minimum[3] = {0, 0, 0};
    float maximum[3] = {0, 0, 0};
};

// Counts over the faces of `mesh` (FVF 0x12, either index width) with its vertices joined
// through `pointReps`. Edges are those of faces with three different points. A failed
// lock's code is returned; E_OUTOFMEMORY when working storage cannot be had.
HRESULT ComputeMeshStatistics(facet::Mesh* mesh, const DWORD* pointReps, MeshStatistics* statistics);
