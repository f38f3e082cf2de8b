#include "app/frmMain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/portable/errors.h"
#include "shaping/colour_key_scan.h"
#include "tests/support/fakes.h"

namespace tw {
namespace {

constexpr WindowHandle kHandle = 0x77;
constexpr Colour W = 0x00FFFFFF;
constexpr Colour R = 0x000000FF;

using testing::CallLog;
using testing::EndCalled;
using testing::FakeRuntime;
using testing::FakeWindowSystem;

class FakeLabel final : public Label {
public:
    explicit FakeLabel(CallLog& log, std::string name) : log_(log), name_(std::move(name)) {}
    void SetCaption(const std::string& caption) override {
        log_.push_back(name_ + ".Caption");
        if (fails) throw ClassicError(5);
        text = caption;
    }
    std::string text = "Loading";
    bool fails = false;

private:
    CallLog& log_;
    std::string name_;
};

class FakePicture final : public Picture {
public:
    std::optional<PixelSource> OpenPixelSource() const override {
        if (!bitmap) return std::nullopt;
        return bitmap->Pixels();
    }
    std::shared_ptr<Bitmap> bitmap;
};

class FakeForm final : public Form {
public:
    explicit FakeForm(CallLog& log) : label1(log, "Label1"), label2(log, "Label2"), log_(log) {
        picture.bitmap = std::make_shared<Bitmap>(3, 2, std::vector<Colour>{W, R, W, R, R, W});
    }
    const tw::Picture& Picture() const override { return picture; }
    WindowHandle hWnd() const override {
        log_.push_back("hWnd");
        return kHandle;
    }
    Label& GetLabel(const std::string& name) override {
        if (name == "Label1") return label1;
        if (name == "Label2") return label2;
        throw ClassicError(err::kObjectDoesntSupport);
    }
    void PopupMenu(const std::string& menuName) override {
        log_.push_back("PopupMenu " + menuName);
        if (onPopup) onPopup();
    }
    // The handlers give the outline through the window system, never here.
    void SetOutline(RegionHandle, bool) override { log_.push_back("SetOutline"); }

