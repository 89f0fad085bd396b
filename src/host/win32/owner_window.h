// The hidden message-only window of the thread that called DLL_START. Socket
// events, timers and work handed over from other threads all arrive here, so
// the library's state is only ever touched on that one thread.
#pragma once

#include <functional>
#include <vector>

#include "host/win32/unique_handle.h"

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
    OwnerWindow();  // on the owner thread
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND handle() const { return window_.get(); }
    bool onOwnerThread() const { return ::GetCurrentThreadId() == threadId_; }
    void addHandler(MessageHandler& handler) { handlers_.push_back(&handler); }

    // Runs `work` on the owner thread and returns when it is done. From
    // another thread this is a sent message: the caller keeps answering
    // messages sent to its own windows while it waits.
    void run(const std::function<void()>& work);
    // Queues `work` for the owner thread; false when the window is gone.
    bool post(std::function<void()> work);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DWORD threadId_;
    std::vector<MessageHandler*> handlers_;
    UniqueWindow window_;
};

// Runs the messages waiting for the calling thread, as a modal loop would.
void PumpWaitingMessages();

}  // namespace veltrane::win32
