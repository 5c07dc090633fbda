// Vertex normal computation: rewrites every vertex normal of a mesh as the normalised sum
// of the unnormalised normals of the faces that use the vertex (so larger faces weigh
// more).
#pragma once

#include "facet/mesh.h"

namespace facet {

// Overwrites the normal (three floats, usage index 0) of every vertex of `mesh`. With an
// `adjacency` array (three entries per face), vertices with the same point representative
// get one shared normal; without it every vertex index stands alone. A vertex no face uses
// gets (0, 0, 0). Positions and every other vertex field stay unchanged.
//
// D3DERR_INVALIDCALL, with nothing written, for a null mesh, write-only vertex or index
// data, a layout without a three-float position or a three-float normal, or a corner
// index not below the vertex count. E_OUTOFMEMORY when the point representatives cannot
// be allocated; failures of the mesh's adjacency step and of the buffer locks are passed
// through, with everything obtained released again.
HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency);

}  // namespace facet
