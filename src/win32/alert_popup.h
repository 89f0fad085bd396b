// The desktop alert: a topmost popup that never takes the focus, fades in at
// the bottom-right of the work area, stays for its time, and fades out once
// the mouse pointer is not on it. Each alert replaces the one before; of
// alerts raised in a row, only the latest reaches the screen, when the
// message loop next runs.
#pragma once

#include "platform/platform.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

class AlertPopup final : public Desktop {
public:
    // `images` holds the popup's 16 x 16 icon at index 0.
    explicit AlertPopup(HIMAGELIST images);
    AlertPopup(const AlertPopup&) = delete;
    AlertPopup& operator=(const AlertPopup&) = delete;

    void showAlert(const AlertContent& alert) override;

private:
    enum class Phase { Hidden, FadingIn, Holding, WaitingForPointer, FadingOut };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void showLatest();
    void onTimer(UINT_PTR id);
    void paint(HDC dc);
    void setAlpha(int step);
    void close();
    RECT closeButton() const;

    HIMAGELIST images_;
    winsupport::UniqueGdiObject headerFont_;
    winsupport::UniqueGdiObject messageFont_;
    winsupport::UniqueWindow window_;
    AlertContent content_;
    bool showing_ = false;  // content_ goes on screen when the posted message comes
    Phase phase_ = Phase::Hidden;
    int fadeStep_ = 0;
};

// The popup's window class, by which tests and tools find it.
inline constexpr wchar_t kAlertWindowClass[] = L"VeltraneAlert";

}  // namespace veltrane::win32
