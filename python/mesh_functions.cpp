// facet.weld, facet.adjacency, facet.vertex_normals, facet.optimize and facet.clean: the
// library's routines over arrays, each run as the program runs it on a file.
#include "functions.h"

#include "array_input.h"
#include "array_mesh.h"
#include "errors.h"
#include "numpy_output.h"
#include "thread_pools.h"

#include "facet/mesh_cleaning.h"
#include "facet/mesh_file.h"
#include "facet/normals.h"
#include "facet/weld.h"
#include "geometry/cache_miss_ratio.h"

#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace facet_python {

namespace {

// The cache sizes `facet optimize` reports.
constexpr std::uint32_t kReportedCaches[] = {16, 32};

// A routine's result: the arrays of the mesh it changed.
py::tuple MeshArrays(facet::MeshFileData&& data, py::dict report) {
    const std::size_t vertices = data.VertexCount();
    const std::size_t faces = data.FaceCount();
    return py::make_tuple(ToArray(std::move(data.positions), vertices, 3), ToArray(std::move(data.corners), faces, 3),
                          std::move(report));
}

// The adjacency of the mesh with its vertices welded within `epsilon`, the two steps of
// `facet adjacency` and `facet normals`.
HRESULT WeldedAdjacency(facet::Mesh* mesh, float epsilon, DWORD* adjacency, facet::ThreadPool* pool) {
    std::vector<DWORD> reps(mesh->VertexCount());
    const HRESULT result = facet::PointRepsFromPositions(mesh, epsilon, reps.data(), pool);
    if (FAILED(result)) return result;
    return facet::AdjacencyFromPointReps(mesh, reps.data(), adjacency, pool);
}

void RefuseNoFaces(const FaceArray& faces, const char* function) {
    if (faces.rows() == 0) ThrowValueError(std::string("facet.") + function + ": faces is empty; a mesh needs a face");
}

}  // namespace

py::array_t<std::uint32_t> Weld(py::handle positionsArg, double epsilonArg, py::handle threadsArg) {
    const float epsilon = TakeEpsilon(epsilonArg, "weld");
    const unsigned threads = TakeThreads(threadsArg, "weld");
    const FloatRows positions = TakeFloat3(positionsArg, "weld", "positions");
    std::vector<DWORD> reps(positions.rows);
    HRESULT result = D3D_OK;
    if (positions.rows > 0) {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads);
        ArrayMesh mesh;
        result = mesh.Create(positions.data(), positions.rows, nullptr);
        if (SUCCEEDED(result)) result = facet::PointRepsFromPositions(mesh.get(), epsilon, reps.data(), pool.get());
    }
    if (FAILED(result)) ThrowFailure("weld", "welding", result);
    return ToArray(std::move(reps), positions.rows, 0);
}

py::array_t<std::uint32_t> Adjacency(py::handle facesArg, py::handle positionsArg, double epsilonArg,
                                     py::handle threadsArg) {
    const float epsilon = TakeEpsilon(epsilonArg, "adjacency");
    const unsigned threads = TakeThreads(threadsArg, "adjacency");
    const FaceArray faces = TakeFaces(facesArg, "adjacency");
    std::optional<FloatRows> positions;
    std::size_t vertices = faces.VerticesNeeded();
    if (!positionsArg.is_none()) {
        positions = TakeFloat3(positionsArg, "adjacency", "positions");
        CheckCorners(faces, positions->rows, "adjacency");
        vertices = positions->rows;
    } else if (epsilon != 0.0f) {
        ThrowValueError("facet.adjacency: epsilon welds positions; pass the positions too");
    }
    std::vector<DWORD> adjacency(3 * faces.rows());
    HRESULT result = D3D_OK;
    if (faces.rows() > 0) {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads);
        ArrayMesh mesh;
        result = mesh.Create(positions ? positions->data() : nullptr, vertices, &faces);
        // With positions, vertices at one place are one point, as `facet adjacency` welds
        // them; without, only shared indices join faces.
        if (SUCCEEDED(result))
            result = positions ? WeldedAdjacency(mesh.get(), epsilon, adjacency.data(), pool.get())
                               : facet::AdjacencyFromPointReps(mesh.get(), nullptr, adjacency.data(), pool.get());
    }
    if (FAILED(result)) ThrowFailure("adjacency", "computing the adjacency", result);
    return ToArray(std::move(adjacency), faces.rows(), 3);
}

py::array_t<float> VertexNormals(py::handle positionsArg, py::handle facesArg, double epsilonArg,
                                 py::handle threadsArg) {
    const float epsilon = TakeEpsilon(epsilonArg, "vertex_normals");
    const unsigned threads = TakeThreads(threadsArg, "vertex_normals");
    const FloatRows positions = TakeFloat3(positionsArg, "vertex_normals", "positions");
    const FaceArray faces = TakeFaces(facesArg, "vertex_normals");
    CheckCorners(faces, positions.rows, "vertex_normals");
    // Zero where no face gives a vertex a direction (every vertex, without faces).
    std::vector<float> normals(3 * positions.rows, 0.0f);
    HRESULT result = D3D_OK;
    if (faces.rows() > 0) {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads);
        ArrayMesh mesh;
        result = mesh.Create(positions.data(), positions.rows, &faces);
        if (SUCCEEDED(result))
            result = facet::ComputeWeldedVertexNormals(mesh.get(), epsilon, pool.get(), normals.data());
    }
    if (FAILED(result)) ThrowFailure("vertex_normals", "computing the normals", result);
    return ToArray(std::move(normals), positions.rows, 3);
}

