#include "core/outbox.h"

namespace veltrane {

std::optional<Delivery> Outbox::take() {
    if (pending_.empty()) return std::nullopt;
    Delivery next = std::move(pending_.front());
    pending_.pop_front();
    return next;
}

}  // namespace veltrane
