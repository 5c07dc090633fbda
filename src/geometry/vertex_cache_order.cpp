// The vertex cache ordering: per vertex, the list of its faces not yet emitted (swap-removal
// keeps the live ones at the front) and a score from its cache position and live face
// count; a face scores the sum of its corners' scores. After each emitted face the cache
// and the scores of the vertices in it (and of those just pushed out) are updated, and the
// best-scoring live face of a cached vertex is next. Only cached and just-evicted vertices
// change score, so nothing else needs updating. When no live face touches the cache, the
// next face comes from the corners of recently emitted faces, and failing that from a
// cursor over the input order.
#include "geometry/vertex_cache_order.h"

#include "geometry/work_array.h"

#include <algorithm>
#include <cmath>

namespace facet {

namespace {

constexpr std::uint32_t kCacheSize = 16;   // the cache the scores are tuned for
constexpr std::uint32_t kMaxValence = 32;  // live counts above this score as this
constexpr std::uint32_t kNotCached = kCacheSize;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint32_t kDeadEndRing = 128;  // recently emitted corners remembered

// The score of a vertex by its cache position. The shape started as the usual one (the
// three corners just used a little below the next few, so that a strip moves on instead
// of fanning around one face; then a falling curve) and was tuned by a random search for
// the lowest miss ratio on FIFO caches of 16 and 32 entries over a set of scanned and
// modelled meshes and a regular grid.
constexpr float kCacheScores[kCacheSize] = {0.484f, 0.500f, 0.500f, 1.000f, 0.503f, 0.846f, 0.769f, 0.692f,
                                            0.615f, 0.691f, 0.775f, 0.575f, 0.291f, 0.000f, 0.295f, 0.000f};
// The score of a vertex by its number of faces not yet emitted: vertices with few left
// are finished first, so they leave the cache for good. Beyond the table it falls as
// one over the square root.
constexpr std::uint32_t kValenceTable = 8;
constexpr float kValenceScores[kValenceTable] = {3.279f, 2.061f, 1.742f, 1.460f,
                                                 1.305f, 1.179f, 1.194f, 1.053f};

struct ScoreTables {
    float cache[kCacheSize + 1];     // by cache position; kNotCached scores 0
    float valence[kMaxValence + 1];  // by live face count
    ScoreTables() {
        std::copy_n(kCacheScores, kCacheSize, cache);
        cache[kNotCached] = 0.0f;
        valence[0] = 0.0f;
        for (std::uint32_t live = 1; live <= kMaxValence; ++live)
            valence[live] = live <= kValenceTable ? kValenceScores[live - 1]
                                                  : kValenceScores[kValenceTable - 1] *
                                                        std::sqrt(static_cast<float>(kValenceTable) /
                                                                  static_cast<float>(live));
    }
    // A vertex without live faces scores too, but no candidate face has such a corner.
    float Score(std::uint32_t position, std::uint32_t live) const {
        return cache[position] + valence[std::min(live, kMaxValence)];
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
               faces_.Allocate(3 * faceCount_) && vertexScore_.Allocate(vertexCount_) &&
               emitted_.Allocate(faceCount_);
    }

    void Run(std::uint32_t* faceOrder) {
        BuildVertexFaceLists();
        std::uint32_t next = InitialScores();
        for (std::size_t emitted = 0; emitted < faceCount_; ++emitted) {
            faceOrder[emitted] = next;
            next = Emit(next);
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
        std::fill_n(emitted_.get(), faceCount_, std::uint8_t{0});
        std::uint32_t best = 0;
        float bestScore = -1.0f;
        for (std::size_t f = 0; f < faceCount_; ++f) {
            const std::uint32_t* c = corners_ + 3 * f;
            const float score = vertexScore_[c[0]] + vertexScore_[c[1]] + vertexScore_[c[2]];
            if (score > bestScore) {
                bestScore = score;
                best = static_cast<std::uint32_t>(f);
            }
        }
        return best;
    }

    // Emits `face` and returns the best next face touching the cache, kNone when none does.
    std::uint32_t Emit(std::uint32_t face) {
        emitted_[face] = 1;
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
        return UpdateCacheAndPickNext(c);
    }

    // Moves the face's corners to the front of the cache; the vertices pushed past its end
    // leave it. The vertices in the cache and those leaving it get their new scores, and
    // the best-scoring live face of a cached vertex is returned, kNone when there is none.
    std::uint32_t UpdateCacheAndPickNext(const std::uint32_t* c) {
        std::uint32_t fresh[kCacheSize + 3];
        std::uint32_t size = 0;
        fresh[size++] = c[0];
        if (c[1] != c[0]) fresh[size++] = c[1];
        if (c[2] != c[0] && c[2] != c[1]) fresh[size++] = c[2];
        for (std::uint32_t i = 0; i < cacheCount_; ++i) {
            const std::uint32_t v = cache_[i];
            if (v != c[0] && v != c[1] && v != c[2]) fresh[size++] = v;
        }
        for (std::uint32_t i = 0; i < size; ++i)
            vertexScore_[fresh[i]] = tables_.Score(i < kCacheSize ? i : kNotCached, live_[fresh[i]]);
        cacheCount_ = std::min(size, kCacheSize);
        std::copy_n(fresh, cacheCount_, cache_);

        std::uint32_t best = kNone;
        float bestScore = 0.0f;
        for (std::uint32_t i = 0; i < cacheCount_; ++i) {
            const std::uint32_t v = cache_[i];
            const std::uint32_t* list = faces_.get() + firstFace_[v];
            for (std::uint32_t j = 0, n = live_[v]; j < n; ++j) {
                const std::uint32_t* f = corners_ + 3 * std::size_t{list[j]};
                const float score = vertexScore_[f[0]] + vertexScore_[f[1]] + vertexScore_[f[2]];
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
        while (cursor_ < faceCount_ && emitted_[cursor_] != 0) ++cursor_;
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
    WorkArray<std::uint8_t> emitted_;     // 1 once the face is in the order
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
