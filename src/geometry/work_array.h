// WorkArray: an uninitialised array of plain values for a routine's working storage.
// Large arrays are mapped on their own and asked to be backed by huge pages, because a
// fresh mapping is otherwise touched in one page fault per 4 KiB on every call, which for
// meshes of millions of faces costs as much as the work itself (on a virtual machine a
// 4 KiB fault costs about fifty times what a 2 MiB one does per byte). The huge-page range
// is rounded up to whole huge pages: a partial one at the end would fall back to 4 KiB
// faults for up to 2 MiB. Small arrays come from the ordinary allocator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include <sys/mman.h>

namespace facet {

template <typename T>
class WorkArray {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>,
                  "a work array holds plain values");

public:
    WorkArray() = default;
    WorkArray(const WorkArray&) = delete;
    WorkArray& operator=(const WorkArray&) = delete;
    ~WorkArray() { Free(); }

    // Room for `count` values, contents unset; false when it cannot be had.
    bool Allocate(std::size_t count) {
        Free();
        if (count > (SIZE_MAX - 2 * kHugePage) / sizeof(T)) return false;
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kMapFrom) {
            data_ = new (std::nothrow) T[count == 0 ? 1 : count];
            return data_ != nullptr;
        }
        // Over-map by one huge page so the array can start on a huge-page boundary.
        const std::size_t hugeBytes = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        mappedBytes_ = hugeBytes + kHugePage;
        mapped_ = mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped_ == MAP_FAILED) {
            mapped_ = nullptr;
            return false;
        }
        const auto start = (reinterpret_cast<std::uintptr_t>(mapped_) + kHugePage - 1) & ~(kHugePage - 1);
        madvise(reinterpret_cast<void*>(start), hugeBytes, MADV_HUGEPAGE);
        data_ = reinterpret_cast<T*>(start);
        return true;
    }

    T* get() const { return data_; }
    T& operator[](std::size_t i) const { return data_[i]; }

    // Gives the storage back at once, before the array goes out of scope.
    void Free() {
        if (mapped_ != nullptr)
            munmap(mapped_, mappedBytes_);
        else
            delete[] data_;
        data_ = nullptr;
        mapped_ = nullptr;
    }

private:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    static constexpr std::size_t kMapFrom = std::size_t{1} << 20;

    T* data_ = nullptr;
    void* mapped_ = nullptr;
    std::size_t mappedBytes_ = 0;
};

}  // namespace facet
