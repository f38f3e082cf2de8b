#include "platform/ports/startup.h"

#include "platform/ports/desktop_rules.h"

namespace tw {

StartedWindow StartUp(StartUpSteps& steps, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    UiRuntime& runtime = steps.Runtime();
    AdapterWindow* window = nullptr;
    std::unique_ptr<FormHandlers> handlers;
    // A window that cannot even be made (a broken picture) is reported the
    // way any other run-time error is, and the program ends there.
    RunHandler(runtime, [&] {
        window = &steps.MakeWindow(layout);
        handlers = makeHandlers(*window, runtime);
    });
    window->SetHandlers(*handlers);
    StartedWindow started{*window, std::move(handlers), steps.WindowSystem().Adopt(window->hWnd(), *window)};

    RunHandler(runtime, [&] { started.handlers->Form_Load(); });

    if (const std::optional<Rect> screen = window->PrimaryScreen())
        window->MoveTo(FirstPosition(*screen, window->WindowSize(), layout.centreOnScreen));
    window->Show();
    for (std::size_t i = 0; i < layout.timers.size(); ++i) {
        const TimerSchedule schedule = ScheduleOf(layout.timers[i]);
        if (schedule.ticks) window->StartTimer(i, schedule.periodMs);
    }
    return started;
}

int RunStartUp(StartUpSteps& steps, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    const StartedWindow started = StartUp(steps, layout, makeHandlers);
    return steps.DeliverEvents();
}

}  // namespace tw
