// The vertex cache ordering: per vertex, the list of its faces not yet emitted (swap-removal
// keeps the live ones at the front); per vertex a score from its cache position and live
// face count, per face the sum of its corners' scores. After each emitted face the cache
// is updated, the changed vertex scores are pushed into their faces' scores, and the best
// face touching the cache is next. When none is left there, the next face comes from the
// corners of recently emitted faces, and failing that from a cursor over the input order.
#include "geometry/vertex_cache_order.h"

#include "geometry/work_array.h"

#include <algorithm>
#include <cmath>

namespace facet {

namespace {

constexpr std::uint32_t kCacheSize = 32;   // the cache the scores are tuned for
constexpr std::uint32_t kMaxValence = 32;  // live counts above this score as this
constexpr std::uint32_t kNotCached = kCacheSize;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr float kEmitted = -1.0f;
constexpr std::uint32_t kDeadEndRing = 128;  // recently emitted corners remembered

struct ScoreTables {
    float cache[kCacheSize + 1];        // by cache position; kNotCached scores 0
    float valence[kMaxValence + 1];     // by live face count
    ScoreTables() {
        // The three corners just used score a little below the next few, so that a strip
        // of faces moves on instead of fanning around one face.
        for (std::uint32_t position = 0; position < kCacheSize; ++position)
            cache[position] = position < 3 ? 0.5f
                                           : std::pow(1.0f - static_cast<float>(position - 3) /
                                                                 static_cast<float>(kCacheSize - 3),
                                                      1.5f);
        cache[kNotCached] = 0.0f;
        // Vertices with few faces left are finished first, so they leave the cache for good.
        valence[0] = 0.0f;
        for (std::uint32_t live = 1; live <= kMaxValence; ++live)
            valence[live] = 3.0f / std::sqrt(static_cast<float>(live));
    }
    float Score(std::uint32_t position, std::uint32_t live) const {
        return live == 0 ? 0.0f : cache[position] + valence[std::min(live, kMaxValence)];
    }
};

const ScoreTables& Tables() {
    static const ScoreTables tables;
    return tables;
}

class CacheOrderer {
public:
    CacheOrderer(const std::uint32_t* corners, std::size_t faceCount, std::size_t vertexCount)
        : corners_(corners), faceCount_(faceCount), vertexCount_(vertexCount), tables_(Tables()) {}

    bool Allocate() {
        return firstFace_.Allocate(vertexCount_ + 1) && live_.Allocate(vertexCount_) &&
               faces_.Allocate(3 * faceCount_) && vertexScore_.Allocate(vertexCount_) && faceScore_.Allocate(faceCount_);
    }

    void Run(std::uint32_t* faceOrder) {
        BuildVertexFaceLists();
        std::uint32_t next = InitialScores();
        for (std::size_t emitted = 0; emitted < faceCount_; ++emitted) {
            faceOrder[emitted] = next;
            Emit(next);
            next = BestFaceInCache();
            if (next == kNone) next = DeadEndRestart();
        }
    }

private:
    void BuildVertexFaceLists() {
        std::fill_n(live_.get(), vertexCount_, 0u);
        for (std::size_t i = 0; i < 3 * faceCount_; ++i) ++live_[corners_[i]];
        std::uint32_t sum = 0;
        for (std::size_t v = 0; v < vertexCount_; ++v) {
            firstFace_[v] = sum;
            sum += live_[v];
        }
        firstFace_[vertexCount_] = sum;
        // Fill from the back of each list, so the counts run down to 0 and back up again.
        std::fill_n(live_.get(), vertexCount_, 0u);
        for (std::size_t f = 0; f < faceCount_; ++f)
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t v = corners_[3 * f + k];
                faces_[firstFace_[v] + live_[v]++] = static_cast<std::uint32_t>(f);
            }
    }

    // Scores with an empty cache; the best-scoring face starts the order.
    std::uint32_t InitialScores() {
        for (std::size_t v = 0; v < vertexCount_; ++v) vertexScore_[v] = tables_.Score(kNotCached, live_[v]);
        std::uint32_t best = 0;
        float bestScore = -1.0f;
        for (std::size_t f = 0; f < faceCount_; ++f) {
            const std::uint32_t* c = corners_ + 3 * f;
            const float score = vertexScore_[c[0]] + vertexScore_[c[1]] + vertexScore_[c[2]];
            faceScore_[f] = score;
            if (score > bestScore) {
                bestScore = score;
                best = static_cast<std::uint32_t>(f);
            }
        }
        return best;
    }

