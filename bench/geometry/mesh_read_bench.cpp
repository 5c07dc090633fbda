// Reading speed of every mesh format, in-process and single-threaded, from a file in the
// page cache. The mesh is the 1 Mi-face torus of the real mesh benches (shuffled, with
// split seams), written once per process by the library's own writers: binary PLY
// (about 19 MB), binary STL (50 MB), OBJ and OFF (about 40 MB each), ASCII PLY.
// bytes/s is the reading speed: ReadMeshFile from open to the built mesh.
//
// A larger file of one's own is timed with FACET_READ_BENCH_FILE=PATH (BM_ReadGivenFile;
// BM_ReadGivenFileOnThreads/N reads it with a pool of N threads: binary PLY in parts, text
// bodies of 4 MiB and more in chunks split at line ends).
#include "facet/mesh_file.h"
#include "facet/thread_pool.h"
#include "geometry_bench_support.h"
#include "../../tests/support/generated_meshes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <unistd.h>

namespace {

struct FileKind {
    facet::MeshFileFormat format;
    bool binary;
    const char* extension;
};

std::string WrittenFile(const FileKind& kind) {
    static std::map<std::string, std::string> files;
    const std::string key = std::string(kind.extension) + (kind.binary ? "-binary" : "-text");
    auto found = files.find(key);
    if (found != files.end()) return found->second;
    const generated_meshes::MeshData mesh = generated_meshes::Shuffled(generated_meshes::Torus(1024, 512, 32), 17);
    facet::MeshFileData data;
    data.positions = mesh.positions;
    data.corners.assign(mesh.corners.begin(), mesh.corners.end());
    facet::MeshWriteOptions options;
    options.format = kind.format;
    options.binary = kind.binary;
    options.comment = "bench torus";
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("facet-read-bench-" + std::to_string(getpid()) + "-" + key + kind.extension))
                                 .string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && facet::WriteMeshData(file, data, options);
    if (file != nullptr) std::fclose(file);
    if (!written) return {};
    if (files.empty())
        std::atexit([] {
            for (const auto& entry : files) std::remove(entry.second.c_str());
        });
    return files.emplace(key, path).first->second;
}

void TimeKind(benchmark::State& state, const FileKind& kind) {
    const std::string path = WrittenFile(kind);
    if (path.empty()) {
        state.SkipWithError("cannot write the mesh file");
        return;
    }
    geometry_bench::TimeFacetReads(state, path);
}

void BM_ReadPlyBinary(benchmark::State& state) { TimeKind(state, {facet::MeshFileFormat::Ply, true, ".ply"}); }
void BM_ReadPlyText(benchmark::State& state) { TimeKind(state, {facet::MeshFileFormat::Ply, false, ".ply"}); }
void BM_ReadStlBinaryTorus(benchmark::State& state) { TimeKind(state, {facet::MeshFileFormat::Stl, true, ".stl"}); }
void BM_ReadObj(benchmark::State& state) { TimeKind(state, {facet::MeshFileFormat::Obj, false, ".obj"}); }
void BM_ReadOff(benchmark::State& state) { TimeKind(state, {facet::MeshFileFormat::Off, false, ".off"}); }

void BM_ReadGivenFile(benchmark::State& state) {
    const char* path = std::getenv("FACET_READ_BENCH_FILE");
    if (path == nullptr) {
        state.SkipWithError("set FACET_READ_BENCH_FILE to the file to read");
        return;
    }
    geometry_bench::TimeFacetReads(state, path);
}

void BM_ReadGivenFileOnThreads(benchmark::State& state) {
    const char* path = std::getenv("FACET_READ_BENCH_FILE");
    if (path == nullptr) {
        state.SkipWithError("set FACET_READ_BENCH_FILE to the file to read");
        return;
    }
    facet::ThreadPool pool(static_cast<unsigned>(state.range(0)));
    facet::MeshReadOptions options;
    options.pool = &pool;
    for (auto _ : state) {
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        if (facet::ReadMeshFile(geometry_bench::Device(), path, options, &mesh, &summary, &error) != D3D_OK) {
            state.SkipWithError(error.c_str());
            return;
        }
        mesh->Release();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

BENCHMARK(BM_ReadPlyBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPlyText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStlBinaryTorus)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadObj)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGivenFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGivenFileOnThreads)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
