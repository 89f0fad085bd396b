#include "win32/owner_window.h"

#include <memory>
#include <string>

#include "winsupport/module.h"
#include "winsupport/window_owner.h"

namespace veltrane::win32 {

namespace {
constexpr wchar_t kClassName[] = L"VeltraneOwnerWindow";
constexpr UINT kRunWork = WM_APP + 1;     // lParam: const std::function<void()>*
constexpr UINT kPostedWork = WM_APP + 2;  // lParam: std::function<void()>* to delete

// The library's own events: handled in turns of their own.
bool IsEvent(UINT message) { return message == WM_TIMER || (message >= WM_APP && message != kRunWork); }

// A timer tick or a socket event that is already waiting says nothing new.
Turns::Key WaitingKey(UINT message, WPARAM wParam, LPARAM lParam) {
    return {message, static_cast<std::uint64_t>(wParam), static_cast<std::uint64_t>(lParam)};
}
}  // namespace

OwnerWindow::OwnerWindow(std::function<void()> turnEnded)
    : threadId_(::GetCurrentThreadId()), turns_(std::move(turnEnded)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &OwnerWindow::WindowProc;
    wc.hInstance = winsupport::ThisModule();
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_.reset(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this));
    if (!window_) creationError_ = ::GetLastError();
}

Outcome OwnerWindow::created() const {
    if (window_) return {};
    return Outcome::Failure("Owner window not created (error " + std::to_string(creationError_) + ")");
}

void OwnerWindow::run(const std::function<void()>& work) {
    if (onOwnerThread()) {
        turns_.runExport(work);
        return;
    }
    ::SendMessageW(window_.get(), kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

bool OwnerWindow::post(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    if (!::PostMessageW(window_.get(), kPostedWork, 0, reinterpret_cast<LPARAM>(owned.get()))) return false;
    owned.release();  // the window runs and deletes it
    return true;
}

LRESULT CALLBACK OwnerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = winsupport::WindowOwner<OwnerWindow>(window, message, lParam);
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
    if (message == kRunWork) {
        turns_.runExport(*reinterpret_cast<const std::function<void()>*>(lParam));
        return 0;
    }
    if (message == kPostedWork) {
        // Owned by the turn from now on, run or not.
        std::shared_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        turns_.runHandler([work] { (*work)(); });
        return 0;
    }
    if (!IsEvent(message)) return ::DefWindowProcW(window, message, wParam, lParam);
    turns_.runHandler([this, message, wParam, lParam] { dispatch(message, wParam, lParam); },
                      WaitingKey(message, wParam, lParam));
    return 0;
}

void OwnerWindow::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    for (MessageHandler* handler : handlers_)
        if (handler->handleMessage(message, wParam, lParam)) return;
}

}  // namespace veltrane::win32
