#include "platform/portable/datetime.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "platform/portable/errors.h"

namespace tw {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

std::int64_t SecondsOf(const DateTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

bool ParseNumber(std::string_view& text, int maxDigits, int& out) {
    const char* begin = text.data();
    const char* end = begin + std::min<std::size_t>(text.size(), static_cast<std::size_t>(maxDigits));
    auto [ptr, ec] = std::from_chars(begin, end, out);
    if (ec != std::errc{} || ptr == begin || *begin == '-' || *begin == '+') return false;
    text.remove_prefix(static_cast<std::size_t>(ptr - begin));
    return true;
}

}  // namespace

DateTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    // The UI thread is the only caller, so localtime's shared buffer is safe.
    const std::tm* tm = std::localtime(&now);
    if (tm == nullptr) throw ClassicError(err::kInternalError);
    return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

std::string FormatYYYY(const DateTime& when) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", when.year);
    return text;
}

std::optional<DateTime> ParseMonthDayYear(std::string_view text) {
    int month = 0, day = 0, year = 0;
    if (!ParseNumber(text, 2, month) || text.empty() || text.front() != '/') return std::nullopt;
    text.remove_prefix(1);
    if (!ParseNumber(text, 2, day) || text.empty() || text.front() != '/') return std::nullopt;
    text.remove_prefix(1);
    if (!ParseNumber(text, 4, year) || !text.empty()) return std::nullopt;
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    return DateTime{year, month, day, 0, 0, 0};
}

std::int64_t DiffSeconds(const DateTime& from, const DateTime& to) {
    return SecondsOf(to) - SecondsOf(from);
}

std::int64_t DateDiffSeconds(const DateTime& from, std::string_view monthDayYear) {
    const auto to = ParseMonthDayYear(monthDayYear);
    if (!to) throw ClassicError(err::kTypeMismatch);
    return DiffSeconds(from, *to);
}

}  // namespace tw
