// MeshInputBytes: the bytes of a mesh input given by an open descriptor. A regular file is
// mapped whole from its start; a pipe, terminal, device or anything else is read in
// chunks into memory. Either way the input's first bytes are handed to a judge before the
// rest is read (a mapped file's pages are not touched until then), and an input of more
// than a given number of bytes is refused, so neither an endless device nor a huge file
// of the wrong kind is read through before it is refused.
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace facet {

class MeshInputBytes {
public:
    // Judges the first bytes of the input (kJudgedStartBytes of them, or all of a shorter
    // input); false, with the refusal set, stops the reading.
    using Judge = std::function<bool(const char* bytes, std::size_t size, std::string* error)>;

    MeshInputBytes() = default;
    ~MeshInputBytes();
    MeshInputBytes(const MeshInputBytes&) = delete;
    MeshInputBytes& operator=(const MeshInputBytes&) = delete;

    // Loads the input of `descriptor` (left open), called `name` in refusals. S_OK;
    // E_FAIL with "NAME: cannot read: REASON" when the system refuses; D3DERR_INVALIDCALL
    // when the judge refuses or the input holds more than `maxBytes` bytes; E_OUTOFMEMORY.
    HRESULT Load(int descriptor, const char* name, std::uint64_t maxBytes, const Judge& judge, std::string* error);

    const char* data() const { return mapped_ != nullptr ? static_cast<const char*>(mapped_) : read_.get(); }
    std::size_t size() const { return mapped_ != nullptr ? mappedSize_ : readSize_; }

    // Lets go of the mapped pages wholly before byte `offset`, which the reader is done
    // with, so a large file does not stay resident beside the mesh built from it. Reading
    // them again still gives the file's bytes (they come back from the file); an input
    // read into memory keeps its bytes.
    void ReleaseBefore(std::size_t offset) const;
    // Lets go of the mapped pages wholly inside [begin, end), as ReleaseBefore does; safe
    // to call from several threads at once on ranges of their own.
    void ReleaseRange(std::size_t begin, std::size_t end) const;

private:
    HRESULT LoadMapped(int descriptor, const char* name, std::uint64_t fileSize, std::uint64_t maxBytes,
                       const Judge& judge, std::string* error);
    HRESULT LoadStream(int descriptor, const char* name, std::uint64_t maxBytes, const Judge& judge,
                       std::string* error);

    struct Free {
        void operator()(char* bytes) const { std::free(bytes); }
    };

    void* mapped_ = nullptr;
    std::size_t mappedSize_ = 0;
    mutable std::size_t released_ = 0;  // the mapped bytes before this are let go
    // Grown with realloc, which moves large blocks by remapping their pages rather than
    // copying them, so a long stream never needs twice its size.
    std::unique_ptr<char, Free> read_;
    std::size_t readSize_ = 0;
};

}  // namespace facet
