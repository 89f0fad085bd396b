#include "win32/alert_popup.h"

#include "core/alert_layout.h"
#include "winsupport/module.h"
#include "winsupport/window_owner.h"

namespace veltrane::win32 {

namespace {
constexpr UINT_PTR kFadeTimer = 1;
constexpr UINT_PTR kHoldTimer = 2;
constexpr UINT_PTR kPointerTimer = 3;
constexpr int kFadeSteps = 10;
constexpr UINT kFadeInStepMs = 10;
constexpr UINT kFadeOutStepMs = 100;
constexpr UINT kPointerCheckMs = 200;
constexpr int kFontHeight = 12;
constexpr wchar_t kFontFace[] = L"\uAD74\uB9BC";  // Gulim
constexpr UINT kShowLatest = WM_APP + 1;

HFONT MakeFont(int weight) {
    return ::CreateFontW(-kFontHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace);
}

ScreenRect WorkArea() {
    RECT area{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return {area.left, area.top, area.right, area.bottom};
    return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}
}  // namespace

AlertPopup::AlertPopup(HIMAGELIST images)
    : images_(images), headerFont_(MakeFont(FW_BOLD)), messageFont_(MakeFont(FW_NORMAL)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &AlertPopup::WindowProc;
    wc.hInstance = winsupport::ThisModule();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kAlertWindowClass;
    ::RegisterClassExW(&wc);
    window_.reset(::CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                    kAlertWindowClass, L"", WS_POPUP, 0, 0, kAlertWidth, kAlertHeight, nullptr,
                                    nullptr, wc.hInstance, this));
}

void AlertPopup::showAlert(const AlertContent& alert) {
    if (!window_) return;
    content_ = alert;
    if (showing_) return;
    showing_ = ::PostMessageW(window_.get(), kShowLatest, 0, 0) != FALSE;
    if (!showing_) showLatest();
}

void AlertPopup::showLatest() {
    showing_ = false;
    close();
    const AlertContent& alert = content_;
    const ScreenRect at = AlertRect(WorkArea(), alert.tall);
    ::SetWindowTextA(window_.get(), alert.header.c_str());
    setAlpha(0);
    ::SetWindowPos(window_.get(), HWND_TOPMOST, at.left, at.top, at.width(), at.height(),
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::InvalidateRect(window_.get(), nullptr, TRUE);
    phase_ = Phase::FadingIn;
    fadeStep_ = 0;
    ::SetTimer(window_.get(), kFadeTimer, kFadeInStepMs, nullptr);
}

void AlertPopup::close() {
    for (UINT_PTR timer : {kFadeTimer, kHoldTimer, kPointerTimer}) ::KillTimer(window_.get(), timer);
    ::ShowWindow(window_.get(), SW_HIDE);
    phase_ = Phase::Hidden;
}

void AlertPopup::setAlpha(int step) {
    const BYTE alpha = static_cast<BYTE>(255 * step / kFadeSteps);
    ::SetLayeredWindowAttributes(window_.get(), 0, alpha, LWA_ALPHA);
}

void AlertPopup::onTimer(UINT_PTR id) {
    HWND window = window_.get();
    switch (phase_) {
    case Phase::FadingIn:
        if (id != kFadeTimer) return;
        setAlpha(++fadeStep_);
        if (fadeStep_ < kFadeSteps) return;
        ::KillTimer(window, kFadeTimer);
        phase_ = Phase::Holding;
        // A duration of 0 starts no fade-out: the alert waits for its close button.
        if (content_.durationMs > 0) ::SetTimer(window, kHoldTimer, static_cast<UINT>(content_.durationMs), nullptr);
        return;
    case Phase::Holding:
        if (id != kHoldTimer) return;
        ::KillTimer(window, kHoldTimer);
        phase_ = Phase::WaitingForPointer;
        ::SetTimer(window, kPointerTimer, kPointerCheckMs, nullptr);
        [[fallthrough]];
    case Phase::WaitingForPointer: {
        POINT pointer{};
        RECT bounds{};
        ::GetCursorPos(&pointer);
        ::GetWindowRect(window, &bounds);
        if (::PtInRect(&bounds, pointer)) return;
        ::KillTimer(window, kPointerTimer);
        phase_ = Phase::FadingOut;
        fadeStep_ = kFadeSteps;
        ::SetTimer(window, kFadeTimer, kFadeOutStepMs, nullptr);
        return;
    }
    case Phase::FadingOut:
        if (id != kFadeTimer) return;
        setAlpha(--fadeStep_);
        if (fadeStep_ <= 0) close();
        return;
    case Phase::Hidden:
        ::KillTimer(window, id);
        return;
    }
}

RECT AlertPopup::closeButton() const {
    RECT client{};
    ::GetClientRect(window_.get(), &client);
    return {client.right - 20, 4, client.right - 4, 20};
}

void AlertPopup::paint(HDC dc) {
    RECT client{};
    ::GetClientRect(window_.get(), &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_INFOBK));
    ::FrameRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOWFRAME));
    if (images_ != nullptr) ::ImageList_Draw(images_, 0, dc, 6, 6, ILD_TRANSPARENT);

    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldFont = ::SelectObject(dc, headerFont_.get());
    RECT header{28, 7, client.right - 24, 22};
    ::DrawTextA(dc, content_.header.c_str(), static_cast<int>(content_.header.size()), &header,
                DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

    const RECT button = closeButton();
    HPEN pen = static_cast<HPEN>(::GetStockObject(BLACK_PEN));
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::MoveToEx(dc, button.left + 4, button.top + 4, nullptr);
    ::LineTo(dc, button.right - 3, button.bottom - 3);
    ::MoveToEx(dc, button.right - 4, button.top + 4, nullptr);
    ::LineTo(dc, button.left + 3, button.bottom - 3);
    ::SelectObject(dc, oldPen);

    ::SelectObject(dc, messageFont_.get());
    RECT message{8, 24, client.right - 8, client.bottom - 6};
    ::DrawTextA(dc, content_.message.c_str(), static_cast<int>(content_.message.size()), &message,
                DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
}

LRESULT CALLBACK AlertPopup::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = winsupport::WindowOwner<AlertPopup>(window, message, lParam);
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handle(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT AlertPopup::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCHITTEST:
        return HTCLIENT;  // no caption to drag, no border to size
    case WM_LBUTTONUP: {
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const RECT button = closeButton();
        if (::PtInRect(&button, at)) close();
        return 0;
    }
    case kShowLatest:
        showLatest();
        return 0;
    case WM_TIMER:
        onTimer(wParam);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window, &ps);
        paint(dc);
        ::EndPaint(window, &ps);
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace veltrane::win32
