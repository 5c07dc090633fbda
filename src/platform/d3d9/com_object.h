// Reference counting shared by the software Direct3D objects. The public AddRef and
// Release of each object are logged; the objects' own bookkeeping (a resource holding
// its device, a device holding its Direct3D object) uses Retain and Drop, which are not.
#pragma once

#include "springdrop/d3d9/call_recorder.h"

namespace d3d9sw::internal {

// `Object` is the implementing class; the last Drop deletes it. Creation counts as one
// reference and as one live object.
template <class Object>
class RefCounted {
public:
    ULONG Retain() { return ++references_; }
    ULONG Drop() {
        ULONG remaining = --references_;
        if (remaining == 0) delete static_cast<Object*>(this);
        return remaining;
    }

protected:
    RefCounted() { ObjectCreated(); }
    ~RefCounted() { ObjectDestroyed(); }

    ULONG LoggedAddRef(const char* method) {
        return Counted(method, [&] { return Retain(); });
    }
    ULONG LoggedRelease(const char* method) {
        return Counted(method, [&] { return Drop(); });
    }
    // Answers IID_IUnknown and `ownId` with `self` (adding a reference); anything else
    // with E_NOINTERFACE and null.
    HRESULT LoggedQueryInterface(const char* method, REFIID riid, void** object, IID ownId, void* self) {
        return Instrumented(
            method,
            [&] {
                if (!object) return D3DERR_INVALIDCALL;
                if (riid == IID_IUnknown || riid == ownId) {
                    Retain();
                    *object = self;
                    return D3D_OK;
                }
                *object = nullptr;
                return E_NOINTERFACE;
            },
            riid, object);
    }

    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

private:
    ULONG references_ = 1;
};

}  // namespace d3d9sw::internal
