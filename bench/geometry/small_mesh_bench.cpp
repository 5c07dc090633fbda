// Facet on a real mesh small enough for its edges to stay in the processor's caches, as a
// script calls it again and again: welding and the adjacency, on one thread, each call
// allocating its own working storage. The mesh is the file named by FACET_SMALL_MESH, for
// example bunny00.off of Debian's libcgal-demo (75,408 faces, 35,947 vertices):
//
//   apt-get download libcgal-demo && dpkg -x libcgal-demo_*.deb /tmp/cgal
//   find /tmp/cgal -name bunny00.off          # gzipped in some releases: gunzip it
//   FACET_SMALL_MESH=/path/to/bunny00.off build/bench/bench_geometry --benchmark_filter=SmallMesh
//
//   SmallMeshWeld               PointRepsFromPositions (epsilon 0)
//   SmallMeshAdjacency          AdjacencyFromPointReps with those representatives
//   SmallMeshIndexAdjacency     AdjacencyFromPointReps with none (keys are the indices)
#include "facet/mesh.h"
#include "facet/mesh_file.h"
#include "facet/weld.h"
#include "geometry_bench_support.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using geometry_bench::Device;
using geometry_bench::SetFaces;

// The mesh of FACET_SMALL_MESH, read once; null (with the reason in *error) when unset or
// unreadable.
facet::Mesh* SmallMesh(std::string* error) {
    static std::string readError;
    static facet::Mesh* mesh = [] {
        const char* path = std::getenv("FACET_SMALL_MESH");
        facet::Mesh* read = nullptr;
        if (path == nullptr) {
            readError = "set FACET_SMALL_MESH to a mesh file";
            return read;
        }
        facet::MeshFileSummary summary;
        if (facet::ReadMeshFile(Device(), path, {}, &read, &summary, &readError) != D3D_OK) read = nullptr;
        return read;
    }();
    *error = readError;
    return mesh;
}

void BM_SmallMeshWeld(benchmark::State& state) {
    std::string error;
    facet::Mesh* mesh = SmallMesh(&error);
    if (mesh == nullptr) return state.SkipWithError(error.c_str());
    std::vector<DWORD> reps(mesh->VertexCount());
    for (auto _ : state) {
        if (FAILED(facet::PointRepsFromPositions(mesh, 0.0f, reps.data(), nullptr))) state.SkipWithError("failed");
        benchmark::DoNotOptimize(reps.data());
    }
    SetFaces(state, mesh->FaceCount());
}

void TimeAdjacency(benchmark::State& state, bool welded) {
    std::string error;
    facet::Mesh* mesh = SmallMesh(&error);
    if (mesh == nullptr) return state.SkipWithError(error.c_str());
    std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * mesh->FaceCount());
    if (FAILED(facet::PointRepsFromPositions(mesh, 0.0f, reps.data(), nullptr))) return state.SkipWithError("failed");
    for (auto _ : state) {
        if (FAILED(facet::AdjacencyFromPointReps(mesh, welded ? reps.data() : nullptr, adjacency.data(), nullptr)))
            state.SkipWithError("failed");
        benchmark::DoNotOptimize(adjacency.data());
    }
    SetFaces(state, mesh->FaceCount());
}

void BM_SmallMeshAdjacency(benchmark::State& state) { TimeAdjacency(state, true); }
void BM_SmallMeshIndexAdjacency(benchmark::State& state) { TimeAdjacency(state, false); }

BENCHMARK(BM_SmallMeshWeld)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SmallMeshAdjacency)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SmallMeshIndexAdjacency)->Unit(benchmark::kMicrosecond);

}  // namespace
