// Memory for large arrays read at random: mapped on its own, starting on a huge-page
// boundary and asked to be backed by huge pages (2 MiB). In 4 KiB pages nearly every
// scattered read of an array of tens of megabytes also misses in the address
// translation, and each 4 KiB first written costs a page fault; on a virtual machine a
// 4 KiB fault costs about fifty times what a 2 MiB one does per byte. Where the system
// grants no huge pages the memory works the same in small ones.
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

// Zero-filled bytes of a mapping of their own (the system zeroes them as they are first
// touched, so untouched ones cost nothing).
class HugePageBlock {
public:
    HugePageBlock() = default;
    HugePageBlock(const HugePageBlock&) = delete;
    HugePageBlock& operator=(const HugePageBlock&) = delete;
    ~HugePageBlock() { Release(); }

    // Maps `bytes` bytes, giving back any earlier ones; false when they cannot be had.
    bool Map(std::size_t bytes);
    // Gives the bytes back at once.
    void Release();
    void* data() const { return data_; }

private:
    void* mapping_ = nullptr;
    std::size_t mappedBytes_ = 0;
    void* data_ = nullptr;
};

// Asks for the whole huge pages within [data, data + bytes) of storage the caller has
// from elsewhere (a vector reserved ahead, say) to be backed by huge pages.
void AdviseHugePages(void* data, std::size_t bytes);

// Makes room in `values` for `count` values, asked to be backed by huge pages, before any
// of it is touched: for a vector about to be filled to that size.
template <typename T>
void ReserveInHugePages(std::vector<T>* values, std::size_t count) {
    values->reserve(count);
    AdviseHugePages(values->data(), values->capacity() * sizeof(T));
}

}  // namespace platform
