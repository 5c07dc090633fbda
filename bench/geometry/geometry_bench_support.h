// What the geometry benchmarks share: one headless software device for the whole run, the
// faces-per-second counters, a mesh made of generated data, and timing the library's reader.
#pragma once

#include "headless_device.h"
#include "../../tests/support/generated_meshes.h"

#include "facet/mesh.h"
#include "facet/mesh_file.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace geometry_bench {

inline IDirect3DDevice9* Device() { return facet_tools::ProcessDevice(); }

// Items per second are faces per second; "faces" shows the size.
inline void SetFaces(benchmark::State& state, std::uint64_t faces) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(faces));
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["ns_per_face"] = benchmark::Counter(static_cast<double>(faces) * 1e-9,
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

// A 32-bit mesh of position and normal (normals zero) holding `data`; the caller releases it.
inline facet::Mesh* NewFacetMesh(const generated_meshes::MeshData& data) {
    facet::Mesh* mesh = nullptr;
    if (facet::CreateMeshFromFormat(static_cast<DWORD>(data.FaceCount()), static_cast<DWORD>(data.VertexCount()),
                                    facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit,
                                    D3DFVF_XYZ | D3DFVF_NORMAL, Device(), &mesh) != D3D_OK)
        std::abort();
    void* bytes = nullptr;
    mesh->LockVertices(0, &bytes);
    for (std::size_t v = 0; v < data.VertexCount(); ++v)
        std::memcpy(static_cast<float*>(bytes) + 6 * v, &data.positions[3 * v], 12);
    mesh->UnlockVertices();
    mesh->LockIndices(0, &bytes);
    std::memcpy(bytes, data.corners.data(), data.corners.size() * 4);
    mesh->UnlockIndices();
    return mesh;
}

// Times reading `path` into a mesh with the library's reader, in bytes per second.
inline void TimeFacetReads(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        if (facet::ReadMeshFile(Device(), path.c_str(), {}, &mesh, &summary, &error) != D3D_OK) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.counters["vertices"] = mesh->VertexCount();
        mesh->Release();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

}  // namespace geometry_bench
