#include "com/wake_window.h"

#include "com/type_library.h"
#include "winsupport/window_owner.h"

namespace veltrane::com {

namespace {
constexpr wchar_t kClassName[] = L"VeltranePhoneEvents";
constexpr UINT kWake = WM_APP + 1;
}  // namespace

WakeWindow::WakeWindow(WakeTarget& target) : target_(target) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WakeWindow::WindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_.reset(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this));
}

WakeWindow::~WakeWindow() {
    if (window_) winsupport::ForgetWindowOwner(window_.get());
}

void WakeWindow::ring() noexcept {
    if (!rung_.exchange(true) && !::PostMessageW(window_.get(), kWake, 0, 0)) rung_ = false;
}

LRESULT CALLBACK WakeWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = winsupport::WindowOwner<WakeWindow>(window, message, lParam);
    if (self == nullptr || message != kWake) return ::DefWindowProcW(window, message, wParam, lParam);
    // Cleared first: what arrives while the target runs rings again.
    self->rung_ = false;
    self->target_.woken();
    return 0;
}

}  // namespace veltrane::com
