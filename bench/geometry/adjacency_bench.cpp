// Mesh::AdjacencyFromPointReps, Mesh::PointRepsFromAdjacency and ComputeVertexNormals on
// 32-bit grid meshes of about 10 Ki, 100 Ki and 1 Mi faces, beside meshoptimizer's
// adjacency index buffer on the same grids. Items per second are faces per second.
#include "facet/mesh.h"
#include "geometry_bench_support.h"
#include "facet/normals.h"

#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

using geometry_bench::Device;
using geometry_bench::SetFaces;

// Quads per side giving 2·n² faces: 10368, 102152 and 1048352 faces.
constexpr int kGridSides[] = {72, 226, 724};

struct Grid {
    std::vector<float> vertices;  // position and normal per vertex
    std::vector<unsigned> indices;
    DWORD faces() const { return static_cast<DWORD>(indices.size() / 3); }
    DWORD vertexCount() const { return static_cast<DWORD>(vertices.size() / 6); }
};

Grid MakeGrid(int side) {
    Grid grid;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x)
            grid.vertices.insert(grid.vertices.end(), {static_cast<float>(x), static_cast<float>(y),
                                                       0.01f * static_cast<float>((x * 7 + y * 13) % 5), 0, 0, 1});
    const auto at = [side](int x, int y) { return static_cast<unsigned>(y * (side + 1) + x); };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            grid.indices.insert(grid.indices.end(), {at(x, y), at(x + 1, y), at(x, y + 1)});
            grid.indices.insert(grid.indices.end(), {at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)});
        }
    }
    return grid;
}

const Grid& GridOf(int side) {
    static std::map<int, Grid> grids;
    auto found = grids.find(side);
    if (found == grids.end()) found = grids.emplace(side, MakeGrid(side)).first;
    return found->second;
}

// The grid as a 32-bit mesh of FVF 0x12, kept for the whole run.
facet::Mesh* MeshOf(int side) {
    static std::map<int, facet::Mesh*> meshes;
    auto found = meshes.find(side);
    if (found != meshes.end()) return found->second;
    const Grid& grid = GridOf(side);
    facet::Mesh* mesh = nullptr;
    if (facet::CreateMeshFromFormat(grid.faces(), grid.vertexCount(),
                                    facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit, 0x12, Device(),
                                    &mesh) != D3D_OK)
        std::abort();
    void* data = nullptr;
    mesh->LockIndices(0, &data);
    std::memcpy(data, grid.indices.data(), grid.indices.size() * sizeof(unsigned));
    mesh->UnlockIndices();
    mesh->LockVertices(0, &data);
    std::memcpy(data, grid.vertices.data(), grid.vertices.size() * sizeof(float));
    mesh->UnlockVertices();
    meshes.emplace(side, mesh);
    return mesh;
}

void BM_AdjacencyFromPointReps(benchmark::State& state) {
    facet::Mesh* mesh = MeshOf(static_cast<int>(state.range(0)));
    std::vector<DWORD> adjacency(3 * mesh->FaceCount());
    for (auto _ : state) {
        if (mesh->AdjacencyFromPointReps(nullptr, adjacency.data()) != D3D_OK) state.SkipWithError("failed");
        benchmark::DoNotOptimize(adjacency.data());
    }
    SetFaces(state, mesh->FaceCount());
}

void BM_MeshoptAdjacencyIndexBuffer(benchmark::State& state) {
    const Grid& grid = GridOf(static_cast<int>(state.range(0)));
    std::vector<unsigned> destination(2 * grid.indices.size());
    for (auto _ : state) {
        meshopt_generateAdjacencyIndexBuffer(destination.data(), grid.indices.data(), grid.indices.size(),
                                             grid.vertices.data(), grid.vertexCount(), 6 * sizeof(float));
        benchmark::DoNotOptimize(destination.data());
    }
    SetFaces(state, grid.faces());
}

void BM_PointRepsFromAdjacency(benchmark::State& state) {
    facet::Mesh* mesh = MeshOf(static_cast<int>(state.range(0)));
    std::vector<DWORD> adjacency(3 * mesh->FaceCount());
    std::vector<DWORD> reps(mesh->VertexCount());
    mesh->AdjacencyFromPointReps(nullptr, adjacency.data());
    for (auto _ : state) {
        if (mesh->PointRepsFromAdjacency(adjacency.data(), reps.data()) != D3D_OK) state.SkipWithError("failed");
        benchmark::DoNotOptimize(reps.data());
    }
    SetFaces(state, mesh->FaceCount());
}

void BM_ComputeVertexNormals(benchmark::State& state) {
    facet::Mesh* mesh = MeshOf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (facet::ComputeVertexNormals(mesh, nullptr) != D3D_OK) state.SkipWithError("failed");
    SetFaces(state, mesh->FaceCount());
}

void BM_ComputeVertexNormalsWithAdjacency(benchmark::State& state) {
    facet::Mesh* mesh = MeshOf(static_cast<int>(state.range(0)));
    std::vector<DWORD> adjacency(3 * mesh->FaceCount());
    mesh->AdjacencyFromPointReps(nullptr, adjacency.data());
    for (auto _ : state)
        if (facet::ComputeVertexNormals(mesh, adjacency.data()) != D3D_OK) state.SkipWithError("failed");
    SetFaces(state, mesh->FaceCount());
}

void GridSizes(benchmark::internal::Benchmark* benchmark) {
    for (int side : kGridSides) benchmark->Arg(side);
    benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_AdjacencyFromPointReps)->Apply(GridSizes);
BENCHMARK(BM_MeshoptAdjacencyIndexBuffer)->Apply(GridSizes);
BENCHMARK(BM_PointRepsFromAdjacency)->Apply(GridSizes);
BENCHMARK(BM_ComputeVertexNormals)->Apply(GridSizes);
BENCHMARK(BM_ComputeVertexNormalsWithAdjacency)->Apply(GridSizes);

}  // namespace
