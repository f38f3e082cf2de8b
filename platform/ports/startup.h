// The program's start-up, written once for every desktop. RunStartUp takes
// these steps, in this order:
//  1. the adapter makes the window (AdapterWindow) from its layout, hidden,
//     with its labels, menus and timers (none of them running); message
//     boxes are owned by it from now on;
//  2. the handlers are made for the window, and its events go to them;
//  3. the window system adopts the window, so that SetWindowRgn on its
//     handle gives it its outline (window_system.h);
//  4. Form_Load runs: the gadget gives the window its outline here, before
//     anyone sees it; a shaping that fails leaves the plain rectangle;
//  5. the window is placed: centred on the primary screen to the device
//     pixel, or at its top left corner (FirstPosition, desktop_rules.h);
//  6. it is shown;
//  7. its timers start, by the timer rules (ScheduleOf, desktop_rules.h);
//  8. the adapter delivers events until End().
// Each handler runs inside RunHandler (ui.h): an error that escapes step 1,
// 2 or 4 is shown as any run-time error is, and ends the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/portable/layout.h"
#include "platform/portable/region.h"
#include "platform/ports/desktop_rules.h"
#include "platform/ports/ui.h"
#include "platform/ports/window_system.h"

namespace tw {

// The window's steps, each adapter's own way. Sizes and positions are in
// device pixels.
class AdapterWindow : public Form {
public:
    // Step 2: where the window's events go from now on.
    virtual void SetHandlers(FormHandlers& handlers) = 0;
    // Step 5: the whole primary screen (none where the desktop has no
    // screen to tell of), the window's size with any frame, and the move.
    virtual std::optional<Rect> PrimaryScreen() const = 0;
    virtual DeviceSize WindowSize() const = 0;
    virtual void MoveTo(DevicePoint topLeft) = 0;
    // Step 6.
    virtual void Show() = 0;
    // Step 7: the layout's timer number `index` ticks every periodMs.
    virtual void StartTimer(std::size_t index, int periodMs) = 0;
};

// The desktop's steps.
class StartUpSteps {
public:
    virtual ~StartUpSteps() = default;
    virtual UiRuntime& Runtime() = 0;
    virtual AdapterWindowSystem& WindowSystem() = 0;
    // Step 1. The window lives as long as the steps do.
    virtual AdapterWindow& MakeWindow(const FormLayout& layout) = 0;
    // Step 8; returns the exit status.
    virtual int DeliverEvents() = 0;
};

// The desktop's steps where its window is of an adapter's Window type, made
// from the layout and the runtime, and owns the runtime's message boxes
// (AdapterRuntime::SetOwner); the adapter adds DeliverEvents.
template <class AdapterRuntime, class Window>
class OneWindowStartUp : public StartUpSteps {
public:
    OneWindowStartUp(AdapterRuntime& runtime, AdapterWindowSystem& windowSystem)
        : runtime_(runtime), windowSystem_(windowSystem) {}
    UiRuntime& Runtime() override { return runtime_; }
    AdapterWindowSystem& WindowSystem() override { return windowSystem_; }
    AdapterWindow& MakeWindow(const FormLayout& layout) override {
        window_ = std::make_unique<Window>(layout, runtime_);
        runtime_.SetOwner(window_.get());
        return *window_;
    }
    Window* Made() const { return window_.get(); }

private:
    AdapterRuntime& runtime_;
    AdapterWindowSystem& windowSystem_;
    std::unique_ptr<Window> window_;
};

// What steps 1 to 7 made; the window keeps its outline while this lives.
struct StartedWindow {
    AdapterWindow& form;
    std::unique_ptr<FormHandlers> handlers;
    AdapterWindowSystem::Adoption adoption;
};

// Steps 1 to 7.
StartedWindow StartUp(StartUpSteps& steps, const FormLayout& layout, const HandlersFactory& makeHandlers);

// All eight steps; returns the exit status.
int RunStartUp(StartUpSteps& steps, const FormLayout& layout, const HandlersFactory& makeHandlers);

}  // namespace tw
