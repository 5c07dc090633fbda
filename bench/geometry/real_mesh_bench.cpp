// Facet on meshes shaped like real files, beside peer libraries doing the same work in
// the same run. The meshes are tori of 100 Ki, 1 Mi and 10 Mi faces, cut into 32 x 32
// quad charts whose border vertices are split (as texture seams split them), with vertex
// numbering and face order shuffled. Each is generated once per process.
//
//   WeldAdjacency        PointRepsFromPositions (epsilon 0) + Mesh::AdjacencyFromPointReps
//   MeshoptAdjacency     meshopt_generateAdjacencyIndexBuffer, which also welds by position
//   WeldNormals          PointRepsFromPositions + AdjacencyFromPointReps + ComputeVertexNormals
//                        with that adjacency (normals shared across seams)
//   OpenMeshNormals      building an OpenMesh TriMesh from the welded mesh (add_vertex,
//                        add_face) and update_vertex_normals (face normals first); OpenMesh
//                        has no welding, so it is handed the welded faces
//   OpenMeshNormalsOnly  update_vertex_normals alone on an OpenMesh built beforehand
//   Read*                1 Mi-face files (binary PLY, OBJ) read into a mesh; bytes/s is MB/s
//   Assimp*              assimp reading the same file with no post-processing
#include "facet/mesh.h"
#include "facet/mesh_file.h"
#include "facet/normals.h"
#include "facet/weld.h"
#include "geometry_bench_support.h"
#include "../../tests/support/generated_meshes.h"

#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <meshoptimizer.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace {

using generated_meshes::MeshData;
using geometry_bench::Device;
using geometry_bench::SetFaces;

// rings x sides quads of two faces: 102400, 1048576 and 10485760 faces.
constexpr std::uint32_t kSizes[][2] = {{320, 160}, {1024, 512}, {2560, 2048}};
constexpr std::uint32_t kChart = 32;

const MeshData& Generated(int size) {
    static std::map<int, MeshData> meshes;
    auto found = meshes.find(size);
    if (found == meshes.end())
        found = meshes.emplace(size, generated_meshes::Shuffled(
                                         generated_meshes::Torus(kSizes[size][0], kSizes[size][1], kChart), 17))
                    .first;
    return found->second;
}

// The generated mesh as a 32-bit Facet mesh of position and normal per vertex.
facet::Mesh* FacetMesh(int size) {
    static std::map<int, facet::Mesh*> meshes;
    auto found = meshes.find(size);
    if (found != meshes.end()) return found->second;
    facet::Mesh* mesh = geometry_bench::NewFacetMesh(Generated(size));
    return meshes.emplace(size, mesh).first->second;
}

// Runs `work` once untimed, then once per timed iteration. Generating the meshes frees
// gigabytes, and the host of a virtual machine may take freed memory back, so a first call
// would be timed with the host's page faults rather than with its own work.
template <typename Work>
void TimeAfterOneCall(benchmark::State& state, Work&& work) {
    work();
    for (auto _ : state) work();
}

void BM_WeldAdjacency(benchmark::State& state) {
    facet::Mesh* mesh = FacetMesh(static_cast<int>(state.range(0)));
    std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * std::size_t{mesh->FaceCount()});
    TimeAfterOneCall(state, [&] {
        if (facet::PointRepsFromPositions(mesh, 0.0f, reps.data()) != D3D_OK ||
            mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()) != D3D_OK)
            state.SkipWithError("failed");
        benchmark::DoNotOptimize(adjacency.data());
    });
    SetFaces(state, mesh->FaceCount());
}

void BM_MeshoptAdjacency(benchmark::State& state) {
    const MeshData& data = Generated(static_cast<int>(state.range(0)));
    std::vector<unsigned> destination(2 * data.corners.size());
    TimeAfterOneCall(state, [&] {
        meshopt_generateAdjacencyIndexBuffer(destination.data(), data.corners.data(), data.corners.size(),
                                             data.positions.data(), data.VertexCount(), 12);
        benchmark::DoNotOptimize(destination.data());
    });
    SetFaces(state, data.FaceCount());
}

void BM_WeldNormals(benchmark::State& state) {
    facet::Mesh* mesh = FacetMesh(static_cast<int>(state.range(0)));
    std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * std::size_t{mesh->FaceCount()});
    TimeAfterOneCall(state, [&] {
        if (facet::PointRepsFromPositions(mesh, 0.0f, reps.data()) != D3D_OK ||
            mesh->AdjacencyFromPointReps(reps.data(), adjacency.data()) != D3D_OK ||
            facet::ComputeVertexNormals(mesh, adjacency.data()) != D3D_OK)
            state.SkipWithError("failed");
    });
    SetFaces(state, mesh->FaceCount());
}

using PeerMesh = OpenMesh::TriMesh_ArrayKernelT<>;

// The welded mesh handed to OpenMesh: one vertex per representative, faces on those.
struct WeldedFaces {
    std::vector<float> positions;
    std::vector<std::uint32_t> corners;
};

