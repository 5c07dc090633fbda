// The memory `facet info` and `facet adjacency` take beyond the mesh itself, on a shuffled,
// seamed torus held as a mesh of positions and 32-bit indices (about 1 Mi faces;
// FACET_BENCH_FACES sets another size, e.g. 2e7): info welds and counts, adjacency welds
// and fills its result. Before each run the process's peak resident size is reset (Linux
// /proc/self/clear_refs), so the counters give what the step added at its peak:
// "extra_per_mesh" in multiples of the mesh's own data (12 bytes a vertex and a face) and
// "extra_bytes_per_face". Times are of one thread and of two, as the program runs them.
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/mesh_statistics.h"
#include "geometry/work_array.h"
#include "geometry_bench_support.h"

#include "../../tests/support/generated_meshes.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using geometry_bench::Device;
using geometry_bench::SetFaces;

// A field of /proc/self/status in bytes ("VmHWM", "VmRSS"); 0 when it cannot be read.
double StatusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size() + 1, field + ":") == 0) return std::strtod(line.c_str() + field.size() + 1, nullptr) * 1024.0;
    return 0.0;
}

// Resets the peak resident size to the present one; false where the kernel does not allow it.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

struct CountedMesh {
    facet::Mesh* mesh = nullptr;
    double meshBytes = 0.0;
};

// Positions only, as a mesh file gives them, so the mesh's data is 12 bytes a vertex and
// 12 a face; the generated arrays are freed before any run.
const CountedMesh& Counted() {
    static const CountedMesh counted = [] {
        CountedMesh built;
        const char* wanted = std::getenv("FACET_BENCH_FACES");
        const double faces = wanted != nullptr ? std::strtod(wanted, nullptr) : 1048576.0;
        const auto sides = static_cast<std::uint32_t>(std::max(3.0, std::sqrt(faces / 4.0)));
        const auto rings = static_cast<std::uint32_t>(std::max(3.0, std::round(faces / 2.0 / sides)));
        const generated_meshes::MeshData data = generated_meshes::Shuffled(generated_meshes::Torus(rings, sides, 16), 1);
        if (FAILED(facet::CreateMeshFromFormat(static_cast<DWORD>(data.FaceCount()), static_cast<DWORD>(data.VertexCount()),
                                               facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit,
                                               D3DFVF_XYZ, Device(), &built.mesh)))
            std::abort();
        void* bytes = nullptr;
        built.mesh->LockIndices(0, &bytes);
        std::memcpy(bytes, data.corners.data(), data.corners.size() * sizeof(std::uint32_t));
        built.mesh->UnlockIndices();
        built.mesh->LockVertices(0, &bytes);
        std::memcpy(bytes, data.positions.data(), data.positions.size() * sizeof(float));
        built.mesh->UnlockVertices();
        built.meshBytes = 12.0 * (static_cast<double>(data.VertexCount()) + static_cast<double>(data.FaceCount()));
        return built;
    }();
    return counted;
}

// Runs `step` once per iteration and reports the most it added to the resident size.
template <typename Step>
void MeasurePeak(benchmark::State& state, Step&& step) {
    const CountedMesh& counted = Counted();
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    double extra = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const double before = StatusBytes("VmRSS");
        if (!ResetPeak()) {
            state.SkipWithError("the peak resident size cannot be reset here");
            return;
        }
        state.ResumeTiming();
        if (FAILED(step(counted.mesh, &pool))) {
            state.SkipWithError("failed");
            return;
        }
        extra = std::max(extra, StatusBytes("VmHWM") - before);
    }
    const double faces = counted.mesh->FaceCount();
    state.counters["extra_per_mesh"] = extra / counted.meshBytes;
    state.counters["extra_bytes_per_face"] = extra / faces;
    SetFaces(state, counted.mesh->FaceCount());
}

void BM_InfoWeldAndCount(benchmark::State& state) {
    MeasurePeak(state, [](facet::Mesh* mesh, facet::ThreadPool* pool) {
        std::vector<DWORD> reps(mesh->VertexCount());
        facet::MeshStatistics statistics;
        HRESULT result = facet::PointRepsFromPositions(mesh, 0.0f, reps.data(), pool);
        if (SUCCEEDED(result)) result = facet::ComputeMeshStatistics(mesh, reps.data(), &statistics, pool);
        benchmark::DoNotOptimize(&statistics);
        return result;
    });
}

void BM_AdjacencyWeldAndMatch(benchmark::State& state) {
    MeasurePeak(state, [](facet::Mesh* mesh, facet::ThreadPool* pool) {
        std::vector<DWORD> adjacency(std::size_t{3} * mesh->FaceCount());
        facet::WorkArray<DWORD> reps;
        if (!reps.Allocate(mesh->VertexCount())) return E_OUTOFMEMORY;
        HRESULT result = facet::PointRepsFromPositions(mesh, 0.0f, reps.get(), pool);
        if (SUCCEEDED(result)) result = facet::AdjacencyFromPointReps(mesh, reps.get(), adjacency.data(), pool);
        benchmark::DoNotOptimize(adjacency.data());
        return result;
    });
}

BENCHMARK(BM_InfoWeldAndCount)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_AdjacencyWeldAndMatch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
