// SequentialWalk: the fan walks one after the other in effect (see fan_walks.h).
#pragma once

#include "geometry/fan_walks.h"

namespace facet::fan_walks {

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
                if (vertex == kEmpty || State(vertex) != kUnreached || !walks_.Walks(vertex)) continue;
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

}  // namespace facet::fan_walks
