// Face order for the vertex cache and vertex order for fetching, beside meshoptimizer's
// meshopt_optimizeVertexCache and meshopt_optimizeVertexFetch on the same index arrays in
// the same run. Cases 0-5 are the real meshes of libcgal-demo (tests/support/
// packaged_meshes.h) in their file order; cases 6-8 are shuffled tori of 100 Ki, 1 Mi and
// 10 Mi faces (cut into 32 x 32 quad charts with split borders, as in real_mesh_bench).
// Besides the time, each cache case reports the average cache miss ratio of the result on
// FIFO caches of 16 and 32 entries (acmr16, acmr32) and of the input (input16).
//
//   FacetVertexCache     OrderFacesForVertexCache and the reordered index array
//   MeshoptVertexCache   meshopt_optimizeVertexCache
//   FacetVertexFetch     NumberVerticesByFirstUse, the vertices moved and the indices
//                        renumbered (what meshopt_optimizeVertexFetch does), after cache order
//   MeshoptVertexFetch   meshopt_optimizeVertexFetch on the same cache-ordered indices
//   FacetOptimizeSelf    Mesh::OptimizeSelf with every step on a 32-bit mesh of position and
//                        normal, including its locks and copies (a fresh copy per iteration,
//                        made untimed)
//   FacetCleanMesh       CleanMesh (weld at epsilon 0, degenerate and duplicate faces,
//                        unused vertices, winding) on the same kind of copy
//
// Run: build/bench/bench_geometry --benchmark_filter='Vertex(Cache|Fetch)|OptimizeSelf'
#include "facet/mesh.h"
#include "facet/mesh_cleaning.h"
#include "facet/mesh_file.h"
#include "geometry/cache_miss_ratio.h"
#include "geometry/vertex_cache_order.h"
#include "geometry/vertex_fetch_order.h"
#include "geometry_bench_support.h"
#include "../../tests/support/generated_meshes.h"
#include "../../tests/support/packaged_meshes.h"

#include <meshoptimizer.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using generated_meshes::MeshData;
using geometry_bench::Device;
using geometry_bench::SetFaces;

constexpr int kRealCases = 6;
constexpr int kCases = kRealCases + 3;
constexpr std::uint32_t kTori[][2] = {{320, 160}, {1024, 512}, {2560, 2048}};

struct Case {
    std::string name;
    MeshData mesh;  // empty when the package is absent
};

MeshData FromFile(const std::string& path) {
    MeshData data;
    facet::Mesh* mesh = nullptr;
    std::string error;
    facet::MeshFileSummary summary;
    if (path.empty() || facet::ReadMeshFile(Device(), path.c_str(), {}, &mesh, &summary, &error) != D3D_OK)
        return data;
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    void* bytes = nullptr;
    mesh->LockIndices(D3DLOCK_READONLY, &bytes);
    for (std::size_t i = 0; i < 3 * std::size_t{mesh->FaceCount()}; ++i)
        data.corners.push_back(wide ? static_cast<DWORD*>(bytes)[i] : static_cast<WORD*>(bytes)[i]);
    mesh->UnlockIndices();
    mesh->LockVertices(D3DLOCK_READONLY, &bytes);
    for (std::size_t v = 0; v < mesh->VertexCount(); ++v) {
        const float* p = static_cast<const float*>(bytes) + 6 * v;
        data.AddVertex(p[0], p[1], p[2]);
    }
    mesh->UnlockVertices();
    mesh->Release();
    return data;
}

const Case& CaseAt(int index) {
    static std::map<int, Case> cases;
    auto found = cases.find(index);
    if (found != cases.end()) return found->second;
    Case c;
    if (index < kRealCases) {
        c.name = packaged_meshes::Names()[index];
        c.mesh = FromFile(packaged_meshes::Meshes().Path(c.name));
    } else {
        const auto* size = kTori[index - kRealCases];
        c.name = "shuffled torus " + std::to_string(2 * size[0] * size[1]);
        c.mesh = generated_meshes::Shuffled(generated_meshes::Torus(size[0], size[1], 32), 17);
    }
    return cases.emplace(index, std::move(c)).first->second;
}

// The case, or null (with the benchmark skipped) when its mesh is not available.
const Case* Prepare(benchmark::State& state) {
    const Case& c = CaseAt(static_cast<int>(state.range(0)));
    state.SetLabel(c.name);
    if (c.mesh.corners.empty()) {
        state.SkipWithError("libcgal-demo is not installed");
        return nullptr;
    }
    return &c;
}

void ReportQuality(benchmark::State& state, const MeshData& input, const std::vector<std::uint32_t>& corners) {
    const auto ratio = [&](const std::vector<std::uint32_t>& indices, std::uint32_t cache) {
        return facet::SimulateVertexCache(indices.data(), indices.size() / 3, input.VertexCount(), cache)
            .missesPerFace;
    };
    state.counters["input16"] = ratio(input.corners, 16);
    state.counters["acmr16"] = ratio(corners, 16);
    state.counters["acmr32"] = ratio(corners, 32);
    SetFaces(state, input.FaceCount());
}

