// Mesh::BuildAdjacency: welding by position within a tolerance, then the adjacency of the
// welded points.
#include "geometry/mesh_object.h"

#include "facet/weld.h"
#include "geometry/work_array.h"

namespace facet {

template <typename Index>
HRESULT MeshObject<Index>::BuildAdjacency(float epsilon, DWORD* adjacency) {
    if (adjacency == nullptr || (options_ & MeshOptions::IndexWriteOnly) != 0) return D3DERR_INVALIDCALL;
    WorkArray<DWORD> pointReps;
    if (!pointReps.Allocate(vertexCount_)) return E_OUTOFMEMORY;
    const HRESULT result = PointRepsFromPositions(this, epsilon, pointReps.get());
    if (FAILED(result)) return result;
    return AdjacencyFromPointReps(pointReps.get(), adjacency);
}

template HRESULT MeshObject<WORD>::BuildAdjacency(float, DWORD*);
template HRESULT MeshObject<DWORD>::BuildAdjacency(float, DWORD*);

}  // namespace facet
