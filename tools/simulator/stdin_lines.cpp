#include "simulator/stdin_lines.h"

#include <iostream>
#include <thread>

namespace veltrane::tools {

void StdinLines::start() {
    // Detached: a blocking read cannot be interrupted portably.
    std::thread([queue = queue_] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::lock_guard lock(queue->mutex);
            queue->lines.push_back(line);
        }
    }).detach();
}

std::optional<std::string> StdinLines::take() {
    std::lock_guard lock(queue_->mutex);
    if (queue_->lines.empty()) return std::nullopt;
    std::string line = std::move(queue_->lines.front());
    queue_->lines.pop_front();
    return line;
}

}  // namespace veltrane::tools
