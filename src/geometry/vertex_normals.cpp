// ComputeVertexNormals: one pass to clear the normals, one over the faces to add each
// face's unnormalised normal to its corners (or to their point representatives), one to
// share representatives' sums, one to normalise.
//
// The face vectors and their sums are formed in single precision. Their magnitude is the
// square of the mesh's scale, so coordinates of about 1e19 and more overflow them and
// coordinates of about 1e-20 and less underflow them; a mesh where that happens is summed
// once more in double precision, which holds every product of float differences. Before
// normalising, a sum far from 1 is scaled by a power of two so that no normalisation
// routine meets its zero threshold (the SSE routines give zero below a squared length of
// 2^-46, which sums of sub-millimetre triangles in metres fall under). Sums near 1 are
// left alone, so ordinary meshes keep their exact results.
#include "facet/normals.h"

#include "facet/math.h"
#include "facet/weld.h"
#include "geometry/point_rep_normals.h"
#include "geometry/vertex_layout_view.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace facet {

namespace {

// Vertex fields may sit at any byte offset, so they are read and written by copying.
class VertexField {
public:
    VertexField(BYTE* vertices, DWORD stride, DWORD offset) : base_(vertices + offset), stride_(stride) {}

    Vector3 Read(DWORD vertex) const {
        Vector3 value;
        std::memcpy(&value, base_ + std::size_t{vertex} * stride_, sizeof value);
        return value;
    }
    void Write(DWORD vertex, const Vector3& value) const {
        std::memcpy(base_ + std::size_t{vertex} * stride_, &value, sizeof value);
    }
    void Prefetch(DWORD vertex) const { __builtin_prefetch(base_ + std::size_t{vertex} * stride_, 1); }
    bool Overlaps(const VertexField& other) const {
        return base_ < other.base_ + sizeof(Vector3) && other.base_ < base_ + sizeof(Vector3);
    }

private:
    BYTE* base_;
    DWORD stride_;
};

Vector3 FaceVector(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    const Vector3 a = p0 - p1;
    const Vector3 b = p0 - p2;
    return Cross(a, b);
}

template <typename Index>
bool CornersBelow(const Index* indices, DWORD faceCount, DWORD vertexCount) {
    const std::size_t corners = std::size_t{3} * faceCount;
    for (std::size_t i = 0; i < corners; ++i)
        if (indices[i] >= vertexCount) return false;
    return true;
}

// Below this a float face vector may have lost bits to underflow.
constexpr float kSmallestTrustedComponent = 0x1p-100f;

// Component by component: a list of the three would go through memory, and reloading a
// vector just returned in registers stalls the face loop.
float LargestMagnitude(const Vector3& v) { return std::max(std::max(std::fabs(v.x), std::fabs(v.y)), std::fabs(v.z)); }

bool IsFinite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

struct DoubleVector {
    double x, y, z;
};

DoubleVector Widened(const Vector3& v) { return {v.x, v.y, v.z}; }

bool IsZero(const DoubleVector& v) { return v.x == 0 && v.y == 0 && v.z == 0; }

// The face vector in double precision: exact enough at every scale a float holds, since
// the products of float differences lie between about 1e-90 and 5e77. Zero for a face
// with a corner that is not finite, which has no direction to add. Kept out of line: the
// single-precision face loop calls it only for tiny face vectors.
[[gnu::noinline]] DoubleVector WideFaceVector(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    if (!IsFinite(p0) || !IsFinite(p1) || !IsFinite(p2)) return {0, 0, 0};
    const DoubleVector q0 = Widened(p0), q1 = Widened(p1), q2 = Widened(p2);
    const DoubleVector a{q0.x - q1.x, q0.y - q1.y, q0.z - q1.z};
    const DoubleVector b{q0.x - q2.x, q0.y - q2.y, q0.z - q2.z};
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Whether a float face vector may have lost its direction to underflow: it is tiny while
// the double one is not zero. (Overflow needs no test here: it leaves a sum that is not
// finite.) The double one is formed only for tiny vectors, which ordinary meshes seldom
// have, so the face loop keeps its pace.
bool FaceVectorUnderflowed(const Vector3& n, const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    if (LargestMagnitude(n) >= kSmallestTrustedComponent) [[likely]]
        return false;
    return !IsZero(WideFaceVector(p0, p1, p2));
}

// Scales `sum` by the power of two that brings its largest component into [1, 2), so
// that its squared length lies in [1, 12): no normalisation routine's threshold is near.
// Returns false for the zero vector.
template <typename Component>
bool ScaleToNearOne(Component* x, Component* y, Component* z) {
    const Component largest = std::max(std::max(std::fabs(*x), std::fabs(*y)), std::fabs(*z));
    if (largest == 0) return false;
    int exponent = 0;
    std::frexp(largest, &exponent);  // largest = m * 2^exponent, m in [0.5, 1)
    *x = std::ldexp(*x, 1 - exponent);
    *y = std::ldexp(*y, 1 - exponent);
    *z = std::ldexp(*z, 1 - exponent);
    return true;
}

// Sums whose largest component lies in [2^-16, 2^16) are normalised as they are, which
// keeps the results of ordinary meshes bit for bit; others are scaled first. (A power of
// two changes nothing in the portable routine's result either way, apart from its
// already-unit shortcut.)
void NormaliseFloatSum(Vector3* sum) {
    const float x = std::fabs(sum->x), y = std::fabs(sum->y), z = std::fabs(sum->z);
    const bool ordinary = x < 0x1p16f && y < 0x1p16f && z < 0x1p16f && (x >= 0x1p-16f || y >= 0x1p-16f || z >= 0x1p-16f);
    if (!ordinary) ScaleToNearOne(&sum->x, &sum->y, &sum->z);
    Vec3Normalize(sum, sum);
}

Vector3 NormalisedDoubleSum(DoubleVector sum) {
    Vector3 normal{0.0f, 0.0f, 0.0f};
    if (!ScaleToNearOne(&sum.x, &sum.y, &sum.z)) return normal;
    normal = {static_cast<float>(sum.x), static_cast<float>(sum.y), static_cast<float>(sum.z)};
    Vec3Normalize(&normal, &normal);
    return normal;
}

// The point representatives as the face loop asks them: a bit per vertex tells whether
// its representative is another vertex. The bits stay in the cache where the
// representatives would not, so the loop's scattered reads are the vertices themselves
// and, only at the few joined vertices (seams), their representatives.
class Representatives {
public:
    // False when the bits cannot be allocated. Without `pointReps` every vertex stands for
    // itself.
    bool Prepare(const DWORD* pointReps, DWORD vertexCount, ThreadPool* pool) {
        pointReps_ = pointReps;
        if (pointReps == nullptr) return true;
        const std::size_t words = vertexCount / 64 + 1;
        joined_.reset(new (std::nothrow) std::uint64_t[words]);
        if (joined_ == nullptr) return false;
        // Parts of whole words, so no two threads write one.
        const std::size_t parts = PartsFor(pool, words, 1u << 10);
        std::vector<unsigned char> ownRepsOnly(parts, 1);
        RunParts(pool, parts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(words, parts, part);
            for (std::size_t word = first; word < last; ++word) {
                std::uint64_t bits = 0;
                for (DWORD bit = 0; bit < 64 && 64 * word + bit < vertexCount; ++bit) {
                    const DWORD vertex = static_cast<DWORD>(64 * word + bit);
                    const DWORD representative = pointReps[vertex];
                    if (representative == vertex) continue;
                    bits |= std::uint64_t{1} << bit;
                    if (pointReps[representative] != representative) ownRepsOnly[part] = 0;
                }
                joined_[word] = bits;
            }
        });
        ownRepsOnly_ = std::find(ownRepsOnly.begin(), ownRepsOnly.end(), 0) == ownRepsOnly.end();
        return true;
    }

    bool IsJoined(DWORD vertex) const {
        return joined_ != nullptr && (joined_[vertex / 64] >> (vertex % 64) & 1) != 0;
    }
    // The vertex whose normal sums the corner's face vectors.
    DWORD Target(DWORD vertex) const { return IsJoined(vertex) ? pointReps_[vertex] : vertex; }
    void PrefetchTarget(DWORD vertex) const {
        if (IsJoined(vertex)) __builtin_prefetch(&pointReps_[vertex]);
    }
    // Whether the vertex's sum may lie elsewhere, so that fetching ahead stops at its
    // position rather than wait for its representative.
    bool MayBeElsewhere(DWORD vertex) const { return IsJoined(vertex); }
    bool HasJoined() const { return joined_ != nullptr; }
    // Whether every representative stands for itself, so that copying their sums to the
    // joined vertices never reads a sum already replaced.
    bool OwnRepsOnly() const { return ownRepsOnly_; }
    const DWORD* pointReps() const { return pointReps_; }

private:
    const DWORD* pointReps_ = nullptr;
    std::unique_ptr<std::uint64_t[]> joined_;
    bool ownRepsOnly_ = true;
};

// How far ahead the face loop fetches: on a mesh in no particular order each corner's
// position and sum is a cache miss, and fetched ahead the misses overlap.
constexpr DWORD kPrefetchFaces = 16;

// Sums, in face order, the face vectors into the sums of the target vertices, after
// clearing those: one thread, one pass over the faces. False, at once, when a face vector
// underflowed, so the sums cannot be trusted. `reps` tells each vertex's target.
template <typename Index, typename Targets>
bool SumInSinglePrecision(const Index* indices, DWORD faceCount, DWORD vertexCount, const VertexField& positions,
                          const VertexField& sums, const Targets& reps) {
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex) sums.Write(vertex, {0.0f, 0.0f, 0.0f});
    for (DWORD face = 0; face < faceCount; ++face) {
        if (face + 2 * kPrefetchFaces < faceCount)
            for (DWORD k = 0; k < 3; ++k) reps.PrefetchTarget(indices[3 * std::size_t{face + 2 * kPrefetchFaces} + k]);
        // A joined vertex's target is not known this far ahead without waiting for its
        // representative, so only its position is fetched.
        if (face + kPrefetchFaces < faceCount)
            for (DWORD k = 0; k < 3; ++k) {
                const DWORD ahead = indices[3 * std::size_t{face + kPrefetchFaces} + k];
                positions.Prefetch(ahead);
                if (!reps.MayBeElsewhere(ahead)) sums.Prefetch(ahead);
            }
        const Index* corner = indices + std::size_t{3} * face;
        const Vector3 p0 = positions.Read(corner[0]), p1 = positions.Read(corner[1]), p2 = positions.Read(corner[2]);
        const Vector3 n = FaceVector(p0, p1, p2);
        if (FaceVectorUnderflowed(n, p0, p1, p2)) return false;
        for (DWORD k = 0; k < 3; ++k) {
            const DWORD target = reps.Target(corner[k]);
            sums.Write(target, sums.Read(target) + n);
        }
    }
    return true;
}

