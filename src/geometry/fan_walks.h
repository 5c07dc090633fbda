// The fan walks behind PointRepsFromAdjacency: the working copy of the faces (each face's
// neighbours and corners side by side), the steps of one walk around a vertex, and what
// the sequential and the threaded walk share. A walk reads, for each face it enters, that
// face's neighbours and corners; on a mesh in no particular order each face is a cache
// miss, so the working copy keeps both together, one record per face: one miss per step
// instead of two.
#pragma once

#include "facet/thread_pool.h"
#include "geometry/face_order.h"
#include "geometry/mesh_object.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace facet::fan_walks {

// The result of a walk around one vertex that reaches too many faces, which only a
// corrupt adjacency can produce.
constexpr HRESULT kWalkTooLong = static_cast<HRESULT>(0x88760B55u);
constexpr DWORD kMaxWalkFaces = 10000;

// Walks run several at once, so that the faces they enter (one cache miss per step on a
// mesh in no particular order) are fetched side by side.
constexpr DWORD kFansInFlight = 32;

// A set of vertices, a bit each: small enough to stay in the cache where a word per
// vertex would not.
class VertexBits {
public:
    bool Allocate(DWORD vertexCount) {
        words_ = vertexCount / 64 + 1;
        bits_.reset(new (std::nothrow) std::uint64_t[words_]());
        return bits_ != nullptr;
    }
    bool Has(DWORD vertex) const { return (bits_[vertex / 64] >> (vertex % 64) & 1) != 0; }
    void Add(DWORD vertex) { bits_[vertex / 64] |= std::uint64_t{1} << (vertex % 64); }
    std::uint64_t* words() const { return bits_.get(); }
    std::size_t wordCount() const { return words_; }

private:
    std::size_t words_ = 0;
    std::unique_ptr<std::uint64_t[]> bits_;
};

// The faces in visiting order, numbered 0, 1, ... across the groups, so that they can be
// split into ranges.
struct Visits {
    FaceOrder order;

    std::uint64_t Count() const {
        if (order.groupCount == 0) return order.faceCount;
        std::uint64_t count = 0;
        for (DWORD i = 0; i < order.groupCount; ++i) count += order.groups[i].faceCount;
        return count;
    }

    // Calls visit(face, visitNumber) for the visits in [first, last), in order; stops
    // early, returning false, when visit returns false.
    template <typename Visit>
    bool ForRange(std::uint64_t first, std::uint64_t last, Visit&& visit) const {
        if (order.groupCount == 0) {
            for (std::uint64_t number = first; number < last; ++number)
                if (!visit(static_cast<DWORD>(number), number)) return false;
            return true;
        }
        std::uint64_t groupStart = 0;
        for (DWORD i = 0; i < order.groupCount && groupStart < last; ++i) {
            const std::uint64_t groupEnd = groupStart + order.groups[i].faceCount;
            for (std::uint64_t number = std::max(first, groupStart); number < std::min(last, groupEnd); ++number)
                if (!visit(static_cast<DWORD>(order.groups[i].firstFace + (number - groupStart)), number)) return false;
            groupStart = groupEnd;
        }
        return true;
    }
};

// The working copy of the faces and the steps of a walk over it.
template <typename Index>
class FanWalks {
public:
    static constexpr Index kEmpty = MeshObject<Index>::kEmptyIndex;

    struct Fan {
        DWORD startFace;
        DWORD startCorner;
        DWORD startPosition;  // three per visit before its face's visit, plus the corner
        Index vertex;
        DWORD face;
        DWORD corner;
        Index next;  // the face the next step enters, being fetched
        bool backward;
        bool finished;
        HRESULT result;
        DWORD facesReached;
        DWORD reachedCount;
        Index* reached;  // the other vertices at the corners reached
    };

    // `walked`, when not null, names the only vertices whose walks run: every other vertex
    // stands for itself, for a caller who knows that no walk reaches it from another.
    FanWalks(const Index* indices, DWORD vertexCount, DWORD faceCount, const VertexBits* walked = nullptr)
        : indices_(indices), vertexCount_(vertexCount), faceCount_(faceCount), walked_(walked) {}