const WeldedFaces& Welded(int size) {
    static std::map<int, WeldedFaces> welded;
    auto found = welded.find(size);
    if (found != welded.end()) return found->second;
    facet::Mesh* mesh = FacetMesh(size);
    const MeshData& data = Generated(size);
    std::vector<DWORD> reps(mesh->VertexCount());
    facet::PointRepsFromPositions(mesh, 0.0f, reps.data());
    WeldedFaces out;
    std::vector<std::uint32_t> number(reps.size(), 0xFFFFFFFF);
    for (std::size_t v = 0; v < reps.size(); ++v)
        if (reps[v] == v) {
            number[v] = static_cast<std::uint32_t>(out.positions.size() / 3);
            out.positions.insert(out.positions.end(), &data.positions[3 * v], &data.positions[3 * v] + 3);
        }
    for (std::uint32_t corner : data.corners) out.corners.push_back(number[reps[corner]]);
    return welded.emplace(size, std::move(out)).first->second;
}

void BuildPeerMesh(const WeldedFaces& welded, PeerMesh* mesh) {
    mesh->request_vertex_normals();
    mesh->request_face_normals();
    std::vector<PeerMesh::VertexHandle> handles;
    handles.reserve(welded.positions.size() / 3);
    for (std::size_t v = 0; v < welded.positions.size() / 3; ++v)
        handles.push_back(mesh->add_vertex(
            PeerMesh::Point(welded.positions[3 * v], welded.positions[3 * v + 1], welded.positions[3 * v + 2])));
    for (std::size_t f = 0; f < welded.corners.size() / 3; ++f)
        mesh->add_face(handles[welded.corners[3 * f]], handles[welded.corners[3 * f + 1]],
                       handles[welded.corners[3 * f + 2]]);
}

void BM_OpenMeshNormals(benchmark::State& state) {
    const WeldedFaces& welded = Welded(static_cast<int>(state.range(0)));
    TimeAfterOneCall(state, [&] {
        PeerMesh mesh;
        BuildPeerMesh(welded, &mesh);
        mesh.update_face_normals();
        mesh.update_vertex_normals();
        benchmark::DoNotOptimize(mesh.normal(PeerMesh::VertexHandle(0)));
    });
    SetFaces(state, welded.corners.size() / 3);
}

void BM_OpenMeshNormalsOnly(benchmark::State& state) {
    const WeldedFaces& welded = Welded(static_cast<int>(state.range(0)));
    PeerMesh mesh;
    BuildPeerMesh(welded, &mesh);
    TimeAfterOneCall(state, [&] {
        mesh.update_face_normals();
        mesh.update_vertex_normals();
        benchmark::DoNotOptimize(mesh.normal(PeerMesh::VertexHandle(0)));
    });
    SetFaces(state, welded.corners.size() / 3);
}

// The 1 Mi-face mesh written once per process as a file of each kind.
std::string MeshFile(const char* kind) {
    static std::map<std::string, std::string> files;
    auto found = files.find(kind);
    if (found != files.end()) return found->second;
    const MeshData& data = Generated(1);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("facet-bench-" + std::to_string(getpid()) + "." + kind))
                                 .string();
    const std::string bytes = std::string(kind) == "ply"
                                  ? generated_meshes::ToPly(data, generated_meshes::PlyEncoding::LittleEndian)
                                  : generated_meshes::ToObj(data);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    std::atexit([] {
        for (const auto& entry : files) std::remove(entry.second.c_str());
    });
    return files.emplace(kind, path).first->second;
}

void ReadWithFacet(benchmark::State& state, const char* kind) { geometry_bench::TimeFacetReads(state, MeshFile(kind)); }

void ReadWithAssimp(benchmark::State& state, const char* kind) {
    const std::string path = MeshFile(kind);
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        if (scene == nullptr || scene->mNumMeshes == 0) {
            state.SkipWithError("assimp could not read the file");
            break;
        }
        benchmark::DoNotOptimize(scene->mMeshes[0]->mNumFaces);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_ReadPly(benchmark::State& state) { ReadWithFacet(state, "ply"); }
void BM_AssimpReadPly(benchmark::State& state) { ReadWithAssimp(state, "ply"); }
void BM_ReadObj(benchmark::State& state) { ReadWithFacet(state, "obj"); }
void BM_AssimpReadObj(benchmark::State& state) { ReadWithAssimp(state, "obj"); }

void Sizes(benchmark::internal::Benchmark* benchmark) {
    for (int size = 0; size < 3; ++size) benchmark->Arg(size);
    benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_WeldAdjacency)->Apply(Sizes);
BENCHMARK(BM_MeshoptAdjacency)->Apply(Sizes);
BENCHMARK(BM_WeldNormals)->Apply(Sizes);
BENCHMARK(BM_OpenMeshNormals)->Apply(Sizes);
BENCHMARK(BM_OpenMeshNormalsOnly)->Apply(Sizes);
BENCHMARK(BM_ReadPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpReadPly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadObj)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpReadObj)->Unit(benchmark::kMillisecond);

}  // namespace
