// What every desktop adapter promises, checked against the adapter of this
// build through its own start-up steps: in tallowind_qt_tests on Qt's
// offscreen platform and on Xvfb (the X11 shape, at 100 % and 150 %), and in
// tallowind_win32_tests under Wine (at 100 % and 150 %).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/frmMain_layout.h"
#include "platform/portable/pixel_scale.h"
#include "platform/ports/desktop_rules.h"
#include "platform/ports/startup.h"
#include "tests/conformance/adapter_probe.h"
#include "tests/support/shipped_picture.h"

namespace tw {
namespace {

using testing::AdapterProbe;
using testing::MakeProbe;
using testing::OutlineOf;
using testing::ProbeScales;
using testing::ShippedPicture;

// What the window delivers; a press may ask for the caption drag, as the
// gadget's presses do.
class Recorder final : public FormHandlers {
public:
    Recorder(WindowSystem& windowSystem, Form& form) : windowSystem_(windowSystem), form_(form) {}
    void Form_MouseDown(std::int16_t Button, std::int16_t, float X, float Y) override {
        presses.push_back({Button, X, Y});
        if (dragOnPress) windowSystem_.SendMessageA(form_.hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    }
    void Timer_Tick(const std::string& timerName) override { ++ticks[timerName]; }
    void Menu_Click(const std::string& itemName) override { clicks.push_back(itemName); }

    struct Press {
        std::int16_t button;
        float x, y;
    };
    std::vector<Press> presses;
    std::map<std::string, int> ticks;
    std::vector<std::string> clicks;
    bool dragOnPress = false;

private:
    WindowSystem& windowSystem_;
    Form& form_;
};

// The gadget's layout, with a timer of each kind the timer rules tell apart.
FormLayout ProbeLayout(bool centred = true) {
    FormLayout layout = frmMainLayout();
    layout.centreOnScreen = centred;
    layout.timers = {TimerLayout{"Fast", 1, true}, TimerLayout{"Zero", 0, true}, TimerLayout{"Off", 20, false}};
    return layout;
}

// One window made through the adapter's start-up, at a display scale.
struct Window {
    explicit Window(double scale, FormLayout formLayout = ProbeLayout())
        : layout(std::move(formLayout)),
          probe(MakeProbe(scale)),
          started(StartUp(probe->Steps(), layout, [this](Form& form, UiRuntime&) {
              auto handlers = std::make_unique<Recorder>(probe->Steps().WindowSystem(), form);
              recorder = handlers.get();
              return handlers;
          })) {
        probe->Wait(100);
    }
    Form& form() { return started.form; }
    WindowSystem& windowSystem() { return probe->Steps().WindowSystem(); }
    bool WaitFor(const std::function<bool()>& done, int turns = 100) {
        for (int i = 0; i < turns && !done(); ++i) probe->Wait(20);
        return done();
    }

    const std::chrono::steady_clock::time_point made = std::chrono::steady_clock::now();
    FormLayout layout;  // the adapters keep references into it
    std::unique_ptr<AdapterProbe> probe;
    Recorder* recorder = nullptr;
    StartedWindow started;
};

class AdapterConformance : public ::testing::Test {
protected:
    void SetUp() override {
        if (ProbeScales().empty()) GTEST_SKIP() << "no desktop to show the adapter's windows on";
    }
};

TEST_F(AdapterConformance, TheOutlineReachesTheWindowInPicturePixelsMappedAtItsScale) {
    struct Case {
        const char* name;
        std::optional<Region> outline;
    };
    const Case cases[] = {
        {"the picture's outline, with its holes", OutlineOf(ShippedPicture())},
        {"an empty outline: nothing shows and nothing takes a click", Region()},
        {"none: the full rectangle", std::nullopt},
    };
    for (const double scale : ProbeScales()) {
        Window window(scale);
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << " at " << scale);
            window.windowSystem().SetWindowRgn(window.form().hWnd(),
                                               c.outline ? std::make_unique<Region>(*c.outline) : nullptr, true);
            window.probe->Wait(50);
            const std::optional<Region> expected =
                c.outline ? std::optional<Region>(ScaleRegion(*c.outline, PixelScale(scale))) : std::nullopt;
            EXPECT_EQ(window.probe->Shape(), expected);
        }
    }
}

TEST_F(AdapterConformance, TheWindowFirstStandsAsLaidOutAtTheDisplayScale) {
    for (const double scale : ProbeScales()) {
        for (const bool centred : {true, false}) {
            SCOPED_TRACE(::testing::Message() << (centred ? "centred" : "top left") << " at " << scale);
            Window window(scale, ProbeLayout(centred));
            const PixelScale mapping(scale);
            const DeviceSize size{mapping.Edge(window.layout.clientWidth), mapping.Edge(window.layout.clientHeight)};
            const DevicePoint at = FirstPosition(window.probe->Screen(), size, centred);
            EXPECT_EQ(window.probe->Placement(), (Rect{at.x, at.y, at.x + size.width, at.y + size.height}));
        }
    }
}

TEST_F(AdapterConformance, ALabelRepaintsOnlyWhenItsTextChanges) {
    Window window(ProbeScales().front());
    Label& label = window.form().GetLabel("Label1");
    const int before = window.probe->Paints("Label1");
    const int otherBefore = window.probe->Paints("Label2");
    label.SetCaption("Loading");
    // Watched for as long as the control after it takes at most: the other
    // label's new text repaints within that time.
    constexpr int kWatchTurns = 25;
    EXPECT_FALSE(window.WaitFor([&] { return window.probe->Paints("Label1") != before; }, kWatchTurns))
        << "the text it already shows";
    window.form().GetLabel("Label2").SetCaption("1 hours, 2 minutes and 3 seconds.");
    EXPECT_TRUE(window.WaitFor([&] { return window.probe->Paints("Label2") > otherBefore; }, kWatchTurns))
        << "a new text repaints within the same wait";
    label.SetCaption("5 days,");
    EXPECT_TRUE(window.WaitFor([&] { return window.probe->Paints("Label1") > before; }));
}

TEST_F(AdapterConformance, TimersTickByTheirRules) {
    Window window(ProbeScales().front());
    window.probe->Wait(300);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                             window.made);
    const std::map<std::string, int>& ticks = window.recorder->ticks;
    ASSERT_EQ(ticks.count("Fast"), 1u) << "an enabled timer with an interval ticks";
    EXPECT_LE(ticks.at("Fast"), elapsed.count() / kMinTimerPeriodMs + 2) << "never closer together than the floor";
    EXPECT_EQ(ticks.count("Zero"), 0u) << "an interval of 0 never ticks";
    EXPECT_EQ(ticks.count("Off"), 0u) << "a disabled timer never ticks";
}

