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
#include <bit>
#include <cstdint>
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
        // Only the start of each walk's room is touched on ordinary meshes, so it comes in
        // small pages from the ordinary allocator.
        reached_.reset(new (std::nothrow) Index[std::size_t{kFansInFlight} * kMaxWalkFaces]);
        if (reached_ == nullptr) return E_OUTOFMEMORY;
        for (DWORD slot = 0; slot < kFansInFlight; ++slot) fans_[slot].reached = reached_.get() + std::size_t{slot} * kMaxWalkFaces;

        // Whether a vertex has a representative (or a walk under way) is asked at every
        // corner, in no particular vertex order; two bits per vertex stay in the cache where
        // the representatives would not.
        states_.reset(new (std::nothrow) std::uint64_t[vertexCount_ / kStatesPerWord + 1]());
        if (states_ == nullptr) return E_OUTOFMEMORY;
        pointReps_ = pointReps;
        HRESULT result = D3D_OK;
        FanRing ring{0, 0};
        const bool walked = order_.ForEach([&](DWORD face) {
            // The states of the corners some way ahead are fetched now.
            if (face + kPrefetchFaces < order_.faceCount)
                for (DWORD corner = 0; corner < 3; ++corner)
                    if (const Index ahead = faces_[face + kPrefetchFaces].corner[corner]; ahead != kEmpty)
                        __builtin_prefetch(&states_[ahead / kStatesPerWord]);
            // Room for a walk from each corner first: applying walks changes which corners
            // need one.
            while (ring.count > kFansInFlight - 3) {
                result = StepAndCommit(&ring);
                if (FAILED(result)) return false;
            }
            for (DWORD corner = 0; corner < 3; ++corner) {
                const Index vertex = faces_[face].corner[corner];
                if (vertex == kEmpty || State(vertex) != kUnreached) continue;
                SetState(vertex, kPending);
                Start(&fans_[(ring.head + ring.count++) % kFansInFlight], face, corner);
            }
            return true;
        });
        while (walked && ring.count != 0) {
            result = StepAndCommit(&ring);
            if (FAILED(result)) break;
        }
        // Vertices never reached stand for themselves; after a failed walk they stay
        // without a representative.
        for (DWORD vertex = 0; vertex < vertexCount_; ++vertex)
            if (State(vertex) != kAssigned) pointReps[vertex] = FAILED(result) ? NoNeighbour : vertex;
        return result;
    }

