#include "console/win32/host_window.h"

#include <memory>

#include "winsupport/window_owner.h"

namespace veltrane::tools::win32 {

namespace {
constexpr wchar_t kClassName[] = L"VeltraneHostConsole";
constexpr UINT kLineMessage = WM_APP + 1;  // lParam: std::string* owned by the message, or 0 at end of input
constexpr UINT kWakeMessage = WM_APP + 2;
}  // namespace

HostWindow::~HostWindow() {
    if (window_ != nullptr) {
        winsupport::ForgetWindowOwner(window_);
        DestroyWindow(window_);
    }
}

bool HostWindow::create(const std::wstring& title, CopyDataHandler onCopyData, LineHandler onLine,
                        std::string& error) {
    onCopyData_ = std::move(onCopyData);
    onLine_ = std::move(onLine);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "cannot register the window class";
        return false;
    }
    window_ = CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                              160, nullptr, nullptr, windowClass.hInstance, this);
    if (window_ == nullptr) {
        error = "cannot create the host window";
        return false;
    }
    // A real host shows its window; minimised, it does not take the focus
    // from the terminal the commands are typed in.
    ShowWindow(window_, SW_SHOWMINNOACTIVE);
    return true;
}

void HostWindow::PostLine(HWND window, std::optional<std::string> line) {
    auto owned = line ? std::make_unique<std::string>(std::move(*line)) : nullptr;
    if (PostMessageW(window, kLineMessage, 0, reinterpret_cast<LPARAM>(owned.get()))) owned.release();
}

void HostWindow::Wake(HWND window) { PostMessageW(window, kWakeMessage, 0, 0); }

LRESULT CALLBACK HostWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        auto* self = winsupport::WindowOwner<HostWindow>(window, message, lParam);
        switch (message) {
        case WM_COPYDATA:
            if (self && self->onCopyData_ && lParam) self->onCopyData_(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return TRUE;
        case kLineMessage: {
            std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
            if (self && self->onLine_) self->onLine_(line ? std::optional<std::string>(*line) : std::nullopt);
            return 0;
        }
        case kWakeMessage:
            return 0;
        case WM_CLOSE:
            // Closing the window would cut the library off from its host;
            // the console ends through its commands instead.
            return 0;
        default:
            break;
        }
    } catch (...) {
        // Nothing may leave a window procedure.
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace veltrane::tools::win32
