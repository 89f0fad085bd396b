// Host events and alerts on their way out. They wait here while the owner
// thread handles something (a socket event, a timer, a command-server
// request, an export) and reach the host once that handling is complete,
// in the order they were raised: whatever the host does inside its
// callback then meets a library whose state is whole.
#pragma once

#include <deque>
#include <optional>
#include <set>
#include <string>

#include "platform/platform.h"

namespace veltrane {

struct Delivery {
    enum class Kind {
        Event,         // "|SMSG|..." to the callback, then to the host window
        CallbackOnly,  // a text for the callback alone
        Alert,
    };
    Kind kind = Kind::Event;
    std::string text;
    AlertContent alert;
};

class Outbox {
public:
    void add(Delivery delivery) { pending_.push_back(std::move(delivery)); }
    bool empty() const { return pending_.empty(); }
    // The oldest delivery, taken out.
    std::optional<Delivery> take();

    // The host's callback has failed this way before: said once in the log.
    bool firstFailure(const std::string& kind) { return failuresLogged_.insert(kind).second; }

private:
    std::deque<Delivery> pending_;
    std::set<std::string> failuresLogged_;
};

}  // namespace veltrane
