// Helpers for the Windows-only tests.
#pragma once

#include <string>

#include "platform/win32/gdi_handles.h"

namespace tw::win32 {

inline bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tw::win32
