#include "console/event_log.h"

#include "common/words.h"

namespace veltrane::tools {

namespace {
constexpr std::string_view kEnvelope = "|SMSG|";
}

std::string EventLog::add(EventChannel channel, const std::string& stamp, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (channel == EventChannel::Callback) callbacks_.push_back(text);
    return stamp + (channel == EventChannel::Callback ? " cb " : " wm ") + text;
}

std::optional<std::string> EventLog::consume(std::string_view pattern) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = cursor_; i < callbacks_.size(); ++i) {
        if (!MatchesPattern(pattern, Matchable(callbacks_[i]))) continue;
        cursor_ = i + 1;
        return callbacks_[i];
    }
    return std::nullopt;
}

bool EventLog::pending(std::string_view pattern) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = cursor_; i < callbacks_.size(); ++i)
        if (MatchesPattern(pattern, Matchable(callbacks_[i]))) return true;
    return false;
}

std::optional<std::string> EventLog::lastCallbackEvent() const {
    std::lock_guard lock(mutex_);
    if (callbacks_.empty()) return std::nullopt;
    return callbacks_.back();
}

std::string_view EventLog::Matchable(std::string_view text) {
    if (text.substr(0, kEnvelope.size()) == kEnvelope) text.remove_prefix(kEnvelope.size());
    return text;
}

}  // namespace veltrane::tools
