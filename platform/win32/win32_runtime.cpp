// The user-interface runtime over plain Win32: the program's one window
// (win32_form.h) and its message loop. Every handler runs inside
// RunHandler(), so no C++ exception ever unwinds through a window procedure.
#include <memory>
#include <string>

#include "platform/ports/ui.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_text.h"

namespace tw {

int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    (void)argc, (void)argv;
    std::unique_ptr<win32::Win32Form> form;
    // A form that cannot even be set up (a broken picture) is reported the
    // way any other run-time error is.
    struct StartupRuntime final : UiRuntime {
        void MsgBox(const std::string& prompt, int style, const std::string& title) override {
            ::MessageBoxW(nullptr, win32::Widen(prompt).c_str(), win32::Widen(title).c_str(),
                          static_cast<UINT>(style));
        }
        [[noreturn]] void End(int exitStatus) override { ::ExitProcess(static_cast<UINT>(exitStatus)); }
    } startup;
    RunHandler(startup, [&] { form = std::make_unique<win32::Win32Form>(layout); });
    return form->Run(makeHandlers);
}

}  // namespace tw
