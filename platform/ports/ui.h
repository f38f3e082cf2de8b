// The user-interface runtime: builds a window from its layout, delivers its
// events to handlers on the one UI thread, and offers labels, the pop-up menu,
// the message box and ending the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/portable/layout.h"
#include "platform/portable/picture.h"
#include "platform/ports/window_system.h"

namespace tw {

class Label {
public:
    virtual ~Label() = default;
    // Asks for a redraw of the label, with the picture under it, when the
    // text differs from what is shown; the toolkit redraws it before the
    // next input is handled (Win32 at once, Qt in its next paint).
    virtual void SetCaption(const std::string& caption) = 0;
};

// What a window shaper needs of a window: its picture and its handle.
class ShapeableWindow {
public:
    virtual ~ShapeableWindow() = default;
    virtual const tw::Picture& Picture() const = 0;
    virtual WindowHandle hWnd() const = 0;
};

// A window built from its layout. Its outline comes in picture pixels
// (window_system.h says how).
class Form : public ShapeableWindow, public OutlineTarget {
public:
    // A control named in the layout; RuntimeError if there is none.
    virtual Label& GetLabel(const std::string& name) = 0;
    // Shows the menu's items at the pointer and returns when the menu has
    // closed; a chosen item's click handler has run by then.
    virtual void PopupMenu(const std::string& menuName) = 0;
};

inline constexpr int vbOKOnly = 0;
inline constexpr int vbInformation = 64;

// Form_MouseDown's Button; other buttons raise no event.
inline constexpr std::int16_t vbLeftButton = 1;
inline constexpr std::int16_t vbRightButton = 2;
inline constexpr std::int16_t vbMiddleButton = 4;

// Form_MouseDown's Shift: the modifier keys held, together.
inline constexpr std::int16_t vbShiftMask = 1;
inline constexpr std::int16_t vbCtrlMask = 2;
inline constexpr std::int16_t vbAltMask = 4;

class UiRuntime {
public:
    virtual ~UiRuntime() = default;
    // Modal; returns when closed. Line breaks in the prompt are CR LF.
    virtual void MsgBox(const std::string& prompt, int style, const std::string& title) = 0;
    // Ends the program at once: no further handler runs.
    [[noreturn]] virtual void End(int exitStatus = 0) = 0;
    // The program's executable name without folder or extension: the title
    // of the box an escaped error shows. The adapter has it from its file
    // services, which the ports stand below.
    virtual std::string ExeName() const = 0;
};

// The handlers of one window. The runtime calls each inside RunHandler().
class FormHandlers {
public:
    virtual ~FormHandlers() = default;
    virtual void Form_Load() {}
    // X, Y in twips; desktop_rules.h says how an adapter makes all four.
    virtual void Form_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y) {
        (void)Button, (void)Shift, (void)X, (void)Y;
    }
    virtual void Timer_Tick(const std::string& timerName) { (void)timerName; }
    virtual void Menu_Click(const std::string& itemName) { (void)itemName; }
};

using HandlersFactory = std::function<std::unique_ptr<FormHandlers>(Form&, UiRuntime&)>;

// Runs one handler as the runtime does: an error that escapes it is shown as
// RuntimeErrorPrompt() in a message box, then the program ends with status 1.
// No exception ever leaves this function.
void RunHandler(UiRuntime& runtime, const std::function<void()>& handler) noexcept;

}  // namespace tw
