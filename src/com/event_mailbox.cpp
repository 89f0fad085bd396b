#include "com/event_mailbox.h"

#include <utility>

namespace veltrane::com {

namespace {
void PushBounded(std::deque<std::wstring>& queue, const std::wstring& text) {
    if (queue.size() == EventMailbox::kCapacity) queue.pop_front();
    queue.push_back(text);
}

std::optional<std::wstring> PopFront(std::deque<std::wstring>& queue) {
    if (queue.empty()) return std::nullopt;
    std::wstring text = std::move(queue.front());
    queue.pop_front();
    return text;
}

// Runs the messages waiting for this thread; false at WM_QUIT, which is put
// back for the thread's own loop.
bool RunMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}
}  // namespace

EventMailbox::EventMailbox(WakeTarget& owner)
    : signal_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), window_(owner) {
    EventHub::Instance().add(*this);
}

EventMailbox::~EventMailbox() { EventHub::Instance().remove(*this); }

void EventMailbox::receive(const std::wstring& text) noexcept {
    bool ring = false;
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        PushBounded(toFire_, text);  // fired to the sinks connected then, if any
        ring = true;
        if (waitedFor_) {
            PushBounded(toTake_, text);
            ::SetEvent(signal_.get());
        }
    } catch (...) {
        // Out of memory: this object misses the event.
    }
    if (ring) window_.ring();
}

std::optional<std::wstring> EventMailbox::nextToFire() {
    std::lock_guard<std::mutex> lock(mutex_);
    return PopFront(toFire_);
}

std::optional<std::wstring> EventMailbox::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return PopFront(toTake_);
}

std::optional<std::wstring> EventMailbox::wait(long timeoutMs) {
    waitedFor_ = true;
    const bool unlimited = timeoutMs < 0;
    const ULONGLONG deadline = ::GetTickCount64() + (unlimited ? 0 : static_cast<ULONGLONG>(timeoutMs));
    for (bool ranMessages = false;; ranMessages = true) {
        if (std::optional<std::wstring> text = take()) return text;
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = unlimited ? INFINITE : static_cast<DWORD>(deadline > now ? deadline - now : 0);
        // A zero time still runs the messages already there once.
        if (left == 0 && ranMessages) return std::nullopt;
        HANDLE signal = signal_.get();
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &signal, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) return take();
        if (woke == WAIT_OBJECT_0 + 1 && !RunMessages()) return take();
    }
}

}  // namespace veltrane::com