// Gives the joined vertices of [first, last) their representatives' sums, when every
// representative stands for itself (so no sum read here is replaced here).
void ShareSums(DWORD first, DWORD last, const VertexField& sums, const Representatives& reps) {
    for (DWORD vertex = first; vertex < last; ++vertex)
        if (reps.IsJoined(vertex)) sums.Write(vertex, sums.Read(reps.pointReps()[vertex]));
}

// Normalises the sums of [first, last) into the normals. False, at once, at a sum that
// overflowed, which only the double-precision sums can replace.
bool NormaliseSingleSums(DWORD first, DWORD last, const VertexField& sums, const VertexField& normals) {
    for (DWORD vertex = first; vertex < last; ++vertex) {
        Vector3 normal = sums.Read(vertex);
        if (!IsFinite(normal)) return false;
        NormaliseFloatSum(&normal);
        normals.Write(vertex, normal);
    }
    return true;
}

// Runs step(first, last) over `parts` equal ranges of `count` items (vertices or faces);
// true when every part returned true.
template <typename Step>
bool ForRanges(ThreadPool* pool, std::size_t parts, DWORD count, Step&& step) {
    std::vector<unsigned char> succeeded(parts, 0);
    RunParts(pool, parts, [&](std::size_t part) {
        const auto [first, last] = ItemsOfPart(count, parts, part);
        succeeded[part] = step(static_cast<DWORD>(first), static_cast<DWORD>(last)) ? 1 : 0;
    });
    return std::find(succeeded.begin(), succeeded.end(), 0) == succeeded.end();
}

