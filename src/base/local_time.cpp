#include "base/local_time.h"

#include <iterator>
#include <string_view>

#include "base/text.h"

namespace veltrane {

namespace {
// Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}
}  // namespace

std::int64_t SecondsSince1970(const LocalTime& t) {
    return DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 +
           t.hour * 3600 + t.minute * 60 + t.second;
}

LocalTime FromSecondsSince1970(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    LocalTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

namespace {
// The six fields, year first, each after its separator in `separators`
// (none where it runs out).
void AppendFields(std::string& out, const LocalTime& t, std::string_view separators) {
    const int fields[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i < separators.size()) out += separators[i];
        AppendZeroPadded(out, fields[i], i == 0 ? 4 : 2);
    }
}
}  // namespace

void AppendStamp(std::string& out, const LocalTime& t) {
    AppendFields(out, t, "[-- ::");
    out += ']';
}

std::string FormatStamp(const LocalTime& t) {
    std::string text;
    AppendStamp(text, t);
    return text;
}

std::string FormatCompact(const LocalTime& t) {
    std::string text;
    AppendFields(text, t, "");
    return text;
}

}  // namespace veltrane
