#include "win32/owner_window.h"

#include <algorithm>
#include <memory>
#include <string>

#include "winsupport/window_owner.h"

namespace veltrane::win32 {

namespace {
constexpr wchar_t kClassName[] = L"VeltraneOwnerWindow";
constexpr UINT kRunWork = WM_APP + 1;   // lParam: const std::function<void()>*
constexpr UINT kPostedWork = WM_APP + 2;  // lParam: std::function<void()>* to delete

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&kClassName), &module);
    return module;
}

void RunGuarded(const std::function<void()>& work) noexcept {
    try {
        work();
    } catch (...) {
        // Work handed over has already reported what it could.
    }
}

// The library's own events: what waits while a handler runs.
bool IsEvent(UINT message) { return message == WM_TIMER || (message >= WM_APP && message != kRunWork); }
}  // namespace

OwnerWindow::OwnerWindow() : threadId_(::GetCurrentThreadId()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &OwnerWindow::WindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
    window_.reset(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this));
    if (!window_) creationError_ = ::GetLastError();
}

Outcome OwnerWindow::created() const {
    if (window_) return {};
    return Outcome::Failure("Owner window not created (error " + std::to_string(creationError_) + ")");
}

OwnerWindow::~OwnerWindow() {
    for (const Message& message : waiting_)
        if (message.message == kPostedWork) delete reinterpret_cast<std::function<void()>*>(message.lParam);
}

void OwnerWindow::run(const std::function<void()>& work) {
    if (onOwnerThread()) {
        Turn turn(*this);
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
        Turn turn(*this);
        RunGuarded(*reinterpret_cast<const std::function<void()>*>(lParam));
        return 0;
    }
    if (!IsEvent(message)) return ::DefWindowProcW(window, message, wParam, lParam);
    const Message event{message, wParam, lParam};
    if (depth_ > 0) {
        // A timer tick or a socket event that is already waiting says nothing new.
        if (event.message == kPostedWork || std::find(waiting_.begin(), waiting_.end(), event) == waiting_.end())
            waiting_.push_back(event);
        return 0;
    }
    Turn turn(*this);
    if (!dispatch(event)) return ::DefWindowProcW(window, message, wParam, lParam);
    return 0;
}

bool OwnerWindow::dispatch(const Message& event) {
    if (event.message == kPostedWork) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(event.lParam));
        RunGuarded(*work);
        return true;
    }
    for (MessageHandler* handler : handlers_)
        if (handler->handleMessage(event.message, event.wParam, event.lParam)) return true;
    return false;
}

void OwnerWindow::leave() noexcept {
    if (depth_ > 1) {
        --depth_;
        return;
    }
    // Still counted as running: what arrives meanwhile joins the queue.
    while (!waiting_.empty()) {
        const Message next = waiting_.front();
        waiting_.pop_front();
        try {
            dispatch(next);
        } catch (...) {
        }
    }
    depth_ = 0;
}

}  // namespace veltrane::win32
