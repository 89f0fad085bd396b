// The console's top-level host window: the library finds it by its title
// and sends it every host event as WM_COPYDATA. It also receives the lines
// of the stdin reader, so that they reach the console's own thread.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace veltrane::tools::win32 {

class HostWindow {
public:
    using CopyDataHandler = std::function<void(const COPYDATASTRUCT&)>;
    // A line of input, or nullopt at the end of input.
    using LineHandler = std::function<void(std::optional<std::string>)>;

    HostWindow() = default;
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool create(const std::wstring& title, CopyDataHandler onCopyData, LineHandler onLine, std::string& error);
    HWND handle() const { return window_; }

    // Callable from any thread.
    static void PostLine(HWND window, std::optional<std::string> line);
    static void Wake(HWND window);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    HWND window_ = nullptr;
    CopyDataHandler onCopyData_;
    LineHandler onLine_;
};

}  // namespace veltrane::tools::win32
