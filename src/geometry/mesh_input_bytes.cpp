// MeshInputBytes: see mesh_input_bytes.h.
#include "geometry/mesh_input_bytes.h"

#include "geometry/mesh_input_start.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace facet {

namespace {

constexpr std::size_t kReadChunk = 65536;

HRESULT SystemFailure(const char* name, std::string* error) {
    *error = std::string(name) + ": cannot read: " + std::strerror(errno);
    return E_FAIL;
}

HRESULT TooLarge(const char* name, std::uint64_t maxBytes, std::string* error) {
    *error = std::string(name) + ": byte " + std::to_string(maxBytes) + ": the input goes on past " +
             std::to_string(maxBytes) + " bytes, the most a mesh input may hold";
    return D3DERR_INVALIDCALL;
}

}  // namespace

MeshInputBytes::~MeshInputBytes() {
    if (mapped_ != nullptr) munmap(mapped_, mappedSize_);
}

HRESULT MeshInputBytes::Load(int descriptor, const char* name, std::uint64_t maxBytes, const Judge& judge,
                             std::string* error) {
    try {
        struct stat status {};
        if (fstat(descriptor, &status) != 0) return SystemFailure(name, error);
        if (S_ISDIR(status.st_mode)) {
            errno = EISDIR;
            return SystemFailure(name, error);
        }
        if (S_ISREG(status.st_mode) && status.st_size > 0)
            return LoadMapped(descriptor, name, static_cast<std::uint64_t>(status.st_size), maxBytes, judge, error);
        return LoadStream(descriptor, name, maxBytes, judge, error);
    } catch (const std::bad_alloc&) {
        error->clear();
        return E_OUTOFMEMORY;
    }
}

HRESULT MeshInputBytes::LoadMapped(int descriptor, const char* name, std::uint64_t fileSize, std::uint64_t maxBytes,
                                   const Judge& judge, std::string* error) {
    if (fileSize > maxBytes) return TooLarge(name, maxBytes, error);
    void* mapped = mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapped == MAP_FAILED) {
        if (errno == ENOMEM) {
            error->clear();
            return E_OUTOFMEMORY;
        }
        return SystemFailure(name, error);
    }
    mapped_ = mapped;
    mappedSize_ = fileSize;
    if (!judge(data(), std::min<std::size_t>(mappedSize_, kJudgedStartBytes), error)) return D3DERR_INVALIDCALL;
    madvise(mapped_, mappedSize_, MADV_SEQUENTIAL);
    return S_OK;
}

void MeshInputBytes::ReleaseBefore(std::size_t offset) const {
    if (mapped_ == nullptr) return;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t whole = std::min(offset, mappedSize_) / page * page;
    if (whole <= released_) return;
    madvise(static_cast<char*>(mapped_) + released_, whole - released_, MADV_DONTNEED);
    released_ = whole;
}

void MeshInputBytes::ReleaseRange(std::size_t begin, std::size_t end) const {
    if (mapped_ == nullptr) return;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t first = (begin + page - 1) / page * page;
    const std::size_t last = std::min(end, mappedSize_) / page * page;
    if (first < last) madvise(static_cast<char*>(mapped_) + first, last - first, MADV_DONTNEED);
}

HRESULT MeshInputBytes::LoadStream(int descriptor, const char* name, std::uint64_t maxBytes, const Judge& judge,
                                   std::string* error) {
    // One byte past the cap is read to tell an input of exactly the cap from a longer one.
    const std::uint64_t limit = maxBytes + (maxBytes < UINT64_MAX ? 1 : 0);
    std::size_t capacity = 0;
    bool judged = false;
    for (;;) {
        if (capacity - readSize_ < kReadChunk && capacity < limit) {
            const auto grown = static_cast<std::size_t>(
                std::min(std::max<std::uint64_t>(2 * std::uint64_t{capacity}, 4 * kReadChunk), limit));
            char* moved = static_cast<char*>(std::realloc(read_.get(), grown));
            if (moved == nullptr) {
                error->clear();
                return E_OUTOFMEMORY;
            }
            read_.release();
            read_.reset(moved);
            capacity = grown;
        }
        const ssize_t got = read(descriptor, read_.get() + readSize_, std::min(capacity - readSize_, kReadChunk));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return SystemFailure(name, error);
        readSize_ += static_cast<std::size_t>(got);
        const bool ended = got == 0;
        if (readSize_ > maxBytes) return TooLarge(name, maxBytes, error);
        if (!judged && (ended || readSize_ >= kJudgedStartBytes)) {
            judged = true;
            if (!judge(read_.get(), std::min(readSize_, kJudgedStartBytes), error)) return D3DERR_INVALIDCALL;
        }
        if (ended) return S_OK;
    }
}

}  // namespace facet
