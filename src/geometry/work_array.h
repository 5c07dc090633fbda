// WorkArray: an uninitialised array of plain values for a routine's working storage.
// Large arrays are mapped on their own in huge pages (see huge_page_memory.h): a fresh
// mapping is otherwise touched in one page fault per 4 KiB on every call, which for
// meshes of millions of faces costs as much as the work itself. Smaller arrays come from
// the ordinary allocator, and once freed are kept, a few per thread, for that thread's
// next arrays: a routine called again and again on small meshes (from a script, say)
// would otherwise see the allocator give its freed storage back to the system and fault
// it in afresh on every call, which costs a small mesh's routine a third of its time.
#pragma once

#include "springdrop/system/huge_page_memory.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>


namespace facet {

// The freed blocks below WorkArray's mapping size a thread keeps for its next arrays: at
// most kBlocks of them and kBytes in all; a block that does not fit is given back.
class RecycledBlocks {
public:
    // Blocks start on a cache line, which also serves every value a work array holds.
    static constexpr std::align_val_t kAlignment{64};

    // A kept block of at least `bytes` (the smallest such, the last kept of equals, which
    // is likeliest still in the cache), else a new one; its size in *capacity. Null when
    // none can be had.
    static void* Take(std::size_t bytes, std::size_t* capacity) {
        Shelf& shelf = ThisThread();
        std::size_t best = kBlocks;
        for (std::size_t i = 0; i < shelf.count; ++i)
            if (shelf.sizes[i] >= bytes && (best == kBlocks || shelf.sizes[i] <= shelf.sizes[best])) best = i;
        if (best != kBlocks) {
            void* block = shelf.blocks[best];
            *capacity = shelf.sizes[best];
            shelf.total -= *capacity;
            shelf.Remove(best);
            return block;
        }
        *capacity = (bytes + kGrain - 1) & ~(kGrain - 1);
        return ::operator new(*capacity, kAlignment, std::nothrow);
    }

    // Keeps `block` of `capacity` bytes for a later Take, making room by giving back the
    // smallest kept blocks; a block larger than all the room is given back at once.
    static void Keep(void* block, std::size_t capacity) {
        Shelf& shelf = ThisThread();
        if (capacity > kBytes) {
            ::operator delete(block, kAlignment);
            return;
        }
        while (shelf.count == kBlocks || shelf.total + capacity > kBytes) {
            std::size_t smallest = 0;
            for (std::size_t i = 1; i < shelf.count; ++i)
                if (shelf.sizes[i] < shelf.sizes[smallest]) smallest = i;
            ::operator delete(shelf.blocks[smallest], kAlignment);
            shelf.total -= shelf.sizes[smallest];
            shelf.Remove(smallest);
        }
        shelf.blocks[shelf.count] = block;
        shelf.sizes[shelf.count++] = capacity;
        shelf.total += capacity;
    }

private:
    static constexpr std::size_t kBlocks = 8;
    static constexpr std::size_t kBytes = std::size_t{24} << 20;
    static constexpr std::size_t kGrain = std::size_t{4} << 10;  // sizes rounded so that near sizes fit

    struct Shelf {
        void* blocks[kBlocks] = {};
        std::size_t sizes[kBlocks] = {};
        std::size_t count = 0;
        std::size_t total = 0;
        void Remove(std::size_t i) {  // keeping the others in the order they were kept
            --count;
            for (; i < count; ++i) {
                blocks[i] = blocks[i + 1];
                sizes[i] = sizes[i + 1];
            }
        }
        ~Shelf() {
            for (std::size_t i = 0; i < count; ++i) ::operator delete(blocks[i], kAlignment);
        }
    };

    static Shelf& ThisThread() {
        thread_local Shelf shelf;
        return shelf;
    }
};

template <typename T>
class WorkArray {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>,
                  "a work array holds plain values");
    static_assert(alignof(T) <= static_cast<std::size_t>(RecycledBlocks::kAlignment), "a block's alignment serves T");

public:
    WorkArray() = default;
    WorkArray(const WorkArray&) = delete;
    WorkArray& operator=(const WorkArray&) = delete;
    ~WorkArray() { Free(); }

    // Room for `count` values, contents unset; false when it cannot be had.
    bool Allocate(std::size_t count) {
        Free();
        if (count > SIZE_MAX / sizeof(T)) return false;
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kMapFrom) {
            data_ = static_cast<T*>(RecycledBlocks::Take(bytes == 0 ? sizeof(T) : bytes, &keptBytes_));
            return data_ != nullptr;
        }
        if (!mapped_.Map(bytes)) return false;
        data_ = static_cast<T*>(mapped_.data());
        return true;
    }

    T* get() const { return data_; }
    T& operator[](std::size_t i) const { return data_[i]; }

    // Gives the storage back at once, before the array goes out of scope.
    void Free() {
        if (mapped_.data() != nullptr)
            mapped_.Release();
        else if (data_ != nullptr)
            RecycledBlocks::Keep(data_, keptBytes_);
        data_ = nullptr;
    }

private:
    // Below this, the few faults of an array kept for reuse cost less than mapping it.
    static constexpr std::size_t kMapFrom = std::size_t{8} << 20;

    T* data_ = nullptr;
    platform::HugePageBlock mapped_;  // a large array's; else unmapped
    std::size_t keptBytes_ = 0;  // an unmapped array's block size
};

}  // namespace facet
