// Mesh::PointRepsFromAdjacency: every vertex gets the vertex that stands for its point of
// the surface, found by walking around it from face to face through the adjacency.
//
// For each corner whose vertex v has no representative yet, the walk starts in that face,
// crosses the edge that leaves v, and keeps crossing the edge leaving v in each face it
// enters; at a missing neighbour it turns back to the start face and walks the other way
// across the edges that end at v. The corner holding v's point in every face reached gets
// v as its representative. Vertices never reached stand for themselves.
//
// The walk reads, for each face it enters, that face's neighbours and corners. On a mesh
// in no particular order each face is a cache miss, so the working copy keeps both
// together, one record per face: one miss per step instead of two.
#include "geometry/face_order.h"
#include "geometry/mesh_object.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <memory>
#include <new>

namespace facet {

namespace {

// The result of a walk around one vertex that reaches too many faces, which only a
// corrupt adjacency can produce.
constexpr HRESULT kWalkTooLong = static_cast<HRESULT>(0x88760B55u);
constexpr DWORD kMaxWalkFaces = 10000;

template <typename Index>
class PointRepWalker {
public:
    PointRepWalker(const Index* indices, DWORD vertexCount, const FaceOrder& order)
        : indices_(indices), vertexCount_(vertexCount), order_(order) {}

    // True when the groups lie within the faces, every adjacency entry names a face or
    // none, and every corner is below the vertex count or marks an unused face.
    bool IsValid(const DWORD* adjacency) const {
        if (!order_.IsWithinFaces()) return false;
        const std::size_t entries = std::size_t{3} * order_.faceCount;
        for (std::size_t i = 0; i < entries; ++i) {
            if (adjacency[i] != NoNeighbour && adjacency[i] >= order_.faceCount) return false;
            if (indices_[i] != kEmpty && indices_[i] >= vertexCount_) return false;
        }
        return true;
    }

    HRESULT Walk(const DWORD* adjacency, DWORD* pointReps) {
        // The working copy in the index width: a face number always fits, since a mesh
        // has fewer faces than its empty-index value.
        if (!faces_.Allocate(order_.faceCount)) return E_OUTOFMEMORY;
        for (DWORD face = 0; face < order_.faceCount; ++face)
            for (DWORD k = 0; k < 3; ++k) {
                const DWORD neighbour = adjacency[3 * std::size_t{face} + k];
                faces_[face].neighbour[k] = neighbour == NoNeighbour ? kEmpty : static_cast<Index>(neighbour);
                faces_[face].corner[k] = indices_[3 * std::size_t{face} + k];
            }

        std::fill(pointReps, pointReps + vertexCount_, NoNeighbour);
        HRESULT result = D3D_OK;
        order_.ForEach([&](DWORD face) {
            // Whether a corner's vertex has its representative is a scattered read; the
            // ones of a face some way ahead are fetched now.
            if (face + kPrefetchFaces < order_.faceCount)
                for (DWORD corner = 0; corner < 3; ++corner)
                    if (const Index ahead = faces_[face + kPrefetchFaces].corner[corner]; ahead != kEmpty)
                        __builtin_prefetch(&pointReps[ahead]);
            for (DWORD corner = 0; corner < 3; ++corner) {
                const Index vertex = indices_[3 * face + corner];
                if (vertex == kEmpty || pointReps[vertex] != NoNeighbour) continue;
                result = WalkAround(face, corner, pointReps);
                if (FAILED(result)) return false;
            }
            return true;
        });
        if (FAILED(result)) return result;
        for (DWORD vertex = 0; vertex < vertexCount_; ++vertex)
            if (pointReps[vertex] == NoNeighbour) pointReps[vertex] = vertex;
        return D3D_OK;
    }

private:
    static constexpr Index kEmpty = MeshObject<Index>::kEmptyIndex;
    static constexpr DWORD kPrefetchFaces = 16;

