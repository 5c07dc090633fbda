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
            const auto [first, last] = ItemsOfPart(count, parts, part);
            std::iota(parent_.get() + first, parent_.get() + last, static_cast<DWORD>(first));
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
    // For a node fetched earlier: its parent, where its walk to the root goes next.
    void PrefetchParent(DWORD x) const { __builtin_prefetch(&parent_[Load(x)], 1); }
    void Free() { parent_.Free(); }

private:
    DWORD Load(DWORD x) const { return __atomic_load_n(&parent_[x], __ATOMIC_RELAXED); }
    WorkArray<DWORD> parent_;
    bool shared_ = false;
};

// A flag per element that threads may set at once, one bit each, so that even a mesh of
// tens of millions of vertices keeps its flags in the processor's cache. A bit already set
// is only read: most elements are set many times, and only the first needs the locked OR
// that several threads setting bits of one word require.
class Flags {
public:
    bool Allocate(DWORD count, ThreadPool* pool) {
        const std::size_t words = (std::size_t{count} + 63) / 64;
        if (!words_.Allocate(words)) return false;
        shared_ = pool != nullptr && pool->Size() > 1;
        const std::size_t parts = PartsFor(pool, words);
        RunParts(pool, parts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(words, parts, part);
            std::fill(words_.get() + first, words_.get() + last, 0);
        });
        return true;
    }
    void Set(DWORD i) const {
        std::uint64_t& word = words_[i / 64];
        const std::uint64_t bit = std::uint64_t{1} << (i % 64);
        if ((__atomic_load_n(&word, __ATOMIC_RELAXED) & bit) != 0) return;
        if (shared_)
            __atomic_fetch_or(&word, bit, __ATOMIC_RELAXED);
        else
            word |= bit;
    }
    bool IsSet(DWORD i) const { return (__atomic_load_n(&words_[i / 64], __ATOMIC_RELAXED) >> (i % 64) & 1) != 0; }
    void Prefetch(DWORD i) const { __builtin_prefetch(&words_[i / 64], 1); }
    void Free() { words_.Free(); }

private:
    WorkArray<std::uint64_t> words_;
    bool shared_ = false;
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

#ifdef FACET_SPLIT_SMALL_WORK
constexpr DWORD kFacesPerRun = 4;  // a build that tests the splitting on small meshes
#else
constexpr DWORD kFacesPerRun = 1u << 16;
#endif
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
        const DWORD vertices = statistics_.vertices;
        if (!usedVertices_.Allocate(vertices, pool_) || !usedPoints_.Allocate(vertices, pool_) ||
            !points_.Allocate(vertices, pool_) || !edges_.StartCounting(KeyBitsBelow(vertices), pool_, parts_))
            return E_OUTOFMEMORY;
        std::vector<FaceRunSums> sums(runs_);
        RunParts(pool_, parts_, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(runs_, parts_, part);
            for (std::size_t run = first; run < last; ++run)
                sums[run] = CountRun(part, RunStart(run), RunStart(run + 1));
        });
        double sixfoldVolume = 0.0;
        for (const FaceRunSums& run : sums) {
            statistics_.area += run.area;
            sixfoldVolume += run.sixfoldVolume;
            statistics_.degenerateFaces += run.degenerateFaces;
            statistics_.zeroAreaFaces += run.zeroAreaFaces;
        }
        CountVertices();
        usedVertices_.Free();  // the edges need the most memory
        const HRESULT result = CountEdges();
        if (FAILED(result)) return result;
        CountComponents();
        statistics_.closed = statistics_.faces > statistics_.degenerateFaces + statistics_.zeroAreaFaces &&
                             statistics_.boundaryEdges == 0 && statistics_.nonManifoldEdges == 0;
        statistics_.hasVolume = statistics_.closed && statistics_.misorientedEdges == 0;
        if (statistics_.hasVolume) statistics_.volume = sixfoldVolume / 6.0;
        return D3D_OK;
    }

