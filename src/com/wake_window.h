// A message-only window on the thread that makes it: ring() from any thread
// has `woken` run there from the thread's message loop, after whatever that
// thread is doing now. Rings before it runs count once.
#pragma once

#include <atomic>

#include "winsupport/unique_handle.h"

namespace veltrane::com {

class WakeTarget {
public:
    virtual ~WakeTarget() = default;
    // May destroy the window's owner: the window touches nothing afterwards.
    virtual void woken() noexcept = 0;
};

class WakeWindow {
public:
    explicit WakeWindow(WakeTarget& target);
    WakeWindow(const WakeWindow&) = delete;
    WakeWindow& operator=(const WakeWindow&) = delete;
    ~WakeWindow();

    bool created() const { return static_cast<bool>(window_); }
    void ring() noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    WakeTarget& target_;
    std::atomic<bool> rung_{false};
    winsupport::UniqueWindow window_;
};

}  // namespace veltrane::com
