#include "springdrop/d3d9/buffer_storage.h"

#include <new>

namespace d3d9sw {
namespace {

// From this size a buffer is mapped on its own; below it the allocator's zeroed block
// costs less.
constexpr UINT kMapFrom = 8u << 20;

constexpr DWORD kLockDoNotWait = 0x00004000;
constexpr DWORD kLockNoDirtyUpdate = 0x00008000;
constexpr DWORD kKnownLockFlags =
    D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NOOVERWRITE | D3DLOCK_DISCARD | kLockDoNotWait | kLockNoDirtyUpdate;
constexpr DWORD kBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                                D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;

}  // namespace

bool BufferStorage::Allocate(UINT length) {
    small_.reset();
    large_.Release();
    if (length >= kMapFrom) {
        bytes_ = large_.Map(length) ? static_cast<std::uint8_t*>(large_.data()) : nullptr;
    } else {
        small_.reset(new (std::nothrow) std::uint8_t[length]());
        bytes_ = small_.get();
    }
    length_ = bytes_ != nullptr ? length : 0;
    return bytes_ != nullptr;
}

HRESULT BufferStorage::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data || (flags & ~kKnownLockFlags) != 0) return D3DERR_INVALIDCALL;
    if (offset > length_ || static_cast<std::uint64_t>(offset) + size > length_) return D3DERR_INVALIDCALL;
    ++locks_;
    *data = bytes_ + offset;
    return D3D_OK;
}

HRESULT BufferStorage::Unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    --locks_;
    return D3D_OK;
}

bool IsValidBufferUsage(DWORD usage, D3DPOOL pool) {
    if ((usage & ~kBufferUsages) != 0) return false;
    // Dynamic buffers are rewritten by the application; a managed copy makes no sense.
    return !((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED);
}

}  // namespace d3d9sw
