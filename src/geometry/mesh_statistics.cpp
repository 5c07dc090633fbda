// ComputeMeshStatistics: one pass over the faces gathers the degenerate and zero-area
// faces, the area and volume, the used vertices and the point components; the directed
// edges of the non-degenerate faces then go through the library's edge grouping
// (geometry/directed_edge_groups.h), whose groups give the boundary, non-manifold and
// misoriented edges and join faces into edge components.
//
// Components come from disjoint sets that several threads may join at once: a root is
// linked under the smaller of the two roots by compare-and-swap, and a walk to a root
// only ever points a node at one of its ancestors (the compilers' relaxed atomic builtins
// on the plain arrays, since the page's standard library has no std::atomic_ref). The count of components does not
// depend on the order of the joins, so it is the same for every number of threads. On a
// mesh in no particular order every step of the face pass is a cache miss; the data of a
// face some way ahead is fetched early, so the misses overlap.
#include "geometry/mesh_statistics.h"

#include "geometry/directed_edge_groups.h"
#include "geometry/work_array.h"

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
    bool Allocate(DWORD count, ThreadPool* pool) {
        if (!parent_.Allocate(count)) return false;
        // One thread links roots with a plain store: a locked exchange would stop the
        // fetches ahead from overlapping.
        shared_ = pool != nullptr && pool->Size() > 1;
        const std::size_t parts = PartsFor(pool, count);
        RunParts(pool, parts, [&](std::size_t part) {
            const DWORD first = static_cast<DWORD>(PartStart(count, parts, part));
            std::iota(parent_.get() + first, parent_.get() + PartStart(count, parts, part + 1), first);
        });
        return true;
    }
    DWORD Find(DWORD x) const {
        for (;;) {
            const DWORD parent = Load(x);
            if (parent == x) return x;
            const DWORD grandparent = Load(parent);
            if (grandparent != parent) __atomic_store_n(&parent_[x], grandparent, __ATOMIC_RELAXED);
            x = grandparent;
        }
    }
    void Join(DWORD a, DWORD b) const {
        for (;;) {
            a = Find(a);
            b = Find(b);
            if (a == b) return;
            if (a < b) std::swap(a, b);
            if (!shared_) {
                parent_[a] = b;
                return;
            }
            DWORD expected = a;
            if (__atomic_compare_exchange_n(&parent_[a], &expected, b, false, __ATOMIC_RELAXED, __ATOMIC_RELAXED))
                return;
        }
    }
    bool IsRoot(DWORD x) const { return Load(x) == x; }
    void Prefetch(DWORD x) const { __builtin_prefetch(&parent_[x], 1); }

private:
    DWORD Load(DWORD x) const { return __atomic_load_n(&parent_[x], __ATOMIC_RELAXED); }
    WorkArray<DWORD> parent_;
    bool shared_ = false;
};

// A flag per element that threads may set at once.
class Flags {
public:
    bool Allocate(DWORD count, ThreadPool* pool) {
        if (!flags_.Allocate(count)) return false;
        const std::size_t parts = PartsFor(pool, count);
        RunParts(pool, parts, [&](std::size_t part) {
            std::fill(flags_.get() + PartStart(count, parts, part), flags_.get() + PartStart(count, parts, part + 1), 0);
        });
        return true;
    }
    void Set(DWORD i) const { __atomic_store_n(&flags_[i], static_cast<unsigned char>(1), __ATOMIC_RELAXED); }
    bool IsSet(DWORD i) const { return __atomic_load_n(&flags_[i], __ATOMIC_RELAXED) != 0; }
    void Prefetch(DWORD i) const { __builtin_prefetch(&flags_[i], 1); }

private:
    WorkArray<unsigned char> flags_;
};

struct Point {
    double x, y, z;
};