// The same sums in double precision, for meshes whose float sums do not hold; it starts
// afresh from the positions. Without memory for them every normal is left (0, 0, 0)
// rather than a half-done sum.
template <typename Index>
HRESULT SumAndNormaliseInDoublePrecision(const Index* indices, DWORD faceCount, DWORD vertexCount,
                                         const VertexField& positions, const VertexField& normals,
                                         const Representatives& reps) {
    std::unique_ptr<DoubleVector[]> sums(new (std::nothrow) DoubleVector[vertexCount]);
    if (sums == nullptr) {
        for (DWORD vertex = 0; vertex < vertexCount; ++vertex) normals.Write(vertex, {0.0f, 0.0f, 0.0f});
        return E_OUTOFMEMORY;
    }
    std::fill(sums.get(), sums.get() + vertexCount, DoubleVector{0, 0, 0});
    for (DWORD face = 0; face < faceCount; ++face) {
        const Index* corner = indices + std::size_t{3} * face;
        const DoubleVector n =
            WideFaceVector(positions.Read(corner[0]), positions.Read(corner[1]), positions.Read(corner[2]));
        for (DWORD k = 0; k < 3; ++k) {
            DoubleVector& sum = sums[reps.Target(corner[k])];
            sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
        }
    }
    for (DWORD vertex = 0; vertex < vertexCount; ++vertex)
        normals.Write(vertex, NormalisedDoubleSum(sums[reps.Target(vertex)]));
    return D3D_OK;
}