    void Emit(std::uint32_t face) {
        faceScore_[face] = kEmitted;
        const std::uint32_t* c = corners_ + 3 * face;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = c[k];
            std::uint32_t* list = faces_.get() + firstFace_[v];
            const std::uint32_t last = --live_[v];
            std::uint32_t i = 0;
            while (list[i] != face) ++i;
            list[i] = list[last];
            list[last] = face;
            deadEnds_[deadEndCount_++ % kDeadEndRing] = v;
        }
        UpdateCache(c);
    }

    // Moves the face's corners to the front of the cache; the vertices pushed past its end
    // leave it. Every vertex whose position or live count changed gets its new score, and
    // the difference is added to its live faces.
    void UpdateCache(const std::uint32_t* c) {
        std::uint32_t fresh[kCacheSize + 3];
        std::uint32_t size = 0;
        for (int k = 0; k < 3; ++k)
            if (std::find(fresh, fresh + size, c[k]) == fresh + size) fresh[size++] = c[k];
        for (std::uint32_t i = 0; i < cacheCount_; ++i) {
            const std::uint32_t v = cache_[i];
            if (v != c[0] && v != c[1] && v != c[2]) fresh[size++] = v;
        }
        for (std::uint32_t i = 0; i < size; ++i) {
            const std::uint32_t v = fresh[i];
            const float score = tables_.Score(i < kCacheSize ? i : kNotCached, live_[v]);
            const float delta = score - vertexScore_[v];
            if (delta == 0.0f) continue;
            vertexScore_[v] = score;
            const std::uint32_t* list = faces_.get() + firstFace_[v];
            for (std::uint32_t j = 0, n = live_[v]; j < n; ++j) faceScore_[list[j]] += delta;
        }
        cacheCount_ = std::min(size, kCacheSize);
        std::copy_n(fresh, cacheCount_, cache_);
    }

    std::uint32_t BestFaceInCache() const {
        std::uint32_t best = kNone;
        float bestScore = 0.0f;
        for (std::uint32_t i = 0; i < cacheCount_; ++i) {
            const std::uint32_t v = cache_[i];
            const std::uint32_t* list = faces_.get() + firstFace_[v];
            for (std::uint32_t j = 0, n = live_[v]; j < n; ++j) {
                const float score = faceScore_[list[j]];
                if (score > bestScore) {
                    bestScore = score;
                    best = list[j];
                }
            }
        }
        return best;
    }

    // No face touches the cache: continue near the faces emitted last, else in input order.
    std::uint32_t DeadEndRestart() {
        while (deadEndCount_ > 0 && deadEndsSeen_ < kDeadEndRing) {
            const std::uint32_t v = deadEnds_[--deadEndCount_ % kDeadEndRing];
            ++deadEndsSeen_;
            if (live_[v] > 0) {
                deadEndsSeen_ = 0;
                return faces_[firstFace_[v]];
            }
        }
        deadEndsSeen_ = 0;
        deadEndCount_ = 0;
        while (cursor_ < faceCount_ && faceScore_[cursor_] == kEmitted) ++cursor_;
        return cursor_ < faceCount_ ? static_cast<std::uint32_t>(cursor_) : kNone;
    }

    const std::uint32_t* corners_;
    std::size_t faceCount_;
    std::size_t vertexCount_;
    const ScoreTables& tables_;
    WorkArray<std::uint32_t> firstFace_;  // start of each vertex's face list
    WorkArray<std::uint32_t> live_;       // faces of the vertex not yet emitted
    WorkArray<std::uint32_t> faces_;      // the lists, live faces first
    WorkArray<float> vertexScore_;
    WorkArray<float> faceScore_;          // kEmitted once emitted
    std::uint32_t cache_[kCacheSize] = {};
    std::uint32_t cacheCount_ = 0;
    std::uint32_t deadEnds_[kDeadEndRing] = {};
    std::uint64_t deadEndCount_ = 0;
    std::uint32_t deadEndsSeen_ = 0;
    std::size_t cursor_ = 0;
};

}  // namespace

bool OrderFacesForVertexCache(const std::uint32_t* corners, std::size_t faceCount, std::size_t vertexCount,
                              std::uint32_t* faceOrder) {
    if (faceCount == 0) return true;
    CacheOrderer orderer(corners, faceCount, vertexCount);
    if (!orderer.Allocate()) return false;
    orderer.Run(faceOrder);
    return true;
}

}  // namespace facet
