// Reading STL beside assimp on the same file. The file is the 1 Mi-face torus of the real
// mesh benches (shuffled, with split seams that reading joins again), written once per
// process by the library's own STL writer, binary (50 MB) and ASCII (about 250 MB).
// bytes/s is the reading speed in MB/s.
//
//   ReadStlBinary / ReadStlText              ReadMeshFile: parsing, joining the corners
//                                            into shared vertices, building the mesh
//   AssimpReadStlBinary / AssimpReadStlText  assimp's ReadFile with no post-processing
//                                            (it keeps every corner a vertex of its own)
#include "facet/mesh_file.h"
#include "geometry_bench_support.h"
#include "../../tests/support/generated_meshes.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include <unistd.h>

namespace {

using geometry_bench::Device;

std::string StlFile(bool binary) {
    static std::map<bool, std::string> files;
    auto found = files.find(binary);
    if (found != files.end()) return found->second;
    const generated_meshes::MeshData mesh =
        generated_meshes::Shuffled(generated_meshes::Torus(1024, 512, 32), 17);
    facet::MeshFileData data;
    data.positions = mesh.positions;
    data.corners.assign(mesh.corners.begin(), mesh.corners.end());
    facet::MeshWriteOptions options;
    options.format = facet::MeshFileFormat::Stl;
    options.binary = binary;
    options.comment = "bench torus";
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("facet-bench-" + std::to_string(getpid()) + (binary ? "-binary" : "-text") + ".stl"))
                                 .string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && facet::WriteMeshData(file, data, options);
    if (file != nullptr) std::fclose(file);
    if (!written) return {};
    std::atexit([] {
        for (const auto& entry : files) std::remove(entry.second.c_str());
    });
    return files.emplace(binary, path).first->second;
}

void SetBytes(benchmark::State& state, const std::string& path) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void ReadWithFacet(benchmark::State& state, bool binary) {
    const std::string path = StlFile(binary);
    if (path.empty()) {
        state.SkipWithError("cannot write the STL file");
        return;
    }
    geometry_bench::TimeFacetReads(state, path);
}

void ReadWithAssimp(benchmark::State& state, bool binary) {
    const std::string path = StlFile(binary);
    if (path.empty()) {
        state.SkipWithError("cannot write the STL file");
        return;
    }
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        if (scene == nullptr || scene->mNumMeshes == 0) {
            state.SkipWithError("assimp could not read the file");
            return;
        }
        state.counters["vertices"] = scene->mMeshes[0]->mNumVertices;
    }
    SetBytes(state, path);
}

void BM_ReadStlBinary(benchmark::State& state) { ReadWithFacet(state, true); }
void BM_AssimpReadStlBinary(benchmark::State& state) { ReadWithAssimp(state, true); }
void BM_ReadStlText(benchmark::State& state) { ReadWithFacet(state, false); }
void BM_AssimpReadStlText(benchmark::State& state) { ReadWithAssimp(state, false); }

BENCHMARK(BM_ReadStlBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpReadStlBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStlText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpReadStlText)->Unit(benchmark::kMillisecond);

}  // namespace
