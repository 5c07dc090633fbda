// ComputeVertexNormals: one pass to clear the normals, one over the faces to add each
// face's unnormalised normal to its corners (or to their point representatives), one to
// share representatives' sums, one to normalise.
#include "facet/normals.h"

#include "facet/math.h"
#include "geometry/vertex_layout_view.h"

#include <cstring>
#include <memory>
#include <new>

namespace facet {

namespace {

// Vertex fields may sit at any byte offset, so they are read and written by copying.
class VertexField {
public:
    VertexField(BYTE* vertices, DWORD stride, DWORD offset) : base_(vertices + offset), stride_(stride) {}

    Vector3 Read(DWORD vertex) const {
        Vector3 value;
        std::memcpy(&value, base_ + std::size_t{vertex} * stride_, sizeof value);
        return value;
    }
    void Write(DWORD vertex, const Vector3& value) const {
        std::memcpy(base_ + std::size_t{vertex} * stride_, &value, sizeof value);
    }

private:
    BYTE* base_;
    DWORD stride_;
};

Vector3 FaceVector(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    const Vector3 a = p0 - p1;
    const Vector3 b = p0 - p2;
    return Cross(a, b);
}

template <typename Index>
bool CornersBelow(const Index* indices, DWORD faceCount, DWORD vertexCount) {
    const std::size_t corners = std::size_t{3} * faceCount;
    for (std::size_t i = 0; i < corners; ++i)
        if (indices[i] >= vertexCount) return false;
    return true;
}

template <typename Index>
void AccumulateNormals(const Index* indices, DWORD faceCount, DWORD vertexCount, const VertexField& positions,
                       const VertexField& normals, const DWORD* pointReps) {
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) normals.Write(vertex, {0.0f, 0.0f, 0.0f});
    for (DWORD face = 0; face < faceCount; ++face) {
        const Index* corner = indices + std::size_t{3} * face;
        const Vector3 n = FaceVector(positions.Read(corner[0]), positions.Read(corner[1]), positions.Read(corner[2]));
        for (DWORD k = 0; k < 3; ++k) {
            const DWORD target = pointReps != nullptr ? pointReps[corner[k]] : corner[k];
            normals.Write(target, normals.Read(target) + n);
        }
    }
    if (pointReps != nullptr) {
        for (DWORD vertex = 0; vertex < vertexCount; ++vertex)
            if (pointReps[vertex] != vertex) normals.Write(vertex, normals.Read(pointReps[vertex]));
    }
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) {
        Vector3 normal = normals.Read(vertex);
        Vec3Normalize(&normal, &normal);
        normals.Write(vertex, normal);
    }
}

// Whether a three-float element lies inside the vertex.
bool FitsInVertex(const D3DVERTEXELEMENT9* element, UINT stride) {
    return element != nullptr && element->Offset + sizeof(Vector3) <= stride;
}

// What the routine obtains from the mesh, given back in reverse on every path.
struct LockedBuffers {
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    void* indices = nullptr;
    void* vertices = nullptr;

    HRESULT Acquire(Mesh* mesh) {
        HRESULT result = mesh->IndexBuffer(&indexBuffer);
        if (FAILED(result)) return result;
        if (indexBuffer == nullptr) return D3DERR_INVALIDCALL;
        result = indexBuffer->Lock(0, 0, &indices, D3DLOCK_NOSYSLOCK);
        if (FAILED(result)) {
            indices = nullptr;
            return result;
        }
        result = mesh->VertexBuffer(&vertexBuffer);
        if (FAILED(result)) return result;
        if (vertexBuffer == nullptr) return D3DERR_INVALIDCALL;
        result = vertexBuffer->Lock(0, 0, &vertices, D3DLOCK_NOSYSLOCK);
        if (FAILED(result)) vertices = nullptr;
        return result;
    }

    ~LockedBuffers() {
        if (indexBuffer != nullptr) {
            if (indices != nullptr) indexBuffer->Unlock();
            indexBuffer->Release();
        }
        if (vertexBuffer != nullptr) {
            if (vertices != nullptr) vertexBuffer->Unlock();
            vertexBuffer->Release();
        }
    }
};

}  // namespace

HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = mesh->CopyDeclaration(declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    if ((mesh->Options() & (MeshOptions::VertexWriteOnly | MeshOptions::IndexWriteOnly)) != 0 ||
        !FitsInVertex(layout.position, layout.stride) || !FitsInVertex(layout.normal, layout.stride))
        return D3DERR_INVALIDCALL;

    const DWORD faceCount = mesh->FaceCount();
    const DWORD vertexCount = mesh->VertexCount();
    const bool indices32Bit = (mesh->Options() & MeshOptions::Indices32Bit) != 0;

    std::unique_ptr<DWORD[]> pointReps;
    if (adjacency != nullptr) {
        pointReps.reset(new (std::nothrow) DWORD[vertexCount]);
        if (pointReps == nullptr) return E_OUTOFMEMORY;
        result = mesh->PointRepsFromAdjacency(adjacency, pointReps.get());
        if (FAILED(result)) return result;
    }

    LockedBuffers buffers;
    result = buffers.Acquire(mesh);
    if (FAILED(result)) return result;
    BYTE* vertices = static_cast<BYTE*>(buffers.vertices);
    const VertexField positions(vertices, layout.stride, layout.position->Offset);
    const VertexField normals(vertices, layout.stride, layout.normal->Offset);
    if (indices32Bit) {
        const auto* indices = static_cast<const DWORD*>(buffers.indices);
        if (!CornersBelow(indices, faceCount, vertexCount)) return D3DERR_INVALIDCALL;
        AccumulateNormals(indices, faceCount, vertexCount, positions, normals, pointReps.get());
    } else {
        const auto* indices = static_cast<const WORD*>(buffers.indices);
        if (!CornersBelow(indices, faceCount, vertexCount)) return D3DERR_INVALIDCALL;
        AccumulateNormals(indices, faceCount, vertexCount, positions, normals, pointReps.get());
    }
    return D3D_OK;
}

}  // namespace facet