private:
    // The face pass and the edges share one split of the faces: parts of whole runs.
    DWORD RunStart(std::size_t run) const {
        return static_cast<DWORD>(std::min<std::uint64_t>(statistics_.faces, run * std::uint64_t{kFacesPerRun}));
    }
    DWORD PartFaceStart(std::size_t part) const { return RunStart(PartStart(runs_, parts_, part)); }

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
    // Always inlined: the compiler finds that a function doing nothing but prefetches has
    // no effect and drops the calls to it.
    [[gnu::always_inline]] void PrefetchAhead(DWORD face, DWORD last) const {
        if (face + 2 * kPrefetchFaces < last)
            for (int k = 0; k < 3; ++k) {
                const DWORD corner = Corner(face + 2 * kPrefetchFaces, k);
                __builtin_prefetch(&reps_[corner]);
                __builtin_prefetch(VertexAt(corner));
                usedVertices_.Prefetch(corner);
            }
        if (face + kPrefetchFaces < last)
            for (int k = 0; k < 3; ++k) usedPoints_.Prefetch(Key(face + kPrefetchFaces, k));
    }

    // Sums the faces [first, last) of part `part` and counts their directed edges.
    FaceRunSums CountRun(std::size_t part, DWORD first, DWORD last) {
        FaceRunSums sums;
        for (DWORD face = first; face < last; ++face) {
            PrefetchAhead(face, last);
            DWORD point[3];
            for (int k = 0; k < 3; ++k) {
                usedVertices_.Set(Corner(face, k));
                point[k] = Key(face, k);
                usedPoints_.Set(point[k]);
            }
            const Point p0 = Position(Corner(face, 0)), p1 = Position(Corner(face, 1)), p2 = Position(Corner(face, 2));
            const Point normal = Cross(Minus(p1, p0), Minus(p2, p0));
            const double length = std::sqrt(Dot(normal, normal));
            sums.area += 0.5 * length;
            if (!HasEdges(face)) {
                // A degenerate face still joins its points; the others join theirs
                // through their edges.
                points_.Join(point[0], point[1]);
                points_.Join(point[0], point[2]);
                ++sums.degenerateFaces;
                continue;
            }
            if (normal.x == 0.0 && normal.y == 0.0 && normal.z == 0.0) ++sums.zeroAreaFaces;
            sums.sixfoldVolume += Dot(p0, Cross(p1, p2));
            edges_.CountFace(part, {{point[0], point[1], point[2]}});
        }
        return sums;
    }

    void CountVertices() {
        const DWORD vertices = statistics_.vertices;
        const std::size_t parts = PartsFor(pool_, vertices);
        std::vector<MeshStatistics> counts(parts);
        RunParts(pool_, parts, [&](std::size_t part) {
            MeshStatistics& count = counts[part];
            const auto [first, last] = ItemsOfPart(vertices, parts, part);
            for (auto v = static_cast<DWORD>(first); v < last; ++v) {
                if (reps_[v] != v) ++count.weldedPoints;
                if (!usedVertices_.IsSet(v)) ++count.unreferencedVertices;
            }
        });
        for (const MeshStatistics& count : counts) {
            statistics_.weldedPoints += count.weldedPoints;
            statistics_.unreferencedVertices += count.unreferencedVertices;
        }
    }

    // A component is a root of the point sets that some used vertex stands on.
    void CountComponents() {
        const DWORD vertices = statistics_.vertices;
        const std::size_t parts = PartsFor(pool_, vertices);
        std::vector<DWORD> components(parts, 0);
        RunParts(pool_, parts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(vertices, parts, part);
            for (auto v = static_cast<DWORD>(first); v < last; ++v)
                if (usedPoints_.IsSet(v) && points_.IsRoot(v)) ++components[part];
        });
        for (const DWORD count : components) statistics_.components += count;
    }

    void EmitEdges(DWORD first, DWORD last, auto&& emit) const {
        for (DWORD face = first; face < last; ++face) {
            if (face + kPrefetchFaces < last)
                for (int k = 0; k < 3; ++k) __builtin_prefetch(&reps_[Corner(face + kPrefetchFaces, k)]);
            if (!HasEdges(face)) continue;
            emit(face, FaceKeys{{Key(face, 0), Key(face, 1), Key(face, 2)}});
        }
    }

    // Counts the edges of a range of lower keys; the groups of the records [first, last)
    // go to `count`.
    void CountEdgesIn(std::size_t first, std::size_t last, EdgeCounts& count) {
        DirectedEdgeGroups& edges = edges_;
        std::size_t prefetched = first, parentsPrefetched = first;
        edges.ForEachGroupIn(
            first, last,
            [&](std::size_t runStart) {
                // Two steps of each walk to a root are fetched ahead: the nodes, then,
                // nearer the visit and once the nodes have come, their parents. A third
                // step gained nothing: most walks end at the parent.
                for (const std::size_t ahead = std::min(runStart + 64, last); prefetched < ahead; ++prefetched) {
                    faceSets_.Prefetch(edges[prefetched].Face());
                    points_.Prefetch(edges[prefetched].high);
                }
                for (const std::size_t ahead = std::min(runStart + 32, last); parentsPrefetched < ahead;
                     ++parentsPrefetched) {
                    faceSets_.PrefetchParent(edges[parentsPrefetched].Face());
                    points_.PrefetchParent(edges[parentsPrefetched].high);
                    points_.PrefetchParent(edges[parentsPrefetched].low);
                }
            },
            [&](std::size_t start, std::size_t end) {
                points_.Join(edges[start].low, edges[start].high);
                const std::size_t groupFaces = end - start;
                if (groupFaces == 1) ++count.boundary;
                if (groupFaces >= 3) ++count.nonManifold;
                if (groupFaces == 2 && edges[start].RunsUp() == edges[start + 1].RunsUp()) ++count.misoriented;
                for (std::size_t r = start + 1; r < end; ++r) faceSets_.Join(edges[start].Face(), edges[r].Face());
            });
    }

    HRESULT CountEdges() {
        const DWORD faces = statistics_.faces;
        if (!faceSets_.Allocate(faces, pool_)) return E_OUTOFMEMORY;
        std::vector<EdgeCounts> counts;
        const HRESULT result = edges_.Gather(
            MostEdgeRecordsKept(faces),
            [&](std::size_t part, auto&& emit) { EmitEdges(PartFaceStart(part), PartFaceStart(part + 1), emit); },
            [&] {
                const std::vector<std::size_t> bounds = edges_.PartBounds(PartsFor(pool_, edges_.Size()));
                const std::size_t first = counts.size();
                counts.resize(first + bounds.size() - 1);
                RunParts(pool_, bounds.size() - 1, [&](std::size_t part) {
                    CountEdgesIn(bounds[part], bounds[part + 1], counts[first + part]);
                });
            });
        if (FAILED(result)) return result;
        for (const EdgeCounts& count : counts) {
            statistics_.boundaryEdges += count.boundary;
            statistics_.nonManifoldEdges += count.nonManifold;
            statistics_.misorientedEdges += count.misoriented;
        }
        // Only faces with edges are ever joined, so every joined face's root has edges.
        const std::size_t parts = PartsFor(pool_, faces);
        std::vector<DWORD> components(parts, 0);
        RunParts(pool_, parts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(faces, parts, part);
            for (auto face = static_cast<DWORD>(first); face < last; ++face)
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
    DirectedEdgeGroups edges_;
    const std::size_t runs_ = (std::size_t{statistics_.faces} + kFacesPerRun - 1) / kFacesPerRun;
    const std::size_t parts_ = PartsFor(pool_, runs_, 1);
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
