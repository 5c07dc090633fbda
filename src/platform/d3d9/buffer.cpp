#include "springdrop/d3d9/device.h"
#include "springdrop/d3d9/resources.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace d3d9sw {

using internal::Instrumented;

namespace {

// A string literal as a template argument, so a method name can be built at compile time.
template <std::size_t N>
struct Literal {
    constexpr Literal(const char (&text)[N]) { std::copy_n(text, N, chars); }
    char chars[N];
};

// "<buffer kind>::<method>", the name a call is logged and fault-matched under.
template <class Traits, Literal Method>
constexpr auto kMethodName = [] {
    constexpr std::size_t prefix = sizeof(Traits::kName) - 1;
    std::array<char, prefix + 2 + sizeof(Method.chars)> name{};
    std::copy_n(Traits::kName, prefix, name.begin());
    name[prefix] = name[prefix + 1] = ':';
    std::copy_n(Method.chars, sizeof(Method.chars), name.begin() + prefix + 2);
    return name;
}();

}  // namespace

template <class Traits>
Buffer<Traits>::Buffer(Device* device, DWORD usage, typename Traits::Format format, D3DPOOL pool)
    : device_(device), usage_(usage), format_(format), pool_(pool) {
    device_->Retain();
}

template <class Traits>
Buffer<Traits>::~Buffer() {
    device_->Forget(this);
    device_->Drop();
}

template <class Traits>
HRESULT Buffer<Traits>::QueryInterface(REFIID riid, void** object) {
    return this->LoggedQueryInterface(kMethodName<Traits, "QueryInterface">.data(), riid, object, Traits::kId,
                                      static_cast<typename Traits::Interface*>(this));
}

template <class Traits>
ULONG Buffer<Traits>::AddRef() {
    return this->LoggedAddRef(kMethodName<Traits, "AddRef">.data());
}

template <class Traits>
ULONG Buffer<Traits>::Release() {
    return this->LoggedRelease(kMethodName<Traits, "Release">.data());
}

template <class Traits>
HRESULT Buffer<Traits>::GetDevice(IDirect3DDevice9** device) {
    return Instrumented(kMethodName<Traits, "GetDevice">.data(), [&] { return device_->HandOut(device); }, device);
}

template <class Traits>
HRESULT Buffer<Traits>::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    return Instrumented(
        kMethodName<Traits, "Lock">.data(), [&] { return storage_.Lock(offsetToLock, sizeToLock, data, flags); },
        offsetToLock, sizeToLock, data, flags);
}

template <class Traits>
HRESULT Buffer<Traits>::Unlock() {
    return Instrumented(kMethodName<Traits, "Unlock">.data(), [&] { return storage_.Unlock(); });
}

template <class Traits>
HRESULT Buffer<Traits>::GetDesc(typename Traits::Desc* desc) {
    return Instrumented(
        kMethodName<Traits, "GetDesc">.data(),
        [&] {
            if (!desc) return D3DERR_INVALIDCALL;
            *desc = Traits::Describe(format_, usage_, pool_, storage_.Length());
            return D3D_OK;
        },
        desc);
}

template class Buffer<VertexBufferTraits>;
template class Buffer<IndexBufferTraits>;

}  // namespace d3d9sw
