#include "core/turns.h"

#include <algorithm>

namespace veltrane {

void Turns::runExport(const Work& work) {
    run(work);
    endTurn();
}

void Turns::runHandler(Work work, Key key) {
    if (busy()) {
        const auto same = [&key](const auto& waiting) { return waiting.first == key; };
        if (key == Key{} || std::none_of(waiting_.begin(), waiting_.end(), same))
            waiting_.emplace_back(key, std::move(work));
        return;
    }
    run(work);
    endTurn();
}

void Turns::run(const Work& work) noexcept {
    ++handlers_;
    try {
        work();
    } catch (...) {
        // What a handler could report it has reported; the next turn goes on.
    }
    --handlers_;
}

void Turns::endTurn() noexcept {
    if (handlers_ > 0) return;  // an export inside a handler: the handler is not done
    const auto deliver = [this] {
        ++deliveries_;
        try {
            turnEnded_();
        } catch (...) {
        }
        --deliveries_;
    };
    deliver();
    if (deliveries_ > 0 || draining_) return;  // the outermost turn runs what waited
    draining_ = true;
    while (!waiting_.empty()) {
        const Work next = std::move(waiting_.front().second);
        waiting_.pop_front();
        run(next);
        deliver();
    }
    draining_ = false;
}

}  // namespace veltrane
