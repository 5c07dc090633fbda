// CornerJoiner: see corner_joining.h. Open addressing with linear probing over a power of
// two slots, kept at most half full.
#include "geometry/corner_joining.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>

namespace facet {

namespace {

constexpr DWORD kEmptySlot = 0xFFFFFFFF;
constexpr std::size_t kSmallestTable = 1024;

// The bits of a coordinate with -0 taken as +0, so that equal values hash alike.
std::uint64_t KeyBits(float value) { return value == 0.0f ? 0 : std::bit_cast<std::uint32_t>(value); }

}  // namespace

std::uint64_t CornerJoiner::HashOf(const float* position) {
    std::uint64_t hash = KeyBits(position[0]) * 0x9E3779B97F4A7C15ull;
    hash = (hash ^ KeyBits(position[1])) * 0xC2B2AE3D27D4EB4Full;
    hash = (hash ^ KeyBits(position[2])) * 0x165667B19E3779F9ull;
    return hash ^ (hash >> 29);
}

namespace {

bool SamePosition(const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

}  // namespace

CornerJoiner::CornerJoiner(MeshFileContents* contents, std::size_t expectedVertices) : contents_(contents) {
    Allocate(std::bit_ceil(std::max(kSmallestTable, 2 * expectedVertices)));
}

void CornerJoiner::Allocate(std::size_t slots) {
    if (!slots_.Allocate(slots)) throw std::bad_alloc();
    std::fill(slots_.get(), slots_.get() + slots, Slot{kEmptySlot, {0.0f, 0.0f, 0.0f}});
    mask_ = slots - 1;
}

void CornerJoiner::Insert(std::uint64_t hash, DWORD vertex, const float* position) {
    std::size_t slot = static_cast<std::size_t>(hash) & mask_;
    while (slots_[slot].vertex != kEmptySlot) slot = (slot + 1) & mask_;
    slots_[slot] = Slot{vertex, {position[0], position[1], position[2]}};
}

void CornerJoiner::Grow() {
    Allocate(2 * (mask_ + 1));
    for (DWORD v = 0; v < contents_->VertexCount(); ++v) {
        const float* position = &contents_->positions[3 * std::size_t{v}];
        Insert(HashOf(position), v, position);
    }
}

void CornerJoiner::HashAll(const float* positions, std::size_t count, std::uint64_t* hashes) {
    for (std::size_t k = 0; k < count; ++k) hashes[k] = HashOf(positions + 3 * k);
}

void CornerJoiner::AddAll(const float* positions, std::size_t count) {
    constexpr std::size_t kRun = 1024;
    std::uint64_t hashes[kRun];
    for (std::size_t first = 0; first < count; first += kRun) {
        const std::size_t run = std::min(kRun, count - first);
        HashAll(positions + 3 * first, run, hashes);
        AddAllHashed(positions + 3 * first, hashes, run);
    }
}

void CornerJoiner::AddAllHashed(const float* positions, const std::uint64_t* hashes, std::size_t count) {
    constexpr std::size_t kAhead = 16;
    const auto slotOf = [&](std::size_t k) { return &slots_[static_cast<std::size_t>(hashes[k]) & mask_]; };
    for (std::size_t k = 0; k < std::min(count, kAhead); ++k) __builtin_prefetch(slotOf(k));
    for (std::size_t k = 0; k < count; ++k) {
        if (k + kAhead < count) __builtin_prefetch(slotOf(k + kAhead));
        AddHashed(positions + 3 * k, hashes[k]);
    }
}

void CornerJoiner::AddHashed(const float* position, std::uint64_t hash) {
    for (std::size_t slot = static_cast<std::size_t>(hash) & mask_; slots_[slot].vertex != kEmptySlot;
         slot = (slot + 1) & mask_)
        if (SamePosition(slots_[slot].position, position)) {
            contents_->corners.push_back(slots_[slot].vertex);
            ++contents_->summary.joinedCorners;
            return;
        }
    const DWORD vertex = contents_->VertexCount();
    contents_->positions.insert(contents_->positions.end(), position, position + 3);
    contents_->corners.push_back(vertex);
    if (2 * (std::size_t{vertex} + 1) > mask_ + 1)
        Grow();
    else
        Insert(hash, vertex, position);
}

}  // namespace facet
