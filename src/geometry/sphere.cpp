// CreateSphereMesh: poles on the z axis, rings of vertices between them, triangle fans at
// the poles and pairs of triangles between neighbouring rings, all wound so that the face
// normal points away from the centre. The seam is closed by index arithmetic, so no vertex
// is duplicated.
#include "facet/sphere.h"

#include <cfloat>
#include <cmath>

namespace facet {

namespace {

constexpr float kDefaultRadius = 1.0f;
constexpr UINT kDefaultDivisions = 8;
constexpr UINT kSelectDefault = 0xFFFFFFFF;
constexpr UINT kMaxDivisions = 240;
constexpr float kTwoPi = 6.2831855f;  // the float nearest 2π
constexpr float kPi = 3.1415927f;     // the float nearest π
constexpr DWORD kSphereFormat = D3DFVF_XYZ | D3DFVF_NORMAL;

struct SphereVertex {
    float position[3];
    float normal[3];
};
static_assert(sizeof(SphereVertex) == 24, "FVF 0x12 is two packed float triples");

// Sine and cosine of `steps` equal divisions of `range`: each angle rounded to a float,
// its sine and cosine taken in double and stored as floats.
struct AngleTable {
    float sine[kMaxDivisions];
    float cosine[kMaxDivisions];

    AngleTable(float range, UINT divisions) {
        for (UINT i = 0; i < divisions; ++i) {
            const float angle = static_cast<float>(i) * range / static_cast<float>(divisions);
            sine[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
            cosine[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
        }
    }
};

void WriteVertex(SphereVertex* vertex, float radius, float nx, float ny, float nz) {
    *vertex = {{radius * nx, radius * ny, radius * nz}, {nx, ny, nz}};
}

void WriteVertices(SphereVertex* vertices, float radius, UINT slices, UINT stacks) {
    const AngleTable slice(kTwoPi, slices);
    const AngleTable stack(kPi, stacks);
    SphereVertex* out = vertices;
    WriteVertex(out++, radius, 0.0f, 0.0f, 1.0f);
    for (UINT ring = 1; ring < stacks; ++ring)
        for (UINT i = 0; i < slices; ++i)
            WriteVertex(out++, radius, stack.sine[ring] * slice.sine[i], stack.sine[ring] * slice.cosine[i],
                        stack.cosine[ring]);
    WriteVertex(out, radius, 0.0f, 0.0f, -1.0f);
}

template <typename Index>
void WriteFaces(Index* indices, UINT slices, UINT stacks) {
    Index* out = indices;
    auto face = [&out](UINT a, UINT b, UINT c) {
        *out++ = static_cast<Index>(a);
        *out++ = static_cast<Index>(b);
        *out++ = static_cast<Index>(c);
    };
    // North cap: a fan around vertex 0 over ring 1.
    for (UINT i = 0; i + 1 < slices; ++i) face(0, i + 2, i + 1);
    face(0, 1, slices);
    // Bands between ring s (upper) and ring n (lower).
    for (UINT band = 0; band + 2 < stacks; ++band) {
        const UINT s = 1 + band * slices;
        const UINT n = s + slices;
        for (UINT i = 0; i + 1 < slices; ++i) {
            face(s + i, s + i + 1, n + i);
            face(s + i + 1, n + i + 1, n + i);
        }
        face(s + slices - 1, s, n + slices - 1);
        face(s, n, n + slices - 1);
    }
    // South cap: a fan around the last vertex under the last ring.
    const UINT c = (stacks - 2) * slices + 1;
    const UINT p = slices * (stacks - 1) + 1;
    for (UINT i = 0; i + 1 < slices; ++i) face(c + i, c + i + 1, p);
    face(c + slices - 1, c, p);
}

// Locks, fills and unlocks the new mesh's buffers. A failed lock is returned with
// everything already locked unlocked again.
HRESULT FillSphere(Mesh* mesh, float radius, UINT slices, UINT stacks) {
    void* vertices = nullptr;
    HRESULT result = mesh->LockVertices(0, &vertices);
    if (FAILED(result)) return result;
    void* indices = nullptr;
    result = mesh->LockIndices(0, &indices);
    if (FAILED(result)) {
        mesh->UnlockVertices();
        return result;
    }
    WriteVertices(static_cast<SphereVertex*>(vertices), radius, slices, stacks);
    if ((mesh->Options() & MeshOptions::Indices32Bit) != 0)
        WriteFaces(static_cast<DWORD*>(indices), slices, stacks);
    else
        WriteFaces(static_cast<WORD*>(indices), slices, stacks);
    mesh->UnlockVertices();
    mesh->UnlockIndices();
    return D3D_OK;
}

}  // namespace

HRESULT CreateSphereMesh(IDirect3DDevice9* device, float radius, UINT slices, UINT stacks, Mesh** meshOut,
                         ResultBuffer** adjacencyOut) {
    return CreateSphereMeshWithOptions(device, radius, slices, stacks, 0, meshOut, adjacencyOut);
}

HRESULT CreateSphereMeshWithOptions(IDirect3DDevice9* device, float radius, UINT slices, UINT stacks, DWORD options,
                                    Mesh** meshOut, ResultBuffer** adjacencyOut) {
    if ((options & ~MeshOptions::Indices32Bit) != 0) return D3DERR_INVALIDCALL;
    if (radius == FLT_MAX) radius = kDefaultRadius;
    if (slices == kSelectDefault) slices = kDefaultDivisions;
    if (stacks == kSelectDefault) stacks = kDefaultDivisions;
    if (device == nullptr || meshOut == nullptr || radius < 0.0f || slices < 2 || stacks < 2)
        return D3DERR_INVALIDCALL;
    if (slices > kMaxDivisions) slices = kMaxDivisions;
    if (stacks > kMaxDivisions) stacks = kMaxDivisions;

    const DWORD faces = 2 * slices * (stacks - 1);
    const DWORD vertices = slices * (stacks - 1) + 2;
    Mesh* mesh = nullptr;
    HRESULT result = CreateMeshFromFormat(faces, vertices, MeshOptions::Managed | options, kSphereFormat, device, &mesh);
    if (FAILED(result)) return result;

    result = FillSphere(mesh, radius, slices, stacks);
    if (FAILED(result)) {
        mesh->Release();
        return result;
    }
    if (adjacencyOut != nullptr) {
        ResultBuffer* adjacency = nullptr;
        result = CreateResultBuffer(faces * 3 * sizeof(DWORD), &adjacency);
        if (FAILED(result)) {
            mesh->Release();
            return result;
        }
        *adjacencyOut = adjacency;
        result = mesh->AdjacencyFromPointReps(nullptr, static_cast<DWORD*>(adjacency->Data()));
        if (FAILED(result)) {
            mesh->Release();
            return result;
        }
    }
    *meshOut = mesh;
    return D3D_OK;
}

}  // namespace facet
