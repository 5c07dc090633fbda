// The steps of `facet info`, `adjacency` and `normals` on one shuffled, seamed torus (about
// 1 Mi faces; FACET_BENCH_FACES sets another size, e.g. 1e7), on one thread and on two:
// the weld alone, weld plus adjacency, the statistics, and the normals step (representatives from the
// adjacency, then the normals; the fan walks also alone), beside
// meshoptimizer's position-welded adjacency on the same triangles; the whole of the
// normals from positions (walking around the seams alone); and on the torus with no
// vertex split, weld plus adjacency beside the whole of the normals (which then leave the
// adjacency out). Items per second are faces per second.
#include "facet/normals.h"
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/mesh_statistics.h"
#include "geometry_bench_support.h"

#include "../../tests/support/generated_meshes.h"

#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using geometry_bench::Device;
using geometry_bench::SetFaces;

struct ScaleMesh {
    generated_meshes::MeshData data;
    facet::Mesh* mesh = nullptr;
    std::vector<DWORD> reps;
    std::vector<DWORD> adjacency;
};

// The shuffled torus, seamed (a vertex per chart at every chart border) or welded (one
// vertex per point).
ScaleMesh BuildScale(bool welded) {
    ScaleMesh built;
    const char* wanted = std::getenv("FACET_BENCH_FACES");
    const double faces = wanted != nullptr ? std::strtod(wanted, nullptr) : 1048576.0;
    const auto sides = static_cast<std::uint32_t>(std::max(3.0, std::sqrt(faces / 4.0)));
    const auto rings = static_cast<std::uint32_t>(std::max(3.0, std::round(faces / 2.0 / sides)));
    built.data = generated_meshes::Shuffled(
        welded ? generated_meshes::WeldedTorus(rings, sides) : generated_meshes::Torus(rings, sides, 16), 1);
    const auto& data = built.data;
    if (FAILED(facet::CreateMeshFromFormat(static_cast<DWORD>(data.FaceCount()), static_cast<DWORD>(data.VertexCount()),
                                           facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit,
                                           D3DFVF_XYZ | D3DFVF_NORMAL, Device(), &built.mesh)))
        return built;
    void* bytes = nullptr;
    built.mesh->LockIndices(0, &bytes);
    std::memcpy(bytes, data.corners.data(), data.corners.size() * sizeof(std::uint32_t));
    built.mesh->UnlockIndices();
    built.mesh->LockVertices(0, &bytes);
    auto* floats = static_cast<float*>(bytes);
    for (std::size_t v = 0; v < data.VertexCount(); ++v)
        for (int c = 0; c < 3; ++c) {
            floats[6 * v + c] = data.positions[3 * v + c];
            floats[6 * v + 3 + c] = 0.0f;
        }
    built.mesh->UnlockVertices();
    built.reps.resize(data.VertexCount());
    built.adjacency.resize(data.corners.size());
    facet::PointRepsFromPositions(built.mesh, 0.0f, built.reps.data());
    built.mesh->AdjacencyFromPointReps(built.reps.data(), built.adjacency.data());
    return built;
}

const ScaleMesh& Scale() {
    static const ScaleMesh scale = BuildScale(false);
    return scale;
}

const ScaleMesh& WeldedScale() {
    static const ScaleMesh scale = BuildScale(true);
    return scale;
}

void WeldAndAdjacency(benchmark::State& state, const ScaleMesh& scale) {
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    std::vector<DWORD> reps(scale.reps.size()), adjacency(scale.adjacency.size());
    for (auto _ : state) {
        if (FAILED(facet::PointRepsFromPositions(scale.mesh, 0.0f, reps.data(), &pool)) ||
            FAILED(facet::AdjacencyFromPointReps(scale.mesh, reps.data(), adjacency.data(), &pool)))
            state.SkipWithError("failed");
        benchmark::DoNotOptimize(adjacency.data());
    }
    SetFaces(state, scale.mesh->FaceCount());
}

void BM_WeldAndAdjacency(benchmark::State& state) { WeldAndAdjacency(state, Scale()); }

// The weld alone, which `info`, `adjacency` and `normals` all start with.
void BM_Weld(benchmark::State& state) {
    const ScaleMesh& scale = Scale();
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    std::vector<DWORD> reps(scale.reps.size());
    for (auto _ : state)
        if (FAILED(facet::PointRepsFromPositions(scale.mesh, 0.0f, reps.data(), &pool))) state.SkipWithError("failed");
    SetFaces(state, scale.mesh->FaceCount());
}
void BM_WeldedTorusWeldAndAdjacency(benchmark::State& state) { WeldAndAdjacency(state, WeldedScale()); }

void BM_MeshoptWeldedAdjacency(benchmark::State& state) {
    const ScaleMesh& scale = Scale();
    std::vector<unsigned> destination(2 * scale.data.corners.size());
    for (auto _ : state) {
        meshopt_generateAdjacencyIndexBuffer(destination.data(), scale.data.corners.data(), scale.data.corners.size(),
                                             scale.data.positions.data(), scale.data.VertexCount(), 3 * sizeof(float));
        benchmark::DoNotOptimize(destination.data());
    }
    SetFaces(state, scale.mesh->FaceCount());
}

void BM_Statistics(benchmark::State& state) {
    const ScaleMesh& scale = Scale();
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    facet::MeshStatistics statistics;
    for (auto _ : state) {
        if (FAILED(facet::ComputeMeshStatistics(scale.mesh, scale.reps.data(), &statistics, &pool)))
            state.SkipWithError("failed");
        benchmark::DoNotOptimize(&statistics);
    }
    SetFaces(state, scale.mesh->FaceCount());
}

// What `facet normals` does after the adjacency: representatives from it, then normals.
void BM_NormalsStep(benchmark::State& state) {
    const ScaleMesh& scale = Scale();
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    for (auto _ : state)
        if (FAILED(facet::ComputeVertexNormals(scale.mesh, scale.adjacency.data(), &pool))) state.SkipWithError("failed");
    SetFaces(state, scale.mesh->FaceCount());
}

// The fan walks alone: the representatives from the adjacency.
void BM_FanWalks(benchmark::State& state) {
    const ScaleMesh& scale = Scale();
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    std::vector<DWORD> reps(scale.reps.size());
    for (auto _ : state)
        if (FAILED(facet::PointRepsFromAdjacency(scale.mesh, scale.adjacency.data(), reps.data(), &pool)))
            state.SkipWithError("failed");
    SetFaces(state, scale.mesh->FaceCount());
}

// The whole of the normals from positions, weld included, as `facet normals` runs them:
// on the seamed torus only the walks around its seams run, and on the welded one none
// (nor the adjacency). Beside weld plus adjacency on the same mesh, what the normals add.
void WeldedNormals(benchmark::State& state, const ScaleMesh& scale) {
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    for (auto _ : state)
        if (FAILED(facet::ComputeWeldedVertexNormals(scale.mesh, 0.0f, &pool))) state.SkipWithError("failed");
    SetFaces(state, scale.mesh->FaceCount());
}

void BM_WeldedNormals(benchmark::State& state) { WeldedNormals(state, Scale()); }
void BM_WeldedTorusNormals(benchmark::State& state) { WeldedNormals(state, WeldedScale()); }

BENCHMARK(BM_Weld)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WeldAndAdjacency)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WeldedNormals)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WeldedTorusWeldAndAdjacency)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WeldedTorusNormals)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeshoptWeldedAdjacency)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Statistics)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NormalsStep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FanWalks)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
