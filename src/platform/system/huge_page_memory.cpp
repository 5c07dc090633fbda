#include "springdrop/system/huge_page_memory.h"

#include <cstdint>

#include <sys/mman.h>

namespace platform {

namespace {

constexpr std::uintptr_t kHugePageBytes = std::uintptr_t{2} << 20;

std::uintptr_t RoundUp(std::uintptr_t address) { return (address + kHugePageBytes - 1) & ~(kHugePageBytes - 1); }

}  // namespace

bool HugePageBlock::Map(std::size_t bytes) {
    Release();
    if (bytes > SIZE_MAX - 2 * kHugePageBytes) return false;
    // One huge page more than the rounded size, so that the bytes can start on a boundary.
    const std::size_t hugeBytes = RoundUp(bytes);
    mappedBytes_ = hugeBytes + kHugePageBytes;
    mapping_ = mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        return false;
    }
    data_ = reinterpret_cast<void*>(RoundUp(reinterpret_cast<std::uintptr_t>(mapping_)));
    // The whole of the last huge page too: a partial one would fall back to 4 KiB faults
    // for up to 2 MiB.
    AdviseHugePages(data_, hugeBytes);
    return true;
}

void HugePageBlock::Release() {
    if (mapping_ != nullptr) munmap(mapping_, mappedBytes_);
    mapping_ = nullptr;
    data_ = nullptr;
}

void AdviseHugePages(void* data, std::size_t bytes) {
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = RoundUp(begin), last = (begin + bytes) & ~(kHugePageBytes - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace platform
