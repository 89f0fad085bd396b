#include "com/event_hub.h"

#include <algorithm>

#include "dll/object_support.h"
#include "winsupport/code_page.h"

namespace veltrane::com {

EventHub& EventHub::Instance() {
    // Never destroyed: the library may deliver an event while the process
    // ends. The DLL stays loaded as long as it (and its objects' window
    // class) does, whatever a host's CoUninitialize or FreeLibrary does.
    static EventHub* const hub = [] {
        HMODULE self = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                             reinterpret_cast<LPCWSTR>(&EventHub::Instance), &self);
        auto* made = new EventHub();
        dll::AttachHostEventListener(*made);
        return made;
    }();
    return *hub;
}

void EventHub::add(EventReceiver& receiver) {
    std::lock_guard<std::mutex> lock(mutex_);
    receivers_.push_back(&receiver);
}

void EventHub::remove(EventReceiver& receiver) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), &receiver), receivers_.end());
}

void EventHub::hostEvent(const std::string& text) noexcept {
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        if (receivers_.empty()) return;
        const std::wstring wide = winsupport::AnsiToWide(text);
        for (EventReceiver* receiver : receivers_) receiver->receive(wide);
    } catch (...) {
        // Out of memory: the objects miss this event, the library goes on.
    }
}

}  // namespace veltrane::com
