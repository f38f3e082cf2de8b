// The user-interface runtime over plain Win32: the program's one window
// (win32_form.h), its start-up steps and its message loop. Every handler
// runs inside RunHandler(), so no C++ exception ever unwinds through a
// window procedure.
#include "platform/win32/win32_runtime.h"

#include <memory>
#include <string>

#include "platform/ports/adapter_hooks.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/window_region.h"

namespace tw {

namespace win32 {

void Win32Runtime::MsgBox(const std::string& prompt, int style, const std::string& title) {
    const HWND owner = owner_ != nullptr ? ToHwnd(owner_->hWnd()) : nullptr;
    ::MessageBoxW(owner, Widen(prompt).c_str(), Widen(title).c_str(), static_cast<UINT>(style));
}

void Win32Runtime::End(int exitStatus) { ::ExitProcess(static_cast<UINT>(exitStatus)); }

std::string Win32Runtime::ExeName() const { return files::ExeName(); }

Win32StartUp::~Win32StartUp() = default;

int Win32StartUp::DeliverEvents() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace win32

int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    (void)argc, (void)argv;
    win32::Win32Runtime runtime;
    win32::Win32StartUp steps(runtime, DesktopWindowSystem());
    return RunStartUp(steps, layout, makeHandlers);
}

}  // namespace tw
