// ComputeMeshStatistics: one pass over the faces gathers the degenerate and zero-area
// faces, the area and volume, the used vertices and the point components; the directed
// edges of the non-degenerate faces then go through the library's edge grouping
// (geometry/directed_edge_groups.h), whose groups give the boundary, non-manifold and
// misoriented edges and join faces into edge components.
#include "geometry/mesh_statistics.h"

#include "geometry/directed_edge_groups.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>
#include <vector>

namespace facet {

namespace {

class DisjointSets {
public:
    explicit DisjointSets(DWORD count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), DWORD{0}); }
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

struct Point {
    double x, y, z;
};

Point Minus(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point Cross(const Point& a, const Point& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

template <typename Index>
class FaceCounter {
public:
    FaceCounter(const Index* indices, const BYTE* vertices, DWORD stride, const DWORD* reps,
                MeshStatistics* statistics)
        : indices_(indices), vertices_(vertices), stride_(stride), reps_(reps), statistics_(*statistics),
          used_(statistics->vertices), points_(statistics->vertices), faceSets_(statistics->faces) {}

    HRESULT Count() {
        double sixfoldVolume = 0.0;
        for (DWORD face = 0; face < statistics_.faces; ++face) {
            DWORD point[3];
            for (int k = 0; k < 3; ++k) {
                used_[Corner(face, k)] = true;
                point[k] = reps_[Corner(face, k)];
            }
            points_.Join(point[0], point[1]);
            points_.Join(point[0], point[2]);
            const Point p0 = Position(Corner(face, 0)), p1 = Position(Corner(face, 1)), p2 = Position(Corner(face, 2));
            const Point normal = Cross(Minus(p1, p0), Minus(p2, p0));
            const double length = std::sqrt(Dot(normal, normal));
            statistics_.area += 0.5 * length;
            if (!HasEdges(face)) {
                ++statistics_.degenerateFaces;
                continue;
            }
            if (normal.x == 0.0 && normal.y == 0.0 && normal.z == 0.0) ++statistics_.zeroAreaFaces;
            sixfoldVolume += Dot(p0, Cross(p1, p2));
        }
        CountVertices();
        const HRESULT result = CountEdges();
        if (FAILED(result)) return result;
        statistics_.closed = statistics_.faces > statistics_.degenerateFaces + statistics_.zeroAreaFaces &&
                             statistics_.boundaryEdges == 0 && statistics_.nonManifoldEdges == 0;
        statistics_.hasVolume = statistics_.closed && statistics_.misorientedEdges == 0;
        if (statistics_.hasVolume) statistics_.volume = sixfoldVolume / 6.0;
        return D3D_OK;
    }

private:
    DWORD Corner(DWORD face, int k) const { return indices_[3 * std::size_t{face} + k]; }
    DWORD Key(DWORD face, int k) const { return reps_[Corner(face, k)]; }
    bool HasEdges(DWORD face) const {
        const DWORD a = Key(face, 0), b = Key(face, 1), c = Key(face, 2);
        return a != b && b != c && a != c;
    }

    Point Position(DWORD vertex) const {
        float position[3];
        std::memcpy(position, vertices_ + std::size_t{vertex} * stride_, sizeof position);
        return {position[0], position[1], position[2]};
    }

    void CountVertices() {
        std::vector<bool> counted(statistics_.vertices);
        for (DWORD v = 0; v < statistics_.vertices; ++v) {
            if (reps_[v] != v) ++statistics_.weldedPoints;
            if (!used_[v]) {
                ++statistics_.unreferencedVertices;
                continue;
            }
            const DWORD root = points_.Find(reps_[v]);
            if (!counted[root]) ++statistics_.components;
            counted[root] = true;
        }
    }

    HRESULT CountEdges() {
        DirectedEdgeGroups edges;
        const unsigned keyBits = static_cast<unsigned>(std::bit_width(std::max<DWORD>(statistics_.vertices, 2) - 1));
        const HRESULT result = edges.Record(keyBits, [&](auto&& emit) {
            for (DWORD face = 0; face < statistics_.faces; ++face) {
                if (!HasEdges(face)) continue;
                for (int k = 0; k < 3; ++k) emit(EdgeRecord::Directed(Key(face, k), Key(face, (k + 1) % 3), 3 * face + k));
            }
        });
        if (FAILED(result)) return result;
        edges.ForEachGroup([&](std::size_t start, std::size_t end) {
            const std::size_t faces = end - start;
            if (faces == 1) ++statistics_.boundaryEdges;
            if (faces >= 3) ++statistics_.nonManifoldEdges;
            if (faces == 2 && edges[start].RunsUp() == edges[start + 1].RunsUp()) ++statistics_.misorientedEdges;
            for (std::size_t r = start + 1; r < end; ++r) faceSets_.Join(edges[start].Face(), edges[r].Face());
        });
        std::vector<bool> counted(statistics_.faces);
        for (DWORD face = 0; face < statistics_.faces; ++face) {
            if (!HasEdges(face)) continue;
            const DWORD root = faceSets_.Find(face);
            if (!counted[root]) ++statistics_.edgeComponents;
            counted[root] = true;
        }
        return D3D_OK;
    }

    const Index* indices_;
    const BYTE* vertices_;
    DWORD stride_;
    const DWORD* reps_;
    MeshStatistics& statistics_;
    std::vector<bool> used_;
    DisjointSets points_;
    DisjointSets faceSets_;
};

template <typename Index>
HRESULT CountFaces(const void* indices, const void* vertices, DWORD stride, const DWORD* reps,
                   MeshStatistics* statistics) {
    FaceCounter<Index> counter(static_cast<const Index*>(indices), static_cast<const BYTE*>(vertices), stride, reps,
                               statistics);
    return counter.Count();
}

}  // namespace

HRESULT ComputeMeshStatistics(Mesh* mesh, const DWORD* pointReps, MeshStatistics* statistics) {
    *statistics = MeshStatistics{};
    statistics->vertices = mesh->VertexCount();
    statistics->faces = mesh->FaceCount();
    statistics->indices32 = (mesh->Options() & MeshOptions::Indices32Bit) != 0;
    if (statistics->faces > kMaxEdgeGroupFaces) return E_OUTOFMEMORY;
    void* indices = nullptr;
    HRESULT result = mesh->LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    void* vertices = nullptr;
    result = mesh->LockVertices(D3DLOCK_READONLY, &vertices);
    if (FAILED(result)) {
        mesh->UnlockIndices();
        return result;
    }
    try {
        result = statistics->indices32
                     ? CountFaces<DWORD>(indices, vertices, mesh->VertexStride(), pointReps, statistics)
                     : CountFaces<WORD>(indices, vertices, mesh->VertexStride(), pointReps, statistics);
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    }
    mesh->UnlockVertices();
    mesh->UnlockIndices();
    return result;
}

}  // namespace facet
