// Sphere mesh generation: a closed, smooth-shaded sphere around the z axis as a new Mesh
// with position and normal per vertex (FVF 0x12), 16-bit indices, both buffers in the
// managed pool.
#pragma once

#include "facet/mesh.h"
#include "facet/result_buffer.h"

namespace facet {

// Builds a sphere of `radius` with `slices` divisions around the axis and `stacks` from
// pole to pole: slices·(stacks−1) + 2 vertices and 2·slices·(stacks−1) faces. The largest
// finite float selects radius 1, 0xFFFFFFFF selects 8 slices or 8 stacks; slices and
// stacks above 240 count as 240.
//
// Returns 0 and one reference to the mesh in `*meshOut` (and, when `adjacencyOut` is not
// null, one reference to a buffer holding the mesh's adjacency array). D3DERR_INVALIDCALL
// for a null device or `meshOut`, a negative radius, or fewer than 2 slices or stacks, and
// when the mesh exceeds 65534 faces or vertices; other failures pass the device's or the
// allocation's code through. On failure `*meshOut` is not written and nothing is left
// alive, except that a failure while filling the adjacency leaves the new buffer in
// `*adjacencyOut`, owned by the caller.
HRESULT CreateSphereMesh(IDirect3DDevice9* device, float radius, UINT slices, UINT stacks, Mesh** meshOut,
                         ResultBuffer** adjacencyOut);

// As CreateSphereMesh, with the index width chosen by `options`: 0 for 16-bit indices,
// MeshOptions::Indices32Bit for 32-bit ones, which lifts the 65534-face limit (the largest
// sphere, 240 slices by 240 stacks, has 114720 faces). D3DERR_INVALIDCALL for any other
// option bit.
HRESULT CreateSphereMeshWithOptions(IDirect3DDevice9* device, float radius, UINT slices, UINT stacks, DWORD options,
                                    Mesh** meshOut, ResultBuffer** adjacencyOut);

}  // namespace facet
