// An owning pointer to a reference-counted object of the device interface (anything with
// AddRef and Release: the Direct3D object, a device, a resource, a Facet mesh). It holds
// one reference: destruction and Reset release it, a copy adds one, a move hands it over.
// It converts to the raw pointer, so calls that take one accept it unchanged, and Put
// hands a creation function the address to store a new reference in. No exceptions.
#pragma once

#include <cstddef>
#include <utility>

namespace d3d9sw {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr& other) : object_(other.object_) {
        if (object_ != nullptr) object_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Releases the reference held, if any, and holds none.
    void Reset() {
        if (T* object = std::exchange(object_, nullptr)) object->Release();
    }
    // Releases the reference held and returns where a creation function stores the new one
    // (which this pointer then owns without an extra AddRef).
    T** Put() {
        Reset();
        return &object_;
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    operator T*() const { return object_; }

private:
    T* object_ = nullptr;
};

}  // namespace d3d9sw
