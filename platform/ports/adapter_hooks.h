// Every function a desktop adapter defines: with the interfaces it
// implements, in ui.h (UiRuntime, Form, Label), window_system.h
// (OutlineTarget, AdapterWindowSystem) and startup.h (AdapterWindow,
// StartUpSteps), this is all the core needs of a desktop. The adapters are platform/qt/ (with
// platform/posix/ for files) and platform/win32/; each opens (qt_runtime.h,
// win32_runtime.h) with what it implements and what it cannot do.
// startup.h holds the start-up both run, desktop_rules.h the rules both
// follow.
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
