// ResultBuffer: an owned block of bytes behind a reference count.
#include "facet/result_buffer.h"

#include <cstdlib>
#include <new>

namespace facet {

namespace {

class ByteResultBuffer final : public ResultBuffer {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return D3DERR_INVALIDCALL;
        if (riid == IID_IUnknown || riid == IID_ResultBuffer) {
            *object = static_cast<ResultBuffer*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++referenceCount_); }
    ULONG Release() override {
        const LONG count = --referenceCount_;
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }
    void* Data() override { return data_; }
    DWORD Size() override { return size_; }

    // Allocates the block; the contents stay undefined until the producer writes them.
    HRESULT Allocate(DWORD size) {
        // One byte at least, so that an empty result still has a distinct block.
        data_ = static_cast<BYTE*>(std::malloc(size == 0 ? 1 : size));
        if (data_ == nullptr) return E_OUTOFMEMORY;
        size_ = size;
        return S_OK;
    }

private:
    ~ByteResultBuffer() { std::free(data_); }

    LONG referenceCount_ = 1;
    DWORD size_ = 0;
    BYTE* data_ = nullptr;
};

}  // namespace

HRESULT CreateResultBuffer(DWORD size, ResultBuffer** bufferOut) {
    if (bufferOut == nullptr) return D3DERR_INVALIDCALL;
    auto* buffer = new (std::nothrow) ByteResultBuffer();
    if (buffer == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = buffer->Allocate(size);
    if (FAILED(result)) {
        buffer->Release();
        return result;
    }
    *bufferOut = buffer;
    return S_OK;
}

}  // namespace facet
