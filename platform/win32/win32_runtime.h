// The Win32 adapter, for Windows (and Wine): one self-contained program. It
// implements every hook of adapter_hooks.h:
//  - RunApplication, UiRuntime and StartUpSteps (win32_runtime.cpp): the
//    start-up of ports/startup.h and the message loop, MessageBoxW owned by
//    the window, End by ExitProcess.
//  - Form and Label (win32_form.h): a pop-up window, STATIC labels, SetTimer
//    and a pop-up menu, at the display scale of the monitor the window is on,
//    the picture resampled from its best rendition (PNG read by WIC), the
//    outline kept in picture pixels and mapped at that scale.
//  - AdapterWindowSystem (win32_window_system.cpp): SetWindowRgn from the
//    region engine's RGNDATA bytes, ReleaseCapture, SendMessageA's caption
//    drag.
//  - The file services (files_win32.cpp), over the W APIs.
// What it cannot do:
//  - Place the window first anywhere but on the primary monitor.
//  - Follow a monitor's own scale before Windows 10 1607, which has no
//    GetDpiForWindow: there the whole desktop has one.
//  - Under Wine, follow a dpi change: Wine sends no WM_DPICHANGED.
#pragma once

#include <memory>
#include <string>

#include "platform/ports/startup.h"
#include "platform/ports/ui.h"

namespace tw::win32 {

class Win32Form;

class Win32Runtime final : public UiRuntime {
public:
    // Message boxes are owned by the form's window while it has one.
    void SetOwner(const Win32Form* owner) { owner_ = owner; }
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    [[noreturn]] void End(int exitStatus) override;
    std::string ExeName() const override;

private:
    const Win32Form* owner_ = nullptr;
};

// The start-up's steps on Win32; the window's own are Win32Form's.
class Win32StartUp final : public OneWindowStartUp<Win32Runtime, Win32Form> {
public:
    using OneWindowStartUp::OneWindowStartUp;
    ~Win32StartUp() override;
    int DeliverEvents() override;
};

}  // namespace tw::win32