py::tuple Optimize(py::handle positionsArg, py::handle facesArg, py::handle threadsArg) {
    const unsigned threads = TakeThreads(threadsArg, "optimize");
    const FloatRows positions = TakeFloat3(positionsArg, "optimize", "positions");
    const FaceArray faces = TakeFaces(facesArg, "optimize");
    CheckCorners(faces, positions.rows, "optimize");
    RefuseNoFaces(faces, "optimize");
    facet::MeshFileData data;
    std::vector<DWORD> faceRemap(faces.rows());
    std::vector<DWORD> vertexRemap;
    constexpr std::size_t kCaches = std::size(kReportedCaches);
    std::vector<facet::VertexCacheStatistics> before(kCaches), after(kCaches);
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        // The order itself is found on one thread; the caches are simulated side by side.
        const PoolLease pool(threads);
        std::vector<std::uint32_t> corners(3 * faces.rows());
        faces.CopyTo(corners.data());
        facet::RunParts(pool.get(), kCaches, [&](std::size_t cache) {
            before[cache] =
                facet::SimulateVertexCache(corners.data(), faces.rows(), positions.rows, kReportedCaches[cache]);
        });
        corners = {};
        ArrayMesh mesh;
        facet::ResultBuffer* remap = nullptr;
        result = mesh.Create(positions.data(), positions.rows, &faces);
        if (SUCCEEDED(result))
            result = mesh.get()->OptimizeSelf(facet::OptimizeFlags::All, nullptr, nullptr, faceRemap.data(), &remap);
        if (SUCCEEDED(result)) result = facet::CopyMeshFileData(mesh.get(), false, &data);
        if (remap != nullptr) {
            const auto* entries = static_cast<const DWORD*>(remap->Data());
            vertexRemap.assign(entries, entries + data.VertexCount());
            remap->Release();
        }
        facet::RunParts(pool.get(), kCaches, [&](std::size_t cache) {
            after[cache] = facet::SimulateVertexCache(data.corners.data(), data.FaceCount(), data.VertexCount(),
                                                      kReportedCaches[cache]);
        });
    }
    if (FAILED(result)) ThrowFailure("optimize", "optimizing the mesh", result);
    faceRemap.resize(data.FaceCount());
    py::dict report;
    report["faces_before"] = faces.rows();
    report["faces_after"] = data.FaceCount();
    report["vertices_before"] = positions.rows;
    report["vertices_after"] = data.VertexCount();
    py::list caches;
    for (std::size_t i = 0; i < before.size(); ++i) {
        py::dict cache;
        cache["entries"] = kReportedCaches[i];
        cache["acmr_before"] = before[i].missesPerFace;
        cache["acmr_after"] = after[i].missesPerFace;
        cache["atvr_before"] = before[i].missesPerVertex;
        cache["atvr_after"] = after[i].missesPerVertex;
        caches.append(cache);
    }
    report["caches"] = caches;
    report["face_remap"] = ToArray(std::move(faceRemap), data.FaceCount(), 0);
    report["vertex_remap"] = ToArray(std::move(vertexRemap), data.VertexCount(), 0);
    return MeshArrays(std::move(data), report);
}

py::tuple Clean(py::handle positionsArg, py::handle facesArg, double epsilonArg, py::handle threadsArg) {
    const float epsilon = TakeEpsilon(epsilonArg, "clean");
    const unsigned threads = TakeThreads(threadsArg, "clean");
    const FloatRows positions = TakeFloat3(positionsArg, "clean", "positions");
    const FaceArray faces = TakeFaces(facesArg, "clean");
    CheckCorners(faces, positions.rows, "clean");
    RefuseNoFaces(faces, "clean");
    facet::MeshCleaningReport cleaning;
    facet::MeshFileData data;
    HRESULT result = D3D_OK;
    {
        py::gil_scoped_release unlocked;
        const PoolLease pool(threads);
        ArrayMesh mesh;
        result = mesh.Create(positions.data(), positions.rows, &faces);
        if (SUCCEEDED(result)) result = facet::CleanMesh(mesh.get(), epsilon, &cleaning, pool.get());
        if (SUCCEEDED(result)) result = facet::CopyMeshFileData(mesh.get(), false, &data);
    }
    if (FAILED(result)) ThrowFailure("clean", "cleaning the mesh", result);
    const DWORD changes = cleaning.weldedVertices + cleaning.degenerateFaces + cleaning.duplicateFaces +
                          cleaning.unreferencedVertices + cleaning.flippedFaces + cleaning.invertedComponents;
    py::dict report;
    report["needs_cleaning"] = changes != 0;
    report["welded_vertices"] = cleaning.weldedVertices;
    report["degenerate_faces"] = cleaning.degenerateFaces;
    report["duplicate_faces"] = cleaning.duplicateFaces;
    report["unreferenced_vertices"] = cleaning.unreferencedVertices;
    report["flipped_faces"] = cleaning.flippedFaces;
    report["inverted_components"] = cleaning.invertedComponents;
    report["faces_before"] = faces.rows();
    report["faces_after"] = data.FaceCount();
    report["vertices_before"] = positions.rows;
    report["vertices_after"] = data.VertexCount();
    report["components"] = cleaning.components;
    report["closed_components"] = cleaning.closedComponents;
    return MeshArrays(std::move(data), report);
}

}  // namespace facet_python
