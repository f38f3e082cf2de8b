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

private:
    const Win32Form* owner_ = nullptr;
};

// The start-up's steps on Win32.
class Win32StartUp final : public StartUpSteps {
public:
    Win32StartUp(Win32Runtime& runtime, AdapterWindowSystem& windowSystem);
    ~Win32StartUp() override;

    UiRuntime& Runtime() override;
    AdapterWindowSystem& WindowSystem() override { return windowSystem_; }
    Form& MakeWindow(const FormLayout& layout) override;
    void SetHandlers(FormHandlers& handlers) override;
    std::optional<Rect> PrimaryScreen() override;
    DeviceSize WindowSize() override;
    void MoveWindow(DevicePoint topLeft) override;
    void ShowWindow() override;
    void StartTimer(std::size_t index, int periodMs) override;
    int DeliverEvents() override;

    Win32Form* Window() const { return form_.get(); }

private:
    Win32Runtime& runtime_;
    AdapterWindowSystem& windowSystem_;
    std::unique_ptr<Win32Form> form_;
};

}  // namespace tw::win32
