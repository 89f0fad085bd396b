// Standard input read line by line on a thread of its own, so that the
// socket loop can poll for commands (select cannot wait on a console).
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace veltrane::tools {

class StdinLines {
public:
    // Starts the reader; it runs until end of input.
    void start();
    std::optional<std::string> take();

private:
    struct Queue {
        std::mutex mutex;
        std::deque<std::string> lines;
    };
    // Shared with the reader, which may still wait in its read when the
    // program ends.
    std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();
};

}  // namespace veltrane::tools