// Where the face loop reads positions and targets and forms sums: a compact copy in memory
// of its own (in large pages), each vertex's position, target and sum side by side in half
// a cache line; or, without room for it, the vertex fields and the representatives
// themselves. In the vertex buffer each scattered read of a large mesh also misses in the
// address translation (small pages), and a target or sum kept apart from its position
// would be another miss.
class SumFields {
    struct alignas(32) Record {
        Vector3 position;
        DWORD target;
        Vector3 sum;
    };

public:
    SumFields(const VertexField& positions, const VertexField& normals) : positions_(positions), sums_(normals) {}

    // The targets as the compact copy holds them. A vertex that is not joined is its own
    // target, which the bits tell without reading its record.
    class RecordTargets {
    public:
        RecordTargets(const Record* records, const Representatives& reps) : records_(records), reps_(reps) {}
        DWORD Target(DWORD vertex) const { return reps_.IsJoined(vertex) ? records_[vertex].target : vertex; }
        void PrefetchTarget(DWORD) const {}
        // Fetching a joined vertex's record brings its target.
        bool MayBeElsewhere(DWORD vertex) const { return reps_.IsJoined(vertex); }

    private:
        const Record* records_;
        const Representatives& reps_;
    };

    // Copies the positions and targets when the mesh is large enough for the translation
    // misses to matter, the fields lie apart and there is room; the sums are the same
    // additions either way.
    bool Compact(DWORD vertexCount, const Representatives& reps, ThreadPool* pool) {
        if (vertexCount < kCompactFrom || positions_.Overlaps(sums_) || !records_.Allocate(vertexCount)) return false;
        const VertexField original = positions_;
        BYTE* records = reinterpret_cast<BYTE*>(records_.get());
        positions_ = VertexField(records, sizeof(Record), offsetof(Record, position));
        sums_ = VertexField(records, sizeof(Record), offsetof(Record, sum));
        const std::size_t parts = PartsFor(pool, vertexCount);
        RunParts(pool, parts, [&](std::size_t part) {
            const auto [first, last] = ItemsOfPart(vertexCount, parts, part);
            for (auto vertex = static_cast<DWORD>(first); vertex < last; ++vertex) {
                positions_.Write(vertex, original.Read(vertex));
                records_[vertex].target = reps.Target(vertex);
            }
        });
        return true;
    }