private:
    static constexpr Index kEmpty = MeshObject<Index>::kEmptyIndex;

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
        // Usually one edge names `face`, and it is the one.
        const Index* named = faces_[next].neighbour;
        const unsigned naming = (named[0] == face ? 1u : 0u) | (named[1] == face ? 2u : 0u) | (named[2] == face ? 4u : 0u);
        if (naming == 1u || naming == 2u || naming == 4u) return static_cast<DWORD>(std::countr_zero(naming));
        if (naming == 0) return 3;
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

    // Walks run ahead of their turn, several at once, so that the faces they enter (one
    // cache miss per step on a mesh in no particular order) are fetched side by side. Each
    // walk only records what it reaches; the records are applied in the order the walks
    // started, and a walk is applied only if its vertex still has no representative then,
    // so the result is that of walking one fan after the other. A vertex whose walk has
    // started is marked pending, so no second walk starts from it meanwhile.
    static constexpr DWORD kFansInFlight = 32;
    static constexpr std::uint64_t kUnreached = 0, kPending = 1, kAssigned = 2;
    static constexpr DWORD kStatesPerWord = 32;
    static constexpr DWORD kPrefetchFaces = 16;

    struct Fan {
        DWORD startFace;
        DWORD startCorner;
        Index vertex;
        DWORD face;
        DWORD corner;
        Index next;  // the face the next step enters, being fetched
        bool backward;
        bool finished;
        HRESULT result;
        DWORD facesReached;
        DWORD reachedCount;
        Index* reached;  // the vertices at the corners reached, start excluded
    };

    // The walks in flight: `count` of them from slot `head` on, in starting order.
    struct FanRing {
        DWORD head;
        DWORD count;
    };

    void Start(Fan* fan, DWORD face, DWORD corner) const {
        fan->startFace = face;
        fan->startCorner = corner;
        fan->vertex = faces_[face].corner[corner];
        fan->facesReached = 1;
        fan->reachedCount = 0;
        fan->finished = false;
        fan->result = D3D_OK;
        TurnTo(fan, false);
    }

    // Back at the start face, heading forward (across the edge that leaves the vertex) or
    // backward (across the edge that ends at it).
    void TurnTo(Fan* fan, bool backward) const {
        fan->backward = backward;
        fan->face = fan->startFace;
        fan->corner = fan->startCorner;
        LookAhead(fan);
    }

    // Finds the face across the edge the walk crosses next, and fetches it; or ends the
    // walk or turns it back where there is none.
    void LookAhead(Fan* fan) const {
        const DWORD edge = fan->backward ? (fan->corner + 2) % 3 : fan->corner;
        const Index next = faces_[fan->face].neighbour[edge];
        if (next == kEmpty) {
            if (fan->backward)
                fan->finished = true;
            else
                TurnTo(fan, true);
            return;
        }
        if (next == fan->startFace) {  // all the way round, or back where the walk began
            fan->finished = true;
            return;
        }
        fan->next = next;
        __builtin_prefetch(&faces_[next]);
    }

    // Enters the face fetched in the last step.
    void Step(Fan* fan) const {
        const DWORD crossed = fan->backward ? (fan->corner + 2) % 3 : fan->corner;
        const DWORD edge = EdgeBackTo(fan->next, fan->face, crossed, fan->backward ? 0 : 1);
        if (edge == 3) {
            if (fan->backward)
                fan->finished = true;
            else
                TurnTo(fan, true);
            return;
        }
        if (++fan->facesReached > kMaxWalkFaces) {
            fan->result = kWalkTooLong;
            fan->finished = true;
            return;
        }
        fan->face = fan->next;
        // Forward the shared edge runs the other way, so it ends at the vertex; backward
        // it starts there.
        fan->corner = fan->backward ? edge : (edge + 1) % 3;
        if (const Index reached = faces_[fan->face].corner[fan->corner]; reached != kEmpty) {
            fan->reached[fan->reachedCount++] = reached;
            __builtin_prefetch(&pointReps_[reached], 1);  // written when the walk is applied
        }
        LookAhead(fan);
    }

    // Steps every walk in flight once, then applies the finished ones at the head of the
    // ring. A failed walk that applies ends everything.
    HRESULT StepAndCommit(FanRing* ring) {
        for (DWORD i = 0; i < ring->count; ++i)
            if (Fan& fan = fans_[(ring->head + i) % kFansInFlight]; !fan.finished) Step(&fan);
        while (ring->count != 0 && fans_[ring->head].finished) {
            const Fan& fan = fans_[ring->head];
            ring->head = (ring->head + 1) % kFansInFlight;
            --ring->count;
            if (State(fan.vertex) != kPending) continue;  // an earlier walk reached it
            Assign(fan.vertex, fan.vertex);
            for (DWORD i = 0; i < fan.reachedCount; ++i) Assign(fan.reached[i], fan.vertex);
            if (FAILED(fan.result)) return fan.result;
        }
        return D3D_OK;
    }

    std::uint64_t State(Index vertex) const {
        return states_[vertex / kStatesPerWord] >> (2 * (vertex % kStatesPerWord)) & 3;
    }
    void SetState(Index vertex, std::uint64_t state) {
        std::uint64_t& word = states_[vertex / kStatesPerWord];
        const unsigned shift = 2 * (vertex % kStatesPerWord);
        word = (word & ~(std::uint64_t{3} << shift)) | state << shift;
    }
    void Assign(Index vertex, DWORD representative) {
        pointReps_[vertex] = representative;
        SetState(vertex, kAssigned);
    }

    const Index* indices_;
    DWORD vertexCount_;
    FaceOrder order_;
    // A face's neighbours and corners, side by side.
    struct alignas(4 * sizeof(Index)) FaceRecord {
        Index neighbour[3];
        Index corner[3];
    };
    WorkArray<FaceRecord> faces_;
    Fan fans_[kFansInFlight];
    std::unique_ptr<Index[]> reached_;
    std::unique_ptr<std::uint64_t[]> states_;
    DWORD* pointReps_ = nullptr;
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
