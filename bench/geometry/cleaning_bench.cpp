// CleanMesh (weld at equal positions, degenerate and duplicate faces, unreferenced
// vertices, winding) on a 10 M-face mesh: by default the generated torus of 2500 x 2000
// quads cut into charts of 50 x 50, whose chart borders repeat every vertex (5.2 M vertices
// at 5.0 M points); with FACET_CLEANING_MESH set, the mesh file it names (read once, not
// timed), which is how bench/geometry/cleaning_vs_open3d.py times both libraries on one
// mesh. Each iteration cleans a fresh copy; only CleanMesh is timed. The counters are the
// report's counts, so a run shows what was cleaned.
#include "facet/mesh_cleaning.h"
#include "facet/mesh_file.h"
#include "geometry_bench_support.h"

#include "../../tests/support/generated_meshes.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using generated_meshes::MeshData;

// The mesh file's positions and triangles; empty after printing why when it cannot be read.
MeshData ReadMesh(const char* path) {
    MeshData data;
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    std::string error;
    if (FAILED(facet::ReadMeshFile(geometry_bench::Device(), path, {}, &mesh, &summary, &error))) {
        std::fprintf(stderr, "cleaning bench: %s\n", error.c_str());
        return data;
    }
    data.corners.resize(std::size_t{3} * mesh->FaceCount());
    data.positions.resize(std::size_t{3} * mesh->VertexCount());
    void* bytes = nullptr;
    mesh->LockIndices(D3DLOCK_READONLY, &bytes);
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    for (std::size_t i = 0; i < data.corners.size(); ++i)
        data.corners[i] = wide ? static_cast<const DWORD*>(bytes)[i] : static_cast<const WORD*>(bytes)[i];
    mesh->UnlockIndices();
    mesh->LockVertices(D3DLOCK_READONLY, &bytes);
    const auto* floats = static_cast<const float*>(bytes);  // position and normal per vertex
    for (std::size_t v = 0; v < mesh->VertexCount(); ++v)
        std::memcpy(&data.positions[3 * v], floats + 6 * v, 3 * sizeof(float));
    mesh->UnlockVertices();
    mesh->Release();
    return data;
}

const MeshData& Source() {
    static const MeshData source = [] {
        const char* path = std::getenv("FACET_CLEANING_MESH");
        return path != nullptr && *path != '\0' ? ReadMesh(path) : generated_meshes::Torus(2500, 2000, 50);
    }();
    return source;
}

// A 32-bit position-and-normal mesh holding `data`, or null.
facet::Mesh* MakeMesh(const MeshData& data) {
    facet::Mesh* mesh = nullptr;
    if (FAILED(facet::CreateMeshFromFormat(static_cast<DWORD>(data.FaceCount()), static_cast<DWORD>(data.VertexCount()),
                                           facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit,
                                           D3DFVF_XYZ | D3DFVF_NORMAL, geometry_bench::Device(), &mesh)))
        return nullptr;
    void* bytes = nullptr;
    mesh->LockIndices(0, &bytes);
    std::memcpy(bytes, data.corners.data(), data.corners.size() * sizeof(std::uint32_t));
    mesh->UnlockIndices();
    mesh->LockVertices(0, &bytes);
    auto* floats = static_cast<float*>(bytes);
    for (std::size_t v = 0; v < data.VertexCount(); ++v) {
        std::memcpy(floats + 6 * v, &data.positions[3 * v], 3 * sizeof(float));
        std::memset(floats + 6 * v + 3, 0, 3 * sizeof(float));
    }
    mesh->UnlockVertices();
    return mesh;
}

void BM_CleanMesh(benchmark::State& state) {
    const MeshData& source = Source();
    if (source.corners.empty()) {
        state.SkipWithError("no mesh to clean");
        return;
    }
    facet::MeshCleaningReport report;
    for (auto _ : state) {
        state.PauseTiming();
        facet::Mesh* mesh = MakeMesh(source);
        state.ResumeTiming();
        if (mesh == nullptr || FAILED(facet::CleanMesh(mesh, 0.0f, &report))) {
            state.SkipWithError("the mesh could not be made or cleaned");
            if (mesh != nullptr) mesh->Release();
            break;
        }
        state.PauseTiming();
        mesh->Release();
        state.ResumeTiming();
    }
    state.SetLabel(std::getenv("FACET_CLEANING_MESH") != nullptr ? "mesh file" : "generated torus");
    geometry_bench::SetFaces(state, source.FaceCount());
    state.counters["vertices"] = static_cast<double>(source.VertexCount());
    state.counters["welded"] = report.weldedVertices;
    state.counters["degenerate"] = report.degenerateFaces;
    state.counters["duplicate"] = report.duplicateFaces;
    state.counters["unreferenced"] = report.unreferencedVertices;
    state.counters["flipped"] = report.flippedFaces;
}
BENCHMARK(BM_CleanMesh)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