    const VertexField& positions() const { return positions_; }
    const VertexField& sums() const { return sums_; }
    RecordTargets targets(const Representatives& reps) const { return RecordTargets(records_.get(), reps); }

private:
    // Below this many vertices the vertex buffer's pages fit the translation caches, and
    // the copy would cost more than it saves.
    static constexpr DWORD kCompactFrom = 1u << 20;
    VertexField positions_;
    VertexField sums_;
    WorkArray<Record> records_;
};

// The sums, in one pass on the caller, then their sharing and normalisation on `parts`
// ranges of target vertices. (Summing by ranges of target vertices on several threads,
// each reading every face, gave no faster sums on two cores at ten million faces, for
// half again the processor time.) When the position and normal fields overlap, writing a
// sum changes positions still to be read, so the work stays on one thread, in place, in
// the order of the sums' definition.
template <typename Index>
HRESULT ComputeNormals(const Index* indices, DWORD faceCount, DWORD vertexCount, const VertexField& positions,
                       const VertexField& normals, const DWORD* pointReps, ThreadPool* pool) {
    Representatives reps;
    if (!reps.Prepare(pointReps, vertexCount, pool)) return E_OUTOFMEMORY;
    const std::size_t parts = positions.Overlaps(normals) ? 1 : PartsFor(pool, vertexCount);
    SumFields fields(positions, normals);
    const bool compact = fields.Compact(vertexCount, reps, pool);
    const VertexField& sums = fields.sums();
    const bool summed =
        compact ? SumInSinglePrecision(indices, faceCount, vertexCount, fields.positions(), sums, fields.targets(reps))
                : SumInSinglePrecision(indices, faceCount, vertexCount, fields.positions(), sums, reps);
    if (summed && reps.HasJoined()) {
        if (reps.OwnRepsOnly())
            ForRanges(pool, parts, vertexCount, [&](DWORD first, DWORD last) {
                ShareSums(first, last, sums, reps);
                return true;
            });
        else  // a representative that has one of its own: the copies follow vertex order
            ShareSums(0, vertexCount, sums, reps);
    }
    if (summed && ForRanges(pool, parts, vertexCount, [&](DWORD first, DWORD last) {
            return NormaliseSingleSums(first, last, sums, normals);
        }))
        return D3D_OK;
    return SumAndNormaliseInDoublePrecision(indices, faceCount, vertexCount, positions, normals, reps);
}

// Whether a three-float element lies inside the vertex.
bool FitsInVertex(const D3DVERTEXELEMENT9* element, UINT stride) {
    return element != nullptr && element->Offset + sizeof(Vector3) <= stride;
}

// What the routine obtains from the mesh, given back in reverse on every path.
struct LockedBuffers {
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    void* indices = nullptr;
    void* vertices = nullptr;

    HRESULT Acquire(Mesh* mesh) {
        HRESULT result = mesh->IndexBuffer(&indexBuffer);
        if (FAILED(result)) return result;
        if (indexBuffer == nullptr) return D3DERR_INVALIDCALL;
        result = indexBuffer->Lock(0, 0, &indices, D3DLOCK_NOSYSLOCK);
        if (FAILED(result)) {
            indices = nullptr;
            return result;
        }
        result = mesh->VertexBuffer(&vertexBuffer);
        if (FAILED(result)) return result;
        if (vertexBuffer == nullptr) return D3DERR_INVALIDCALL;
        result = vertexBuffer->Lock(0, 0, &vertices, D3DLOCK_NOSYSLOCK);
        if (FAILED(result)) vertices = nullptr;
        return result;
    }

