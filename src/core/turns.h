// The owner thread's turns: one handler at a time, and host events only
// between them.
//
// Exports run at once, wherever they are called from (the host's callback,
// another thread while the owner thread waits), because the host asked for
// them. Every other piece of work (a socket event, a timer tick, a request
// handed over) waits while a handler, an export or the delivery of host
// events is running, and runs in arrival order once that is done. So no
// handler ever runs inside another, and the thread's stack stays bounded
// whatever the server sends.
//
// When the last handler or export on the stack is done, the library's state
// is whole and the turn ends: `turnEnded` delivers the host events. An
// export called from inside that delivery ends its own turn before it
// returns, so its events reach the host before the export returns.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

namespace veltrane {

class Turns {
public:
    using Work = std::function<void()>;
    // Tells a handler's kind apart; all zero for none.
    using Key = std::array<std::uint64_t, 3>;
    explicit Turns(Work turnEnded) : turnEnded_(std::move(turnEnded)) {}

    // An export: runs now, and the turn ends before this returns.
    void runExport(const Work& work);
    // A handler: runs now when nothing else runs, else after what runs and
    // waits already. A handler whose `key` is already waiting is not queued
    // again (a timer tick says nothing new).
    void runHandler(Work work, Key key = {});
    bool busy() const { return handlers_ > 0 || deliveries_ > 0 || draining_; }

private:
    void run(const Work& work) noexcept;
    void endTurn() noexcept;

    Work turnEnded_;
    int handlers_ = 0;     // exports and handlers running
    int deliveries_ = 0;   // turn ends running (the host may call exports in them)
    bool draining_ = false;  // the outermost turn runs what waited
    std::deque<std::pair<Key, Work>> waiting_;
};

}  // namespace veltrane
