// ComputeMeshStatistics: one pass over the faces gathers the degenerate faces, the used
// vertices, the components (union-find over points) and each non-degenerate face's three
// undirected edges as 64-bit keys; sorting the keys turns edge use counts into runs.
#include "mesh_statistics.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <vector>

namespace {

class PointSets {
public:
    explicit PointSets(DWORD count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), DWORD{0}); }
    DWORD Find(DWORD x) {
        while (parent_[x] != x) x = parent_[x] = parent_[parent_[x]];
        return x;
    }
    void Join(DWORD a, DWORD b) {
        a = Find(a);
        b = Find(b);
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<DWORD> parent_;
};

template <typename Index>
void CountFaces(const Index* indices, const DWORD* reps, MeshStatistics* statistics, std::vector<bool>* used,
                PointSets* sets, std::vector<std::uint64_t>* edges) {
    for (DWORD face = 0; face < statistics->faces; ++face) {
        DWORD point[3];
        for (int k = 0; k < 3; ++k) {
            const DWORD index = indices[3 * std::size_t{face} + k];
            (*used)[index] = true;
            point[k] = reps[index];
        }
        sets->Join(point[0], point[1]);
        sets->Join(point[0], point[2]);
        if (point[0] == point[1] || point[1] == point[2] || point[0] == point[2]) {
            ++statistics->degenerateFaces;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const DWORD a = point[k], b = point[(k + 1) % 3];
            edges->push_back(std::uint64_t{std::min(a, b)} << 32 | std::max(a, b));
        }
    }
}

void CountEdges(std::vector<std::uint64_t>& edges, MeshStatistics* statistics) {
    std::sort(edges.begin(), edges.end());
    for (std::size_t start = 0; start < edges.size();) {
        std::size_t end = start + 1;
        while (end < edges.size() && edges[end] == edges[start]) ++end;
        if (end - start == 1) ++statistics->boundaryEdges;
        if (end - start >= 3) ++statistics->nonManifoldEdges;
        start = end;
    }
}

void MeasureBox(const float* vertices, MeshStatistics* statistics) {
    for (DWORD v = 0; v < statistics->vertices; ++v)
        for (int axis = 0; axis < 3; ++axis) {
            const float value = vertices[6 * std::size_t{v} + axis];
            if (v == 0 || value < statistics->minimum[axis]) statistics->minimum[axis] = value;
            if (v == 0 || value > statistics->maximum[axis]) statistics->maximum[axis] = value;
        }
}

}  // namespace

HRESULT ComputeMeshStatistics(facet::Mesh* mesh, const DWORD* pointReps, MeshStatistics* statistics) {
    *statistics = MeshStatistics{};
    statistics->vertices = mesh->VertexCount();
    statistics->faces = mesh->FaceCount();
    statistics->indices32 = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    try {
        std::vector<bool> used(statistics->vertices);
        PointSets sets(statistics->vertices);
        std::vector<std::uint64_t> edges;
        edges.reserve(std::size_t{3} * statistics->faces);
        void* data = nullptr;
        HRESULT result = mesh->LockIndices(D3DLOCK_READONLY, &data);
        if (FAILED(result)) return result;
        if (statistics->indices32)
            CountFaces(static_cast<const DWORD*>(data), pointReps, statistics, &used, &sets, &edges);
        else
            CountFaces(static_cast<const WORD*>(data), pointReps, statistics, &used, &sets, &edges);
        mesh->UnlockIndices();
        CountEdges(edges, statistics);
        std::vector<bool> counted(statistics->vertices);
        for (DWORD v = 0; v < statistics->vertices; ++v) {
            if (!used[v]) {
                ++statistics->unreferencedVertices;
                continue;
            }
            const DWORD root = sets.Find(pointReps[v]);
            if (!counted[root]) ++statistics->components;
            counted[root] = true;
        }
        statistics->closed = statistics->faces > statistics->degenerateFaces && statistics->boundaryEdges == 0 &&
                             statistics->nonManifoldEdges == 0;
        result = mesh->LockVertices(D3DLOCK_READONLY, &data);
        if (FAILED(result)) return result;
        MeasureBox(static_cast<const float*>(data), statistics);
        mesh->UnlockVertices();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
