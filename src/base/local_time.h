// Local wall-clock time and the texts the library writes it as.
#pragma once

#include <cstdint>
#include <string>

namespace veltrane {

struct LocalTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

// Seconds since 1970-01-01 00:00:00 counted on the local clock (no zone).
std::int64_t SecondsSince1970(const LocalTime& time);
LocalTime FromSecondsSince1970(std::int64_t seconds);

// "[YYYY-MM-DD HH:NN:SS]", the stamp of log lines and alerts.
std::string FormatStamp(const LocalTime& time);
void AppendStamp(std::string& out, const LocalTime& time);
// "YYYYMMDDHHNNSS", the link's silence moment.
std::string FormatCompact(const LocalTime& time);

}  // namespace veltrane