    // Copies the faces' neighbours and corners, checking that every adjacency entry names
    // a face or none and every corner is below the vertex count or marks an unused face.
    HRESULT Prepare(const DWORD* adjacency, ThreadPool* pool) {
        if (!faces_.Allocate(faceCount_)) return IsValid(adjacency, 0, faceCount_) ? E_OUTOFMEMORY : D3DERR_INVALIDCALL;
        const std::size_t parts = PartsFor(pool, faceCount_);
        std::vector<unsigned char> valid(parts, 1);
        RunParts(pool, parts, [&](std::size_t part) {
            const auto [firstFace, lastFace] = ItemsOfPart(faceCount_, parts, part);
            const auto first = static_cast<DWORD>(firstFace), last = static_cast<DWORD>(lastFace);
            if (!IsValid(adjacency, first, last)) {
                valid[part] = 0;
                return;
            }
            // In the index width: a face number always fits, since a mesh has fewer faces
            // than its empty-index value.
            for (DWORD face = first; face < last; ++face)
                for (DWORD k = 0; k < 3; ++k) {
                    const DWORD neighbour = adjacency[3 * std::size_t{face} + k];
                    faces_[face].neighbour[k] = neighbour == NoNeighbour ? kEmpty : static_cast<Index>(neighbour);
                    faces_[face].corner[k] = indices_[3 * std::size_t{face} + k];
                }
        });
        return std::find(valid.begin(), valid.end(), 0) == valid.end() ? D3D_OK : D3DERR_INVALIDCALL;
    }

    DWORD vertexCount() const { return vertexCount_; }
    // Whether a walk starts from `vertex` at its first corner.
    bool Walks(Index vertex) const { return walked_ == nullptr || walked_->Has(vertex); }
    // The same for the 64 vertices of a word of a VertexBits, a bit each.
    std::uint64_t WalkedWord(std::size_t word) const { return walked_ == nullptr ? ~std::uint64_t{0} : walked_->words()[word]; }
    Index Corner(DWORD face, DWORD corner) const { return faces_[face].corner[corner]; }
    // The same from the mesh's indices, a third of the bytes for a pass over every face.
    Index MeshCorner(DWORD face, DWORD corner) const { return indices_[3 * std::size_t{face} + corner]; }

    void Start(Fan* fan, DWORD face, DWORD corner, DWORD position) const {
        fan->startFace = face;
        fan->startCorner = corner;
        fan->startPosition = position;
        fan->vertex = faces_[face].corner[corner];
        fan->facesReached = 1;
        fan->reachedCount = 0;
        fan->finished = false;
        fan->result = D3D_OK;
        TurnTo(fan, false);
    }

    // Enters the face fetched in the last step. `written`, when not null, is where the
    // reached vertices' representatives will be written, fetched now.
    void Step(Fan* fan, DWORD* written) const {
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
        // A corner holding the walked vertex itself changes nothing when applied.
        if (const Index reached = faces_[fan->face].corner[fan->corner]; reached != kEmpty && reached != fan->vertex) {
            fan->reached[fan->reachedCount++] = reached;
            if (written != nullptr) __builtin_prefetch(&written[reached], 1);
        }
        LookAhead(fan);
    }

private:
    bool IsValid(const DWORD* adjacency, DWORD firstFace, DWORD lastFace) const {
        for (std::size_t i = std::size_t{3} * firstFace; i < std::size_t{3} * lastFace; ++i) {
            if (adjacency[i] != NoNeighbour && adjacency[i] >= faceCount_) return false;
            if (indices_[i] != kEmpty && indices_[i] >= vertexCount_) return false;
        }
        return true;
    }

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

    const Index* indices_;
    DWORD vertexCount_;
    DWORD faceCount_;
    const VertexBits* walked_;
    // A face's neighbours and corners, side by side.
    struct alignas(4 * sizeof(Index)) FaceRecord {
        Index neighbour[3];
        Index corner[3];
    };
    WorkArray<FaceRecord> faces_;
};

// Room for the vertices each walk in flight reaches. Only the start of each walk's room
// is touched on ordinary meshes, so it comes in small pages from the ordinary allocator.
template <typename Index>
class FanRooms {
public:
    using Fan = typename FanWalks<Index>::Fan;

    bool Allocate() {
        reached_.reset(new (std::nothrow) Index[std::size_t{kFansInFlight} * kMaxWalkFaces]);
        if (reached_ == nullptr) return false;
        for (DWORD slot = 0; slot < kFansInFlight; ++slot) fans_[slot].reached = reached_.get() + std::size_t{slot} * kMaxWalkFaces;
        return true;
    }
    Fan& operator[](DWORD slot) { return fans_[slot]; }

private:
    Fan fans_[kFansInFlight];
    std::unique_ptr<Index[]> reached_;
};

}  // namespace facet::fan_walks

namespace facet {

// PointRepsFromAdjacency(mesh, adjacency, pointReps, pool) with walks only from the
// vertices in `walked`; every other vertex stands for itself. The same representatives
// when no walk from another vertex would reach one of those (see
// welded_vertex_normals.cpp for when a caller knows that).
HRESULT PointRepsFromChosenWalks(Mesh* mesh, const DWORD* adjacency, const fan_walks::VertexBits& walked,
                                 DWORD* pointReps, ThreadPool* pool);

}  // namespace facet
