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
//
// On a pool the walks run on every thread with the same result. A vertex's walk can only
// start at its first corner in visiting order (later on it has a representative), and
// what a walk reaches depends on nothing but the adjacency; a walk is applied when no
// walk applied before it reached its vertex from another vertex's fan, and a vertex keeps
// the representative of the last applied walk that reached it. So every vertex's walk
// runs at once, from its first corner, and only the walks that reach other vertices than
// their own (at seams) are kept: every vertex then stands for itself, and those walks are
// replayed in starting order under the rule above. A walk that runs too long, or a lack
// of memory, sends the work to the one-after-the-other walk, whose errors and partial
// results are the routine's.
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry/face_order.h"
#include "geometry/mesh_object.h"
#include "geometry/work_array.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace facet {

namespace {

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

    FanWalks(const Index* indices, DWORD vertexCount, DWORD faceCount)
        : indices_(indices), vertexCount_(vertexCount), faceCount_(faceCount) {}

    // Copies the faces' neighbours and corners, checking that every adjacency entry names
    // a face or none and every corner is below the vertex count or marks an unused face.
    HRESULT Prepare(const DWORD* adjacency, ThreadPool* pool) {
        if (!faces_.Allocate(faceCount_)) return IsValid(adjacency, 0, faceCount_) ? E_OUTOFMEMORY : D3DERR_INVALIDCALL;
        const std::size_t parts = PartsFor(pool, faceCount_);
        std::vector<unsigned char> valid(parts, 1);
        RunParts(pool, parts, [&](std::size_t part) {
            const auto first = static_cast<DWORD>(PartStart(faceCount_, parts, part));
            const auto last = static_cast<DWORD>(PartStart(faceCount_, parts, part + 1));
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

// One walk after the other in effect: the walks run ahead of their turn, several at once,
// and only record what they reach; the records are applied in the order the walks
// started, and a walk is applied only if its vertex still has no representative then. A
// vertex whose walk has started is marked pending, so no second walk starts from it
// meanwhile. A failed walk that applies ends everything; vertices it left without a
// representative keep none.
template <typename Index>
class SequentialWalk {
public:
    SequentialWalk(const FanWalks<Index>& walks, FaceOrder order) : walks_(walks), order_(order) {}

    HRESULT Run(DWORD* pointReps) {
        if (!fans_.Allocate()) return E_OUTOFMEMORY;
        // Whether a vertex has a representative (or a walk under way) is asked at every
        // corner, in no particular vertex order; two bits per vertex stay in the cache where
        // the representatives would not.
        const DWORD vertexCount = walks_.vertexCount();
        states_.reset(new (std::nothrow) std::uint64_t[vertexCount / kStatesPerWord + 1]());
        if (states_ == nullptr) return E_OUTOFMEMORY;
        pointReps_ = pointReps;
        HRESULT result = D3D_OK;
        FanRing ring{0, 0};
        const bool walked = order_.ForEach([&](DWORD face) {
            // The states of the corners some way ahead are fetched now.
            if (face + kPrefetchFaces < order_.faceCount)
                for (DWORD corner = 0; corner < 3; ++corner)
                    if (const Index ahead = walks_.Corner(face + kPrefetchFaces, corner); ahead != kEmpty)
                        __builtin_prefetch(&states_[ahead / kStatesPerWord]);
            // Room for a walk from each corner first: applying walks changes which corners
            // need one.
            while (ring.count > kFansInFlight - 3) {
                result = StepAndCommit(&ring);
                if (FAILED(result)) return false;
            }
            for (DWORD corner = 0; corner < 3; ++corner) {
                const Index vertex = walks_.Corner(face, corner);
                if (vertex == kEmpty || State(vertex) != kUnreached) continue;
                SetState(vertex, kPending);
                walks_.Start(&fans_[(ring.head + ring.count++) % kFansInFlight], face, corner, 0);
            }
            return true;
        });
        while (walked && ring.count != 0) {
            result = StepAndCommit(&ring);
            if (FAILED(result)) break;
        }
        // Vertices never reached stand for themselves; after a failed walk they stay
        // without a representative.
        for (DWORD vertex = 0; vertex < vertexCount; ++vertex)
            if (State(vertex) != kAssigned) pointReps[vertex] = FAILED(result) ? NoNeighbour : vertex;
        return result;
    }

private:
    static constexpr Index kEmpty = FanWalks<Index>::kEmpty;
    static constexpr std::uint64_t kUnreached = 0, kPending = 1, kAssigned = 2;
    static constexpr DWORD kStatesPerWord = 32;
    static constexpr DWORD kPrefetchFaces = 16;

    // The walks in flight: `count` of them from slot `head` on, in starting order.
    struct FanRing {
        DWORD head;
        DWORD count;
    };

    // Steps every walk in flight once, then applies the finished ones at the head of the
    // ring. A failed walk that applies ends everything.
    HRESULT StepAndCommit(FanRing* ring) {
        for (DWORD i = 0; i < ring->count; ++i)
            if (auto& fan = fans_[(ring->head + i) % kFansInFlight]; !fan.finished) walks_.Step(&fan, pointReps_);
        while (ring->count != 0 && fans_[ring->head].finished) {
            const auto& fan = fans_[ring->head];
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

    const FanWalks<Index>& walks_;
    FaceOrder order_;
    FanRooms<Index> fans_;
    std::unique_ptr<std::uint64_t[]> states_;
    DWORD* pointReps_ = nullptr;
};

// Every vertex's walk at once, on ranges of the visits, then the replay of the walks that
// reach other vertices (see the top of the file). False when the one-after-the-other walk
// must decide: a walk ran too long, or memory ran out.
template <typename Index>
class ParallelWalk {
public:
    ParallelWalk(const FanWalks<Index>& walks, FaceOrder order, ThreadPool* pool, std::size_t parts)
        : walks_(walks), visits_{order}, pool_(pool), parts_(parts) {}

    // Whether the starting positions fit a word: three per visit.
    static bool Fits(FaceOrder order) { return Visits{order}.Count() < std::uint64_t{0xFFFFFFFF} / 3; }

    bool Run(DWORD* pointReps) {
        try {
            return WalkAndReplay(pointReps);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

private:
    bool WalkAndReplay(DWORD* pointReps) {
        visitCount_ = visits_.Count();
        if (!FindFirstCorners()) return false;
        // A vertex's first corner lies early on a mesh in no particular order, so the walks
        // are shared out by their number, in whole blocks of visits; in several shares per
        // thread, taken as threads come free, since walks differ in length (those at seams
        // also keep records).
        const std::size_t shares = parts_ * kSharesPerThread;
        std::vector<std::uint64_t> shareStart(shares + 1, blockStarts_.size());
        std::uint64_t total = 0;
        for (const DWORD count : blockStarts_) total += count;
        std::uint64_t before = 0;
        for (std::size_t block = 0, share = 0; block < blockStarts_.size(); before += blockStarts_[block++])
            while (share <= shares && before >= PartStart(total, shares, share)) shareStart[share++] = block;
        shareStart[0] = 0;
        records_.resize(shares);
        starts_.resize(shares);
        std::vector<unsigned char> walked(shares, 0);
        RunParts(pool_, shares, [&](std::size_t share) {
            try {  // a task must not throw
                walked[share] = WalkRange(share, std::min(visitCount_, shareStart[share] * kBlockVisits),
                                          std::min(visitCount_, shareStart[share + 1] * kBlockVisits));
            } catch (const std::bad_alloc&) {
                walked[share] = 0;
            }
        });
        return std::find(walked.begin(), walked.end(), 0) == walked.end() && Replay(pointReps);
    }

    static constexpr Index kEmpty = FanWalks<Index>::kEmpty;
    using Fan = typename FanWalks<Index>::Fan;
    // Ranges of visits come in whole blocks, so that no two threads write one word of the
    // first-corner bits (three bits per visit).
    static constexpr std::uint64_t kBlockVisits = 4096;
    static constexpr std::size_t kSharesPerThread = 8;

    // A kept walk: its starting position and where its record begins.
    struct Start {
        DWORD position;
        std::size_t offset;
    };

    std::uint64_t RangeStart(std::size_t part) const {
        const std::uint64_t blocks = (visitCount_ + kBlockVisits - 1) / kBlockVisits;
        return std::min(visitCount_, PartStart(blocks, parts_, part) * kBlockVisits);
    }
    static DWORD Position(std::uint64_t visit, DWORD corner) { return static_cast<DWORD>(3 * visit + corner); }
    bool IsFirstCorner(DWORD position) const { return (firstCorners_[position / 64] >> (position % 64) & 1) != 0; }

    // Marks each vertex's first corner in visiting order and counts them per block: each
    // range notes its vertices, each range learns those of the ranges before it, and in
    // each range a corner is first when its vertex is in neither.
    bool FindFirstCorners() {
        std::vector<VertexBits> seen(parts_);
        for (VertexBits& bits : seen)
            if (!bits.Allocate(walks_.vertexCount())) return false;
        firstCorners_.reset(new (std::nothrow) std::uint64_t[3 * visitCount_ / 64 + 1]());
        if (firstCorners_ == nullptr) return false;
        blockStarts_.assign((visitCount_ + kBlockVisits - 1) / kBlockVisits, 0);
        // No range comes after the last, so its vertices are not needed yet.
        RunParts(pool_, parts_ - 1, [&](std::size_t part) {
            visits_.ForRange(RangeStart(part), RangeStart(part + 1), [&](DWORD face, std::uint64_t) {
                for (DWORD corner = 0; corner < 3; ++corner)
                    if (const Index vertex = walks_.MeshCorner(face, corner); vertex != kEmpty) seen[part].Add(vertex);
                return true;
            });
        });
        const std::size_t words = seen[0].wordCount();
        const std::size_t wordParts = PartsFor(pool_, words, 1u << 12);
        RunParts(pool_, wordParts, [&](std::size_t wordPart) {
            for (std::size_t word = PartStart(words, wordParts, wordPart); word < PartStart(words, wordParts, wordPart + 1);
                 ++word) {
                std::uint64_t before = 0;
                for (VertexBits& bits : seen) {
                    const std::uint64_t own = bits.words()[word];
                    bits.words()[word] = before;
                    before |= own;
                }
            }
        });
        RunParts(pool_, parts_, [&](std::size_t part) {
            visits_.ForRange(RangeStart(part), RangeStart(part + 1), [&](DWORD face, std::uint64_t visit) {
                for (DWORD corner = 0; corner < 3; ++corner) {
                    const Index vertex = walks_.MeshCorner(face, corner);
                    if (vertex == kEmpty || seen[part].Has(vertex)) continue;
                    seen[part].Add(vertex);
                    const DWORD position = Position(visit, corner);
                    firstCorners_[position / 64] |= std::uint64_t{1} << (position % 64);
                    ++blockStarts_[visit / kBlockVisits];
                }
                return true;
            });
        });
        return true;
    }

    // Runs the walks that start in the visits [first, last), keeping those that reach
    // other vertices as records (vertex, count, vertices reached), listed in starting
    // order.
    bool WalkRange(std::size_t share, std::uint64_t first, std::uint64_t last) {
        FanRooms<Index> fans;
        if (!fans.Allocate()) return false;
        std::vector<DWORD>& records = records_[share];
        std::vector<Start>& starts = starts_[share];
        DWORD freeSlots[kFansInFlight], active[kFansInFlight];
        DWORD freeCount = kFansInFlight, activeCount = 0;
        for (DWORD slot = 0; slot < kFansInFlight; ++slot) freeSlots[slot] = slot;
        bool failed = false;
        // Steps every walk in flight once, keeping the finished ones' records. Walks finish
        // out of starting order, but never far from it.
        const auto stepAll = [&] {
            for (DWORD i = 0; i < activeCount;) {
                Fan& fan = fans[active[i]];
                if (!fan.finished) walks_.Step(&fan, nullptr);
                if (!fan.finished) {
                    ++i;
                    continue;
                }
                if (FAILED(fan.result)) failed = true;
                if (fan.reachedCount != 0) {
                    starts.push_back({fan.startPosition, records.size()});
                    for (std::size_t at = starts.size() - 1; at > 0 && starts[at - 1].position > starts[at].position; --at)
                        std::swap(starts[at - 1], starts[at]);
                    records.insert(records.end(), {DWORD{fan.vertex}, fan.reachedCount});
                    records.insert(records.end(), fan.reached, fan.reached + fan.reachedCount);
                }
                freeSlots[freeCount++] = active[i];
                active[i] = active[--activeCount];
            }
        };
        const bool completed = visits_.ForRange(first, last, [&](DWORD face, std::uint64_t visit) {
            while (activeCount > kFansInFlight - 3) stepAll();
            for (DWORD corner = 0; corner < 3; ++corner) {
                if (!IsFirstCorner(Position(visit, corner))) continue;
                const DWORD slot = freeSlots[--freeCount];
                active[activeCount++] = slot;
                walks_.Start(&fans[slot], face, corner, Position(visit, corner));
            }
            return !failed;
        });
        while (completed && activeCount != 0) stepAll();
        return completed && !failed;
    }

    // Only walks that reach other vertices than their own are kept: whether a walk is
    // applied depends on those alone, and an applied walk that reaches its own vertex only
    // leaves it standing for itself.
    bool Replay(DWORD* pointReps) const {
        const DWORD vertexCount = walks_.vertexCount();
        VertexBits reached;
        if (!reached.Allocate(vertexCount)) return false;
        const std::size_t vertexParts = PartsFor(pool_, vertexCount);
        RunParts(pool_, vertexParts, [&](std::size_t part) {
            for (auto vertex = static_cast<DWORD>(PartStart(vertexCount, vertexParts, part));
                 vertex < PartStart(vertexCount, vertexParts, part + 1); ++vertex)
                pointReps[vertex] = vertex;
        });
        for (std::size_t share = 0; share < records_.size(); ++share)
            for (const Start& start : starts_[share]) {
                const DWORD* record = &records_[share][start.offset];
                if (reached.Has(record[0])) continue;  // an earlier applied walk reached its vertex
                for (DWORD i = 0; i < record[1]; ++i) {
                    pointReps[record[2 + i]] = record[0];
                    reached.Add(record[2 + i]);
                }
            }
        return true;
    }

    const FanWalks<Index>& walks_;
    Visits visits_;
    ThreadPool* pool_;
    std::size_t parts_;
    std::uint64_t visitCount_ = 0;
    std::unique_ptr<std::uint64_t[]> firstCorners_;
    std::vector<DWORD> blockStarts_;  // first corners per block of visits
    std::vector<std::vector<DWORD>> records_;
    std::vector<std::vector<Start>> starts_;
};

template <typename Index>
HRESULT WalkFans(const Index* indices, DWORD vertexCount, DWORD faceCount, FaceOrder order, const DWORD* adjacency,
                 DWORD* pointReps, ThreadPool* pool) {
    if (!order.IsWithinFaces()) return D3DERR_INVALIDCALL;
    FanWalks<Index> walks(indices, vertexCount, faceCount);
    const HRESULT prepared = walks.Prepare(adjacency, pool);
    if (FAILED(prepared)) return prepared;
    const std::size_t parts = PartsFor(pool, Visits{order}.Count());
    if (parts > 1 && ParallelWalk<Index>::Fits(order) && ParallelWalk<Index>(walks, order, pool, parts).Run(pointReps))
        return D3D_OK;
    return SequentialWalk<Index>(walks, order).Run(pointReps);
}

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::PointRepsFromAdjacency(const DWORD* adjacency, DWORD* pointReps) {
    if (adjacency == nullptr || pointReps == nullptr || (options_ & MeshOptions::IndexWriteOnly) != 0)
        return D3DERR_INVALIDCALL;
    void* indices = nullptr;
    HRESULT result = LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    result = WalkFans(static_cast<const Index*>(indices), vertexCount_, faceCount_,
                      FaceOrder{groupTable_.get(), groupCount_, faceCount_}, adjacency, pointReps, nullptr);
    UnlockIndices();
    return result;
}

template HRESULT MeshObject<WORD>::PointRepsFromAdjacency(const DWORD*, DWORD*);
template HRESULT MeshObject<DWORD>::PointRepsFromAdjacency(const DWORD*, DWORD*);

HRESULT PointRepsFromAdjacency(Mesh* mesh, const DWORD* adjacency, DWORD* pointReps, ThreadPool* pool) {
    if (mesh == nullptr) return D3DERR_INVALIDCALL;
    if (pool == nullptr || pool->Size() == 1) return mesh->PointRepsFromAdjacency(adjacency, pointReps);
    if (adjacency == nullptr || pointReps == nullptr || (mesh->Options() & MeshOptions::IndexWriteOnly) != 0)
        return D3DERR_INVALIDCALL;
    DWORD groupCount = 0;
    HRESULT result = mesh->CopyGroupTable(nullptr, &groupCount);
    if (FAILED(result)) return result;
    std::vector<GroupEntry> groups(groupCount);
    if (groupCount != 0) {
        result = mesh->CopyGroupTable(groups.data(), &groupCount);
        if (FAILED(result)) return result;
    }
    void* indices = nullptr;
    result = mesh->LockIndices(D3DLOCK_READONLY, &indices);
    if (FAILED(result)) return result;
    const FaceOrder order{groups.data(), groupCount, mesh->FaceCount()};
    result = (mesh->Options() & MeshOptions::Indices32Bit) != 0
                 ? WalkFans(static_cast<const DWORD*>(indices), mesh->VertexCount(), mesh->FaceCount(), order, adjacency,
                            pointReps, pool)
                 : WalkFans(static_cast<const WORD*>(indices), mesh->VertexCount(), mesh->FaceCount(), order, adjacency,
                            pointReps, pool);
    mesh->UnlockIndices();
    return result;
}

}  // namespace facet
