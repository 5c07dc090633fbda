// The bytes behind a vertex or index buffer and the lock rules they share: offset 0 and
// size 0 lock the whole buffer; a size of 0 at another offset locks up to the end; a range
// beyond the length, an unknown flag or a null data pointer is refused; locks nest, and
// every Lock needs its own Unlock.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "springdrop/system/huge_page_memory.h"

#include <cstdint>
#include <memory>

namespace d3d9sw {

class BufferStorage {
public:
    // Zero-filled storage; false when it cannot be allocated. A large buffer (a mesh of
    // hundreds of thousands of vertices or faces, read at random) gets a mapping of its
    // own in huge pages, zeroed by the system as it is first touched.
    bool Allocate(UINT length);
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();

    const std::uint8_t* Bytes() const { return bytes_; }
    UINT Length() const { return length_; }

private:
    std::unique_ptr<std::uint8_t[]> small_;
    platform::HugePageBlock large_;
    std::uint8_t* bytes_ = nullptr;  // small_'s or large_'s
    UINT length_ = 0;
    UINT locks_ = 0;
};

// Usage bits a buffer may carry.
bool IsValidBufferUsage(DWORD usage, D3DPOOL pool);

}  // namespace d3d9sw
