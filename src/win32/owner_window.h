// The hidden message-only window of the thread that called DLL_START. Socket
// events, timers and work handed over from other threads all arrive here, so
// the library's state is only ever touched on that one thread. Each arrives
// as a turn of its own (core/turns.h): one handler at a time, and the host
// hears of what happened only when a turn is over.
#pragma once

#include <functional>
#include <vector>

#include "base/outcome.h"
#include "core/turns.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

// A component that takes some of the window's messages.
class MessageHandler {
public:
    virtual ~MessageHandler() = default;
    // True when the message was this component's.
    virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

class OwnerWindow {
public:
    // On the owner thread. `turnEnded` runs whenever a turn is over.
    explicit OwnerWindow(std::function<void()> turnEnded);
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND handle() const { return window_.get(); }
    // Fails when the window could not be made: nothing would reach the
    // owner thread then.
    Outcome created() const;
    bool onOwnerThread() const { return ::GetCurrentThreadId() == threadId_; }
    // Handlers take timer messages and messages from WM_APP on.
    void addHandler(MessageHandler& handler) { handlers_.push_back(&handler); }

    // An export: runs `work` on the owner thread as a turn and returns when
    // it is over. From another thread this is a sent message: the caller
    // keeps answering messages sent to its own windows while it waits.
    void run(const std::function<void()>& work);
    // Queues `work` for the owner thread; false when the window is gone.
    bool post(std::function<void()> work);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    DWORD threadId_;
    DWORD creationError_ = 0;
    std::vector<MessageHandler*> handlers_;
    Turns turns_;
    winsupport::UniqueWindow window_;
};

}  // namespace veltrane::win32