    FakePicture picture;
    FakeLabel label1;
    FakeLabel label2;
    std::function<void()> onPopup;

private:
    CallLog& log_;
};

struct Harness {
    explicit Harness(TimeSource clock = [] { return DateTime{2026, 12, 8, 12, 0, 0}; })
        : form(log),
          runtime(FakeRuntime::OnEnd::Throw, &log),
          windowSystem(&log),
          main(form, runtime, windowSystem, std::move(clock)) {}
    // Every call the handlers make, in order, across window, runtime and window system.
    CallLog log;
    FakeForm form;
    FakeRuntime runtime;
    FakeWindowSystem windowSystem;
    frmMain main;
};

struct CountdownCase {
    DateTime now;
    const char* label1;
    const char* label2;
};

class CountdownTest : public ::testing::TestWithParam<CountdownCase> {};

TEST_P(CountdownTest, CaptionsShowTheTimeLeftUntilChristmas) {
    const CountdownCase& c = GetParam();
    Harness h([&] { return c.now; });
    h.main.Timer_Tick("Timer1");
    EXPECT_EQ(h.form.label1.text, c.label1);
    EXPECT_EQ(h.form.label2.text, c.label2);
}

INSTANTIATE_TEST_SUITE_P(
    Instants, CountdownTest,
    ::testing::Values(
        CountdownCase{{2026, 12, 24, 23, 59, 59}, "0 days,", "0 hours, 0 minutes and 1 seconds."},
        CountdownCase{{2026, 12, 25, 0, 0, 0}, "0 days,", "0 hours, 0 minutes and 0 seconds."},
        CountdownCase{{2026, 12, 25, 0, 0, 1}, "0 days,", "0 hours, 0 minutes and -1 seconds."},
        CountdownCase{{2026, 12, 26, 1, 1, 1}, "-1 days,", "-1 hours, -1 minutes and -1 seconds."},
        // The target stays in the current year until New Year.
        CountdownCase{{2026, 12, 31, 23, 59, 59}, "-6 days,", "-23 hours, -59 minutes and -59 seconds."},
        CountdownCase{{2027, 1, 1, 0, 0, 0}, "358 days,", "0 hours, 0 minutes and 0 seconds."},
        CountdownCase{{2028, 1, 1, 0, 0, 0}, "359 days,", "0 hours, 0 minutes and 0 seconds."},
        CountdownCase{{2026, 9, 16, 0, 0, 0}, "100 days,", "0 hours, 0 minutes and 0 seconds."},
        CountdownCase{{2026, 12, 23, 22, 58, 59}, "1 days,", "1 hours, 1 minutes and 1 seconds."},
        // Daylight-saving days in Europe: plain wall-clock arithmetic, no hour lost or gained.
        CountdownCase{{2026, 3, 29, 2, 30, 0}, "270 days,", "21 hours, 30 minutes and 0 seconds."},
        CountdownCase{{2026, 10, 25, 2, 30, 0}, "60 days,", "21 hours, 30 minutes and 0 seconds."},
        CountdownCase{{2026, 10, 24, 12, 0, 0}, "61 days,", "12 hours, 0 minutes and 0 seconds."}));

TEST(Countdown, ReadsTheClockOnceSoATickAcrossNewYearStaysConsistent) {
    // Regression: the year and the difference came from two readings, so a
    // tick straddling midnight showed "-7 days," for the new year's clock.
    int reads = 0;
    Harness h([&] {
        ++reads;
        return reads == 1 ? DateTime{2026, 12, 31, 23, 59, 59} : DateTime{2027, 1, 1, 0, 0, 0};
    });
    h.main.Timer1_Timer();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(h.form.label1.text, "-6 days,");
    EXPECT_EQ(h.form.label2.text, "-23 hours, -59 minutes and -59 seconds.");
}

TEST(Countdown, FailuresAreSkippedAndTheTickGoesOn) {
    struct Case {
        const char* name;
        bool clockFails, label1Fails, label2Fails;
        const char* label1;
        const char* label2;
    };
    for (const Case& c : {Case{"clock", true, false, false, "0 days,", "0 hours, 0 minutes and 0 seconds."},
                          Case{"Label1", false, true, false, "Loading", "12 hours, 0 minutes and 0 seconds."},
                          Case{"Label2", false, false, true, "16 days,", "Loading"}}) {
        Harness h([&]() -> DateTime {
            if (c.clockFails) throw ClassicError(5);
            return DateTime{2026, 12, 8, 12, 0, 0};
        });
        h.form.label1.fails = c.label1Fails;
        h.form.label2.fails = c.label2Fails;
        EXPECT_NO_THROW(h.main.Timer1_Timer()) << c.name;
        EXPECT_EQ(h.form.label1.text, c.label1) << c.name;
        EXPECT_EQ(h.form.label2.text, c.label2) << c.name;
    }
}

TEST(Countdown, BothCaptionsAreWrittenOnEveryTick) {
    Harness h;
    h.main.Timer1_Timer();
    h.main.Timer1_Timer();
    EXPECT_EQ(h.log, (CallLog{"Label1.Caption", "Label2.Caption", "Label1.Caption", "Label2.Caption"}));
}

TEST(Countdown, TicksOfOtherTimersAreIgnored) {
    Harness h;
    h.main.Timer_Tick("Timer2");
    EXPECT_TRUE(h.log.empty());
}

struct MouseCase {
    std::int16_t button;
    CallLog expected;
};

TEST(FormMouseDown, AsksForTheMoveForEveryButtonAndOpensTheMenuOnlyForTheRight) {
    const std::string move = "SendMessageA " + std::to_string(kHandle) + " 161 2 0";
    const std::vector<MouseCase> cases = {
        {1, {"ReleaseCapture", "hWnd", move}},
        {2, {"ReleaseCapture", "hWnd", move, "PopupMenu menu"}},
        {4, {"ReleaseCapture", "hWnd", move}},
        {3, {"ReleaseCapture", "hWnd", move}},
    };
    for (const MouseCase& c : cases) {
        Harness h;
        h.main.Form_MouseDown(c.button, 0, 100.0f, 200.0f);
        EXPECT_EQ(h.log, c.expected) << "button " << c.button;
    }
}

TEST(FormMouseDown, AChosenItemRunsBeforeThePopupReturns) {
    Harness h;
    h.form.onPopup = [&] { h.main.Menu_Click("menuAbout"); };
    h.main.Form_MouseDown(2, 0, 0, 0);
    ASSERT_EQ(h.log.size(), 5u);
    EXPECT_EQ(h.log[3], "PopupMenu menu");
    EXPECT_EQ(h.log[4], "MsgBox 64 About...");
}

TEST(Menu, AboutShowsTheFiveLinesWithTheInformationIcon) {
    Harness h;
    h.main.Menu_Click("menuAbout");
    EXPECT_EQ(h.log, (CallLog{"MsgBox 64 About..."}));
    EXPECT_EQ(h.runtime.prompts.at(0),
              "Tallowind was designed by Orlevask.\r\nShare it with others.\r\n"
              "I got this idea from the MacOS X\r\nFor any more informations, visit our website: \r\n"
              "https://tallowind.example/");
}

TEST(Menu, ExitEndsAtOnceWithStatusZero) {
    Harness h;
    try {
        h.main.Menu_Click("menuExit");
        FAIL() << "End did not end";
    } catch (const EndCalled& end) {
        EXPECT_EQ(end.status, 0);
    }
    EXPECT_EQ(h.log, (CallLog{"End 0"}));
}

TEST(FormLoad, GivesTheWindowTheOutlineOfItsPictureWithWhiteCutAway) {
    Harness h;
    h.main.Form_Load();
    ASSERT_EQ(h.windowSystem.handed.size(), 1u);
    ASSERT_TRUE(h.windowSystem.handed[0].region);
    const Rect kept[] = {{1, 0, 2, 1}, {0, 1, 2, 2}};
    EXPECT_EQ(*h.windowSystem.handed[0].region, Region::FromRects(kept));
}

TEST(FormLoad, FailuresLeaveTheWindowAsItWasAndRaiseNothing) {
    // The hand-over is made and fails, and load goes on as if it had not.
    Harness failingSystem;
    failingSystem.windowSystem.setWindowRgnThrows = true;
    EXPECT_NO_THROW(failingSystem.main.Form_Load());
    EXPECT_EQ(failingSystem.log, (CallLog{"hWnd", "SetWindowRgn " + std::to_string(kHandle) + " redraw"}));

    // No pixel source: the window is handed no outline, which keeps it rectangular.
    Harness noPixels;
    noPixels.form.picture.bitmap.reset();
    EXPECT_NO_THROW(noPixels.main.Form_Load());
    ASSERT_EQ(noPixels.windowSystem.handed.size(), 1u);
    EXPECT_FALSE(noPixels.windowSystem.handed[0].region);
}

}  // namespace
}  // namespace tw
