// One RAII owner for every kind of Windows handle: each kind names its type,
// its invalid value and its close function.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <utility>

namespace veltrane::winsupport {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::invalid(); }
    Type release() { return std::exchange(value_, Traits::invalid()); }
    void reset(Type value = Traits::invalid()) {
        Type old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }

private:
    Type value_ = Traits::invalid();
};

struct FileTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { ::CloseHandle(h); }
};
struct KernelTraits {  // threads, events: null when invalid
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static void close(Type h) { ::CloseHandle(h); }
};
struct WindowTraits {
    using Type = HWND;
    static Type invalid() { return nullptr; }
    static void close(Type h) { ::DestroyWindow(h); }
};
struct GdiTraits {
    using Type = HGDIOBJ;
    static Type invalid() { return nullptr; }
    static void close(Type h) { ::DeleteObject(h); }
};
struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type invalid() { return nullptr; }
    static void close(Type h) { ::ImageList_Destroy(h); }
};
struct SocketTraits {
    using Type = SOCKET;
    static Type invalid() { return INVALID_SOCKET; }
    static void close(Type s) { ::closesocket(s); }
};
struct BstrTraits {
    using Type = BSTR;
    static Type invalid() { return nullptr; }
    static void close(Type b) { ::SysFreeString(b); }
};
struct LibraryTraits {
    using Type = HMODULE;
    static Type invalid() { return nullptr; }
    static void close(Type m) { ::FreeLibrary(m); }
};

using UniqueFile = UniqueHandle<FileTraits>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueGdiObject = UniqueHandle<GdiTraits>;
using UniqueImageList = UniqueHandle<ImageListTraits>;
using UniqueSocket = UniqueHandle<SocketTraits>;
using UniqueBstr = UniqueHandle<BstrTraits>;
using UniqueLibrary = UniqueHandle<LibraryTraits>;

}  // namespace veltrane::winsupport
