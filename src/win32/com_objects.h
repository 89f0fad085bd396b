// Owners for COM interface pointers, VARIANTs and SAFEARRAYs.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

// One reference to a COM object, released with the owner.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    // Takes over a reference the caller holds.
    static ComPtr Adopt(Interface* pointer) {
        ComPtr owner;
        owner.pointer_ = pointer;
        return owner;
    }
    // Another reference to the same object.
    ComPtr share() const {
        if (pointer_ != nullptr) pointer_->AddRef();
        return Adopt(pointer_);
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For functions that hand out a new reference.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (Interface* old = std::exchange(pointer_, nullptr)) old->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// A VARIANT cleared (and whatever it owns freed) with the owner.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(&value_); }
    VARIANT* get() { return &value_; }

private:
    VARIANT value_;
};

struct SafeArrayTraits {
    using Type = SAFEARRAY*;
    static Type invalid() { return nullptr; }
    static void close(Type array) { ::SafeArrayDestroy(array); }
};
using UniqueSafeArray = winsupport::UniqueHandle<SafeArrayTraits>;

}  // namespace veltrane::win32