Point Minus(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point Cross(const Point& a, const Point& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// What one run of faces adds up to.
struct FaceRunSums {
    double area = 0.0;
    double sixfoldVolume = 0.0;
    DWORD degenerateFaces = 0;
    DWORD zeroAreaFaces = 0;
};

constexpr DWORD kFacesPerRun = 1u << 16;
constexpr DWORD kPrefetchFaces = 16;

struct EdgeCounts {
    std::uint64_t boundary = 0;
    std::uint64_t nonManifold = 0;
    std::uint64_t misoriented = 0;
};

template <typename Index>
class FaceCounter {
public:
    FaceCounter(const Index* indices, const BYTE* vertices, DWORD stride, const DWORD* reps,
                MeshStatistics* statistics, ThreadPool* pool)
        : indices_(indices), vertices_(vertices), stride_(stride), reps_(reps), statistics_(*statistics),
          pool_(pool) {}

    HRESULT Count() {
        const DWORD vertices = statistics_.vertices, faces = statistics_.faces;
        if (!usedVertices_.Allocate(vertices, pool_) || !usedPoints_.Allocate(vertices, pool_) ||
            !points_.Allocate(vertices, pool_))
            return E_OUTOFMEMORY;
        const DWORD runs = (faces + kFacesPerRun - 1) / kFacesPerRun;
        std::vector<FaceRunSums> sums(runs);
        const std::size_t parts = PartsFor(pool_, runs, 1);
        RunParts(pool_, parts, [&](std::size_t part) {
            for (std::size_t run = PartStart(runs, parts, part); run < PartStart(runs, parts, part + 1); ++run)
                sums[run] = CountRun(static_cast<DWORD>(run) * kFacesPerRun,
                                     static_cast<DWORD>(std::min<std::uint64_t>(faces, (run + 1) * std::uint64_t{kFacesPerRun})));
        });
        double sixfoldVolume = 0.0;
        for (const FaceRunSums& run : sums) {
            statistics_.area += run.area;
            sixfoldVolume += run.sixfoldVolume;
            statistics_.degenerateFaces += run.degenerateFaces;
            statistics_.zeroAreaFaces += run.zeroAreaFaces;
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

    const BYTE* VertexAt(DWORD vertex) const { return vertices_ + std::size_t{vertex} * stride_; }
    Point Position(DWORD vertex) const {
        float position[3];
        std::memcpy(position, VertexAt(vertex), sizeof position);
        return {position[0], position[1], position[2]};
    }

    // Fetches what the face pass will read of `face` (its representatives and positions)
    // and, for a nearer face whose representatives have arrived, what it will write.
    void PrefetchAhead(DWORD face, DWORD last) const {
        if (face + 2 * kPrefetchFaces < last)
            for (int k = 0; k < 3; ++k) {
                const DWORD corner = Corner(face + 2 * kPrefetchFaces, k);
                __builtin_prefetch(&reps_[corner]);
                __builtin_prefetch(VertexAt(corner));
                usedVertices_.Prefetch(corner);
            }
        if (face + kPrefetchFaces < last)
            for (int k = 0; k < 3; ++k) {
                const DWORD point = Key(face + kPrefetchFaces, k);
                points_.Prefetch(point);
                usedPoints_.Prefetch(point);
            }
    }

    FaceRunSums CountRun(DWORD first, DWORD last) const {
        FaceRunSums sums;
        for (DWORD face = first; face < last; ++face) {
            PrefetchAhead(face, last);
            DWORD point[3];
            for (int k = 0; k < 3; ++k) {
                usedVertices_.Set(Corner(face, k));
                point[k] = Key(face, k);
                usedPoints_.Set(point[k]);
            }
            points_.Join(point[0], point[1]);
            points_.Join(point[0], point[2]);
            const Point p0 = Position(Corner(face, 0)), p1 = Position(Corner(face, 1)), p2 = Position(Corner(face, 2));
            const Point normal = Cross(Minus(p1, p0), Minus(p2, p0));
            const double length = std::sqrt(Dot(normal, normal));
            sums.area += 0.5 * length;
            if (!HasEdges(face)) {
                ++sums.degenerateFaces;
                continue;
            }
            if (normal.x == 0.0 && normal.y == 0.0 && normal.z == 0.0) ++sums.zeroAreaFaces;
            sums.sixfoldVolume += Dot(p0, Cross(p1, p2));
        }
        return sums;
    }

    // A component is a root of the point sets that some used vertex stands on.
    void CountVertices() {
        const DWORD vertices = statistics_.vertices;
        const std::size_t parts = PartsFor(pool_, vertices);
        std::vector<MeshStatistics> counts(parts);
        RunParts(pool_, parts, [&](std::size_t part) {
            MeshStatistics& count = counts[part];
            for (DWORD v = static_cast<DWORD>(PartStart(vertices, parts, part)); v < PartStart(vertices, parts, part + 1);
                 ++v) {
                if (reps_[v] != v) ++count.weldedPoints;
                if (!usedVertices_.IsSet(v)) ++count.unreferencedVertices;
                if (usedPoints_.IsSet(v) && points_.IsRoot(v)) ++count.components;
            }
        });
        for (const MeshStatistics& count : counts) {
            statistics_.weldedPoints += count.weldedPoints;
            statistics_.unreferencedVertices += count.unreferencedVertices;
            statistics_.components += count.components;
        }
    }

    void EmitEdges(DWORD first, DWORD last, auto&& emit) const {
        for (DWORD face = first; face < last; ++face) {
            if (face + kPrefetchFaces < last)
                for (int k = 0; k < 3; ++k) __builtin_prefetch(&reps_[Corner(face + kPrefetchFaces, k)]);
            if (!HasEdges(face)) continue;
            for (int k = 0; k < 3; ++k) emit(EdgeRecord::Directed(Key(face, k), Key(face, (k + 1) % 3), 3 * face + k));
        }
    }

    HRESULT CountEdges() {
        const DWORD faces = statistics_.faces;
        if (!faceSets_.Allocate(faces, pool_)) return E_OUTOFMEMORY;
        DirectedEdgeGroups edges;
        const unsigned keyBits = static_cast<unsigned>(std::bit_width(std::max<DWORD>(statistics_.vertices, 2) - 1));
        const std::size_t faceParts = PartsFor(pool_, faces);
        const HRESULT result = edges.Record(keyBits, pool_, faceParts, [&](std::size_t part, auto&& emit) {
            EmitEdges(static_cast<DWORD>(PartStart(faces, faceParts, part)),
                      static_cast<DWORD>(PartStart(faces, faceParts, part + 1)), emit);
        });
        if (FAILED(result)) return result;
        const std::vector<std::size_t> bounds = edges.PartBounds(PartsFor(pool_, edges.Size()));
        std::vector<EdgeCounts> counts(bounds.size() - 1);
        RunParts(pool_, counts.size(), [&](std::size_t part) {
            EdgeCounts& count = counts[part];
            std::size_t prefetched = bounds[part];
            edges.ForEachGroupIn(
                bounds[part], bounds[part + 1],
                [&](std::size_t runStart) {
                    for (const std::size_t ahead = std::min(runStart + 64, bounds[part + 1]); prefetched < ahead;
                         ++prefetched)
                        faceSets_.Prefetch(edges[prefetched].Face());
                },
                [&](std::size_t start, std::size_t end) {
                    const std::size_t groupFaces = end - start;
                    if (groupFaces == 1) ++count.boundary;
                    if (groupFaces >= 3) ++count.nonManifold;
                    if (groupFaces == 2 && edges[start].RunsUp() == edges[start + 1].RunsUp()) ++count.misoriented;
                    for (std::size_t r = start + 1; r < end; ++r) faceSets_.Join(edges[start].Face(), edges[r].Face());
                });
        });
        for (const EdgeCounts& count : counts) {
            statistics_.boundaryEdges += count.boundary;
            statistics_.nonManifoldEdges += count.nonManifold;
            statistics_.misorientedEdges += count.misoriented;
        }
        // Only faces with edges are ever joined, so every joined face's root has edges.
        const std::size_t parts = PartsFor(pool_, faces);
        std::vector<DWORD> components(parts, 0);
        RunParts(pool_, parts, [&](std::size_t part) {
            for (DWORD face = static_cast<DWORD>(PartStart(faces, parts, part)); face < PartStart(faces, parts, part + 1);
                 ++face)
                if (faceSets_.IsRoot(face) && HasEdges(face)) ++components[part];
        });
        for (const DWORD count : components) statistics_.edgeComponents += count;
        return D3D_OK;
    }

    const Index* indices_;
    const BYTE* vertices_;
    DWORD stride_;
    const DWORD* reps_;
    MeshStatistics& statistics_;
    ThreadPool* pool_;
    Flags usedVertices_;
    Flags usedPoints_;
    DisjointSets points_;
    DisjointSets faceSets_;
};

template <typename Index>
HRESULT CountFaces(const void* indices, const void* vertices, DWORD stride, const DWORD* reps,
                   MeshStatistics* statistics, ThreadPool* pool) {
    FaceCounter<Index> counter(static_cast<const Index*>(indices), static_cast<const BYTE*>(vertices), stride, reps,
                               statistics, pool);
    return counter.Count();
}

}  // namespace

HRESULT ComputeMeshStatistics(Mesh* mesh, const DWORD* pointReps, MeshStatistics* statistics, ThreadPool* pool) {
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
                     ? CountFaces<DWORD>(indices, vertices, mesh->VertexStride(), pointReps, statistics, pool)
                     : CountFaces<WORD>(indices, vertices, mesh->VertexStride(), pointReps, statistics, pool);
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    }
    mesh->UnlockVertices();
    mesh->UnlockIndices();
    return result;
}

}  // namespace facet
