// The runtime's message box and program end over plain Win32.
#pragma once

#include <string>

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

}  // namespace tw::win32
