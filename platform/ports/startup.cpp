#include "platform/ports/startup.h"

#include "platform/ports/desktop_rules.h"

namespace tw {

StartedWindow StartUp(StartUpSteps& steps, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    UiRuntime& runtime = steps.Runtime();
    Form* form = nullptr;
    std::unique_ptr<FormHandlers> handlers;
    // A window that cannot even be made (a broken picture) is reported the
    // way any other run-time error is, and the program ends there.
    RunHandler(runtime, [&] {
        form = &steps.MakeWindow(layout);
        handlers = makeHandlers(*form, runtime);
    });
    steps.SetHandlers(*handlers);
    StartedWindow started{*form, std::move(handlers), steps.WindowSystem().Adopt(form->hWnd(), *form)};

    RunHandler(runtime, [&] { started.handlers->Form_Load(); });

    if (const std::optional<Rect> screen = steps.PrimaryScreen())
        steps.MoveWindow(FirstPosition(*screen, steps.WindowSize(), layout.centreOnScreen));
    steps.ShowWindow();
    for (std::size_t i = 0; i < layout.timers.size(); ++i) {
        const TimerSchedule schedule = ScheduleOf(layout.timers[i]);
        if (schedule.ticks) steps.StartTimer(i, schedule.periodMs);
    }
    return started;
}

int RunStartUp(StartUpSteps& steps, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    const StartedWindow started = StartUp(steps, layout, makeHandlers);
    return steps.DeliverEvents();
}

}  // namespace tw
