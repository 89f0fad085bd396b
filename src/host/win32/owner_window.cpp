#include "host/win32/owner_window.h"

#include <memory>

namespace veltrane::win32 {

namespace {
constexpr wchar_t kClassName[] = L"VeltraneOwnerWindow";
constexpr UINT kRunWork = WM_APP + 1;   // lParam: const std::function<void()>*
constexpr UINT kPostedWork = WM_APP + 2;  // lParam: std::function<void()>* to delete

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&PumpWaitingMessages), &module);
    return module;
}

void RunGuarded(const std::function<void()>& work) noexcept {
    try {
        work();
    } catch (...) {
        // Work handed over has already reported what it could.
    }
}
}  // namespace

OwnerWindow::OwnerWindow() : threadId_(::GetCurrentThreadId()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &OwnerWindow::WindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_.reset(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this));
}

void OwnerWindow::run(const std::function<void()>& work) {
    if (onOwnerThread()) {
        work();
        return;
    }
    ::SendMessageW(window_.get(), kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

bool OwnerWindow::post(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    if (!::PostMessageW(window_.get(), kPostedWork, 0, reinterpret_cast<LPARAM>(owned.get()))) return false;
    owned.release();  // the window deletes it
    return true;
}

LRESULT CALLBACK OwnerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<OwnerWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
        try {
            return self->handle(window, message, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OwnerWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kRunWork:
        RunGuarded(*reinterpret_cast<const std::function<void()>*>(lParam));
        return 0;
    case kPostedWork: {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        RunGuarded(*work);
        return 0;
    }
    default:
        for (MessageHandler* handler : handlers_)
            if (handler->handleMessage(message, wParam, lParam)) return 0;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void PumpWaitingMessages() {
    // Bounded, so that a flood of posted messages cannot hold the caller.
    MSG msg;
    for (int handled = 0; handled < 10000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++handled) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace veltrane::win32
