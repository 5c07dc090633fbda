// Mesh validation and cleaning: what stands between a mesh read from a file and a
// well-formed surface. Cleaning welds vertices at one position, removes faces that are
// not triangles (two equal corners after welding, or zero area), faces that repeat
// another face's three corners (in any order), and vertices no face uses; it then makes
// the winding consistent within each connected component (flipping faces across edges that
// two faces traverse in the same direction, as few as possible) and turns every closed
// component outward (positive signed volume). Validation counts the same changes without
// making them. With a thread pool the weld is spread over it; the result is the same.
#pragma once

#include "facet/mesh.h"
#include "facet/thread_pool.h"

namespace facet {

struct MeshCleaningReport {
    DWORD weldedVertices = 0;        // vertices merged into another at their position
    DWORD degenerateFaces = 0;       // faces with two equal corners after welding, or zero area
    DWORD duplicateFaces = 0;        // faces with the corners of an earlier face
    DWORD unreferencedVertices = 0;  // vertices no face used (welded ones not counted)
    DWORD flippedFaces = 0;          // faces reversed to agree with their neighbours
    DWORD invertedComponents = 0;    // closed components turned inside out to face outward
    DWORD components = 0;            // connected components after cleaning (across shared edges)
    DWORD closedComponents = 0;      // of those, the ones with every edge on exactly two faces
};

// Counts what CleanMesh would change, changing nothing. Vertices weld when their positions
// differ by at most `weldEpsilon` in each component (PointRepsFromPositions, facet/weld.h).
// D3DERR_INVALIDCALL, with `*report` not written, for a null mesh or report, a negative or
// NaN epsilon, write-only index or vertex data, a layout without a three-float POSITION 0,
// or a used face naming a vertex past the vertex count; E_OUTOFMEMORY; a failed lock's code.
HRESULT ValidateMesh(Mesh* mesh, float weldEpsilon, MeshCleaningReport* report, ThreadPool* pool = nullptr);

// Cleans `mesh` in place as described above and reports what changed (as ValidateMesh
// would have). Faces keep their attribute ids and their relative order; a welded vertex
// takes the data of the lowest-indexed vertex at its position; the surviving vertices keep
// their relative order. The group table is discarded when faces are removed. Refusals as
// ValidateMesh's, with nothing changed.
HRESULT CleanMesh(Mesh* mesh, float weldEpsilon, MeshCleaningReport* report, ThreadPool* pool = nullptr);

}  // namespace facet