std::vector<std::uint32_t> FacetCacheOrder(const MeshData& mesh) {
    std::vector<std::uint32_t> order(mesh.FaceCount()), corners(mesh.corners.size());
    if (!facet::OrderFacesForVertexCache(mesh.corners.data(), mesh.FaceCount(), mesh.VertexCount(), order.data()))
        std::abort();
    for (std::size_t i = 0; i < order.size(); ++i)
        std::memcpy(&corners[3 * i], &mesh.corners[3 * std::size_t{order[i]}], 12);
    return corners;
}

void BM_FacetVertexCache(benchmark::State& state) {
    const Case* c = Prepare(state);
    if (c == nullptr) return;
    std::vector<std::uint32_t> corners;
    for (auto _ : state) {
        corners = FacetCacheOrder(c->mesh);
        benchmark::DoNotOptimize(corners.data());
    }
    ReportQuality(state, c->mesh, corners);
}

void BM_MeshoptVertexCache(benchmark::State& state) {
    const Case* c = Prepare(state);
    if (c == nullptr) return;
    std::vector<std::uint32_t> corners(c->mesh.corners.size());
    for (auto _ : state) {
        meshopt_optimizeVertexCache(corners.data(), c->mesh.corners.data(), corners.size(), c->mesh.VertexCount());
        benchmark::DoNotOptimize(corners.data());
    }
    ReportQuality(state, c->mesh, corners);
}

void BM_FacetVertexFetch(benchmark::State& state) {
    const Case* c = Prepare(state);
    if (c == nullptr) return;
    const std::vector<std::uint32_t> ordered = FacetCacheOrder(c->mesh);
    std::vector<std::uint32_t> corners(ordered.size()), newIndexOf;
    std::vector<float> positions(c->mesh.positions.size());
    for (auto _ : state) {
        const std::uint32_t used =
            facet::NumberVerticesByFirstUse(ordered.data(), ordered.size(), c->mesh.VertexCount(), &newIndexOf);
        for (std::size_t v = 0; v < newIndexOf.size(); ++v)
            if (newIndexOf[v] != facet::kUnusedVertex)
                std::memcpy(&positions[3 * std::size_t{newIndexOf[v]}], &c->mesh.positions[3 * v], 12);
        for (std::size_t i = 0; i < ordered.size(); ++i) corners[i] = newIndexOf[ordered[i]];
        benchmark::DoNotOptimize(used);
        benchmark::DoNotOptimize(corners.data());
    }
    SetFaces(state, c->mesh.FaceCount());
}

void BM_MeshoptVertexFetch(benchmark::State& state) {
    const Case* c = Prepare(state);
    if (c == nullptr) return;
    const std::vector<std::uint32_t> ordered = FacetCacheOrder(c->mesh);
    std::vector<std::uint32_t> corners(ordered.size());
    std::vector<float> positions(c->mesh.positions.size());
    for (auto _ : state) {
        state.PauseTiming();
        corners = ordered;
        state.ResumeTiming();
        meshopt_optimizeVertexFetch(positions.data(), corners.data(), corners.size(), c->mesh.positions.data(),
                                    c->mesh.VertexCount(), 12);
        benchmark::DoNotOptimize(corners.data());
    }
    SetFaces(state, c->mesh.FaceCount());
}

// Times `work` on a fresh copy of the case's mesh per iteration, the copy made untimed.
template <typename Work>
void TimeOnCopies(benchmark::State& state, Work&& work) {
    const Case* c = Prepare(state);
    if (c == nullptr) return;
    facet::Mesh* source = geometry_bench::NewFacetMesh(c->mesh);
    for (auto _ : state) {
        state.PauseTiming();
        facet::Mesh* mesh = nullptr;
        if (source->CloneWithFormat(source->Options(), source->VertexFormat(), Device(), &mesh) != D3D_OK)
            std::abort();
        state.ResumeTiming();
        if (work(mesh) != D3D_OK) state.SkipWithError("failed");
        state.PauseTiming();
        mesh->Release();
        state.ResumeTiming();
    }
    source->Release();
    SetFaces(state, c->mesh.FaceCount());
}

void BM_FacetOptimizeSelf(benchmark::State& state) {
    TimeOnCopies(state, [](facet::Mesh* mesh) {
        return mesh->OptimizeSelf(facet::OptimizeFlags::All, nullptr, nullptr, nullptr, nullptr);
    });
}

void BM_FacetCleanMesh(benchmark::State& state) {
    TimeOnCopies(state, [](facet::Mesh* mesh) {
        facet::MeshCleaningReport report;
        return facet::CleanMesh(mesh, 0.0f, &report);
    });
}

void Cases(benchmark::internal::Benchmark* b) {
    b->DenseRange(0, kCases - 1)->Unit(benchmark::kMillisecond)->MinTime(0.2);
}

BENCHMARK(BM_FacetVertexCache)->Apply(Cases);
BENCHMARK(BM_MeshoptVertexCache)->Apply(Cases);
BENCHMARK(BM_FacetVertexFetch)->Apply(Cases);
BENCHMARK(BM_MeshoptVertexFetch)->Apply(Cases);
BENCHMARK(BM_FacetOptimizeSelf)->Apply(Cases);
BENCHMARK(BM_FacetCleanMesh)->Apply(Cases);

}  // namespace