    // The edge of `next` across which the walk arrives from `face` over `face`'s edge
    // `crossed`, or 3 when `next` does not name `face` (an adjacency that is not symmetric
    // there ends the walk like a missing neighbour). `walkedEnd` is 1 when the shared edge
    // ends at the walked vertex in `next` (walking forward), 0 when it starts there.
    //
    // Two faces can name each other across two or three edges (a triangle folded onto
    // another, as scans have). Then the edge taken is the one whose corners hold the
    // indices of the crossed edge, the walked vertex's first; when indices cannot tell
    // (vertices split at the fold), the order of the edges does: paired edges run
    // opposite ways, so of two consecutive edges k, k + 1 of `face` naming `next`, k
    // pairs with the second of `next`'s two consecutive edges naming `face`.
    DWORD EdgeBackTo(DWORD next, DWORD face, DWORD crossed, DWORD walkedEnd) const {
        const Index walked = faces_[face].corner[(crossed + 1 - walkedEnd) % 3];
        const Index other = faces_[face].corner[(crossed + walkedEnd) % 3];
        DWORD best = 3;
        int bestScore = -1;
        bool tied = false;
        for (DWORD edge = 0; edge < 3; ++edge) {
            if (faces_[next].neighbour[edge] != face) continue;
            const int score = (faces_[next].corner[(edge + walkedEnd) % 3] == walked ? 2 : 0) +
                              (faces_[next].corner[(edge + 1 - walkedEnd) % 3] == other ? 1 : 0);
            if (score > bestScore) {
                best = edge;
                bestScore = score;
                tied = false;
            } else if (score == bestScore) {
                tied = true;
            }
        }
        return tied ? EdgeByOrder(next, face, crossed, best) : best;
    }

    // For two faces that name each other across exactly two consecutive edges each: the
    // edge of `next` paired with `face`'s edge `crossed`. `fallback` when the order cannot
    // tell.
    DWORD EdgeByOrder(DWORD next, DWORD face, DWORD crossed, DWORD fallback) const {
        const auto names = [&](DWORD f, DWORD edge, DWORD other) { return faces_[f].neighbour[edge % 3] == other; };
        const bool crossedIsFirst = names(face, crossed + 1, next), crossedIsSecond = names(face, crossed + 2, next);
        if (crossedIsFirst == crossedIsSecond) return fallback;  // one edge, or all three
        for (DWORD first = 0; first < 3; ++first) {
            if (!names(next, first, face) || !names(next, first + 1, face) || names(next, first + 2, face)) continue;
            return crossedIsFirst ? (first + 1) % 3 : first;
        }
        return fallback;
    }

    void Assign(DWORD face, DWORD corner, DWORD vertex, DWORD* pointReps) const {
        const Index reached = faces_[face].corner[corner];
        if (reached != kEmpty) pointReps[reached] = vertex;
    }

    HRESULT WalkAround(DWORD startFace, DWORD startCorner, DWORD* pointReps) const {
        const DWORD vertex = faces_[startFace].corner[startCorner];
        DWORD facesReached = 1;
        pointReps[vertex] = vertex;

        // Forward: across the edge that leaves the vertex (from its corner to the next).
        DWORD face = startFace;
        DWORD corner = startCorner;
        for (;;) {
            const Index next = faces_[face].neighbour[corner];
            if (next == kEmpty) break;
            if (next == startFace) return D3D_OK;  // all the way round
            const DWORD edge = EdgeBackTo(next, face, corner, 1);
            if (edge == 3) break;
            if (++facesReached > kMaxWalkFaces) return kWalkTooLong;
            face = next;
            corner = (edge + 1) % 3;  // the shared edge runs the other way: it ends at the vertex
            Assign(face, corner, vertex, pointReps);
        }
        // Backward: across the edge that ends at the vertex (from the previous corner).
        face = startFace;
        corner = startCorner;
        for (;;) {
            const Index next = faces_[face].neighbour[(corner + 2) % 3];
            if (next == kEmpty || next == startFace) break;
            const DWORD edge = EdgeBackTo(next, face, (corner + 2) % 3, 0);
            if (edge == 3) break;
            if (++facesReached > kMaxWalkFaces) return kWalkTooLong;
            face = next;
            corner = edge;  // the shared edge starts at the vertex
            Assign(face, corner, vertex, pointReps);
        }
        return D3D_OK;
    }

    const Index* indices_;
    DWORD vertexCount_;
    FaceOrder order_;
    // A face's neighbours and corners, side by side.
    struct FaceRecord {
        Index neighbour[3];
        Index corner[3];
    };
    WorkArray<FaceRecord> faces_;
};

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::PointRepsFromAdjacency(const DWORD* adjacency, DWORD* pointReps) {
    if (adjacency == nullptr || pointReps == nullptr || (options_ & MeshOptions::IndexWriteOnly) != 0)
        return D3DERR_INVALIDCALL;
    void* indices = nullptr;
    HRESULT result = LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    PointRepWalker<Index> walker(static_cast<const Index*>(indices), vertexCount_,
                                FaceOrder{groupTable_.get(), groupCount_, faceCount_});
    result = walker.IsValid(adjacency) ? walker.Walk(adjacency, pointReps) : D3DERR_INVALIDCALL;
    UnlockIndices();
    return result;
}

template HRESULT MeshObject<WORD>::PointRepsFromAdjacency(const DWORD*, DWORD*);
template HRESULT MeshObject<DWORD>::PointRepsFromAdjacency(const DWORD*, DWORD*);

}  // namespace facet
