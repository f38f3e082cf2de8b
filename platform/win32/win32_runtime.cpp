// The user-interface runtime over plain Win32: the program's one window
// (win32_form.h) and its message loop. Every handler runs inside
// RunHandler(), so no C++ exception ever unwinds through a window procedure.
#include "platform/win32/win32_runtime.h"

#include <memory>
#include <string>

#include "platform/ports/adapter_hooks.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_text.h"

namespace tw {

namespace win32 {

void Win32Runtime::MsgBox(const std::string& prompt, int style, const std::string& title) {
    const HWND owner = owner_ != nullptr ? owner_->Hwnd() : nullptr;
    ::MessageBoxW(owner, Widen(prompt).c_str(), Widen(title).c_str(), static_cast<UINT>(style));
}

void Win32Runtime::End(int exitStatus) { ::ExitProcess(static_cast<UINT>(exitStatus)); }

}  // namespace win32

int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    (void)argc, (void)argv;
    win32::Win32Runtime runtime;
    // Declared first, so that the window is gone before its handlers are.
    std::unique_ptr<FormHandlers> handlers;
    std::unique_ptr<win32::Win32Form> form;
    // A form that cannot even be set up (a broken picture) is reported the
    // way any other run-time error is.
    RunHandler(runtime, [&] { form = std::make_unique<win32::Win32Form>(layout, runtime); });
    runtime.SetOwner(form.get());
    RunHandler(runtime, [&] { form->Create(); });
    RunHandler(runtime, [&] { handlers = makeHandlers(*form, runtime); });
    form->SetHandlers(handlers.get());

    if (handlers) RunHandler(runtime, [&] { handlers->Form_Load(); });
    form->Show();
    form->StartTimers();

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace tw
