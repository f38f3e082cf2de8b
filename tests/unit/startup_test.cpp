// The start-up both adapters run, against steps that only write down what
// they are asked: the order of the steps, the placement and timer rules, and
// the outline reaching the adopted window while the start-up's result lives.
#include "platform/ports/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fakes.h"

namespace tw {
namespace {

using testing::CallLog;
using testing::FakeRuntime;

class LoggingWindow final : public AdapterWindow {
public:
    explicit LoggingWindow(CallLog& log) : log_(log) {}
    const tw::Picture& Picture() const override { return picture_; }
    WindowHandle hWnd() const override { return 0x51; }
    Label& GetLabel(const std::string&) override { throw ClassicError(err::kObjectDoesntSupport); }
    void PopupMenu(const std::string&) override {}
    void SetOutline(RegionHandle outline, bool) override { Log(outline ? "SetOutline" : "SetOutline none"); }
    void SetHandlers(FormHandlers&) override { Log("SetHandlers"); }
    std::optional<Rect> PrimaryScreen() const override { return Log("PrimaryScreen"), screen; }
    DeviceSize WindowSize() const override { return Log("WindowSize"), DeviceSize{183, 211}; }
    void MoveTo(DevicePoint at) override { Log("MoveTo " + std::to_string(at.x) + "," + std::to_string(at.y)); }
    void Show() override { Log("Show"); }
    void StartTimer(std::size_t index, int periodMs) override {
        Log("StartTimer " + std::to_string(index) + " every " + std::to_string(periodMs));
    }

    std::optional<Rect> screen = Rect{0, 0, 1024, 768};

private:
    void Log(std::string call) const { log_.push_back(std::move(call)); }
    CallLog& log_;
    BitmapPicture picture_{nullptr};
};

class LoggingWindowSystem final : public AdapterWindowSystem {
public:
    explicit LoggingWindowSystem(CallLog& log) : log_(log) {}
    void ReleaseCapture() override {}
    std::intptr_t SendMessageA(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }

protected:
    void SetForeignWindowRgn(WindowHandle window, RegionHandle, bool) override {
        log_.push_back("foreign " + std::to_string(window));
    }

private:
    CallLog& log_;
};

class LoggingSteps final : public StartUpSteps {
public:
    UiRuntime& Runtime() override { return runtime; }
    AdapterWindowSystem& WindowSystem() override { return windowSystem; }
    AdapterWindow& MakeWindow(const FormLayout&) override { return log.push_back("MakeWindow"), window; }
    int DeliverEvents() override { return log.push_back("DeliverEvents"), 7; }

    CallLog log;
    FakeRuntime runtime{FakeRuntime::OnEnd::Throw, &log};
    LoggingWindowSystem windowSystem{log};
    LoggingWindow window{log};
};

// Gives its window an outline at load, as the gadget does.
class ShapingHandlers final : public FormHandlers {
public:
    ShapingHandlers(WindowSystem& windowSystem, Form& form, CallLog& log)
        : windowSystem_(windowSystem), form_(form), log_(log) {}
    void Form_Load() override {
        log_.push_back("Form_Load");
        windowSystem_.SetWindowRgn(form_.hWnd(), std::make_unique<Region>(Region::FromRect(0, 0, 5, 5)), true);
    }

private:
    WindowSystem& windowSystem_;
    Form& form_;
    CallLog& log_;
};

FormLayout Layout(bool centred) {
    FormLayout layout;
    layout.centreOnScreen = centred;
    layout.timers = {{"Fast", 1, true}, {"Zero", 0, true}, {"Off", 20, false}, {"Slow", 1000, true}};
    return layout;
}

HandlersFactory Shaping(LoggingSteps& steps) {
    return [&steps](Form& form, UiRuntime&) {
        return std::make_unique<ShapingHandlers>(steps.windowSystem, form, steps.log);
    };
}

TEST(StartUp, MakesLoadsPlacesShowsStartsTimersThenDeliversEvents) {
    LoggingSteps steps;
    EXPECT_EQ(RunStartUp(steps, Layout(true), Shaping(steps)), 7);
    EXPECT_EQ(steps.log, (CallLog{"MakeWindow", "SetHandlers", "Form_Load", "SetOutline", "PrimaryScreen",
                                  "WindowSize", "MoveTo 420,278", "Show", "StartTimer 0 every 10",
                                  "StartTimer 3 every 1000", "DeliverEvents"}));

    LoggingSteps noScreen;
    noScreen.window.screen = std::nullopt;
    RunStartUp(noScreen, Layout(true), Shaping(noScreen));
    EXPECT_EQ(std::count(noScreen.log.begin(), noScreen.log.end(), "Show"), 1);
    EXPECT_EQ(std::count_if(noScreen.log.begin(), noScreen.log.end(),
                            [](const std::string& call) { return call.starts_with("MoveTo"); }),
              0)
        << "where the desktop tells of no screen, the window is not placed";
}

TEST(StartUp, TheWindowTakesItsOutlineOnlyWhileTheStartUpsResultLives) {
    LoggingSteps steps;
    {
        const StartedWindow started = StartUp(steps, Layout(true), Shaping(steps));
        steps.log.clear();
        steps.windowSystem.SetWindowRgn(0x51, nullptr, true);
        steps.windowSystem.SetWindowRgn(0x52, nullptr, true);
        EXPECT_EQ(steps.log, (CallLog{"SetOutline none", "foreign 82"}));
    }
    steps.log.clear();
    steps.windowSystem.SetWindowRgn(0x51, nullptr, true);
    EXPECT_EQ(steps.log, CallLog{"foreign 81"});
}

}  // namespace
}  // namespace tw
