// ResultBuffer: a reference-counted block of bytes in which Facet routines hand out
// results of variable size (for example the adjacency array of a new sphere). The
// producer creates it, writes through Data() and hands the caller the one reference;
// the caller reads it and calls Release, which frees the block with the object.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {

// {932E6A7E-C68E-45DD-A7BF-53D19C86DB1F}
constexpr IID IID_ResultBuffer = {0x932E6A7E, 0xC68E, 0x45DD, {0xA7, 0xBF, 0x53, 0xD1, 0x9C, 0x86, 0xDB, 0x1F}};

class ResultBuffer : public IUnknown {
public:
    // The block; its contents are whatever the producer wrote.
    virtual void* Data() = 0;
    // Bytes in the block.
    virtual DWORD Size() = 0;

protected:
    ~ResultBuffer() = default;
};

// Creates a buffer of `size` bytes (contents undefined) with a reference count of 1 and
// stores it in `*bufferOut`. D3DERR_INVALIDCALL for a null `bufferOut`, E_OUTOFMEMORY when
// the object or the block cannot be allocated (then `*bufferOut` is not written).
HRESULT CreateResultBuffer(DWORD size, ResultBuffer** bufferOut);

}  // namespace facet
