// The main window over plain Win32: one top-level window built from the
// layout, STATIC child controls for labels, SetTimer for timers and a pop-up
// menu. The layout's pixels are 96-dpi pixels: the window, its picture, its
// labels, their fonts and its outline follow the display scale of the
// monitor the window is on (the manifest declares per-monitor awareness).
// Internal to the adapter; tests drive it through its window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/portable/errors.h"
#include "platform/portable/layout.h"
#include "platform/portable/picture.h"
#include "platform/portable/pixel_scale.h"
#include "platform/ports/desktop_rules.h"
#include "platform/ports/startup.h"

// After our headers: <windows.h> defines WM_NCLBUTTONDOWN and HTCAPTION as
// macros, which would rewrite the declarations in window_system.h.
#include "platform/win32/gdi_handles.h"

namespace tw::win32 {

class Win32Label;
struct PopupMenuEntry;

class Win32Form final : public AdapterWindow {
public:
    // Builds the window, hidden, on the primary monitor and sized for its
    // display scale.
    Win32Form(const FormLayout& layout, UiRuntime& runtime);
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // --- AdapterWindow
    void SetHandlers(FormHandlers& handlers) override { handlers_ = &handlers; }
    // The monitor the window was made on, the primary one.
    std::optional<Rect> PrimaryScreen() const override;
    DeviceSize WindowSize() const override;
    void MoveTo(DevicePoint topLeft) override;
    void Show() override;
    void StartTimer(std::size_t index, int periodMs) override;

    // --- Form
    const tw::Picture& Picture() const override { return *picture_; }
    WindowHandle hWnd() const override { return reinterpret_cast<WindowHandle>(hwnd_); }
    Label& GetLabel(const std::string& name) override;
    void PopupMenu(const std::string& menuName) override;
    // Kept in picture pixels, and mapped again whenever the scale changes.
    void SetOutline(RegionHandle outline, bool redraw) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    template <class Call>
    void Raise(Call&& call);
    RuntimeError NoSuchMember() const;

    void Create();
    void BuildLabels(HINSTANCE instance);
    void BuildMenus();
    void Rescale(PixelScale scale);
    void ApplyOutline(bool redraw);

    void OnPaint();
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnTimer(WPARAM id);
    void OnMouseDown(std::int16_t button, WPARAM keys, LPARAM position);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    const FormLayout& layout_;
    UiRuntime& runtime_;
    std::shared_ptr<const Bitmap> bitmap_;
    std::unique_ptr<BitmapPicture> picture_;
    UniqueBrush ownedBackground_;
    HBRUSH background_ = nullptr;
    std::vector<std::unique_ptr<Win32Label>> labels_;
    std::vector<PopupMenuEntry> menus_;
    std::vector<std::string> menuItemNames_;
    FormHandlers* handlers_ = nullptr;
    HWND hwnd_ = nullptr;

    // In picture pixels as handed over; shown scaled.
    RegionHandle outline_;
    // Remade when the display scale changes, never per paint.
    PixelScale scale_;
    UniqueBitmap pictureBitmap_;
    SIZE pictureSize_{};
};

}  // namespace tw::win32
