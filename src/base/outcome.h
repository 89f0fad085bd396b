// What a function that can fail returns: success, or the reason it failed in
// words fit for a log line or a host event. Expected failures never travel
// as exceptions; an exception stands for the unforeseen (memory running
// out) and is caught where a layer meets its caller.
#pragma once

#include <string>
#include <utility>

namespace veltrane {

class [[nodiscard]] Outcome {
public:
    Outcome() = default;  // success
    static Outcome Failure(std::string reason) {
        Outcome outcome;
        outcome.failed_ = true;
        outcome.reason_ = std::move(reason);
        return outcome;
    }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const std::string& reason() const { return reason_; }  // empty on success

private:
    bool failed_ = false;
    std::string reason_;
};

}  // namespace veltrane
