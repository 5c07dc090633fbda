// Builds a sphere with the installed Facet library on a headless software device, computes
// its normals and adjacency, and prints a summary. Exits 1 if any step fails or the result
// is not a closed sphere with unit-length normals.
//
// With pkg-config instead of CMake:
//   c++ -std=c++20 main.cpp $(pkg-config --cflags --libs facet) -o facet_consumer
#include "springdrop/d3d9/headless_device.h"
#include "facet/normals.h"
#include "facet/sphere.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kNoNeighbour = 0xFFFFFFFF;

struct PositionNormal {
    float position[3];
    float normal[3];
};

int Fail(const char* step, HRESULT result) {
    std::fprintf(stderr, "facet_consumer: %s failed (0x%08X)\n", step, static_cast<unsigned>(result));
    return 1;
}

// The largest distance of any vertex normal's length from 1.
float WorstNormalLengthError(facet::Mesh* mesh) {
    void* data = nullptr;
    if (mesh->LockVertices(D3DLOCK_READONLY, &data) != D3D_OK) return INFINITY;
    const auto* vertices = static_cast<const PositionNormal*>(data);
    float worst = 0.0f;
    for (DWORD i = 0; i < mesh->VertexCount(); ++i) {
        const float* n = vertices[i].normal;
        worst = std::fmax(worst, std::fabs(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) - 1.0f));
    }
    mesh->UnlockVertices();
    return worst;
}

}  // namespace

int main() {
    IDirect3DDevice9* device = nullptr;
    HRESULT result = d3d9sw::CreateHeadlessDevice(64, 64, &device);
    if (result != D3D_OK) return Fail("CreateHeadlessDevice", result);

    facet::Mesh* sphere = nullptr;
    facet::ResultBuffer* adjacencyBuffer = nullptr;
    result = facet::CreateSphereMesh(device, 2.0f, 12, 6, &sphere, &adjacencyBuffer);
    device->Release();  // the mesh holds its own reference
    if (result != D3D_OK) return Fail("CreateSphereMesh", result);

    const auto* adjacency = static_cast<const DWORD*>(adjacencyBuffer->Data());
    const DWORD faces = sphere->FaceCount();
    const DWORD vertices = sphere->VertexCount();
    DWORD openEdges = 0;
    for (DWORD i = 0; i < 3 * faces; ++i) openEdges += adjacency[i] == kNoNeighbour ? 1 : 0;

    result = facet::ComputeVertexNormals(sphere, adjacency);
    const float normalError = result == D3D_OK ? WorstNormalLengthError(sphere) : INFINITY;

    std::vector<DWORD> rebuilt(3 * faces);
    const HRESULT adjacencyResult = sphere->AdjacencyFromPointReps(nullptr, rebuilt.data());
    const bool adjacencyAgrees =
        adjacencyResult == D3D_OK && std::equal(rebuilt.begin(), rebuilt.end(), adjacency);

    std::printf("sphere: %lu vertices, %lu faces, %lu open edges\n", static_cast<unsigned long>(vertices),
                static_cast<unsigned long>(faces), static_cast<unsigned long>(openEdges));
    std::printf("normals: largest length error %g\n", static_cast<double>(normalError));
    std::printf("adjacency: %s\n", adjacencyAgrees ? "matches the sphere's own" : "differs");

    adjacencyBuffer->Release();
    sphere->Release();
    if (result != D3D_OK) return Fail("ComputeVertexNormals", result);
    const bool closedSphere = vertices == 12 * 5 + 2 && faces == 2 * 12 * 5 && openEdges == 0;
    return closedSphere && normalError < 1e-5f && adjacencyAgrees ? 0 : 1;
}
