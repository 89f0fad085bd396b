// The hidden message-only window of the thread that called DLL_START. Socket
// events, timers and work handed over from other threads all arrive here, so
// the library's state is only ever touched on that one thread.
//
// One handler at a time. Nothing in the library runs the message loop, but
// a handler can still find itself inside one: a COM call to the browser
// waits in COM's modal loop, and a host may show a message box from its
// callback. A socket event, timer tick or handed-over piece of work that
// arrives while a handler (or an export) is still running is therefore put
// aside and run, in arrival order, once that handler is done. Only exports
// run at once wherever they are called from (the host's callback, or
// another thread while the owner thread waits for the host), because the
// host asked for them. So handlers never nest, and the owner thread's stack
// stays bounded whatever the server does.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "base/outcome.h"
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
    OwnerWindow();  // on the owner thread
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND handle() const { return window_.get(); }
    // Fails when the window could not be made: nothing would reach the
    // owner thread then.
    Outcome created() const;
    bool onOwnerThread() const { return ::GetCurrentThreadId() == threadId_; }
    // Handlers take timer messages and messages from WM_APP on.
    void addHandler(MessageHandler& handler) { handlers_.push_back(&handler); }

    // Runs `work` on the owner thread and returns when it is done. From
    // another thread this is a sent message: the caller keeps answering
    // messages sent to its own windows while it waits.
    void run(const std::function<void()>& work);
    // Queues `work` for the owner thread; false when the window is gone.
    bool post(std::function<void()> work);

private:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool operator==(const Message&) const = default;
    };
    // Marks a handler running; the outermost one, when done, runs what was put aside.
    class Turn {
    public:
        explicit Turn(OwnerWindow& owner) : owner_(owner) { ++owner_.depth_; }
        ~Turn() { owner_.leave(); }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        OwnerWindow& owner_;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool dispatch(const Message& message);
    void leave() noexcept;

    DWORD threadId_;
    DWORD creationError_ = 0;
    std::vector<MessageHandler*> handlers_;
    int depth_ = 0;
    std::deque<Message> waiting_;  // arrived while a handler ran
    winsupport::UniqueWindow window_;
};

}  // namespace veltrane::win32
