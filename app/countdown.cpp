// The countdown clock: the tick of Timer1.
#include <optional>
#include <string>

#include "app/frmMain.h"
#include "platform/portable/errors.h"

namespace tw {

void frmMain::Timer1_Timer() {
    // One reading serves the whole tick: reading the clock twice let a tick
    // that straddled New Year pair the old year's target with the new time.
    std::optional<DateTime> now;
    ResumeNext([&] { now = clock_(); });

    std::string target;
    ResumeNext([&] { target = "12/25/" + FormatYYYY(now.value()); });

    // The target lies in the year of the reading, so the difference is less
    // than a year of seconds and always fits.
    std::int32_t remaining = 0;
    ResumeNext([&] { remaining = static_cast<std::int32_t>(DateDiffSeconds(now.value(), target)); });

    std::int32_t days = 0, hours = 0, minutes = 0, seconds = 0;
    SplitSeconds(remaining, days, hours, minutes, seconds);

    ResumeNext([&] { Label1.SetCaption(std::to_string(days) + " days,"); });
    ResumeNext([&] {
        Label2.SetCaption(std::to_string(hours) + " hours, " + std::to_string(minutes) +
                          " minutes and " + std::to_string(seconds) + " seconds.");
    });
}

// C++ division truncates toward zero and % takes the dividend's sign, which
// is exactly the split the captions show after 25 December.
void frmMain::SplitSeconds(std::int32_t total, std::int32_t& days, std::int32_t& hours,
                           std::int32_t& minutes, std::int32_t& seconds) {
    days = total / 86400;
    hours = (total % 86400) / 3600;
    minutes = ((total % 86400) % 3600) / 60;
    seconds = ((total % 86400) % 3600) % 60;
}

}  // namespace tw
