// Everything a desktop adapter provides, in one table: a new adapter
// writes each row, and the two we have show where theirs stand.
//
//  What                     Declared in              Qt (platform/qt/)          Win32 (platform/win32/)
//  -- hooks, free functions the core calls
//  RunApplication           here                     qt_runtime.cpp             win32_runtime.cpp
//  DesktopWindowSystem      here                     qt_window_system.cpp       win32_window_system.cpp
//  files::FileExists,       here                     ../posix/files_posix.cpp   files_win32.cpp
//   ReadWholeFile,
//   ReplaceFileContents,
//   ExeName
//  -- interfaces
//  UiRuntime (MsgBox,       ui.h                     QtRuntime, qt_runtime.h    Win32Runtime, win32_runtime.h
//   End, ExeName)
//  the owner of message     startup.h (SetOwner,     QtRuntime::SetOwner        Win32Runtime::SetOwner
//   boxes                    OneWindowStartUp)
//  StartUpSteps             startup.h                QtStartUp, qt_runtime.h    Win32StartUp, win32_runtime.h
//   (DeliverEvents)
//  AdapterWindow: Form,     startup.h, ui.h,         QtForm, qt_form.h;         Win32Form, Win32Label,
//   Label, OutlineTarget     window_system.h          QtLabel, qt_label.h        win32_form.h
//  AdapterWindowSystem      window_system.h          QtWindowSystem,            Win32WindowSystem,
//   (SetForeignWindowRgn,                             qt_window_system.h         win32_window_system.cpp
//   ReleaseCapture, SendMessageA)
//  the PNG decoder of the   renditions.h             DecodePng, qt_picture.h    DecodePng, wic_png.h
//   renditions (PngDecoder)
//  -- tests
//  the conformance probe    tests/conformance/       tests/qt/qt_probe.cpp      tests/win32/win32_probe.cpp
//   (ProbeScales, MakeProbe) adapter_probe.h
//  -- the build: TW_PLATFORM names the adapter, at three switch points
//  its folders and file     CMakeLists.txt           platform/qt + posix        platform/win32
//   services                 (if TW_PLATFORM ...)
//  the program's link       CMakeLists.txt           tallowind_qt               tallowind_win32
//                            (tallowind_${TW_PLATFORM})
//  its tests                tests/CMakeLists.txt     tests/qt, tests/e2e        tests/win32
//
// startup.h holds the start-up both run, desktop_rules.h the rules both
// follow; each adapter opens (qt_runtime.h, win32_runtime.h) with what it
// implements and what it cannot do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/portable/layout.h"
#include "platform/ports/ui.h"
#include "platform/ports/window_system.h"

namespace tw {

// --- The runtime

// Runs the program: readies the desktop's toolkit, then the start-up of
// startup.h with the adapter's steps. Returns the process exit status.
int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers);

// --- Window regions

// The desktop's window system.
AdapterWindowSystem& DesktopWindowSystem();

// --- Files. Failures are RuntimeErrors with the runtime's classic numbers
// and texts and an empty source; callers raise them again under their own
// source.

namespace files {

// True when a regular file of that name exists; false for an empty name or
// anything else.
bool FileExists(const std::string& name) noexcept;

// Reads the whole file. Returns nullopt, without reading the contents, when
// the file is longer than maxBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& name,
                                                       std::size_t maxBytes);

// Makes the file hold exactly these bytes. The bytes go to a temporary file in
// the same folder, which is flushed and then put in place atomically, so a
// failure at any point leaves an existing file exactly as it was, and leaves
// no temporary file behind.
void ReplaceFileContents(const std::string& name, std::span<const std::uint8_t> bytes);

// The program's executable name without folder or extension.
std::string ExeName();

}  // namespace files
}  // namespace tw