    ~LockedBuffers() {
        if (indexBuffer != nullptr) {
            if (indices != nullptr) indexBuffer->Unlock();
            indexBuffer->Release();
        }
        if (vertexBuffer != nullptr) {
            if (vertices != nullptr) vertexBuffer->Unlock();
            vertexBuffer->Release();
        }
    }
};

}  // namespace

HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency) { return ComputeVertexNormals(mesh, adjacency, nullptr); }

namespace {

// Copies the mesh's declaration, and checks that its layout and options let its normals
// be formed, and written into its vertices when `intoMesh`.
HRESULT CopyNormalsDeclaration(Mesh* mesh, bool intoMesh, D3DVERTEXELEMENT9 (&declaration)[MAX_FVF_DECL_SIZE]) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    const HRESULT result = mesh->CopyDeclaration(declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    if ((mesh->Options() & (MeshOptions::VertexWriteOnly | MeshOptions::IndexWriteOnly)) != 0 ||
        !FitsInVertex(layout.position, layout.stride) || (intoMesh && !FitsInVertex(layout.normal, layout.stride)))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

}  // namespace

HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency, ThreadPool* pool) {
    return ComputeVertexNormals(mesh, adjacency, pool, nullptr);
}

HRESULT ComputeVertexNormals(Mesh* mesh, const DWORD* adjacency, ThreadPool* pool, float* normals) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = CopyNormalsDeclaration(mesh, normals == nullptr, declaration);
    if (FAILED(result)) return result;
    std::unique_ptr<DWORD[]> pointReps;
    if (adjacency != nullptr) {
        pointReps.reset(new (std::nothrow) DWORD[mesh->VertexCount()]);
        if (pointReps == nullptr) return E_OUTOFMEMORY;
        result = PointRepsFromAdjacency(mesh, adjacency, pointReps.get(), pool);
        if (FAILED(result)) return result;
    }
    return ComputeVertexNormalsFromPointReps(mesh, pointReps.get(), pool, normals);
}

HRESULT ComputeVertexNormalsFromPointReps(Mesh* mesh, const DWORD* pointReps, ThreadPool* pool, float* normalsOut) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    HRESULT result = CopyNormalsDeclaration(mesh, normalsOut == nullptr, declaration);
    if (FAILED(result)) return result;
    const VertexLayoutView layout(declaration);
    const DWORD faceCount = mesh->FaceCount();
    const DWORD vertexCount = mesh->VertexCount();
    LockedBuffers buffers;
    result = buffers.Acquire(mesh);
    if (FAILED(result)) return result;
    BYTE* vertices = static_cast<BYTE*>(buffers.vertices);
    const VertexField positions(vertices, layout.stride, layout.position->Offset);
    const VertexField normals = normalsOut == nullptr
                                    ? VertexField(vertices, layout.stride, layout.normal->Offset)
                                    : VertexField(reinterpret_cast<BYTE*>(normalsOut), sizeof(Vector3), 0);
    if ((mesh->Options() & MeshOptions::Indices32Bit) != 0) {
        const auto* indices = static_cast<const DWORD*>(buffers.indices);
        if (!CornersBelow(indices, faceCount, vertexCount)) return D3DERR_INVALIDCALL;
        return ComputeNormals(indices, faceCount, vertexCount, positions, normals, pointReps, pool);
    }
    const auto* indices = static_cast<const WORD*>(buffers.indices);
    if (!CornersBelow(indices, faceCount, vertexCount)) return D3DERR_INVALIDCALL;
    return ComputeNormals(indices, faceCount, vertexCount, positions, normals, pointReps, pool);
}

}  // namespace facet
