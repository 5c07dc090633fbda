// PointRepsFromPositions on one torus of about 100 Ki vertices, split into charts along
// whose borders every vertex is repeated: with epsilon 0 (exact positions), with an
// epsilon far below the floats' spacing (1e-30), with a moderate one (1e-5), and with the
// torus moved out to 1e13 and to 1e30 where 1e-6 is far below the spacing again. Every
// case is linear in the vertex count; a moderate epsilon looks in more cells per vertex.
// Items per second are vertices per second.
#include "facet/weld.h"
#include "geometry_bench_support.h"

#include "../../tests/support/generated_meshes.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct WeldCase {
    const char* label;
    float epsilon;
    float scale;
};

constexpr WeldCase kCases[] = {
    {"epsilon 0", 0.0f, 1.0f},           {"epsilon 1e-30", 1e-30f, 1.0f},    {"epsilon 1e-5", 1e-5f, 1.0f},
    {"at 1e13, epsilon 1e-6", 1e-6f, 1e13f}, {"at 1e30, epsilon 1e-6", 1e-6f, 1e30f},
};

// The torus (320 x 300 quads, charts of 16 x 16: 108,460 vertices) at `scale`, as a
// 32-bit position-and-normal mesh.
facet::Mesh* TorusMesh(float scale) {
    const generated_meshes::MeshData torus = generated_meshes::Torus(320, 300, 16);
    facet::Mesh* mesh = nullptr;
    if (FAILED(facet::CreateMeshFromFormat(static_cast<DWORD>(torus.FaceCount()), static_cast<DWORD>(torus.VertexCount()),
                                           facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit,
                                           D3DFVF_XYZ | D3DFVF_NORMAL, geometry_bench::Device(), &mesh)))
        return nullptr;
    void* data = nullptr;
    mesh->LockIndices(0, &data);
    std::memcpy(data, torus.corners.data(), torus.corners.size() * sizeof(std::uint32_t));
    mesh->UnlockIndices();
    mesh->LockVertices(0, &data);
    auto* floats = static_cast<float*>(data);
    for (std::size_t v = 0; v < torus.VertexCount(); ++v)
        for (int c = 0; c < 3; ++c) {
            floats[6 * v + c] = scale * torus.positions[3 * v + c];
            floats[6 * v + 3 + c] = 0.0f;
        }
    mesh->UnlockVertices();
    return mesh;
}

void BM_PointRepsFromPositions(benchmark::State& state) {
    const WeldCase& weld = kCases[state.range(0)];
    facet::Mesh* mesh = TorusMesh(weld.scale);
    if (mesh == nullptr) {
        state.SkipWithError("the mesh could not be created");
        return;
    }
    std::vector<DWORD> reps(mesh->VertexCount());
    for (auto _ : state) {
        if (FAILED(facet::PointRepsFromPositions(mesh, weld.epsilon, reps.data()))) {
            state.SkipWithError("the weld failed");
            break;
        }
        benchmark::DoNotOptimize(reps.data());
    }
    state.SetLabel(weld.label);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * mesh->VertexCount());
    state.counters["vertices"] = mesh->VertexCount();
    mesh->Release();
}
BENCHMARK(BM_PointRepsFromPositions)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
