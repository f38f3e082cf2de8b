// Date services: local wall-clock date-times to whole seconds. No time zone or
// daylight-saving conversion happens in any arithmetic here.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// Where "now" comes from; tests pass a fixed instant.
using TimeSource = std::function<DateTime()>;

// The system's current local date-time, to whole seconds.
DateTime LocalNow();

// The year with the pattern "YYYY": four digits.
std::string FormatYYYY(const DateTime& when);

// A month/day/year text ("12/25/2026") read as a date at 00:00:00; nullopt if
// it is not a valid date.
std::optional<DateTime> ParseMonthDayYear(std::string_view text);

// Seconds from `from` to `to`, by plain calendar arithmetic.
std::int64_t DiffSeconds(const DateTime& from, const DateTime& to);

// The difference in seconds (interval "s") from a date-time to a month/day/
// year text. A text that is not a date raises error 13 "Type mismatch".
std::int64_t DateDiffSeconds(const DateTime& from, std::string_view monthDayYear);

}  // namespace tw
