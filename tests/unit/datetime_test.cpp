#include "platform/portable/datetime.h"

#include <gtest/gtest.h>

#include "platform/portable/errors.h"

namespace tw {
namespace {

TEST(ParseMonthDayYear, ReadsOnlyRealDates) {
    struct Case {
        const char* text;
        std::optional<DateTime> expected;
    };
    const Case cases[] = {
        {"12/25/2026", DateTime{2026, 12, 25, 0, 0, 0}},
        {"2/29/2028", DateTime{2028, 2, 29, 0, 0, 0}},
        {"1/5/0999", DateTime{999, 1, 5, 0, 0, 0}},
        {"2/29/2027", std::nullopt},
        {"2/29/2100", std::nullopt},
        {"13/1/2026", std::nullopt},
        {"0/1/2026", std::nullopt},
        {"12/32/2026", std::nullopt},
        {"12/25/", std::nullopt},
        {"12/25/2026x", std::nullopt},
        {"12/25/20261", std::nullopt},
        {"-1/25/2026", std::nullopt},
        {"12/25/+026", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMonthDayYear(c.text), c.expected) << c.text;
}

TEST(DateDiffSeconds, IsPlainCalendarArithmetic) {
    EXPECT_EQ(DateDiffSeconds({2026, 12, 24, 23, 59, 59}, "12/25/2026"), 1);
    EXPECT_EQ(DateDiffSeconds({2028, 1, 1, 0, 0, 0}, "12/25/2028"), 359 * 86400);
    EXPECT_EQ(DateDiffSeconds({2000, 3, 1, 0, 0, 0}, "3/1/2100"), 36524LL * 86400);
    EXPECT_EQ(DiffSeconds({2026, 12, 26, 1, 1, 1}, {2026, 12, 25, 0, 0, 0}), -90061);
}

TEST(DateDiffSeconds, ATextThatIsNoDateIsATypeMismatch) {
    try {
        DateDiffSeconds({2026, 1, 1, 0, 0, 0}, "12/25/");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 13);
        EXPECT_EQ(e.Description(), "Type mismatch");
    }
}

TEST(FormatYYYY, AlwaysFourDigits) {
    EXPECT_EQ(FormatYYYY({2026, 1, 1, 0, 0, 0}), "2026");
    EXPECT_EQ(FormatYYYY({999, 1, 1, 0, 0, 0}), "0999");
}

}  // namespace
}  // namespace tw