TEST_F(AdapterConformance, ThePopupMenuShowsItsRowsAndItsChoiceIsHandledBeforeItCloses) {
    Window window(ProbeScales().front());
    const std::vector<std::string> rows{"About", "-", "Exit"};
    EXPECT_EQ(window.probe->Popup("menu", std::nullopt), rows);
    EXPECT_TRUE(window.recorder->clicks.empty()) << "closed without a choice";
    EXPECT_EQ(window.probe->Popup("menu", 2), rows);
    EXPECT_EQ(window.recorder->clicks, std::vector<std::string>{"menuExit"});
}

TEST_F(AdapterConformance, PressesOnThePictureReachTheWindowAndOnALabelNothing) {
    for (const double scale : ProbeScales()) {
        Window window(scale);
        struct Case {
            const char* where;
            std::int16_t button;
            int x, y;
            bool reaches;
        };
        const Case cases[] = {
            {"the picture", vbLeftButton, 90, 60, true},   {"the picture", vbRightButton, 90, 60, true},
            {"the picture", vbMiddleButton, 90, 60, true}, {"Label1", vbRightButton, 30, 125, false},
            {"Label2", vbLeftButton, 90, 150, false},      {"Label2", vbRightButton, 90, 170, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.where << ", button " << c.button << " at " << scale);
            const std::size_t before = window.recorder->presses.size();
            window.probe->Press(c.button, c.x, c.y);
            ASSERT_EQ(window.recorder->presses.size(), before + (c.reaches ? 1 : 0));
            if (!c.reaches) continue;
            const Recorder::Press& press = window.recorder->presses.back();
            EXPECT_EQ(press.button, c.button);
            // Twips of the layout, whatever the scale: within one layout pixel.
            EXPECT_NEAR(press.x, LayoutPixelsToTwips(static_cast<float>(c.x)), kTwipsPerLayoutPixel);
            EXPECT_NEAR(press.y, LayoutPixelsToTwips(static_cast<float>(c.y)), kTwipsPerLayoutPixel);
        }
    }
}

TEST_F(AdapterConformance, TheCaptionDragStartsOnlyWhileTheLeftButtonIsDown) {
    Window window(ProbeScales().front());
    window.recorder->dragOnPress = true;
    for (const std::int16_t button : {vbRightButton, vbMiddleButton, vbLeftButton}) window.probe->Press(button, 90, 60);
    EXPECT_EQ(window.probe->MovesStarted(), 1);
    window.windowSystem().SendMessageA(window.form().hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    EXPECT_EQ(window.probe->MovesStarted(), 1) << "no button down, no move";
}

TEST_F(AdapterConformance, ReleaseCaptureEndsTheWindowsCapture) {
    Window window(ProbeScales().front());
    window.probe->Capture();
    ASSERT_TRUE(window.probe->Captured());
    window.windowSystem().ReleaseCapture();
    EXPECT_FALSE(window.probe->Captured());
}

}  // namespace
}  // namespace tw
