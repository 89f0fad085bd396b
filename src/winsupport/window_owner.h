// The object a window procedure works for: the `this` handed to
// CreateWindowEx as its last argument is kept in the window's user data on
// WM_NCCREATE and found there for every later message.
#pragma once

#include <windows.h>

namespace veltrane::winsupport {

// Null for the few messages before WM_NCCREATE and after ForgetWindowOwner.
template <typename Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// For an owner going away before its window: the messages of the window's
// destruction then no longer reach it.
inline void ForgetWindowOwner(HWND window) { ::SetWindowLongPtrW(window, GWLP_USERDATA, 0); }

}  // namespace veltrane::winsupport
