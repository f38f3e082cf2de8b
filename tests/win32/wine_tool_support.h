// What the small Windows programs the end-to-end test runs under Wine share.
#pragma once

#include <windows.h>

namespace tw::wine_tools {

// Unaware of the display scale, a process gets every rectangle of another
// divided by it under Wine 10, while the test works in device pixels. The
// call is looked up: Windows before 10 1703 has none.
inline void BecomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (setContext != nullptr) setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

}  // namespace tw::wine_tools
