// The one listener the library's event delivery calls for the COM objects:
// every host event, turned into Unicode once, handed to every live object.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "win32/platform_services.h"

namespace veltrane::com {

// An object's share of the events. `receive` runs on the library's owner
// thread, inside its event delivery: it may only take note.
class EventReceiver {
public:
    virtual ~EventReceiver() = default;
    virtual void receive(const std::wstring& text) noexcept = 0;
};

class EventHub final : public win32::HostEventListener {
public:
    // The hub of the process, attached to the library on first use and kept
    // for the life of the process.
    static EventHub& Instance();

    // From any thread. After remove returns, the receiver hears nothing more.
    void add(EventReceiver& receiver);
    void remove(EventReceiver& receiver) noexcept;

    void hostEvent(const std::string& text) noexcept override;

private:
    EventHub() = default;

    std::mutex mutex_;
    std::vector<EventReceiver*> receivers_;
};

}  // namespace veltrane::com
