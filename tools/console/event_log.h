// The host events the console has received, in order of arrival, and the
// cursor that `wait` moves through them. Safe to use from any thread: the
// library may call the callback from threads other than the console's.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane::tools {

enum class EventChannel { Callback, CopyData };

class EventLog {
public:
    // Records one event, UTF-8 text as delivered (envelope included), and
    // returns the transcript line for it: stamp, "cb" or "wm", text.
    std::string add(EventChannel channel, const std::string& stamp, const std::string& text);

    // `wait`: the first callback event from the cursor on that matches;
    // the cursor moves past it. Events passed over stay consumed.
    std::optional<std::string> consume(std::string_view pattern);
    // `expect-none`: whether any callback event from the cursor on matches.
    bool pending(std::string_view pattern) const;

    // The last callback event, envelope included; nullopt before the first.
    std::optional<std::string> lastCallbackEvent() const;

    // The text a pattern is matched against: the event without "|SMSG|".
    static std::string_view Matchable(std::string_view text);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> callbacks_;  // the copies in WM_COPYDATA are printed only
    std::size_t cursor_ = 0;
};

}  // namespace veltrane::tools
