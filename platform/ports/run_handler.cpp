#include "platform/portable/errors.h"
#include "platform/ports/ui.h"

namespace tw {

namespace {
constexpr int vbCritical = 16;
}

void RunHandler(UiRuntime& runtime, const std::function<void()>& handler) noexcept {
    RuntimeError escaped{0, {}, {}};
    try {
        handler();
        return;
    } catch (...) {
        escaped = CurrentErrorAsRuntimeError();
    }
    // The box itself may fail; the program ends either way.
    ResumeNext([&] { runtime.MsgBox(RuntimeErrorPrompt(escaped), vbOKOnly | vbCritical, runtime.ExeName()); });
    runtime.End(1);
}

}  // namespace tw
